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

    // One row's rules; `col` is the column the row's findings point at.
    using Step = void (GeneralSheet::*)(int row, int col);
    struct RowStep {
        int row, col;
        Step step;
    };
    // The rows of the sheet that carry rules, in the order the walk meets them. Rows 9, 13, 31 and 36
    // carry none; row 13 (п.4) is read by the rule of п.8.
    static const RowStep kRows[30];

    void visit(int row)
    {
        for (const RowStep& r : kRows)
            if (r.row == row)
                return (this->*r.step)(r.row, r.col);
    }

    void asOf(int row, int col)
    {
        if (ctx.text(row, col).isEmpty())
            ctx.log(QStringLiteral("Період звітності(станом на) не заповнений."), row, col);
    }

    void name(int row, int col)
    {
        guarded(ctx, row, col, QStringLiteral("Невірно заповнена назва балансоутримувача."), [&] {
            if (ctx.text(row, col).isEmpty())
                ctx.log(QStringLiteral("Назва балансоутримувача не заповнена."), row, col);
        });
    }

    void item1(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(1), [&] {
            if (ctx.raw(row, col1nar).isEmpty()) {
                ctx.log(QStringLiteral("Незаповнений п.1 таб. 1"), row, col1nar);
                return;
            }
            strictIfFilled(row, g.zvitplosha);
            if (g.zvitplosha == 0)
                ctx.log(wrongItem(1), row, col);
        });
    }

    void item2(int row, int col)
    {
        guarded(ctx, row, col, QStringLiteral("Невірно заповнений п.2 таб.1"), [&] {
            if (rounded(row) > g.zvitplosha)
                ctx.log(QStringLiteral("п.2 таб.1 > п.1 таб.1"), row, col);
        });
    }

    void item3(int row, int col)
    {
        guarded(ctx, row, col, QStringLiteral("Невірно заповнено: нараховано орендної плати за звітний період."),
                [&] { g.zvitnarah = double(rounded(row)); });
    }

    void item5(int row, int col)
    {
        guarded(ctx, row, col, QStringLiteral("Невірно заповнено: Отримано орендної плати всього за звітний період."),
                [&] { g.zvitotrim = double(rounded(row)); });
    }

    void item6(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(6), [&] {
            g.zvitotrim_z = double(rounded(row));
            if (g.zvitotrim < g.zvitotrim_z)
                ctx.log(QStringLiteral("п.5 < п.6."), row, col);
        });
    }

    void item7(int row, int col)
    {
        guarded(ctx, row, col, QStringLiteral("Невірно заповнено: Загальна заборгованість по орендній платі."),
                [&] { g.zvitborg_zag = double(rounded(row)); });
    }

    void item8(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(8), [&] {
            g.zvitborg = double(ctx.lenient(row, 2));
            const long double p4 = ctx.lenient(13, 2);
            const long double d = (long double)g.zvitnarah - p4 - (long double)g.zvitotrim_z;
            if (d > 0 && std::fabs((long double)g.zvitborg - d) > kTolerance01)
                ctx.log(QStringLiteral("Не виконується умова п.8 = (п.3 - п.4 - п.6) таб.1"), row, col);
            if (d <= 0 && g.zvitborg != 0)
                ctx.log(QStringLiteral("п.8 <> 0."), row, col);
            if (g.zvitborg_zag < g.zvitborg)
                ctx.log(QStringLiteral("п.8 таб.1 > п.7 таб.1"), row, col);
        });
    }

    void item9(int row, int col)
    {
        guarded(ctx, row, col, QStringLiteral("Невірно заповнений п. 9 таб. 1"), [&] {
            g.zvitnar50zvit = double(rounded(row));
            if (g.zvitnar50zvit > g.zvitborg_zag)
                ctx.log(QStringLiteral("п.9 > п.7"), row, col1zab);
        });
    }

    void item11(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(11), [&] { strictIfFilled(row, g.zvitpererah50); });
    }

    void item12(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(12), [&] {
            strictIfFilled(row, g.zvitpererah50myn);
            if (g.zvitpererah50myn > g.zvitpererah50)
                ctx.log(QStringLiteral("п.12 таб.1 > п.11 таб.1"), row, col);
        });
    }

    void item13(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(13), [&] {
            g.zvitborg50 = double(rounded(row));
            const long double e =
                (long double)g.zvitnar50zvit - ((long double)g.zvitpererah50 - (long double)g.zvitpererah50myn);
            if (e > 0 && std::fabs((long double)g.zvitborg50 - e) > kTolerance)
                ctx.log(QStringLiteral("п.13 таб.1 <> (п.10 – (п.11 – п.12)) таб.1"), row, col);
            else if (e <= 0 && g.zvitborg50 != 0)
                ctx.log(QStringLiteral("п.13 таб.1 <> 0"), row, col);
        });
    }

    // Items no rule compares: reading them strictly makes a text that is not a number (or, for the
    // counts of п.15 and п.16, not a whole number) the item's finding.
    void mustBeNumber(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(row - 9), [&] { mustConvert(row); });
    }

    void mustBeWhole(int row, int col)
    {
        guarded(ctx, row, col, wrongItem(row - 9), [&] {
            if (!ctx.text(row, col).isEmpty())
                strictWhole(ctx.raw(row, col));
        });
    }

    void mail(int row, int col)
    {
        const QString t = ctx.text(row, col);
        if (t.isEmpty())
            ctx.log(QStringLiteral("Не заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем."), row,
                    col);
        else if (!IsValidEmail(t))
            ctx.log(QStringLiteral("Невірно заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем."),
                    row, col);
    }

    void contact(int row, int col)
    {
        if (!ctx.text(row, col).isEmpty())
            return;
        const char16_t* missing = row == 33 ? u"Не заповнено: Контактний телефон."
                                  : row == 34 ? u"Не заповнено: Відповідальний виконавець"
                                  : row == 35 ? u"Не заповнено: Керівник"
                                              : u"Не заповнено: Поштова адреса для листування";
        ctx.log(QString::fromUtf16(missing), row, col);
    }

    void months(int, int)
    {
        guarded(ctx, 4, col1kvart, QStringLiteral("невірно заповнений період звітності(Кількість місяців)."), [&] {
            const QString t = ctx.text(4, col1kvart);
            if (t.isEmpty()) {
                ctx.log(QStringLiteral("Період звітності(Кількість місяців) не заповнений."), 4, col1kvart);
                return;
            }
            g.zvitkvart = strictWhole(t);
            const QDate today = ctx.checker.env().clock().date();
            g.m = today.month();
            g.y = today.year();
            g.monthsTaken = true;
            if (g.zvitkvart != requiredMonths(today))
                ctx.log(QStringLiteral("Період звітності(Кількість місяців) невірно заповнений."), 4, col1kvart);
        });
    }

    void year(int, int)
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

    void code(int, int)
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

    void item10(int, int)
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

const GeneralSheet::RowStep GeneralSheet::kRows[30] = {
    {4, col1kvart, &GeneralSheet::months},
    {5, col1period, &GeneralSheet::year},
    {6, col1stan, &GeneralSheet::asOf},
    {7, col1inn, &GeneralSheet::code},
    {8, col1name, &GeneralSheet::name},
    {10, col1balkv, &GeneralSheet::item1},
    {11, col1balkv, &GeneralSheet::item2},
    {12, col1nar, &GeneralSheet::item3},
    {14, col1otr, &GeneralSheet::item5},
    {15, col1otrzvit, &GeneralSheet::item6},
    {16, col1zab_zag, &GeneralSheet::item7},
    {17, col1zab, &GeneralSheet::item8},
    {18, col1zab_zag, &GeneralSheet::item9},
    {19, col1nar50zvit, &GeneralSheet::item10},
    {20, col1perer50zvit, &GeneralSheet::item11},
    {21, col1perer50poper, &GeneralSheet::item12},
    {22, col1zab50zvit, &GeneralSheet::item13},
    {23, col130_50_min, &GeneralSheet::mustBeNumber},
    {24, col1kvcmk, &GeneralSheet::mustBeWhole},
    {25, col1kvcmk, &GeneralSheet::mustBeWhole},
    {26, col1kvcmk, &GeneralSheet::mustBeNumber},
    {27, col1narahcmk, &GeneralSheet::mustBeNumber},
    {28, col1perer50cmk, &GeneralSheet::mustBeNumber},
    {29, col1zabcmk, &GeneralSheet::mustBeNumber},
    {30, col1perer50in, &GeneralSheet::mustBeNumber},
    {32, col1mail, &GeneralSheet::mail},
    {33, col1tell, &GeneralSheet::contact},
    {34, col1vidpov, &GeneralSheet::contact},
    {35, col1dir, &GeneralSheet::contact},
    {37, col1dir, &GeneralSheet::contact},
};

} // namespace

void checkGeneral(SheetContext& ctx)
{
    GeneralSheet(ctx).run();
}

} // namespace check
