#pragma once

#include "lists.h"
#include "provobj.h"
#include "sheet/valuetext.h"
#include "validate/readings.h"

#include <QString>
#include <functional>
#include <utility>

namespace check {

inline const QString kRowNotProcessed = QStringLiteral("Рядок не оброблено.");
inline const QString kWrongRunningNumber = QStringLiteral("Невірний порядковий номер запису.");
// The tolerances of the arithmetic relations, as the nearest extended values.
inline constexpr long double kTolerance = 0.09L;
inline constexpr long double kTolerance01 = 0.01L;

// Runs one guarded unit of the rules. An error that a reading or a reference list raises (a text
// that is not the number or code it must be, a cell holding an error value, a list that cannot be
// read) ends the unit and calls `failed`, which records the unit's finding. Any other error (a full
// log, no memory, a fault of the program) passes on and ends the run as a failure.
template <typename Body, typename Failed> void guardedUnit(Body&& body, Failed&& failed)
{
    try {
        body();
    } catch (const validate::ConversionError&) {
        failed();
    } catch (const sheet::CellReadError&) {
        failed();
    } catch (const ListError&) {
        failed();
    }
}

// The identification code rule of the table sheets: a text t (already "0" for an empty lessor's
// code) with its value v gets `start` + t + ")" when its length is neither 8 nor 10, when an
// 8-character code has a wrong check digit, or when a 10-character code is 0.
void codeRule(const SheetContext& ctx, int row, int col, const QString& start, const QString& t, int64_t v);

// The code of a table cell as the code rule takes it: an empty cell reads as "0" with the value 0,
// any other text must convert (a failure of the row otherwise).
std::pair<QString, int64_t> codeOf(const SheetContext& ctx, int row, int col);

// The two passes shared by the tenant and debt tables. First pass: a row from 7 with `keyCol` and
// `nameCol` filled is taken up when the row above reads "1" in column A or `flag` is set, and its
// checks run as one guarded unit; a row not taken up, or whose checks fail, gets
// "Рядок не оброблено.". Second pass: every row from 7 with B or C empty gets it too.
void walkTable(SheetContext& ctx, int rowstart, int keyCol, const bool& flag,
               const std::function<void(int)>& rowChecks);

// Adds a lenient number to a total in extended precision and stores it back as a double.
inline void addTo(double& total, long double value)
{
    total = double((long double)total + value);
}

} // namespace check
