#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <optional>

namespace validate {

// The general number format: at most 15 significant digits, trailing zeros of the fraction
// dropped, `decimal` as the separator, no digit grouping; exponent form ("1,5E+20") only for
// very large or very small values.
QString formatGeneral(long double value, QChar decimal);

// The same text for a double (a cell's value), built from its decimal digits without printf: the
// hot path of the checks, which read hundreds of thousands of number cells.
class GeneralText {
public:
    GeneralText(double value, QChar decimal);
    QStringView view() const { return QStringView(m_chars, m_size); }
    QString toString() const { return view().toString(); }

private:
    void append(char16_t c) { m_chars[m_size++] = c; }
    char16_t m_chars[32];
    qsizetype m_size = 0;
};
QString formatGeneral(double value, QChar decimal);

// The number that reading back formatGeneral(value) gives (15 significant digits), computed without
// building the text; nothing for NaN and infinities, whose text is not a number.
std::optional<long double> generalRoundTrip(long double value);
std::optional<long double> generalRoundTrip(double value);

} // namespace validate
