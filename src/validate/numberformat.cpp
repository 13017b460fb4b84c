#include "numberformat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace validate {

QString formatGeneral(long double value, QChar decimal)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    // Whole values below 10^15 print as they are: the common case, and the fastest.
    if (std::fabs(value) < 1e15L && value == std::trunc(value))
        return QString::number(static_cast<long long>(value));

    // 15 significant digits in exponent form, then laid out by hand.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    *res.ptr = '\0';
    const char* e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    const bool negative = buf[0] == '-';
    const char* m = buf + (negative ? 1 : 0);
    char digits[32];
    int nd = 0;
    for (const char* p = m; p < e; ++p)
        if (*p != '.')
            digits[nd++] = *p;
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;

    QString out;
    out.reserve(24);
    if (negative)
        out += QLatin1Char('-');
    auto appendDigits = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            out += QLatin1Char(digits[i]);
    };
    if (exponent >= 15 || exponent < -5) {
        appendDigits(0, 1);
        if (nd > 1) {
            out += decimal;
            appendDigits(1, nd);
        }
        out += QStringLiteral("E") + (exponent < 0 ? QLatin1Char('-') : QLatin1Char('+'));
        out += QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
    } else if (exponent < 0) {
        out += QLatin1Char('0');
        out += decimal;
        for (int i = 0; i < -exponent - 1; ++i)
            out += QLatin1Char('0');
        appendDigits(0, nd);
    } else {
        const int intDigits = exponent + 1;
        if (nd <= intDigits) {
            appendDigits(0, nd);
            for (int i = nd; i < intDigits; ++i)
                out += QLatin1Char('0');
        } else {
            appendDigits(0, intDigits);
            out += decimal;
            appendDigits(intDigits, nd);
        }
    }
    return out;
}

std::optional<long double> generalRoundTrip(long double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (std::fabs(value) < 1e15L && value == std::trunc(value))
        return value;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, 14);
    *res.ptr = '\0';
    // buf: [-]d.dddddddddddddde[+-]x: 15 digits M and exponent x, so the text's value is M * 10^(x-14).
    // Powers of ten up to 10^27 are exact in extended precision, so one multiplication or division
    // of exact operands rounds correctly, exactly as converting the text does.
    const char* p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    uint64_t mantissa = 0;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p != '.')
            mantissa = mantissa * 10 + uint64_t(*p - '0');
    const int exponent = std::atoi(p + 1) - 14;
    if (exponent < -27 || exponent > 27) {
        long double back = 0;
        std::from_chars(buf, res.ptr, back);
        return back;
    }
    long double scale = 1;
    for (int i = 0; i < std::abs(exponent); ++i)
        scale *= 10;
    long double v = exponent >= 0 ? (long double)mantissa * scale : (long double)mantissa / scale;
    return negative ? -v : v;
}

} // namespace validate
