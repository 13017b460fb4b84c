// The debt recovery tables "Таблиця 3" and "Таблиця 6": one debtor per row from row 7,
// matched against the tenants of the twin tenant table.
#include "provobj.h"
#include "rowrules.h"
#include "validate/readings.h"

#include <algorithm>
#include <cmath>

namespace check {

using namespace validate;

namespace {

class DebtRow {
public:
    DebtRow(SheetContext& ctx, int r, bool six) : ctx(ctx), st(ctx.st), r(r), six(six) {}

    void run()
    {
        if (!six) {
            runningNumber();
            sums();
            debtorMatch();
            st.table3 = true;
            ctx.strictWhole(r, col3num); // read only to fail the row when it is no whole number
            debtorCode();
        } else {
            debtorMatch();
            sums();
            st.table3 = true;
            debtorCode();
            runningNumber();
        }
        relations();
        codeRule(ctx, r, col3inn, QStringLiteral("Невірний код орендаря.("), table2innt, table2inn);
        lessorCode();
        for (int col : {col3toltal, col3pot, col3pros, col3pros2, col3beznad, col3spis})
            strictAt(col);
        countPairs();
        strictAt(col3pogash); // no rule compares it: read only to fail the row when it is no number
        breakdown();
        if (ctx.rawNumber(r, col3pogash_zv) > ctx.rawNumber(r, col3pogash))
            ctx.log(QStringLiteral("Невірно заповнено: Погашено заборгованості.Всього."), r, col3pogash);
    }

private:
    SheetContext& ctx;
    RunState& st;
    int r;
    bool six;
    QString table2innt;
    int64_t table2inn = 0;
    double strict[col3pogash + 1] = {}; // by column

    void runningNumber()
    {
        if (ctx.whole(r, col3num) != r - 6)
            ctx.log(kWrongRunningNumber, r, col3num);
    }

    void sums()
    {
        addTo(st.s2, ctx.lenient(r, col3toltal));
        addTo(st.s3, ctx.lenient(r, col3bud));
        addTo(st.borg_z, ctx.lenient(r, col3zab_zvit));
    }

    void debtorMatch()
    {
        const QString code = ctx.text(r, col3inn);
        const QString kind = ctx.text(r, col3mayno);
        if (st.hasTenant(six, code, kind))
            return;
        const bool movable = kind == QStringLiteral("Так");
        QString message =
            QStringLiteral("Не знайдений в таб. %1 орендар \"").arg(six ? 5 : 2) + ctx.raw(r, col3name) +
            QStringLiteral("\" з таб. %1 (Код ЄДРПОУ: ").arg(six ? 6 : 3) + code +
            (movable ? QStringLiteral(" ; оренда рухомого майна") : QStringLiteral(" ; оренда нерухомого майна"));
        if (!six)
            message += QStringLiteral(")");
        ctx.log(message, r, col3name);
    }

    void debtorCode()
    {
        table2innt = ctx.text(r, col3inn);
        table2inn = codeValue(table2innt);
    }

    void relations()
    {
        struct Rel {
            int left, right;
            bool amount;
        };
        // The message names the columns by their numbers ("Гр.7>=Гр.8").
        static const Rel rels[] = {{col3toltal, col3zab_zvit, true},     {col3toltal, col3bud, true},
                                   {col3kilk, col3kilksud, false},       {col3kilk, col3pozov, false},
                                   {col3kilk_zv, col3kilksud_zv, false}, {col3kilk_zv, col3pozov_zv, false},
                                   {col3kilk, col3vik, false},           {col3kilk_zv, col3vik_zv, false}};
        for (const Rel& rel : rels) {
            const bool less = rel.amount ? ctx.lenient(r, rel.left) < ctx.lenient(r, rel.right)
                                         : ctx.whole(r, rel.left) < ctx.whole(r, rel.right);
            if (less)
                ctx.log(QStringLiteral("Не виконується умова Гр.%1>=Гр.%2.").arg(rel.left).arg(rel.right), r, rel.left);
        }
    }

    void lessorCode()
    {
        const auto [t, v] = codeOf(ctx, r, col3inn_dav);
        codeRule(ctx, r, col3inn_dav, QStringLiteral("Невірний код орендодавця.("), t, v);
    }

    void strictAt(int col) { strict[col] = ctx.strict(r, col); }

    int32_t count(int col, bool strictReading) const
    {
        if (!strictReading)
            return ctx.whole(r, col);
        return ctx.filled(r, col) ? ctx.strictWhole(r, col) : 0;
    }

    void countPairs()
    {
        struct Pair {
            int total, companion;
            const char16_t* message;
        };
        static const Pair pairs[] = {
            {col3kilk, col3kilk_zv, u"Невірно заповнено: Кількість заходів.Всього."},
            {col3kilksud, col3kilksud_zv, u"Невірно заповнено: Кількість позовів до суду.Всього."},
            {col3pozov, col3pozov_zv, u"Невірно заповнено: Задоволено позовів.Всього."},
            {col3vik, col3vik_zv, u"Невірно заповнено: Відкрито виконавчих впроваджень.Всього."},
        };
        for (const Pair& p : pairs) {
            // On the second debt table only the totals of 15, 17 and 19 are strict.
            const int32_t total = count(p.total, !six || p.total != col3vik);
            const int32_t companion = count(p.companion, !six);
            if (total < companion)
                ctx.log(QString::fromUtf16(p.message), r, p.total);
        }
    }

    void breakdown()
    {
        const long double total = strict[col3toltal];
        const long double sum = roundTo2((long double)strict[col3pot] + (long double)strict[col3pros] +
                                         (long double)strict[col3pros2] + (long double)strict[col3beznad]);
        if (std::fabs(total - sum) <= kTolerance)
            return;
        const QString t = ctx.printed(total), s = ctx.printed(sum);
        ctx.log(six ? QStringLiteral("гр.7 <> гр.9+гр.10+гр.11+гр.12 .(") + t + QStringLiteral(")<>(") + s +
                          QStringLiteral(").")
                    : QStringLiteral("гр.7 <> гр.9+гр.10+гр.11+гр.12 (") + t + QStringLiteral(" < > ") + s +
                          QStringLiteral(")."),
                r, col3toltal);
    }
};

} // namespace

void checkDebts(SheetContext& ctx, bool secondTable)
{
    walkTable(ctx, ctx.st.rowstart3, col3inn, ctx.st.table3, [&](int r) { DebtRow(ctx, r, secondTable).run(); });
}

} // namespace check
