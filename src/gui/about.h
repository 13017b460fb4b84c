#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

class QWidget;

namespace app {

// "Про програму": the version, the copyright, the program's licence and the notices of every component
// shipped with it. The texts are built into the program, so the window shows them even when the files
// LICENSE.txt and THIRD-PARTY-NOTICES.txt were removed from its folder.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    QLabel* summary;
    QTabWidget* tabs;
    QPlainTextEdit* licence;
    QPlainTextEdit* notices;
    QPushButton* closeButton;
};

// Adds "Про програму…" to the system menu of `window` (the menu of its title bar and of Alt+Space), where
// a Windows program keeps it, so the window's own buttons stay as they are; choosing it opens AboutWindow.
// Only Qt's Windows platform has a system menu: elsewhere this does nothing and returns false.
bool addAboutToSystemMenu(QWidget* window);

} // namespace app
