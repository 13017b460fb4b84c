#pragma once

#include <QDate>
#include <QString>

namespace bench {

// Writes a realistic filled report of `rows` data rows on each of the four table sheets (and a
// tenth of that on the free premises sheet) from the report template, with Table 1 consistent
// with the tables and a sprinkling of typical mistakes (one row in 500).
// The reporting period is the one due on `asOf`.
void generateReport(const QString& templatePath, const QString& outPath, int rows,
                    const QDate& asOf = QDate::currentDate());

} // namespace bench
