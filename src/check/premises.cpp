// The free premises sheet "Інші відомості": one premises per row, its address, areas, state,
// supplies, possible use, note and district.
#include "provobj.h"
#include "rowrules.h"
#include "validate/helpers.h"
#include "validate/readings.h"

#include <algorithm>
#include <optional>

namespace check {

using namespace validate;

namespace {

// The district list, read once for the sheet; a list that cannot be read fails each row that needs it.
struct DistrictList {
    std::optional<QStringList> lines;
    QString error;
};

void supply(const SheetContext& ctx, int r, int col, const QString& what)
{
    const QString v = ctx.text(r, col).toLower();
    if (v.isEmpty())
        ctx.log(QStringLiteral("Не заповнено: ") + what + QStringLiteral("."), r, col);
    else if (v != QStringLiteral("так") && v != QStringLiteral("ні"))
        ctx.log(QStringLiteral("Невірно заповнено: ") + what + QStringLiteral("."), r, col);
}

void premisesRow(SheetContext& ctx, int r, const DistrictList& districts)
{
    RunState& st = ctx.st;
    if (r >= 7) {
        bool complete = true;
        for (int col : {col4rayon, col4namestr, col4name_t, col4numbud, col4zagplor, col4MZKplvil, col4poverh, col4stan,
                        col4energ, col4vod})
            complete = complete && ctx.filled(r, col);
        if (complete && ctx.rawWhole(r, col4num) != r - 6)
            ctx.log(kWrongRunningNumber, r, col4num);
    }
    st.table4 = true;
    ctx.strictWhole(r, col4num); // read only to fail the row when it is no whole number
    if (ctx.text(r, col4name_t).isEmpty())
        ctx.log(QStringLiteral("Невірно заповнено тип вулиці."), r, col4name_t);
    if (ctx.text(r, col4numbud).isEmpty())
        ctx.log(QStringLiteral("Невірно заповнено номер будинку."), r, col4numbud);
    if (ctx.lenient(r, col4zagplbal) == 0)
        ctx.log(QStringLiteral("Не заповнено загальну площу приміщення на балансі."), r, col4zagplbal);
    ctx.strict(r, col4zagplor); // read only to fail the row when it is no number
    if (ctx.lenient(r, col4zagplvil) == 0)
        ctx.log(QStringLiteral("Не заповнено: Вільні приміщення. Загальна площа."), r, col4zagplvil);
    ctx.strict(r, col4korplvil); // the same
    ctx.strict(r, col4MZKplvil);
    if (ctx.text(r, col4poverh).isEmpty())
        ctx.log(QStringLiteral("Не заповнено: Місце розташування вільного приміщення (поверх)."), r, col4poverh);

    const QString state = ctx.text(r, col4stan).toLower();
    if (state.isEmpty())
        ctx.log(QStringLiteral("Не заповнено: Технічний стан."), r, col4stan);
    else if (!CheckSubStr(QStringLiteral("задов"), state) && !CheckSubStr(QStringLiteral("незад"), state))
        ctx.log(QStringLiteral("Невірно заповнено: Технічний стан."), r, col4stan);
    supply(ctx, r, col4energ, QStringLiteral("енергозабезпечення"));
    supply(ctx, r, col4vod, QStringLiteral("водозабезпечення"));
    supply(ctx, r, col4teplo, QStringLiteral("теплозабезпечення"));

    TAnyMessages& msg = st.MyMessages;
    msg[vikor] = ctx.text(r, col4vikor);
    const bool vik_priz =
        std::find(msg.begin() + aeVal1, msg.begin() + aeVal12 + 1, msg[vikor]) != msg.begin() + aeVal12 + 1;
    if (msg[vikor].isEmpty() || !vik_priz)
        ctx.log(QStringLiteral("Невірно заповнено: Можливе використання приміщення."), r, col4vikor);
    msg[primit] = ctx.text(r, col4primit);
    const bool prim_priz =
        std::find(msg.begin() + aeVal13, msg.begin() + aeVal16 + 1, msg[primit]) != msg.begin() + aeVal16 + 1;
    if (!msg[primit].isEmpty() && !prim_priz)
        ctx.log(QStringLiteral("Невірно заповнено: Примітка."), r, col4primit);

    if (!districts.lines)
        throw ListError(districts.error);
    const QString district = ctx.text(r, col4rayon).toUpper();
    if (!districts.lines->contains(district))
        ctx.log(QStringLiteral("Невірно заповнено: Район."), r, col4rayon);
}

} // namespace

void checkPremises(SheetContext& ctx)
{
    DistrictList districts;
    try {
        districts.lines = ctx.checker.lists().lines(QStringLiteral("SR.bin"));
    } catch (const ListError& e) {
        districts.error = QString::fromStdString(e.what());
    }
    for (int r = ctx.st.rowstart4; r <= ctx.rowfinishnew; ++r) {
        const bool filled = ctx.filled(r, col4zagplbal) && ctx.filled(r, col4namestr);
        if (filled && (ctx.textIs(r - 1, col4num, u"1") || ctx.st.table4)) {
            guardedUnit([&] { premisesRow(ctx, r, districts); }, [&] { ctx.log(kRowNotProcessed, r, 0); });
        }
        if (r >= 7 && !filled)
            ctx.log(kRowNotProcessed, r, 0);
    }
}

} // namespace check
