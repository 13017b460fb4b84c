#include "heading.h"

#include "provobj.h"
#include "sheet/valuetext.h"
#include "validate/readings.h"

namespace check {

Heading readHeading(const sheet::Book& report, const sheet::Locale& locale)
{
    // The first sheet that the frame would hand to the general data rules.
    int general = 0;
    for (int i = 1; i <= report.SheetsCount() && !general; ++i)
        if (validate::trimmedText(report.SheetName(i)) == QStringLiteral("Загальні дані"))
            general = i;
    if (!general)
        return {};
    auto text = [&](int row, int col) {
        const xls::CellValue v = report.Value(general, row, col);
        if (v.type == xls::CellType::Error)
            return xls::errorCodeText(v.code);
        return validate::trimmedText(sheet::valueText(v, locale, report.date1904()));
    };
    return {text(7, col1inn), text(8, col1name), text(4, col1kvart), text(5, col1period)};
}

} // namespace check
