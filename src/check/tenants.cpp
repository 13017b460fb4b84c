// The tenant tables "Таблиця 2" and "Таблиця 5": one lease per row from row 7.
#include "provobj.h"
#include "rowrules.h"
#include "validate/helpers.h"
#include "validate/readings.h"

#include <cmath>

namespace check {

using namespace validate;

namespace {

const QString kNegative[4] = {
    QStringLiteral("Невірно заповнено: Площа, надана в оренду.Всього"),
    QStringLiteral("Невірно заповнено: Площа, надана в оренду.в тому числі: на яку нараховується орендна плата у "
                   "відсотках від вартості"),
    QStringLiteral("Невірно заповнено: Площа, надана в оренду.в тому числі: на яку нараховується орендна плата в "
                   "розмірі 1 грн"),
    QStringLiteral("Невірно заповнено: Площа надана в погодинну оренду."),
};

void tenantRow(SheetContext& ctx, int r, bool five)
{
    RunState& st = ctx.st;
    // Running number, read with its blanks, when C, E and G are filled.
    if (ctx.filled(r, col2name_or) && ctx.filled(r, col2name_dav) && ctx.filled(r, col2Pltotal) &&
        ctx.rawWhole(r, col2no) != r - 6)
        ctx.log(kWrongRunningNumber, r, col2no);

    addTo(st.s, ctx.lenient(r, col2nar_tim));
    addTo(st.s1, ctx.lenient(r, col2otr_tim));
    addTo(st.square2, ctx.lenient(r, col2Pltotal));
    addTo(st.plata4, ctx.lenient(r, col2nar_1grn));
    addTo(st.s_pay, ctx.lenient(r, col2nar50));

    st.setTenant(five, r, TOrendar{ctx.text(r, col2name_or), ctx.text(r, col2inn_or), ctx.text(r, col2mayno)});

    if (ctx.lenient(r, col2nar50) > ctx.lenient(r, col2otr_tim)) {
        const QString m = ctx.text(r, col2otr_tim), n = ctx.text(r, col2nar50);
        ctx.log(QStringLiteral("гр.13 таб. %1 < гр.14 таб. %1.(").arg(five ? 5 : 2) + SetCorrectFloatStr(m, ctx.dec()) +
                    QStringLiteral(" < ") + SetCorrectFloatStr(n, ctx.dec()) + QStringLiteral(")"),
                r, col2otr_tim);
    }

    st.table2 = true;
    ctx.strictWhole(r, col2no); // read only to fail the row when it is no whole number

    const auto [tenant, tenantValue] = codeOf(ctx, r, col2inn_or);
    codeRule(ctx, r, col2inn_or, QStringLiteral("Невірний код орендаря.("), tenant, tenantValue);
    const auto [lessor, lessorValue] = codeOf(ctx, r, col2inn_dav);
    codeRule(ctx, r, col2inn_dav, QStringLiteral("Невірний код орендодавця.("), lessor, lessorValue);

    double area[4]; // G, H, I, J
    const int areaCols[4] = {col2Pltotal, col2pl_nar_vid, col2pl_nar_1grn, col2pl_nar_time};
    for (int k = 0; k < 4; ++k) {
        area[k] = ctx.strict(r, areaCols[k]); // an empty cell reads as 0, never negative
        if (five && area[k] < 0)
            ctx.log(kNegative[k], r, areaCols[k]);
    }
    // Read only to fail the row when they are no numbers; the totals took their lenient values.
    ctx.strict(r, col2nar_tim);
    ctx.strict(r, col2otr_tim);

    const double table1totalplosh = area[0];
    const long double table1sum = roundTo2((long double)area[1] + (long double)area[2]);
    if (std::fabs((long double)table1totalplosh - table1sum) > kTolerance) {
        const QString g = ctx.printed(table1totalplosh), sum = ctx.printed(table1sum);
        ctx.log(five ? QStringLiteral("гр.7 <> гр.8+гр.9 .(") + g + QStringLiteral(")<>(") + sum + QStringLiteral(")")
                     : QStringLiteral("гр.7 <> гр.8+гр.9 (") + g + QStringLiteral(" < > ") + sum + QStringLiteral(")"),
                r, col2Pltotal);
    }
}

} // namespace

void checkTenants(SheetContext& ctx, bool secondTable)
{
    (secondTable ? ctx.st.orendari56 : ctx.st.orendari23).reserve(ctx.rowfinishnew + 1);
    walkTable(ctx, ctx.st.rowstart2, col2no, ctx.st.table2, [&](int r) { tenantRow(ctx, r, secondTable); });
}

} // namespace check
