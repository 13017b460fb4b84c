// The sheet walk: dispatch by name, the stamp, both saves, and the log's first free row.
#include "fixtures.h"
#include "run/controlrun.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>

using fixtures::Cell;
using fixtures::Row;

namespace {
QString fixture(const char* name)
{
    return QStringLiteral(BRANTOVEL_FIXTURES_DIR "/") + QString::fromLatin1(name);
}
} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void cleanReportIsStampedAndSaved()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        QString innkod;
        const QList<Row> rows = ws.check(sheet::Locale::comma(), QDate(2026, 12, 9), &innkod);
        QVERIFY2(rows.isEmpty(), qPrintable(fixtures::describe(rows)));
        QCOMPARE(innkod, QStringLiteral("23456719"));
        const xls::Workbook report = xls::Workbook::open(ws.path(QStringLiteral("zvit.xls")));
        QCOMPARE(report.cell(0, 13, 19).text, QStringLiteral("09.12.2026 10:30:15"));
        QCOMPARE(report.cell(0, 7, 2).text, QStringLiteral("23456719"));
    }

    void unknownSheetGetsOneFinding()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral(), fixture("frame-extra-sheet.xls"));
        const QList<Row> rows = ws.check();
        QCOMPARE(rows, (QList<Row>{{QStringLiteral("Примітки"), 1, QStringLiteral("A"),
                                    QStringLiteral("Лист не оброблений!.")}}));
    }

    void namesAreTrimmedButCaseSensitive()
    {
        fixtures::Workspace ws;
        QList<Cell> cells = fixtures::cleanGeneral();
        cells.append({2, 7, 1, QStringLiteral("1")});
        cells.append({2, 7, 3, QStringLiteral("ТОВ")});
        ws.makeReport(cells, fixture("frame-names.xls"));
        const QList<Row> rows = ws.check();
        // The padded name is handled as Таблиця 2 and its findings carry the name as stored.
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows.first().sheet, QStringLiteral(" Таблиця 2 "));
        QVERIFY(rows.contains(
            Row{QStringLiteral("таблиця 3"), 1, QStringLiteral("A"), QStringLiteral("Лист не оброблений!.")}));
    }

    void secondTable2ResetsTheTotals()
    {
        fixtures::Workspace ws;
        QList<Cell> cells = fixtures::cleanGeneral();
        const QStringList row{QStringLiteral("1"),        QStringLiteral("31000126"), QStringLiteral("ТОВ"),
                              QStringLiteral("23456719"), QStringLiteral("Б"),        QStringLiteral("Ні"),
                              QStringLiteral("0"),        QStringLiteral("0"),        QStringLiteral("0"),
                              QStringLiteral("0"),        QStringLiteral("70")};
        for (int sheetPos : {2, 3})
            for (int c = 0; c < row.size(); ++c)
                cells.append({sheetPos, 7, c + 1, row[c]});
        cells.append({1, 12, 2, QStringLiteral("140")});
        ws.makeReport(cells, fixture("frame-two-t2.xls"));
        const QList<Row> rows = ws.check();
        QVERIFY(rows.contains(Row{QStringLiteral("Загальні дані"), 12, QStringLiteral("B"),
                                  QStringLiteral("п.3 таб.1 < > Σ гр.11 таб.2 + Σ гр.11 таб.5 (140 < > 0)")}));
    }

    void reportWithoutTenantTables()
    {
        fixtures::Workspace ws;
        QList<Cell> cells = fixtures::cleanGeneral();
        cells.append({1, 14, 2, QStringLiteral("0,09")});
        cells.append({1, 16, 2, QStringLiteral("-0,5")});
        ws.makeReport(cells, fixture("frame-general-only.xls"));
        QList<Row> rows = ws.check();
        rows.removeIf([](const Row& r) { return !r.message.contains(u'Σ'); });
        QCOMPARE(rows, (QList<Row>{{QStringLiteral("Загальні дані"), 16, QStringLiteral("B"),
                                    QStringLiteral("п.7 таб.1 < > Σ гр.7 таб.3 + Σ гр.7 таб.6 (-0,5 < > 0)")}}));
    }

    void logTemplateEndingInRow3()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral(), fixture("frame-extra-sheet.xls"));
        ws.useLogTemplate(fixture("elog-row3.xls"));
        ws.check();
        const xls::Workbook log = xls::Workbook::open(ws.path(QStringLiteral("zvit_log.xls")));
        QCOMPARE(log.cell(0, 4, 1).text, QStringLiteral("Примітки"));
        QCOMPARE(log.cell(0, 2, 1).type, xls::CellType::Empty);
    }

    void failedOpenLeavesReportUntouched()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        QFile f(ws.path(QStringLiteral("zvit.xls")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        QVERIFY_THROWS_EXCEPTION(
            xls::Error,
            app::checkAndSave(ws.path(QStringLiteral("zvit.xls")), ws.path(QStringLiteral("missing_elog.xls")),
                              ws.path(QStringLiteral("zvit_log.xls")),
                              fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9))));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
