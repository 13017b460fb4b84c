#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace validate {

// The general number format: at most 15 significant digits, trailing zeros of the fraction
// dropped, `decimal` as the separator, no digit grouping; exponent form ("1,5E+20") only for
// very large or very small values.
QString formatGeneral(long double value, QChar decimal);

// The number that reading back formatGeneral(value) gives (15 significant digits), computed without
// building the text; nothing for NaN and infinities, whose text is not a number.
std::optional<long double> generalRoundTrip(long double value);

} // namespace validate
