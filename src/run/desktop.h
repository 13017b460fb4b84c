#pragma once

#include <QString>

namespace app {

// What the control run asks of the desktop: open documents, show messages, ask for a file name.
// The main window answers with real dialogs; tests and the command line answer in advance.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a document with the application the system associates with it; false when the file is missing or
    // the system reports that it could not open it (no program for its type).
    virtual bool openDocument(const QString& path) = 0;
    // Yes/No question with the information icon; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // A message with the OK button and no icon.
    virtual void inform(const QString& title, const QString& text) = 0;
    // An error message with the OK button and the stop icon.
    virtual void showError(const QString& title, const QString& text) = 0;
    // The save dialog, proposing `proposed`; an empty result means the user cancelled.
    virtual QString askSaveFileName(const QString& title, const QString& proposed) = 0;
};

// The please-wait window as the control run sees it.
class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void openform(const QString& la1, const QString& la2) = 0;
    virtual void closeform() = 0;
};

} // namespace app
