#pragma once

#include <QChar>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>

namespace sheet {

// The user's number and date settings as the check uses them.
struct Locale {
    QChar decimal = QLatin1Char(',');
    QString shortDate = QStringLiteral("dd.MM.yyyy");
    QString longTime = QStringLiteral("HH:mm:ss");

    static Locale fromQLocale(const QLocale& locale);
    static Locale system();
    // Fixed settings for tests: Ukrainian style with a comma, English style with a point.
    static Locale comma();
    static Locale point();

    // Short date, a blank and the long time; the time is left out when it is exactly midnight.
    QString dateTimeText(const QDateTime& moment) const;
};

// Source of the current local date and time.
using Clock = std::function<QDateTime()>;
Clock systemClock();

} // namespace sheet
