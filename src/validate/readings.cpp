#include "readings.h"

#include "helpers.h"
#include "numberformat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

namespace validate {

ConversionError::ConversionError(const QString& text)
    : std::runtime_error(QStringLiteral("«%1» не є числом").arg(text).toStdString()), m_text(text)
{
}

QString trimmedText(const QString& text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from).unicode() <= 32)
        ++from;
    while (to > from && text.at(to - 1).unicode() <= 32)
        --to;
    return (from == 0 && to == text.size()) ? text : text.mid(from, to - from);
}

namespace {

// "[-]digits[.digits][e[+-]digits]" with at most 19 significant digits and a power of ten up to 27 either
// way, converted with one multiplication or division of two values that extended precision holds exactly,
// so correctly rounded on every platform (MinGW's std::from_chars for long double is not). Other texts:
// nothing, and the caller converts them with std::from_chars.
std::optional<long double> exactDecimal(const std::string& text)
{
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative)
        ++i;
    uint64_t mantissa = 0;
    int digits = 0, exponent = 0;
    bool fraction = false;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] == '.') {
            fraction = true;
            continue;
        }
        if (mantissa == 0 && text[i] == '0') {
            if (fraction)
                --exponent;
            continue;
        }
        if (++digits > 19)
            return std::nullopt;
        mantissa = mantissa * 10 + uint64_t(text[i] - '0');
        if (fraction)
            --exponent;
    }
    if (i < text.size()) {
        const std::string_view e(text.data() + i + 1, text.size() - i - 1);
        if (e.size() > 6)
            return std::nullopt;
        int value = 0;
        const char* from = e.data() + (!e.empty() && e[0] == '+' ? 1 : 0);
        if (std::from_chars(from, e.data() + e.size(), value).ptr != e.data() + e.size())
            return std::nullopt;
        exponent += value;
    }
    if (mantissa == 0)
        return negative ? -0.0L : 0.0L;
    if (exponent < -27 || exponent > 27)
        return std::nullopt;
    long double scale = 1;
    for (int k = 0; k < std::abs(exponent); ++k)
        scale *= 10;
    const long double v = exponent >= 0 ? (long double)mantissa * scale : (long double)mantissa / scale;
    return negative ? -v : v;
}

} // namespace

std::optional<long double> toNumber(const QString& text, QChar decimal)
{
    qsizetype i = 0, n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    while (n > i && text.at(n - 1) == QLatin1Char(' '))
        --n;
    std::string buf;
    buf.reserve(size_t(n - i) + 1);
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        if (text.at(i) == QLatin1Char('-'))
            buf.push_back('-');
        ++i;
    }
    int digits = 0;
    bool separator = false;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            buf.push_back(char(c.unicode()));
            ++digits;
        } else if (c == decimal && !separator) {
            separator = true;
            buf.push_back('.');
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        buf.push_back('e');
        ++i;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            buf.push_back(char(text.at(i++).unicode()));
        int expDigits = 0;
        for (; i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i, ++expDigits)
            buf.push_back(char(text.at(i).unicode()));
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    if (const auto exact = exactDecimal(buf))
        return *exact;
    long double value = 0;
    const auto [end, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Overflow has no number; a value too small to hold is zero.
        if (std::isinf(value) || std::abs(value) > 1)
            return std::nullopt;
        return 0.0L;
    }
    if (ec != std::errc() || end != buf.data() + buf.size())
        return std::nullopt;
    return value;
}

long double roundTo2(long double value)
{
    static const long double kCent = 0.01L;
    // rint rounds as nearbyint does (the current mode, ties to even) without saving and restoring
    // the floating-point environment, which made it the costliest step of reading an amount.
    return std::rint(value * 100.0L) * kCent;
}

long double lenientNumber(const QString& trimmed, QChar decimal)
{
    if (trimmed.isEmpty())
        return 0;
    return toNumber(SetCorrectFloatStr(trimmed, decimal), decimal).value_or(0.0L);
}

double strictNumber(const QString& trimmed, QChar decimal)
{
    if (trimmed.isEmpty())
        return 0;
    const auto v = toNumber(SetCorrectFloatStr(trimmed, decimal), decimal);
    if (!v)
        throw ConversionError(trimmed);
    return double(roundTo2(*v));
}

long double rawNumber(const QString& raw, QChar decimal)
{
    return toNumber(raw, decimal).value_or(0.0L);
}

std::optional<int32_t> toWhole(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        negative = text.at(i++) == QLatin1Char('-');
    if (i == n)
        return std::nullopt;
    int64_t v = 0;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return int32_t(v);
}

int32_t lenientWhole(const QString& text)
{
    return toWhole(text).value_or(0);
}

int32_t strictWhole(const QString& text)
{
    const auto v = toWhole(text);
    if (!v)
        throw ConversionError(text);
    return *v;
}

int64_t codeValue(const QString& trimmed)
{
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    while (i < n && trimmed.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (trimmed.at(i) == QLatin1Char('+') || trimmed.at(i) == QLatin1Char('-')))
        negative = trimmed.at(i++) == QLatin1Char('-');
    if (i == n)
        throw ConversionError(trimmed);
    uint64_t v = 0;
    const uint64_t limit =
        negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1 : uint64_t(std::numeric_limits<int64_t>::max());
    for (; i < n; ++i) {
        const QChar c = trimmed.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw ConversionError(trimmed);
        const uint64_t digit = uint64_t(c.unicode() - u'0');
        if (v > (limit - digit) / 10)
            throw ConversionError(trimmed);
        v = v * 10 + digit;
    }
    return negative ? int64_t(0 - v) : int64_t(v);
}

QString printedNumber(long double value, QChar decimal)
{
    return formatGeneral(value, decimal);
}

} // namespace validate
