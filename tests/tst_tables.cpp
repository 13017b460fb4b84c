// The tenant and debt tables and the reconciliation of Table 1 with their totals.
#include "check/rowrules.h"
#include "fixtures.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

using fixtures::Cell;
using fixtures::Row;

namespace {

QString s(const char16_t* t)
{
    return QString::fromUtf16(t);
}

const QString T2 = QStringLiteral("Таблиця 2"), T3 = QStringLiteral("Таблиця 3"), T5 = QStringLiteral("Таблиця 5"),
              T6 = QStringLiteral("Таблиця 6"), GD = QStringLiteral("Загальні дані");
const QString kNot = QStringLiteral("Рядок не оброблено.");
const QString kNum = QStringLiteral("Невірний порядковий номер запису.");

// The cells of one table row: the defaults with "column=text" overrides.
QList<Cell> tableRow(int sheet, int row, QStringList v, const QStringList& overrides)
{
    for (const QString& o : overrides)
        v[o.section(u'=', 0, 0).toInt() - 1] = o.section(u'=', 1);
    QList<Cell> cells;
    for (int c = 0; c < v.size(); ++c)
        cells.append({sheet, row, c + 1, v[c]});
    return cells;
}

// A tenant row whose checks all pass (sheet position 2 or 5).
QList<Cell> tenant(int sheet, int row, QStringList overrides = {})
{
    return tableRow(sheet, row,
                    {QString::number(row - 6), QStringLiteral("31000126"), QStringLiteral("ТОВ А"),
                     QStringLiteral("23456719"), QStringLiteral("Балансоутримувач"), QStringLiteral("Ні"),
                     QStringLiteral("100"), QStringLiteral("60"), QStringLiteral("40"), QStringLiteral("0"),
                     QStringLiteral("1000"), QStringLiteral("0"), QStringLiteral("900"), QStringLiteral("450")},
                    overrides);
}

// A debt row matching the tenant above (sheet position 3 or 6).
QList<Cell> debt(int sheet, int row, QStringList overrides = {})
{
    return tableRow(sheet, row,
                    {QString::number(row - 6),
                     QStringLiteral("31000126"),
                     QStringLiteral("ТОВ А"),
                     QStringLiteral("23456719"),
                     QStringLiteral("Балансоутримувач"),
                     QStringLiteral("Ні"),
                     QStringLiteral("100"),
                     QStringLiteral("50"),
                     QStringLiteral("50"),
                     QStringLiteral("30"),
                     QStringLiteral("20"),
                     QStringLiteral("0"),
                     QStringLiteral("50"),
                     QStringLiteral("0"),
                     QStringLiteral("2"),
                     QStringLiteral("1"),
                     QStringLiteral("1"),
                     QStringLiteral("0"),
                     QStringLiteral("1"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("10"),
                     QStringLiteral("5")},
                    overrides);
}

// Tenant rows 7 to `last` of one sheet, all passing; the last one carries `lastCode`.
QList<Cell> tenants(int sheet, int last, const QString& lastCode)
{
    QList<Cell> cells;
    for (int r = 7; r < last; ++r)
        cells += tenant(sheet, r);
    return cells + tenant(sheet, last, {QStringLiteral("2=") + lastCode});
}

const QString kRepeated = QStringLiteral(BRANTOVEL_FIXTURES_DIR "/frame-repeated-twins.xls");

struct Case {
    const char* name;
    QList<Cell> cells;
    QList<Row> expected;
    QString from = {};
};

QList<Case> cases()
{
    return {
        {"three tenant rows", tenant(2, 7) + tenant(2, 8) + tenant(2, 9), {}},
        {"data from row 8 under an empty row 7",
         tenant(2, 8, {QStringLiteral("1=1")}) + tenant(2, 9, {QStringLiteral("1=2")}) +
             tenant(2, 10, {QStringLiteral("1=3")}),
         {{T2, 8, {}, kNot},
          {T2, 9, QStringLiteral("A"), kNum},
          {T2, 10, QStringLiteral("A"), kNum},
          {T2, 7, {}, kNot}}},
        {"running number with a trailing blank",
         tenant(2, 7, {QStringLiteral("1=1 ")}),
         {{T2, 7, QStringLiteral("A"), kNum}}},
        {"tenant code of ten zeros",
         tenant(2, 7, {QStringLiteral("2=0000000000")}),
         {{T2, 7, QStringLiteral("B"), s(u"Невірний код орендаря.(0000000000)")}}},
        {"other ten-character code passes", tenant(2, 7, {QStringLiteral("2=1234567890")}), {}},
        {"seven-digit tenant code",
         tenant(2, 7, {QStringLiteral("2=1234567")}),
         {{T2, 7, QStringLiteral("B"), s(u"Невірний код орендаря.(1234567)")}}},
        {"tenant code with a blank inside", tenant(2, 7, {QStringLiteral("2=12 345678")}), {{T2, 7, {}, kNot}}},
        {"tenant code empty",
         tenant(2, 7, {QStringLiteral("2=")}),
         {{T2, 7, QStringLiteral("B"), s(u"Невірний код орендаря.(0)")}, {T2, 7, {}, kNot}}},
        {"lessor code empty",
         tenant(2, 7, {QStringLiteral("4=")}),
         {{T2, 7, QStringLiteral("D"), s(u"Невірний код орендодавця.(0)")}}},
        {"area within 0.09", tenant(2, 7, {QStringLiteral("9=40.05")}), {}},
        {"area off",
         tenant(2, 7, {QStringLiteral("9=39.9")}),
         {{T2, 7, QStringLiteral("G"), s(u"гр.7 <> гр.8+гр.9 (100 < > 99,9)")}}},
        {"received above charged",
         tenant(2, 7, {QStringLiteral("13=100"), QStringLiteral("14=150.5")}),
         {{T2, 7, QStringLiteral("M"), s(u"гр.13 таб. 2 < гр.14 таб. 2.(100 < 150,5)")}}},
        {"received is a word",
         tenant(2, 7, {QStringLiteral("13=abc"), QStringLiteral("14=5")}),
         {{T2, 7, QStringLiteral("M"), s(u"гр.13 таб. 2 < гр.14 таб. 2.(abc < 5)")}, {T2, 7, {}, kNot}}},
        {"non-numeric L and N never fail", tenant(2, 7, {QStringLiteral("12=x"), QStringLiteral("14=y")}), {}},
        {"negative areas on Таблиця 5",
         tenant(5, 7, {QStringLiteral("7=-5"), QStringLiteral("8=-5"), QStringLiteral("9=0")}),
         {{T5, 7, QStringLiteral("G"), s(u"Невірно заповнено: Площа, надана в оренду.Всього")},
          {T5, 7, QStringLiteral("H"),
           s(u"Невірно заповнено: Площа, надана в оренду.в тому числі: на яку нараховується орендна плата у відсотках "
             u"від вартості")}}},
        {"a negative area that rounds to 0",
         tenant(5, 7, {QStringLiteral("7=-0.004"), QStringLiteral("8=0"), QStringLiteral("9=0")}),
         {}},
        {"area message of Таблиця 5",
         tenant(5, 7, {QStringLiteral("9=39.9")}),
         {{T5, 7, QStringLiteral("G"), s(u"гр.7 <> гр.8+гр.9 .(100)<>(99,9)")}}},
        {"Таблиця 5 accepts its first row after Таблиця 2", tenant(2, 7) + tenant(5, 8), {{T5, 7, {}, kNot}}},
        {"debtor found", tenant(2, 7) + debt(3, 7), {}},
        {"debtor with another lease kind",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("6=Так")}),
         {{T3, 7, QStringLiteral("C"),
           s(u"Не знайдений в таб. 2 орендар \"ТОВ А\" з таб. 3 (Код ЄДРПОУ: 31000126 ; оренда рухомого майна)")}}},
        {"debtor of Таблиця 3 after an empty tenant row",
         tenant(2, 7) + tenant(2, 9, {QStringLiteral("2=22003453")}) + debt(3, 7, {QStringLiteral("2=22003453")}),
         {{T2, 8, {}, kNot}}},
        {"debtor of Таблиця 6 not found",
         debt(6, 7, {QStringLiteral("6=так")}),
         {{T6, 7, QStringLiteral("C"),
           s(u"Не знайдений в таб. 5 орендар \"ТОВ А\" з таб. 6 (Код ЄДРПОУ: 31000126 ; оренда нерухомого майна")}}},
        {"breakdown within 0.09",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("11=19.92"), QStringLiteral("8=0"), QStringLiteral("13=0")}),
         {}},
        {"breakdown off",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("11=19.9"), QStringLiteral("8=0"), QStringLiteral("13=0")}),
         {{T3, 7, QStringLiteral("G"), s(u"гр.7 <> гр.9+гр.10+гр.11+гр.12 (100 < > 99,9).")}}},
        {"breakdown off on Таблиця 6",
         tenant(5, 7) + debt(6, 7, {QStringLiteral("11=19.9")}),
         {{T6, 7, QStringLiteral("G"), s(u"гр.7 <> гр.9+гр.10+гр.11+гр.12 .(100)<>(99,9).")}}},
        {"column 8 above column 7",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("8=100.01")}),
         {{T3, 7, QStringLiteral("G"), s(u"Не виконується умова Гр.7>=Гр.8.")}}},
        {"count total below companion",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("15=3"), QStringLiteral("16=4")}),
         {{T3, 7, QStringLiteral("O"), s(u"Невірно заповнено: Кількість заходів.Всього.")}}},
        {"count 2.5 fails Таблиця 3", tenant(2, 7) + debt(3, 7, {QStringLiteral("16=2.5")}), {{T3, 7, {}, kNot}}},
        {"count 2.5 is 0 on Таблиця 6", tenant(5, 7) + debt(6, 7, {QStringLiteral("16=2.5")}), {}},
        {"repaid typed with the other separator",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("23=12.5"), QStringLiteral("24=1")}),
         {{T3, 7, QStringLiteral("W"), s(u"Невірно заповнено: Погашено заборгованості.Всього.")}}},
        {"amount with a group blank", tenant(2, 7) + debt(3, 7, {QStringLiteral("9=1 000,50")}), {{T3, 7, {}, kNot}}},
        {"running number 1.0 on Таблиця 3",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("1=1.0")}),
         {{T3, 7, QStringLiteral("A"), kNum}, {T3, 7, {}, kNot}}},
        {"running number 1.0 on Таблиця 6",
         tenant(5, 7) + debt(6, 7, {QStringLiteral("1=1.0")}),
         {{T6, 7, QStringLiteral("A"), kNum}}},
        {"debtor code with letters",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("2=12AB5678")}),
         {{T3, 7, QStringLiteral("C"),
           s(u"Не знайдений в таб. 2 орендар \"ТОВ А\" з таб. 3 (Код ЄДРПОУ: 12AB5678 ; оренда нерухомого майна)")},
          {T3, 7, {}, kNot}}},
        {"empty lessor code on a debt",
         tenant(2, 7) + debt(3, 7, {QStringLiteral("4=")}),
         {{T3, 7, QStringLiteral("D"), s(u"Невірний код орендодавця.(0)")}}},
        // frame-repeated-twins: 2 "Таблиця 2", 3 " Таблиця 2", 4 "Таблиця 3", 5 "Таблиця 5", 6 "Таблиця 5 ",
        // 7 "Таблиця 6". A repeated tenant sheet sets the list's length anew, so tenants of the first
        // one beyond it are gone, also when the repeat later writes their position again.
        {"repeated Таблиця 2 cuts the list, then refills the position",
         tenants(2, 14, QStringLiteral("22003453")) + tenants(3, 14, QStringLiteral("33007893")) +
             debt(4, 7, {QStringLiteral("2=22003453")}) + debt(4, 8, {QStringLiteral("2=33007893")}),
         {{T3, 7, QStringLiteral("C"),
           s(u"Не знайдений в таб. 2 орендар \"ТОВ А\" з таб. 3 (Код ЄДРПОУ: 22003453 ; оренда нерухомого майна)")}},
         kRepeated},
        {"shorter repeat of Таблиця 5 drops the tenants beyond it",
         tenants(5, 14, QStringLiteral("22003453")) + tenant(6, 7) + debt(7, 7, {QStringLiteral("2=22003453")}) +
             debt(7, 8),
         {{T6, 7, QStringLiteral("C"),
           s(u"Не знайдений в таб. 5 орендар \"ТОВ А\" з таб. 6 (Код ЄДРПОУ: 22003453 ; оренда нерухомого майна")}},
         kRepeated},
        {"debt data from row 8",
         tenant(2, 7) + debt(3, 8, {QStringLiteral("1=1")}) + debt(3, 9, {QStringLiteral("1=2")}) +
             debt(3, 10, {QStringLiteral("1=3")}),
         {{T3, 8, {}, kNot},
          {T3, 9, QStringLiteral("A"), kNum},
          {T3, 10, QStringLiteral("A"), kNum},
          {T3, 7, {}, kNot}}},
    };
}

// Table 1 consistent with the tenant and debt rows, so that only the case's own findings remain.
QList<Cell> consistentTable1(const QList<Cell>& rows)
{
    double sum[6][25] = {};
    for (const Cell& c : rows)
        sum[c.sheet - 1][c.col] += QString(c.text).replace(u',', u'.').toDouble();
    auto both = [&](int a, int b, int col) { return QString::number(sum[a][col] + sum[b][col], 'g', 15); };
    QList<Cell> cells = fixtures::cleanGeneral();
    cells.append({{1, 11, 2, both(1, 4, 7)},
                  {1, 12, 2, both(1, 4, 11)},
                  {1, 13, 2, both(1, 4, 12)},
                  {1, 14, 2, both(1, 4, 13)},
                  {1, 15, 2, both(1, 4, 14)},
                  {1, 16, 2, both(2, 5, 7)},
                  {1, 17, 2, both(2, 5, 8)},
                  {1, 18, 2, both(2, 5, 13)}});
    return cells;
}

} // namespace

class TestTables : public QObject {
    Q_OBJECT
private slots:
    void rules_data() { fixtures::addCaseRows(cases()); }
    void rules()
    {
        QFETCH(int, index);
        const Case c = cases().at(index);
        fixtures::Workspace ws;
        ws.makeReport(c.cells + QList<Cell>{{1, 10, 2, QStringLiteral("1000")}}, c.from);
        QList<Row> got;
        for (const Row& r : ws.check())
            if (r.sheet != GD)
                got.append(r);
        QVERIFY2(got == c.expected, qPrintable(fixtures::mismatch(got, c.expected)));
    }

    void tenantLookupAgreesWithASearch()
    {
        // Random writes over a short range of rows: the list is cut, grown and overwritten in every
        // order, and after each write the lookup must answer what a walk over the list answers.
        const QList<check::TOrendar> pool = {{QStringLiteral("А"), QStringLiteral("31000126"), QStringLiteral("Ні")},
                                             {QStringLiteral("Б"), QStringLiteral("31000126"), QStringLiteral("Так")},
                                             {QStringLiteral("В"), QStringLiteral("22003453"), QStringLiteral("Ні")},
                                             {QStringLiteral("Г"), QString(), QString()}};
        check::TenantList list;
        QRandomGenerator random(15);
        for (int step = 0; step < 2000; ++step) {
            list.set(7 + int(random.bounded(12)), pool[random.bounded(int(pool.size()))]);
            for (const check::TOrendar& t : pool) {
                const bool found = std::any_of(list.entries().begin(), list.entries().end(),
                                               [&](const auto& e) { return e.inn == t.inn && e.mayno == t.mayno; });
                QVERIFY2(list.contains(t.inn, t.mayno) == found, qPrintable(QStringLiteral("step %1").arg(step)));
            }
        }
    }

    void guardedUnitCatchesOnlyReadingErrors_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("caught");
        QTest::newRow("a text that is no number") << 0 << true;
        QTest::newRow("a cell holding an error value") << 1 << true;
        QTest::newRow("a list that cannot be read") << 2 << true;
        QTest::newRow("no memory") << 3 << false;
        QTest::newRow("a fault of the program") << 4 << false;
        QTest::newRow("a full log") << 5 << false;
    }
    void guardedUnitCatchesOnlyReadingErrors()
    {
        QFETCH(int, error);
        QFETCH(bool, caught);
        bool failed = false;
        auto body = [&] {
            switch (error) {
            case 0:
                throw validate::ConversionError(QStringLiteral("abc"));
            case 1:
                throw sheet::CellReadError(QStringLiteral("Клітинка містить помилку #N/A."), QStringLiteral("#N/A"));
            case 2:
                throw check::ListError(QStringLiteral("SR.bin"));
            case 3:
                throw std::bad_alloc();
            case 4:
                throw std::out_of_range("index");
            default:
                throw findings::LogFull(QStringLiteral("full"));
            }
        };
        try {
            check::guardedUnit(body, [&] { failed = true; });
            QVERIFY(caught);
        } catch (const std::exception&) {
            QVERIFY(!caught);
        }
        QCOMPARE(failed, caught);
    }

    void consistentReportHasNoFinding()
    {
        fixtures::Workspace ws;
        // Charged less paid-over equals the period's debt (0 here), so Table 1 holds together too.
        const QStringList paid{QStringLiteral("13=1000"), QStringLiteral("14=1000")};
        QStringList paid2 = paid;
        paid2 << QStringLiteral("2=33007893");
        const QList<Cell> rows = tenant(2, 7, paid) + tenant(2, 8, paid) + tenant(5, 7, paid) + tenant(5, 8, paid2) +
                                 debt(3, 7, {QStringLiteral("8=0")}) +
                                 debt(6, 7, {QStringLiteral("2=33007893"), QStringLiteral("8=0")});
        ws.makeReport(consistentTable1(rows) + rows + QList<Cell>{{1, 10, 2, QStringLiteral("10000")}});
        const QList<Row> got = ws.check();
        QVERIFY2(got.isEmpty(), qPrintable(fixtures::describe(got)));
    }

    void totals_data()
    {
        QTest::addColumn<QString>("item");   // Table 1 text in row 12 (п.3)
        QTest::addColumn<QString>("column"); // column K of the only tenant row
        QTest::addColumn<QString>("message");
        QTest::newRow("0 against 0.09") << ""
                                        << "0,09"
                                        << "";
        QTest::newRow("100 against 100.05") << "100"
                                            << "100,05"
                                            << "";
        QTest::newRow("100 against 100.09")
            << "100"
            << "100,09" << s(u"п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 (100 < > 100,09)");
        QTest::newRow("100 against 100.1")
            << "100"
            << "100,1" << s(u"п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 (100 < > 100,1)");
        QTest::newRow("untrimmed text shown")
            << " 1500 "
            << "1450,5" << s(u"п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 ( 1500  < > 1450,5)");
        QTest::newRow("a word") << "багато"
                                << "5" << s(u"п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 (багато < > 5)");
    }
    void totals()
    {
        QFETCH(QString, item);
        QFETCH(QString, column);
        QFETCH(QString, message);
        const QList<Cell> rows =
            tenant(2, 7, {QStringLiteral("11=") + column, QStringLiteral("13=0"), QStringLiteral("14=0")});
        QList<Cell> cells = consistentTable1(rows) + rows;
        cells.append({1, 12, 2, item});
        cells.append({1, 14, 2, QStringLiteral("0")});
        fixtures::Workspace ws;
        ws.makeReport(cells);
        QList<Row> got;
        for (const Row& r : ws.check())
            if (r.message.contains(u'Σ'))
                got.append(r);
        const QList<Row> want = message.isEmpty() ? QList<Row>{} : QList<Row>{{GD, 12, QStringLiteral("B"), message}};
        QVERIFY2(got == want, qPrintable(fixtures::describe(got)));
    }

    void sheetOrderDropsTheEarlierTwin()
    {
        // Таблиця 5 stands before Таблиця 2 (positions 2 and 3), so entering Таблиця 2 drops its sums.
        fixtures::Workspace ws;
        QList<Cell> cells = fixtures::cleanGeneral();
        cells += tenant(2, 7, {QStringLiteral("6=Так")}); // Таблиця 5 at position 2
        cells.append({1, 12, 2, QStringLiteral("1000")});
        cells.append({1, 11, 2, QStringLiteral("100")});
        ws.makeReport(cells, QStringLiteral(BRANTOVEL_FIXTURES_DIR "/frame-twin-order.xls"));
        QList<Row> got;
        for (const Row& r : ws.check())
            if (r.message.contains(u'Σ'))
                got.append(r);
        QVERIFY2(got.size() == 2, qPrintable(fixtures::describe(got)));
        QCOMPARE(got[0].message, s(u"п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 (1000 < > 0)"));
    }
};

QTEST_MAIN(TestTables)
#include "tst_tables.moc"
