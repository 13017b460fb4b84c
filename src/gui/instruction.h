#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>

namespace app {

// The instruction shown inside the program, from the HTML twin of readme.doc that lies beside the executable,
// for a system that has no program for .doc files. When the twin is missing it says so in plain words.
class InstructionWindow : public QDialog {
    Q_OBJECT
public:
    explicit InstructionWindow(QWidget* parent = nullptr);

    void showFile(const QString& htmlPath);

    QTextBrowser* text;
    QPushButton* closeButton;
};

} // namespace app
