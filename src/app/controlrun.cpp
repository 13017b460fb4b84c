#include "controlrun.h"

#include "sheet/msexcel.h"
#include "sheet/valuetext.h"
#include "xls/error.h"
#include "xls/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

} // namespace

ControlRun::ControlRun(QString dir, check::Environment env, Desktop& desktop, StatusDisplay* status, QString title)
    : m_dir(std::move(dir)), m_env(std::move(env)), m_desktop(desktop), m_status(status), m_title(std::move(title))
{
}

void ControlRun::prepareLog(const QString& templatePath)
{
    // A stale log that cannot be deleted would mix old findings with new ones: stop instead.
    if (QFileInfo::exists(Logfilename) && !QFile::remove(Logfilename))
        throw RunFailure(QStringLiteral("Не вдалося видалити попередній протокол перевірки «%1»: можливо, його "
                                        "відкрито в іншій програмі. Закрийте його та повторіть перевірку")
                             .arg(QDir::toNativeSeparators(Logfilename)));
    QFile::copy(templatePath, Logfilename);
}

QList<LogRow> ControlRun::readFindings(sheet::MSExcel& Excel, int firstRow)
{
    const std::shared_ptr<sheet::Book> WBLog = Excel.OpenWorkBook(Logfilename);
    auto text = [&](int row, int col) {
        return sheet::valueText(WBLog->Value(1, row, col), m_env.locale, WBLog->date1904());
    };
    // The template's own rows stand above `firstRow`; what follows is this run's alone.
    QList<LogRow> rows;
    const int last = WBLog->lastCellRow(1);
    for (int r = firstRow; r <= last; ++r) {
        LogRow row{text(r, 1), text(r, 2), text(r, 3), text(r, 4), text(r, 5)};
        if (row.sheet.isEmpty() && row.message.isEmpty())
            continue;
        rows.append(row);
    }
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
    try {
        prepareLog(templ);
        check::Checker checker(m_env);
        checker.Logfilename = Logfilename;
        try {
            checker.ProvObj(Excel, report);
        } catch (...) {
            INNKOD = checker.INNKOD;
            throw;
        }
        INNKOD = checker.INNKOD;
        result.rows = readFindings(Excel, checker.firstFindingRow);
    } catch (const std::exception& e) {
        // Close what the failed run left open and take the please-wait window down before telling the user.
        Excel.CloseExcel();
        if (m_status)
            m_status->closeform();
        const auto* xe = dynamic_cast<const xls::Error*>(&e);
        result.outcome = ControlRunResult::Failed;
        result.error = xe ? xe->message() : QString::fromUtf8(e.what());
        m_desktop.showError(m_title, withFullStop(result.error));
        return result;
    }
    if (m_status)
        m_status->closeform();

    // The verdict rests on this run's findings, wherever the template let them start.
    if (!result.rows.isEmpty()) {
        result.outcome = ControlRunResult::Findings;
        if (m_desktop.askYesNo(m_title, QStringLiteral("Знайдені помилки у звіті. Переглянути перелік помилок?")))
            m_desktop.openDocument(Logfilename);
        return result;
    }
    result.outcome = ControlRunResult::Clean;
    QFile::remove(Logfilename);
    m_desktop.inform(m_title, QStringLiteral("Вибрані файли перевірені.Помилок не знайдено."));
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
