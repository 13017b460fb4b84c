#include "numberformat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace validate {

namespace {

// A decimal of at most 15 significant digits: (-1)^negative * mantissa * 10^exponent, with no
// trailing zeros in the mantissa unless it is 0.
struct Decimal {
    bool negative = false;
    uint64_t mantissa = 0;
    int exponent = 0;

    // Digits of the mantissa into `out` (at most 15); returns how many.
    int digits(char* out) const
    {
        char rev[20];
        int n = 0;
        uint64_t m = mantissa;
        do {
            rev[n++] = char('0' + m % 10);
            m /= 10;
        } while (m);
        for (int i = 0; i < n; ++i)
            out[i] = rev[n - 1 - i];
        return n;
    }
};

Decimal stripped(Decimal d)
{
    while (d.mantissa != 0 && d.mantissa % 10 == 0) {
        d.mantissa /= 10;
        ++d.exponent;
    }
    return d;
}

// The digits and exponent of std::to_chars' "d.dddddddddddddde[+-]x" (15 significant digits).
Decimal fromScientific(const char* text, const char* end)
{
    Decimal d;
    const char* p = text;
    d.negative = *p == '-';
    if (d.negative)
        ++p;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.')
            d.mantissa = d.mantissa * 10 + uint64_t(*p - '0');
    int x = 0;
    if (p < end) {
        ++p;
        if (p < end && *p == '+')
            ++p;
        std::from_chars(p, end, x);
    }
    d.exponent = x - 14;
    return stripped(d);
}

// The nearest decimal of 15 significant digits to a finite double, trailing zeros dropped. A value
// that is the double nearest to some m / 10^k with m below 10^15 (amounts, counts, areas: nearly
// every cell) has exactly that decimal, because half a unit in the last place of a double is
// smaller than half a step between 15-digit decimals; it is found by trying k = 0, 1, 2, ...
// Other values take std::to_chars, which rounds exactly and, for doubles, without printf.
Decimal decimal15(double v)
{
    Decimal d;
    d.negative = std::signbit(v);
    const double a = std::fabs(v);
    double scale = 1; // 10^k, exact in a double up to 10^22
    for (int k = 0; k <= 22 && a < 1e15; ++k, scale *= 10) {
        const double s = a * scale;
        if (s >= 1e15)
            break;
        const double m = std::nearbyint(s);
        if (m / scale == a) { // one correctly rounded division of exact operands
            d.mantissa = uint64_t(m);
            d.exponent = -k;
            return stripped(d);
        }
    }
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    return fromScientific(buf, res.ptr);
}

// Powers of ten up to 10^27, which extended precision holds exactly.
long double exactPow10(int n)
{
    long double p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

// The value of a decimal as reading its text gives it: one multiplication or division of exact
// operands, so correctly rounded; beyond 10^27 either way through std::from_chars, as the reading does.
long double valueOf(const Decimal& d)
{
    long double v;
    if (d.exponent >= -27 && d.exponent <= 27) {
        const long double scale = exactPow10(std::abs(d.exponent));
        v = d.exponent >= 0 ? (long double)d.mantissa * scale : (long double)d.mantissa / scale;
    } else {
        char buf[48];
        auto res = std::to_chars(buf, buf + 24, d.mantissa);
        *res.ptr++ = 'e';
        res = std::to_chars(res.ptr, buf + sizeof buf, d.exponent);
        // Out of range reads as zero, as lenientNumber reads the same text (MinGW's long double
        // reading has only a double's range, so a double's smallest values underflow there).
        if (std::from_chars(buf, res.ptr, v).ec != std::errc())
            v = 0;
    }
    return d.negative ? -v : v;
}

// Lays out a decimal in the general format into `out` (room for 32 characters); returns the length.
qsizetype layOut(const Decimal& d, QChar decimal, char16_t* out)
{
    char digits[20];
    const int nd = d.digits(digits);
    const int exponent = nd - 1 + d.exponent; // of the first digit
    qsizetype n = 0;
    auto put = [&](char16_t c) { out[n++] = c; };
    auto putDigits = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            put(char16_t(digits[i]));
    };
    if (d.negative)
        put(u'-');
    if (exponent >= 15 || exponent < -5) {
        putDigits(0, 1);
        if (nd > 1) {
            put(decimal.unicode());
            putDigits(1, nd);
        }
        put(u'E');
        put(exponent < 0 ? u'-' : u'+');
        const int e = std::abs(exponent);
        if (e >= 100)
            put(char16_t(u'0' + e / 100));
        put(char16_t(u'0' + e / 10 % 10));
        put(char16_t(u'0' + e % 10));
    } else if (exponent < 0) {
        put(u'0');
        put(decimal.unicode());
        for (int i = 0; i < -exponent - 1; ++i)
            put(u'0');
        putDigits(0, nd);
    } else {
        const int intDigits = exponent + 1;
        putDigits(0, std::min(nd, intDigits));
        for (int i = nd; i < intDigits; ++i)
            put(u'0');
        if (nd > intDigits) {
            put(decimal.unicode());
            putDigits(intDigits, nd);
        }
    }
    return n;
}

// Extended values that are no double: 15 significant digits through std::to_chars.
Decimal decimal15(long double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    return fromScientific(buf, res.ptr);
}

} // namespace

GeneralText::GeneralText(double value, QChar decimal)
{
    if (std::isnan(value)) {
        for (char16_t c : std::u16string_view(u"NAN"))
            append(c);
    } else if (std::isinf(value)) {
        if (value < 0)
            append(u'-');
        for (char16_t c : std::u16string_view(u"INF"))
            append(c);
    } else if (value == 0) {
        append(u'0');
    } else {
        m_size = layOut(decimal15(value), decimal, m_chars);
    }
}

QString formatGeneral(double value, QChar decimal)
{
    return GeneralText(value, decimal).toString();
}

QString formatGeneral(long double value, QChar decimal)
{
    // A double's text, and the common case of every check, takes the double's way.
    if (!std::isfinite(value) || (long double)(double)value == value)
        return formatGeneral(double(value), decimal);
    char16_t out[32];
    const qsizetype n = layOut(decimal15(value), decimal, out);
    return QString(reinterpret_cast<const QChar*>(out), n);
}

std::optional<long double> generalRoundTrip(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return value;
    return valueOf(decimal15(value));
}

std::optional<long double> generalRoundTrip(long double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if ((long double)(double)value == value)
        return generalRoundTrip(double(value));
    return valueOf(decimal15(value));
}

} // namespace validate
