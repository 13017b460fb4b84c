#pragma once

#include "sheet/locale.h"
#include "sheet/msexcel.h"

#include <QString>
#include <QStringList>
#include <array>

namespace app {

// Table 1 of the general data sheet: items п.1 to п.21 in rows 10 to 30 of column B.
inline constexpr int kTable1Items = 21;

// "п.1 Загальна площа нерухомого майна на балансі, кв. м" … as the form numbers and names them.
const std::array<QString, kTable1Items>& table1Captions();

// One report's Table 1 as the region's totals take it.
struct Table1Values {
    std::array<long double, kTable1Items> items{}; // each rounded to two decimals, 0 when not a number
    QList<int> notNumbers;                         // items (1 to 21) whose cell is filled but is no number
    bool present = false;                          // the report has the sheet "Загальні дані"
};

// Reads the items of the first sheet named "Загальні дані" (trimmed): a number cell as it is, a text
// with either decimal mark as the rules read it leniently, each rounded to two decimals as the rules
// round; an empty cell is 0, a text that is no number (or an error value) is 0 and named.
Table1Values readTable1(const sheet::Book& report, const sheet::Locale& locale);

// The items summed over a set of reports, in the precision the rules use (long double), with the
// number of reports and, per item, the files that gave no number there.
struct Table1Totals {
    std::array<long double, kTable1Items> sums{};
    int reports = 0;
    std::array<QStringList, kTable1Items> notNumbers;
    QStringList withoutSheet; // reports without the sheet "Загальні дані": every item 0

    void add(const QString& file, const Table1Values& values);
    // The sum of item `item` (1 to 21) rounded to two decimals.
    double sum(int item) const;
};

} // namespace app
