#include "controlrun.h"

#include "checkreport.h"
#include "sheet/msexcel.h"
#include "sheet/valuetext.h"
#include "xls/error.h"
#include "xls/savefile.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <new>
#include <stdexcept>

namespace app {

QString applicationTitle(const QString& executablePath)
{
    const QString name = QFileInfo(executablePath).fileName().section(QLatin1Char('.'), 0, 0);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

namespace {

class RunFailure : public std::runtime_error {
public:
    explicit RunFailure(const QString& text) : std::runtime_error(text.toStdString()) {}
};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Whether the permission bits leave a file or folder writable; judged by the bits as the save
// does, so that even an administrator's run does not write where the user may not.
bool writableByBits(const QFileInfo& info)
{
    const QFileDevice::Permissions p = info.permissions();
    return (p & QFileDevice::WriteUser) &&
           (p & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther));
}

// Whether new files can be made in the folder: the log is created there and the report is saved
// through a temporary file beside it.
bool folderWritable(const QString& dir)
{
#ifdef Q_OS_UNIX
    if (!writableByBits(QFileInfo(dir)))
        return false;
#endif
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".brantovel-XXXXXX")));
    return probe.open();
}

// Finds out, before anything is written, that the run can make its log and save the report.
void checkBeforeWriting(const QString& dir, const QString& report, const QString& templ)
{
    if (!folderWritable(dir))
        throw RunFailure(QStringLiteral("До теки «%1» не можна записувати, тому перевірка не може створити протокол "
                                        "і зберегти звіт. Перенесіть файли програми до теки, де у вас є право "
                                        "запису, і повторіть перевірку")
                             .arg(native(dir)));
    const QFileInfo t(templ);
    if (!t.exists())
        throw RunFailure(QStringLiteral("Не знайдено шаблон протоколу «%1». Поверніть файл elog.xls до теки "
                                        "програми та повторіть перевірку")
                             .arg(native(templ)));
    if (t.isDir())
        throw xls::makeError(xls::ErrorCode::IsFolder, templ);
    const QFileInfo r(report);
    if (!r.exists())
        throw xls::makeError(xls::ErrorCode::NotFound, report);
    if (r.isDir())
        throw xls::makeError(xls::ErrorCode::IsFolder, report);
    // An editor that has the report open would later save its own copy over the stamped one.
    if (const QString lock = xls::editorLockFile(report); !lock.isEmpty())
        throw xls::editorLockError(report, lock);
    if (!writableByBits(r))
        throw RunFailure(QStringLiteral("Звіт «%1» доступний лише для читання, а перевірка записує до нього дату й "
                                        "час перевірки. Зніміть із файлу позначку «Лише читання» та повторіть "
                                        "перевірку")
                             .arg(native(report)));
    // Opening for writing changes nothing, but fails while another program holds the file.
    QFile probe(report);
    if (!probe.open(QIODevice::ReadWrite))
        throw RunFailure(QStringLiteral("Звіт «%1» не можна змінити: можливо, його відкрито в іншій програмі або у "
                                        "вас немає права змінювати цей файл. Закрийте його та повторіть перевірку")
                             .arg(native(report)));
}

// One sentence for a reference list that could not be read: the check against it was not made.
QString listWarning(const check::ListProblem& problem)
{
    // SR.bin holds district names, the other five identification codes.
    const QString what = problem.file == QStringLiteral("SR.bin") ? QStringLiteral("райони") : QStringLiteral("коди");
    return (problem.missing ? QStringLiteral("Список «%1» не знайдено, тому %2 не звірено з ним і перевірка неповна. "
                                             "Поверніть файл %3 до теки програми й повторіть перевірку.")
                            : QStringLiteral("Не вдалося прочитати список «%1», тому %2 не звірено з ним і перевірка "
                                             "неповна. Поверніть файл %3 до теки програми й повторіть перевірку."))
        .arg(native(problem.path), what, problem.file);
}

// The stamp went into a cell that a merged range starting elsewhere hides.
QString hiddenStampWarning(const xls::CellRange& merge, const QString& sheetName)
{
    const QString cell = xls::cellName(check::kStampRow, check::kStampCol);
    const QString first = xls::cellName(merge.firstRow, merge.firstCol);
    const QString range = first + QLatin1Char(':') + xls::cellName(merge.lastRow, merge.lastCol);
    return QStringLiteral(
               "Дату й час перевірки записано до клітинки %1 аркуша «%2», але їх не видно: клітинка %1 входить "
               "до об'єднаних клітинок %3, які показують лише вміст клітинки %4. Щоб бачити час перевірки, "
               "роз'єднайте клітинки %3 у звіті.")
        .arg(cell, sheetName, range, first);
}

} // namespace

QString failureText(const std::exception& e)
{
    if (const auto* stop = dynamic_cast<const CheckStopped*>(&e))
        return stop->message();
    if (const auto* xe = dynamic_cast<const xls::Error*>(&e))
        return xe->message();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("Не вистачило пам'яті, щоб перевірити звіт. Закрийте інші програми та повторіть "
                              "перевірку");
    // The program's own texts are Ukrainian; one from the C++ library or the system (English) is not
    // shown, not even among the details.
    const QString what = QString::fromUtf8(e.what());
    const bool ours =
        std::any_of(what.begin(), what.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
    if (dynamic_cast<const std::logic_error*>(&e) || !ours)
        return QStringLiteral("Внутрішня помилка програми: перевірку не завершено, звіт залишено без змін. Повторіть "
                              "перевірку; якщо помилка повториться, повідомте про неї розробникам програми") +
               (ours ? QStringLiteral(" (Подробиці: %1)").arg(what) : QString());
    return what;
}

QString findingKey(const QString& sheet, const QString& row, const QString& column, const QString& message)
{
    return sheet + QChar(0x1F) + row + QChar(0x1F) + column + QChar(0x1F) + message;
}

QString progressText(const QHash<QString, int>& previous, const std::vector<findings::Finding>& now)
{
    QHash<QString, int> current;
    for (const findings::Finding& f : now)
        ++current[findingKey(f.sheet, f.row != 0 ? QString::number(f.row) : QString(), findings::columnText(f.col),
                             f.message)];
    // The same finding may stand more than once (one cell, two rules): counted, not just matched.
    int fixed = 0, added = 0, kept = 0;
    for (auto it = previous.begin(); it != previous.end(); ++it) {
        const int n = current.value(it.key());
        kept += std::min(n, it.value());
        fixed += std::max(0, it.value() - n);
    }
    for (auto it = current.begin(); it != current.end(); ++it)
        added += std::max(0, it.value() - previous.value(it.key()));
    return QStringLiteral("Порівняно з попередньою перевіркою: виправлено %1, нових %2, залишилося %3.")
        .arg(fixed)
        .arg(added)
        .arg(kept);
}

std::optional<QHash<QString, int>> previousFindings(const QString& log, const QString& logTemplate)
{
    if (!QFileInfo(log).isFile())
        return std::nullopt;
    try {
        // The rows above the template's end are its header, not findings.
        const int first = xls::Workbook::open(logTemplate).lastUsedRow(0) + 1;
        const xls::Workbook old = xls::Workbook::open(log);
        auto text = [&](int row, int col) {
            const xls::CellValue v = old.cell(0, row, col);
            return v.type == xls::CellType::Number ? QString::number(v.number) : v.text;
        };
        QHash<QString, int> found;
        for (int r = first; r <= old.lastUsedRow(0); ++r) {
            const QString sheet = text(r, 1), message = text(r, 4);
            if (!sheet.isEmpty() || !message.isEmpty())
                ++found[findingKey(sheet, text(r, 2), text(r, 3), message)];
        }
        return found;
    } catch (const std::exception&) {
        return std::nullopt; // an old log that cannot be read says nothing about progress
    }
}

ControlRun::ControlRun(QString dir, check::Environment env, Desktop& desktop, StatusDisplay* status, QString title)
    : m_dir(std::move(dir)), m_env(std::move(env)), m_desktop(desktop), m_status(status), m_title(std::move(title))
{
}

namespace {

// A stale log that cannot be deleted would mix old findings with new ones: stop instead.
void removeOldLog(const QString& log)
{
    if (QFileInfo::exists(log) && !QFile::remove(log))
        throw RunFailure(QStringLiteral("Не вдалося видалити попередній протокол перевірки «%1»: можливо, його "
                                        "відкрито в іншій програмі. Закрийте його та повторіть перевірку")
                             .arg(native(log)));
}

} // namespace

CheckedReport checkAndSave(const QString& report, const QString& logTemplate, const QString& log,
                           const check::Environment& env, bool* logWritten)
{
    sheet::MSExcel Excel; // the run's workbooks; whatever is left open closes with it, on every path
    // The log is made in memory from the template, whose used range sets the first finding's row.
    const std::shared_ptr<sheet::Book> WBLog = Excel.AddWorkBook(logTemplate, log);
    const int firstRow = WBLog->lastCellRow(1) + 1;
    const std::shared_ptr<sheet::Book> WBNew = Excel.OpenWorkBook(report);
    CheckedReport checked = checkReport(*WBNew, env, {true, firstRow});
    // The log is written first: if either save fails, the report on disk is still untouched.
    if (!checked.findings.empty()) {
        findings::writeLog(*WBLog, firstRow, checked.findings, env.locale, report);
        findings::writeLogHeading(*WBLog,
                                  {QFileInfo(report).fileName(), checked.heading.code, checked.heading.name,
                                   env.clock(), int(checked.findings.size())},
                                  env.locale);
        if (logWritten)
            *logWritten = true;
        Excel.SaveWorkBook(*WBLog);
    }
    Excel.SaveWorkBook(*WBNew);
    return checked;
}

void ControlRun::checkAndSave(const Paths& paths, ControlRunResult& result, bool* logWritten)
{
    checkBeforeWriting(m_dir, paths.report, paths.logTemplate);
    // Read before the old log goes: what this check finds is compared with it.
    const std::optional<QHash<QString, int>> previous = previousFindings(paths.log, paths.logTemplate);
    removeOldLog(paths.log);
    CheckedReport checked = app::checkAndSave(paths.report, paths.logTemplate, paths.log, m_env, logWritten);
    if (previous)
        result.progress = progressText(*previous, checked.findings);
    result.INNKOD = checked.INNKOD;
    for (const check::ListProblem& problem : checked.listProblems)
        result.warnings << listWarning(problem);
    if (checked.stampHiddenBy)
        result.warnings << hiddenStampWarning(*checked.stampHiddenBy, checked.stampSheetName);
    result.findings = std::move(checked.findings);
}

ControlRunResult ControlRun::run()
{
    ControlRunResult result;
    if (m_status)
        m_status->openform(QStringLiteral("Зачекайте, будь ласка,"), QStringLiteral("іде перевірка файлу."));
    const QDir dir(m_dir);
    Paths paths;
    paths.report = dir.absoluteFilePath(QStringLiteral("zvit.xls"));
    paths.logTemplate = dir.absoluteFilePath(QStringLiteral("elog.xls"));
    paths.log = dir.absoluteFilePath(QFileInfo(paths.report).fileName().section(QLatin1Char('.'), 0, 0) +
                                     QStringLiteral("_log.xls"));
    result.Logfilename = paths.log;
    bool logWritten = false;
    try {
        checkAndSave(paths, result, &logWritten);
    } catch (const std::exception& e) {
        // A log of a failed run could pass for a result: remove it, then take the please-wait window
        // down before telling the user.
        if (logWritten)
            QFile::remove(paths.log);
        if (m_status)
            m_status->closeform();
        result.outcome = ControlRunResult::Failed;
        result.findings.clear();
        result.error = failureText(e);
        m_desktop.showError(m_title, withFullStop(result.error));
        return result;
    }
    if (m_status)
        m_status->closeform();
    conclude(paths, result);
    return result;
}

void ControlRun::conclude(const Paths& paths, ControlRunResult& result)
{
    // A list that could not be read leaves the check of codes or districts incomplete, and the
    // comparison with the previous check shows the progress: the verdict says both, with the
    // question, when there is one, last.
    auto paragraphs = [](QStringList parts) {
        parts.removeAll(QString());
        return parts.join(QStringLiteral("\n\n"));
    };
    const QString warnings = result.warnings.join(QLatin1Char('\n'));
    if (!result.findings.empty()) {
        result.outcome = ControlRunResult::Findings;
        if (m_desktop.askYesNo(m_title, paragraphs({warnings, result.progress,
                                                    QStringLiteral("Знайдені помилки у звіті. Переглянути перелік "
                                                                   "помилок?")})))
            m_desktop.openDocument(paths.log);
        return;
    }
    result.outcome = ControlRunResult::Clean;
    QFile::remove(paths.log);
    m_desktop.inform(m_title, paragraphs({QStringLiteral("Вибрані файли перевірені.Помилок не знайдено."),
                                          result.progress, warnings}));
    saveCopy(paths.report, result);
}

void ControlRun::saveCopy(const QString& report, ControlRunResult& result)
{
    QString target = m_desktop.askSaveFileName(m_title, result.INNKOD);
    if (target.isEmpty())
        return;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".xls");
    try {
        QFile source(report);
        if (!source.open(QIODevice::ReadOnly))
            throw xls::makeError(xls::ErrorCode::ReadFailed, report);
        xls::writeFileAtomically(target, source.readAll());
        result.copiedTo = target;
    } catch (const xls::Error& e) {
        m_desktop.showError(m_title, withFullStop(e.message()));
    }
}

} // namespace app
