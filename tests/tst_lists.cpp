#include "check/lists.h"
#include "run/register.h"
#include "validate/validid.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using check::ListError;
using check::ReferenceLists;

namespace {

// An 8-digit code with a right check digit.
QString okpo(int first7)
{
    return QString::number(first7 * 10 + ValidID::GetControlDigit(first7)).rightJustified(8, u'0');
}

// The text in Windows-1251, each letter found by decoding every byte of the upper half.
QByteArray cp1251(const QString& text)
{
    QHash<QChar, char> code;
    for (int b = 0x80; b <= 0xFF; ++b)
        code.insert(check::decodeListLines(QByteArray(1, char(b))).value(0).front(), char(b));
    QByteArray out;
    for (const QChar c : text)
        out += c.unicode() < 0x80 ? char(c.unicode()) : code.value(c, '?');
    return out;
}

} // namespace

class TestLists : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private slots:
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QStringList two{QStringLiteral("ПЕЧЕРСЬКИЙ"), QStringLiteral("ОБОЛОНСЬКИЙ")};
        QTest::newRow("cp1251 CRLF")
            << QByteArray(
                   "\xCF\xC5\xD7\xC5\xD0\xD1\xDC\xCA\xC8\xC9\r\n\xCE\xC1\xCE\xCB\xCE\xCD\xD1\xDC\xCA\xC8\xC9\r\n")
            << two;
        QTest::newRow("utf8 LF") << two.join(u'\n').toUtf8() + "\n" << two;
        QTest::newRow("utf8 BOM CR") << QByteArray("\xEF\xBB\xBF") + two.join(u'\r').toUtf8() << two;
        QTest::newRow("no final break") << QByteArray("a\r\nb")
                                        << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("empty line kept") << QByteArray("a\n\nb\n")
                                         << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("trailing blank kept") << QByteArray("12345678 \r\n") << QStringList{QStringLiteral("12345678 ")};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(check::decodeListLines(bytes), lines);
    }

    void matching()
    {
        write(QStringLiteral("GUOZ.bin"), "12345678 \r\n2345678\r\n00123455\r\n00123455\r\n");
        ReferenceLists lists(dir.path());
        QVERIFY(!lists.IsCodeInList(QStringLiteral("GUOZ.bin"), QStringLiteral("12345678")));
        QVERIFY(!lists.IsCodeInList(QStringLiteral("GUOZ.bin"), QStringLiteral("02345678")));
        QVERIFY(lists.IsCodeInList(QStringLiteral("GUOZ.bin"), QStringLiteral("00123455")));
        QVERIFY_THROWS_EXCEPTION(ListError, lists.IsCodeInList(QStringLiteral("CMK.bin"), QStringLiteral("1")));
    }

    void pair()
    {
        write(QStringLiteral("ZFB.bin"), "11111111\r\n22222222\r\n");
        write(QStringLiteral("MAYNO.bin"), "22222222\r\n");
        ReferenceLists lists(dir.path());
        QVERIFY(lists.zfbNotMayno(QStringLiteral("11111111")));
        QVERIFY(!lists.zfbNotMayno(QStringLiteral("22222222")));
        QVERIFY(!lists.zfbNotMayno(QStringLiteral("33333333")));
        QFile::remove(dir.filePath(QStringLiteral("MAYNO.bin")));
        QVERIFY_THROWS_EXCEPTION(ListError, lists.zfbNotMayno(QStringLiteral("11111111")));
    }

    void problemsNameEachList()
    {
        QTemporaryDir own;
        for (const char* name : {"KYIV.bin", "ZFB.bin", "MAYNO.bin"}) {
            QFile f(own.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(own.path()).mkdir(QStringLiteral("CMK.bin")));
        ReferenceLists lists(own.path());
        auto described = [&] {
            QStringList out;
            for (const check::ListProblem& p : lists.problems())
                out << p.file + (p.missing ? QStringLiteral(" missing") : QStringLiteral(" unreadable"));
            return out;
        };
        QCOMPARE(described(), (QStringList{QStringLiteral("GUOZ.bin missing"), QStringLiteral("CMK.bin unreadable"),
                                           QStringLiteral("SR.bin missing")}));
        QCOMPARE(lists.problems().first().path, own.filePath(QStringLiteral("GUOZ.bin")));
        // A list that failed when a rule consulted it stays named, even once it is back.
        QFile::remove(own.filePath(QStringLiteral("MAYNO.bin")));
        QVERIFY_THROWS_EXCEPTION(ListError, lists.zfbNotMayno(QStringLiteral("11111111")));
        QFile f(own.filePath(QStringLiteral("MAYNO.bin")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(described().value(2), QStringLiteral("MAYNO.bin missing"));
    }

    void hostileContent()
    {
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 131) & 0xFF);
        write(QStringLiteral("SR.bin"), garbage + QByteArray(5 * 1024 * 1024, 'A') + "\nПЕЧЕРСЬКИЙ");
        ReferenceLists lists(dir.path());
        const QStringList lines = lists.lines(QStringLiteral("SR.bin"));
        QVERIFY(!lines.isEmpty());
        QVERIFY(!lines.contains(QStringLiteral("ПЕЧЕРСЬКИЙ"))); // mixed encodings read as Windows-1251
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("CMK.bin")));
        QVERIFY_THROWS_EXCEPTION(ListError, lists.lines(QStringLiteral("CMK.bin")));
    }

    // The register of senders: what it takes from each form of file, and what it says of the rest.
    void senderRegister_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("codes");    // "code|name" in the register's order
        QTest::addColumn<QStringList>("problems"); // a part of each problem sentence, in order
        const QString a = okpo(2345671), b = okpo(3100012), c = okpo(12345);
        const QString ua = QStringLiteral("КП «Київжитло», філія №2"), ub = QStringLiteral("ДП «Укрбудінвест»");
        QTest::newRow("cp1251, header, CRLF")
            << QStringLiteral("r.csv") << cp1251(QStringLiteral("Код;Назва\r\n%1;%2\r\n%3;%4\r\n").arg(a, ua, b, ub))
            << QStringList{a + u'|' + ua, b + u'|' + ub} << QStringList{};
        QTest::newRow("utf-8 with mark, quotes, extra columns")
            << QStringLiteral("r.txt")
            << (QStringLiteral("\uFEFF\"%1\";\"%2\";x;y\n%3;\"%4\"\"\"\n").arg(a, QStringLiteral("А;Б"), b, ub))
                   .toUtf8()
            << QStringList{a + QStringLiteral("|А;Б"), b + u'|' + ub + u'"'} << QStringList{};
        QTest::newRow("utf-16 tabs") << QStringLiteral("r.txt")
                                     << QByteArray("\xFF\xFE") +
                                            QByteArray(reinterpret_cast<const char*>(
                                                           QStringLiteral("%1\t%2\r\n").arg(a, ua).utf16()),
                                                       (a.size() + ua.size() + 3) * 2)
                                     << QStringList{a + u'|' + ua} << QStringList{};
        QTest::newRow("comma, code only")
            << QStringLiteral("r.csv") << QStringLiteral("%1\n%2,Б, філія\n").arg(a, b).toUtf8()
            << QStringList{a + u'|', b + QStringLiteral("|Б")} << QStringList{};
        QTest::newRow("doubtful lines")
            << QStringLiteral("r.csv")
            << QStringLiteral("%1;A\n\n  \n%2;B\n%1;A again\n12345670;C\n12-345;D\n;E\n%3;F\n123455;G\n\n\n")
                   .arg(a, b, c.mid(1))
                   .toUtf8()
            << QStringList{a + QStringLiteral("|A"),   b + QStringLiteral("|B"), QStringLiteral("12345670|C"),
                           QStringLiteral("12-345|D"), c + QStringLiteral("|F"), QStringLiteral("00123455|G")}
            << QStringList{
                   QStringLiteral("Код повторюється, узято перший рядок — рядки: 5 (код %1, як у рядку 1)").arg(a),
                   QStringLiteral("Невірне контрольне число коду ЄДРПОУ (звіт однаково очікується) — рядки: 6 "
                                  "(12345670), 10 (00123455)"),
                   QStringLiteral("рядки: 7 («12-345»)"),
                   QStringLiteral("Немає коду, рядок пропущено — рядки: 8 («E»)"),
                   QStringLiteral("рядки: 9 (%1 → %2), 10 (123455 → 00123455)").arg(c.mid(1), c),
                   QStringLiteral("Порожні рядки між записами пропущено: рядки 2, 3.")};
        QTest::newRow("nothing but a header") << QStringLiteral("r.csv") << QByteArray("Код;Назва\r\n\r\n")
                                              << QStringList{} << QStringList{QStringLiteral("немає жодного коду")};
        QTest::newRow("xlsx") << QStringLiteral("r.xlsx") << QByteArray("PK\x03\x04rest") << QStringList{}
                              << QStringList{QStringLiteral("r.xlsx")};
    }
    void senderRegister()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, problems);
        write(file, bytes);
        try {
            const app::SenderRegister reg = app::readRegister(dir.filePath(file), sheet::Locale::comma());
            QStringList got;
            for (const app::Sender& s : reg.senders)
                got << s.code + u'|' + s.name;
            QCOMPARE(got, codes);
            QCOMPARE(reg.problems.size(), problems.size());
            for (qsizetype i = 0; i < problems.size(); ++i)
                QVERIFY2(reg.problems[i].contains(problems[i]), qPrintable(reg.problems[i]));
        } catch (const app::RegisterError& e) {
            QVERIFY2(codes.isEmpty() && e.message().contains(problems.value(0)), qPrintable(e.message()));
        } catch (const xls::Error& e) {
            QVERIFY2(codes.isEmpty() && e.message().contains(problems.value(0)), qPrintable(e.message()));
        }
    }

    // A register kept as a workbook: code and name from row 2, a code typed as a number included.
    void senderRegisterWorkbook()
    {
        xls::Workbook book = xls::Workbook::open(QStringLiteral(BRANTOVEL_DATA_DIR "/elog.xls"));
        const QString a = okpo(2345671), b = okpo(12345);
        book.setText(0, 2, 1, a);
        book.setText(0, 2, 2, QStringLiteral("Перший"));
        book.setNumber(0, 4, 1, b.toDouble()); // the leading zeros gone, as Excel keeps a typed code
        book.setText(0, 4, 2, QStringLiteral("Другий"));
        const QString path = dir.filePath(QStringLiteral("реєстр.xls"));
        book.save(path);
        const app::SenderRegister reg = app::readRegister(path, sheet::Locale::comma());
        QCOMPARE(reg.senders.size(), size_t(2));
        QCOMPARE(reg.senders[0].code, a);
        QCOMPARE(reg.senders[1].code, b);
        QCOMPARE(reg.senders[1].line, 4);
        QVERIFY(reg.contains(b));
        QCOMPARE(reg.problems.size(), 2); // the zeros given back, the blank row 3
    }
};

QTEST_APPLESS_MAIN(TestLists)
#include "tst_lists.moc"
