#include "bench/genreport.h"
#include "fixtures.h"
#include "sheet/locale.h"
#include "sheet/valuetext.h"
#include "structure.h"
#include "xls/book/layout.h"
#include "xls/book/readback.h"
#include "xls/cfb/compoundfile.h"
#include "xls/crypt/workbookcipher.h"
#include "xls/error.h"
#include "xls/savefile.h"
#include "xls/workbook.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cerrno>

using xls::CellType;
using xls::ErrorCode;
using xls::Workbook;

namespace {

QString fixture(const char* name)
{
    return QDir(QStringLiteral(BRANTOVEL_FIXTURES_DIR)).filePath(QString::fromLatin1(name));
}
QString corpus(const char* name)
{
    return QDir(QStringLiteral(BRANTOVEL_CORPUS_DIR)).filePath(QString::fromLatin1(name));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// What the structure walker finds wrong with a saved workbook's stream positions.
QString structureFaults(const QString& path)
{
    return fixtures::structureProblems(path).mid(0, 8).join(u'\n');
}

// An Excel-written workbook of the shared corpus with INDEX, DBCELL and EXTSST records on many
// sheets and SST CONTINUE records, edited in its first worksheet; empty when the corpus is absent.
QString savedCorpusWorkbook(const char* name, const QString& out)
{
    if (!QFile::exists(corpus(name)))
        return {};
    Workbook wb = Workbook::open(corpus(name));
    int sheet = 0;
    while (!wb.isWorksheet(sheet))
        ++sheet;
    wb.setText(sheet, wb.lastUsedRow(sheet) + 1, 2, QStringLiteral("Перевірено"));
    wb.setNumber(sheet, 2, 3, 12.5);
    wb.save(out);
    return out;
}

// Every cell of every sheet equal, except the listed (sheet, row, col) cells.
void compareAllCells(const Workbook& a, const Workbook& b, const QList<std::tuple<int, int, int>>& except = {})
{
    QCOMPARE(b.sheetCount(), a.sheetCount());
    for (int s = 0; s < a.sheetCount(); ++s) {
        QCOMPARE(b.sheetName(s), a.sheetName(s));
        const int last = std::max(a.lastUsedRow(s), b.lastUsedRow(s));
        for (int r = 1; r <= last; ++r)
            for (int c = 1; c <= 256; ++c) {
                if (except.contains({s, r, c}))
                    continue;
                const xls::CellValue x = a.cell(s, r, c), y = b.cell(s, r, c);
                if (x.type != y.type || x.text != y.text || x.code != y.code ||
                    (x.number != y.number && !(std::isnan(x.number) && std::isnan(y.number))))
                    QFAIL(qPrintable(QStringLiteral("sheet %1 cell %2,%3 changed").arg(s).arg(r).arg(c)));
            }
    }
}

// The workbook stream of a compound file.
QByteArray workbookStream(const QByteArray& file)
{
    const xls::CompoundFile cf = xls::CompoundFile::parse(file, QString());
    const std::optional<int> entry = cf.findRootStream(QStringLiteral("Workbook"));
    if (!entry)
        return {};
    // A deep copy: the stream's data may refer to `file`, which is gone when this returns.
    const QByteArray& data = cf.streamData(*entry);
    return QByteArray(data.constData(), data.size());
}

// The FILEPASS body of a workbook stream (the record follows the globals' BOF), empty without one.
QByteArray filePass(const QByteArray& stream)
{
    for (qsizetype pos = 0; pos + 4 <= stream.size();) {
        const quint16 type = qFromLittleEndian<quint16>(stream.constData() + pos);
        const quint16 len = qFromLittleEndian<quint16>(stream.constData() + pos + 2);
        if (type == 0x002F)
            return stream.mid(pos + 4, len);
        if (type == 0x000A) // EOF of the globals
            break;
        pos += 4 + len;
    }
    return {};
}

} // namespace

class TestXls : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void readsLibreOfficeValues()
    {
        const Workbook wb = Workbook::open(fixture("lo-values.xls"));
        QCOMPARE(wb.sheetCount(), 2);
        QCOMPARE(wb.sheetName(0), QStringLiteral("Значення"));
        QCOMPARE(wb.cell(0, 1, 4).number, 4.5);
        QCOMPARE(wb.cell(0, 1, 6).number, 123456789012.0);
        QCOMPARE(wb.cell(0, 2, 1).text, QStringLiteral("Привіт"));
        QCOMPARE(wb.cell(0, 2, 3).type, CellType::Empty);
        QCOMPARE(wb.cell(0, 3, 1).type, CellType::DateTime);
        QCOMPARE(wb.cell(0, 4, 1).number, 3.0); // a formula's cached result
        QCOMPARE(wb.cell(0, 4, 3).type, CellType::Error);
        QCOMPARE(xls::errorCodeText(wb.cell(0, 4, 3).code), QStringLiteral("#DIV/0!"));
        QCOMPARE(xls::errorCodeText(wb.cell(0, 4, 4).code), QStringLiteral("#N/A"));
        QCOMPARE(wb.cell(0, 5, 1).text.size(), 13 * 800);
        QCOMPARE(wb.lastUsedRow(0), 9); // a formatted blank cell counts
        QCOMPARE(wb.lastUsedRow(1), 1);
        QCOMPARE(wb.cell(0, 70000, 1).type, CellType::Empty);
    }

    void valueTexts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("comma");
        QTest::addColumn<QString>("point");
        QTest::newRow("number") << "lo-values.xls" << 1 << 4 << "4,5"
                                << "4.5";
        QTest::newRow("negative") << "lo-values.xls" << 1 << 5 << "-0,25"
                                  << "-0.25";
        QTest::newRow("date at midnight") << "lo-values.xls" << 3 << 1 << "09.12.2026"
                                          << "12/9/2026";
        QTest::newRow("date and time") << "lo-values.xls" << 3 << 2 << "01.03.2026 14:05:09"
                                       << "3/1/2026 2:05:09 PM";
        QTest::newRow("xlwt date 1900") << "xlwt-values.xls" << 2 << 1 << "31.01.2026"
                                        << "1/31/2026";
        QTest::newRow("xlwt date 1904") << "xlwt-1904.xls" << 2 << 1 << "31.01.2026"
                                        << "1/31/2026";
        QTest::newRow("xlwt time 1904") << "xlwt-1904.xls" << 2 << 2 << "31.01.2026 08:30:00"
                                        << "1/31/2026 8:30:00 AM";
        QTest::newRow("boolean") << "xlwt-values.xls" << 2 << 3 << "TRUE"
                                 << "TRUE";
    }
    void valueTexts()
    {
        QFETCH(QString, file);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, comma);
        QFETCH(QString, point);
        const Workbook wb = Workbook::open(QDir(QStringLiteral(BRANTOVEL_FIXTURES_DIR)).filePath(file));
        QCOMPARE(sheet::valueText(wb.cell(0, row, col), sheet::Locale::comma(), wb.dateMode1904()), comma);
        QCOMPARE(sheet::valueText(wb.cell(0, row, col), sheet::Locale::point(), wb.dateMode1904()), point);
    }

    void errorValueFailsRead()
    {
        const Workbook wb = Workbook::open(fixture("lo-values.xls"));
        QVERIFY_THROWS_EXCEPTION(sheet::CellReadError, sheet::valueText(wb.cell(0, 4, 4), sheet::Locale::comma()));
    }

    void editsKeepEverythingElse_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::newRow("inside a number run") << 1 << 3 << "всередині";
        QTest::newRow("first of a run") << 1 << 1 << "перша";
        QTest::newRow("last of a run") << 1 << 6 << "остання";
        QTest::newRow("replace text") << 2 << 1 << "нове";
        QTest::newRow("empty cell in a row") << 2 << 3 << "дірка";
        QTest::newRow("formula") << 4 << 1 << "замість формули";
        QTest::newRow("formatted blank") << 9 << 1 << "на жовтому";
        QTest::newRow("below the used range") << 400 << 30 << "далеко";
        QTest::newRow("long Cyrillic text") << 12 << 2 << QString(9000, QChar(u'Ж'));
        QTest::newRow("empty text") << 2 << 2 << "";
        QTest::newRow("last row and column") << 65536 << 256 << "кінець";
    }
    void editsKeepEverythingElse()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        const Workbook original = Workbook::open(fixture("lo-values.xls"));
        Workbook edited = Workbook::open(fixture("lo-values.xls"));
        edited.setText(0, row, col, text);
        const QString out = tmp.filePath(QStringLiteral("edit.xls"));
        edited.save(out);
        QCOMPARE(structureFaults(out), QString());
        const Workbook back = Workbook::open(out);
        QCOMPARE(back.cell(0, row, col).type, CellType::Text);
        QCOMPARE(back.cell(0, row, col).text, text);
        QCOMPARE(back.lastUsedRow(0), std::max(9, row));
        compareAllCells(original, back, {{0, row, col}});
    }

    void manyEditsAndSecondSave()
    {
        Workbook wb = Workbook::open(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")));
        for (int r = 7; r < 1500; ++r)
            for (int c = 1; c <= 14; ++c)
                wb.setText(1, r, c, QStringLiteral("%1-%2").arg(r).arg(c));
        wb.setNumber(2, 7, 7, 1234.5);
        const QString out = tmp.filePath(QStringLiteral("many.xls"));
        wb.save(out);
        QCOMPARE(structureFaults(out), QString());
        Workbook back = Workbook::open(out);
        QCOMPARE(back.lastUsedRow(1), 1499);
        QCOMPARE(back.cell(1, 1000, 14).text, QStringLiteral("1000-14"));
        QCOMPARE(back.cell(2, 7, 7).number, 1234.5);
        back.setText(1, 3, 1, QStringLiteral("друге збереження"));
        back.save(out);
        QCOMPARE(structureFaults(out), QString());
        const Workbook again = Workbook::open(out);
        QCOMPARE(again.cell(1, 3, 1).text, QStringLiteral("друге збереження"));
        QCOMPARE(again.cell(1, 1499, 1).text, QStringLiteral("1499-1"));
    }

    void unchangedWorkbookSavesSameBytes()
    {
        const Workbook wb = Workbook::open(fixture("lo-values.xls"));
        QCOMPARE(wb.serialize(), readAll(fixture("lo-values.xls")));
    }

    void rejects_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("code");
        QTest::newRow("missing") << "missing" << int(ErrorCode::NotFound);
        QTest::newRow("folder") << "folder" << int(ErrorCode::IsFolder);
        QTest::newRow("empty") << "empty" << int(ErrorCode::Empty);
        QTest::newRow("xlsx renamed") << "xlsx" << int(ErrorCode::OoxmlRenamed);
        QTest::newRow("other ZIP archive") << "zip" << int(ErrorCode::ZipArchive);
        QTest::newRow("html renamed") << "html" << int(ErrorCode::HtmlRenamed);
        QTest::newRow("csv renamed") << "csv" << int(ErrorCode::TextRenamed);
        QTest::newRow("XML Spreadsheet 2003") << "xml" << int(ErrorCode::XmlRenamed);
        // Saved by LibreOffice in other formats, each named .xls.
        QTest::newRow("LibreOffice .ods") << "kind-ods.xls" << int(ErrorCode::OpenDocument);
        QTest::newRow("LibreOffice .fods") << "kind-fods.xls" << int(ErrorCode::OpenDocument);
        QTest::newRow("LibreOffice PDF") << "kind-pdf.xls" << int(ErrorCode::Pdf);
        QTest::newRow("LibreOffice HTML") << "kind-html.xls" << int(ErrorCode::HtmlRenamed);
        QTest::newRow("LibreOffice CSV") << "kind-csv.xls" << int(ErrorCode::TextRenamed);
        QTest::newRow("LibreOffice .xlsx") << "kind-xlsx.xls" << int(ErrorCode::OoxmlRenamed);
        QTest::newRow(".xlsx with a password") << "encrypted-xlsx" << int(ErrorCode::OoxmlEncrypted);
        QTest::newRow("truncated header") << "truncated-header" << int(ErrorCode::Truncated);
        QTest::newRow("truncated body") << "truncated-body" << int(ErrorCode::Truncated);
        QTest::newRow("random bytes") << "random" << int(ErrorCode::NotCompoundFile);
        QTest::newRow("password protected") << "encrypted" << int(ErrorCode::Encrypted);
        QTest::newRow("Excel 95") << "biff5" << int(ErrorCode::OldFormat);
        QTest::newRow("cyclic directory chain") << "cycle" << int(ErrorCode::Corrupt);
        QTest::newRow("absurd FAT count") << "fatcount" << int(ErrorCode::Corrupt);
        QTest::newRow("absurd stream size") << "streamsize" << -1;
    }
    void rejects()
    {
        QFETCH(QString, setup);
        QFETCH(int, code);
        const QString path = tmp.filePath(setup + QStringLiteral(".xls"));
        const QByteArray good = readAll(fixture("lo-values.xls"));
        if (setup == QStringLiteral("folder"))
            QDir(tmp.path()).mkdir(setup + QStringLiteral(".xls"));
        else if (setup == QStringLiteral("empty"))
            writeAll(path, {});
        else if (setup == QStringLiteral("xlsx"))
            writeAll(path, QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + "[Content_Types].xml" + QByteArray(200, 'x'));
        else if (setup == QStringLiteral("zip"))
            writeAll(path, QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + "photo.jpg" + QByteArray(200, 'x'));
        else if (setup == QStringLiteral("xml"))
            writeAll(path,
                     "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">");
        else if (setup.startsWith(QStringLiteral("kind-")))
            QFile::copy(fixture(qPrintable(setup)), path);
        else if (setup == QStringLiteral("encrypted-xlsx")) {
            // A .xlsx with a password to open is a compound file whose package is the stream
            // "EncryptedPackage": rename the workbook stream's directory entry.
            QByteArray b = good;
            const QByteArray from = QStringLiteral("Workbook").toUtf8(),
                             to = QStringLiteral("EncryptedPackage").toUtf8();
            QByteArray wide, wideTo;
            for (char c : from)
                wide += c, wide += '\0';
            for (char c : to)
                wideTo += c, wideTo += '\0';
            const qsizetype at = b.indexOf(wide);
            QVERIFY(at > 0);
            b.replace(at, wideTo.size(), wideTo);
            qToLittleEndian<quint16>(quint16(wideTo.size() + 2), b.data() + at + 64);
            writeAll(path, b);
        } else if (setup == QStringLiteral("html"))
            writeAll(path, "\xEF\xBB\xBF<html><body><table><tr><td>1</td></tr></table></body></html>");
        else if (setup == QStringLiteral("csv"))
            writeAll(path, "a;b;c\n1;2;3\n");
        else if (setup == QStringLiteral("truncated-header"))
            writeAll(path, good.left(300));
        else if (setup == QStringLiteral("truncated-body"))
            writeAll(path, good.left(good.size() / 2));
        else if (setup == QStringLiteral("random")) {
            QByteArray junk(4000, '\0');
            for (int i = 0; i < junk.size(); ++i)
                junk[i] = char((i * 7919 + 13) & 0xFF);
            writeAll(path, junk);
        } else if (setup == QStringLiteral("encrypted"))
            QFile::copy(fixture("password.xls"), path);
        else if (setup == QStringLiteral("biff5"))
            QFile::copy(fixture("excel95.xls"), path);
        else if (setup == QStringLiteral("cycle")) {
            // Point the directory's first sector at itself in the allocation table.
            QByteArray b = good;
            const quint32 dirStart = qFromLittleEndian<quint32>(b.constData() + 0x30);
            const quint32 fat0 = qFromLittleEndian<quint32>(b.constData() + 0x4C);
            qToLittleEndian<quint32>(dirStart, b.data() + 512 * (fat0 + 1) + 4 * dirStart);
            writeAll(path, b);
        } else if (setup == QStringLiteral("fatcount")) {
            QByteArray b = good;
            qToLittleEndian<quint32>(0x7FFFFFFF, b.data() + 0x2C);
            writeAll(path, b);
        } else if (setup == QStringLiteral("streamsize")) {
            // Every stream entry claims 2 GiB.
            QByteArray b = good;
            const quint32 dirStart = qFromLittleEndian<quint32>(b.constData() + 0x30);
            for (int e = 1; e < 4; ++e)
                qToLittleEndian<quint32>(0x7FFFFFFF, b.data() + 512 * (dirStart + 1) + 128 * e + 120);
            writeAll(path, b);
        }
        try {
            Workbook::open(path);
            QFAIL("the file was accepted");
        } catch (const xls::Error& e) {
            if (code >= 0)
                QCOMPARE(int(e.code()), code);
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
            QVERIFY2(fixtures::englishWords(e.message()).isEmpty(), qPrintable(e.message()));
            // A damaged file is described in plain words; the technical reason only follows in brackets.
            const QString plain = e.message().section(QStringLiteral("(Подробиці:"), 0, 0);
            QVERIFY2(!plain.contains(QStringLiteral("сектор")) && !plain.contains(QStringLiteral("ланцюж")),
                     qPrintable(e.message()));
        }
    }

    // A stream whose sectors are not in file order (as Excel leaves a file it edited) reads as the
    // same stream laid out in one run: the reader refers to a run in place and copies any other.
    void outOfOrderSectorsReadTheSame()
    {
        Workbook wb = Workbook::open(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")));
        wb.setText(1, 7, 1, QStringLiteral("рядок"));
        const QByteArray laid = wb.serialize(); // every large stream in one run of sectors
        QByteArray moved = laid;
        const char* h = laid.constData();
        auto sector = [&](uint32_t n) { return 512 + qsizetype(n) * 512; };
        auto fatSlot = [&](uint32_t n) { // the FAT entry of sector n (the header's FAT sectors suffice)
            return sector(qFromLittleEndian<quint32>(h + 0x4C + 4 * (n / 128))) + 4 * (n % 128);
        };
        const char* dir = h + sector(qFromLittleEndian<quint32>(h + 0x30));
        int e = 0;
        while (QString::fromUtf16(reinterpret_cast<const char16_t*>(dir + 128 * e)) != QStringLiteral("Workbook"))
            ++e;
        const quint32 first = qFromLittleEndian<quint32>(dir + 128 * e + 116);
        const quint32 count = (qFromLittleEndian<quint32>(dir + 128 * e + 120) + 511) / 512;
        QVERIFY(count > 6);
        // The chain first .. k-1, k+1, k, k+2 .. with sectors k and k+1 swapped in the file.
        const quint32 k = first + count / 2;
        qToLittleEndian<quint32>(k + 1, moved.data() + fatSlot(k - 1));
        qToLittleEndian<quint32>(k, moved.data() + fatSlot(k + 1));
        qToLittleEndian<quint32>(k + 2, moved.data() + fatSlot(k));
        moved.replace(sector(k), 512, laid.mid(sector(k + 1), 512));
        moved.replace(sector(k + 1), 512, laid.mid(sector(k), 512));
        QVERIFY(moved != laid);
        const Workbook a = Workbook::fromBytes(laid, QStringLiteral("a.xls"));
        Workbook b = Workbook::fromBytes(moved, QStringLiteral("b.xls"));
        compareAllCells(a, b);
        b.setText(1, 8, 1, QStringLiteral("ще"));
        const Workbook back = Workbook::fromBytes(b.serialize(), QStringLiteral("c.xls"));
        QCOMPARE(back.cell(1, 8, 1).text, QStringLiteral("ще"));
        compareAllCells(a, back, {{1, 8, 1}});
    }

    // Cells belong to the row their record names, whatever order the records come in, and of two
    // records for one cell the later one counts: a row's cells that come back after a later row,
    // and a repeated cell, read as such (the file stays writable, and is written in order).
    void cellsReadByTheirRowsInAnyOrder()
    {
        Workbook wb = Workbook::open(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")));
        const Workbook original = Workbook::open(wb.path());
        wb.setText(1, 301, 1, QStringLiteral("А"));
        wb.setText(1, 302, 1, QStringLiteral("Б"));
        wb.setText(1, 302, 2, QStringLiteral("В"));
        QByteArray bytes = wb.serialize(); // the workbook stream lies in one run of the file
        // The LABELSST record of (0-based) row, col: type, length, row, column.
        auto labelAt = [&](int row, int col) {
            QByteArray head("\xFD\x00\x0A\x00", 4);
            head += char(row & 0xFF) + QByteArray(1, char(row >> 8)) + char(col) + QByteArray(1, '\0');
            const qsizetype at = bytes.indexOf(head);
            return at >= 0 && bytes.indexOf(head, at + 1) < 0 ? at : -1;
        };
        const qsizetype a = labelAt(300, 0), b = labelAt(301, 0), c = labelAt(301, 1);
        QVERIFY(a > 0 && b > a && c > b);
        // Row 302's first cell before row 301's; row 302's second cell made a repeat of its first.
        const QByteArray recA = bytes.mid(a, 14), recB = bytes.mid(b, 14);
        bytes.replace(a, 14, recB);
        bytes.replace(b, 14, recA);
        bytes[c + 6] = 0;
        Workbook moved = Workbook::fromBytes(bytes, QStringLiteral("moved.xls"));
        QCOMPARE(moved.cell(1, 301, 1).text, QStringLiteral("А"));
        QCOMPARE(moved.cell(1, 302, 1).text, QStringLiteral("В"));
        QCOMPARE(moved.cell(1, 302, 2).type, CellType::Empty);
        compareAllCells(original, moved, {{1, 301, 1}, {1, 302, 1}, {1, 302, 2}});
        moved.setNumber(1, 303, 1, 7);
        const Workbook back = Workbook::fromBytes(moved.serialize(), QStringLiteral("back.xls"));
        QCOMPARE(back.cell(1, 302, 1).text, QStringLiteral("В"));
        QCOMPARE(back.cell(1, 303, 1).number, 7.0);
        compareAllCells(moved, back, {{1, 303, 1}});
    }

    // Protected workbooks as LibreOffice saves them: encrypted with the default password. They are
    // read, and saved encrypted again with the same key, so they open as before.
    void encryptedWorkbookStaysEncrypted_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("before");
        QTest::newRow("structure") << "protected-structure.xls" << 0 << 1 << 1 << "Привіт";
        QTest::newRow("structure with a password") << "protected-structure-password.xls" << 0 << 1 << 1 << "Привіт";
        QTest::newRow("structure and every sheet") << "protected-all.xls" << 1 << 1 << 1 << "";
        QTest::newRow("report") << "zvit-protected.xls" << 0 << 13 << 19 << "";
        QTest::newRow("CryptoAPI, 128-bit key") << "cryptoapi-128.xls" << 0 << 2 << 1 << "Привіт";
        QTest::newRow("CryptoAPI, 40-bit key") << "cryptoapi-40.xls" << 0 << 2 << 1 << "Привіт";
    }
    void encryptedWorkbookStaysEncrypted()
    {
        QFETCH(QString, name);
        QFETCH(int, sheet);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, before);
        const QString source = fixture(qPrintable(name));
        const QByteArray original = readAll(source);
        const QByteArray pass = filePass(workbookStream(original));
        QVERIFY(!pass.isEmpty());
        Workbook wb = Workbook::open(source);
        QCOMPARE(wb.cell(sheet, row, col).text, before);
        QCOMPARE(wb.serialize(), original); // unchanged: the same bytes
        wb.setText(sheet, row, col, QStringLiteral("09.12.2026 10:30:15"));
        const QString out = tmp.filePath(QStringLiteral("enc-") + name);
        wb.save(out);
        const QByteArray saved = readAll(out);
        // The same FILEPASS (scheme, salt and verifier), so the default password still opens it, and
        // no plain record body after it.
        const QByteArray stream = workbookStream(saved);
        QCOMPARE(filePass(stream), pass);
        QVERIFY(!stream.contains(QStringLiteral("Привіт").toUtf8()));
        const Workbook back = Workbook::open(out);
        QCOMPARE(back.cell(sheet, row, col).text, QStringLiteral("09.12.2026 10:30:15"));
        compareAllCells(Workbook::open(source), back, {{sheet, row, col}});
    }

    // The key derivation checked against workbooks Excel encrypted with a password of their own
    // ("password"): CryptoAPI RC4 with a 40-bit and a 128-bit key. Without it the workbook is refused.
    void decryptsCryptoApiWorkbooksOfExcel_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("40-bit key") << "edr-Test_git_issue_477_crypto_keylength40.xls";
        QTest::newRow("128-bit key") << "edr-Test_git_issue_242_std_rc4_pwd_password.xls";
    }
    void decryptsCryptoApiWorkbooksOfExcel()
    {
        QFETCH(QString, name);
        const QString path = corpus(qPrintable(name));
        if (!QFile::exists(path))
            QSKIP("the shared corpus (../shared/corpus/xls) is absent");
        QByteArray stream = workbookStream(readAll(path));
        const QByteArray pass = filePass(stream);
        xls::crypt::FilePassKey key;
        QCOMPARE(
            xls::crypt::FilePassKey::open(pass.constData(), uint32_t(pass.size()), QStringLiteral("password"), &key),
            xls::crypt::FilePassKey::Result::Opened);
        QCOMPARE(key.scheme(), xls::crypt::Scheme::CryptoApiRc4);
        QVERIFY(!stream.contains("Sheet1"));
        xls::crypt::encryptWorkbookStream(stream, key, path); // the same key stream decrypts
        QVERIFY(stream.contains("Sheet1"));                   // a sheet name in BOUNDSHEET
        try {
            Workbook::open(path);
            QFAIL("a workbook with a password of its own was opened");
        } catch (const xls::Error& e) {
            QCOMPARE(e.code(), ErrorCode::Encrypted);
        }
    }

    // A stamp written again takes the place of the old one in the string table, which only S13 used.
    void restampKeepsTheStringTable()
    {
        const QString out = tmp.filePath(QStringLiteral("restamp.xls"));
        QVERIFY(QFile::copy(QStringLiteral(BRANTOVEL_DATA_DIR "/zvit.xls"), out));
        QVERIFY(QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        qsizetype size = 0;
        for (int k = 0; k < 3; ++k) {
            Workbook wb = Workbook::open(out);
            wb.setText(0, 13, 19, QStringLiteral("09.12.2026 10:30:1%1").arg(k));
            wb.save(out);
            const qsizetype now = workbookStream(readAll(out)).size();
            if (k > 0)
                QCOMPARE(now, size);
            size = now;
            QCOMPARE(structureFaults(out), QString());
        }
        QCOMPARE(Workbook::open(out).cell(0, 13, 19).text, QStringLiteral("09.12.2026 10:30:12"));
    }

    // The printed page header goes into the sheet's HEADER record, replacing the one the file has or
    // standing where it would; it reads back, and every cell stays as it was.
    void pageHeaderIsSetAndReadBack_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("codes");
        QTest::newRow("LibreOffice's book, Cyrillic")
            << fixture("lo-values.xls") << QStringLiteral("&LЗвіт: zvit.xls&CКод 23456719&RПомилок: 7");
        QTest::newRow("xlwt's book, one byte per character") << fixture("xlwt-values.xls") << QStringLiteral("&CR&&D");
        QTest::newRow("the log template") << QStringLiteral(BRANTOVEL_DATA_DIR "/elog.xls")
                                          << QStringLiteral("&L%1&R09.12.2026").arg(QString(200, QChar(u'ї')));
        QTest::newRow("set twice, the second wins") << fixture("lo-values.xls") << QString();
    }
    void pageHeaderIsSetAndReadBack()
    {
        QFETCH(QString, from);
        QFETCH(QString, codes);
        const QString path = tmp.filePath(QStringLiteral("header.xls"));
        Workbook wb = Workbook::open(from);
        if (codes.isEmpty()) {
            wb.setPageHeader(0, QStringLiteral("&Cперший"));
            const QString once = tmp.filePath(QStringLiteral("header-once.xls"));
            wb.save(once);
            wb = Workbook::open(once);
            QCOMPARE(wb.pageHeader(0), QStringLiteral("&Cперший"));
            codes = QStringLiteral("&Cдругий");
        }
        wb.setPageHeader(0, codes);
        wb.save(path);
        const Workbook before = Workbook::open(from), back = Workbook::open(path);
        QCOMPARE(back.pageHeader(0), codes);
        for (int s = 0; s < before.sheetCount(); ++s) {
            QCOMPARE(back.lastUsedRow(s), before.lastUsedRow(s));
            for (int r = 1; r <= before.lastUsedRow(s); ++r)
                for (int c = 1; c <= 30; ++c) {
                    const xls::CellValue x = before.cell(s, r, c), y = back.cell(s, r, c);
                    QVERIFY2(x.type == y.type && x.text == y.text && (x.number == y.number || x.number != x.number),
                             qPrintable(QStringLiteral("sheet %1 R%2C%3").arg(s).arg(r).arg(c)));
                }
        }
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.setPageHeader(0, QString(256, QChar(u'a'))));
    }

    // A save that fails says the file is unchanged only when there was one; a new file was not made.
    void failedSaveSaysWhatBecameOfTheFile()
    {
        Workbook wb = Workbook::open(fixture("lo-values.xls"));
        wb.setText(0, 1, 1, QStringLiteral("x"));
        const QString path = tmp.filePath(QStringLiteral("no-such-folder/new.xls"));
        try {
            wb.save(path);
            QFAIL("the save succeeded");
        } catch (const xls::Error& e) {
            QCOMPARE(e.code(), ErrorCode::WriteFailed);
            QVERIFY2(e.message().startsWith(
                         QStringLiteral("Не вдалося записати файл «%1»").arg(QDir::toNativeSeparators(path))) &&
                         e.message().contains(QStringLiteral("файл не створено")) &&
                         !e.message().contains(QStringLiteral("без змін")) &&
                         fixtures::englishWords(e.message()).isEmpty(),
                     qPrintable(e.message()));
        }
    }

    void failedSaveLeavesFileIntact_data()
    {
        QTest::addColumn<qint64>("after");
        QTest::addColumn<bool>("atCommit");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<bool>("existed");
        QTest::addColumn<QString>("says");
        const QString kept = QStringLiteral("файл залишився без змін");
        QTest::newRow("nothing written") << qint64(0) << false << 0 << true << kept;
        QTest::newRow("half written") << qint64(3000) << false << 0 << true << kept;
        QTest::newRow("rename fails") << qint64(-1) << true << 0 << true << kept;
        QTest::newRow("disk full") << qint64(3000) << false << int(ENOSPC) << true
                                   << QStringLiteral("не залишилося вільного місця; файл залишився без змін");
        QTest::newRow("disk full, new file") << qint64(3000) << false << int(ENOSPC) << false
                                             << QStringLiteral("не залишилося вільного місця; файл не створено");
        QTest::newRow("no permission") << qint64(0) << false << int(EACCES) << true
                                       << QStringLiteral("немає права запису");
        QTest::newRow("path too long") << qint64(-1) << true << int(ENAMETOOLONG) << false
                                       << QStringLiteral("шлях до файлу задовгий");
        QTest::newRow("read-only disk") << qint64(0) << false << int(EROFS) << true
                                        << QStringLiteral("диск доступний лише для читання");
    }
    void failedSaveLeavesFileIntact()
    {
        QFETCH(qint64, after);
        QFETCH(bool, atCommit);
        QFETCH(int, systemError);
        QFETCH(bool, existed);
        QFETCH(QString, says);
        const QString path = tmp.filePath(QStringLiteral("intact.xls"));
        QFile::remove(path);
        QFile::copy(fixture("lo-values.xls"), path);
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QByteArray before = readAll(path);
        Workbook wb = Workbook::open(path);
        wb.setText(0, 1, 1, QStringLiteral("x"));
        const QString target = existed ? path : tmp.filePath(QStringLiteral("intact-new.xls"));
        {
            xls::ScopedWriteFault fault(after, atCommit, systemError);
            try {
                wb.save(target);
                QFAIL("the save succeeded");
            } catch (const xls::Error& e) {
                QCOMPARE(e.code(), ErrorCode::WriteFailed);
                QVERIFY(e.message().contains(QDir::toNativeSeparators(target)));
                QVERIFY2(e.message().contains(says), qPrintable(e.message()));
                // The system's or Qt's English never reaches the user.
                QVERIFY2(fixtures::englishWords(e.message()).isEmpty(), qPrintable(e.message()));
                QVERIFY2(!QString(e.message())
                              .remove(QDir::toNativeSeparators(target))
                              .contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,}"))),
                         qPrintable(e.message()));
            }
        }
        QCOMPARE(readAll(path), before);
        QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("intact-new.xls"))));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).filter(QStringLiteral("intact")).size(), 1);
    }

    void editorLockFileStopsTheSave_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::newRow("Excel") << "~$book.xls";
        QTest::newRow("LibreOffice") << ".~lock.book.xls#";
    }
    void editorLockFileStopsTheSave()
    {
        QFETCH(QString, lock);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.xls"));
        QVERIFY(QFile::copy(fixture("lo-values.xls"), path));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        writeAll(dir.filePath(lock), "x");
        Workbook wb = Workbook::open(path);
        wb.setText(0, 1, 1, QStringLiteral("змінено"));
        try {
            wb.save(path);
            QFAIL("saved beside a lock file");
        } catch (const xls::Error& e) {
            QCOMPARE(e.code(), ErrorCode::LockedByEditor);
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(dir.filePath(lock))), qPrintable(e.message()));
        }
        QCOMPARE(readAll(path), readAll(fixture("lo-values.xls")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void readOnlyFileIsNotReplaced()
    {
        const QString path = tmp.filePath(QStringLiteral("readonly.xls"));
        QFile::copy(fixture("lo-values.xls"), path);
        QFile(path).setPermissions(QFileDevice::ReadOwner);
        Workbook wb = Workbook::open(path);
        wb.setText(0, 1, 1, QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.save());
        QCOMPARE(readAll(path), readAll(fixture("lo-values.xls")));
    }

    // Workbooks whose saving takes the long paths: a string table that runs into CONTINUE records,
    // a file over 7 MB whose allocation table needs DIFAT sectors, INDEX records on rebuilt and on
    // moved sheets, and DBCELL blocks with rows that have no cells.
    void savedPositionsAreRight_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("needs"); // a position kind the file must hold
        QTest::newRow("string table in CONTINUE records") << "strings"
                                                          << "EXTSST position";
        QTest::newRow("over 7 MB, DIFAT") << "large"
                                          << "DBCELL cell";
        QTest::newRow("Excel workbook, 11 sheets") << "edr-Test_git_issue_532_mulcells.xls"
                                                   << "INDEX DBCELL";
        QTest::newRow("Excel workbook, rows without cells") << "calamine-gh548_incorrect_sst_unique_count.xls"
                                                            << "INDEX DBCELL";
    }
    void savedPositionsAreRight()
    {
        QFETCH(QString, setup);
        QFETCH(QString, needs);
        const QString out = tmp.filePath(QStringLiteral("positions.xls"));
        if (setup == QStringLiteral("strings")) {
            Workbook wb = Workbook::open(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")));
            for (int r = 7; r < 1200; ++r)
                wb.setText(1 + r % 2, r, 3, QStringLiteral("Орендар № %1").arg(r));
            wb.save(out);
        } else if (setup == QStringLiteral("large")) {
            bench::generateReport(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")), out,
                                  5000, QDate(2026, 12, 9));
        } else if (savedCorpusWorkbook(qPrintable(setup), out).isEmpty()) {
            QSKIP("the corpus folder ../shared/corpus/xls is not beside the project");
        }
        const fixtures::StructureReport report = fixtures::checkStructure(readAll(out));
        QCOMPARE(report.problems.mid(0, 8).join(u'\n'), QString());
        QVERIFY(std::any_of(report.fields.begin(), report.fields.end(),
                            [&](const fixtures::PositionField& f) { return f.kind == needs; }));
        QVERIFY(report.sstContinues > 0);
        if (setup == QStringLiteral("large")) {
            QVERIFY(QFileInfo(out).size() > 7'000'000);
            QVERIFY(report.difatSectors > 0);
        }
    }

    // The read-back before a save takes the workbook stream through the new file's own header,
    // allocation table and directory: a fault in any of them, or in the bytes of an edited sheet,
    // stops the save. The file is given as its runs, so the check touches only what it reads.
    void readBackFindsAWrongFile_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* fault : {"none", "directory start", "directory size", "allocation table", "edited sheet"})
            QTest::newRow(fault) << QString::fromLatin1(fault);
    }
    void readBackFindsAWrongFile()
    {
        QFETCH(QString, fault);
        using namespace xls::book;
        const QString path = tmp.filePath(QStringLiteral("readback.xls"));
        bench::generateReport(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")), path, 300,
                              QDate(2026, 12, 9));
        const QByteArray bytes = readAll(path);
        const xls::CompoundFile cf = xls::CompoundFile::parse(bytes, path);
        Book book = readBook(cf, path);
        book.sheets[2].edits[editKey(9, 2)] = Edit{true, QStringLiteral("Перевірено"), 0};
        const NewStream stream = buildStream(book);
        const xls::FileImage image =
            cf.layOut(path, book.entry, stream.size(), [&](xls::FileImage& out) { out.append(stream.pieces()); });
        // The image with one little-endian u32 of the file changed; the run it falls in is copied.
        const QByteArray head = image.joined().left(512);
        auto sectorAt = [&](uint32_t n) { return 512 + qsizetype(n) * 512; };
        const qsizetype dirEntry = sectorAt(qFromLittleEndian<quint32>(head.constData() + 0x30)) + 128 * book.entry;
        const QByteArray whole = image.joined();
        const quint32 start = qFromLittleEndian<quint32>(whole.constData() + dirEntry + 116);
        qsizetype at = -1;
        quint32 value = 0;
        if (fault == QStringLiteral("directory start")) {
            at = dirEntry + 116, value = start + 1;
        } else if (fault == QStringLiteral("directory size")) {
            at = dirEntry + 120, value = quint32(stream.size() - 512);
        } else if (fault == QStringLiteral("allocation table")) {
            const qsizetype fatSector =
                sectorAt(qFromLittleEndian<quint32>(head.constData() + 0x4C + 4 * (start / 128)));
            at = fatSector + 4 * (start % 128) + 4 * 5, value = xls::CompoundFile::kEndOfChain; // cut after 6 sectors
        } else if (fault == QStringLiteral("edited sheet")) {
            at = sectorAt(start) + stream.sheets[2].first + 40;
            value = ~qFromLittleEndian<quint32>(whole.constData() + at);
        }
        xls::FileImage file;
        for (const xls::FileImage::Run& r : image.runs()) {
            if (at < 0 || quint64(at) < r.at || quint64(at) + 4 > r.at + r.size) {
                file.refer(r.data, r.size);
                continue;
            }
            QByteArray copy(r.data, qsizetype(r.size));
            qToLittleEndian<quint32>(value, copy.data() + (at - qsizetype(r.at)));
            file.keep(copy);
        }
        QCOMPARE(file.size(), image.size());
        bool failed = false;
        try {
            checkReadBack(book, file, stream);
        } catch (const xls::Error& e) {
            failed = e.message().contains(QStringLiteral("Перевірка нового файлу"));
        }
        QCOMPARE(failed, fault != QStringLiteral("none"));
    }

    // The walker must notice a wrong position of every kind the writer computes.
    void walkerFindsWrongPositions_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"BOUNDSHEET", "DBCELL row", "DBCELL cell", "EXTSST position", "EXTSST offset",
                                 "INDEX DBCELL", "INDEX DEFCOLWIDTH", "INDEX first row", "INDEX last row"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void walkerFindsWrongPositions()
    {
        QFETCH(QString, kind);
        const QString out = tmp.filePath(QStringLiteral("mutated.xls"));
        if (kind.startsWith(QStringLiteral("INDEX"))) {
            // The project's own workbooks come from writers that write no INDEX.
            if (savedCorpusWorkbook("edr-Test_git_issue_532_mulcells.xls", out).isEmpty())
                QSKIP("the corpus folder ../shared/corpus/xls is not beside the project");
        } else {
            Workbook wb = Workbook::open(QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")));
            for (int r = 7; r < 200; ++r)
                wb.setText(1, r, 3, QStringLiteral("Орендар № %1").arg(r));
            wb.save(out);
        }
        QByteArray bytes = readAll(out);
        const fixtures::StructureReport before = fixtures::checkStructure(bytes);
        QCOMPARE(before.problems.mid(0, 8).join(u'\n'), QString());
        const auto field = std::find_if(before.fields.begin(), before.fields.end(),
                                        [&](const fixtures::PositionField& f) { return f.kind == kind; });
        QVERIFY(field != before.fields.end());
        char* p = bytes.data() + field->filePos;
        if (field->size == 2)
            qToLittleEndian<quint16>(qFromLittleEndian<quint16>(p) + 1, p);
        else
            qToLittleEndian<quint32>(qFromLittleEndian<quint32>(p) + 1, p);
        const QStringList after = fixtures::checkStructure(bytes).problems;
        QVERIFY2(after.size() == 1 && after[0].contains(kind), qPrintable(after.join(u'\n')));
    }

    void limits()
    {
        Workbook wb = Workbook::open(fixture("lo-values.xls"));
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.setText(0, 65537, 1, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.setText(0, 1, 257, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.setText(0, 1, 1, QString(32768, u'x')));
        try {
            wb.setNumber(0, 1, 300, 1.0);
            QFAIL("a number was set outside the sheet");
        } catch (const xls::Error& e) {
            QCOMPARE(e.code(), ErrorCode::CellOutOfRange);
            QVERIFY2(e.message().contains(QStringLiteral("стовпець 300")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.setHyperlink(0, 1, 257, QStringLiteral("zvit.xls")));
        QVERIFY_THROWS_EXCEPTION(xls::Error, wb.setHyperlink(0, 1, 1, QString(1500, u'ж'), QString(501, u'я')));
        wb.setText(0, 1, 1, QString(32767, u'я'));
        wb.setHyperlink(0, 1, 1, QString(2000, u'ж')); // the longest link still fits its record
        const QString out = tmp.filePath(QStringLiteral("limits.xls"));
        wb.save(out);
        QCOMPARE(structureFaults(out), QString());
        QCOMPARE(Workbook::open(out).cell(0, 1, 1).text.size(), 32767);
    }
};

QTEST_MAIN(TestXls)
#include "tst_xls.moc"
