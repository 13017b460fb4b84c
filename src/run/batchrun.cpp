#include "batchrun.h"

#include "check/lists.h"
#include "log/log.h"
#include "office.h"
#include "register.h"
#include "sheet/msexcel.h"
#include "xls/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace app {

QString statusText(BatchReport::Status status)
{
    switch (status) {
    case BatchReport::Clean:
        return QStringLiteral("без помилок");
    case BatchReport::Findings:
        return QStringLiteral("є помилки");
    case BatchReport::NotChecked:
        break;
    case BatchReport::NotSubmitted:
        return QStringLiteral("не подано");
    }
    return QStringLiteral("не перевірено");
}

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The summary's layout: the template holds the titles; these are the columns the run fills.
// First sheet: one row per report, after the template's used range; its row 2 takes a line that
// says which folder was checked, when, and how it went.
enum ReportColumn { kFile = 1, kCode, kName, kMonths, kYear, kFindings, kStatus, kNote, kFlags, kLog, kStamp, kSaved };
constexpr int kInfoRow = 2;
// Second sheet: one row per finding of every report.
enum FindingColumn { kFindingFile = 1, kFindingSheet, kFindingRow, kFindingColumn, kFindingMessage };
constexpr int kLastRow = 65536;
// Third sheet (when the template has it): the region's Table 1.
constexpr int kTotalsSheet = 3;

// A report larger than this is checked while no other report is: its workbook, held in memory while
// it is checked, takes several times its size.
constexpr qint64 kLargeReport = 16 * 1024 * 1024;

// What a batch needs beside the reports; throws with the reason when it is not there.
class BatchFailure : public std::runtime_error {
public:
    explicit BatchFailure(const QString& text) : std::runtime_error(text.toStdString()) {}
};

void requireTemplate(const QString& path, const QString& what)
{
    if (!QFileInfo::exists(path))
        throw BatchFailure(QStringLiteral("Не знайдено шаблон %1 «%2». Поверніть файл %3 до теки програми та "
                                          "повторіть перевірку")
                               .arg(what, native(path), QFileInfo(path).fileName()));
    xls::Workbook::open(path); // a damaged template stops the batch with the engine's words
}

void requireLists(const QString& dir)
{
    QStringList missing;
    for (const check::ListProblem& p : check::ReferenceLists(dir).problems())
        missing << QStringLiteral("«%1»").arg(native(p.path));
    if (!missing.isEmpty())
        throw BatchFailure(QStringLiteral("Не вдалося прочитати %1 %2. Теку перевіряють лише з усіма шістьма "
                                          "списками, щоб усі звіти було перевірено однаково")
                               .arg(missing.size() == 1 ? QStringLiteral("список") : QStringLiteral("списки"),
                                    missing.join(QStringLiteral(", "))));
}

// The .xls files of the folder (not hidden, not in subfolders), sorted by name.
QStringList reportFiles(const QString& folder)
{
    QStringList files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Readable | QDir::NoDotAndDotDot);
    for (const QFileInfo& f : entries)
        if (f.isFile() && f.suffix().compare(QStringLiteral("xls"), Qt::CaseInsensitive) == 0)
            files << f.fileName();
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return files;
}

// One log name per report: the report's name without ".xls" and "_log.xls"; names that only letter
// case tells apart (which one folder on Windows cannot hold) get "-2", "-3"...
QStringList logNames(const QStringList& files)
{
    QStringList names;
    QHash<QString, int> taken;
    for (const QString& f : files) {
        const QString base = f.left(f.size() - 4);
        QString name = base + QStringLiteral("_log.xls");
        for (int k = 2; taken.contains(name.toLower()); ++k)
            name = QStringLiteral("%1-%2_log.xls").arg(base).arg(k);
        taken.insert(name.toLower(), 1);
        names << name;
    }
    return names;
}

// The output folder: the one given, or a new dated folder inside the reports' folder, so that a
// second run never mixes its files with an earlier one's.
QString prepareOutDir(const BatchOptions& options, const QDate& today)
{
    QString out;
    if (!options.outDir.isEmpty()) {
        out = QFileInfo(options.outDir).absoluteFilePath();
        const QString canonical = QFileInfo(out).canonicalFilePath();
        if (!canonical.isEmpty() && canonical == QFileInfo(options.folder).canonicalFilePath())
            throw BatchFailure(QStringLiteral("Протоколи і зведення не можна записувати до теки зі звітами «%1»: "
                                              "наступна перевірка взяла б їх за звіти. Вкажіть іншу теку")
                                   .arg(native(out)));
    } else {
        const QString base =
            QDir(options.folder).filePath(QStringLiteral("перевірка-") + today.toString(QStringLiteral("yyyy-MM-dd")));
        out = base;
        for (int k = 2; QFileInfo::exists(out); ++k)
            out = QStringLiteral("%1-%2").arg(base).arg(k);
    }
    if (!QDir().mkpath(out) || !QFileInfo(out).isDir())
        throw BatchFailure(QStringLiteral("Не вдалося створити теку «%1» для протоколів і зведення. Вкажіть "
                                          "теку, до якої у вас є право запису")
                               .arg(native(out)));
    QTemporaryFile probe(QDir(out).filePath(QStringLiteral(".brantovel-XXXXXX")));
    if (!probe.open())
        throw BatchFailure(QStringLiteral("До теки «%1» не можна записувати протоколи і зведення. Вкажіть теку, "
                                          "до якої у вас є право запису")
                               .arg(native(out)));
    return out;
}

// Lets reports be checked together while they are small, and a large one only alone.
class MemoryGate {
public:
    void enter(bool alone)
    {
        std::unique_lock lock(m_mutex);
        if (alone) {
            ++m_waitingAlone;
            m_changed.wait(lock, [&] { return m_running == 0 && !m_alone; });
            --m_waitingAlone;
            m_alone = true;
        } else {
            m_changed.wait(lock, [&] { return !m_alone && m_waitingAlone == 0; });
            ++m_running;
        }
    }
    void leave(bool alone)
    {
        {
            std::lock_guard lock(m_mutex);
            if (alone)
                m_alone = false;
            else
                --m_running;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_running = 0, m_waitingAlone = 0;
    bool m_alone = false;
};

struct Job {
    QString file, path, logPath;
    bool large = false;
};

// One report, checked as the single check does, with nothing written but its log.
BatchReport checkOne(const Job& job, const check::Environment& env, const QString& logTemplate)
{
    BatchReport report;
    report.file = job.file;
    sheet::MSExcel Excel; // this report's own link; everything it opened goes with it
    check::Checker checker(env);
    checker.Logfilename = job.logPath;
    try {
        checker.ProvObjReadOnly(Excel, job.path, logTemplate);
        report.heading = check::readHeading(*checker.WBNew, env.locale);
        report.rows = logRows(*checker.log.WBLog, checker.firstFindingRow, env.locale);
        report.table1 = readTable1(*checker.WBNew, env.locale);
        // Last: it may write a stamp into the report's copy in memory.
        report.sender = readSenderCheck(*checker.WBNew, job.path, job.file, env.locale);
    } catch (const std::exception& e) {
        // The row names the file already: the message need not repeat the folder.
        report.reason = withFullStop(failureText(e)).replace(QDir::toNativeSeparators(job.path), job.file);
    } catch (...) {
        report.reason = QStringLiteral("Внутрішня помилка програми. Звіт не перевірено.");
    }
    report.findings = int(report.rows.size());
    // A log in the output folder from an earlier run must not contradict this one.
    if (report.rows.isEmpty() && QFileInfo::exists(job.logPath))
        QFile::remove(job.logPath);
    if (!report.reason.isEmpty())
        return report; // NotChecked
    if (report.rows.isEmpty()) {
        report.status = BatchReport::Clean;
        return report;
    }
    report.status = BatchReport::Findings;
    checker.WBNew.reset();
    try {
        Excel.SaveWorkBook(*checker.log.WBLog);
        report.log = QFileInfo(job.logPath).fileName();
    } catch (const std::exception& e) {
        report.reason = QStringLiteral("Протокол не записано: ") + withFullStop(failureText(e));
    }
    return report;
}

QString periodText(const check::Heading& h)
{
    const QString unknown = QStringLiteral("?");
    return QStringLiteral("%1 міс. %2")
        .arg(h.months.isEmpty() ? unknown : h.months, h.year.isEmpty() ? unknown : h.year);
}

// What only the whole folder shows: reports of one balance holder, periods unlike the one collected
// (or, without it, unlike most reports'), codes the register lacks, and what the sender's file says.
void flag(QList<BatchReport>& reports, const std::optional<check::ReportingPeriod>& expected, const SenderRegister* reg)
{
    QMap<QString, QList<int>> byCode;
    QMap<std::pair<QString, QString>, int> periods;
    for (int i = 0; i < reports.size(); ++i) {
        const check::Heading& h = reports[i].heading;
        if (reports[i].status == BatchReport::NotChecked)
            continue;
        if (!h.code.isEmpty())
            byCode[h.code] << i;
        if (!h.months.isEmpty() || !h.year.isEmpty())
            ++periods[{h.months, h.year}];
    }
    for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
        if (it->size() < 2)
            continue;
        for (int i : *it) {
            QStringList others;
            for (int j : *it)
                if (j != i)
                    others << reports[j].file;
            const qsizetype more = others.size() - 5;
            if (more > 0) {
                others = others.mid(0, 5);
                others << QStringLiteral("та ще %1").arg(more);
            }
            reports[i].flags
                << QStringLiteral("Код %1 також у звітах: %2.").arg(it.key(), others.join(QStringLiteral(", ")));
        }
    }
    for (BatchReport& r : reports) {
        if (r.status == BatchReport::NotChecked)
            continue;
        if (expected)
            if (const QString f = periodFlag(r.heading, *expected); !f.isEmpty())
                r.flags << f;
        if (reg)
            if (const QString f = registerFlag(r.heading.code, *reg); !f.isEmpty())
                r.flags << f;
        r.flags << r.sender.flags;
    }
    if (expected)
        return;
    // The period most reports give; when two periods are equally common, none is "the" period.
    std::optional<std::pair<QString, QString>> common;
    int best = 0;
    bool tie = false;
    for (auto it = periods.cbegin(); it != periods.cend(); ++it) {
        if (it.value() > best) {
            best = it.value();
            common = it.key();
            tie = false;
        } else if (it.value() == best) {
            tie = true;
        }
    }
    if (!common || tie)
        return;
    const check::Heading usual{{}, {}, common->first, common->second};
    for (BatchReport& r : reports) {
        const check::Heading& h = r.heading;
        if (r.status == BatchReport::NotChecked || (h.months.isEmpty() && h.year.isEmpty()))
            continue;
        if (std::pair{h.months, h.year} != *common)
            r.flags << QStringLiteral("Період %1, а в більшості звітів %2.").arg(periodText(h), periodText(usual));
    }
}

// The log writes a column as its letter up to Z and as its number past it.
int columnNumber(const QString& text)
{
    if (text.size() == 1 && text[0] >= u'A' && text[0] <= u'Z')
        return text[0].unicode() - u'A' + 1;
    return text.toInt();
}

// The summary workbook while the reports come in.
class Summary {
public:
    Summary(sheet::MSExcel& Excel, const QString& templatePath, const QString& path, const QString& reportsFolder,
            const sheet::Locale& locale)
        : m_book(Excel.AddWorkBook(templatePath, path)),
          m_reports(QFileInfo(path).dir().relativeFilePath(reportsFolder)), m_locale(locale)
    {
        if (m_book->SheetsCount() < 2)
            throw BatchFailure(QStringLiteral("Шаблон зведення «%1» має менше двох аркушів").arg(native(templatePath)));
        m_firstReportRow = m_book->lastCellRow(1) + 1;
        m_findingRow = m_book->lastCellRow(2) + 1;
    }

    int reportRoom() const { return kLastRow - m_firstReportRow + 1; }

    void add(int index, const BatchReport& r)
    {
        const int row = m_firstReportRow + index;
        text(1, row, kFile, r.file);
        text(1, row, kCode, r.heading.code);
        text(1, row, kName, r.heading.name);
        text(1, row, kMonths, r.heading.months);
        text(1, row, kYear, r.heading.year);
        if (r.status == BatchReport::Clean || r.status == BatchReport::Findings)
            m_book->SetNumber(1, row, kFindings, r.findings);
        text(1, row, kStatus, statusText(r.status));
        text(1, row, kNote, r.reason);
        text(1, row, kLog, r.log);
        // The file and its log open from the summary; the links are relative, as the findings' are.
        if (!r.file.isEmpty())
            m_book->AddHyperlink(1, row, kFile, QDir(m_reports).filePath(r.file), {});
        if (!r.log.isEmpty())
            m_book->AddHyperlink(1, row, kLog, r.log, {});
        if (r.status != BatchReport::NotChecked && r.status != BatchReport::NotSubmitted) {
            text(1, row, kStamp, r.sender.stamp);
            if (r.sender.modified.isValid())
                text(1, row, kSaved, m_locale.dateTimeText(r.sender.modified));
        }
        if (r.status != BatchReport::NotChecked && r.status != BatchReport::NotSubmitted) {
            m_all.add(r.file, r.table1);
            if (r.status == BatchReport::Clean)
                m_clean.add(r.file, r.table1);
        }
        for (const LogRow& f : r.rows) {
            if (m_findingRow == kLastRow) { // the last row says what did not fit
                ++m_omitted;
                continue;
            }
            text(2, m_findingRow, kFindingFile, r.file);
            text(2, m_findingRow, kFindingSheet, f.sheet);
            // As in the log, the sheet name opens the report at the finding's cell; the link is
            // relative, so it still works when the folder of reports is moved with its results.
            if (!f.sheet.isEmpty())
                m_book->AddHyperlink(2, m_findingRow, kFindingSheet, QDir(m_reports).filePath(r.file),
                                     findings::findingLocation(f.sheet, f.row.toInt(), columnNumber(f.column)));
            if (const int n = f.row.toInt(); n > 0)
                m_book->SetNumber(2, m_findingRow, kFindingRow, n);
            text(2, m_findingRow, kFindingColumn, f.column);
            text(2, m_findingRow, kFindingMessage, f.message);
            ++m_findingRow;
        }
    }

    void finish(const QList<BatchReport>& reports, const QString& info)
    {
        for (int i = 0; i < reports.size(); ++i)
            text(1, m_firstReportRow + i, kFlags, reports[i].flags.join(QLatin1Char('\n')));
        if (m_book->SheetsCount() >= kTotalsSheet)
            writeTotals(*m_book, kTotalsSheet, m_clean, m_all);
        text(1, kInfoRow, 1, info);
        if (m_omitted > 0)
            text(2, kLastRow, kFindingMessage,
                 QStringLiteral("Аркуш вміщує не всі помилки: ще %1 не показано. Усі помилки кожного звіту є в "
                                "його протоколі.")
                     .arg(m_omitted));
        m_book->Save();
    }

private:
    void text(int sheet, int row, int col, const QString& value)
    {
        if (!value.isEmpty())
            m_book->SetValue(sheet, row, col, value);
    }

    std::shared_ptr<sheet::Book> m_book;
    QString m_reports; // the folder of reports, relative to the summary's folder
    sheet::Locale m_locale;
    int m_firstReportRow = 0, m_findingRow = 0, m_omitted = 0;
    Table1Totals m_clean, m_all; // the region's Table 1 over the clean reports and over all checked ones
};

} // namespace

BatchRun::BatchRun(BatchOptions options, check::Environment env) : m_options(std::move(options)), m_env(std::move(env))
{
    m_env.listDir = m_options.dir; // the lists lie beside the templates
    m_env.expectedPeriod = m_options.period;
}

BatchResult BatchRun::run()
{
    BatchResult result;
    const QDir dir(m_options.dir);
    const QString logTemplate = dir.absoluteFilePath(QStringLiteral("elog.xls"));
    const QString summaryTemplate = dir.absoluteFilePath(QStringLiteral("zvedennya.xls"));
    QStringList files;
    sheet::MSExcel Excel; // the summary's link
    std::optional<Summary> summary;
    std::optional<SenderRegister> reg;
    try {
        if (!QFileInfo(m_options.folder).isDir())
            throw BatchFailure(QStringLiteral("Теку зі звітами «%1» не знайдено").arg(native(m_options.folder)));
        requireTemplate(logTemplate, QStringLiteral("протоколу"));
        requireTemplate(summaryTemplate, QStringLiteral("зведення"));
        requireLists(m_options.dir);
        if (!m_options.registerFile.isEmpty()) {
            try {
                reg = readRegister(QFileInfo(m_options.registerFile).absoluteFilePath(), m_env.locale);
            } catch (const RegisterError& e) {
                throw BatchFailure(e.message());
            }
            result.withRegister = true;
            result.registerProblems = reg->problems;
        }
        files = reportFiles(m_options.folder);
        if (files.isEmpty())
            throw BatchFailure(QStringLiteral("У теці «%1» немає файлів .xls").arg(native(m_options.folder)));
        result.outDir = prepareOutDir(m_options, m_env.clock().date());
        result.summary = QDir(result.outDir).filePath(QStringLiteral("зведення.xls"));
        summary.emplace(Excel, summaryTemplate, result.summary, QDir(m_options.folder).absolutePath(), m_env.locale);
        if (files.size() + (reg ? qsizetype(reg->senders.size()) : 0) > summary->reportRoom())
            throw BatchFailure(QStringLiteral("У теці «%1» %2 файлів .xls, а зведення вміщує не більше %3")
                                   .arg(native(m_options.folder))
                                   .arg(files.size())
                                   .arg(summary->reportRoom()));
    } catch (const std::exception& e) {
        result.error = withFullStop(failureText(e));
        return result;
    }

    const QStringList logs = logNames(files);
    std::vector<Job> jobs;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = QDir(m_options.folder).absoluteFilePath(files[i]);
        jobs.push_back({files[i], path, QDir(result.outDir).filePath(logs[i]), QFileInfo(path).size() > kLargeReport});
    }
    const int total = int(jobs.size());
    result.total = total;
    const int workers =
        std::clamp(m_options.jobs > 0 ? m_options.jobs : QThread::idealThreadCount(), 1, std::max(1, total));
    // Reports done ahead of the first one not yet passed on wait in memory: at most this many.
    const int window = 2 * workers;

    std::mutex mutex;
    std::condition_variable changed;
    int next = 0, passed = 0, done = 0;
    bool stop = false, halted = false;
    const std::function<bool()> cancelled = this->cancelled;
    std::vector<std::optional<BatchReport>> finished(static_cast<size_t>(total));
    MemoryGate gate;
    const check::Environment env = m_env;

    auto work = [&] {
        for (;;) {
            int i;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || next >= total || next < passed + window; });
                if (!halted && cancelled && cancelled())
                    halted = true;
                if (stop || halted || next >= total) {
                    lock.unlock();
                    changed.notify_all();
                    return;
                }
                i = next++;
            }
            const Job& job = jobs[size_t(i)];
            gate.enter(job.large);
            BatchReport report = checkOne(job, env, logTemplate);
            gate.leave(job.large);
            {
                std::lock_guard lock(mutex);
                finished[size_t(i)] = std::move(report);
                ++done;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    struct Joiner {
        std::vector<std::thread>& threads;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stop;
        ~Joiner()
        {
            {
                std::lock_guard lock(mutex);
                stop = true;
            }
            changed.notify_all();
            for (std::thread& t : threads)
                t.join();
        }
    } joiner{threads, mutex, changed, stop};
    for (int k = 0; k < workers; ++k)
        threads.emplace_back(work);

    QList<BatchReport> reports; // in name order, each without its findings once the summary has them
    try {
        int shown = 0;
        while (passed < total) {
            std::optional<BatchReport> ready;
            int nowDone;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return finished[size_t(passed)].has_value() || done != shown || (halted && passed == next);
                });
                if (halted && passed == next && !finished[size_t(passed)]) {
                    result.cancelled = true;
                    break;
                }
                nowDone = done;
                ready.swap(finished[size_t(passed)]);
            }
            if (nowDone != shown) {
                shown = nowDone;
                if (onProgress)
                    onProgress(shown, total);
            }
            if (!ready)
                continue;
            BatchReport& report = *ready;
            summary->add(passed, report);
            if (onReport)
                onReport(report);
            report.rows.clear();
            switch (report.status) {
            case BatchReport::Clean:
                ++result.clean;
                break;
            case BatchReport::Findings:
                ++result.withFindings;
                break;
            case BatchReport::NotChecked:
                ++result.notChecked;
                break;
            }
            reports << report;
            {
                std::lock_guard lock(mutex);
                ++passed;
            }
            changed.notify_all();
        }
        flag(reports, m_options.period, reg ? &*reg : nullptr);
        for (const BatchReport& r : reports)
            if (!r.flags.isEmpty())
                result.flagged << r;
        if (reg && !result.cancelled) {
            // The register's balance holders that sent nothing: a report that could not be read still
            // counts as sent when its file is named after the code, as offices name them.
            QStringList codes;
            for (const BatchReport& r : reports)
                codes << (r.status == BatchReport::NotChecked ? QFileInfo(r.file).completeBaseName().section(u'_', 0, 0)
                                                              : r.heading.code);
            for (const Sender& missing : missingSenders(*reg, codes)) {
                BatchReport r;
                r.status = BatchReport::NotSubmitted;
                r.heading.code = missing.code;
                r.heading.name = missing.name;
                r.reason = QStringLiteral("Звіту в теці немає (реєстр, рядок %1).").arg(missing.line);
                summary->add(int(reports.size()), r);
                reports << r;
                result.notSubmitted << r;
            }
        }
        const QString cancelNote = result.cancelled
                                       ? QStringLiteral("Перевірку скасовано після %1 з %2 звітів: зведення неповне. ")
                                             .arg(reports.size())
                                             .arg(total)
                                       : QString();
        QString registerNote;
        if (m_options.period)
            registerNote = QStringLiteral(" Очікуваний період: %1.").arg(periodName(*m_options.period));
        if (reg) {
            registerNote += QStringLiteral(" Реєстр «%1»: балансоутримувачів %2, не подали звіту %3.")
                                .arg(native(QFileInfo(m_options.registerFile).absoluteFilePath()))
                                .arg(reg->senders.size())
                                .arg(result.notSubmitted.size());
            for (const QString& p : reg->problems)
                registerNote += QStringLiteral(" У реєстрі: ") + p;
        }
        summary->finish(
            reports,
            QStringLiteral("%8Тека: %1. Перевірено: %2. Звітів: %3; без помилок: %4, з помилками: %5, не "
                           "перевірено: %6, з позначками: %7.%9")
                .arg(native(QFileInfo(m_options.folder).absoluteFilePath()), m_env.locale.dateTimeText(m_env.clock()))
                .arg(result.clean + result.withFindings + result.notChecked)
                .arg(result.clean)
                .arg(result.withFindings)
                .arg(result.notChecked)
                .arg(result.flagged.size())
                .arg(cancelNote, registerNote));
    } catch (const std::exception& e) {
        result.error = withFullStop(failureText(e));
    }
    return result;
}

} // namespace app
