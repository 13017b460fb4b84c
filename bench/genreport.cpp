#include "genreport.h"

#include "check/period.h"
#include "validate/validid.h"
#include "xls/workbook.h"

#include <QDate>
#include <QDir>
#include <cstdio>

namespace bench {

namespace {

// A valid 8-digit identification code derived from n.
QString code(int n)
{
    const int32_t first7 = 1000000 + (n * 7919) % 1999999;
    return QString::number(first7) + QString::number(ValidID::GetControlDigit(first7));
}

} // namespace

void generateReport(const QString& templatePath, const QString& outPath, int rows, const QDate& asOf,
                    const ReportOptions& options)
{
    xls::Workbook wb = xls::Workbook::open(templatePath);
    double charged = 0, received = 0, paid = 0, area = 0, debt = 0, debtPeriod = 0, debtBudget = 0;
    for (int sheet : {1, 4}) { // Таблиця 2 and Таблиця 5
        for (int i = 0; i < rows; ++i) {
            const int r = 7 + i;
            const bool mistake = i % 500 == 499;
            const double g = 50 + (i % 200), h = g - 10, k = 1000 + (i % 97);
            wb.setNumber(sheet, r, 1, mistake ? 0 : i + 1);
            wb.setText(sheet, r, 2, code(i));
            wb.setText(sheet, r, 3, QStringLiteral("ТОВ «Орендар %1»").arg(i));
            wb.setText(sheet, r, 4, code(1));
            wb.setText(sheet, r, 5, QStringLiteral("Балансоутримувач"));
            wb.setText(sheet, r, 6, sheet == 4 ? QStringLiteral("Так") : QStringLiteral("Ні"));
            wb.setNumber(sheet, r, 7, g);
            wb.setNumber(sheet, r, 8, h);
            wb.setNumber(sheet, r, 9, mistake ? 1 : 10);
            wb.setNumber(sheet, r, 10, 0);
            wb.setNumber(sheet, r, 11, k);
            wb.setNumber(sheet, r, 12, 0);
            wb.setNumber(sheet, r, 13, k);
            wb.setNumber(sheet, r, 14, k / 2);
            area += g;
            charged += k;
            received += k;
            paid += k / 2;
        }
    }
    for (int sheet : {2, 5}) { // Таблиця 3 and Таблиця 6
        for (int i = 0; i < rows; ++i) {
            const int r = 7 + i;
            // Balanced: the two debt tables together owe what the two tenant tables charged and did not get paid.
            const double total = options.balancedDebts ? 1000 + (i % 97) : 100 + (i % 50);
            wb.setNumber(sheet, r, 1, i + 1);
            wb.setText(sheet, r, 2, i % 700 == 699 ? code(rows + i) : code(i)); // a debtor that is no tenant
            wb.setText(sheet, r, 3, QStringLiteral("ТОВ «Орендар %1»").arg(i));
            wb.setText(sheet, r, 4, code(1));
            wb.setText(sheet, r, 5, QStringLiteral("Балансоутримувач"));
            wb.setText(sheet, r, 6, sheet == 5 ? QStringLiteral("Так") : QStringLiteral("Ні"));
            wb.setNumber(sheet, r, 7, total);
            wb.setNumber(sheet, r, 8, total / 2);
            wb.setNumber(sheet, r, 9, total / 2);
            wb.setNumber(sheet, r, 10, total / 4);
            wb.setNumber(sheet, r, 11, total / 4);
            wb.setNumber(sheet, r, 12, 0);
            wb.setNumber(sheet, r, 13, total / 2);
            wb.setNumber(sheet, r, 14, 0);
            for (int c = 15; c <= 22; ++c)
                wb.setNumber(sheet, r, c, c % 2 ? 2 : 1);
            wb.setNumber(sheet, r, 23, 10);
            wb.setNumber(sheet, r, 24, 5);
            debt += total;
            debtPeriod += total / 2;
            debtBudget += total / 2;
        }
    }
    const int free = std::max(1, rows / 10);
    static const char16_t* districts[] = {u"Печерський", u"Оболонський", u"Подільський", u"печерський"};
    for (int i = 0; i < free; ++i) {
        const int r = 7 + i;
        const QStringList v{
            QString::number(i + 1),      QString::fromUtf16(districts[i % 4]),
            QStringLiteral("Хрещатик"),  QStringLiteral("вулиця"),
            QString::number(1 + i % 90), QStringLiteral("350"),
            QStringLiteral("0"),         QStringLiteral("45"),
            QStringLiteral("40"),        QStringLiteral("5"),
            QStringLiteral("1"),         i % 300 == 7 ? QStringLiteral("добрий") : QStringLiteral("задовільний"),
            QStringLiteral("так"),       QStringLiteral("ні"),
            QStringLiteral("так"),       QStringLiteral("офісне"),
            QStringLiteral("-")};
        for (int c = 0; c < v.size(); ++c)
            wb.setText(3, r, c + 1, v[c]);
    }
    const QDate& today = asOf;
    auto num = [](double v) { return QString::number(v, 'f', 2); };
    const QList<std::pair<int, QString>> general = {{4, QString::number(check::requiredMonths(today))},
                                                    {5, QString::number(check::reportingYear(today))},
                                                    {6, today.toString(QStringLiteral("dd.MM.yyyy"))},
                                                    {7, options.code},
                                                    {8, options.name},
                                                    {10, num(area * 2)},
                                                    {11, num(area)},
                                                    {12, num(charged)},
                                                    {13, QStringLiteral("0")},
                                                    {14, num(received)},
                                                    {15, num(paid)},
                                                    {16, num(debt)},
                                                    {17, num(debtPeriod)},
                                                    {18, num(debtBudget)},
                                                    {32, QStringLiteral("a@b.cd")},
                                                    {33, QStringLiteral("123")},
                                                    {34, QStringLiteral("Іваненко")},
                                                    {35, QStringLiteral("Петренко")},
                                                    {37, QStringLiteral("Київ")}};
    for (const auto& [row, text] : general)
        wb.setText(0, row, 2, text);
    wb.save(outPath);
}

void generateFolder(const QString& templatePath, const QString& folder, int count, const QDate& asOf)
{
    QDir().mkpath(folder);
    uint32_t state = 12345;
    auto next = [&state](uint32_t below) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % below;
    };
    for (int i = 0, written = 0; written < count; ++i) {
        const uint32_t kind = next(100);
        const int rows = kind < 70 ? 5 + int(next(46)) : kind < 95 ? 50 + int(next(251)) : 1000 + int(next(1001));
        const int32_t first7 = 2000000 + (i * 4099) % 7999999;
        const ReportOptions holder{QString::number(first7) + QString::number(ValidID::GetControlDigit(first7)),
                                   QStringLiteral("Балансоутримувач № %1").arg(i + 1), true};
        const bool twice = i % 100 == 42, late = i % 50 == 17;
        const QDate period = late ? asOf.addMonths(-3) : asOf;
        generateReport(templatePath, QDir(folder).filePath(holder.code + QStringLiteral(".xls")), rows, period, holder);
        ++written;
        if (twice && written++ < count)
            generateReport(templatePath, QDir(folder).filePath(holder.code + QStringLiteral("_2.xls")), rows, period,
                           holder);
    }
}

} // namespace bench
