#pragma once

#include "check/heading.h"
#include "check/period.h"
#include "register.h"
#include "sheet/msexcel.h"
#include "table1.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace app {

// What only the receiving office asks of a folder: the reports' periods against the one collected,
// the register of senders, and the region's Table 1.

// "12.2026" or "12/2026" (blanks around allowed): the period, or nothing with `error` saying in
// Ukrainian what is wrong with the text and how to write it.
std::optional<check::ReportingPeriod> parsePeriod(const QString& text, QString* error);

// "12 міс. 2026", as the folder check names a period.
QString periodName(const check::ReportingPeriod& period);

// «Період 9 міс. 2026, а очікується 12 міс. 2026.» when the report gives another period than
// `expected` (an item it leaves empty shows as "?"); empty when it gives that period, or gives
// neither months nor year (the report has no general data sheet: its findings say so).
QString periodFlag(const check::Heading& heading, const check::ReportingPeriod& expected);

// «Код 12345678 немає в реєстрі.» (or «Код не вказано, тож його немає в реєстрі.») when the
// report's code is not registered; empty when it is.
QString registerFlag(const QString& code, const SenderRegister& reg);

// The registered balance holders that no report of the folder names, in the register's order.
std::vector<Sender> missingSenders(const SenderRegister& reg, const QStringList& reportedCodes);

// Fills the totals sheet `sheet` of the summary (its header in rows 1 and 3): row 2 says what was
// summed, row 4 how many reports each sum takes, rows 5 to 25 items п.1 to п.21 with their captions,
// the sum over the reports without findings, the sum over every checked report, and the reports
// whose item is not a number (counted as 0).
void writeTotals(sheet::Book& summary, int sheet, const Table1Totals& clean, const Table1Totals& all);

} // namespace app
