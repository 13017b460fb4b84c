#include "batchrun.h"

#include "check/lists.h"
#include "checkreport.h"
#include "folderlisting.h"
#include "log/log.h"
#include "office.h"
#include "outdirlock.h"
#include "register.h"
#include "resultstage.h"
#include "sheet/msexcel.h"
#include "xls/error.h"
#include "xls/syserror.h"

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
    case BatchReport::Skipped:
        return QStringLiteral("пропущено");
    case BatchReport::NotSubmitted:
        return QStringLiteral("не подано");
    case BatchReport::NotChecked:
        break;
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

// A template's bytes, read once when the run starts: every log (and the summary) of the run is made
// from the same content, whatever happens to the file meanwhile.
QByteArray readTemplate(const QString& path, const QString& what)
{
    if (!QFileInfo::exists(path))
        throw BatchFailure(QStringLiteral("Не знайдено шаблон %1 «%2». Поверніть файл %3 до теки програми та "
                                          "повторіть перевірку")
                               .arg(what, native(path), QFileInfo(path).fileName()));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw xls::makeError(xls::ErrorCode::ReadFailed, path);
    const QByteArray bytes = f.readAll();
    xls::Workbook::fromBytes(bytes, path); // a damaged template stops the batch with the engine's words
    return bytes;
}

// A book of the run made from a template's bytes, to be saved at `fullName`.
std::shared_ptr<sheet::Book> fromTemplate(const QByteArray& bytes, const QString& templatePath, const QString& fullName)
{
    return std::make_shared<sheet::Book>(fullName, xls::Workbook::fromBytes(bytes, templatePath));
}

// The six lists, read once; throws when one of them cannot be read.
std::shared_ptr<const check::ListSnapshot> readLists(const QString& dir)
{
    std::shared_ptr<const check::ListSnapshot> lists = check::ListSnapshot::take(dir);
    QStringList missing;
    for (const check::ListSnapshot::List& l : lists->lists)
        if (l.problem)
            missing << QStringLiteral("«%1»").arg(native(l.problem->path));
    if (!missing.isEmpty())
        throw BatchFailure(QStringLiteral("Не вдалося прочитати %1 %2. Теку перевіряють лише з усіма шістьма "
                                          "списками, щоб усі звіти було перевірено однаково")
                               .arg(missing.size() == 1 ? QStringLiteral("список") : QStringLiteral("списки"),
                                    missing.join(QStringLiteral(", "))));
    return lists;
}

// The lists of the run and when each was last changed, for the summary's header.
QString listsText(const check::ListSnapshot& lists, const sheet::Locale& locale)
{
    QStringList parts;
    for (const check::ListSnapshot::List& l : lists.lists)
        parts << QStringLiteral("%1 (змінено %2, рядків: %3)")
                     .arg(l.file, locale.dateTimeText(l.modified))
                     .arg(l.lines.size());
    return parts.join(QStringLiteral(", "));
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

// Why the output folder cannot be made or written to, with the system's cause.
QString outDirProblem(const QString& out, const xls::SystemFailure& failure)
{
    return QStringLiteral("Не вдалося підготувати теку «%1» для протоколів і зведення: %2. %3")
        .arg(native(out), xls::causeClause(failure), xls::causeRemedy(failure));
}

// The output folder: the one given, or a new dated folder inside the reports' folder, made
// exclusively, so that a second run never mixes its files with an earlier (or a simultaneous) one's.
// `created` says whether this run made it (and so removes it again when the run cannot go on).
QString prepareOutDir(const BatchOptions& options, const QDate& today, bool* created)
{
    QString out;
    *created = false;
    if (!options.outDir.isEmpty()) {
        out = QFileInfo(options.outDir).absoluteFilePath();
        const QString canonical = QFileInfo(out).canonicalFilePath();
        if (!canonical.isEmpty() && canonical == QFileInfo(options.folder).canonicalFilePath())
            throw BatchFailure(QStringLiteral("Протоколи і зведення не можна записувати до теки зі звітами «%1»: "
                                              "наступна перевірка взяла б їх за звіти. Вкажіть іншу теку")
                                   .arg(native(out)));
        if (QFileInfo(out).exists() && !QFileInfo(out).isDir())
            throw BatchFailure(QStringLiteral("«%1» — це файл, а не тека, тому протоколи і зведення туди записати не "
                                              "можна. Вкажіть у параметрі --out теку")
                                   .arg(native(out)));
        errno = 0;
        *created = !QFileInfo::exists(out);
        if (!QDir().mkpath(out) || !QFileInfo(out).isDir())
            throw BatchFailure(outDirProblem(out, xls::lastSystemFailure()));
    } else {
        const QString base =
            QDir(options.folder).filePath(QStringLiteral("перевірка-") + today.toString(QStringLiteral("yyyy-MM-dd")));
        out = base;
        for (int k = 2;; ++k) {
            errno = 0;
            if (QDir().mkdir(out))
                break;
            if (!QFileInfo::exists(out))
                throw BatchFailure(outDirProblem(out, xls::lastSystemFailure()));
            out = QStringLiteral("%1-%2").arg(base).arg(k);
        }
        *created = true;
    }
    QTemporaryFile probe(QDir(out).filePath(QStringLiteral(".brantovel-XXXXXX")));
    errno = 0;
    if (!probe.open())
        throw BatchFailure(outDirProblem(out, xls::failureOfDevice(xls::lastSystemFailure(), probe.error())));
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

// A report of a folder that went away while the run went on.
QString folderGoneText(const QString& folder)
{
    return QStringLiteral("Теки зі звітами «%1» більше немає (її видалено, перейменовано або диск від'єднано під час "
                          "перевірки), тому звіт не перевірено. Поверніть теку на місце й повторіть перевірку.")
        .arg(native(folder));
}

// A log that cannot be written because of the output folder itself (the disk is full, the folder
// is gone or may not be written): the run cannot go on, whichever report comes next.
bool outDirFailure(const std::exception& e)
{
    const auto* x = dynamic_cast<const xls::Error*>(&e);
    if (!x)
        return false;
    switch (x->systemCause()) {
    case xls::SystemCause::DiskFull:
    case xls::SystemCause::NoPermission:
    case xls::SystemCause::ReadOnlyDisk:
    case xls::SystemCause::FolderGone:
        return true;
    default:
        return false;
    }
}

// A report to check, and where its log goes.
struct ReportJob {
    QString file, path;
    QString logName, logPath; // the log's name, and where it is written while the run goes on
    bool large = false;
};

// The log template, read once when the run starts.
struct LogTemplate {
    QString path;
    QByteArray bytes;
};

// One report, checked as the single check does, with nothing written but its log (under its staged
// name). Throws BatchFailure when the log cannot be written because of the output folder itself.
BatchReport checkOne(const ReportJob& job, const check::Environment& env, const LogTemplate& logTemplate)
{
    BatchReport report;
    report.file = job.file;
    sheet::MSExcel Excel; // this report's own workbooks; everything it opened goes with it
    std::shared_ptr<sheet::Book> WBLog;
    int firstRow = 2;
    try {
        WBLog = fromTemplate(logTemplate.bytes, logTemplate.path, job.logPath);
        firstRow = WBLog->lastCellRow(1) + 1;
        const std::shared_ptr<sheet::Book> WBNew = Excel.OpenWorkBook(job.path, true);
        CheckedReport checked = checkReport(*WBNew, env, {false, firstRow});
        report.heading = checked.heading;
        report.rows = std::move(checked.findings);
        report.table1 = readTable1(*WBNew, env.locale);
        // Last: it may write a stamp into the report's copy in memory.
        report.sender = readSenderCheck(*WBNew, job.path, job.file, env.locale);
    } catch (const std::exception& e) {
        // The row names the file already: the message need not repeat the folder.
        report.reason = withFullStop(failureText(e)).replace(QDir::toNativeSeparators(job.path), job.file);
        if (const QString folder = QFileInfo(job.path).absolutePath(); !QFileInfo(folder).isDir())
            report.reason = folderGoneText(folder);
    } catch (...) {
        report.reason = QStringLiteral("Внутрішня помилка програми. Звіт не перевірено.");
    }
    report.findings = int(report.rows.size());
    if (!report.reason.isEmpty())
        return report; // NotChecked
    if (report.rows.empty()) {
        report.status = BatchReport::Clean;
        return report;
    }
    report.status = BatchReport::Findings;
    try {
        findings::writeLog(*WBLog, firstRow, report.rows, env.locale, job.path);
        findings::writeLogHeading(
            *WBLog, {job.file, report.heading.code, report.heading.name, env.clock(), int(report.rows.size())},
            env.locale);
        WBLog->Save();
        ResultStage::hide(job.logPath);
        report.log = job.logName;
    } catch (const std::exception& e) {
        // The log is written under its hidden name: the user is told of the one it would have.
        const QString text =
            withFullStop(failureText(e))
                .replace(native(job.logPath), native(QFileInfo(job.logPath).dir().filePath(job.logName)));
        if (outDirFailure(e))
            throw BatchFailure(QStringLiteral("Перевірку теки зупинено. ") + text);
        report.reason = QStringLiteral("Протокол не записано: ") + text;
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
        if (reports[i].status == BatchReport::NotChecked || reports[i].status == BatchReport::Skipped)
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
        if (r.status != BatchReport::Clean && r.status != BatchReport::Findings)
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
        if (r.status == BatchReport::NotChecked || r.status == BatchReport::Skipped ||
            (h.months.isEmpty() && h.year.isEmpty()))
            continue;
        if (std::pair{h.months, h.year} != *common)
            r.flags << QStringLiteral("Період %1, а в більшості звітів %2.").arg(periodText(h), periodText(usual));
    }
}

// The summary workbook while the reports come in.
class Summary {
public:
    Summary(const QByteArray& templateBytes, const QString& templatePath, const QString& path,
            const QString& reportsFolder, const sheet::Locale& locale)
        : m_book(fromTemplate(templateBytes, templatePath, path)),
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
        // The report and its log open from the summary; the links are relative, as the findings' are.
        if (r.status != BatchReport::Skipped && r.status != BatchReport::NotSubmitted)
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

    int firstReportRow() const { return m_firstReportRow; }

    void finish(const QList<BatchReport>& reports)
    {
        for (int i = 0; i < reports.size(); ++i)
            text(1, m_firstReportRow + i, kFlags, reports[i].flags.join(QLatin1Char('\n')));
        if (m_book->SheetsCount() >= kTotalsSheet)
            writeTotals(*m_book, kTotalsSheet, m_clean, m_all);
        if (m_omitted > 0)
            text(2, kLastRow, kFindingMessage,
                 QStringLiteral("Аркуш вміщує не всі помилки: ще %1 не показано. Усі помилки кожного звіту є в "
                                "його протоколі.")
                     .arg(m_omitted));
    }

    // A log that could not be put in place: the summary does not name it, and says why.
    void logMissing(int index, const QString& reason)
    {
        m_book->SetValue(1, m_firstReportRow + index, kLog, QString());
        m_book->SetValue(1, m_firstReportRow + index, kNote, reason);
    }

    // Writes the summary (atomically) with `info` on its information row, marked incomplete first
    // while the logs are being put in place.
    void save(const QString& info, bool incomplete)
    {
        m_book->SetValue(1, kInfoRow, 1, incomplete ? ResultStage::kIncomplete + QLatin1Char(' ') + info : info);
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

// The summary's information row: which folder, when, the counts, and the lists the run used.
QString info(const QString& folder, const QString& when, const BatchResult& r, const QString& lists)
{
    QString text = QStringLiteral("Тека: %1. Перевірено: %2. Звітів: %3; без помилок: %4, з помилками: %5, не "
                                  "перевірено: %6, з позначками: %7")
                       .arg(native(QFileInfo(folder).absoluteFilePath()), when)
                       .arg(r.total)
                       .arg(r.clean)
                       .arg(r.withFindings)
                       .arg(r.notChecked)
                       .arg(r.flagged.size());
    if (r.skipped > 0)
        text += QStringLiteral("; пропущено інших файлів і тек: %1").arg(r.skipped);
    return text + QStringLiteral(". Списки: %1.").arg(lists);
}

// What a failed run left of the output folder's results.
QString untouchedText(const QString& outDir, bool existed)
{
    return existed ? QStringLiteral("Попередні результати в теці «%1» залишилися без змін.").arg(native(outDir))
                   : QStringLiteral("Теку результатів «%1» не створено.").arg(native(outDir));
}

// The last step of a run (see ResultStage): the summary marked incomplete replaces the old one, the
// logs are put in place, and the summary is written again complete. `replaced` turns true once the
// old summary is gone.
void publish(Summary& summary, ResultStage& stage, QList<BatchReport>& reports, const QStringList& newLogs,
             const QStringList& oldLogs, const QString& info, bool* replaced)
{
    stage.noteRemovals(oldLogs);
    summary.save(info, true);
    *replaced = true;
    const QMap<QString, QString> failed = stage.publish(newLogs, oldLogs);
    for (int i = 0; i < reports.size(); ++i) {
        BatchReport& r = reports[i];
        if (r.log.isEmpty() || !failed.contains(r.log))
            continue;
        r.reason = QStringLiteral("Протокол не записано: ") + failed.value(r.log);
        r.log.clear();
        summary.logMissing(i, r.reason);
    }
    try {
        summary.save(info, false);
    } catch (const std::exception& e) {
        throw BatchFailure(withFullStop(failureText(e)) +
                           QStringLiteral(" Зведення залишилося позначеним як неповне: повторіть перевірку"));
    }
}

// What the run holds in the output folder while it goes: the lock and the staged logs. Let go in
// that order when the run ends; a folder the run made and left empty goes too.
struct OutDirHold {
    std::optional<OutDirLock> lock;
    std::optional<ResultStage> stage;
    QString createdDir;
    bool keep = false; // the results were published

    ~OutDirHold()
    {
        stage.reset();
        lock.reset();
        if (!keep && !createdDir.isEmpty())
            QDir().rmdir(createdDir); // only when empty
    }
};

// The entries of the folder as rows of the summary: a report is checked later; the others are done.
BatchReport entryReport(const FolderEntry& e)
{
    BatchReport r;
    r.file = e.name;
    r.reason = e.reason;
    r.status = e.kind == FolderEntry::Skipped ? BatchReport::Skipped : BatchReport::NotChecked;
    r.otherFormat = e.otherFormat;
    return r;
}

} // namespace

BatchRun::BatchRun(BatchOptions options, check::Environment env) : m_options(std::move(options)), m_env(std::move(env))
{
    m_env.listDir = m_options.dir; // the lists lie beside the templates
    m_env.expectedPeriod = m_options.period;
}

struct BatchRun::Job : ReportJob {};

struct BatchRun::Setup {
    LogTemplate logTemplate;
    check::Environment env;
    FolderListing listing;
    OutDirHold hold;
    std::optional<Summary> summary;
    QStringList oldLogs;               // the logs the summary this run replaces names
    QString lists;                     // the lists the run used, for the summary's header
    std::optional<SenderRegister> reg; // the register of senders, when one is given
};

// The output folder, held for this run: made (or taken), locked, its staged leftovers cleared, and
// the summary begun from its template; throws with the reason when any of it cannot be done.
void BatchRun::takeOutDir(Setup& setup, const QByteArray& summaryBytes, const QString& summaryTemplate,
                          BatchResult& result)
{
    bool created = false;
    result.outDir = prepareOutDir(m_options, m_env.clock().date(), &created);
    if (created)
        setup.hold.createdDir = result.outDir;
    setup.hold.lock.emplace(result.outDir, m_env.clock());
    if (!setup.hold.lock->held())
        throw BatchFailure(setup.hold.lock->error());
    if (!setup.hold.lock->note().isEmpty())
        result.notes << setup.hold.lock->note();
    setup.hold.stage.emplace(result.outDir);
    result.summary = QDir(result.outDir).filePath(QStringLiteral("зведення.xls"));
    setup.summary.emplace(summaryBytes, summaryTemplate, result.summary, QDir(m_options.folder).absolutePath(),
                          m_env.locale);
    setup.oldLogs = ResultStage::namedLogs(result.summary, setup.summary->firstReportRow(), kLog) +
                    setup.hold.stage->leftToRemove();
}

std::vector<BatchRun::Job> BatchRun::prepare(Setup& setup, BatchResult& result)
{
    const QDir dir(m_options.dir);
    setup.logTemplate.path = dir.absoluteFilePath(QStringLiteral("elog.xls"));
    const QString summaryTemplate = dir.absoluteFilePath(QStringLiteral("zvedennya.xls"));
    if (!QFileInfo(m_options.folder).isDir())
        throw BatchFailure(QStringLiteral("Теку зі звітами «%1» не знайдено").arg(native(m_options.folder)));
    // One snapshot: the templates and the lists as they are now serve every report of the run.
    setup.logTemplate.bytes = readTemplate(setup.logTemplate.path, QStringLiteral("протоколу"));
    const QByteArray summaryBytes = readTemplate(summaryTemplate, QStringLiteral("зведення"));
    setup.env = m_env;
    setup.env.listSnapshot = readLists(m_options.dir);
    setup.lists = listsText(*setup.env.listSnapshot, m_env.locale);
    // The register is read once too, before anything is written.
    if (!m_options.registerFile.isEmpty()) {
        try {
            setup.reg = readRegister(QFileInfo(m_options.registerFile).absoluteFilePath(), m_env.locale);
        } catch (const RegisterError& e) {
            throw BatchFailure(e.message());
        }
        result.withRegister = true;
        result.registerProblems = setup.reg->problems;
    }
    setup.listing = listFolder(m_options.folder, m_options.outDir);
    const std::vector<FolderEntry>& entries = setup.listing.entries;
    if (!setup.listing.error.isEmpty())
        throw BatchFailure(setup.listing.error);
    if (std::none_of(entries.begin(), entries.end(),
                     [](const FolderEntry& e) { return e.kind != FolderEntry::Skipped; }))
        throw BatchFailure(QStringLiteral("У теці «%1» немає файлів .xls (інших файлів і тек: %2)")
                               .arg(native(m_options.folder))
                               .arg(entries.size()));
    takeOutDir(setup, summaryBytes, summaryTemplate, result);
    if (qsizetype(entries.size()) + (setup.reg ? qsizetype(setup.reg->senders.size()) : 0) >
        setup.summary->reportRoom())
        throw BatchFailure(QStringLiteral("У теці «%1» %2 файлів і тек, а зведення вміщує не більше %3")
                               .arg(native(m_options.folder))
                               .arg(entries.size())
                               .arg(setup.summary->reportRoom()));
    QStringList files;
    for (const FolderEntry& e : entries)
        if (e.kind == FolderEntry::Report)
            files << e.name;
    const QStringList logs = logNames(files);
    std::vector<Job> jobs;
    for (const FolderEntry& e : entries) {
        if (e.kind != FolderEntry::Report)
            continue;
        const QString& log = logs[qsizetype(jobs.size())];
        jobs.push_back({{e.name, QDir(m_options.folder).absoluteFilePath(e.name), log,
                         setup.hold.stage->stagedPath(log), e.size > kLargeReport}});
    }
    return jobs;
}

void BatchRun::count(const BatchReport& report, BatchResult& result)
{
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
    case BatchReport::Skipped:
        ++result.skipped;
        result.skippedOtherFormat += report.otherFormat ? 1 : 0;
        break;
    case BatchReport::NotSubmitted:
        break;
    }
}

namespace {

// The register's balance holders that sent nothing, each a "не подано" row after the folder's
// entries. A report that could not be read still counts as sent when its file is named after the
// code, as offices name them.
void addNotSubmitted(const SenderRegister& reg, QList<BatchReport>& reports, Summary& summary, BatchResult& result)
{
    QStringList codes;
    for (const BatchReport& r : reports)
        if (r.status == BatchReport::NotChecked)
            codes << QFileInfo(r.file).completeBaseName().section(u'_', 0, 0);
        else if (r.status != BatchReport::Skipped)
            codes << r.heading.code;
    for (const Sender& missing : missingSenders(reg, codes)) {
        BatchReport r;
        r.status = BatchReport::NotSubmitted;
        r.heading.code = missing.code;
        r.heading.name = missing.name;
        r.reason = QStringLiteral("Звіту в теці немає (реєстр, рядок %1).").arg(missing.line);
        // A file named after the code that gives another one: the office should look at it.
        for (const BatchReport& named : reports)
            if ((named.status == BatchReport::Clean || named.status == BatchReport::Findings) &&
                QFileInfo(named.file).completeBaseName().section(u'_', 0, 0) == missing.code)
                r.reason = QStringLiteral("Звіту з цим кодом у теці немає: у файлі «%1» код %2 (реєстр, рядок %3).")
                               .arg(named.file,
                                    named.heading.code.isEmpty() ? QStringLiteral("не вказано") : named.heading.code)
                               .arg(missing.line);
        summary.add(int(reports.size()), r);
        reports << r;
        result.notSubmitted << r;
    }
}

} // namespace

void BatchRun::collect(const std::vector<Job>& jobs, Setup& setup, BatchResult& result)
{
    const int total = int(jobs.size());
    const int workers =
        std::clamp(m_options.jobs > 0 ? m_options.jobs : QThread::idealThreadCount(), 1, std::max(1, total));
    MemoryGate gate;
    OrderedPool<BatchReport> pool(total, workers, [&](int i) {
        const Job& job = jobs[size_t(i)];
        const MemoryGate::Pass pass(gate, job.large);
        return checkOne(job, setup.env, setup.logTemplate);
    });
    const auto progress = [&](int done) {
        if (onProgress)
            onProgress(done, total);
    };

    // Every entry in name order: a report as the pool hands it back, the others as they were listed.
    QList<BatchReport> reports; // each without its findings once the summary has them
    QStringList newLogs;
    int next = 0;
    for (const FolderEntry& e : setup.listing.entries) {
        if (cancelled && cancelled()) {
            result.cancelled = true;
            break;
        }
        BatchReport report = e.kind == FolderEntry::Report ? pool.take(next++, progress) : entryReport(e);
        setup.summary->add(int(reports.size()), report);
        if (onReport)
            onReport(report);
        report.rows.clear();
        count(report, result);
        if (!report.log.isEmpty())
            newLogs << report.log;
        reports << report;
    }
    result.total = result.clean + result.withFindings + result.notChecked;
    const SenderRegister* reg = setup.reg ? &*setup.reg : nullptr;
    flag(reports, m_options.period, reg);
    for (const BatchReport& r : reports)
        if (!r.flags.isEmpty())
            result.flagged << r;
    if (reg && !result.cancelled)
        addNotSubmitted(*reg, reports, *setup.summary, result);
    setup.summary->finish(reports);
    QString text = info(m_options.folder, m_env.locale.dateTimeText(m_env.clock()), result, setup.lists);
    if (m_options.period)
        text += QStringLiteral(" Очікуваний період: %1.").arg(periodName(*m_options.period));
    if (reg) {
        text += QStringLiteral(" Реєстр «%1»: балансоутримувачів %2, не подали звіту %3.")
                    .arg(native(QFileInfo(m_options.registerFile).absoluteFilePath()))
                    .arg(reg->senders.size())
                    .arg(result.notSubmitted.size());
        for (const QString& p : reg->problems)
            text += QStringLiteral(" У реєстрі: ") + p;
    }
    // A run the user stopped says so first: its summary names only the entries before the stop.
    if (result.cancelled)
        text.prepend(QStringLiteral("Перевірку скасовано після %1 з %2 звітів: зведення неповне. ")
                         .arg(result.total)
                         .arg(std::count_if(setup.listing.entries.begin(), setup.listing.entries.end(),
                                            [](const FolderEntry& e) { return e.kind != FolderEntry::Skipped; })));
    publish(*setup.summary, *setup.hold.stage, reports, newLogs, setup.oldLogs, text, &setup.hold.keep);
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
        // Only once the output folder is taken: before, there is nothing of it to speak of.
        if (setup.hold.lock && setup.hold.lock->held() && !setup.hold.keep)
            result.error += QLatin1Char(' ') + untouchedText(result.outDir, setup.hold.createdDir.isEmpty());
    }
    return result;
}

} // namespace app
