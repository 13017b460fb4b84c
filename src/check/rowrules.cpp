#include "rowrules.h"

#include "validate/validid.h"

namespace check {

void codeRule(const SheetContext& ctx, int row, int col, const QString& start, const QString& t, int64_t v)
{
    const qsizetype len = t.size();
    const bool wrong = (len != 8 && len != 10) || (len == 8 && !ValidID::IsValidOKPO(int32_t(v))) || (len == 10 && v == 0);
    if (wrong)
        ctx.log(start + t + QStringLiteral(")"), row, col);
}

} // namespace check
