// Whole reports against their expected logs, row by row: the shipped sample and a generated
// report of a thousand rows per table sheet. The expected logs live in tests/golden/.
#include "bench/genreport.h"
#include "fixtures.h"

#include <QFile>
#include <QTest>

namespace {

QList<fixtures::Row> expected(const QString& name)
{
    QList<fixtures::Row> rows;
    QFile f(QStringLiteral(BRANTOVEL_GOLDEN_DIR "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList p = line.split(u'\t');
        if (p.size() == 4)
            rows.append({p[0], p[1].toInt(), p[2], p[3]});
    }
    return rows;
}

} // namespace

class TestGolden : public QObject {
    Q_OBJECT
private slots:
    void reports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("generatedRows"); // 0: the shipped sample
        QTest::newRow("sample") << "sample.tsv" << 0;
        QTest::newRow("generated 1000 rows") << "generated-1000.tsv" << 1000;
    }
    void reports()
    {
        QFETCH(QString, name);
        QFETCH(int, generatedRows);
        fixtures::Workspace ws;
        QFile::remove(ws.path(QStringLiteral("zvit.xls")));
        if (generatedRows)
            bench::generateReport(QStringLiteral(BRANTOVEL_DATA_DIR "/zvit.xls"), ws.path(QStringLiteral("zvit.xls")),
                                  generatedRows, QDate(2026, 12, 9));
        else
            QVERIFY(QFile::copy(QStringLiteral(BRANTOVEL_DATA_DIR "/sample/zvit.xls"),
                                ws.path(QStringLiteral("zvit.xls"))));
        QFile(ws.path(QStringLiteral("zvit.xls"))).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QList<fixtures::Row> got = ws.check(sheet::Locale::comma(), QDate(2026, 12, 9));
        const QList<fixtures::Row> want = expected(name);
        if (qEnvironmentVariableIsSet("BRANTOVEL_WRITE_GOLDEN")) {
            QFile out(QStringLiteral(BRANTOVEL_GOLDEN_DIR "/") + name);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            for (const fixtures::Row& r : got)
                out.write(QStringLiteral("%1\t%2\t%3\t%4\n").arg(r.sheet).arg(r.row).arg(r.col, r.message).toUtf8());
            QSKIP("expected log written");
        }
        QVERIFY(!want.isEmpty());
        QCOMPARE(got.size(), want.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(got[i] == want[i], qPrintable(QStringLiteral("row %1:\n").arg(i + 2) +
                                                   fixtures::describe({got[i]}) + fixtures::describe({want[i]})));
    }
};

QTEST_MAIN(TestGolden)
#include "tst_golden.moc"
