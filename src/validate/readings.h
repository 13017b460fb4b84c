#pragma once

#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

// The ways a rule reads a cell's text. Every sheet check uses these and nothing else, so one
// reading means the same thing on every sheet.
namespace validate {

// A strict reading of a text that is not what it must be. The guarded units of the check catch it.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text);
    // The text that did not convert.
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// Without leading and trailing characters of codes up to 32.
QString trimmedText(const QString& text);

// The text as a number with `decimal` as the separator: blanks around, a sign, digits with at
// most one separator, an optional exponent. No grouping, no inner blanks, no letters.
std::optional<long double> toNumber(const QString& text, QChar decimal);

// Multiplied by 100, rounded to the nearest whole number (halves to even), times 0.01.
long double roundTo2(long double value);

// Normalised (either mark as separator); 0 when empty or not a number. Never fails.
long double lenientNumber(const QString& trimmed, QChar decimal);
// 0 when empty; a non-number throws; rounded to two decimals.
double strictNumber(const QString& trimmed, QChar decimal);
// The raw text converted as it is (no separator normalisation); 0 when it does not convert.
long double rawNumber(const QString& raw, QChar decimal);

// Leading blanks, an optional sign and decimal digits, as a signed 32-bit number.
std::optional<int32_t> toWhole(const QString& text);
int32_t lenientWhole(const QString& text);
int32_t strictWhole(const QString& text);
// The trimmed text of a code as a signed 64-bit number; throws when it does not convert.
int64_t codeValue(const QString& trimmed);

// A number written for a message: general format, `decimal` as the separator.
QString printedNumber(long double value, QChar decimal);

} // namespace validate
