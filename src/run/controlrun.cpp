#include "controlrun.h"

#include "checkreport.h"
#include "sheet/msexcel.h"
#include "sheet/valuetext.h"
#include "xls/error.h"
#include "xls/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
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
    return (problem.missing ? QStringLiteral("Список «%1» не знайдено, тому %2 не звірено з ним і перевірка неповна.")
                            : QStringLiteral("Не вдалося прочитати список «%1», тому %2 не звірено з ним і перевірка "
                                             "неповна."))
        .arg(native(problem.path), what);
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
    if (dynamic_cast<const std::logic_error*>(&e))
        return QStringLiteral("Внутрішня помилка програми (%1). Перевірку не завершено")
            .arg(QString::fromUtf8(e.what()));
    return QString::fromUtf8(e.what());
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
    removeOldLog(paths.log);
    CheckedReport checked = app::checkAndSave(paths.report, paths.logTemplate, paths.log, m_env, logWritten);
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
    // A list that could not be read leaves the check of codes or districts incomplete: the verdict says so.
    const QString warnings =
        result.warnings.isEmpty() ? QString() : QStringLiteral("\n\n") + result.warnings.join(QLatin1Char('\n'));
    if (!result.findings.empty()) {
        result.outcome = ControlRunResult::Findings;
        if (m_desktop.askYesNo(m_title,
                               QStringLiteral("Знайдені помилки у звіті. Переглянути перелік помилок?") + warnings))
            m_desktop.openDocument(paths.log);
        return;
    }
    result.outcome = ControlRunResult::Clean;
    QFile::remove(paths.log);
    m_desktop.inform(m_title, QStringLiteral("Вибрані файли перевірені.Помилок не знайдено.") + warnings);
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
