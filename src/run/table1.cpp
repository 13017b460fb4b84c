#include "table1.h"

#include "sheet/valuetext.h"
#include "validate/helpers.h"
#include "validate/readings.h"

namespace app {

const std::array<QString, kTable1Items>& table1Captions()
{
    static const std::array<QString, kTable1Items> captions{
        QStringLiteral("п.1 Загальна площа нерухомого майна на балансі, кв. м"),
        QStringLiteral("п.2 Площа, надана в оренду, кв. м"),
        QStringLiteral("п.3 Нараховано орендної плати за звітний період, грн"),
        QStringLiteral("п.4 з неї зараховано переплати (авансу) попередніх періодів, грн"),
        QStringLiteral("п.5 Отримано орендної плати всього за звітний період, грн"),
        QStringLiteral("п.6 з неї в рахунок нарахувань звітного періоду, грн"),
        QStringLiteral("п.7 Загальна заборгованість з орендної плати, грн"),
        QStringLiteral("п.8 з неї виникла за звітний період, грн"),
        QStringLiteral("п.9 з неї підлягає перерахуванню до бюджету, грн"),
        QStringLiteral("п.10 Нараховано 50% орендної плати до бюджету за звітний період, грн"),
        QStringLiteral("п.11 Перераховано 50% орендної плати до бюджету за звітний період, грн"),
        QStringLiteral("п.12 з них за попередні періоди, грн"),
        QStringLiteral("п.13 Заборгованість з перерахування 50% орендної плати до бюджету, грн"),
        QStringLiteral("п.14 з неї понад 30 днів, грн"),
        QStringLiteral("п.15 Кількість договорів оренди цілісних майнових комплексів (ЦМК)"),
        QStringLiteral("п.16 Кількість діючих договорів оренди ЦМК"),
        QStringLiteral("п.17 Площа, надана в оренду у складі ЦМК, кв. м"),
        QStringLiteral("п.18 Нараховано орендної плати за договорами оренди ЦМК, грн"),
        QStringLiteral("п.19 Перераховано 50% орендної плати за договорами оренди ЦМК, грн"),
        QStringLiteral("п.20 Заборгованість за договорами оренди ЦМК, грн"),
        QStringLiteral("п.21 Перераховано до бюджету м. Києва, грн"),
    };
    return captions;
}

Table1Values readTable1(const sheet::Book& report, const sheet::Locale& locale)
{
    Table1Values out;
    int general = 0;
    for (int i = 1; i <= report.SheetsCount() && !general; ++i)
        if (validate::trimmedText(report.SheetName(i)) == QStringLiteral("Загальні дані"))
            general = i;
    if (!general)
        return out;
    out.present = true;
    for (int item = 1; item <= kTable1Items; ++item) {
        const xls::CellValue v = report.Value(general, item + 9, 2);
        std::optional<long double> n;
        if (v.type == xls::CellType::Number) {
            n = v.number;
        } else if (v.type != xls::CellType::Error) {
            const QString t = validate::trimmedText(sheet::valueText(v, locale, report.date1904()));
            if (t.isEmpty())
                n = 0.0L;
            else
                n = validate::toNumber(validate::SetCorrectFloatStr(t, locale.decimal), locale.decimal);
        }
        if (!n)
            out.notNumbers << item;
        out.items[size_t(item - 1)] = n ? validate::roundTo2(*n) : 0.0L;
    }
    return out;
}

void Table1Totals::add(const QString& file, const Table1Values& values)
{
    ++reports;
    for (int i = 0; i < kTable1Items; ++i)
        sums[size_t(i)] += values.items[size_t(i)];
    if (!values.present)
        withoutSheet << file;
    for (int item : values.notNumbers)
        notNumbers[size_t(item - 1)] << file;
}

double Table1Totals::sum(int item) const
{
    return double(validate::roundTo2(sums[size_t(item - 1)]));
}

} // namespace app
