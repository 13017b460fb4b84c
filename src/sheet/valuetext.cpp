#include "valuetext.h"

#include "validate/numberformat.h"

#include <cmath>

namespace sheet {

QDateTime serialToDateTime(double serial, bool date1904)
{
    double days = std::floor(serial);
    qint64 ms = std::llround((serial - days) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += 1;
    }
    QDate date;
    if (date1904)
        date = QDate(1904, 1, 1).addDays(qint64(days));
    else if (days < 61)
        date = QDate(1899, 12, 31).addDays(qint64(days)); // serial 60 is handled by the caller
    else
        date = QDate(1899, 12, 30).addDays(qint64(days));
    return QDateTime(date, QTime(0, 0).addMSecs(int(ms)));
}

QString valueText(const xls::CellValue& value, const Locale& locale, bool date1904)
{
    switch (value.type) {
    case xls::CellType::Empty:
        return {};
    case xls::CellType::Text:
        return value.text;
    case xls::CellType::Number:
        return validate::formatGeneral(value.number, locale.decimal);
    case xls::CellType::Boolean:
        return value.code ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case xls::CellType::Error: {
        const QString shown = xls::errorCodeText(value.code);
        throw CellReadError(QStringLiteral("Клітинка містить помилку %1.").arg(shown), shown);
    }
    case xls::CellType::DateTime: {
        if (!(value.number >= 0) || value.number > 2958466.0)
            return validate::formatGeneral(value.number, locale.decimal);
        if (!date1904 && std::floor(value.number) == 60) {
            // The day Excel counts as 29 February 1900, which no calendar has.
            const QDateTime d = serialToDateTime(value.number - 1, false);
            QString text = locale.dateTimeText(d);
            const qsizetype at = text.indexOf(QStringLiteral("28"));
            if (at >= 0)
                text.replace(at, 2, QStringLiteral("29"));
            return text;
        }
        return locale.dateTimeText(serialToDateTime(value.number, date1904));
    }
    }
    return {};
}

} // namespace sheet
