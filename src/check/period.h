#pragma once

#include <QDate>

namespace check {

// The reporting period a check expects on a given day: the months since the start of the year
// up to the quarter just ended (3 in March to May, 6 in June to August, 9 in September to
// November, 12 in December to February) ...
inline int requiredMonths(const QDate& today)
{
    const int m = today.month();
    return m >= 3 && m <= 5 ? 3 : m >= 6 && m <= 8 ? 6 : m >= 9 && m <= 11 ? 9 : 12;
}

// ... and its year: in January and February the year just ended.
inline int reportingYear(const QDate& today)
{
    return today.month() <= 2 ? today.year() - 1 : today.year();
}

// A reporting period: the months since the start of the year (3, 6, 9 or 12) and the year.
struct ReportingPeriod {
    int months = 0, year = 0;
    bool operator==(const ReportingPeriod&) const = default;
};

// The period the check expects on `day`.
inline ReportingPeriod periodOn(const QDate& day)
{
    return {requiredMonths(day), reportingYear(day)};
}

// A day whose reporting period is `period`: the 15th of the month after the period ends (April for
// 3 months, July, October, January of the next year for 12), the middle of the weeks in which
// offices collect those reports.
QDate dayOfPeriod(const ReportingPeriod& period);

} // namespace check
