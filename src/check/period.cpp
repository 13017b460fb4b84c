#include "period.h"

#include <QRegularExpression>

namespace check {

QDate dayOfPeriod(const ReportingPeriod& period)
{
    return period.months == 12 ? QDate(period.year + 1, 1, 15) : QDate(period.year, period.months + 1, 15);
}

std::optional<ReportingPeriod> parsePeriod(const QString& text, QString* error)
{
    const QString example = QStringLiteral("Вкажіть період як МІСЯЦІВ.РІК, наприклад 12.2026 (3, 6, 9 або 12 місяців "
                                           "від початку року і рік чотирма цифрами).");
    auto fail = [&](const QString& what) -> std::optional<ReportingPeriod> {
        if (error)
            *error = what + QLatin1Char(' ') + example;
        return std::nullopt;
    };
    const QString t = text.trimmed();
    if (t.isEmpty())
        return fail(QStringLiteral("Період не вказано."));
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})\\s*[./]\\s*(\\d+)$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return fail(QStringLiteral("«%1» не є періодом.").arg(t));
    const int months = m.captured(1).toInt();
    const QString yearText = m.captured(2);
    if (months != 3 && months != 6 && months != 9 && months != 12)
        return fail(
            QStringLiteral("У періоді «%1» %2 місяців, а звіт подають за 3, 6, 9 або 12 місяців.").arg(t).arg(months));
    if (yearText.size() != 4)
        return fail(QStringLiteral("У періоді «%1» рік «%2» не з чотирьох цифр.").arg(t, yearText));
    const int year = yearText.toInt();
    if (year < 2000 || year > 2099)
        return fail(QStringLiteral("У періоді «%1» рік %2 — не рік звітів.").arg(t).arg(year));
    return ReportingPeriod{months, year};
}

QString periodName(const ReportingPeriod& period)
{
    return QStringLiteral("%1 міс. %2").arg(period.months).arg(period.year);
}

} // namespace check
