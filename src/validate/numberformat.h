#pragma once

#include <QChar>
#include <QString>

namespace validate {

// The general number format: at most 15 significant digits, trailing zeros of the fraction
// dropped, `decimal` as the separator, no digit grouping; exponent form ("1,5E+20") only for
// very large or very small values.
QString formatGeneral(long double value, QChar decimal);

} // namespace validate
