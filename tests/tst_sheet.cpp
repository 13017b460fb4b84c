#include "fixtures.h"
#include "sheet/msexcel.h"
#include "xls/workbook.h"

#include <QDir>
#include <QTest>

class TestSheet : public QObject {
    Q_OBJECT
private slots:
    void saveGoesToTheBookItself()
    {
        fixtures::Workspace ws;
        std::shared_ptr<sheet::Book> report;
        {
            sheet::MSExcel Excel;
            report = Excel.OpenWorkBook(ws.path(QStringLiteral("zvit.xls")));
            const auto log = Excel.OpenWorkBook(ws.path(QStringLiteral("elog.xls")));
            QCOMPARE(Excel.WorkbooksCount(), 2);
            report->SetValue(1, 13, 19, QStringLiteral("штамп"));
            log->SetValue(1, 2, 1, QStringLiteral("запис"));
            // Saving one workbook writes that one only, whichever was opened last.
            sheet::MSExcel::SaveWorkBook(*report);
            QCOMPARE(xls::Workbook::open(ws.path(QStringLiteral("zvit.xls"))).cell(0, 13, 19).text,
                     QStringLiteral("штамп"));
            QCOMPARE(xls::Workbook::open(ws.path(QStringLiteral("elog.xls"))).cell(0, 2, 1).type, xls::CellType::Empty);
            Excel.CloseExcel();
            Excel.CloseExcel(); // a second close does nothing
            QCOMPARE(Excel.WorkbooksCount(), 0);
        }
        // A handle kept past the end of its link still reads: nothing points into a closed link.
        QCOMPARE(report->Value(1, 13, 19).text, QStringLiteral("штамп"));
    }

    void lastCellRow()
    {
        fixtures::Workspace ws;
        sheet::MSExcel Excel;
        auto report = Excel.OpenWorkBook(ws.path(QStringLiteral("zvit.xls")));
        QCOMPARE(report->lastCellRow(1), 43); // the contacts end in row 37, the signature block in 43
        QCOMPARE(report->lastCellRow(2), 6);
        report->SetValue(2, 20, 3, QStringLiteral("x"));
        QCOMPARE(report->lastCellRow(2), 20);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, report->lastCellRow(report->SheetsCount() + 1));
    }

    void unicodePaths()
    {
        fixtures::Workspace ws;
        const QString path = ws.path(QStringLiteral("звіт №1 ✓.xls"));
        QVERIFY(QFile::copy(ws.path(QStringLiteral("zvit.xls")), path));
        sheet::MSExcel Excel;
        auto wb = Excel.OpenWorkBook(path);
        QCOMPARE(wb->FullName(), QFileInfo(path).absoluteFilePath());
        QCOMPARE(wb->SheetName(1), QStringLiteral("Загальні дані"));
    }
};

QTEST_MAIN(TestSheet)
#include "tst_sheet.moc"
