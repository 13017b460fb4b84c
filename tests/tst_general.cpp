// The general data sheet: period, balance holder, Table 1 relations and contacts, run over whole
// workbooks built from the shipped template.
#include "check/period.h"
#include "fixtures.h"

#include <QTest>
#include <tuple>

using fixtures::Cell;
using fixtures::Row;

namespace {

struct Case {
    const char* name;
    QList<std::pair<int, QString>> cells;              // rows of column B (row 0: column A of the next entry's row)
    QList<std::tuple<int, QString, QString>> expected; // row, column text, message
    QDate today = QDate(2026, 12, 9);
    std::function<void(fixtures::Workspace&)> lists = {};
    QString innkod = {};
    bool pointLocale = false;
};

const QString kSheet = QStringLiteral("Загальні дані");

QString s(const char16_t* t)
{
    return QString::fromUtf16(t);
}

QList<Case> cases()
{
    const QString wrongCode = s(u"Невірно заповнений ідентифікаційний код балансоутримувача.");
    const QString p13rel = s(u"п.13 таб.1 <> (п.10 – (п.11 – п.12)) таб.1");
    return {
        {"clean", {}, {}, QDate(2026, 12, 9), {}, QStringLiteral("23456719")},
        {"January, previous year", {{5, QStringLiteral("2025")}}, {}, QDate(2026, 1, 15)},
        {"January, current year",
         {{5, QStringLiteral("2026")}},
         {{5, QStringLiteral("B"), s(u"Період звітності(рік) невірно заповнений.")}},
         QDate(2026, 1, 15)},
        {"January, two years back",
         {{5, QStringLiteral("2024")}},
         {{5, QStringLiteral("B"), s(u"Період звітності(рік) невірно заповнений.")}},
         QDate(2026, 1, 15)},
        {"April, 3 months", {{4, QStringLiteral("3")}}, {}, QDate(2026, 4, 10)},
        {"April, 6 months",
         {{4, QStringLiteral("6")}},
         {{4, QStringLiteral("B"), s(u"Період звітності(Кількість місяців) невірно заповнений.")}},
         QDate(2026, 4, 10)},
        {"3,5 months, year only tested for form",
         {{4, QStringLiteral("3,5")}, {5, QStringLiteral("2019")}},
         {{4, QStringLiteral("B"), s(u"невірно заповнений період звітності(Кількість місяців).")}}},
        {"months empty",
         {{4, QString()}, {5, QStringLiteral("2019")}},
         {{4, QStringLiteral("B"), s(u"Період звітності(Кількість місяців) не заповнений.")}}},
        {"year not a number",
         {{5, QStringLiteral("2026р")}},
         {{5, QStringLiteral("B"), s(u"Невірно заповнений період звітності(рік).")}}},
        {"period, code and п.1 typed as numbers",
         {{4, QStringLiteral("=12")},
          {5, QStringLiteral("=2026")},
          {7, QStringLiteral("=23456719")},
          {10, QStringLiteral("=100")}},
         {}},
        // An error value inside an item's guarded unit is that item's finding; the check goes on.
        {"months an error value",
         {{4, QStringLiteral("=#N/A")}},
         {{4, QStringLiteral("B"), s(u"невірно заповнений період звітності(Кількість місяців).")}}},
        {"п.11 an error value",
         {{20, QStringLiteral("=#DIV/0!")}},
         {{20, QStringLiteral("B"), s(u"Невірно заповнений п.11 таб.1")}}},
        {"as-of date empty",
         {{6, QStringLiteral("  ")}},
         {{6, QStringLiteral("B"), s(u"Період звітності(станом на) не заповнений.")}}},
        {"code 1234567",
         {{7, QStringLiteral("1234567")}},
         {{7, QStringLiteral("B"), s(u"Невірний код балансоутримувача.(1234567)")}},
         QDate(2026, 12, 9),
         {},
         QStringLiteral("1234567")},
        {"code 0000000 twice",
         {{7, QStringLiteral("0000000")}},
         {{7, QStringLiteral("B"), s(u"Невірний код балансоутримувача.(0000000)")},
          {7, QStringLiteral("B"), s(u"Невірний код балансоутримувача.(0000000)")}}},
        {"code 12-345",
         {{7, QStringLiteral("12-345")}},
         {{7, QStringLiteral("B"), wrongCode}},
         QDate(2026, 12, 9),
         {},
         s(u"Не визначений")},
        {"code empty",
         {{7, QString()}},
         {{7, QStringLiteral("B"), s(u"Ідентифікаційний код балансоутримувача не заповнений.")}},
         QDate(2026, 12, 9),
         {},
         s(u"Не визначений")},
        {"10-character code untested", {{7, QStringLiteral("1234567890")}}, {}},
        {"code with blanks trimmed",
         {{7, QStringLiteral("  23456719 ")}},
         {},
         QDate(2026, 12, 9),
         {},
         QStringLiteral("23456719")},
        {"GUOZ code: items 10 and 13 must be 0",
         {{7, QStringLiteral("10001236")},
          {19, QStringLiteral("5")},
          {20, QStringLiteral("1.5")},
          {22, QStringLiteral("2")}},
         {{19, QStringLiteral("B"), s(u"п.10 таб.1 <> 0")},
          {22, QStringLiteral("B"), s(u"п.13 таб.1 <> 0")},
          {22, QStringLiteral("B"), p13rel}}},
        {"GUOZ missing",
         {},
         {{7, QStringLiteral("B"), wrongCode}},
         QDate(2026, 12, 9),
         [](fixtures::Workspace& w) { w.removeFile(QStringLiteral("GUOZ.bin")); }},
        {"CMK code with empty item 17",
         {{7, QStringLiteral("21004568")}},
         {{26, QStringLiteral("B"), s(u"п.17 таб.1 = 0")}}},
        {"CMK code, item 1 below item 17",
         {{7, QStringLiteral("21004568")}, {26, QStringLiteral("150")}},
         {{10, QStringLiteral("B"), s(u"п.1 таб.1 < п.17 таб.1")}}},
        {"not in KYIV, negative item 21", {{7, QStringLiteral("31000126")}, {30, QStringLiteral("-5")}}, {}},
        {"not in KYIV, item 21 = 0,01",
         {{7, QStringLiteral("31000126")}, {30, QStringLiteral("0,01")}},
         {{30, QStringLiteral("B"), s(u"п.21 таб.1 <> 0")}}},
        {"B10 empty", {{10, QString()}}, {{10, QStringLiteral("B"), s(u"Незаповнений п.1 таб. 1")}}},
        {"B10 blanks", {{10, QStringLiteral("   ")}}, {{10, QStringLiteral("B"), s(u"Невірно заповнений п.1 таб.1")}}},
        {"B10 0,004", {{10, QStringLiteral("0,004")}}, {{10, QStringLiteral("B"), s(u"Невірно заповнений п.1 таб.1")}}},
        {"B10 abc once",
         {{10, QStringLiteral("abc")}},
         {{10, QStringLiteral("B"), s(u"Невірно заповнений п.1 таб.1")}}},
        {"B11 abc is 0", {{11, QStringLiteral("abc")}}, {}},
        {"B11 above B10", {{11, QStringLiteral("100.01")}}, {{11, QStringLiteral("B"), s(u"п.2 таб.1 > п.1 таб.1")}}},
        {"item 6 above item 5",
         {{14, QStringLiteral("10")}, {15, QStringLiteral("20")}},
         {{15, QStringLiteral("B"), s(u"п.5 < п.6.")}}},
        {"item 8 within 0.01",
         {{12, QStringLiteral("100")},
          {13, QStringLiteral("20")},
          {14, QStringLiteral("30")},
          {15, QStringLiteral("30")},
          {16, QStringLiteral("60")},
          {17, QStringLiteral("50,005")}},
         {}},
        {"item 8 off by 0.02",
         {{12, QStringLiteral("100")},
          {13, QStringLiteral("20")},
          {14, QStringLiteral("30")},
          {15, QStringLiteral("30")},
          {16, QStringLiteral("60")},
          {17, QStringLiteral("50,02")}},
         {{17, QStringLiteral("B"), s(u"Не виконується умова п.8 = (п.3 - п.4 - п.6) таб.1")}}},
        {"item 8 must be 0 (not rounded)",
         {{12, QStringLiteral("100")},
          {13, QStringLiteral("50")},
          {14, QStringLiteral("50")},
          {15, QStringLiteral("50")},
          {16, QStringLiteral("1")},
          {17, QStringLiteral("0,001")}},
         {{17, QStringLiteral("B"), s(u"п.8 <> 0.")}}},
        {"item 8 above item 7",
         {{12, QStringLiteral("10,004")}, {16, QStringLiteral("10")}, {17, QStringLiteral("10,004")}},
         {{17, QStringLiteral("B"), s(u"п.8 таб.1 > п.7 таб.1")}}},
        {"item 9 above item 7", {{18, QStringLiteral("5")}}, {{18, QStringLiteral("B"), s(u"п.9 > п.7")}}},
        {"ZFB within 0.09",
         {{7, QStringLiteral("25000076")},
          {14, QStringLiteral("1000")},
          {19, QStringLiteral("500,05")},
          {22, QStringLiteral("500,05")}},
         {}},
        {"ZFB relation",
         {{7, QStringLiteral("25000076")},
          {14, QStringLiteral("1000")},
          {19, QStringLiteral("500,10")},
          {22, QStringLiteral("500,1")}},
         {{19, QStringLiteral("B"), s(u"п.10 таб.1 < > [п.5 таб.1]/2 (500,1 < > 500)")}}},
        {"ZFB relation with a point",
         {{7, QStringLiteral("25000076")},
          {14, QStringLiteral("1000")},
          {19, QStringLiteral("500,10")},
          {22, QStringLiteral("500.1")}},
         {{19, QStringLiteral("B"), s(u"п.10 таб.1 < > [п.5 таб.1]/2 (500.1 < > 500)")}},
         QDate(2026, 12, 9),
         {},
         {},
         true},
        {"MAYNO exempt", {{7, QStringLiteral("26000049")}, {19, QStringLiteral("7")}, {22, QStringLiteral("7")}}, {}},
        {"ZFB missing: relation from the values at hand",
         {{14, QStringLiteral("1000")}, {19, QStringLiteral("500")}, {22, QStringLiteral("500")}},
         {{19, QStringLiteral("B"), s(u"п.10 таб.1 < > [п.5 таб.1]/2 (500 < > 500)")}},
         QDate(2026, 12, 9),
         [](fixtures::Workspace& w) { w.removeFile(QStringLiteral("ZFB.bin")); }},
        {"item 12 above empty item 11",
         {{21, QStringLiteral("5")}},
         {{21, QStringLiteral("B"), s(u"п.12 таб.1 > п.11 таб.1")}, {22, QStringLiteral("B"), p13rel}}},
        {"item 12 abc",
         {{21, QStringLiteral("abc")}},
         {{21, QStringLiteral("B"), s(u"Невірно заповнений п.12 таб.1")}}},
        {"item 13 within 0.09",
         {{19, QStringLiteral("100")},
          {20, QStringLiteral("30")},
          {21, QStringLiteral("10")},
          {22, QStringLiteral("80,08")}},
         {}},
        {"item 13 off",
         {{19, QStringLiteral("100")},
          {20, QStringLiteral("30")},
          {21, QStringLiteral("10")},
          {22, QStringLiteral("80,1")}},
         {{22, QStringLiteral("B"), p13rel}}},
        {"item 13 must be 0",
         {{19, QStringLiteral("10")}, {20, QStringLiteral("30")}, {21, QStringLiteral("0")}, {22, QStringLiteral("5")}},
         {{22, QStringLiteral("B"), s(u"п.13 таб.1 <> 0")}}},
        {"item 15 2,5",
         {{24, QStringLiteral("2,5")}},
         {{24, QStringLiteral("B"), s(u"Невірно заповнений п.15 таб.1")}}},
        {"item 16 with a trailing blank",
         {{25, QStringLiteral("5 ")}},
         {{25, QStringLiteral("B"), s(u"Невірно заповнений п.16 таб.1")}}},
        {"item 19 abc",
         {{28, QStringLiteral("abc")}},
         {{28, QStringLiteral("B"), s(u"Невірно заповнений п.19 таб.1")}}},
        {"e-mail blanks",
         {{32, QStringLiteral("  ")}},
         {{32, QStringLiteral("B"), s(u"Не заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем.")}}},
        {"e-mail invalid",
         {{32, QStringLiteral("a@b.c;d@e.fg")}},
         {{32, QStringLiteral("B"),
           s(u"Невірно заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем.")}}},
        {"contacts empty",
         {{33, QString()}, {34, QString()}, {35, QString()}, {36, QString()}, {37, QString()}},
         {{33, QStringLiteral("B"), s(u"Не заповнено: Контактний телефон.")},
          {34, QStringLiteral("B"), s(u"Не заповнено: Відповідальний виконавець")},
          {35, QStringLiteral("B"), s(u"Не заповнено: Керівник")},
          {37, QStringLiteral("B"), s(u"Не заповнено: Поштова адреса для листування")}}},
        {"structure: label in lower case",
         {{-4, s(u"період звітності:")}, {10, QString()}},
         {{0, QString(), s(u"УВАГА! Порушена структура шапки листа excel.Дані першого листа не перевірені.")}}},
        {"structure: label with blanks, A31 a blank",
         {{-4, s(u"Період звітності:   ")}, {-31, QStringLiteral(" ")}},
         {}},
    };
}

} // namespace

class TestGeneral : public QObject {
    Q_OBJECT
private slots:
    void rules_data() { fixtures::addCaseRows(cases()); }
    void rules()
    {
        QFETCH(int, index);
        const Case c = cases().at(index);
        fixtures::Workspace ws;
        QList<Cell> cells = fixtures::cleanGeneral(check::requiredMonths(c.today), check::reportingYear(c.today));
        for (const auto& [row, text] : c.cells)
            cells.append(row < 0 ? Cell{1, -row, 1, text} : Cell{1, row, 2, text});
        ws.makeReport(cells);
        if (c.lists)
            c.lists(ws);
        QString innkod;
        const QList<Row> all =
            ws.check(c.pointLocale ? sheet::Locale::point() : sheet::Locale::comma(), c.today, &innkod);
        QList<Row> got;
        for (const Row& r : all)
            if (!r.message.contains(u'Σ')) // the totals have their own tests
                got.append(r);
        QList<Row> want;
        for (const auto& [row, col, message] : c.expected)
            want.append(Row{kSheet, row, col, message});
        QVERIFY2(got == want, qPrintable(fixtures::mismatch(got, want)));
        if (!c.innkod.isEmpty())
            QCOMPARE(innkod, c.innkod);
    }

    void period_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("months");
        QTest::addColumn<int>("year");
        for (const auto& [day, months, year] : {std::tuple{QDate(2026, 1, 1), 12, 2025},
                                                {QDate(2026, 2, 28), 12, 2025},
                                                {QDate(2026, 3, 1), 3, 2026},
                                                {QDate(2026, 5, 31), 3, 2026},
                                                {QDate(2026, 6, 1), 6, 2026},
                                                {QDate(2026, 8, 31), 6, 2026},
                                                {QDate(2026, 9, 1), 9, 2026},
                                                {QDate(2026, 11, 30), 9, 2026},
                                                {QDate(2026, 12, 1), 12, 2026}})
            QTest::addRow("%s", qPrintable(day.toString(Qt::ISODate))) << day << months << year;
    }
    void period()
    {
        QFETCH(QDate, today);
        QFETCH(int, months);
        QFETCH(int, year);
        QCOMPARE(check::requiredMonths(today), months);
        QCOMPARE(check::reportingYear(today), year);
    }

    void rowsBeyondTheLastUsedRowAreNotVisited()
    {
        fixtures::Workspace ws;
        QList<Cell> cells = fixtures::cleanGeneral();
        cells.removeIf([](const Cell& c) { return c.row > 34; });
        ws.makeReport(cells, QStringLiteral(BRANTOVEL_FIXTURES_DIR "/general-34.xls"));
        const QList<Row> got = ws.check();
        QVERIFY2(got.isEmpty(), qPrintable(fixtures::describe(got)));
    }
};

QTEST_MAIN(TestGeneral)
#include "tst_general.moc"
