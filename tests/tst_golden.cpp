// Whole reports against their expected logs, row by row: the two shipped samples (on days of every
// reporting period, with the period set for the day as tools/run-sample.sh sets it) and a generated
// report of a thousand rows per table sheet. The expected logs live in tests/golden/. Also: the
// clean sample is the other one with exactly the cited cells corrected, and the instruction names
// every message the rules can write. Each report is also checked as a folder of one report, which
// must find the same.
#include "bench/genreport.h"
#include "fixtures.h"
#include "run/batchrun.h"
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
    app::BatchRun batch({folder.path(), results.path(), ws.dir(), 1},
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
