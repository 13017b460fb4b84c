#include "rowrules.h"

#include "validate/readings.h"
#include "validate/validid.h"

namespace check {

void codeRule(const SheetContext& ctx, int row, int col, const QString& start, const QString& t, int64_t v)
{
    const qsizetype len = t.size();
    const bool wrong =
        (len != 8 && len != 10) || (len == 8 && !ValidID::IsValidOKPO(int32_t(v))) || (len == 10 && v == 0);
    if (wrong)
        ctx.log(start + t + QStringLiteral(")"), row, col);
}

std::pair<QString, int64_t> codeOf(const SheetContext& ctx, int row, int col)
{
    const QString t = ctx.text(row, col);
    if (t.isEmpty())
        return {QStringLiteral("0"), 0};
    return {t, validate::codeValue(t)};
}

// The tenant and debt tables share their first three columns.
static_assert(col2no == col3num && col2inn_or == col3inn && col2name_or == col3name);

void walkTable(SheetContext& ctx, int rowstart, int keyCol, const bool& flag, const std::function<void(int)>& rowChecks)
{
    for (int r = rowstart; r <= ctx.rowfinishnew; ++r) {
        if (r < 7 || !ctx.filled(r, keyCol) || !ctx.filled(r, col2name_or))
            continue;
        if (!ctx.textIs(r - 1, col2no, u"1") && !flag) {
            ctx.log(kRowNotProcessed, r, 0);
            continue;
        }
        guardedUnit([&] { rowChecks(r); }, [&] { ctx.log(kRowNotProcessed, r, 0); });
    }
    for (int r = 7; r <= ctx.rowfinishnew; ++r)
        if (!ctx.filled(r, col2inn_or) || !ctx.filled(r, col2name_or))
            ctx.log(kRowNotProcessed, r, 0);
}

} // namespace check
