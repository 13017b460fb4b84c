#pragma once

#include <QDate>
#include <QString>

namespace bench {

// Writes a realistic filled report of `rows` data rows on each of the four table sheets (and a
// tenth of that on the free premises sheet) from the report template, with Table 1 consistent
// with the tables and a sprinkling of typical mistakes (one row in 500).
// The reporting period is the one due on `asOf`.
struct ReportOptions {
    QString code = QStringLiteral("23456719"); // the balance holder's
    QString name = QStringLiteral("Державне підприємство");
    // Debts of the period that equal the charges not paid, so that Table 1 holds together and only the
    // sprinkled mistakes are found; otherwise every report has the finding of п.8.
    bool balancedDebts = false;
};
void generateReport(const QString& templatePath, const QString& outPath, int rows,
                    const QDate& asOf = QDate::currentDate(), const ReportOptions& options = {});

// Writes `count` reports into `folder` as a receiving office gets them for one period: each named
// after its balance holder's code, of sizes as balance holders have them (most with a few dozen
// leases, one in four with a few hundred, one in twenty with one to two thousand rows per table),
// one in a hundred sent twice under another name and one in fifty for the period before.
void generateFolder(const QString& templatePath, const QString& folder, int count,
                    const QDate& asOf = QDate::currentDate());

} // namespace bench
