#pragma once

#include "check/heading.h"
#include "check/lists.h"
#include "check/provobj.h"
#include "log/log.h"
#include "sheet/msexcel.h"

#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>
#include <vector>

namespace app {

// An error in a report cell that ends the check (an error value, a text where a number must be),
// met outside the units of the rules that turn such errors into findings. Its message is the whole
// text the user reads: the report, the sheet, the cell, what is in it and what to do.
class CheckStopped : public std::runtime_error {
public:
    explicit CheckStopped(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

struct CheckOptions {
    // Write the date and time of the check into S13 of the report's first sheet (in memory: the
    // caller saves the report).
    bool stamp = false;
    // The log row the first finding will take (the row after the log template's used range).
    int firstLogRow = 2;
};

// What one check of one report gives.
struct CheckedReport {
    std::vector<findings::Finding> findings; // in the order the rules recorded them
    QString INNKOD;                          // the balance holder's code, or "Не визначений"
    check::Heading heading;                  // code, name and period as the report states them
    QList<check::ListProblem> listProblems;  // lists that could not be read: the check is incomplete
    // With a stamp: the sheet that got it and the merged range that hides its cell, if any.
    QString stampSheetName;
    std::optional<xls::CellRange> stampHiddenBy;
};

// Runs every rule on one open report: the one path of a check, whatever starts it (the window, the
// command line, the folder check, the tests). It writes no file. An error value or a text that is
// not a number in a cell the rules read outside their guarded units ends it with CheckStopped;
// any other error (a full log, no memory) passes on as it is.
CheckedReport checkReport(sheet::Book& report, const check::Environment& env, const CheckOptions& options = {});

// The message of a check stopped at a cell: «Перевірку зупинено: клітинка B33 аркуша «Загальні дані»
// звіту «…» містить …». `contents` says what is in the cell, `remedy` what to do.
QString cellStopText(const QString& report, const QString& sheet, int row, int col, const QString& contents,
                     const QString& remedy);

} // namespace app
