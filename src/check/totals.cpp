// Table 1 against the column totals of the tenant and debt tables.
#include "provobj.h"
#include "rowrules.h"
#include "sheet/valuetext.h"
#include "validate/readings.h"

#include <cmath>

namespace check {

void reconcileTotals(Checker& checker, const RunState& st)
{
    struct Item {
        int row;
        double total;
        const char16_t* prefix;
        bool trimmed;
    };
    const Item items[] = {
        {12, st.s, u"п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 (", false},
        {14, st.s1, u"п.5 таб.1 < > Σ гр.13 таб.2 + Σ гр.13 таб.5 (", false},
        {16, st.s2, u"п.7 таб.1 < > Σ гр.7 таб.3 + Σ гр.7 таб.6 (", true},
        {18, st.s3, u"п.9 таб.1 < > Σ гр.13 таб.3 + Σ гр.13 таб.6 (", true},
        {15, st.s_pay, u"п.6 таб.1 < > Σ гр.14 таб.2 + Σ гр.14 таб.5 (", true},
        {11, st.square2, u"п.2 таб.1 < > Σ гр.7 таб.2 + Σ гр.7 таб.5 (", true},
        {13, st.plata4, u"п.4 таб.1 < > Σ гр.12 таб.2 + Σ гр.12 таб.5 (", true},
        {17, st.borg_z, u"п.8 таб.1 < > Σ гр.8 таб.3 + Σ гр.8 таб.6 (", true},
    };
    const sheet::Locale& locale = checker.env().locale;
    const bool date1904 = checker.WBNew->date1904();
    for (const Item& item : items) {
        auto cellText = [&] { return sheet::valueText(checker.read(1, item.row, 2), locale, date1904); };
        const long double stated = validate::lenientNumber(validate::trimmedText(cellText()), locale.decimal);
        if (std::fabs((long double)item.total - stated) > kTolerance) {
            const QString shown = item.trimmed ? validate::trimmedText(cellText()) : cellText();
            checker.Log(QStringLiteral("Загальні дані"),
                        QString::fromUtf16(item.prefix) + shown + QStringLiteral(" < > ") +
                            validate::printedNumber(item.total, locale.decimal) + QStringLiteral(")"),
                        item.row, 2);
        }
    }
}

} // namespace check
