#include "fixtures.h"
#include "sheet/msexcel.h"
#include "xls/workbook.h"

#include <QDir>
#include <QTest>

using namespace sheet::MSExcel;

class TestSheet : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { CloseExcel(); }

    void noApplication()
    {
        CloseExcel();
        QCOMPARE(WorkBookIndex(QStringLiteral("/x.xls")), 0);
        ActivateWorkBook(QStringLiteral("/x.xls")); // does nothing
        CloseExcel();
        QVERIFY(!Excel);
    }

    void indexAndActivation()
    {
        fixtures::Workspace ws;
        CallExcel(false);
        QVERIFY(!Excel->Visible);
        auto report = Excel->Open(ws.path(QStringLiteral("zvit.xls")));
        auto log = Excel->Open(ws.path(QStringLiteral("elog.xls")));
        QCOMPARE(Excel->ActiveWorkbook(), log.get());
        QCOMPARE(WorkBookIndex(report->FullName()), 1);
        QCOMPARE(WorkBookIndex(log->FullName()), 2);
        QCOMPARE(WorkBookIndex(report->FullName().toUpper()), 0);
        ActivateWorkBook(report->FullName());
        QCOMPARE(Excel->ActiveWorkbook(), report.get());
        // An unknown path changes nothing, so the save goes to the active workbook.
        ActivateWorkBook(ws.path(QStringLiteral("other.xls")));
        QCOMPARE(Excel->ActiveWorkbook(), report.get());
        report->SetValue(1, 13, 19, QStringLiteral("штамп"));
        SaveWorkBook();
        QCOMPARE(xls::Workbook::open(ws.path(QStringLiteral("zvit.xls"))).cell(0, 13, 19).text,
                 QStringLiteral("штамп"));
    }

    void lastCellRow()
    {
        fixtures::Workspace ws;
        CallExcel(false);
        auto report = Excel->Open(ws.path(QStringLiteral("zvit.xls")));
        report->ActivateSheet(1);
        QCOMPARE(Excel->ActiveLastCellRow(), 37);
        report->ActivateSheet(2);
        QCOMPARE(Excel->ActiveLastCellRow(), 6);
        report->SetValue(2, 20, 3, QStringLiteral("x"));
        QCOMPARE(Excel->ActiveLastCellRow(), 20);
    }

    void secondCallDropsFirst()
    {
        CallExcel(false);
        std::weak_ptr<sheet::Application> first = Excel;
        CallExcel(false);
        QVERIFY(first.expired());
        QVERIFY(Excel);
    }

    void unicodePaths()
    {
        fixtures::Workspace ws;
        const QString path = ws.path(QStringLiteral("звіт №1 ✓.xls"));
        QVERIFY(QFile::copy(ws.path(QStringLiteral("zvit.xls")), path));
        CallExcel(false);
        auto wb = Excel->Open(path);
        QCOMPARE(WorkBookIndex(wb->FullName()), 1);
    }
};

QTEST_MAIN(TestSheet)
#include "tst_sheet.moc"
