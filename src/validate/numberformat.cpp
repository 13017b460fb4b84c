#include "numberformat.h"

#include <cmath>
#include <cstdio>

namespace validate {

QString formatGeneral(long double value, QChar decimal)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14Le", value); // 15 significant digits
    // buf: [-]d.ddddddddddddddde[+-]xx
    QString s = QString::fromLatin1(buf);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    const int exponent = s.mid(e + 1).toInt();
    QString mantissa = s.left(e);
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative)
        mantissa.remove(0, 1);
    QString digits = mantissa.left(1) + mantissa.mid(2); // 15 digits, no point
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    QString out;
    if (exponent >= 15 || exponent < -5) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += decimal + digits.mid(1);
        out += QStringLiteral("E") + (exponent < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
               QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
    } else if (exponent < 0) {
        out = QStringLiteral("0") + decimal + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else {
        const int intDigits = exponent + 1;
        if (digits.size() <= intDigits) {
            out = digits + QString(intDigits - digits.size(), QLatin1Char('0'));
        } else {
            out = digits.left(intDigits) + decimal + digits.mid(intDigits);
        }
    }
    return negative ? QStringLiteral("-") + out : out;
}

} // namespace validate
