#include "period.h"

namespace check {

QDate dayOfPeriod(const ReportingPeriod& period)
{
    return period.months == 12 ? QDate(period.year + 1, 1, 15) : QDate(period.year, period.months + 1, 15);
}

} // namespace check
