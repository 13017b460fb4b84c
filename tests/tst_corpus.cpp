// Real-world workbooks: each opens or is refused with a clear error; for each that opens, one
// text cell set and saved reads back with every other value unchanged (engine, xlrd, LibreOffice).
#include "fixtures.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QDate>
#include <QDir>
#include <QTest>

class TestCorpus : public QObject {
    Q_OBJECT
    const QDir corpus{QStringLiteral(BRANTOVEL_CORPUS_DIR)};
    QByteArray absent; // why the corpus tests skip, empty when the corpus is there
    QTemporaryDir tmp;
    int opened = 0, refused = 0;
    QStringList edited;   // base names of the workbooks edited and saved into tmp
    QStringList problems; // what went wrong on the way, one line a workbook

    // Opens the workbook, sets one text cell on its first worksheet and saves it into tmp; then
    // compares every other cell with the original.
    void editOne(const QString& f)
    {
        const QString path = corpus.filePath(f);
        xls::Workbook wb;
        try {
            wb = xls::Workbook::open(path);
            ++opened;
        } catch (const xls::Error& e) {
            ++refused;
            if (!e.message().contains(QDir::toNativeSeparators(path)))
                problems << f + QStringLiteral(": the refusal does not name the file: ") + e.message();
            return;
        }
        int sheet = -1;
        for (int s = 0; s < wb.sheetCount() && sheet < 0; ++s)
            if (wb.isWorksheet(s))
                sheet = s;
        if (sheet < 0)
            return;
        const int row = wb.lastUsedRow(sheet) + 1 <= 65536 ? wb.lastUsedRow(sheet) + 1 : 1;
        wb.setText(sheet, row, 2, mark());
        const QString base = QFileInfo(f).completeBaseName();
        const QString saved = tmp.filePath(base + QStringLiteral(".xls"));
        try {
            wb.save(saved);
        } catch (const xls::Error& e) {
            // Refusing to write is allowed (a shared formula in the way); it must say why.
            if (e.message().isEmpty())
                problems << f + QStringLiteral(": the save was refused without a reason");
            return;
        }
        try {
            const xls::Workbook back = xls::Workbook::open(saved);
            if (back.cell(sheet, row, 2).text != mark()) {
                problems << f + QStringLiteral(": the edited cell reads back as ") + back.cell(sheet, row, 2).text;
                return;
            }
            const xls::Workbook orig = xls::Workbook::open(path);
            for (int s = 0; s < orig.sheetCount(); ++s)
                for (int r = 1; r <= orig.lastUsedRow(s); ++r)
                    for (int c = 1; c <= 256; ++c) {
                        const xls::CellValue a = orig.cell(s, r, c), b = back.cell(s, r, c);
                        if (s == sheet && r == row && c == 2)
                            continue;
                        if (a.type != b.type || a.text != b.text ||
                            (a.number != b.number && !(std::isnan(a.number) && std::isnan(b.number)))) {
                            problems << QStringLiteral("%1: cell %2,%3,%4 changed").arg(f).arg(s).arg(r).arg(c);
                            return;
                        }
                    }
        } catch (const xls::Error& e) {
            problems << f + QStringLiteral(": the saved copy does not open: ") + e.message();
            return;
        }
        edited << base;
    }

    static QString mark() { return QStringLiteral("Перевірено ✓"); }

private slots:
    // Every test here reads what this step made, so that each of them can also run alone.
    void initTestCase()
    {
        const QStringList files = corpus.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name);
        if (files.isEmpty()) {
            absent = "no workbooks in the real-world corpus folder " +
                     QDir::toNativeSeparators(QDir::cleanPath(corpus.path())).toUtf8() +
                     " (../shared/corpus/xls beside the project)";
            return;
        }
        for (const QString& f : files)
            editOne(f);
    }

    void openEditSave()
    {
        if (!absent.isEmpty())
            QSKIP(absent.constData());
        qInfo("corpus: %d opened, %d refused, %lld edited and saved", opened, refused, qlonglong(edited.size()));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QVERIFY(edited.size() > 100);
    }

    void xlrdAgrees()
    {
        if (!absent.isEmpty())
            QSKIP(absent.constData());
        int compared = 0;
        for (const QString& base : std::as_const(edited)) {
            bool okBefore = false, okAfter = false;
            const QByteArray before = fixtures::runPython(QStringLiteral("read_cells.py"),
                                                          {corpus.filePath(base + QStringLiteral(".xls"))}, &okBefore);
            if (!okBefore)
                continue; // xlrd cannot read the original either
            const QByteArray after = fixtures::runPython(QStringLiteral("read_cells.py"),
                                                         {tmp.filePath(base + QStringLiteral(".xls"))}, &okAfter);
            QVERIFY2(okAfter, qPrintable(base));
            QStringList a = QString::fromUtf8(before).split(u'\n', Qt::SkipEmptyParts);
            QStringList b = QString::fromUtf8(after).split(u'\n', Qt::SkipEmptyParts);
            for (const QString& l : a)
                b.removeOne(l);
            QVERIFY2(b.size() == 1 && b[0].endsWith(u'\t' + mark()),
                     qPrintable(base + QStringLiteral(": ") + b.join(u'|')));
            ++compared;
        }
        QVERIFY(compared > 80);
    }

    void libreOfficeAgrees()
    {
        if (!absent.isEmpty())
            QSKIP(absent.constData());
        const QString out = tmp.filePath(QStringLiteral("csv"));
        const QString origDir = tmp.filePath(QStringLiteral("orig"));
        QDir().mkpath(out);
        QDir().mkpath(origDir);
        QStringList files;
        for (const QString& base : std::as_const(edited)) {
            files << tmp.filePath(base + QStringLiteral(".xls"));
            QFile::copy(corpus.filePath(base + QStringLiteral(".xls")),
                        origDir + QStringLiteral("/orig-") + base + QStringLiteral(".xls"));
            files << origDir + QStringLiteral("/orig-") + base + QStringLiteral(".xls");
        }
        QVERIFY(fixtures::convertToCsv(files, out));
        int compared = 0;
        for (const QString& base : std::as_const(edited)) {
            const auto before = fixtures::csvSheets(out, QStringLiteral("orig-") + base);
            const auto after = fixtures::csvSheets(out, base);
            if (before.isEmpty())
                continue; // LibreOffice could not read the original
            QCOMPARE(after.keys(), before.keys());
            const xls::Workbook orig = xls::Workbook::open(corpus.filePath(base + QStringLiteral(".xls")));
            QStringList differing;
            for (auto it = after.cbegin(); it != after.cend(); ++it)
                for (const QString& d : fixtures::csvDifferences(before.value(it.key()), it.value())) {
                    // LibreOffice recalculates NOW() on load: such cells show the moment of conversion.
                    const int r = d.section(u',', 0, 0).toInt() - 1, c = d.section(u',', 1).toInt() - 1;
                    const QString today = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
                    if (before.value(it.key()).value(r).value(c).startsWith(today) &&
                        it.value().value(r).value(c).startsWith(today))
                        continue;
                    // A damaged string table (a wrong count) hid texts from LibreOffice that the saved
                    // file shows: the text must be the one the engine reads.
                    if (before.value(it.key()).value(r).value(c).isEmpty()) {
                        int sheetIndex = -1;
                        for (int k = 0; k < orig.sheetCount(); ++k)
                            if (orig.sheetName(k) == it.key())
                                sheetIndex = k;
                        const xls::CellValue v = orig.cell(sheetIndex, r + 1, c + 1);
                        if (v.type == xls::CellType::Text && v.text == it.value().value(r).value(c))
                            continue;
                    }
                    differing << it.key() + QLatin1Char(':') + d;
                }
            QVERIFY2(differing.size() == 1, qPrintable(base + QStringLiteral(": ") + differing.join(u' ')));
            ++compared;
        }
        QVERIFY(compared > 80);
    }
};

QTEST_MAIN(TestCorpus)
#include "tst_corpus.moc"
