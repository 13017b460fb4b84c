// The free premises sheet ("Інші відомості", position 4).
#include "fixtures.h"

#include <QTest>

using fixtures::Cell;
using fixtures::Row;

namespace {

QString s(const char16_t* t)
{
    return QString::fromUtf16(t);
}
const QString IV = QStringLiteral("Інші відомості");
const QString kNot = QStringLiteral("Рядок не оброблено.");

QList<Cell> premises(int row, QStringList overrides = {})
{
    QStringList v{QString::number(row - 6),
                  s(u"печерський"),
                  s(u"Хрещатик"),
                  s(u"вулиця"),
                  QStringLiteral("10"),
                  QStringLiteral("350"),
                  QStringLiteral("0"),
                  QStringLiteral("45"),
                  QStringLiteral("40"),
                  QStringLiteral("5"),
                  QStringLiteral("1"),
                  s(u"Задовільний"),
                  s(u"Так"),
                  s(u"НІ"),
                  s(u"так"),
                  s(u"офісне"),
                  QStringLiteral("-")};
    for (const QString& o : overrides)
        v[o.section(u'=', 0, 0).toInt() - 1] = o.section(u'=', 1);
    QList<Cell> cells;
    for (int c = 0; c < v.size(); ++c)
        cells.append({4, row, c + 1, v[c]});
    return cells;
}

struct Case {
    const char* name;
    QList<Cell> cells;
    QList<Row> expected;
    QByteArray srList = {}; // replaces SR.bin when set; "-" removes it
};

QList<Case> cases()
{
    const QString wrongState = s(u"Невірно заповнено: Технічний стан.");
    return {
        {"clean row", premises(7), {}},
        {"state незадовільний стан", premises(7, {s(u"12=незадовільний стан")}), {}},
        {"state добрий", premises(7, {s(u"12=добрий")}), {{IV, 7, QStringLiteral("L"), wrongState}}},
        {"state empty",
         premises(7, {QStringLiteral("12=")}),
         {{IV, 7, QStringLiteral("L"), s(u"Не заповнено: Технічний стан.")}}},
        {"energy with a full stop",
         premises(7, {s(u"13=так.")}),
         {{IV, 7, QStringLiteral("M"), s(u"Невірно заповнено: енергозабезпечення.")}}},
        {"water and heat empty",
         premises(7, {QStringLiteral("14="), QStringLiteral("15=")}),
         {{IV, 7, QStringLiteral("N"), s(u"Не заповнено: водозабезпечення.")},
          {IV, 7, QStringLiteral("O"), s(u"Не заповнено: теплозабезпечення.")}}},
        {"use with a capital",
         premises(7, {s(u"16=Офісне")}),
         {{IV, 7, QStringLiteral("P"), s(u"Невірно заповнено: Можливе використання приміщення.")}}},
        {"use empty",
         premises(7, {QStringLiteral("16=")}),
         {{IV, 7, QStringLiteral("P"), s(u"Невірно заповнено: Можливе використання приміщення.")}}},
        {"note empty", premises(7, {QStringLiteral("17=")}), {}},
        {"note allowed", premises(7, {s(u"17=включено до переліку об'єктів, які підлягають приватизації")}), {}},
        {"note other",
         premises(7, {s(u"17=інше")}),
         {{IV, 7, QStringLiteral("Q"), s(u"Невірно заповнено: Примітка.")}}},
        {"district not listed",
         premises(7, {s(u"2=Бориспільський")}),
         {{IV, 7, QStringLiteral("B"), s(u"Невірно заповнено: Район.")}}},
        {"list line with a trailing blank",
         premises(7),
         {{IV, 7, QStringLiteral("B"), s(u"Невірно заповнено: Район.")}},
         QByteArray("\xCF\xC5\xD7\xC5\xD0\xD1\xDC\xCA\xC8\xC9 \r\n")},
        {"district empty, list without an empty line",
         premises(7, {QStringLiteral("2=")}),
         {{IV, 7, QStringLiteral("B"), s(u"Невірно заповнено: Район.")}}},
        {"district empty, list with an empty line", premises(7, {QStringLiteral("2=")}), {}, QByteArray("\r\nX\r\n")},
        {"list missing",
         premises(7) + premises(8, {s(u"16=Офісне")}),
         {{IV, 7, {}, kNot},
          {IV, 8, QStringLiteral("P"), s(u"Невірно заповнено: Можливе використання приміщення.")},
          {IV, 8, {}, kNot}},
         QByteArray("-")},
        {"F a word, G a word",
         premises(7, {QStringLiteral("6=abc"), QStringLiteral("7=abc")}),
         {{IV, 7, QStringLiteral("F"), s(u"Не заповнено загальну площу приміщення на балансі.")}, {IV, 7, {}, kNot}}},
        {"free area empty",
         premises(7, {QStringLiteral("8=")}),
         {{IV, 7, QStringLiteral("H"), s(u"Не заповнено: Вільні приміщення. Загальна площа.")}}},
        {"street type and number empty",
         premises(7, {QStringLiteral("4="), QStringLiteral("5=")}),
         {{IV, 7, QStringLiteral("D"), s(u"Невірно заповнено тип вулиці.")},
          {IV, 7, QStringLiteral("E"), s(u"Невірно заповнено номер будинку.")}}},
        {"wrong running number reported",
         premises(7, {QStringLiteral("1=5")}),
         {{IV, 7, QStringLiteral("A"), s(u"Невірний порядковий номер запису.")}}},
        {"wrong running number with G empty", premises(7, {QStringLiteral("1=5"), QStringLiteral("7=")}), {}},
        {"C empty in row 9",
         QList<Cell>{{4, 9, 6, QStringLiteral("12")}},
         {{IV, 7, {}, kNot}, {IV, 8, {}, kNot}, {IV, 9, {}, kNot}}},
        {"block not under the 1 row", premises(8, {QStringLiteral("1=1")}), {{IV, 7, {}, kNot}}},
    };
}

} // namespace

class TestPremises : public QObject {
    Q_OBJECT
private slots:
    void rules_data() { fixtures::addCaseRows(cases()); }
    void rules()
    {
        QFETCH(int, index);
        const Case c = cases().at(index);
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral() + c.cells);
        if (c.srList == "-")
            ws.removeFile(QStringLiteral("SR.bin"));
        else if (!c.srList.isEmpty())
            ws.writeList(QStringLiteral("SR.bin"), c.srList);
        QList<Row> got;
        for (const Row& r : ws.check())
            if (r.sheet == IV)
                got.append(r);
        QVERIFY2(got == c.expected, qPrintable(fixtures::mismatch(got, c.expected)));
    }
};

QTEST_MAIN(TestPremises)
#include "tst_premises.moc"
