#include "controlrun.h"

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

QList<LogRow> logRows(const sheet::Book& log, int firstRow, const sheet::Locale& locale)
{
    auto text = [&](int row, int col) { return sheet::valueText(log.Value(1, row, col), locale, log.date1904()); };
    QList<LogRow> rows;
    const int last = log.lastCellRow(1);
    for (int r = firstRow; r <= last; ++r) {
        LogRow row{text(r, 1), text(r, 2), text(r, 3), text(r, 4), text(r, 5)};
        if (row.sheet.isEmpty() && row.message.isEmpty())
            continue;
        rows.append(row);
    }
    return rows;
}

ControlRun::ControlRun(QString dir, check::Environment env, Desktop& desktop, StatusDisplay* status, QString title)
    : m_dir(std::move(dir)), m_env(std::move(env)), m_desktop(desktop), m_status(status), m_title(std::move(title))
{
}

void ControlRun::prepareLog(const QString& templatePath, bool* created)
{
    // A stale log that cannot be deleted would mix old findings with new ones: stop instead.
    if (QFileInfo::exists(Logfilename) && !QFile::remove(Logfilename))
        throw RunFailure(QStringLiteral("Не вдалося видалити попередній протокол перевірки «%1»: можливо, його "
                                        "відкрито в іншій програмі. Закрийте його та повторіть перевірку")
                             .arg(native(Logfilename)));
    // From here on a file at the log's path is this run's own.
    *created = true;
    if (!QFile::copy(templatePath, Logfilename))
        throw RunFailure(QStringLiteral("Не вдалося створити протокол перевірки «%1» із шаблону «%2». Перевірте, чи "
                                        "є місце на диску, та повторіть перевірку")
                             .arg(native(Logfilename), native(templatePath)));
    // On Windows the copy keeps the template's read-only attribute; a template installed read-only
    // must still give a log the check can save.
    QFile::setPermissions(Logfilename,
                          QFile::permissions(Logfilename) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
}

QList<LogRow> ControlRun::readFindings(sheet::MSExcel& Excel, int firstRow)
{
    const std::shared_ptr<sheet::Book> WBLog = Excel.OpenWorkBook(Logfilename);
    // The template's own rows stand above `firstRow`; what follows is this run's alone.
    const QList<LogRow> rows = logRows(*WBLog, firstRow, m_env.locale);
    Excel.SaveWorkBook(*WBLog);
    Excel.CloseExcel();
    return rows;
}

ControlRunResult ControlRun::run()
{
    ControlRunResult result;
    INNKOD = QStringLiteral("Не визначений");
    if (m_status)
        m_status->openform(QStringLiteral("Зачекайте, будь ласка,"), QStringLiteral("іде перевірка файлу."));
    const QDir dir(m_dir);
    const QString report = dir.absoluteFilePath(QStringLiteral("zvit.xls"));
    const QString templ = dir.absoluteFilePath(QStringLiteral("elog.xls"));
    Logfilename =
        dir.absoluteFilePath(QFileInfo(report).fileName().section(QLatin1Char('.'), 0, 0) + QStringLiteral("_log.xls"));
    sheet::MSExcel Excel; // this run's link to the workbooks; whatever is left open closes with it
    bool logCreated = false;
    try {
        checkBeforeWriting(m_dir, report, templ);
        prepareLog(templ, &logCreated);
        check::Checker checker(m_env);
        checker.Logfilename = Logfilename;
        try {
            checker.ProvObj(Excel, report);
        } catch (...) {
            INNKOD = checker.INNKOD;
            throw;
        }
        INNKOD = checker.INNKOD;
        for (const check::ListProblem& problem : checker.lists().problems())
            result.warnings << listWarning(problem);
        if (checker.stampHiddenBy)
            result.warnings << hiddenStampWarning(*checker.stampHiddenBy, checker.stampSheetName);
        result.rows = readFindings(Excel, checker.firstFindingRow);
    } catch (const std::exception& e) {
        // Close what the failed run left open, remove the log it made (an empty or partial log could pass
        // for a result) and take the please-wait window down before telling the user.
        Excel.CloseExcel();
        if (logCreated)
            QFile::remove(Logfilename);
        if (m_status)
            m_status->closeform();
        result.outcome = ControlRunResult::Failed;
        result.error = failureText(e);
        m_desktop.showError(m_title, withFullStop(result.error));
        return result;
    }
    if (m_status)
        m_status->closeform();

    // A list that could not be read leaves the check of codes or districts incomplete: the verdict says so.
    const QString warnings =
        result.warnings.isEmpty() ? QString() : QStringLiteral("\n\n") + result.warnings.join(QLatin1Char('\n'));
    // The verdict rests on this run's findings, wherever the template let them start.
    if (!result.rows.isEmpty()) {
        result.outcome = ControlRunResult::Findings;
        if (m_desktop.askYesNo(m_title,
                               QStringLiteral("Знайдені помилки у звіті. Переглянути перелік помилок?") + warnings))
            m_desktop.openDocument(Logfilename);
        return result;
    }
    result.outcome = ControlRunResult::Clean;
    QFile::remove(Logfilename);
    m_desktop.inform(m_title, QStringLiteral("Вибрані файли перевірені.Помилок не знайдено.") + warnings);
    QString target = m_desktop.askSaveFileName(m_title, INNKOD);
    if (target.isEmpty())
        return result;
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
    return result;
}

} // namespace app
