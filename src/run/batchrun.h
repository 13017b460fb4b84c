#pragma once

#include "check/heading.h"
#include "check/provobj.h"
#include "controlrun.h"
#include "log/log.h"
#include "senderstamp.h"
#include "table1.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace app {

// One report of a folder check, as the summary and the command line show it.
struct BatchReport {
    // NotSubmitted: a balance holder of the register of senders whose report the folder lacks.
    enum Status { Clean, Findings, NotChecked, Skipped, NotSubmitted };
    QString file; // the file name in the folder
    Status status = NotChecked;
    QString reason;           // why it was not checked, why its log could not be written, or what a skipped entry is
    bool otherFormat = false; // skipped, but a spreadsheet of another format (.xlsx, .ods): perhaps a report
    check::Heading heading;   // the balance holder and the period, as the report gives them
    int findings = 0;
    std::vector<findings::Finding> rows; // the findings, in the order the rules recorded them
    QString log;                         // the log's file name in the output folder, when one was written
    QStringList flags;   // what only the folder shows: a code that another report has too, an odd period
    SenderCheck sender;  // the sender's own stamp, the file's time and their flags
    Table1Values table1; // Table 1 for the region's totals
};

// "без помилок", "є помилки", "не перевірено", "пропущено", "не подано".
QString statusText(BatchReport::Status status);

struct BatchOptions {
    QString folder; // the reports: every .xls file in it (not in its subfolders)
    QString outDir; // the logs and the summary; empty: a new folder FOLDER/перевірка-<date>
    QString dir;    // the log template elog.xls, the summary template zvedennya.xls and the six lists
    int jobs = 0;   // reports checked at the same time; 0: one per processor core
    // The period the reports are for: the period rule judges each against it, and a report of
    // another period is flagged. Empty: the period rule judges by today's date.
    std::optional<check::ReportingPeriod> period;
    QString registerFile; // the register of senders; empty: none
};

struct BatchResult {
    // Set when the folder could not be checked, or its summary not written; nothing else is then
    // to be trusted. One report that cannot be read never sets it: it is "не перевірено".
    QString error;
    QString outDir;                                             // where the logs and the summary were written
    QString summary;                                            // the summary workbook
    int total = 0, clean = 0, withFindings = 0, notChecked = 0; // the .xls entries of the folder
    int skipped = 0, skippedOtherFormat = 0;                    // the other entries, and of them the other spreadsheets
    QStringList notes; // what the user should know of the run itself (a stale lock taken over)
    // The user stopped the run: only the entries counted above were passed on, and the summary says
    // on its information row that it is incomplete.
    bool cancelled = false;
    // With a register of senders: the registered balance holders without a report, in the
    // register's order, and what the register holds that was left out or looks wrong.
    bool withRegister = false;
    QList<BatchReport> notSubmitted;
    QStringList registerProblems;
    QList<BatchReport> flagged; // the reports with flags, in name order (without their findings)
};

// Checks every report of a folder as "Контроль звіту" checks zvit.xls (the same rules, lists and log
// template) without changing any of them: a report is only read, never stamped or saved, and no log
// is put beside it. A report with findings gets its log `<name>_log.xls` in the output folder; the
// summary workbook "зведення.xls" there lists every report and every finding. Reports are checked in
// parallel, each with its own per-run state; only a few are in memory at a time, and a report that
// is large is checked alone.
class BatchRun {
public:
    BatchRun(BatchOptions options, check::Environment env);

    // Called on the thread that calls run(): once per report, in name order, as soon as that report
    // and every report before it are done (its findings included) ...
    std::function<void(const BatchReport&)> onReport;
    // ... and each time a report is done, with the number done so far.
    std::function<void(int done, int total)> onProgress;
    // Asked on the thread that calls run() before each entry is passed on: once it answers true, the
    // run ends with the entries passed so far (reports under way are finished and dropped).
    std::function<bool()> cancelled;

    BatchResult run();

private:
    struct Job;
    struct Setup;
    // Everything the reports need before the first is checked: the folder, the templates, the lists,
    // the output folder and the summary; throws with the reason when something is missing.
    std::vector<Job> prepare(Setup& setup, BatchResult& result);
    // The output folder made or taken, locked for this run, and the summary begun (part of prepare).
    void takeOutDir(Setup& setup, const QByteArray& summaryBytes, const QString& summaryTemplate, BatchResult& result);
    // Checks the reports in parallel and passes them on in name order: to the summary, onReport and
    // the counts.
    void collect(const std::vector<Job>& jobs, Setup& setup, BatchResult& result);
    static void count(const BatchReport& report, BatchResult& result);

    BatchOptions m_options;
    check::Environment m_env;
};

} // namespace app
