#include "batchrun.h"

#include "check/lists.h"
#include "checkreport.h"
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
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <stop_token>
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

    // Holds the gate for one report, and lets it go on every path out of the scope.
    class Pass {
    public:
        Pass(MemoryGate& gate, bool alone) : m_gate(gate), m_alone(alone) { m_gate.enter(m_alone); }
        ~Pass() { m_gate.leave(m_alone); }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        MemoryGate& m_gate;
        bool m_alone;
    };

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_running = 0, m_waitingAlone = 0;
    bool m_alone = false;
};

// Runs work(i) for every i below `total` on `workers` threads and hands the results back in index
// order. At most two results per worker wait ahead of the one asked for, so memory stays bounded
// however many reports there are. An error that escapes work(i) is thrown again by take(i). The
// threads stop and are joined when the pool goes, on every path.
template <typename Result> class OrderedPool {
public:
    OrderedPool(int total, int workers, std::function<Result(int)> work)
        : m_total(total), m_window(2 * workers), m_work(std::move(work)), m_slots(size_t(total))
    {
        for (int k = 0; k < workers; ++k)
            m_threads.emplace_back([this](std::stop_token stop) { serve(stop); });
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;
    ~OrderedPool()
    {
        for (std::jthread& t : m_threads)
            t.request_stop();
        m_changed.notify_all();
    }

    // The result of job i, the next in order; while it waits, `progress` gets the number of jobs
    // done each time it grew.
    Result take(int i, const std::function<void(int done)>& progress)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_slots[size_t(i)].ready || m_done != m_shown; });
            if (m_done == m_shown)
                break;
            m_shown = m_done;
            lock.unlock();
            if (progress)
                progress(m_shown);
            lock.lock();
        }
        Slot slot = std::move(m_slots[size_t(i)]);
        m_slots[size_t(i)] = Slot{};
        m_passed = i + 1;
        lock.unlock();
        m_changed.notify_all();
        if (slot.error)
            std::rethrow_exception(slot.error);
        return std::move(*slot.result);
    }

private:
    struct Slot {
        bool ready = false;
        std::optional<Result> result;
        std::exception_ptr error;
    };

    void serve(std::stop_token stop)
    {
        for (;;) {
            int i;
            {
                std::unique_lock lock(m_mutex);
                if (!m_changed.wait(lock, stop, [&] { return m_next >= m_total || m_next < m_passed + m_window; }) ||
                    m_next >= m_total)
                    return;
                i = m_next++;
            }
            Slot slot;
            slot.ready = true;
            try {
                slot.result.emplace(m_work(i));
            } catch (...) {
                slot.error = std::current_exception();
            }
            {
                std::lock_guard lock(m_mutex);
                m_slots[size_t(i)] = std::move(slot);
                ++m_done;
            }
            m_changed.notify_all();
        }
    }

    const int m_total, m_window;
    const std::function<Result(int)> m_work;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::vector<Slot> m_slots;
    int m_next = 0, m_passed = 0, m_done = 0, m_shown = 0;
    std::vector<std::jthread> m_threads; // last: joined before the state above goes
};

// One report, checked as the single check does, with nothing written but its log.
BatchReport checkOne(const QString& file, const QString& path, const QString& logPath, const check::Environment& env,
                     const QString& logTemplate)
{
    BatchReport report;
    report.file = file;
    sheet::MSExcel Excel; // this report's own workbooks; everything it opened goes with it
    std::shared_ptr<sheet::Book> WBLog;
    int firstRow = 2;
    try {
        WBLog = Excel.AddWorkBook(logTemplate, logPath);
        firstRow = WBLog->lastCellRow(1) + 1;
        const std::shared_ptr<sheet::Book> WBNew = Excel.OpenWorkBook(path, true);
        CheckedReport checked = checkReport(*WBNew, env, {false, firstRow});
        report.heading = checked.heading;
        report.rows = std::move(checked.findings);
        report.table1 = readTable1(*WBNew, env.locale);
        // Last: it may write a stamp into the report's copy in memory.
        report.sender = readSenderCheck(*WBNew, path, file, env.locale);
    } catch (const std::exception& e) {
        // The row names the file already: the message need not repeat the folder.
        report.reason = withFullStop(failureText(e)).replace(QDir::toNativeSeparators(path), file);
    } catch (...) {
        report.reason = QStringLiteral("Внутрішня помилка програми. Звіт не перевірено.");
    }
    report.findings = int(report.rows.size());
    // A log in the output folder from an earlier run must not contradict this one.
    if (report.rows.empty() && QFileInfo::exists(logPath))
        QFile::remove(logPath);
    if (!report.reason.isEmpty())
        return report; // NotChecked
    if (report.rows.empty()) {
        report.status = BatchReport::Clean;
        return report;
    }
    report.status = BatchReport::Findings;
    try {
        findings::writeLog(*WBLog, firstRow, report.rows, env.locale, path);
        findings::writeLogHeading(
            *WBLog, {file, report.heading.code, report.heading.name, env.clock(), int(report.rows.size())}, env.locale);
        Excel.SaveWorkBook(*WBLog);
        report.log = QFileInfo(logPath).fileName();
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
        const bool checked = r.status == BatchReport::Clean || r.status == BatchReport::Findings;
        if (checked)
            m_book->SetNumber(1, row, kFindings, r.findings);
        text(1, row, kStatus, statusText(r.status));
        text(1, row, kNote, r.reason);
        text(1, row, kLog, r.log);
        // The file and its log open from the summary; the links are relative, as the findings' are.
        if (!r.file.isEmpty())
            m_book->AddHyperlink(1, row, kFile, QDir(m_reports).filePath(r.file), {});
        if (!r.log.isEmpty())
            m_book->AddHyperlink(1, row, kLog, r.log, {});
        if (checked) {
            text(1, row, kStamp, r.sender.stamp);
            if (r.sender.modified.isValid())
                text(1, row, kSaved, m_locale.dateTimeText(r.sender.modified));
            m_all.add(r.file, r.table1);
            if (r.status == BatchReport::Clean)
                m_clean.add(r.file, r.table1);
        }
        for (const findings::Finding& f : r.rows) {
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
                                     findings::findingLocation(f.sheet, f.row, f.col));
            if (f.row > 0)
                m_book->SetNumber(2, m_findingRow, kFindingRow, f.row);
            text(2, m_findingRow, kFindingColumn, findings::columnText(f.col));
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

struct BatchRun::Job {
    QString file, path, logPath;
    bool large = false;
};

struct BatchRun::Setup {
    QString logTemplate;
    sheet::MSExcel Excel; // the summary's link
    std::optional<Summary> summary;
    std::optional<SenderRegister> reg; // the register of senders, when one is given
};

std::vector<BatchRun::Job> BatchRun::prepare(Setup& setup, BatchResult& result)
{
    const QDir dir(m_options.dir);
    setup.logTemplate = dir.absoluteFilePath(QStringLiteral("elog.xls"));
    const QString summaryTemplate = dir.absoluteFilePath(QStringLiteral("zvedennya.xls"));
    if (!QFileInfo(m_options.folder).isDir())
        throw BatchFailure(QStringLiteral("Теку зі звітами «%1» не знайдено").arg(native(m_options.folder)));
    requireTemplate(setup.logTemplate, QStringLiteral("протоколу"));
    requireTemplate(summaryTemplate, QStringLiteral("зведення"));
    requireLists(m_options.dir);
    if (!m_options.registerFile.isEmpty()) {
        try {
            setup.reg = readRegister(QFileInfo(m_options.registerFile).absoluteFilePath(), m_env.locale);
        } catch (const RegisterError& e) {
            throw BatchFailure(e.message());
        }
        result.withRegister = true;
        result.registerProblems = setup.reg->problems;
    }
    const QStringList files = reportFiles(m_options.folder);
    if (files.isEmpty())
        throw BatchFailure(QStringLiteral("У теці «%1» немає файлів .xls").arg(native(m_options.folder)));
    result.outDir = prepareOutDir(m_options, m_env.clock().date());
    result.summary = QDir(result.outDir).filePath(QStringLiteral("зведення.xls"));
    setup.summary.emplace(setup.Excel, summaryTemplate, result.summary, QDir(m_options.folder).absolutePath(),
                          m_env.locale);
    if (files.size() + (setup.reg ? qsizetype(setup.reg->senders.size()) : 0) > setup.summary->reportRoom())
        throw BatchFailure(QStringLiteral("У теці «%1» %2 файлів .xls, а зведення вміщує не більше %3")
                               .arg(native(m_options.folder))
                               .arg(files.size())
                               .arg(setup.summary->reportRoom()));
    const QStringList logs = logNames(files);
    std::vector<Job> jobs;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = QDir(m_options.folder).absoluteFilePath(files[i]);
        jobs.push_back({files[i], path, QDir(result.outDir).filePath(logs[i]), QFileInfo(path).size() > kLargeReport});
    }
    return jobs;
}

void BatchRun::collect(const std::vector<Job>& jobs, Setup& setup, BatchResult& result)
{
    const int total = int(jobs.size());
    result.total = total;
    const int workers =
        std::clamp(m_options.jobs > 0 ? m_options.jobs : QThread::idealThreadCount(), 1, std::max(1, total));
    MemoryGate gate;
    const check::Environment env = m_env;
    OrderedPool<BatchReport> pool(total, workers, [&](int i) {
        const Job& job = jobs[size_t(i)];
        const MemoryGate::Pass pass(gate, job.large);
        return checkOne(job.file, job.path, job.logPath, env, setup.logTemplate);
    });
    const auto progress = [&](int done) {
        if (onProgress)
            onProgress(done, total);
    };

    QList<BatchReport> reports; // in name order, each without its findings once the summary has them
    for (int i = 0; i < total; ++i) {
        if (cancelled && cancelled()) {
            result.cancelled = true;
            break;
        }
        BatchReport report = pool.take(i, progress);
        setup.summary->add(i, report);
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
    }
    const SenderRegister* reg = setup.reg ? &*setup.reg : nullptr;
    flag(reports, m_options.period, reg);
    for (const BatchReport& r : reports)
        if (!r.flags.isEmpty())
            result.flagged << r;
    const int checked = int(reports.size());
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
            setup.summary->add(int(reports.size()), r);
            reports << r;
            result.notSubmitted << r;
        }
    }
    QString notes;
    if (m_options.period)
        notes += QStringLiteral(" Очікуваний період: %1.").arg(periodName(*m_options.period));
    if (reg) {
        notes += QStringLiteral(" Реєстр «%1»: балансоутримувачів %2, не подали звіту %3.")
                     .arg(native(QFileInfo(m_options.registerFile).absoluteFilePath()))
                     .arg(reg->senders.size())
                     .arg(result.notSubmitted.size());
        for (const QString& p : reg->problems)
            notes += QStringLiteral(" У реєстрі: ") + p;
    }
    // A run the user stopped says so first.
    const QString head =
        result.cancelled
            ? QStringLiteral("Перевірку скасовано після %1 з %2 звітів: зведення неповне. ").arg(checked).arg(total)
            : QString();
    setup.summary->finish(
        reports,
        head +
            QStringLiteral("Тека: %1. Перевірено: %2. Звітів: %3; без помилок: %4, з помилками: "
                           "%5, не перевірено: %6, з позначками: %7.")
                .arg(native(QFileInfo(m_options.folder).absoluteFilePath()), m_env.locale.dateTimeText(m_env.clock()))
                .arg(checked)
                .arg(result.clean)
                .arg(result.withFindings)
                .arg(result.notChecked)
                .arg(result.flagged.size()) +
            notes);
}

BatchResult BatchRun::run()
{
    BatchResult result;
    Setup setup;
    try {
        const std::vector<Job> jobs = prepare(setup, result);
        collect(jobs, setup, result);
    } catch (const std::exception& e) {
        result.error = withFullStop(failureText(e));
    }
    return result;
}

} // namespace app
