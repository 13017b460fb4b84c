#pragma once

#include "provobj.h"

#include <QString>

namespace check {

inline const QString kRowNotProcessed = QStringLiteral("Рядок не оброблено.");
inline const QString kWrongRunningNumber = QStringLiteral("Невірний порядковий номер запису.");
inline constexpr long double kTolerance = 0.09L;

// The identification code rule of the table sheets: a text t (already "0" for an empty lessor's
// code) with its value v gets `start` + t + ")" when its length is neither 8 nor 10, when an
// 8-character code has a wrong check digit, or when a 10-character code is 0.
void codeRule(const SheetContext& ctx, int row, int col, const QString& start, const QString& t, int64_t v);

// Adds a lenient number to a total in extended precision and stores it back as a double.
inline void addTo(double& total, long double value) { total = double((long double)total + value); }

} // namespace check
