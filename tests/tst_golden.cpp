// Whole reports against their expected logs, row by row: the two shipped samples (on days of every
// reporting period, with the period set for the day as tools/run-sample.sh sets it) and a generated
// report of a thousand rows per table sheet. The expected logs live in tests/golden/. Also: the
// clean sample is the other one with exactly the cited cells corrected, and the instruction names
// every message the rules can write. Each report is also checked as a folder of one report, which
// must find the same.
#include "bench/genreport.h"
#include "fixtures.h"
#include "run/batchrun.h"
#include "run/checkreport.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

QList<fixtures::Row> expected(const QString& name, bool* ok)
{
    QList<fixtures::Row> rows;
    QFile f(QStringLiteral(BRANTOVEL_GOLDEN_DIR "/") + name);
    *ok = f.open(QIODevice::ReadOnly);
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList p = line.split(u'\t');
        if (p.size() == 4)
            rows.append({p[0], p[1].toInt(), p[2], p[3]});
    }
    return rows;
}

// The period cells the check wants on that day: months 3, 6, 9 or 12 and the year they end in.
QList<fixtures::Cell> periodFor(const QDate& day)
{
    const int m = day.month();
    const int months = m >= 3 && m <= 5 ? 3 : m >= 6 && m <= 8 ? 6 : m >= 9 && m <= 11 ? 9 : 12;
    return {{1, 4, 2, QString::number(months)}, {1, 5, 2, QString::number(m <= 2 ? day.year() - 1 : day.year())}};
}

QString sample(const QString& which)
{
    return QStringLiteral(BRANTOVEL_DATA_DIR "/sample/") + which + QStringLiteral("zvit.xls");
}

// Whitespace runs as one blank, so that line breaks of the text do not matter.
QString simplified(QString s)
{
    return s.replace(QChar(0xA0), u' ').simplified();
}

// The findings of the workspace's report checked as the only report of a folder; the report must
// come out of it unchanged.
QList<fixtures::Row> folderCheck(const fixtures::Workspace& ws, const QDate& today)
{
    QTemporaryDir folder, results;
    const QString report = folder.filePath(QStringLiteral("report.xls"));
    QFile::copy(ws.path(QStringLiteral("zvit.xls")), report);
    QFile in(report);
    const QByteArray before = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    in.close();
    app::BatchRun batch({folder.path(), results.path(), ws.dir(), 1, {}, {}},
                        fixtures::environment(ws.dir(), sheet::Locale::comma(), today));
    QList<fixtures::Row> rows;
    batch.onReport = [&](const app::BatchReport& r) {
        for (const findings::Finding& f : r.rows)
            rows.append({f.sheet, f.row, findings::columnText(f.col), f.message});
    };
    const app::BatchResult result = batch.run();
    if (!result.error.isEmpty() || !in.open(QIODevice::ReadOnly) || in.readAll() != before)
        rows.append({QStringLiteral("folder check failed or changed the report"), 0, {}, result.error});
    return rows;
}

// Cells of one table row from column A on; empty texts are left out.
QList<fixtures::Cell> tableRow(int sheet, int row, const QStringList& values)
{
    QList<fixtures::Cell> cells;
    for (int c = 0; c < values.size(); ++c)
        if (!values[c].isEmpty())
            cells.append({sheet, row, c + 1, values[c]});
    return cells;
}

// A lease of "Таблиця 2" (or 5) with the tenant's code and column F; the rest consistent.
QList<fixtures::Cell> lease(int sheet, int row, const QString& code, const QString& kind)
{
    return tableRow(sheet, row,
                    {QString::number(row - 6), code, QStringLiteral("ТОВ А"), QStringLiteral("23456719"),
                     QStringLiteral("ДП «Тест»"), kind, QStringLiteral("100"), QStringLiteral("60"),
                     QStringLiteral("40"), QStringLiteral("0"), QStringLiteral("1000"), QStringLiteral("0"),
                     QStringLiteral("900"), QStringLiteral("450")});
}

// A debt of "Таблиця 3" (or 6) owed by the tenant with that code and column F.
QList<fixtures::Cell> debtOf(int sheet, int row, const QString& code, const QString& kind)
{
    QStringList v{QString::number(row - 6),    code,
                  QStringLiteral("ТОВ А"),     QStringLiteral("23456719"),
                  QStringLiteral("ДП «Тест»"), kind,
                  QStringLiteral("100"),       QStringLiteral("50"),
                  QStringLiteral("50"),        QStringLiteral("30"),
                  QStringLiteral("20"),        QStringLiteral("0")};
    v << QStringLiteral("0") << QStringLiteral("0");
    for (int i = 0; i < 10; ++i)
        v << QStringLiteral("0");
    return tableRow(sheet, row, v);
}

// A free premises row of "Інші відомості" with the given use (column P) and note (column Q), and
// overrides "COL=text" (1-based column).
QList<fixtures::Cell> premises(int row, const QStringList& overrides)
{
    QStringList v{QString::number(row - 6),
                  QStringLiteral("Печерський"),
                  QStringLiteral("Хрещатик"),
                  QStringLiteral("вулиця"),
                  QStringLiteral("10"),
                  QStringLiteral("350"),
                  QStringLiteral("0"),
                  QStringLiteral("45"),
                  QStringLiteral("40"),
                  QStringLiteral("5"),
                  QStringLiteral("1"),
                  QStringLiteral("задовільний"),
                  QStringLiteral("так"),
                  QStringLiteral("так"),
                  QStringLiteral("так"),
                  QStringLiteral("офісне"),
                  QString()};
    for (const QString& o : overrides) {
        const qsizetype eq = o.indexOf(u'=');
        v[o.left(eq).toInt() - 1] = o.mid(eq + 1);
    }
    return tableRow(4, row, v);
}

// The general data sheet of fixtures::cleanGeneral with some cells replaced.
QList<fixtures::Cell> general(const QList<fixtures::Cell>& changed, int months = 12, int year = 2026)
{
    return fixtures::cleanGeneral(months, year) + changed;
}

const QString kGeneral = QStringLiteral("Загальні дані");
const QString kT2 = QStringLiteral("Таблиця 2");
const QString kT6 = QStringLiteral("Таблиця 6");
const QString kFree = QStringLiteral("Інші відомості");

// A claim of the instruction, fed through the real check: the section that makes it, the cells
// of its example, the findings that must be in the log (in this order) and the ones that must not.
struct Claim {
    const char* name;
    QList<fixtures::Cell> cells;
    QList<fixtures::Row> present;
    QList<fixtures::Row> absent = {};
    QDate today = QDate(2026, 12, 9);
    QString stop = {}; // the check stops instead, with a message naming this cell ("B11 аркуша «…»")
};

QList<Claim> claims()
{
    using C = fixtures::Cell;
    const QString item1 = QStringLiteral("Невірно заповнений п.1 таб.1");
    const QString months = QStringLiteral("невірно заповнений період звітності(Кількість місяців).");
    const QString yearWrong = QStringLiteral("Період звітності(рік) невірно заповнений.");
    const QString item8 = QStringLiteral("Не виконується умова п.8 = (п.3 - п.4 - п.6) таб.1");
    const QString mail =
        QStringLiteral("Невірно заповнено: Адреса електронної пошти для зв'язку з балансоутримувачем.");
    const QString use = QStringLiteral("Невірно заповнено: Можливе використання приміщення.");
    const QString note = QStringLiteral("Невірно заповнено: Примітка.");
    const QString notProcessed = QStringLiteral("Рядок не оброблено.");
    const QString notFound6 = QStringLiteral(
        "Не знайдений в таб. 5 орендар \"ТОВ А\" з таб. 6 (Код ЄДРПОУ: 31000126 ; оренда рухомого майна");
    const QString t1 = QStringLiteral("31000126");
    auto p8 = [](const QString& v) {
        return QList<C>{{1, 12, 2, QStringLiteral("1000")}, {1, 13, 2, QStringLiteral("100")},
                        {1, 14, 2, QStringLiteral("700")},  {1, 15, 2, QStringLiteral("700")},
                        {1, 16, 2, QStringLiteral("500")},  {1, 17, 2, v}};
    };
    return {
        {"Загальні правила: 1500.75 is a number",
         general({{1, 10, 2, QStringLiteral("1500.75")}}),
         {},
         {{kGeneral, 10, QStringLiteral("B"), item1}}},
        {"Загальні правила: 1500,75 is a number",
         general({{1, 10, 2, QStringLiteral("1500,75")}}),
         {},
         {{kGeneral, 10, QStringLiteral("B"), item1}}},
        {"Загальні правила: 1 500,75 is no number",
         general({{1, 10, 2, QStringLiteral("1 500,75")}}),
         {{kGeneral, 10, QStringLiteral("B"), item1}}},
        {"Загальні правила: 1.500,75 is no number",
         general({{1, 10, 2, QStringLiteral("1.500,75")}}),
         {{kGeneral, 10, QStringLiteral("B"), item1}}},
        {"Період звітності: 12 and 2026 on 15 January 2027",
         general({}, 12, 2026),
         {},
         {{kGeneral, 4, QStringLiteral("B"), QStringLiteral("Період звітності(Кількість місяців) невірно заповнений.")},
          {kGeneral, 5, QStringLiteral("B"), yearWrong}},
         QDate(2027, 1, 15)},
        {"Період звітності: 2027 on 15 January 2027",
         general({}, 12, 2027),
         {{kGeneral, 5, QStringLiteral("B"), yearWrong}},
         {},
         QDate(2027, 1, 15)},
        {"Період звітності: 3,5 months leaves the year unchecked",
         general({{1, 4, 2, QStringLiteral("3,5")}}, 12, 2031),
         {{kGeneral, 4, QStringLiteral("B"), months}},
         {{kGeneral, 5, QStringLiteral("B"), yearWrong}}},
        {"Таблиця 1: п.8 200,01 within the tolerance",
         general(p8(QStringLiteral("200,01"))),
         {},
         {{kGeneral, 17, QStringLiteral("B"), item8}}},
        {"Таблиця 1: п.8 199,99 within the tolerance",
         general(p8(QStringLiteral("199,99"))),
         {},
         {{kGeneral, 17, QStringLiteral("B"), item8}}},
        {"Таблиця 1: п.8 200,02 outside the tolerance",
         general(p8(QStringLiteral("200,02"))),
         {{kGeneral, 17, QStringLiteral("B"), item8}}},
        {"Таблиця 1: п.15 with a blank after the number",
         general({{1, 24, 2, QStringLiteral("5 ")}}),
         {{kGeneral, 24, QStringLiteral("B"), QStringLiteral("Невірно заповнений п.15 таб.1")}}},
        {"Контактні дані: info@example.gov.ua",
         general({{1, 32, 2, QStringLiteral("info@example.gov.ua")}}),
         {},
         {{kGeneral, 32, QStringLiteral("B"), mail}}},
        {"Контактні дані: two addresses in one cell",
         general({{1, 32, 2, QStringLiteral("info@example.gov.ua, a@b.cd")}}),
         {{kGeneral, 32, QStringLiteral("B"), mail}}},
        {"Таблиця 2 і Таблиця 5: an empty code shows as 0",
         general(lease(2, 7, {}, QStringLiteral("Ні"))),
         {{kT2, 7, QStringLiteral("B"), QStringLiteral("Невірний код орендаря.(0)")}}},
        {"Таблиця 3 і Таблиця 6: Так finds Так",
         general(lease(5, 7, t1, QStringLiteral("Так")) + debtOf(6, 7, t1, QStringLiteral("Так"))),
         {},
         {{kT6, 7, QStringLiteral("C"), notFound6}}},
        {"Таблиця 3 і Таблиця 6: Так does not find так",
         general(lease(5, 7, t1, QStringLiteral("так")) + debtOf(6, 7, t1, QStringLiteral("Так"))),
         {{kT6, 7, QStringLiteral("C"), notFound6}}},
        {"Таблиця 3 і Таблиця 6: Ні does not find an empty cell",
         general(lease(5, 7, t1, {}) + debtOf(6, 7, t1, QStringLiteral("Ні"))),
         {{kT6, 7, QStringLiteral("C"),
           QString(notFound6).replace(QStringLiteral("рухомого"), QStringLiteral("нерухомого"))}}},
        {"Таблиця 3 і Таблиця 6: blanks around Ні do not count",
         general(lease(5, 7, t1, QStringLiteral("Ні")) + debtOf(6, 7, t1, QStringLiteral(" Ні "))),
         {},
         {{kT6, 7, QStringLiteral("C"),
           QString(notFound6).replace(QStringLiteral("рухомого"), QStringLiteral("нерухомого"))}}},
        {"Інші відомості: офісне", general(premises(7, {})), {}, {{kFree, 7, QStringLiteral("P"), use}}},
        {"Інші відомості: blanks around офісне do not count",
         general(premises(7, {QStringLiteral("16= офісне ")})),
         {},
         {{kFree, 7, QStringLiteral("P"), use}}},
        {"Інші відомості: Офісне",
         general(premises(7, {QStringLiteral("16=Офісне")})),
         {{kFree, 7, QStringLiteral("P"), use}}},
        {"Інші відомості: офісне приміщення",
         general(premises(7, {QStringLiteral("16=офісне приміщення")})),
         {{kFree, 7, QStringLiteral("P"), use}}},
        {"Інші відомості: a note with a blank after it",
         general(premises(7, {QStringLiteral("17=є звернення на передачу в оренду ")})),
         {},
         {{kFree, 7, QStringLiteral("Q"), note}}},
        {"Інші відомості: a note with the typographic apostrophe",
         general(premises(7, {QStringLiteral("17=включено до переліку об’єктів, які підлягають приватизації")})),
         {{kFree, 7, QStringLiteral("Q"), note}}},
        {"Інші відомості: the note -",
         general(premises(7, {QStringLiteral("17=-")})),
         {},
         {{kFree, 7, QStringLiteral("Q"), note}}},
        {"Інші відомості: добрий",
         general(premises(7, {QStringLiteral("12=добрий")})),
         {{kFree, 7, QStringLiteral("L"), QStringLiteral("Невірно заповнено: Технічний стан.")}}},
        {"Інші відомості: так. with a full stop",
         general(premises(7, {QStringLiteral("13=так.")})),
         {{kFree, 7, QStringLiteral("M"), QStringLiteral("Невірно заповнено: енергозабезпечення.")}}},
        {"Інші відомості: Солом'янський",
         general(premises(7, {QStringLiteral("2=Солом'янський")})),
         {},
         {{kFree, 7, QStringLiteral("B"), QStringLiteral("Невірно заповнено: Район.")}}},
        {"Інші відомості: Печерський р-н",
         general(premises(7, {QStringLiteral("2=Печерський р-н")})),
         {{kFree, 7, QStringLiteral("B"), QStringLiteral("Невірно заповнено: Район.")}}},
        {"Загальні правила: an error value in a row's other column leaves the row unprocessed",
         general(lease(2, 7, t1, QStringLiteral("Ні")) + QList<C>{{2, 7, 11, QStringLiteral("=#DIV/0!")}}),
         {{kT2, 7, {}, notProcessed}}},
        {"Загальні правила: an error value in п.13 is the item's finding",
         general({{1, 22, 2, QStringLiteral("=#VALUE!")}}),
         {{kGeneral, 22, QStringLiteral("B"), QStringLiteral("Невірно заповнений п.13 таб.1")}}},
        {"Загальні правила: an error value in B4 is the period's finding",
         general({{1, 4, 2, QStringLiteral("=#N/A")}}),
         {{kGeneral, 4, QStringLiteral("B"), months}}},
        {"Загальні правила: an error value in п.2 stops the check",
         general({{1, 11, 2, QStringLiteral("=#N/A")}}),
         {},
         {},
         QDate(2026, 12, 9),
         QStringLiteral("клітинка B11 аркуша «Загальні дані»")},
        {"Загальні правила: an error value in п.9 stops the check",
         general({{1, 18, 2, QStringLiteral("=#N/A")}}),
         {},
         {},
         QDate(2026, 12, 9),
         QStringLiteral("клітинка B18 аркуша «Загальні дані»")},
        {"Загальні правила: an error value in B33 stops the check",
         general({{1, 33, 2, QStringLiteral("=#N/A")}}),
         {},
         {},
         QDate(2026, 12, 9),
         QStringLiteral("клітинка B33 аркуша «Загальні дані»")},
        {"Загальні правила: an error value in a tenant's name stops the check",
         general(lease(2, 7, t1, QStringLiteral("Ні")) + QList<C>{{2, 7, 3, QStringLiteral("=#N/A")}}),
         {},
         {},
         QDate(2026, 12, 9),
         QStringLiteral("клітинка C7 аркуша «Таблиця 2»")},
        {"Загальні правила: an error value in the area on the balance stops the check",
         general(premises(7, {QStringLiteral("6==#REF!")})),
         {},
         {},
         QDate(2026, 12, 9),
         QStringLiteral("клітинка F7 аркуша «Інші відомості»")},
        {"Протокол: a row without a code is reported after the sheet's other rows",
         general(lease(2, 7, {}, QStringLiteral("Ні")) + lease(2, 8, t1, QStringLiteral("Ні")) +
                 lease(2, 9, QStringLiteral("22003543"), QStringLiteral("Ні"))),
         {{kT2, 9, QStringLiteral("B"), QStringLiteral("Невірний код орендаря.(22003543)")},
          {kT2, 7, {}, notProcessed}}},
    };
}
} // namespace

class TestGolden : public QObject {
    Q_OBJECT
private slots:
    void reports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("report"); // a sample, or empty for the generated report
        QTest::addColumn<QDate>("today");
        QTest::newRow("generated 1000 rows") << "generated-1000.tsv" << QString() << QDate(2026, 12, 9);
        for (const QDate& day :
             {QDate(2026, 12, 9), QDate(2027, 1, 15), QDate(2027, 3, 1), QDate(2027, 7, 31), QDate(2027, 11, 30)}) {
            const QString when = day.toString(Qt::ISODate);
            QTest::newRow(qPrintable(QStringLiteral("sample ") + when)) << "sample.tsv" << sample({}) << day;
            QTest::newRow(qPrintable(QStringLiteral("clean sample ") + when))
                << "sample-clean.tsv" << sample(QStringLiteral("clean/")) << day;
        }
    }
    void reports()
    {
        QFETCH(QString, name);
        QFETCH(QString, report);
        QFETCH(QDate, today);
        fixtures::Workspace ws;
        QFile::remove(ws.path(QStringLiteral("zvit.xls")));
        if (report.isEmpty())
            bench::generateReport(QStringLiteral(BRANTOVEL_DATA_DIR "/zvit.xls"), ws.path(QStringLiteral("zvit.xls")),
                                  1000, today);
        else
            ws.makeReport(periodFor(today), report);
        const QList<fixtures::Row> fromFolder = folderCheck(ws, today);
        const QList<fixtures::Row> got = ws.check(sheet::Locale::comma(), today);
        // A folder check, which only reads the report, finds exactly what the check of zvit.xls finds.
        QVERIFY2(fromFolder == got, qPrintable(fixtures::mismatch(fromFolder, got)));
        if (qEnvironmentVariableIsSet("BRANTOVEL_WRITE_GOLDEN")) {
            QFile out(QStringLiteral(BRANTOVEL_GOLDEN_DIR "/") + name);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            for (const fixtures::Row& r : got)
                out.write(QStringLiteral("%1\t%2\t%3\t%4\n").arg(r.sheet).arg(r.row).arg(r.col, r.message).toUtf8());
            QSKIP("expected log written");
        }
        bool ok = false;
        const QList<fixtures::Row> want = expected(name, &ok);
        QVERIFY2(ok, qPrintable(name));
        QCOMPARE(got.size(), want.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(got[i] == want[i], qPrintable(QStringLiteral("row %1:\n").arg(i + 2) +
                                                   fixtures::describe({got[i]}) + fixtures::describe({want[i]})));
    }

    // Correcting the cells the sample's findings point at gives the clean sample, and nothing else
    // differs between the two.
    void cleanSampleDiffersInTheCitedCellsOnly()
    {
        bool ok = false;
        QSet<QString> cited;
        for (const fixtures::Row& r : expected(QStringLiteral("sample.tsv"), &ok))
            cited.insert(QStringLiteral("%1!%2%3").arg(r.sheet, r.col).arg(r.row));
        QVERIFY(ok && !cited.isEmpty());
        const xls::Workbook a = xls::Workbook::open(sample({}));
        const xls::Workbook b = xls::Workbook::open(sample(QStringLiteral("clean/")));
        QCOMPARE(a.sheetCount(), b.sheetCount());
        QSet<QString> differ;
        for (int s = 0; s < a.sheetCount(); ++s)
            for (int r = 1; r <= std::max(a.lastUsedRow(s), b.lastUsedRow(s)); ++r)
                for (int c = 1; c <= 26; ++c) {
                    const xls::CellValue x = a.cell(s, r, c), y = b.cell(s, r, c);
                    if (x.type != y.type || x.text != y.text || (x.type != xls::CellType::Text && x.number != y.number))
                        differ.insert(QStringLiteral("%1!%2%3").arg(a.sheetName(s)).arg(QChar(u'A' + c - 1)).arg(r));
                }
        QCOMPARE(differ, cited);
    }

    // Every example input of the instruction gives the finding the instruction says it gives (or
    // none): a change of the rules that breaks a claim of the instruction breaks a row here. Each
    // row is named after the instruction's section that makes the claim.
    void instructionExamples_data() { fixtures::addCaseRows(claims()); }
    void instructionExamples()
    {
        QFETCH(int, index);
        const Claim c = claims().at(index);
        fixtures::Workspace ws;
        ws.makeReport(c.cells);
        if (!c.stop.isEmpty()) {
            try {
                ws.check(sheet::Locale::comma(), c.today);
                QFAIL("the check went on");
            } catch (const app::CheckStopped& e) {
                QVERIFY2(e.message().contains(c.stop), qPrintable(e.message()));
            }
            return;
        }
        const QList<fixtures::Row> got = ws.check(sheet::Locale::comma(), c.today);
        qsizetype from = 0;
        for (const fixtures::Row& want : c.present) {
            const qsizetype at = got.indexOf(want, from);
            QVERIFY2(at >= 0, qPrintable(QStringLiteral("missing (or out of order):\n") + fixtures::describe({want}) +
                                         QStringLiteral("log:\n") + fixtures::describe(got)));
            from = at + 1;
        }
        for (const fixtures::Row& unwanted : c.absent)
            QVERIFY2(!got.contains(unwanted),
                     qPrintable(QStringLiteral("unexpected:\n") + fixtures::describe({unwanted})));
    }

    // Every text the rules put into a finding (the Ukrainian string literals of the check's sources,
    // split where a number or value is filled in) appears in the instruction's HTML twin.
    void instructionNamesEveryMessage()
    {
        QFile html(QStringLiteral(BRANTOVEL_DATA_DIR "/readme.html"));
        QVERIFY(html.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(html.readAll()).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        for (const auto& [entity, ch] : {std::pair{"&lt;", "<"},
                                         {"&gt;", ">"},
                                         {"&quot;", "\""},
                                         {"&#x27;", "'"},
                                         {"&nbsp;", " "},
                                         {"&amp;", "&"}})
            text.replace(QLatin1String(entity), QLatin1String(ch));
        text = simplified(text);

        const QRegularExpression literal(
            QStringLiteral("(?:QStringLiteral\\(\\s*|\\bu)((?:\"(?:[^\"\\\\]|\\\\.)*\"\\s*)+)"));
        const QRegularExpression piece(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
        const QRegularExpression cyrillic(QStringLiteral("[\u0400-\u04FF]"));
        const QDir src(QStringLiteral(BRANTOVEL_DATA_DIR "/../src/check"));
        int checked = 0;
        QStringList missing;
        for (const QString& file : src.entryList({QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files)) {
            QFile f(src.filePath(file));
            QVERIFY(f.open(QIODevice::ReadOnly));
            for (const QString& line : QString::fromUtf8(f.readAll()).split(u';')) {
                if (line.contains(QLatin1String("throw "))) // exception texts become findings of their own
                    continue;
                for (auto m = literal.globalMatch(line); m.hasNext();) {
                    QString value;
                    for (auto p = piece.globalMatch(m.next().captured(1)); p.hasNext();)
                        value += p.next().captured(1);
                    value.replace(QLatin1String("\\\""), QLatin1String("\""));
                    if (!value.contains(cyrillic))
                        continue;
                    for (const QString& part : value.split(QRegularExpression(QStringLiteral("%\\d")))) {
                        const QString want = simplified(part);
                        if (want.isEmpty())
                            continue;
                        ++checked;
                        if (!text.contains(want))
                            missing << file + QStringLiteral(": ") + want;
                    }
                }
            }
        }
        QVERIFY2(checked > 100, qPrintable(QString::number(checked)));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }
};

QTEST_MAIN(TestGolden)
#include "tst_golden.moc"
