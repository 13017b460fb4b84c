#pragma once

#include "windowdesktop.h"

#include <QPointer>

class QWidget;

namespace app {

class FindingsWindow;
class InstructionWindow;

// The real desktop: the system's default applications, message boxes, the save dialog, and the program's own
// windows for the instruction and the findings when the system has no program for them.
class QtDesktop : public WindowDesktop {
public:
    ~QtDesktop() override;
    void setParentWidget(QWidget* parent) { m_parent = parent; }
    bool openDocument(const QString& path) override;
    bool askYesNo(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text) override;
    void showError(const QString& title, const QString& text) override;
    QString askSaveFileName(const QString& title, const QString& proposed) override;
    void reportCannotOpen(const QString& title, const QString& path) override;
    void showInstruction(const QString& htmlPath) override;
    void showFindings(const QString& logPath, const std::vector<findings::Finding>& rows) override;

private:
    QWidget* m_parent = nullptr;
    QPointer<InstructionWindow> m_instruction;
    QPointer<FindingsWindow> m_findings;
};

// The words of the "cannot open" message: which file, where it lies, and what is needed to open it.
QString cannotOpenText(const QString& path);
// The question before a saved copy replaces an existing file.
QString overwriteQuestion(const QString& path);
// Opens the folder that holds `path` in the system's file manager; when the system cannot, copies the folder's
// path to the clipboard and says so.
void openContainingFolder(QWidget* parent, const QString& path);

} // namespace app
