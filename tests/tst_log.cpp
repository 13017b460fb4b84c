#include "fixtures.h"
#include "log/log.h"
#include "sheet/msexcel.h"

#include <QTest>

class TestLog : public QObject {
    Q_OBJECT
private slots:
    void columnText_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::newRow("0 empty") << 0 << "";
        QTest::newRow("1 A") << 1 << "A";
        QTest::newRow("26 Z") << 26 << "Z";
        QTest::newRow("27 not AA") << 27 << "27";
        QTest::newRow("negative") << -3 << "-3";
    }
    void columnText()
    {
        QFETCH(int, col);
        QFETCH(QString, text);
        QCOMPARE(findings::columnText(col), text);
    }

    void findingLocation_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("location");
        QTest::newRow("cell") << "Таблиця 2" << 7 << 3 << "'Таблиця 2'!C7";
        QTest::newRow("whole sheet") << "Загальні дані" << 0 << 0 << "'Загальні дані'!A1";
        QTest::newRow("whole row") << "Таблиця 3" << 12 << 0 << "'Таблиця 3'!A12";
        QTest::newRow("past Z") << "T" << 2 << 27 << "'T'!AA2";
        QTest::newRow("last column") << "T" << 65536 << 256 << "'T'!IV65536";
        QTest::newRow("outside the sheet") << "T" << 70000 << -3 << "'T'!A1";
        QTest::newRow("quote and blanks kept") << " Ба'за " << 5 << 1 << "' Ба''за '!A5";
    }
    void findingLocation()
    {
        QFETCH(QString, sheet);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, location);
        QCOMPARE(findings::findingLocation(sheet, row, col), location);
    }

    void layout()
    {
        fixtures::Workspace ws;
        const QString path = ws.path(QStringLiteral("elog.xls"));
        sheet::MSExcel Excel;
        findings::FindingsLog log([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        log.Log(QStringLiteral(" Таблиця 2 "), QStringLiteral("m1"), 12, 27);
        log.Log(QStringLiteral("X"), QStringLiteral("m2"), 0, 0);
        QCOMPARE(log.rowlog, 4);
        const std::shared_ptr<sheet::Book> WBLog = Excel.OpenWorkBook(path);
        findings::writeLog(*WBLog, 2, log.findings(), sheet::Locale::comma());
        Excel.SaveWorkBook(*WBLog);

        const xls::Workbook wb = xls::Workbook::open(path);
        QCOMPARE(wb.cell(0, 2, 1).text, QStringLiteral(" Таблиця 2 "));
        QCOMPARE(wb.cell(0, 2, 2).text, QStringLiteral("12"));
        QCOMPARE(wb.cell(0, 2, 3).text, QStringLiteral("27"));
        QCOMPARE(wb.cell(0, 2, 5).text, QStringLiteral("04.03.2026 05:06:07"));
        QCOMPARE(wb.cell(0, 3, 2).type, xls::CellType::Empty);
        QCOMPARE(wb.cell(0, 3, 3).type, xls::CellType::Empty);
        QCOMPARE(wb.cell(0, 3, 4).text, QStringLiteral("m2"));
        QCOMPARE(wb.cell(0, 3, 5).text, wb.cell(0, 2, 5).text); // same second, same text
    }

    void midnightHasNoTime()
    {
        QCOMPARE(sheet::Locale::comma().dateTimeText(QDateTime(QDate(2026, 1, 2), QTime(0, 0))),
                 QStringLiteral("02.01.2026"));
    }
};

QTEST_MAIN(TestLog)
#include "tst_log.moc"
