#include "fixtures.h"

#include "childprocess.h"
#include "run/controlrun.h"
#include "sheet/msexcel.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

namespace fixtures {

QString describe(const QList<Row>& rows)
{
    QString out;
    for (const Row& r : rows)
        out += QStringLiteral("  [%1 | %2 | %3 | %4]\n").arg(r.sheet).arg(r.row).arg(r.col, r.message);
    return out;
}

QString mismatch(const QList<Row>& got, const QList<Row>& want)
{
    return QStringLiteral("got:\n") + describe(got) + QStringLiteral("want:\n") + describe(want);
}

Workspace::Workspace()
{
    const QDir data(QStringLiteral(BRANTOVEL_DATA_DIR));
    for (const char* name :
         {"zvit.xls", "elog.xls", "zvedennya.xls", "GUOZ.bin", "CMK.bin", "KYIV.bin", "ZFB.bin", "MAYNO.bin", "SR.bin"})
        QFile::copy(data.filePath(QString::fromLatin1(name)), path(QString::fromLatin1(name)));
    for (const QString& f : QDir(dir()).entryList(QDir::Files))
        QFile(path(f)).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void Workspace::makeReport(const QList<Cell>& cells, const QString& from)
{
    const QString source =
        from.isEmpty() ? QDir(QStringLiteral(BRANTOVEL_DATA_DIR)).filePath(QStringLiteral("zvit.xls")) : from;
    static const QHash<QString, uint8_t> errors{{QStringLiteral("#NULL!"), 0x00},  {QStringLiteral("#DIV/0!"), 0x07},
                                                {QStringLiteral("#VALUE!"), 0x0F}, {QStringLiteral("#REF!"), 0x17},
                                                {QStringLiteral("#NAME?"), 0x1D},  {QStringLiteral("#NUM!"), 0x24},
                                                {QStringLiteral("#N/A"), 0x2A}};
    xls::Workbook wb = xls::Workbook::open(source);
    for (const Cell& c : cells) {
        if (!c.text.startsWith(u'=')) {
            wb.setText(c.sheet - 1, c.row, c.col, c.text);
            continue;
        }
        const QString value = c.text.mid(1);
        if (errors.contains(value)) {
            wb.setFormulaError(c.sheet - 1, c.row, c.col, errors.value(value));
            continue;
        }
        bool ok = false;
        const double number = QString(value).replace(u',', u'.').toDouble(&ok);
        QVERIFY2(ok, qPrintable(QStringLiteral("not a value: ") + c.text));
        wb.setNumber(c.sheet - 1, c.row, c.col, number);
    }
    wb.save(path(QStringLiteral("zvit.xls")));
}

void Workspace::writeList(const QString& name, const QByteArray& content)
{
    QFile f(path(name));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

void Workspace::removeFile(const QString& name)
{
    QFile::remove(path(name));
}

void Workspace::useLogTemplate(const QString& from)
{
    const QString to = path(QStringLiteral("elog.xls"));
    QFile::remove(to);
    QVERIFY(QFile::copy(from, to));
    QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

check::Environment environment(const QString& listDir, const sheet::Locale& locale, const QDate& today)
{
    check::Environment env;
    env.locale = locale;
    env.clock = [today] { return QDateTime(today, QTime(10, 30, 15)); };
    env.listDir = listDir;
    return env;
}

QList<Row> Workspace::check(const sheet::Locale& locale, const QDate& today, QString* innkod,
                            std::optional<check::ReportingPeriod> expected)
{
    const QString log = path(QStringLiteral("zvit_log.xls"));
    QFile::remove(log);
    check::Environment env = environment(dir(), locale, today);
    env.expectedPeriod = expected;
    const app::CheckedReport checked =
        app::checkAndSave(path(QStringLiteral("zvit.xls")), path(QStringLiteral("elog.xls")), log, env);
    if (innkod)
        *innkod = checked.INNKOD;
    // The rows as the log on disk holds them (a clean check writes none).
    return checked.findings.empty() ? QList<Row>() : readLog(log);
}

QList<Row> readLog(const QString& path)
{
    QList<Row> rows;
    const xls::Workbook wb = xls::Workbook::open(path);
    for (int r = 2; r <= wb.lastUsedRow(0); ++r) {
        Row row;
        row.sheet = wb.cell(0, r, 1).text;
        row.row = wb.cell(0, r, 2).text.toInt();
        row.col = wb.cell(0, r, 3).text;
        row.message = wb.cell(0, r, 4).text;
        rows.append(row);
    }
    return rows;
}

QList<Cell> cleanGeneral(int months, int year)
{
    // A balance holder outside every list but KYIV.bin, with a consistent, empty Table 1.
    QList<Cell> cells = {
        {1, 4, 2, QString::number(months)},      {1, 5, 2, QString::number(year)},
        {1, 6, 2, QStringLiteral("01.01.2027")}, {1, 7, 2, QStringLiteral("23456719")},
        {1, 8, 2, QStringLiteral("ДП «Тест»")},  {1, 10, 2, QStringLiteral("100")},
        {1, 32, 2, QStringLiteral("a@b.cd")},    {1, 33, 2, QStringLiteral("123")},
        {1, 34, 2, QStringLiteral("Іваненко")},  {1, 35, 2, QStringLiteral("Петренко")},
        {1, 37, 2, QStringLiteral("Київ")},
    };
    return cells;
}

QStringList englishWords(const QString& text)
{
    // The words every such sentence has and no product name does.
    static const QRegularExpression words(
        QStringLiteral("\\b(the|not|no|such|is|are|was|of|or|to|cannot|could|failed|denied|permission|error|"
                       "unknown|invalid|device|directory|file|access|space|left|operation|timed|out)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    // Quoted paths and names (random folder names of a test among them) are no sentence of ours.
    const QString plain = QString(text).remove(QRegularExpression(QStringLiteral("«[^»]*»")));
    QStringList found;
    for (auto m = words.globalMatch(plain); m.hasNext();)
        found << m.next().captured(0);
    return found;
}

QByteArray runPython(const QString& script, const QStringList& args, bool* ok)
{
    const ProcessResult r = runPythonScript(script, args);
    *ok = r.ok;
    if (!r.ok)
        qWarning().noquote() << script << r.failure;
    return r.out;
}

} // namespace fixtures

namespace fixtures {

bool convertWithLibreOffice(const QStringList& files, const QString& outDir, const QString& filter)
{
    // With no file to convert, soffice would start and wait for one.
    if (files.isEmpty()) {
        qWarning("convertWithLibreOffice: no file to convert");
        return false;
    }
    const ProcessResult r =
        runSoffice(QStringList{QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir} + files);
    if (!r.ok)
        qWarning().noquote() << r.failure;
    return r.ok;
}

bool convertToCsv(const QStringList& files, const QString& outDir)
{
    return convertWithLibreOffice(
        files, outDir, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"));
}

namespace {

QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else if (c != u'\r') {
            field += c;
        }
        any = true;
    }
    if (any && (!field.isEmpty() || !row.isEmpty())) {
        row << field;
        rows << row;
    }
    return rows;
}

} // namespace

QMap<QString, QList<QStringList>> csvSheets(const QString& outDir, const QString& baseName)
{
    QMap<QString, QList<QStringList>> out;
    const QDir dir(outDir);
    for (const QString& f : dir.entryList({baseName + QStringLiteral("-*.csv")}, QDir::Files)) {
        QFile file(dir.filePath(f));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString sheetName = f.mid(baseName.size() + 1).chopped(4);
        out.insert(sheetName, parseCsv(QString::fromUtf8(file.readAll())));
    }
    return out;
}

QStringList csvDifferences(const QList<QStringList>& a, const QList<QStringList>& b)
{
    QStringList diffs;
    const qsizetype rows = std::max(a.size(), b.size());
    for (qsizetype r = 0; r < rows; ++r) {
        const QStringList ra = r < a.size() ? a[r] : QStringList{};
        const QStringList rb = r < b.size() ? b[r] : QStringList{};
        const qsizetype cols = std::max(ra.size(), rb.size());
        for (qsizetype c = 0; c < cols; ++c) {
            const QString va = c < ra.size() ? ra[c] : QString();
            const QString vb = c < rb.size() ? rb[c] : QString();
            if (va != vb)
                diffs << QStringLiteral("%1,%2").arg(r + 1).arg(c + 1);
        }
    }
    return diffs;
}

} // namespace fixtures
