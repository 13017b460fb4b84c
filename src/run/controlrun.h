#pragma once

#include "check/provobj.h"
#include "desktop.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <exception>

namespace app {

// One row of the findings log as read back after the check.
struct LogRow {
    QString sheet, row, column, message, time;
};

struct ControlRunResult {
    enum Outcome { Findings, Clean, Failed };
    Outcome outcome = Failed;
    QString error;        // the text shown when the run failed
    QList<LogRow> rows;   // this run's findings as the saved log holds them, in order
    QStringList warnings; // one sentence per reference list that could not be read (the check is incomplete)
    QString copiedTo;     // where the clean report was copied, if anywhere
};

// The application title: the executable's file name up to its first dot, first letter kept,
// the rest in lower case.
QString applicationTitle(const QString& executablePath);
// An error text as the error box shows it: a full stop is added after a letter, digit, "?" or ":".
QString withFullStop(const QString& text);
// The text the user reads for an error that ended a check.
QString failureText(const std::exception& e);
// The findings of one check as a log workbook holds them: every row from `firstRow` on (the rows
// above are the template's own).
QList<LogRow> logRows(const sheet::Book& log, int firstRow, const sheet::Locale& locale);

// "Контроль звіту": prepares the log from its template, checks the report, reads the verdict
// back and ends with the log offered for viewing or a copy of the clean report.
class ControlRun {
public:
    ControlRun(QString dir, check::Environment env, Desktop& desktop, StatusDisplay* status, QString title);

    ControlRunResult run();

    QString Logfilename;
    QString INNKOD = QStringLiteral("Не визначений");

private:
    // Deletes the old log and copies the template in its place; `created` is set once a file there is ours.
    void prepareLog(const QString& templatePath, bool* created);
    // This run's findings as the saved log holds them: every row from `firstRow` on.
    QList<LogRow> readFindings(sheet::MSExcel& Excel, int firstRow);

    QString m_dir;
    check::Environment m_env;
    Desktop& m_desktop;
    StatusDisplay* m_status;
    QString m_title;
};

} // namespace app
