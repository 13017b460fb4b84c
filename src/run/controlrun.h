#pragma once

#include "check/provobj.h"
#include "checkreport.h"
#include "desktop.h"
#include "log/log.h"

#include <QString>
#include <QStringList>
#include <exception>
#include <vector>

namespace app {

struct ControlRunResult {
    enum Outcome { Findings, Clean, Failed };
    Outcome outcome = Failed;
    QString error;                                    // the text shown when the run failed
    std::vector<findings::Finding> findings;          // this run's findings, in the order the rules recorded them
    QStringList warnings;                             // one sentence per list that could not be read, or a hidden stamp
    QString copiedTo;                                 // where the clean report was copied, if anywhere
    QString Logfilename;                              // the log of this run (kept on disk only with findings)
    QString INNKOD = QStringLiteral("Не визначений"); // the code the save dialog proposes
};

// The application title: the executable's file name up to its first dot, first letter kept,
// the rest in lower case.
QString applicationTitle(const QString& executablePath);
// An error text as the error box shows it: a full stop is added after a letter, digit, "?" or ":".
QString withFullStop(const QString& text);
// The text the user reads for an error that ended a check.
QString failureText(const std::exception& e);

// The single check's work on disk: checks the report at `report`, writes the log of its findings at
// `log` (made from `logTemplate`, and only when there are findings: `logWritten` is set once it is
// on its way to disk), then stamps and saves the report. The report is written last, atomically: a
// failure leaves it as it was.
CheckedReport checkAndSave(const QString& report, const QString& logTemplate, const QString& log,
                           const check::Environment& env, bool* logWritten = nullptr);

// "Контроль звіту": checks the report, writes the log of its findings from the log template, stamps
// and saves the report, and ends with the log offered for viewing or a copy of the clean report.
class ControlRun {
public:
    ControlRun(QString dir, check::Environment env, Desktop& desktop, StatusDisplay* status, QString title);

    ControlRunResult run();

private:
    struct Paths {
        QString report, logTemplate, log;
    };
    // Everything of the run that may fail: the check, the log and the saved report. `logWritten` is
    // set once a log at the log's path is this run's own.
    void checkAndSave(const Paths& paths, ControlRunResult& result, bool* logWritten);
    // The dialogs after a check that ran: the log offered, or the clean report's copy.
    void conclude(const Paths& paths, ControlRunResult& result);
    void saveCopy(const QString& report, ControlRunResult& result);

    QString m_dir;
    check::Environment m_env;
    Desktop& m_desktop;
    StatusDisplay* m_status;
    QString m_title;
};

} // namespace app
