#include "senderstamp.h"

#include "check/provobj.h"
#include "controlrun.h"
#include "sheet/valuetext.h"
#include "validate/readings.h"
#include "xls/error.h"

#include <QDir>
#include <QFileInfo>

namespace app {

namespace {

// The check saves the report right after it writes the stamp; a file saved later than this after
// the stamp was saved again by someone.
constexpr qint64 kSaveAfterStampSeconds = 5 * 60;

} // namespace

QString notCheckedStamp()
{
    return QStringLiteral("не перевірявся");
}

std::optional<QDateTime> stampMoment(const xls::CellValue& value, const sheet::Locale& locale, bool date1904)
{
    if (value.type == xls::CellType::Number || value.type == xls::CellType::DateTime) {
        // A serial date of the years a report can have been checked in.
        if (value.number < 36526 || value.number > 73051) // 2000-01-01 … 2099-12-31
            return std::nullopt;
        const QDateTime epoch(date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30), QTime(0, 0));
        return epoch.addMSecs(qint64(value.number * 86400000.0 + 0.5));
    }
    if (value.type != xls::CellType::Text)
        return std::nullopt;
    QString t = validate::trimmedText(value.text);
    t.replace(u'/', u'.').replace(u'-', u'.');
    const QString date = QString(locale.shortDate).replace(u'/', u'.').replace(u'-', u'.');
    for (const QString& form :
         QStringList{date + QLatin1Char(' ') + locale.longTime, date, QStringLiteral("dd.MM.yyyy HH:mm:ss"),
                     QStringLiteral("d.M.yyyy H:mm:ss"), QStringLiteral("d.M.yyyy H:mm"), QStringLiteral("dd.MM.yyyy"),
                     QStringLiteral("yyyy.MM.dd HH:mm:ss")}) {
        const QDateTime moment = QDateTime::fromString(t, form);
        if (moment.isValid() && moment.date().year() >= 2000)
            return moment;
    }
    return std::nullopt;
}

SenderCheck readSenderCheck(sheet::Book& report, const QString& path, const QString& file, const sheet::Locale& locale)
{
    SenderCheck out;
    out.modified = QFileInfo(path).lastModified();
    if (report.SheetsCount() < 1)
        return out;
    const xls::CellValue v = report.Value(1, check::kStampRow, check::kStampCol);
    out.stamp = v.type == xls::CellType::Error ? xls::errorCodeText(v.code)
                                               : validate::trimmedText(sheet::valueText(v, locale, report.date1904()));
    out.stampTime = stampMoment(v, locale, report.date1904());
    if (out.stamp.isEmpty())
        out.stamp = notCheckedStamp();
    if (out.stampTime && out.modified.isValid() && out.stampTime->secsTo(out.modified) > kSaveAfterStampSeconds)
        out.flags << QStringLiteral("Файл збережено після перевірки відправником: перевірено %1, файл від %2.")
                         .arg(locale.dateTimeText(*out.stampTime), locale.dateTimeText(out.modified));
    if (out.stampTime && v.type == xls::CellType::Text)
        return out; // a stamp as the check writes it: it could write one there
    // An empty cell holds no formula (a formula keeps its result), so the stamp could go there. Only
    // what else S13 may hold is tried, since building the file costs as much as checking the report.
    if (v.type == xls::CellType::Empty)
        return out;
    // No stamp of the check: would "Контроль звіту" have been able to write one and save the report?
    try {
        report.SetValue(1, check::kStampRow, check::kStampCol,
                        locale.dateTimeText(QDateTime(QDate(2026, 1, 1), QTime(12, 0))));
        report.trySave();
    } catch (const std::exception& e) {
        out.flags << QStringLiteral(
                         "«Контроль звіту» не прийняв би цей звіт, тож відправник не міг його перевірити: ") +
                         withFullStop(failureText(e)).replace(QDir::toNativeSeparators(path), file);
    }
    return out;
}

} // namespace app
