// The general data sheet: the structure test, the reporting period, the balance holder,
// Table 1 (items п.1 to п.21 in rows 10 to 30) and the contact block.
#include "period.h"
#include "provobj.h"
#include "rowrules.h"
#include "validate/helpers.h"
#include "validate/readings.h"
#include "validate/validid.h"

#include <cmath>

namespace check {

using namespace validate;

namespace {

// Runs one item as a guarded unit: a reading or list that fails inside writes the item's own finding.
template <typename Body> void guarded(const SheetContext& ctx, int row, int col, const QString& failure, Body body)
{
    guardedUnit(body, [&] { ctx.log(failure, row, col); });
}

QString wrongItem(int item)
{
    return QStringLiteral("Невірно заповнений п.%1 таб.1").arg(item);
}

class GeneralSheet {
public:
    explicit GeneralSheet(SheetContext& ctx) : ctx(ctx), g(ctx.st.general) {}

    void run()
    {
        if (ctx.text(4, 1) != QStringLiteral("Період звітності:") || !ctx.text(31, 1).isEmpty() ||
            ctx.text(34, 1) != QStringLiteral("Відповідальний виконавець")) {
            ctx.log(QStringLiteral("УВАГА! Порушена структура шапки листа excel.Дані першого листа не перевірені."), 0,
                    0);
            return;
        }
        for (int rownew = ctx.st.rowstart1; rownew <= ctx.rowfinishnew; ++rownew)
            visit(rownew);
    }

private:
    SheetContext& ctx;
    GeneralValues& g;

    long double rounded(int row) const { return roundTo2(ctx.lenient(row, 2)); }
    // Strict, rounded, read only when the cell is filled; otherwise `target` keeps its value.
    void strictIfFilled(int row, double& target) const
    {
        const QString t = ctx.text(row, 2);
        if (!t.isEmpty())
            target = strictNumber(t, ctx.dec());
    }
    // For the items no rule compares: the value is dropped, but reading it strictly makes a text
    // that is not a number the item's finding.
    void mustConvert(int row) const
    {
        double unused = 0;
        strictIfFilled(row, unused);
    }

    void visit(int row)
    {
        switch (row) {
        case 4:
            return months();
        case 5:
            return year();
        case 6:
            if (ctx.text(6, col1stan).isEmpty())
                ctx.log(QStringLiteral("Період звітності(станом на) не заповнений."), 6, col1stan);
            return;
        case 7:
            return code();
        case 8:
            return guarded(ctx, 8, col1name, QStringLiteral("Невірно заповнена назва балансоутримувача."), [&] {
                if (ctx.text(8, col1name).isEmpty())
                    ctx.log(QStringLiteral("Назва балансоутримувача не заповнена."), 8, col1name);
            });
        case 10:
            return guarded(ctx, 10, col1balkv, wrongItem(1), [&] {
                if (ctx.raw(10, col1nar).isEmpty()) {
                    ctx.log(QStringLiteral("Незаповнений п.1 таб. 1"), 10, col1nar);
                    return;
                }
                strictIfFilled(10, g.zvitplosha);
                if (g.zvitplosha == 0)
                    ctx.log(wrongItem(1), 10, col1balkv);
            });
        case 11:
            return guarded(ctx, 11, col1balkv, QStringLiteral("Невірно заповнений п.2 таб.1"), [&] {
                if (rounded(11) > g.zvitplosha)
                    ctx.log(QStringLiteral("п.2 таб.1 > п.1 таб.1"), 11, col1balkv);
            });
        case 12:
            return guarded(ctx, 12, col1nar,
                           QStringLiteral("Невірно заповнено: нараховано орендної плати за звітний період."),
                           [&] { g.zvitnarah = double(rounded(12)); });
        case 14:
            return guarded(ctx, 14, col1otr,
                           QStringLiteral("Невірно заповнено: Отримано орендної плати всього за звітний період."),
                           [&] { g.zvitotrim = double(rounded(14)); });
        case 15:
            return guarded(ctx, 15, col1otrzvit, wrongItem(6), [&] {
                g.zvitotrim_z = double(rounded(15));
                if (g.zvitotrim < g.zvitotrim_z)
                    ctx.log(QStringLiteral("п.5 < п.6."), 15, col1otrzvit);
            });
        case 16:
            return guarded(ctx, 16, col1zab_zag,
                           QStringLiteral("Невірно заповнено: Загальна заборгованість по орендній платі."),
                           [&] { g.zvitborg_zag = double(rounded(16)); });
        case 17:
            return guarded(ctx, 17, col1zab, wrongItem(8), [&] {
                g.zvitborg = double(ctx.lenient(17, 2));
                const long double p4 = ctx.lenient(13, 2);
                const long double d = (long double)g.zvitnarah - p4 - (long double)g.zvitotrim_z;
                if (d > 0 && std::fabs((long double)g.zvitborg - d) > kTolerance01)
                    ctx.log(QStringLiteral("Не виконується умова п.8 = (п.3 - п.4 - п.6) таб.1"), 17, col1zab);
                if (d <= 0 && g.zvitborg != 0)
                    ctx.log(QStringLiteral("п.8 <> 0."), 17, col1zab);
                if (g.zvitborg_zag < g.zvitborg)
                    ctx.log(QStringLiteral("п.8 таб.1 > п.7 таб.1"), 17, col1zab);
            });
        case 18:
            return guarded(ctx, 18, col1zab_zag, QStringLiteral("Невірно заповнений п. 9 таб. 1"), [&] {
                g.zvitnar50zvit = double(rounded(18));
                if (g.zvitnar50zvit > g.zvitborg_zag)
                    ctx.log(QStringLiteral("п.9 > п.7"), 18, col1zab);
            });
        case 19:
            return item10();
        case 20:
            return guarded(ctx, 20, col1perer50zvit, wrongItem(11), [&] { strictIfFilled(20, g.zvitpererah50); });
        case 21:
            return guarded(ctx, 21, col1perer50poper, wrongItem(12), [&] {
                strictIfFilled(21, g.zvitpererah50myn);
                if (g.zvitpererah50myn > g.zvitpererah50)
                    ctx.log(QStringLiteral("п.12 таб.1 > п.11 таб.1"), 21, col1perer50poper);
            });
        case 22:
            return guarded(ctx, 22, col1zab50zvit, wrongItem(13), [&] {
                g.zvitborg50 = double(rounded(22));
                const long double e =
                    (long double)g.zvitnar50zvit - ((long double)g.zvitpererah50 - (long double)g.zvitpererah50myn);
                if (e > 0 && std::fabs((long double)g.zvitborg50 - e) > kTolerance)
                    ctx.log(QStringLiteral("п.13 таб.1 <> (п.10 – (п.11 – п.12)) таб.1"), 22, col1zab50zvit);
                else if (e <= 0 && g.zvitborg50 != 0)
                    ctx.log(QStringLiteral("п.13 таб.1 <> 0"), 22, col1zab50zvit);
            });
        case 23:
            return guarded(ctx, 23, col130_50_min, wrongItem(14), [&] { mustConvert(23); });
        case 24:
        case 25:
            return guarded(ctx, row, col1kvcmk, wrongItem(row - 9), [&] {
                // No rule uses the count; reading it strictly makes a text that is no whole number the
                // item's finding.
                if (!ctx.text(row, col1kvcmk).isEmpty())
                    strictWhole(ctx.raw(row, col1kvcmk));
            });
        case 26:
            return guarded(ctx, 26, col1kvcmk, wrongItem(17), [&] { mustConvert(26); });
        case 27:
            return guarded(ctx, 27, col1narahcmk, wrongItem(18), [&] { mustConvert(27); });
        case 28:
            return guarded(ctx, 28, col1perer50cmk, wrongItem(19), [&] { mustConvert(28); });
        case 29:
            return guarded(ctx, 29, col1zabcmk, wrongItem(20), [&] { mustConvert(29); });
        case 30:
            return guarded(ctx, 30, col1perer50in, wrongItem(21), [&] { mustConvert(30); });
        case 32: {
            const QString t = ctx.text(32, col1mail);
            if (t.isEmpty()) {
                ctx.log(QStringLiteral("Не заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем."), 32,
                        col1mail);
            } else if (!IsValidEmail(t)) {
                ctx.log(QStringLiteral("Невірно заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем."),
                        32, col1mail);
            }
            return;
        }
        case 33:
            return contact(33, col1tell, QStringLiteral("Не заповнено: Контактний телефон."));
        case 34:
            return contact(34, col1vidpov, QStringLiteral("Не заповнено: Відповідальний виконавець"));
        case 35:
            return contact(35, col1dir, QStringLiteral("Не заповнено: Керівник"));
        case 37:
            return contact(37, col1dir, QStringLiteral("Не заповнено: Поштова адреса для листування"));
        default:
            return;
        }
    }

    void contact(int row, int col, const QString& missing)
    {
        if (ctx.text(row, col).isEmpty())
            ctx.log(missing, row, col);
    }

    void months()
    {
        guarded(ctx, 4, col1kvart, QStringLiteral("невірно заповнений період звітності(Кількість місяців)."), [&] {
            const QString t = ctx.text(4, col1kvart);
            if (t.isEmpty()) {
                ctx.log(QStringLiteral("Період звітності(Кількість місяців) не заповнений."), 4, col1kvart);
                return;
            }
            g.zvitkvart = strictWhole(t);
            const Environment& env = ctx.checker.env();
            const QDate today = env.expectedPeriod ? dayOfPeriod(*env.expectedPeriod) : env.clock().date();
            g.m = today.month();
            g.y = today.year();
            g.monthsTaken = true;
            if (g.zvitkvart != requiredMonths(today))
                ctx.log(QStringLiteral("Період звітності(Кількість місяців) невірно заповнений."), 4, col1kvart);
        });
    }

    void year()
    {
        guarded(ctx, 5, col1period, QStringLiteral("Невірно заповнений період звітності(рік)."), [&] {
            const QString t = ctx.text(5, col1period);
            if (t.isEmpty()) {
                ctx.log(QStringLiteral("Період звітності(рік) не заповнений."), 5, col1period);
                return;
            }
            g.zvitrik = strictWhole(t);
            if (!g.monthsTaken)
                return;
            if (g.zvitrik != reportingYear(QDate(g.y, g.m, 1)))
                ctx.log(QStringLiteral("Період звітності(рік) невірно заповнений."), 5, col1kvart);
        });
    }

    void code()
    {
        Checker& c = ctx.checker;
        guarded(ctx, 7, col1inn, QStringLiteral("Невірно заповнений ідентифікаційний код балансоутримувача."), [&] {
            const QString t = ctx.text(7, col1inn);
            if (t.isEmpty()) {
                ctx.log(QStringLiteral("Ідентифікаційний код балансоутримувача не заповнений."), 7, col1inn);
                c.INNKOD = QStringLiteral("Не визначений");
                return;
            }
            g.zvitinn = t;
            g.table1innorend = codeValue(t);
            c.INNKOD = t;
            const QString wrong = QStringLiteral("Невірний код балансоутримувача.(") + c.INNKOD + QStringLiteral(")");
            if (g.table1innorend == 0)
                ctx.log(wrong, 7, col1inn);
            if (t.size() == 8 && !ValidID::IsValidOKPO(strictWhole(t)))
                ctx.log(wrong, 7, col1inn);
            if (t.size() != 8 && t.size() != 10)
                ctx.log(wrong, 7, col1inn);

            ReferenceLists& lists = c.lists();
            if (lists.IsCodeInList(QStringLiteral("GUOZ.bin"), g.zvitinn)) {
                for (int row = 19; row <= 22; ++row) {
                    // Read in the user's own number format only: the other separator counts as 0.
                    if (toNumber(ctx.text(row, 2), ctx.dec()).value_or(0.0L) != 0)
                        ctx.log(QStringLiteral("п.%1 таб.1 <> 0").arg(row - 9), row, 2);
                }
            }
            if (lists.IsCodeInList(QStringLiteral("CMK.bin"), g.zvitinn)) {
                const long double p17 = ctx.lenient(26, 2);
                if (p17 <= 0)
                    ctx.log(QStringLiteral("п.17 таб.1 = 0"), 26, 2);
                else if (ctx.lenient(10, 2) < p17)
                    ctx.log(QStringLiteral("п.1 таб.1 < п.17 таб.1"), 10, 2);
            }
            if (!lists.IsCodeInList(QStringLiteral("KYIV.bin"), g.zvitinn)) {
                if (ctx.lenient(30, 2) > 0)
                    ctx.log(QStringLiteral("п.21 таб.1 <> 0"), 30, 2);
            }
        });
    }

    void item10()
    {
        auto relation = [&]() -> QString {
            return QStringLiteral("п.10 таб.1 < > [п.5 таб.1]/2 (") + ctx.printed(g.zvitnar50zvit) +
                   QStringLiteral(" < > ") + ctx.printed((long double)g.zvitotrim / 2) + QStringLiteral(")");
        };
        guardedUnit(
            [&] {
                g.zvitnar50zvit = double(rounded(19));
                const bool pair = ctx.checker.lists().zfbNotMayno(g.zvitinn);
                if (pair && std::fabs((long double)g.zvitotrim / 2 - (long double)g.zvitnar50zvit) > kTolerance)
                    ctx.log(relation(), 19, col1nar50zvit);
            },
            [&] { ctx.log(relation(), 19, col1nar50zvit); });
    }
};

} // namespace

void checkGeneral(SheetContext& ctx)
{
    GeneralSheet(ctx).run();
}

} // namespace check
