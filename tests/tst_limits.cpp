// The format's limits: a full-height table sheet, 256 columns, the longest text a cell holds, the
// longest sheet name, and a log with no room left.
#include "run/controlrun.h"
#include "fixtures.h"
#include "xls/workbook.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using fixtures::Row;

class TestLimits : public QObject {
    Q_OBJECT
private slots:
    void fullHeightTableSheet()
    {
        fixtures::Workspace ws;
        xls::Workbook wb = xls::Workbook::open(QStringLiteral(BRANTOVEL_DATA_DIR "/zvit.xls"));
        for (const fixtures::Cell& c : fixtures::cleanGeneral())
            wb.setText(0, c.row, c.col, c.text);
        for (int r = 7; r <= 65536; ++r) {
            wb.setNumber(1, r, 1, r - 6);
            wb.setText(1, r, 2, QStringLiteral("31000126"));
            wb.setText(1, r, 3, QStringLiteral("ТОВ"));
            wb.setText(1, r, 4, QStringLiteral("23456719"));
            wb.setText(1, r, 5, QStringLiteral("Б"));
            for (int c = 7; c <= 14; ++c)
                wb.setNumber(1, r, c, 0);
        }
        wb.setText(1, 8, 256, QStringLiteral("останній стовпець"));
        wb.save(ws.path(QStringLiteral("zvit.xls")));
        const QList<Row> rows = ws.check();
        QVERIFY2(rows.isEmpty(), qPrintable(fixtures::describe(rows.mid(0, 5))));
        QCOMPARE(xls::Workbook::open(ws.path(QStringLiteral("zvit.xls"))).cell(1, 65536, 3).text,
                 QStringLiteral("ТОВ"));
    }

    void longestTextIsCutInTheLog()
    {
        fixtures::Workspace ws;
        QList<fixtures::Cell> cells = fixtures::cleanGeneral();
        const QString name(32767, QChar(u'Я'));
        const QStringList debt{QStringLiteral("1"), QStringLiteral("31000126"), name, QStringLiteral("23456719")};
        for (int c = 0; c < debt.size(); ++c)
            cells.append({3, 7, c + 1, debt[c]});
        ws.makeReport(cells);
        const QList<Row> rows = ws.check();
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows[0].message.size(), 32767);
        QVERIFY(rows[0].message.startsWith(QStringLiteral("Не знайдений в таб. 2 орендар \"ЯЯЯ")));
        QVERIFY(rows[0].message.endsWith(QChar(0x2026)));
    }

    void longestSheetName()
    {
        fixtures::Workspace ws;
        const QString name = QStringLiteral("Аркуш з назвою у тридцять одну");
        QCOMPARE(name.size(), 30);
        // A workbook whose only sheet has a 31-character name: one "unknown sheet" finding with that name.
        ws.makeReport({{1, 1, 1, QStringLiteral("x")}}, QStringLiteral(BRANTOVEL_FIXTURES_DIR "/long-sheet-name.xls"));
        const QList<Row> rows = ws.check();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].sheet.size(), 31);
        QCOMPARE(rows[0].message, QStringLiteral("Лист не оброблений!."));
    }

    void logWithoutRoomStopsTheRun()
    {
        fixtures::Workspace ws;
        xls::Workbook log = xls::Workbook::open(ws.path(QStringLiteral("elog.xls")));
        log.setText(0, 65534, 1, QStringLiteral("кінець шаблону"));
        log.save();
        ws.makeReport({{1, 7, 2, QStringLiteral("1234567")}, {1, 8, 2, QString()}, {1, 10, 2, QString()}});
        QFile report(ws.path(QStringLiteral("zvit.xls")));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QByteArray before = report.readAll();
        report.close();
        try {
            ws.check();
            QFAIL("the run went on past the last row of the log");
        } catch (const findings::LogFull& e) {
            QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Протокол перевірки переповнений")));
        }
        QVERIFY(report.open(QIODevice::ReadOnly));
        QCOMPARE(report.readAll(), before);
    }
};

QTEST_MAIN(TestLimits)
#include "tst_limits.moc"
