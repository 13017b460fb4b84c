#pragma once

#include "sheet/locale.h"
#include "sheet/msexcel.h"

#include <QString>

namespace check {

// What a report says of itself on its general data sheet, as the user typed it: the balance
// holder's code (B7) and name (B8) and the reporting period, months (B4) and year (B5). The texts
// are trimmed; a cell holding an error value gives that value's text ("#N/A"); a report without
// the sheet "Загальні дані" gives empty texts. The rules judge these cells; this only reports them.
struct Heading {
    QString code, name, months, year;
};

Heading readHeading(const sheet::Book& report, const sheet::Locale& locale);

} // namespace check
