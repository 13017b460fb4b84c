#include "validate/helpers.h"
#include "validate/numberformat.h"
#include "validate/readings.h"

#include <QTest>
#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace validate;

class TestReadings : public QObject {
    Q_OBJECT
private slots:
    void trimmed()
    {
        QCOMPARE(trimmedText(QStringLiteral(" \t\r\nabc \x01")), QStringLiteral("abc"));
        QCOMPARE(trimmedText(QString(QChar(0xA0)) + QStringLiteral("x")), QString(QChar(0xA0)) + QStringLiteral("x"));
    }

    void lenient_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("decimal");
        QTest::addColumn<double>("value");
        const QChar comma(u','), point(u'.');
        QTest::newRow("comma 1,5") << "1,5" << comma << 1.5;
        QTest::newRow("comma 1.5") << "1.5" << comma << 1.5;
        QTest::newRow("point 1,5") << "1,5" << point << 1.5;
        QTest::newRow("grouping fails") << "1.234,5" << comma << 0.0;
        QTest::newRow("inner blank") << "1 000,50" << comma << 0.0;
        QTest::newRow("letters") << "abc" << comma << 0.0;
        QTest::newRow("inf") << "inf" << comma << 0.0;
        QTest::newRow("nan") << "nan" << point << 0.0;
        QTest::newRow("hex") << "0x10" << point << 0.0;
        QTest::newRow("exponent") << "1,5E2" << comma << 150.0;
        QTest::newRow("sign") << "-12.25" << comma << -12.25;
        QTest::newRow("empty") << "" << comma << 0.0;
    }
    void lenient()
    {
        QFETCH(QString, text);
        QFETCH(QChar, decimal);
        QFETCH(double, value);
        QCOMPARE(double(lenientNumber(text, decimal)), value);
    }

    void strict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<double>("value");
        QTest::newRow("rounds down 0,004") << "0,004" << false << 0.0;
        QTest::newRow("half to even 0.125") << "0.125" << false << 0.12;
        QTest::newRow("half to even 0.375") << "0.375" << false << 0.38;
        QTest::newRow("19,92") << "19,92" << false << 19.92;
        QTest::newRow("empty is 0") << "" << false << 0.0;
        QTest::newRow("word fails") << "abc" << true << 0.0;
        QTest::newRow("grouping fails") << "1 000,50" << true << 0.0;
    }
    void strict()
    {
        QFETCH(QString, text);
        QFETCH(bool, fails);
        QFETCH(double, value);
        for (const QChar d : {QChar(u','), QChar(u'.')}) {
            if (fails) {
                QVERIFY_THROWS_EXCEPTION(ConversionError, strictNumber(text, d));
            } else {
                QCOMPARE(strictNumber(text, d), value);
            }
        }
    }

    void tolerances()
    {
        // Decimal boundaries follow the binary values, compared with the extended constants.
        const long double t09 = 0.09L, t01 = 0.01L;
        QVERIFY(!(std::fabs((long double)0.09 - 0) > t09));
        QVERIFY(std::fabs((long double)100.09 - 100) > t09);
        QVERIFY(!(std::fabs((long double)50.005 - 50) > t01));
        QVERIFY(std::fabs((long double)50.02 - 50) > t01);
    }

    void raw()
    {
        QCOMPARE(double(rawNumber(QStringLiteral(" 12,5 "), u',')), 12.5);
        QCOMPARE(double(rawNumber(QStringLiteral("12.5"), u',')), 0.0);
    }

    void whole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "12" << true << 12;
        QTest::newRow("leading blanks") << "  7" << true << 7;
        QTest::newRow("sign") << "-3" << true << -3;
        QTest::newRow("trailing blank") << "5 " << false << 0;
        QTest::newRow("decimal") << "2,5" << false << 0;
        QTest::newRow("1.0") << "1.0" << false << 0;
        QTest::newRow("max") << "2147483647" << true << 2147483647;
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
    }
    void whole()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        QCOMPARE(toWhole(text).has_value(), ok);
        QCOMPARE(lenientWhole(text), value);
        if (!ok)
            QVERIFY_THROWS_EXCEPTION(ConversionError, strictWhole(text));
    }

    void code()
    {
        QCOMPARE(codeValue(QStringLiteral("0000000000")), int64_t(0));
        QCOMPARE(codeValue(QStringLiteral("1234567890")), int64_t(1234567890));
        QCOMPARE(codeValue(QStringLiteral("9223372036854775807")), std::numeric_limits<int64_t>::max());
        QVERIFY_THROWS_EXCEPTION(ConversionError, codeValue(QStringLiteral("9223372036854775808")));
        QVERIFY_THROWS_EXCEPTION(ConversionError, codeValue(QStringLiteral("12 345678")));
        QVERIFY_THROWS_EXCEPTION(ConversionError, codeValue(QStringLiteral("12-345")));
    }

    void printed_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("comma");
        QTest::newRow("whole") << 100.0 << "100";
        QTest::newRow("fraction") << 99.9 << "99,9";
        QTest::newRow("sum of binary parts") << 0.1 + 0.2 << "0,3";
        QTest::newRow("negative") << -1450.5 << "-1450,5";
        QTest::newRow("15 digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("large") << 1.5e20 << "1,5E+20";
        QTest::newRow("small") << 0.0001 << "0,0001";
        QTest::newRow("tiny") << 1.5e-7 << "1,5E-07";
    }
    void printed()
    {
        QFETCH(double, value);
        QFETCH(QString, comma);
        QCOMPARE(printedNumber(value, u','), comma);
        QCOMPARE(printedNumber(value, u'.'), QString(comma).replace(u',', u'.'));
    }

    void numberCellsReadAsTheirText()
    {
        // The shortcut for number cells must give what reading their printed text gives.
        const double values[] = {0.1 + 0.2, 19.92,     -1450.5, 1e15,   123456789012345.6, 1.5e20,
                                 1.5e-7,    2.0 / 3.0, 0.125,   100.09, 99999999999999.99, -0.0049};
        for (double v : values)
            for (const QChar d : {QChar(u','), QChar(u'.')})
                QCOMPARE(double(*generalRoundTrip(v)), double(lenientNumber(printedNumber(v, d), d)));
        // Amounts with cents and other fractions over many magnitudes.
        uint64_t seed = 12345;
        for (int i = 0; i < 5000; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            const double v = double(int64_t(seed >> 20) % 100000000000LL) / double(1LL << (seed % 23)) *
                             std::pow(10.0, int(seed % 19) - 9);
            QCOMPARE(double(*generalRoundTrip(v)), double(lenientNumber(printedNumber(v, u','), u',')));
            QVERIFY(*generalRoundTrip(v) == lenientNumber(printedNumber(v, u','), u','));
        }
        QVERIFY(!generalRoundTrip(std::numeric_limits<double>::infinity()));
    }

    // The general text of doubles, built from their digits without printf, against printf's 15
    // significant digits laid out by the format's rules, on amounts, halfway cases and random bits.
    void generalTextAgainstPrintf()
    {
        auto reference = [](double v) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.14e", v);
            QString s = QString::fromLatin1(buf);
            const bool negative = s.startsWith(u'-');
            const qsizetype e = s.indexOf(u'e');
            const int exponent = s.mid(e + 1).toInt();
            QString digits = s.mid(negative ? 1 : 0, e - (negative ? 1 : 0)).remove(u'.');
            while (digits.size() > 1 && digits.endsWith(u'0'))
                digits.chop(1);
            QString out;
            if (exponent >= 15 || exponent < -5)
                out = digits.left(1) + (digits.size() > 1 ? QStringLiteral(".") + digits.mid(1) : QString()) + u'E' +
                      (exponent < 0 ? u'-' : u'+') + QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QChar(u'0'));
            else if (exponent < 0)
                out = QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
            else
                out = digits.left(exponent + 1).leftJustified(exponent + 1, u'0') +
                      (digits.size() > exponent + 1 ? QStringLiteral(".") + digits.mid(exponent + 1) : QString());
            return negative && v != 0 ? QStringLiteral("-") + out : out;
        };
        std::vector<double> values = {123456789012345.5, 123456789012346.5, 1000000000000005.0, 2999999999999995.0,
                                      0.30000000000000004, 9.999999999999995e-5, 99999999999999.995, 1e15 - 0.5,
                                      5e-324, 1.7976931348623157e308, -2.5e-6, 1e-5, 1e-6};
        uint64_t seed = 2024;
        auto next = [&seed] { return seed = seed * 6364136223846793005ULL + 1442695040888963407ULL; };
        for (int i = 0; i < 40000; ++i) {
            const uint64_t r = next();
            values.push_back(double(int64_t(r >> 16) % 1000000000000LL) / std::pow(10.0, int(r % 16))); // amounts
            values.push_back(std::bit_cast<double>(next()));                                                // any bits
            values.push_back(double((next() >> 12) | 1) / 2 + double(r % 3) * 0.25);                        // halves
        }
        for (double v : values) {
            if (!std::isfinite(v))
                continue;
            const QString expected = reference(v);
            QCOMPARE(formatGeneral(v, u'.'), expected);
            QCOMPARE(double(*generalRoundTrip(v)), double(lenientNumber(expected, u'.')));
            QVERIFY(*generalRoundTrip(v) == lenientNumber(expected, u'.'));
        }
    }

    void setCorrectFloatStr()
    {
        QCOMPARE(SetCorrectFloatStr(QStringLiteral("1.5"), u','), QStringLiteral("1,5"));
        QCOMPARE(SetCorrectFloatStr(QStringLiteral("1.234,5"), u','), QStringLiteral("1,234,5"));
        QCOMPARE(SetCorrectFloatStr(QStringLiteral("1,5"), u'.'), QStringLiteral("1.5"));
        QCOMPARE(SetCorrectFloatStr(QStringLiteral("'1 5"), u'.'), QStringLiteral("'1 5"));
    }

    void checkSubStr()
    {
        QVERIFY(!CheckSubStr(QString(), QStringLiteral("abc")));
        QVERIFY(!CheckSubStr(QStringLiteral("a"), QString()));
        QVERIFY(CheckSubStr(QStringLiteral("abc"), QStringLiteral("abc")));
        QVERIFY(!CheckSubStr(QStringLiteral("Abc"), QStringLiteral("abc")));
        QVERIFY(CheckSubStr(QStringLiteral("задов"), QStringLiteral("задовільний")));
        QVERIFY(!CheckSubStr(QStringLiteral("задов"), QStringLiteral("не задовільний")));
    }

    void email_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("b.cd") << "a@b.cd" << true;
        QTest::newRow("bc.d") << "a@bc.d" << false;
        QTest::newRow(".abc") << "a@.abc" << true;
        QTest::newRow("empty name") << "@b.cd" << false;
        QTest::newRow("short server") << "a@b.c" << false;
        QTest::newRow("no at") << "ab.cd" << false;
        QTest::newRow("second at") << "a@b@c.de" << false;
        QTest::newRow("plus") << "a+b@c.de" << false;
        QTest::newRow("blank") << "a b@c.de" << false;
        QTest::newRow("cyrillic") << "пошта@c.de" << false;
        QTest::newRow("two addresses") << "a@b.cd;e@f.gh" << false;
        QTest::newRow("usual") << "info@ukrbudinvest.gov.ua" << true;
    }
    void email()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(IsValidEmail(address), valid);
    }
};

QTEST_APPLESS_MAIN(TestReadings)
#include "tst_readings.moc"
