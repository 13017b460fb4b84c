#pragma once

#include "run/controlrun.h"
#include "run/desktop.h"

#include <QList>
#include <QString>

namespace app {

// What the main window asks of the desktop besides the control run's questions: what to show when the
// system cannot open a document. The real desktop answers with windows of the program; tests record the calls.
class WindowDesktop : public Desktop {
public:
    // Tells the user that the document could not be opened: which file, in which folder, and what is needed
    // to open it; offers to open the folder.
    virtual void reportCannotOpen(const QString& title, const QString& path) = 0;
    // Shows the instruction (an HTML file) in the program's own viewer.
    virtual void showInstruction(const QString& htmlPath) = 0;
    // Shows a check's findings in a window of the program, with the path of the log that holds them.
    virtual void showFindings(const QString& logPath, const std::vector<findings::Finding>& rows) = 0;
};

} // namespace app
