// brantovel-check end to end: exit codes, output against the log as python3-xlrd reads it, and
// the report left byte-identical when the run fails.
#include "check/lists.h"
#include "check/period.h"
#include "cli/cli.h"
#include "fixtures.h"
#include "run/batchrun.h"
#include "run/folderlisting.h"
#include "run/outdirlock.h"
#include "validate/validid.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

// The day every in-process run takes as today, whatever the day the tests run on.
const QDate kToday(2026, 12, 9);

// brantovel-check's own code, run in this process with the clock at kToday and the process locale
// (ctest sets LC_ALL=C.UTF-8).
Run runArguments(const QStringList& arguments)
{
    check::Environment env;
    env.clock = [] { return QDateTime(kToday, QTime(10, 30, 15)); };
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    Run r;
    r.status = cli::run(QStringList{QStringLiteral("brantovel-check")} + arguments, QStringLiteral(BRANTOVEL_BIN_DIR),
                        env, outStream, errStream);
    outStream.flush();
    errStream.flush();
    r.out = out;
    r.err = err;
    return r;
}

QStringList words(std::initializer_list<const char16_t*> list)
{
    QStringList out;
    for (const char16_t* w : list)
        out << QString::fromUtf16(w);
    return out;
}

Run runCheck(const QString& dir)
{
    return runArguments({QStringLiteral("--dir"), dir});
}

// A small RAM disk (256 KiB), unmounted when it goes; `mounted` is false where mounting is not allowed.
struct RamDisk {
    QTemporaryDir dir;
    bool mounted = QProcess::execute(QStringLiteral("mount"),
                                     {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                      QStringLiteral("size=256k"), QStringLiteral("tmpfs"), dir.path()}) == 0;
    ~RamDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {dir.path()});
    }
    QString path() const { return dir.path(); }
};

QString fixture(const QString& name)
{
    return QDir(QStringLiteral(BRANTOVEL_FIXTURES_DIR)).filePath(name);
}

// A clean general data sheet for the period of kToday.
QList<fixtures::Cell> cleanToday()
{
    return fixtures::cleanGeneral(check::requiredMonths(kToday), check::reportingYear(kToday));
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A valid identification code other than the one cleanGeneral() gives.
QString otherCode(int32_t first7)
{
    return QString::number(first7) + QString::number(ValidID::GetControlDigit(first7));
}

// A folder of reports beside a program folder: each report built in the workspace and copied in.
struct Batch {
    fixtures::Workspace program;
    QTemporaryDir folder;

    QString path(const QString& name) const { return folder.filePath(name); }
    void report(const QString& name, QList<fixtures::Cell> cells)
    {
        program.makeReport(cells);
        QVERIFY(QFile::copy(program.path(QStringLiteral("zvit.xls")), path(name)));
    }
    void file(const QString& name, const QByteArray& content)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    // Every file of the folder (subfolders by name only) with a digest of its bytes.
    QMap<QString, QByteArray> state() const
    {
        QMap<QString, QByteArray> out;
        for (const QFileInfo& f : QDir(folder.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
            out.insert(f.fileName(), f.isDir()
                                         ? QByteArray("<folder>")
                                         : QCryptographicHash::hash(bytes(f.filePath()), QCryptographicHash::Sha256));
        return out;
    }
    Run run(const QStringList& more = {}) const
    {
        return runArguments(
            QStringList{QStringLiteral("--batch"), folder.path(), QStringLiteral("--dir"), program.dir()} + more);
    }
};

QString todaysOutDir(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("перевірка-") + kToday.toString(QStringLiteral("yyyy-MM-dd")));
}

// Every non-empty cell of a workbook as xlrd reads it: "sheet:row:column" (sheet from 0, row and
// column from 1) to its value.
QMap<QString, QString> xlrdCells(const QString& path)
{
    bool ok = false;
    const QString dump = QString::fromUtf8(fixtures::runPython(QStringLiteral("read_cells.py"), {path}, &ok));
    QMap<QString, QString> cells;
    for (const QString& line : dump.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (f.size() >= 5)
            cells.insert(f[0] + u':' + f[1] + u':' + f[2], f.mid(4).join(u'\t'));
    }
    return ok ? cells : QMap<QString, QString>();
}

// What is wrong with a folder check's results in `out` ("" when nothing): the summary either says it
// is incomplete, or names exactly the logs there, each of its own run (`previous`, the files of the
// run before, when the summary is still that run's: then nothing of it may have changed).
QString resultProblems(const QString& out, const QMap<QString, QByteArray>& previous)
{
    const QString summary = QDir(out).filePath(QStringLiteral("зведення.xls"));
    if (!QFileInfo::exists(summary))
        return previous.isEmpty() ? QString() : QStringLiteral("the previous summary is gone");
    const xls::Workbook book = xls::Workbook::open(summary);
    if (book.cell(0, 2, 1).text.startsWith(QStringLiteral("Перевірку перервано до завершення: зведення неповне")))
        return {};
    QStringList named, present;
    for (int row = 4; row <= book.lastUsedRow(0); ++row)
        if (const QString log = book.cell(0, row, 10).text; !log.isEmpty())
            named << log;
    for (const QString& f : QDir(out).entryList({QStringLiteral("*_log.xls")}, QDir::Files))
        present << f;
    named.sort();
    if (named != present)
        return QStringLiteral("the summary names %1, the folder holds %2").arg(named.join(u' '), present.join(u' '));
    const QByteArray now = QCryptographicHash::hash(bytes(summary), QCryptographicHash::Sha256);
    if (now == previous.value(QStringLiteral("зведення.xls")))
        for (const QString& log : present)
            if (QCryptographicHash::hash(bytes(QDir(out).filePath(log)), QCryptographicHash::Sha256) !=
                previous.value(log))
                return QStringLiteral("%1 changed under the previous summary").arg(log);
    return {};
}

QMap<QString, QByteArray> digests(const QString& dir)
{
    QMap<QString, QByteArray> out;
    for (const QString& f : QDir(dir).entryList(QDir::Files))
        out.insert(f, QCryptographicHash::hash(bytes(QDir(dir).filePath(f)), QCryptographicHash::Sha256));
    return out;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    // The help as Unix and Windows users ask for it, wherever the request stands, fitting a console's 80
    // columns and with the system's own paths; the version with the copyright.
    void help_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("shows");
        QTest::newRow("--help") << words({u"--help"}) << "Код завершення";
        QTest::newRow("-h") << words({u"-h"}) << "Код завершення";
        QTest::newRow("/?") << words({u"/?"}) << "Код завершення";
        QTest::newRow("after a folder") << words({u"--dir", u"/tmp", u"/?"}) << "Код завершення";
#ifdef Q_OS_WIN
        QTest::newRow("Windows paths") << words({u"-h"}) << "ТЕКА\\zvit_log.xls";
        QTest::newRow("regional settings") << words({u"-h"}) << "регіональними налаштуваннями Windows";
#else
        QTest::newRow("Unix paths") << words({u"-h"}) << "ТЕКА/zvit_log.xls";
        QTest::newRow("locale") << words({u"-h"}) << "LC_ALL або LANG";
#endif
        QTest::newRow("--version") << words({u"--version"})
                                   << QStringLiteral("Brantovel " BRANTOVEL_VERSION " (brantovel-check)\n© ");
    }
    void help()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, shows);
        QProcess p;
        p.start(QStringLiteral(BRANTOVEL_BIN_DIR "/brantovel-check"), arguments);
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.contains(shows), qPrintable(out));
        for (const QString& line : out.split(u'\n')) // 79 at most: an 80th character wraps in cmd.exe
            QVERIFY2(line.size() < 80, qPrintable(line));
    }

    void cleanReport()
    {
        fixtures::Workspace ws2;
        ws2.makeReport(cleanToday());
        const Run r = runCheck(ws2.dir());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("Помилок не знайдено.\n"));
        QVERIFY(!QFile::exists(ws2.path(QStringLiteral("zvit_log.xls"))));
    }

    void findingsMatchTheLog()
    {
        fixtures::Workspace ws;
        QFile::remove(ws.path(QStringLiteral("zvit.xls")));
        QVERIFY(
            QFile::copy(QStringLiteral(BRANTOVEL_DATA_DIR "/sample/zvit.xls"), ws.path(QStringLiteral("zvit.xls"))));
        QFile(ws.path(QStringLiteral("zvit.xls"))).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const Run r = runCheck(ws.dir());
        QCOMPARE(r.status, 1);
        QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 2);
        QVERIFY(lines.takeLast().startsWith(QStringLiteral("Знайдено помилок у звіті:")));
#ifndef Q_OS_WIN // python3-xlrd is Linux's: the Windows build, run under wine, cannot hand it its paths
        bool ok = false;
        const QString xlrd = QString::fromUtf8(
            fixtures::runPython(QStringLiteral("read_log.py"), {ws.path(QStringLiteral("zvit_log.xls"))}, &ok));
        QVERIFY(ok);
        QCOMPARE(lines, xlrd.split(u'\n', Qt::SkipEmptyParts));
#endif
        QVERIFY(lines.contains(QStringLiteral("Інші відомості\t8\tB\tНевірно заповнено: Район.")));
    }

    void findingsStartAfterTheTemplate_data()
    {
        QTest::addColumn<QString>("logTemplate");
        QTest::addColumn<bool>("withFinding");
        for (const char* t : {"elog-row3.xls", "elog-row2-format.xls"}) {
            QTest::addRow("%s, one finding", t) << QString::fromLatin1(t) << true;
            QTest::addRow("%s, clean", t) << QString::fromLatin1(t) << false;
        }
    }
    void findingsStartAfterTheTemplate()
    {
        QFETCH(QString, logTemplate);
        QFETCH(bool, withFinding);
        fixtures::Workspace ws;
        ws.useLogTemplate(QStringLiteral(BRANTOVEL_FIXTURES_DIR "/") + logTemplate);
        QList<fixtures::Cell> cells = cleanToday();
        if (withFinding)
            cells.append({1, 33, 2, QString()});
        ws.makeReport(cells);
        const Run r = runCheck(ws.dir());
        const QString log = QDir::toNativeSeparators(ws.path(QStringLiteral("zvit_log.xls")));
        QCOMPARE(r.status, withFinding ? 1 : 0);
        QCOMPARE(r.out, withFinding ? QStringLiteral("Загальні дані\t33\tB\tНе заповнено: Контактний телефон.\n"
                                                     "Знайдено помилок у звіті: 1. Протокол: %1\n")
                                          .arg(log)
                                    : QStringLiteral("Помилок не знайдено.\n"));
    }

    void missingListWarnsOnStandardError()
    {
        fixtures::Workspace ws;
        ws.makeReport(cleanToday());
        ws.removeFile(QStringLiteral("KYIV.bin"));
        const Run r = runCheck(ws.dir());
        QCOMPARE(r.status, 1); // the findings decide: the code's rule blames the report, as defined
        QCOMPARE(r.err, QStringLiteral("Список «%1» не знайдено, тому коди не звірено з ним і перевірка неповна. "
                                       "Поверніть файл KYIV.bin до теки програми й повторіть перевірку.\n")
                            .arg(QDir::toNativeSeparators(ws.path(QStringLiteral("KYIV.bin")))));
    }

    void hiddenStampWarnsOnStandardError()
    {
        fixtures::Workspace ws;
        ws.makeReport(cleanToday(), fixture(QStringLiteral("zvit-s13-merged.xls")));
        const Run r = runCheck(ws.dir());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err,
                 QStringLiteral("Дату й час перевірки записано до клітинки S13 аркуша «Загальні дані», але їх не "
                                "видно: клітинка S13 входить до об'єднаних клітинок R13:S13, які показують лише "
                                "вміст клітинки R13. Щоб бачити час перевірки, роз'єднайте клітинки R13:S13 у "
                                "звіті.\n"));
    }

    void failedRunLeavesReportIdentical_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("words");
        QTest::newRow("log template missing") << "no-template"
                                              << "Не знайдено шаблон протоколу";
        QTest::newRow("report missing") << "no-report"
                                        << "zvit.xls» не знайдено. Перевірте, чи файл лежить у цій теці";
        QTest::newRow("report is a folder") << "folder"
                                            << "zvit.xls» — це тека, а не файл Excel";
        QTest::newRow("report of 0 bytes") << "empty"
                                           << "порожній";
        QTest::newRow("report truncated") << "truncated"
                                          << "zvit.xls»";
        QTest::newRow("report read-only") << "readonly"
                                          << "zvit.xls» доступний лише для читання";
        QTest::newRow("report held open by another program") << "held-open"
                                                             << "zvit.xls» відкрито в іншій програмі";
        QTest::newRow("report open in Excel") << "excel-lock"
                                              << "zvit.xls» зараз відкрито в іншій програмі: поруч із ним лежить "
                                                 "файл блокування";
        QTest::newRow("S13 in a shared formula") << "zvit-s13-shared-formula.xls"
                                                 << "клітинка S13 аркуша «Загальні дані» входить до спільної формули";
    }
    void failedRunLeavesReportIdentical()
    {
        QFETCH(QString, damage);
        QFETCH(QString, words);
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral(), damage.endsWith(QStringLiteral(".xls")) ? fixture(damage) : QString());
        const QString report = ws.path(QStringLiteral("zvit.xls"));
        if (damage == QStringLiteral("excel-lock"))
            ws.writeList(QStringLiteral("~$zvit.xls"), "lock");
        else if (damage == QStringLiteral("no-template"))
            ws.removeFile(QStringLiteral("elog.xls"));
        else if (damage == QStringLiteral("no-report"))
            ws.removeFile(QStringLiteral("zvit.xls"));
        else if (damage == QStringLiteral("folder")) {
            ws.removeFile(QStringLiteral("zvit.xls"));
            QDir(ws.dir()).mkdir(QStringLiteral("zvit.xls"));
        } else if (damage == QStringLiteral("empty"))
            ws.writeList(QStringLiteral("zvit.xls"), {});
        else if (damage == QStringLiteral("truncated"))
            ws.writeList(QStringLiteral("zvit.xls"), bytes(report).left(5000));
        else if (damage == QStringLiteral("readonly"))
            QFile(report).setPermissions(QFileDevice::ReadOwner);
        // As a spreadsheet program keeps the workbook it shows: open without sharing its deletion.
        QFile holder(report);
        if (damage == QStringLiteral("held-open")) {
#ifndef Q_OS_WIN
            QSKIP("only Windows refuses to replace a file that another program holds open");
#endif
            QVERIFY(holder.open(QIODevice::ReadOnly));
        }
        const QByteArray before = bytes(report);
        const Run r = runCheck(ws.dir());
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QDir::toNativeSeparators(ws.dir())) && r.err.contains(words), qPrintable(r.err));
        QVERIFY2(fixtures::englishWords(r.err).isEmpty(), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(bytes(report), before);
        QVERIFY(!QFile::exists(ws.path(QStringLiteral("zvit_log.xls")))); // no half-made log passes for a result
    }

    void folderWithCyrillicAndBlanks()
    {
        // The report's folder as users name theirs; the output, a pipe here, is UTF-8.
        QTemporaryDir parent;
        const QString dir = QDir(parent.path()).filePath(QStringLiteral("Звіти за 2026 рік (ДП «Тест»)"));
        QVERIFY(QDir().mkpath(dir));
        fixtures::Workspace ws;
        QFile::remove(ws.path(QStringLiteral("zvit.xls")));
        QVERIFY(
            QFile::copy(QStringLiteral(BRANTOVEL_DATA_DIR "/sample/zvit.xls"), ws.path(QStringLiteral("zvit.xls"))));
        for (const QString& f : QDir(ws.dir()).entryList(QDir::Files))
            QVERIFY(QFile::copy(ws.path(f), QDir(dir).filePath(f)));
        QFile(QDir(dir).filePath(QStringLiteral("zvit.xls")))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const Run r = runCheck(dir);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.endsWith(QDir::toNativeSeparators(QDir(dir).filePath(QStringLiteral("zvit_log.xls"))) + u'\n'),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Інші відомості\t8\tB\tНевірно заповнено: Район.\n")));
        QVERIFY(QFile::exists(QDir(dir).filePath(QStringLiteral("zvit_log.xls"))));
    }

    void fullDisk()
    {
        // A small RAM disk with the report on it and too little room left for the new report.
        const RamDisk mountPoint;
        if (!mountPoint.mounted)
            QSKIP("cannot mount a RAM disk here (not root)");
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        const QDir disk(mountPoint.path());
        for (const QString& f : QDir(ws.dir()).entryList(QDir::Files))
            QVERIFY(QFile::copy(ws.path(f), disk.filePath(f)));
        const QByteArray before = bytes(disk.filePath(QStringLiteral("zvit.xls")));
        // Fill the disk but for half the room a second copy of the report needs.
        const qint64 report = before.size();
        QFile filler(disk.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size())
            ;
        filler.close();
        filler.resize(std::max<qint64>(0, filler.size() - report / 2));
        const Run r = runCheck(disk.path());
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("zvit")), qPrintable(r.err));
        QCOMPARE(bytes(disk.filePath(QStringLiteral("zvit.xls"))), before);
    }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "DIR" stands for a folder with a report
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::newRow("folder alone") << words({u"DIR"}) << 1 << "";
        QTest::newRow("--dir=folder") << words({u"--dir=DIR"}) << 1 << "";
        QTest::newRow("missing folder") << words({u"/nonexistent/dir"}) << 2
                                        << QStringLiteral("Теку «%1» не знайдено. Перевірте шлях до теки зі звітом і "
                                                          "повторіть команду.\n")
                                               .arg(QDir::toNativeSeparators(QStringLiteral("/nonexistent/dir")));
        QTest::newRow("--dir without a folder")
            << words({u"--dir"}) << 2 << "Після параметра «--dir» не вказано теку. Довідка: brantovel-check --help\n";
        QTest::newRow("--dir= without a folder")
            << words({u"--dir="}) << 2 << "Після параметра «--dir» не вказано теку. Довідка: brantovel-check --help\n";
        QTest::newRow("unknown option") << words({u"--bogus", u"DIR"}) << 2
                                        << "Невідомий параметр «--bogus». Довідка: brantovel-check --help\n";
        QTest::newRow("two folders") << words({u"--dir", u"DIR", u"/tmp"}) << 2
                                     << "Зайвий параметр «/tmp»: теку вже вказано. Довідка: brantovel-check --help\n";
        QTest::newRow("--dir followed by an option")
            << words({u"--dir", u"--batch", u"DIR"}) << 2
            << "Після параметра «--dir» не вказано теку. Довідка: brantovel-check --help\n";
        QTest::newRow("--batch followed by an option")
            << words({u"--batch", u"--out", u"DIR"}) << 2
            << "Після параметра «--batch» не вказано теку. Довідка: brantovel-check --help\n";
        QTest::newRow("--period without --batch")
            << words({u"--period", u"12.2026", u"DIR"}) << 2
            << "Параметр «--period» діє лише разом із «--batch». Довідка: brantovel-check --help\n";
        QTest::newRow("--register without a file")
            << words({u"DIR", u"--register"}) << 2
            << "Після параметра «--register» не вказано файл реєстру. Довідка: brantovel-check --help\n";
    }
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, err);
        fixtures::Workspace ws;
        ws.makeReport({{1, 33, 2, QString()}}); // findings, so an accepted folder exits with 1
        arguments.replaceInStrings(QStringLiteral("DIR"), ws.dir());
        const Run r = runArguments(arguments);
        QCOMPARE(r.status, status);
        QCOMPARE(r.err, err);
    }

    // Every entry of a folder of reports is accounted for: checked, not checked with its reason, or
    // skipped with what it is.
    void folderListing_data()
    {
        QTest::addColumn<QString>("make"); // how the entry "name" is made
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        const int report = app::FolderEntry::Report, unread = app::FolderEntry::NotChecked,
                  skipped = app::FolderEntry::Skipped;
        QTest::newRow("report") << "report"
                                << "a.xls" << report << "";
        QTest::newRow("hidden report") << "report"
                                       << ".a.xls" << report << "";
        QTest::newRow("capital XLS") << "report"
                                     << "A.XLS" << report << "";
        QTest::newRow("0 bytes") << "empty"
                                 << "a.xls" << unread << "порожній (0 байтів)";
        QTest::newRow("Excel's lock file") << "report"
                                           << "~$a.xls" << unread << "файл блокування, який Excel";
        QTest::newRow("unreadable") << "unreadable"
                                    << "a.xls" << unread << "немає права його читати";
        QTest::newRow("broken link") << "broken-link"
                                     << "a.xls" << unread << "веде на файл, якого немає";
        QTest::newRow("looping link") << "loop-link"
                                      << "a.xls" << unread << "замкнене в коло";
        QTest::newRow("FIFO") << "fifo"
                              << "a.xls" << unread << "не звичайний файл";
        QTest::newRow("folder named .xls") << "folder"
                                           << "a.xls" << skipped << "тека";
        QTest::newRow("sub-folder") << "folder"
                                    << "2026" << skipped << "вкладені теки не перевіряються";
        QTest::newRow(".xlsx") << "report"
                               << "a.xlsx" << skipped << "Excel 2007 або новішого формату (.xlsx)";
        QTest::newRow(".ods") << "report"
                              << "a.ods" << skipped << "книга OpenDocument (.ods)";
        QTest::newRow("text") << "report"
                              << "notes.txt" << skipped << "файл .txt, не звіт .xls";
        QTest::newRow("LibreOffice's lock") << "report"
                                            << ".~lock.a.xls#" << skipped << "файл блокування LibreOffice";
    }
    void folderListing()
    {
        QFETCH(QString, make);
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const bool root = bytes(QStringLiteral("/proc/self/status")).contains("\nUid:\t0\t");
        if (make == QStringLiteral("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(name));
        } else if (make == QStringLiteral("report") || make == QStringLiteral("unreadable")) {
            QVERIFY(QFile::copy(fixture(QStringLiteral("lo-values.xls")), path));
            if (make == QStringLiteral("unreadable")) {
                if (root)
                    QSKIP("the superuser reads every file");
                QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            }
        } else if (make == QStringLiteral("empty")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
#ifdef Q_OS_WIN
            QSKIP("links and FIFOs as Linux makes them");
#endif
            if (make == QStringLiteral("broken-link"))
                QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.xls")), path));
            else if (make == QStringLiteral("loop-link"))
                QVERIFY(QFile::link(path, path));
            else
                QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {path}), 0);
        }
        const app::FolderListing listing = app::listFolder(dir.path());
        QCOMPARE(listing.error, QString());
        QCOMPARE(int(listing.entries.size()), 1);
        const app::FolderEntry& e = listing.entries.front();
        QCOMPARE(e.name, name);
        QVERIFY2(e.kind == kind && e.reason.contains(says), qPrintable(e.reason));
        QVERIFY(kind != app::FolderEntry::Report || e.reason.isEmpty());
    }

    // One run at a time per output folder: a lock naming its holder, taken over only when stale.
    void outDirLock_data()
    {
        QTest::addColumn<QString>("holder"); // who holds the lock before the run
        QTest::addColumn<bool>("takesOver");
        QTest::newRow("a running process here") << "running" << false;
        QTest::newRow("a process here that is gone") << "gone" << true;
        QTest::newRow("another computer, an hour ago") << "elsewhere" << false;
        QTest::newRow("another computer, two days ago") << "old" << true;
        QTest::newRow("unreadable, just made") << "garbled" << false;
    }
    void outDirLock()
    {
        QFETCH(QString, holder);
        QFETCH(bool, takesOver);
        QTemporaryDir dir;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        app::LockHolder h = app::OutDirLock::self(now.addSecs(-3600));
        h.user = QStringLiteral("Оксана");
        if (holder == QStringLiteral("gone")) {
            h.pid = 999999999; // a process number no system hands out
        } else if (holder != QStringLiteral("running")) {
            h.computer = QStringLiteral("office-7");
            if (holder == QStringLiteral("old"))
                h.started = now.addDays(-2);
        }
        const QString lockPath = dir.filePath(QString::fromLatin1(app::OutDirLock::kFileName));
        {
            QFile f(lockPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(holder == QStringLiteral("garbled") ? QByteArray("comp") : app::OutDirLock::text(h));
        }
        {
            app::OutDirLock lock(dir.path(), now);
            QCOMPARE(lock.held(), takesOver);
            if (takesOver) {
                QVERIFY2(lock.note().contains(QStringLiteral("не було завершено")), qPrintable(lock.note()));
                QCOMPARE(app::OutDirLock::parse(bytes(lockPath)).pid, app::OutDirLock::self(now).pid);
                // A second run now finds this one.
                app::OutDirLock second(dir.path(), now);
                QVERIFY(!second.held());
                QVERIFY2(second.error().contains(QStringLiteral("процес %1").arg(QCoreApplication::applicationPid())),
                         qPrintable(second.error()));
            } else {
                QVERIFY2(lock.error().contains(QStringLiteral("зараз записує результати інша перевірка")),
                         qPrintable(lock.error()));
                if (holder != QStringLiteral("garbled"))
                    QVERIFY2(
                        lock.error().contains(QStringLiteral("користувач Оксана")) &&
                            lock.error().contains(h.started.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"))),
                        qPrintable(lock.error()));
                QVERIFY(lock.error().contains(QDir::toNativeSeparators(lockPath)));
            }
        }
        // The run's own lock goes with it; another's stays.
        QCOMPARE(QFileInfo::exists(lockPath), !takesOver);
    }

    // The receiving office's folder: every kind of file it meets, checked without changing one.
    void batchFolder()
    {
        Batch b;
        const QDate today = kToday;
        const QString months = QString::number(check::requiredMonths(today));
        const QString year = QString::number(check::reportingYear(today));
        const QString second = otherCode(3100012), third = otherCode(3300789);
        b.report(QStringLiteral("1-clean.xls"), cleanToday()); // the code 23456719
        b.report(QStringLiteral("2-findings.xls"),
                 cleanToday() << fixtures::Cell{1, 7, 2, second} << fixtures::Cell{1, 33, 2, QString()});
        b.report(QStringLiteral("3-same-code.xls"), cleanToday() << fixtures::Cell{1, 7, 2, second});
        b.report(QStringLiteral("4-other-period.xls"),
                 cleanToday() << fixtures::Cell{1, 7, 2, third}
                              << fixtures::Cell{1, 5, 2, QString::number(check::reportingYear(today) - 1)});
        b.file(QStringLiteral("5-damaged.xls"), bytes(b.path(QStringLiteral("1-clean.xls"))).left(3000));
        b.file(QStringLiteral("6-renamed.xls"),
               QByteArray("PK\x03\x04", 4) + "[Content_Types].xml" + QByteArray(400, 'x'));
#ifdef Q_OS_WIN
        const bool oddName = false; // Windows allows no tab or line break in a file name
#else
        const bool oddName = true;
        b.file(QStringLiteral("7-tab\tand\nline.xls"), ""); // a name that must not break the lines
#endif
        b.file(QStringLiteral("notes.txt"), "not a report");
        QVERIFY(QDir(b.folder.path()).mkdir(QStringLiteral("sub")));
        QVERIFY(QFile::copy(b.path(QStringLiteral("1-clean.xls")), b.path(QStringLiteral("sub/7-nested.xls"))));
        const QMap<QString, QByteArray> before = b.state();

        const Run r = b.run();
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QString()); // no progress line into a pipe
        const QString outDir = todaysOutDir(b.folder.path());
        const QString summary = QDir(outDir).filePath(QStringLiteral("зведення.xls"));
        const QString renamed = xls::makeError(xls::ErrorCode::OoxmlRenamed, QStringLiteral("6-renamed.xls")).message();
        QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), oddName ? 13 : 12);
        const QString damaged = lines.takeAt(4);
        QVERIFY2(damaged.startsWith(QStringLiteral("5-damaged.xls\t\tне перевірено\tФайл «5-damaged.xls»")),
                 qPrintable(damaged));
        const QString periodFlag = QStringLiteral("Період %1 міс. %2, а в більшості звітів %1 міс. %3.")
                                       .arg(months, QString::number(check::reportingYear(today) - 1), year);
        QStringList wantLines{
            QStringLiteral("1-clean.xls\t0\tбез помилок"), QStringLiteral("2-findings.xls\t1\tє помилки"),
            QStringLiteral("3-same-code.xls\t0\tбез помилок"), QStringLiteral("4-other-period.xls\t1\tє помилки"),
            QStringLiteral("6-renamed.xls\t\tне перевірено\t") + renamed};
        if (oddName)
            wantLines << QStringLiteral(
                "7-tab\\tand\\nline.xls\t\tне перевірено\tФайл «7-tab\\tand\\nline.xls» порожній (0 "
                "байтів): можливо, його ще копіюють або запис перервався. Скопіюйте звіт до теки ще "
                "раз і повторіть перевірку.");
        wantLines << QStringLiteral("notes.txt\t\tпропущено\tфайл .txt, не звіт .xls")
                  << QStringLiteral("sub\t\tпропущено\tтека: вкладені теки не перевіряються")
                  << QStringLiteral("2-findings.xls\tпозначка\tКод %1 також у звітах: 3-same-code.xls.").arg(second)
                  << QStringLiteral("3-same-code.xls\tпозначка\tКод %1 також у звітах: 2-findings.xls.").arg(second)
                  << QStringLiteral("4-other-period.xls\tпозначка\t") + periodFlag
                  << QStringLiteral("Звітів: %1; без помилок: 2, з помилками: 2, не перевірено: %2, з позначками: "
                                    "3; пропущено інших файлів і тек: 2. Зведення: %3")
                         .arg(oddName ? 7 : 6)
                         .arg(oddName ? 3 : 2)
                         .arg(QDir::toNativeSeparators(summary));
        QCOMPARE(lines, wantLines);

        // Not one byte of the folder changed; the results are in their own new folder.
        QMap<QString, QByteArray> after = b.state();
        QCOMPARE(after.take(QFileInfo(outDir).fileName()), QByteArray("<folder>"));
        QCOMPARE(after, before);
        QCOMPARE(QDir(outDir).entryList(QDir::Files, QDir::Name),
                 QStringList({QStringLiteral("2-findings_log.xls"), QStringLiteral("4-other-period_log.xls"),
                              QStringLiteral("зведення.xls")}));
        QCOMPARE(fixtures::readLog(QDir(outDir).filePath(QStringLiteral("2-findings_log.xls"))),
                 QList<fixtures::Row>({{QStringLiteral("Загальні дані"), 33, QStringLiteral("B"),
                                        QStringLiteral("Не заповнено: Контактний телефон.")}}));

#ifndef Q_OS_WIN // python3-xlrd is Linux's: the Windows build, run under wine, cannot hand it its paths
        // From the results folder, the log's finding links to its cell in the report.
        bool ok = false;
        const QString layout = QString::fromUtf8(fixtures::runPython(
            QStringLiteral("read_layout.py"), {QDir(outDir).filePath(QStringLiteral("2-findings_log.xls"))}, &ok));
        QVERIFY2(
            layout.startsWith(
                QStringLiteral("link\t2\t1\t%1#'Загальні дані'!B33\n").arg(b.path(QStringLiteral("2-findings.xls")))),
            qPrintable(layout.left(300)));
        // So does the summary's, on the sheet of every finding.
        const QString summaryLinks = QString::fromUtf8(
            fixtures::runPython(QStringLiteral("read_layout.py"), {summary, QStringLiteral("1")}, &ok));
        QVERIFY2(
            summaryLinks.startsWith(
                QStringLiteral("link\t2\t2\t%1#'Загальні дані'!B33\n").arg(b.path(QStringLiteral("2-findings.xls")))),
            qPrintable(summaryLinks.left(300)));

        // The summary as another reader sees it.
        const QMap<QString, QString> cells = xlrdCells(summary);
        QVERIFY(cells.value(QStringLiteral("0:2:1"))
                    .startsWith(QStringLiteral("Тека: %1.").arg(QDir::toNativeSeparators(b.folder.path()))));
        // ... with the lists the whole run used, as read when it started.
        QVERIFY2(cells.value(QStringLiteral("0:2:1")).contains(QStringLiteral("Списки: GUOZ.bin (змінено ")),
                 qPrintable(cells.value(QStringLiteral("0:2:1"))));
        const QStringList want = {
            // sheet "Звіти": file, code, name, months, year, findings, status, reason, flags, log
            QStringLiteral("0:4:1=1-clean.xls"), QStringLiteral("0:4:2=23456719"), QStringLiteral("0:4:3=ДП «Тест»"),
            QStringLiteral("0:4:4=") + months, QStringLiteral("0:4:5=") + year, QStringLiteral("0:4:6=0.0"),
            QStringLiteral("0:4:7=без помилок"), QStringLiteral("0:5:6=1.0"), QStringLiteral("0:5:7=є помилки"),
            QStringLiteral("0:5:9=Код %1 також у звітах: 3-same-code.xls.").arg(second),
            QStringLiteral("0:5:10=2-findings_log.xls"), QStringLiteral("0:7:9=") + periodFlag,
            QStringLiteral("0:8:1=5-damaged.xls"), QStringLiteral("0:8:7=не перевірено"),
            QStringLiteral("0:9:7=не перевірено"), QStringLiteral("0:9:8=") + renamed,
            // sheet "Помилки": file, sheet, row, column, message
            QStringLiteral("1:2:1=2-findings.xls"), QStringLiteral("1:2:2=Загальні дані"), QStringLiteral("1:2:3=33.0"),
            QStringLiteral("1:2:4=B"), QStringLiteral("1:2:5=Не заповнено: Контактний телефон."),
            QStringLiteral("1:3:1=4-other-period.xls"), QStringLiteral("1:3:3=5.0"),
            QStringLiteral("1:3:5=Період звітності(рік) невірно заповнений.")};
        for (const QString& w : want) {
            const QString key = w.section(u'=', 0, 0);
            QCOMPARE(key + u'=' + cells.value(key), w);
        }
        QCOMPARE(cells.value(QStringLiteral("0:12:1")) + u'=' + cells.value(QStringLiteral("0:12:7")),
                 QStringLiteral("sub=пропущено"));
        QVERIFY(!cells.contains(QStringLiteral("0:13:1")) && !cells.contains(QStringLiteral("1:4:1")));
        QVERIFY(cells.value(QStringLiteral("0:8:8")).startsWith(QStringLiteral("Файл «")));
#endif
    }

    // What the receiving office asks of a folder: the reports against the period collected, against the
    // register of senders, the region's Table 1 (sums known in advance), and the sender's own stamp.
    void batchForTheOffice()
    {
        Batch b;
        const QString months = QString::number(check::requiredMonths(kToday));
        const int year = check::reportingYear(kToday);
        const QString second = otherCode(3100012), third = otherCode(3300789), absent = otherCode(5100032);
        b.report(QStringLiteral("1-clean.xls"), cleanToday() << fixtures::Cell{1, 24, 2, QStringLiteral("2")});
        b.report(QStringLiteral("2-clean.xls"),
                 cleanToday() << fixtures::Cell{1, 7, 2, second} << fixtures::Cell{1, 24, 2, QStringLiteral("3")});
        // The late report is named after a registered code it does not give.
        const QString late = absent + QStringLiteral(".xls");
        b.report(late, cleanToday() << fixtures::Cell{1, 7, 2, third}
                                    << fixtures::Cell{1, 5, 2, QString::number(year - 1)}
                                    << fixtures::Cell{1, 24, 2, QStringLiteral("4")}
                                    << fixtures::Cell{1, 25, 2, QStringLiteral("abc")});
        const QString reg = b.program.path(QStringLiteral("реєстр.csv"));
        b.program.writeList(
            QStringLiteral("реєстр.csv"),
            QStringLiteral("Код;Назва\n23456719;Перший\n%1;Другий\n%2;Третій\n").arg(second, absent).toUtf8());
        const QString period = months + u'/' + QString::number(year);
        const Run r = b.run({QStringLiteral("--period"), period, QStringLiteral("--register"), reg});
        QCOMPARE(r.status, 1);
        const QString summary = QDir(todaysOutDir(b.folder.path())).filePath(QStringLiteral("зведення.xls"));
        QCOMPARE(
            r.out.split(u'\n', Qt::SkipEmptyParts),
            QStringList(
                {QStringLiteral("1-clean.xls\t0\tбез помилок"), QStringLiteral("2-clean.xls\t0\tбез помилок"),
                 late + QStringLiteral("\t2\tє помилки"),
                 QStringLiteral("\t\tне подано\tКод %1 «Третій»: звіту з цим кодом у теці немає: у файлі «%2» код %3 "
                                "(реєстр, рядок 4).")
                     .arg(absent, late, third),
                 late + QStringLiteral("\tпозначка\tПеріод %1 міс. %2, а очікується %1 міс. %3.")
                            .arg(months)
                            .arg(year - 1)
                            .arg(year),
                 late + QStringLiteral("\tпозначка\tКод %1 немає в реєстрі.").arg(third),
                 QStringLiteral("Звітів: 3; без помилок: 2, з помилками: 1, не перевірено: 0, не подано: 1, "
                                "з позначками: 1. Зведення: %1")
                     .arg(QDir::toNativeSeparators(summary))}));
#ifndef Q_OS_WIN
        const QMap<QString, QString> cells = xlrdCells(summary);
        const QStringList want = {
            // "Звіти": the sender's stamp and the file's time; the balance holder that sent nothing
            QStringLiteral("0:4:11=не перевірявся"), QStringLiteral("0:7:2=") + absent, QStringLiteral("0:7:3=Третій"),
            QStringLiteral("0:7:7=не подано"),
            // "Разом": reports in each sum; п.15 over the clean reports and over all; п.16 not a number
            QStringLiteral("2:4:2=2.0"), QStringLiteral("2:4:3=3.0"), QStringLiteral("2:19:2=5.0"),
            QStringLiteral("2:19:3=9.0"), QStringLiteral("2:20:3=0.0"), QStringLiteral("2:20:4=") + late,
            QStringLiteral("2:5:1=п.1 Загальна площа нерухомого майна на балансі, кв. м")};
        for (const QString& w : want) {
            const QString key = w.section(u'=', 0, 0);
            QCOMPARE(key + u'=' + cells.value(key), w);
        }
        QVERIFY(!cells.value(QStringLiteral("0:4:12")).isEmpty());
        // п.1 is the same in every report: the sum over three is half as much again as over two.
        QCOMPARE(cells.value(QStringLiteral("2:5:3")).toDouble(),
                 1.5 * cells.value(QStringLiteral("2:5:2")).toDouble());
        QVERIFY(cells.value(QStringLiteral("2:5:2")).toDouble() > 0);
#endif
    }

    // "Скасувати" in the window: no report is passed on after the answer, and the summary says it is
    // incomplete on its second row.
    void batchCancelled()
    {
        Batch b;
        for (const char* name : {"a.xls", "b.xls", "c.xls"})
            b.report(QString::fromLatin1(name), cleanToday());
        app::BatchRun batch({b.folder.path(), {}, b.program.dir(), 1, {}, {}},
                            fixtures::environment(b.program.dir(), sheet::Locale::comma(), kToday));
        int asked = 0;
        batch.cancelled = [&] { return ++asked > 1; };
        QStringList passed;
        batch.onReport = [&](const app::BatchReport& r) { passed << r.file; };
        const app::BatchResult result = batch.run();
        QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
        QVERIFY(result.cancelled);
        QCOMPARE(passed, QStringList{QStringLiteral("a.xls")});
        QCOMPARE(result.total, 1); // the reports passed on
        QCOMPARE(result.clean, 1);
#ifndef Q_OS_WIN
        const QMap<QString, QString> cells = xlrdCells(result.summary);
        QVERIFY2(cells.value(QStringLiteral("0:2:1"))
                     .startsWith(QStringLiteral("Перевірку скасовано після 1 з 3 звітів: "
                                                "зведення неповне. Тека: ")),
                 qPrintable(cells.value(QStringLiteral("0:2:1"))));
        QVERIFY(!cells.contains(QStringLiteral("0:5:1")));
#endif
    }

    void batchStatus_data()
    {
        // clean; other: clean, another code; late: another code, the year before; damaged
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("flags");
        QTest::newRow("all clean") << words({u"clean", u"other"}) << 0 << 0;
        QTest::newRow("one unreadable") << words({u"clean", u"damaged"}) << 1 << 0;
        QTest::newRow("one code twice") << words({u"clean", u"clean"}) << 1 << 2;
        QTest::newRow("two periods, neither most common") << words({u"clean", u"late"}) << 1 << 0;
        QTest::newRow("one period unlike two") << words({u"clean", u"other", u"late"}) << 1 << 1;
    }
    void batchStatus()
    {
        QFETCH(QStringList, reports);
        QFETCH(int, status);
        QFETCH(int, flags);
        Batch b;
        const int year = check::reportingYear(kToday);
        for (int i = 0; i < reports.size(); ++i) {
            const QString name = QStringLiteral("%1.xls").arg(i);
            const QString& kind = reports[i];
            if (kind == QStringLiteral("damaged"))
                b.file(name, "\xD0\xCF\x11\xE0 damaged");
            else if (kind == QStringLiteral("clean"))
                b.report(name, cleanToday());
            else
                b.report(name, cleanToday()
                                   << fixtures::Cell{1, 7, 2, otherCode(kind.size() * 1000003)}
                                   << fixtures::Cell{1, 5, 2, QString::number(kind == u"late" ? year - 1 : year)});
        }
        const Run r = b.run({QStringLiteral("--jobs"), QStringLiteral("2")});
        QCOMPARE(r.status, status);
        QCOMPARE(r.out.count(QStringLiteral("\tпозначка\t")), flags);
        QVERIFY(QFile::exists(QDir(todaysOutDir(b.folder.path())).filePath(QStringLiteral("зведення.xls"))));
    }

    void batchCannotRun_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("words");
        QTest::newRow("folder missing")
            << "no-folder"
            // Windows makes the path absolute with its drive letter: "Z:\nonexistent\reports".
            << QStringLiteral("%1» не знайдено.").arg(QDir::toNativeSeparators(QStringLiteral("nonexistent/reports")));
        QTest::newRow("log template missing") << "elog.xls"
                                              << "Не знайдено шаблон протоколу «";
        QTest::newRow("summary template missing") << "zvedennya.xls"
                                                  << "Не знайдено шаблон зведення «";
        QTest::newRow("list missing") << "SR.bin"
                                      << "SR.bin». Теку перевіряють лише з усіма шістьма списками";
        QTest::newRow("no reports") << "no-reports"
                                    << "немає файлів .xls (інших файлів і тек: 1)";
        QTest::newRow("results into the folder") << "out-is-folder"
                                                 << "не можна записувати до теки зі звітами";
        QTest::newRow("results into a file") << "out-is-file"
                                             << "» — це файл, а не тека";
        QTest::newRow("13 months") << "period=13.2026"
                                   << "У періоді «13.2026» 13 місяців";
        QTest::newRow("two-digit year") << "period=12.26"
                                        << "рік «26» не з чотирьох цифр";
        QTest::newRow("register missing") << "register=немає.csv"
                                          << "немає.csv» не знайдено";
        QTest::newRow("register without codes") << "register=порожній.csv"
                                                << "немає жодного коду балансоутримувача";
    }
    void batchCannotRun()
    {
        QFETCH(QString, damage);
        QFETCH(QString, words);
        Batch b;
        b.report(QStringLiteral("1.xls"), cleanToday());
        QStringList more;
        if (damage == QStringLiteral("no-reports"))
            QFile::rename(b.path(QStringLiteral("1.xls")), b.path(QStringLiteral("1.txt")));
        else if (damage == QStringLiteral("out-is-folder"))
            more << QStringLiteral("--out") << b.folder.path() + QStringLiteral("/.");
        else if (damage == QStringLiteral("out-is-file"))
            more << QStringLiteral("--out") << b.path(QStringLiteral("1.xls"));
        else if (damage.startsWith(QStringLiteral("period=")))
            more << QStringLiteral("--period") << damage.section(u'=', 1);
        else if (damage.startsWith(QStringLiteral("register="))) {
            const QString file = b.program.path(damage.section(u'=', 1));
            if (file.contains(QStringLiteral("порожній")))
                b.program.writeList(QFileInfo(file).fileName(), "Код;Назва\r\n\r\n");
            more << QStringLiteral("--register") << file;
        } else if (damage.contains(u'.'))
            b.program.removeFile(damage);
        const QMap<QString, QByteArray> before = b.state();
        const Run r = damage == QStringLiteral("no-folder")
                          ? runArguments({QStringLiteral("--batch"), QStringLiteral("/nonexistent/reports"),
                                          QStringLiteral("--dir"), b.program.dir()})
                          : b.run(more);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(words), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(b.state(), before); // no results folder either
    }

    // A run killed at any moment, again and again into the same results, leaves either the previous
    // complete result or a summary that says it is incomplete; the next run takes over its lock.
    void batchKilled()
    {
#ifdef Q_OS_WIN
        QSKIP("killed through POSIX signals");
#else
        Batch b;
        for (int i = 0; i < 60; ++i)
            b.report(QStringLiteral("r%1.xls").arg(i, 2, 10, QLatin1Char('0')),
                     cleanToday() << fixtures::Cell{1, 33, 2, QString()});
        QTemporaryDir results;
        const QStringList args{QStringLiteral("--batch"), b.folder.path(),         QStringLiteral("--dir"),
                               b.program.dir(),           QStringLiteral("--out"), results.path(),
                               QStringLiteral("--jobs"),  QStringLiteral("1")};
        QCOMPARE(runArguments(args).status, 1);
        // The next runs differ: eleven reports are gone (their logs must go).
        for (int i = 0; i < 11; ++i)
            QVERIFY(QFile::remove(b.path(QStringLiteral("r%1.xls").arg(i, 2, 10, QLatin1Char('0')))));
        const QString r11 = b.path(QStringLiteral("r11.xls")), aside = b.program.path(QStringLiteral("r11.xls"));
        QStringList ended;
        for (const int ms : {40, 150, 300, 450, 600, 800}) {
            // Each run's complete summary differs from the one before: r11 is taken away, then back.
            QVERIFY(ended.size() % 2 ? QFile::rename(aside, r11) : QFile::rename(r11, aside));
            const QMap<QString, QByteArray> previous = digests(results.path());
            QProcess p;
            p.start(QStringLiteral(BRANTOVEL_BIN_DIR "/brantovel-check"), args);
            QVERIFY(p.waitForStarted());
            QTest::qWait(ms);
            if (const qint64 pid = p.processId(); pid > 0 && p.state() == QProcess::Running)
                ::kill(pid_t(pid), SIGKILL); // never 0: that would be this test's own process group
            if (p.state() != QProcess::NotRunning)
                QVERIFY(p.waitForFinished());
            ended << (p.exitStatus() == QProcess::CrashExit ? QStringLiteral("killed")
                                                            : QStringLiteral("finished(%1): %2")
                                                                  .arg(p.exitCode())
                                                                  .arg(QString::fromUtf8(p.readAllStandardError())));
            const QString problems = resultProblems(results.path(), previous);
            QVERIFY2(problems.isEmpty(),
                     qPrintable(QStringLiteral("%1 after %2 ms: %3").arg(ended.last()).arg(ms).arg(problems)));
        }
        QVERIFY2(ended.contains(QStringLiteral("killed")), qPrintable(ended.join(u' ')));
        const Run r = runArguments(args);
        QCOMPARE(r.status, 1);
        const qsizetype logs = QFileInfo::exists(r11) ? 49 : 48;
        QVERIFY2(r.out.contains(QStringLiteral("Звітів: %1;").arg(logs)), qPrintable(r.out));
        QCOMPARE(resultProblems(results.path(), {}), QString());
        QCOMPARE(QDir(results.path()).entryList({QStringLiteral("*_log.xls")}, QDir::Files).size(), logs);
        // Nothing else is left: no hidden log, no lock.
        QCOMPARE(QDir(results.path()).entryList(QDir::Files | QDir::Hidden).size(), logs + 1);
#endif
    }

    // Results on a full disk: the run says so in Ukrainian and leaves the previous result as it was.
    void batchFullDisk()
    {
        const RamDisk mountPoint;
        if (!mountPoint.mounted)
            QSKIP("cannot mount a RAM disk here (not root)");
        Batch b;
        for (int i = 0; i < 3; ++i)
            b.report(QStringLiteral("r%1.xls").arg(i), cleanToday() << fixtures::Cell{1, 33, 2, QString()});
        const QStringList out{QStringLiteral("--out"), mountPoint.path()};
        QCOMPARE(b.run(out).status, 1);
        for (int i = 3; i < 40; ++i)
            b.report(QStringLiteral("r%1.xls").arg(i), cleanToday() << fixtures::Cell{1, 33, 2, QString()});
        const QMap<QString, QByteArray> previous = digests(mountPoint.path());
        const Run r = b.run(out);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("на диску не залишилося вільного місця")), qPrintable(r.err));
        QVERIFY2(!QString(r.err).remove(mountPoint.path()).contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,}"))),
                 qPrintable(r.err));
        QCOMPARE(digests(mountPoint.path()), previous);
        QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files | QDir::Hidden).size(), previous.size());
    }

    // One snapshot: the lists and the templates, removed after the first report, change nothing of
    // the run (every report is judged by the same lists and gets its log).
    void batchSnapshot()
    {
        Batch b;
        for (int i = 0; i < 8; ++i)
            b.report(QStringLiteral("%1.xls").arg(i), cleanToday() << fixtures::Cell{1, 33, 2, QString()});
        app::BatchOptions options;
        options.folder = b.folder.path();
        options.dir = b.program.dir();
        options.jobs = 1;
        check::Environment env;
        env.clock = [] { return QDateTime(kToday, QTime(10, 30, 15)); };
        app::BatchRun run(options, env);
        QList<int> findings;
        run.onReport = [&](const app::BatchReport& r) {
            if (findings.isEmpty())
                for (const QString& f : check::ReferenceLists::names() +
                                            QStringList{QStringLiteral("elog.xls"), QStringLiteral("zvedennya.xls")})
                    b.program.removeFile(f);
            findings << r.findings;
        };
        const app::BatchResult r = run.run();
        QCOMPARE(r.error, QString());
        QCOMPARE(r.withFindings, 8);
        QCOMPARE(findings, QList<int>(8, findings.first()));
        QCOMPARE(QDir(r.outDir).entryList({QStringLiteral("*_log.xls")}, QDir::Files).size(), 8);
    }

    void batchRunsAgain()
    {
        Batch b;
        b.report(QStringLiteral("a.xls"), cleanToday() << fixtures::Cell{1, 33, 2, QString()});
        // A second run of the day gets a folder of its own ...
        QCOMPARE(b.run().status, 1);
        QCOMPARE(b.run().status, 1);
        QVERIFY(QFile::exists(todaysOutDir(b.folder.path()) + QStringLiteral("-2/a_log.xls")));
        // ... while a folder given twice is brought up to date: a report corrected since has no log left.
        QTemporaryDir results;
        const QStringList out{QStringLiteral("--out"), results.path()};
        QCOMPARE(b.run(out).status, 1);
        QVERIFY(QFile::exists(results.filePath(QStringLiteral("a_log.xls"))));
        QFile::remove(b.path(QStringLiteral("a.xls")));
        b.report(QStringLiteral("a.xls"), cleanToday());
        const Run r = b.run(out);
        QCOMPARE(r.status, 0);
        QCOMPARE(QDir(results.path()).entryList(QDir::Files), QStringList{QStringLiteral("зведення.xls")});
    }

    void batchProgressOnATerminal()
    {
#ifdef Q_OS_WIN
        QSKIP("a pseudo-terminal needs util-linux's script, which Windows has not");
#endif
        const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
        if (script.isEmpty())
            QSKIP("util-linux's script (a pseudo-terminal) is not installed");
        Batch b;
        // A separate process reads the system clock: the reports are for the period of the real today.
        const QDate today = QDate::currentDate();
        for (const char* name : {"a.xls", "b.xls", "c.xls"})
            b.report(QString::fromLatin1(name),
                     fixtures::cleanGeneral(check::requiredMonths(today), check::reportingYear(today)));
        QStringList command{QStringLiteral(BRANTOVEL_BIN_DIR "/brantovel-check"),
                            QStringLiteral("--batch"),
                            b.folder.path(),
                            QStringLiteral("--dir"),
                            b.program.dir(),
                            QStringLiteral("--jobs"),
                            QStringLiteral("1")};
        for (QString& c : command)
            c = QLatin1Char('\'') + c + QLatin1Char('\'');
        QProcess p;
        p.start(script, {QStringLiteral("-qec"), command.join(u' '), QStringLiteral("/dev/null")});
        QVERIFY(p.waitForFinished(120000));
        const QString shown = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(shown.contains(QRegularExpression(QStringLiteral("Перевірено звітів: [12] з 3…"))), qPrintable(shown));
        QVERIFY(shown.contains(QStringLiteral("c.xls\t0\tбез помилок")));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
