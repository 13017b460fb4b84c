#include "validate/validid.h"

#include <QTest>

class TestValidId : public QObject {
    Q_OBJECT
private slots:
    void isValid_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("valid");
        QTest::newRow("first pass 12345678") << 12345678 << true;
        QTest::newRow("wrong digit 12345670") << 12345670 << false;
        QTest::newRow("second pass 10000062") << 10000062 << true;
        QTest::newRow("second pass wrong 10000060") << 10000060 << false;
        QTest::newRow("both passes 10: 2810") << 2810 << true;
        QTest::newRow("row 2 at 30000005") << 30000005 << true;
        QTest::newRow("row 2 upper 60000009") << 60000009 << true;
        QTest::newRow("60000000 not valid") << 60000000 << false;
        QTest::newRow("60000008 not valid") << 60000008 << false;
        QTest::newRow("zero") << 0 << false;
        QTest::newRow("99999999") << 99999999 << false;
        QTest::newRow("over the bound") << 100000000 << false;
        QTest::newRow("negative -999995") << -999995 << true;
        QTest::newRow("holder of the sample") << 23456719 << true;
    }
    void isValid()
    {
        QFETCH(int, code);
        QFETCH(bool, valid);
        QCOMPARE(ValidID::IsValidOKPO(code), valid);
    }
    void variants()
    {
        QCOMPARE(ValidID::GetControlDigitVariant(1234567, 1), 140 % 11);
        QCOMPARE(ValidID::GetControlDigitVariant(1000006, 1), 10);
        QCOMPARE(ValidID::GetControlDigitVariant(1000006, 3), 2);
        QCOMPARE(ValidID::GetControlDigit(281), 0);
        // A negative number: remainders keep the sign and row 1 applies.
        QCOMPARE(ValidID::GetControlDigit(-99999), -5);
    }
};

QTEST_APPLESS_MAIN(TestValidId)
#include "tst_validid.moc"
