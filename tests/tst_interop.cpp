// What the engine writes, read back by two independent readers: python3-xlrd and LibreOffice. An
// encrypted workbook is read by LibreOffice as it is, and by xlrd and the structure walker after
// python3-msoffcrypto-tool decrypted it.
#include "childprocess.h"
#include "fixtures.h"
#include "log/log.h"
#include "run/batchrun.h"
#include "structure.h"
#include "xls/workbook.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {

struct Edit {
    int sheet, row, col;
    QString text;
};

struct Case {
    QString name;
    QString source;
    QList<Edit> edits;
    bool encrypted = false; // with the default password, and saved so
    // LibreOffice 7.4 opens no workbook encrypted with a 40-bit CryptoAPI key, Excel's own included.
    bool libreOffice = true;
};

QList<Case> cases()
{
    const QString fx = QStringLiteral(BRANTOVEL_FIXTURES_DIR "/");
    const QString data = QStringLiteral(BRANTOVEL_DATA_DIR "/");
    return {
        {QStringLiteral("number-run"), fx + QStringLiteral("lo-values.xls"), {{0, 1, 3, QStringLiteral("в ряду")}}},
        {QStringLiteral("formula-and-new-row"),
         fx + QStringLiteral("lo-values.xls"),
         {{0, 4, 1, QStringLiteral("замість формули")}, {0, 30, 7, QStringLiteral("новий рядок")}}},
        {QStringLiteral("long-text"), fx + QStringLiteral("lo-values.xls"), {{1, 2, 2, QString(9000, QChar(u'Щ'))}}},
        {QStringLiteral("xlwt"),
         fx + QStringLiteral("xlwt-values.xls"),
         {{0, 1, 2, QStringLiteral("текст")}, {1, 5, 5, QStringLiteral("на порожньому аркуші")}}},
        {QStringLiteral("stamp"),
         data + QStringLiteral("zvit.xls"),
         {{0, 13, 19, QStringLiteral("09.12.2026 10:30:15")}}},
        {QStringLiteral("log-rows"),
         data + QStringLiteral("elog.xls"),
         {{0, 2, 1, QStringLiteral("Таблиця 2")},
          {0, 2, 2, QStringLiteral("7")},
          {0, 2, 4, QStringLiteral("Рядок не оброблено.")},
          {0, 3, 1, QStringLiteral("Таблиця 3")}}},
        {QStringLiteral("sample"),
         data + QStringLiteral("sample/zvit.xls"),
         {{1, 7, 3, QStringLiteral("нова назва")}, {3, 8, 16, QStringLiteral("офісне")}}},
        {QStringLiteral("protected-structure"),
         fx + QStringLiteral("protected-structure-password.xls"),
         {{0, 1, 1, QStringLiteral("змінено")}, {1, 4, 2, QStringLiteral("новий")}},
         true},
        {QStringLiteral("protected-report"),
         fx + QStringLiteral("zvit-protected.xls"),
         {{0, 13, 19, QStringLiteral("09.12.2026 10:30:15")}},
         true},
        {QStringLiteral("cryptoapi-40"),
         fx + QStringLiteral("cryptoapi-40.xls"),
         {{0, 2, 2, QStringLiteral("нове")}},
         true,
         false},
        {QStringLiteral("cryptoapi-128"),
         fx + QStringLiteral("cryptoapi-128.xls"),
         {{0, 4, 1, QStringLiteral("замість формули")}, {1, 2, 2, QString(9000, QChar(u'Щ'))}},
         true},
    };
}

QSet<QString> lines(const QByteArray& text)
{
    QSet<QString> out;
    for (const QString& l : QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts))
        out.insert(l);
    return out;
}

QString cellLine(const Edit& e)
{
    QString v = e.text;
    v.replace(u'\\', QStringLiteral("\\\\"));
    return QStringLiteral("%1\t%2\t%3\t1\t%4").arg(e.sheet).arg(e.row).arg(e.col).arg(v);
}

// The lines of read_layout.py's output that start with `kind`, without it, sorted.
QStringList layoutLines(const QString& file, const QString& kind)
{
    bool ok = false;
    QStringList out;
    for (const QString& l : lines(fixtures::runPython(QStringLiteral("read_layout.py"), {file}, &ok)))
        if (l.startsWith(kind + u'\t'))
            out << l.mid(kind.size() + 1);
    if (!ok)
        out << QStringLiteral("read_layout.py failed");
    out.sort();
    return out;
}

// A log column text ("C", "27") as the column number.
int columnNumber(const QString& text)
{
    return text.size() == 1 && text.at(0) >= u'A' && text.at(0) <= u'Z' ? text.at(0).unicode() - u'A' + 1
                                                                        : text.toInt();
}

} // namespace

class TestInterop : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    // The saved workbook of a case (or its original), decrypted when it is encrypted.
    QString readable(const Case& c, bool original = false) const
    {
        if (original && !c.encrypted)
            return c.source;
        const QString name = (original ? QStringLiteral("orig-") : QString()) + c.name + QStringLiteral(".xls");
        return tmp.filePath((c.encrypted ? QStringLiteral("plain-") : QString()) + name);
    }

private slots:
    void initTestCase()
    {
        for (const Case& c : cases()) {
            xls::Workbook wb = xls::Workbook::open(c.source);
            for (const Edit& e : c.edits)
                wb.setText(e.sheet, e.row, e.col, e.text);
            wb.save(tmp.filePath(c.name + QStringLiteral(".xls")));
            QFile::copy(c.source, tmp.filePath(QStringLiteral("orig-") + c.name + QStringLiteral(".xls")));
            // The saved workbook is encrypted still, and opens with the default password.
            for (const QString& prefix : {QString(), QStringLiteral("orig-")})
                if (c.encrypted) {
                    bool ok = false;
                    const QString name = prefix + c.name + QStringLiteral(".xls");
                    fixtures::runPython(QStringLiteral("decrypt.py"),
                                        {tmp.filePath(name), tmp.filePath(QStringLiteral("plain-") + name)}, &ok);
                    QVERIFY2(ok, qPrintable(name));
                }
        }
    }

    void xlrdSeesOnlyTheEdits_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            QTest::newRow(qPrintable(cases()[i].name)) << i;
    }
    void xlrdSeesOnlyTheEdits()
    {
        QFETCH(int, index);
        const Case c = cases()[index];
        bool ok1 = false, ok2 = false;
        const QSet<QString> before =
            lines(fixtures::runPython(QStringLiteral("read_cells.py"), {readable(c, true)}, &ok1));
        const QSet<QString> after = lines(fixtures::runPython(QStringLiteral("read_cells.py"), {readable(c)}, &ok2));
        QVERIFY(ok1 && ok2);
        QSet<QString> expected = before;
        for (const Edit& e : c.edits) {
            const QString prefix = QStringLiteral("%1\t%2\t%3\t").arg(e.sheet).arg(e.row).arg(e.col);
            for (auto it = expected.begin(); it != expected.end();)
                it = it->startsWith(prefix) ? expected.erase(it) : std::next(it);
            if (!e.text.isEmpty())
                expected.insert(cellLine(e));
        }
        QCOMPARE(after - expected, QSet<QString>{});
        QCOMPARE(expected - after, QSet<QString>{});
    }

    // The structure and sheet protection of an encrypted workbook stay as they were.
    void protectionStaysAsItWas_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            if (cases()[i].encrypted)
                QTest::newRow(qPrintable(cases()[i].name)) << i;
    }
    void protectionStaysAsItWas()
    {
        QFETCH(int, index);
        const Case c = cases()[index];
        bool ok1 = false, ok2 = false;
        const QByteArray before = fixtures::runPython(QStringLiteral("protection.py"), {readable(c, true)}, &ok1);
        const QByteArray after = fixtures::runPython(QStringLiteral("protection.py"), {readable(c)}, &ok2);
        QVERIFY(ok1 && ok2);
        if (c.name.startsWith(QStringLiteral("protected")))
            QVERIFY(before.contains("0\t0012\t0100")); // the structure is protected
        QCOMPARE(after, before);
    }

    // Every stream position the writer computed points where it should.
    void positionsAreRight_data() { xlrdSeesOnlyTheEdits_data(); }
    void positionsAreRight()
    {
        QFETCH(int, index);
        QCOMPARE(fixtures::structureProblems(readable(cases()[index])).mid(0, 8).join(u'\n'), QString());
    }

    void externalProgramEndsWithItsChildren()
    {
#ifndef Q_OS_LINUX
        QSKIP("reads the process table in /proc");
#else
        // A program that starts a child of its own and hangs, as soffice does with soffice.bin:
        // at the time limit both are ended.
        fixtures::ExternalProcess proc;
        const QString pidFile = QDir(proc.scratch()).filePath(QStringLiteral("child.pid"));
        const fixtures::ProcessResult r =
            proc.run(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"), QStringLiteral("sleep 300 & echo $! > \"$1\"; wait"), QStringLiteral("sh"),
                      pidFile},
                     1000);
        QVERIFY(!r.ok);
        QVERIFY2(r.failure.contains(QStringLiteral("did not finish")), qPrintable(r.failure));
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const qint64 child = f.readAll().trimmed().toLongLong();
        QVERIFY(child > 0);
        QVERIFY(!fixtures::processAlive(child));
#endif
    }

    void libreOfficeSeesOnlyTheEdits()
    {
        QList<Case> all = cases();
        all.removeIf([](const Case& c) { return !c.libreOffice; });
        QStringList files;
        for (const Case& c : all)
            files << tmp.filePath(c.name + QStringLiteral(".xls"))
                  << tmp.filePath(QStringLiteral("orig-") + c.name + QStringLiteral(".xls"));
        const QString out = tmp.filePath(QStringLiteral("csv"));
        QDir().mkpath(out);
        QVERIFY(fixtures::convertToCsv(files, out));
        for (const Case& c : all) {
            const auto before = fixtures::csvSheets(out, QStringLiteral("orig-") + c.name);
            const auto after = fixtures::csvSheets(out, c.name);
            QVERIFY2(!after.isEmpty(), qPrintable(c.name));
            QCOMPARE(after.keys(), before.keys());
            const xls::Workbook wb = xls::Workbook::open(c.source);
            for (auto it = after.cbegin(); it != after.cend(); ++it) {
                QStringList expected;
                for (const Edit& e : c.edits)
                    if (wb.sheetName(e.sheet) == it.key()) {
                        expected << QStringLiteral("%1,%2").arg(e.row).arg(e.col);
                        QCOMPARE(it.value().value(e.row - 1).value(e.col - 1), e.text);
                    }
                QStringList diffs = fixtures::csvDifferences(before.value(it.key()), it.value());
                diffs.sort();
                expected.sort();
                // An edit may replace a cell whose old value equals the new text.
                for (const QString& d : diffs)
                    QVERIFY2(expected.contains(d), qPrintable(c.name + QStringLiteral(": ") + d));
            }
        }
    }

    // The hyperlinks the engine writes, as xlrd and LibreOffice (its flat ODF export) resolve them:
    // "row\tcolumn\tfile#location". The log of a check links every finding's sheet name to its cell
    // in the report beside it, wherever the folder is moved; a link set again replaces the old one,
    // also on a cell not edited.
    void hyperlinksReadBack_data()
    {
        QTest::addColumn<bool>("check");
        QTest::newRow("findings of a check") << true;
        QTest::newRow("links replaced, set on unedited cells") << false;
    }
    void hyperlinksReadBack()
    {
        QFETCH(bool, check);
        fixtures::Workspace ws;
        QString file = ws.path(QStringLiteral("zvit_log.xls"));
        QStringList expected, inLibreOffice; // LibreOffice writes a link inside the workbook its own way
        if (check) {
            ws.makeReport({}, QStringLiteral(BRANTOVEL_DATA_DIR "/sample/zvit.xls"));
            QVERIFY(!ws.check().isEmpty());
            // The links are relative: in another folder the log points at the report beside it there.
            QVERIFY(QDir(ws.dir()).mkdir(QStringLiteral("moved")));
            file = ws.path(QStringLiteral("moved/zvit_log.xls"));
            QVERIFY(QFile::rename(ws.path(QStringLiteral("zvit_log.xls")), file));
            const xls::Workbook log = xls::Workbook::open(file);
            for (int r = 2; r <= log.lastUsedRow(0); ++r)
                expected << QStringLiteral("%1\t1\t%2#%3")
                                .arg(r)
                                .arg(ws.path(QStringLiteral("moved/zvit.xls")),
                                     findings::findingLocation(log.cell(0, r, 1).text, log.cell(0, r, 2).text.toInt(),
                                                               columnNumber(log.cell(0, r, 3).text)));
        } else {
            file = ws.path(QStringLiteral("links.xls"));
            xls::Workbook first = xls::Workbook::open(ws.path(QStringLiteral("elog.xls")));
            first.setText(0, 2, 1, QStringLiteral("Таблиця 2"));
            first.setHyperlink(0, 2, 1, QStringLiteral("zvit.xls"), QStringLiteral("'Таблиця 2'!C7"));
            first.setText(0, 3, 4, QStringLiteral("повідомлення"));
            first.setHyperlink(0, 3, 4, QStringLiteral("zvit.xls"));
            first.save(file);
            xls::Workbook again = xls::Workbook::open(file);
            again.setHyperlink(0, 2, 1, QStringLiteral("../zvit.xls"), QStringLiteral("'Таблиця 3'!D9"));
            again.setHyperlink(0, 1, 2, QString(), QStringLiteral("'Протокол'!E1"));
            again.setHyperlink(0, 3, 4, QStringLiteral("звіт ґ.xls"), QString());
            // A folder check's results beside the reports' folder: up one, then down into it.
            again.setText(0, 4, 1, QStringLiteral("Таблиця 1"));
            again.setHyperlink(0, 4, 1, QStringLiteral("../in/sub/zvit.xls"), QStringLiteral("'Таблиця 1'!A7"));
            again.save();
            const QString up = QFileInfo(ws.dir()).absolutePath();
            expected << QStringLiteral("2\t1\t%1/zvit.xls#'Таблиця 3'!D9").arg(up)
                     << QStringLiteral("4\t1\t%1/in/sub/zvit.xls#'Таблиця 1'!A7").arg(up)
                     << QStringLiteral("3\t4\t%1#").arg(ws.path(QStringLiteral("звіт ґ.xls")));
            inLibreOffice = expected;
            expected << QStringLiteral("1\t2\t#'Протокол'!E1");
            inLibreOffice << QStringLiteral("1\t2\t#Протокол.E1");
        }
        if (check)
            inLibreOffice = expected;
        expected.sort();
        inLibreOffice.sort();
        QCOMPARE(fixtures::structureProblems(file).join(u'\n'), QString());
        QCOMPARE(layoutLines(file, QStringLiteral("link")), expected);
        const QString fods = QDir(ws.dir()).filePath(QStringLiteral("fods"));
        QVERIFY(fixtures::convertWithLibreOffice({file}, fods, QStringLiteral("fods")));
        QCOMPARE(layoutLines(QDir(fods).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".fods")),
                             QStringLiteral("link")),
                 inLibreOffice);
        if (check) {
            // LibreOffice prints the page header the check wrote: which report, and how many findings.
            QFile f(QDir(fods).filePath(QStringLiteral("zvit_log.fods")));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString xml = QString::fromUtf8(f.readAll());
            QString header;
            for (qsizetype at = xml.indexOf(QStringLiteral("<style:header>")); at >= 0;
                 at = xml.indexOf(QStringLiteral("<style:header>"), at + 1))
                header += xml.mid(at, xml.indexOf(QStringLiteral("</style:header>"), at) - at);
            header.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            QVERIFY2(header.contains(QStringLiteral("Звіт: zvit.xls")) &&
                         header.contains(QStringLiteral("код 23456719 · Державне підприємство «Укрбудінвест»")) &&
                         header.contains(QStringLiteral("помилок: 7")),
                     qPrintable(header));
        }
    }

    // A folder check's results in a folder beside the reports' one (Cyrillic names and blanks): the
    // links of its log and of its summary open the report in LibreOffice, as xlrd reads them too.
    void batchLinksFromASiblingFolder()
    {
        fixtures::Workspace ws;
        ws.makeReport({}, QStringLiteral(BRANTOVEL_DATA_DIR "/sample/zvit.xls"));
        QVERIFY(QDir(ws.dir()).mkdir(QStringLiteral("звіти")) && QDir(ws.dir()).mkdir(QStringLiteral("результати")));
        const QString report = ws.path(QStringLiteral("звіти/звіт 1.xls"));
        QVERIFY(QFile::copy(ws.path(QStringLiteral("zvit.xls")), report));
        app::BatchOptions options;
        options.folder = ws.path(QStringLiteral("звіти"));
        options.outDir = ws.path(QStringLiteral("результати"));
        options.dir = ws.dir();
        check::Environment env;
        env.clock = [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 30)); };
        const app::BatchResult result = app::BatchRun(options, env).run();
        QCOMPARE(result.error, QString());
        QCOMPARE(result.withFindings, 1);
        const QString log = ws.path(QStringLiteral("результати/звіт 1_log.xls"));
        const QString fods = ws.path(QStringLiteral("fods"));
        QVERIFY(fixtures::convertWithLibreOffice({log, result.summary}, fods, QStringLiteral("fods")));
        for (const auto& [file, sheet] : {std::pair{log, 0}, std::pair{result.summary, 1}}) {
            const QString converted = QDir(fods).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".fods"));
            bool ok = false;
            const QStringList links = QString::fromUtf8(fixtures::runPython(QStringLiteral("read_layout.py"),
                                                                            {converted, QString::number(sheet)}, &ok))
                                          .split(u'\n', Qt::SkipEmptyParts)
                                          .filter(QRegularExpression(QStringLiteral("^link\t")));
            QVERIFY2(ok && !links.isEmpty(), qPrintable(file));
            for (const QString& l : links)
                QVERIFY2(l.section(u'\t', 3).startsWith(report + u'#'), qPrintable(file + QStringLiteral(": ") + l));
        }
    }

    // A new cell takes the format of its row, else of its column (as typed into a spreadsheet).
    void newCellsTakeRowElseColumnFormat()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("formats.xls"));
        xls::Workbook wb = xls::Workbook::open(QStringLiteral(BRANTOVEL_FIXTURES_DIR "/row-column-format.xls"));
        for (const auto& [row, col] : {std::pair{2, 4}, {3, 4}, {3, 2}})
            wb.setText(0, row, col, QStringLiteral("нове"));
        wb.save(out);
        int ownRow = 0, ownColumn = 0;
        for (const QString& l : layoutLines(out, QStringLiteral("xf"))) {
            const QStringList f = l.split(u'\t'); // row, col, cell XF, row XF, column XF
            if (f[0] == QStringLiteral("1"))
                continue; // the fixture's own title
            const int rowXf = f[3].toInt(), colXf = f[4].toInt();
            ownRow += rowXf >= 0;
            ownColumn += rowXf < 0 && colXf >= 0;
            QCOMPARE(f[2].toInt(), rowXf >= 0 ? rowXf : colXf);
        }
        QCOMPARE(ownRow, 2);    // the formatted row wins over the formatted column in D3
        QCOMPARE(ownColumn, 1); // D2
    }

    // A row the engine adds is as high as its wrapped text needs and its height is not marked as
    // set by hand; texts that fit or do not wrap leave the template's height. A row written again
    // grows for a longer text, never shrinks, and keeps a height set by hand.
    void newRowsFitWrappedTexts()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("heights.xls"));
        xls::Workbook wb = xls::Workbook::open(QStringLiteral(BRANTOVEL_DATA_DIR "/elog.xls"));
        const QString words = QStringLiteral("Невірно заповнено поле звіту про оренду. ").repeated(40);
        wb.setText(0, 2, 4, QStringLiteral("Не заповнено: Контактний телефон."));
        wb.setText(0, 3, 4, words.left(400));
        wb.setText(0, 4, 4, words.left(1600));
        wb.setText(0, 5, 5, words.left(400)); // the date column does not wrap
        wb.setText(0, 6, 4, QStringLiteral("перший\nдругий\nтретій"));
        wb.save(out);
        QMap<int, int> height;
        for (const QString& l : layoutLines(out, QStringLiteral("height"))) {
            const QStringList f = l.split(u'\t'); // row, twips, set by hand
            height[f[0].toInt()] = f[1].toInt();
            if (f[0] != QStringLiteral("1"))
                QCOMPARE(f[2], QStringLiteral("0"));
        }
        const int line = height[2];
        QVERIFY2(line >= 255 && line <= 300, qPrintable(QString::number(line)));
        QCOMPARE(height[5], line);
        QCOMPARE(height[6], 3 * 255);
        // 400 characters take 4 lines of the 21 cm column (LibreOffice fits them in 4), 1600 about 14.
        QVERIFY2(height[3] >= 4 * 255 && height[3] <= 5 * 255, qPrintable(QString::number(height[3])));
        QVERIFY2(height[4] >= 13 * 255 && height[4] <= 17 * 255, qPrintable(QString::number(height[4])));

        xls::Workbook again = xls::Workbook::open(out);
        again.setText(0, 1, 4, words.left(400)); // the header row's height is set by hand
        again.setText(0, 2, 4, words.left(400));
        again.setText(0, 6, 4, QStringLiteral("коротко"));
        again.save();
        QMap<int, int> before = height;
        for (const QString& l : layoutLines(out, QStringLiteral("height")))
            height[l.section(u'\t', 0, 0).toInt()] = l.section(u'\t', 1, 1).toInt();
        QCOMPARE(height[1], before[1]);
        QCOMPARE(height[2], before[3]);
        QCOMPARE(height[6], before[6]);
    }
};

QTEST_MAIN(TestInterop)
#include "tst_interop.moc"
