#include "checkreport.h"

#include "sheet/valuetext.h"
#include "validate/readings.h"
#include "xls/error.h"

#include <QDir>

namespace app {

QString cellStopText(const QString& report, const QString& sheet, int row, int col, const QString& contents,
                     const QString& remedy)
{
    return QStringLiteral("Перевірку зупинено: клітинка %1 аркуша «%2» звіту «%3» містить %4. %5 Звіт залишено без "
                          "змін.")
        .arg(xls::cellName(row, col), validate::trimmedText(sheet), QDir::toNativeSeparators(report), contents, remedy);
}

namespace {

// The stop message for an error met at the cell the rules read last.
[[noreturn]] void stopAt(const check::Checker& checker, const sheet::Book& report, const QString& contents,
                         const QString& remedy)
{
    const check::CellAt at = checker.lastRead;
    const QString sheet = at.sheet >= 1 && at.sheet <= report.SheetsCount() ? report.SheetName(at.sheet) : QString();
    throw CheckStopped(cellStopText(report.FullName(), sheet, at.row, at.col, contents, remedy));
}

} // namespace

CheckedReport checkReport(sheet::Book& report, const check::Environment& env, const CheckOptions& options)
{
    // Table 1 and the stamp belong to the first sheet: a workbook without sheets is no report.
    if (report.SheetsCount() < 1)
        throw CheckStopped(QStringLiteral("Перевірку зупинено: у звіті «%1» немає жодного аркуша, тому перевірити його "
                                          "не можна. Відкрийте файл у табличному редакторі й переконайтеся, що це "
                                          "звіт, або візьміть звіт із теки програми. Звіт залишено без змін.")
                               .arg(QDir::toNativeSeparators(report.FullName())));
    check::Checker checker(env, options.firstLogRow);
    try {
        checker.ProvObj(report);
    } catch (const sheet::CellReadError& e) {
        stopAt(checker, report, QStringLiteral("помилку формули %1").arg(e.value()),
               QStringLiteral("Виправте формулу або введіть значення в цю клітинку й повторіть перевірку."));
    } catch (const validate::ConversionError& e) {
        stopAt(checker, report, QStringLiteral("«%1», а тут має бути число").arg(e.text()),
               QStringLiteral("Введіть у цю клітинку число й повторіть перевірку."));
    }

    CheckedReport result;
    result.INNKOD = checker.INNKOD;
    result.heading = check::readHeading(report, env.locale);
    result.listProblems = checker.lists().problems();
    if (options.stamp && report.SheetsCount() >= 1) {
        report.SetValue(1, check::kStampRow, check::kStampCol, env.locale.dateTimeText(env.clock()));
        result.stampSheetName = report.SheetName(1);
        result.stampHiddenBy = report.hidingMerge(1, check::kStampRow, check::kStampCol);
    }
    result.findings = checker.log.take();
    return result;
}

} // namespace app
