#include "check/lists.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using check::ListError;
using check::ReferenceLists;

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
};

QTEST_APPLESS_MAIN(TestLists)
#include "tst_lists.moc"
