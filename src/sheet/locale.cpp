#include "locale.h"

namespace sheet {

Locale Locale::fromQLocale(const QLocale& locale)
{
    Locale l;
    const QString point = locale.decimalPoint();
    l.decimal = point.isEmpty() ? QLatin1Char('.') : point.at(0);
    l.shortDate = locale.dateFormat(QLocale::ShortFormat);
    // The long time without a time-zone designator ("t" and its neighbouring blanks).
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QLatin1Char('t'));
    l.longTime = time.trimmed();
    return l;
}

Locale Locale::system()
{
    return fromQLocale(QLocale::system());
}

Locale Locale::comma()
{
    return Locale{};
}

Locale Locale::point()
{
    Locale l;
    l.decimal = QLatin1Char('.');
    l.shortDate = QStringLiteral("M/d/yyyy");
    l.longTime = QStringLiteral("h:mm:ss AP");
    return l;
}

QString Locale::dateTimeText(const QDateTime& moment) const
{
    QString text = moment.date().toString(shortDate);
    const QTime t = moment.time();
    if (t != QTime(0, 0))
        text += QLatin1Char(' ') + t.toString(longTime);
    return text;
}

Clock systemClock()
{
    return [] { return QDateTime::currentDateTime(); };
}

} // namespace sheet
