// brantovel-check end to end: exit codes, output against the log as python3-xlrd reads it, and
// the report left byte-identical when the run fails.
#include "check/period.h"
#include "fixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

Run runArguments(const QStringList& arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRANTOVEL_BIN_DIR "/brantovel-check"), arguments);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
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

// A clean general data sheet for the period the program derives from today's date.
QList<fixtures::Cell> cleanToday()
{
    const QDate today = QDate::currentDate();
    return fixtures::cleanGeneral(check::requiredMonths(today), check::reportingYear(today));
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void help()
    {
        QProcess p;
        p.start(QStringLiteral(BRANTOVEL_BIN_DIR "/brantovel-check"), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(QStringLiteral("Код завершення")));
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
        QCOMPARE(r.err, QStringLiteral("Список «%1» не знайдено, тому коди не звірено з ним і перевірка неповна.\n")
                            .arg(QDir::toNativeSeparators(ws.path(QStringLiteral("KYIV.bin")))));
    }

    void failedRunLeavesReportIdentical_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("words");
        QTest::newRow("log template missing") << "no-template"
                                              << "Не знайдено шаблон протоколу";
        QTest::newRow("report missing") << "no-report"
                                        << "zvit.xls» не знайдено.";
        QTest::newRow("report is a folder") << "folder"
                                            << "zvit.xls» є папкою";
        QTest::newRow("report of 0 bytes") << "empty"
                                           << "порожній";
        QTest::newRow("report truncated") << "truncated"
                                          << "zvit.xls»";
        QTest::newRow("report read-only") << "readonly"
                                          << "zvit.xls» доступний лише для читання";
        QTest::newRow("report held open by another program") << "held-open"
                                                             << "zvit.xls» відкрито в іншій програмі";
    }
    void failedRunLeavesReportIdentical()
    {
        QFETCH(QString, damage);
        QFETCH(QString, words);
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        const QString report = ws.path(QStringLiteral("zvit.xls"));
        if (damage == QStringLiteral("no-template"))
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
        QVERIFY(QFile::copy(QStringLiteral(BRANTOVEL_DATA_DIR "/sample/zvit.xls"), ws.path(QStringLiteral("zvit.xls"))));
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
        QTemporaryDir mountPoint;
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=256k"), QStringLiteral("tmpfs"), mountPoint.path()}) != 0)
            QSKIP("cannot mount a RAM disk here (not root)");
        struct Unmount {
            QString path;
            ~Unmount() { QProcess::execute(QStringLiteral("umount"), {path}); }
        } unmount{mountPoint.path()};
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        const QDir disk(mountPoint.path());
        for (const QString& f : QDir(ws.dir()).entryList(QDir::Files))
            QVERIFY(QFile::copy(ws.path(f), disk.filePath(f)));
        const QByteArray before = bytes(disk.filePath(QStringLiteral("zvit.xls")));
        // Fill the disk but for room enough for the log, not for a second copy of the report.
        const qint64 report = before.size();
        QFile filler(disk.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size())
            ;
        filler.close();
        filler.resize(std::max<qint64>(0, filler.size() - report / 2 - 16384));
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
                                        << QStringLiteral("Теку «%1» не знайдено.\n")
                                               .arg(QDir::toNativeSeparators(QStringLiteral("/nonexistent/dir")));
        QTest::newRow("--dir without a folder")
            << words({u"--dir"}) << 2 << "Після параметра «--dir» не вказано теку. Довідка: brantovel-check --help\n";
        QTest::newRow("--dir= without a folder")
            << words({u"--dir="}) << 2 << "Після параметра «--dir» не вказано теку. Довідка: brantovel-check --help\n";
        QTest::newRow("unknown option") << words({u"--bogus", u"DIR"}) << 2
                                        << "Невідомий параметр «--bogus». Довідка: brantovel-check --help\n";
        QTest::newRow("two folders") << words({u"--dir", u"DIR", u"/tmp"}) << 2
                                     << "Зайвий параметр «/tmp»: теку вже вказано. Довідка: brantovel-check --help\n";
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
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
