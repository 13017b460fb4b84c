// The control run through a scripted desktop: verdicts, the copy, and the error path.
#include "fixtures.h"
#include "run/controlrun.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

class ScriptedDesktop : public app::Desktop, public app::StatusDisplay {
public:
    bool answerYes = false;
    QString saveAs; // empty: cancel
    QStringList calls;
    QString proposed;
    bool statusShown = false;

    bool openDocument(const QString& path) override
    {
        calls << QStringLiteral("open ") + QFileInfo(path).fileName();
        return true;
    }
    bool askYesNo(const QString& title, const QString& text) override
    {
        calls << QStringLiteral("ask ") + title + QStringLiteral(": ") + text;
        return answerYes;
    }
    void inform(const QString& title, const QString& text) override
    {
        calls << QStringLiteral("inform ") + title + QStringLiteral(": ") + text;
    }
    void showError(const QString& title, const QString& text) override
    {
        calls << QStringLiteral("error ") + title + QStringLiteral(": ") + text +
                     (statusShown ? QStringLiteral(" [status shown]") : QString());
    }
    QString askSaveFileName(const QString&, const QString& p) override
    {
        proposed = p;
        calls << QStringLiteral("save dialog");
        return saveAs;
    }
    void openform(const QString&, const QString&) override { statusShown = true; }
    void closeform() override { statusShown = false; }
};

QString fixture(const QString& name)
{
    return QDir(QStringLiteral(BRANTOVEL_FIXTURES_DIR)).filePath(name);
}

} // namespace

class TestControlRun : public QObject {
    Q_OBJECT

    app::ControlRunResult run(fixtures::Workspace& ws, ScriptedDesktop& d)
    {
        app::ControlRun r(ws.dir(), fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9)), d, &d,
                          QStringLiteral("Brantovel"));
        return r.run();
    }

private slots:
    void titleAndFullStop()
    {
        QCOMPARE(app::applicationTitle(QStringLiteral("/opt/x/BRANTOVEL.exe")), QStringLiteral("Brantovel"));
        QCOMPARE(app::applicationTitle(QStringLiteral("C:/x/brantovel-check")), QStringLiteral("brantovel-check"));
        QCOMPARE(app::withFullStop(QStringLiteral("Помилка")), QStringLiteral("Помилка."));
        QCOMPARE(app::withFullStop(QStringLiteral("Чому?")), QStringLiteral("Чому?."));
        QCOMPARE(app::withFullStop(QStringLiteral("Готово.")), QStringLiteral("Готово."));
        QCOMPARE(app::withFullStop(QStringLiteral("(ok)")), QStringLiteral("(ok)"));
    }

    void findingsAndYesOpensLog()
    {
        fixtures::Workspace ws;
        ws.makeReport({{1, 7, 2, QStringLiteral("1234567")}});
        ScriptedDesktop d;
        d.answerYes = true;
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.outcome, app::ControlRunResult::Findings);
        QVERIFY(!r.findings.empty());
        QCOMPARE(d.calls,
                 (QStringList{QStringLiteral("ask Brantovel: Знайдені помилки у звіті. Переглянути перелік помилок?"),
                              QStringLiteral("open zvit_log.xls")}));
        QVERIFY(!d.statusShown);
    }

    void findingsAndNoKeepsLogUntilNextRun()
    {
        fixtures::Workspace ws;
        ws.makeReport({{1, 7, 2, QStringLiteral("1234567")}});
        ScriptedDesktop d;
        run(ws, d);
        QVERIFY(QFileInfo::exists(ws.path(QStringLiteral("zvit_log.xls"))));
        // The next run starts from a fresh copy of the template: no finding is counted twice.
        ws.makeReport(fixtures::cleanGeneral());
        d.calls.clear();
        d.saveAs = ws.path(QStringLiteral("копія"));
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.outcome, app::ControlRunResult::Clean);
        QVERIFY(!QFileInfo::exists(ws.path(QStringLiteral("zvit_log.xls"))));
        QCOMPARE(d.proposed, QStringLiteral("23456719"));
        QCOMPARE(r.copiedTo, ws.path(QStringLiteral("копія.xls")));
        QVERIFY(QFileInfo::exists(ws.path(QStringLiteral("копія.xls"))));
        QVERIFY2(d.calls.first().startsWith(QStringLiteral("inform Brantovel: Вибрані файли перевірені.Помилок не "
                                                           "знайдено.\n\nПорівняно з попередньою перевіркою: ")),
                 qPrintable(d.calls.first()));
    }

    // The verdict compares this check's findings with the previous check's log (a finding is the
    // same when its sheet, row, column and message are); it says nothing without a readable log.
    void progressSinceThePreviousCheck_data()
    {
        QTest::addColumn<QString>("before"); // the previous check's report, or "none", "junk" for its log
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("progress");
        QTest::newRow("no previous log") << "none"
                                         << "mail,phone" << QString();
        QTest::newRow("a log that cannot be read") << "junk"
                                                   << "mail,phone" << QString();
        QTest::newRow("one fixed, one new, one left")
            << "mail,phone"
            << "phone,name"
            << "Порівняно з попередньою перевіркою: виправлено 1, нових 1, залишилося 1.";
        QTest::newRow("all fixed") << "mail,phone"
                                   << ""
                                   << "Порівняно з попередньою перевіркою: виправлено 2, нових 0, "
                                      "залишилося 0.";
        QTest::newRow("the same message in another cell is another finding")
            << "district7"
            << "district8"
            << "Порівняно з попередньою перевіркою: виправлено 1, нових 1, залишилося 0.";
    }
    void progressSinceThePreviousCheck()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, progress);
        // A free premises row of "Інші відомості", right but for its district.
        auto premises = [](int row, const QString& district) {
            const QStringList v{QString::number(row - 6),   district,
                                QStringLiteral("Хрещатик"), QStringLiteral("вулиця"),
                                QStringLiteral("10"),       QStringLiteral("350"),
                                QStringLiteral("0"),        QStringLiteral("45"),
                                QStringLiteral("40"),       QStringLiteral("5"),
                                QStringLiteral("1"),        QStringLiteral("задовільний"),
                                QStringLiteral("так"),      QStringLiteral("так"),
                                QStringLiteral("так"),      QStringLiteral("офісне")};
            QList<fixtures::Cell> cells;
            for (int c = 0; c < v.size(); ++c)
                cells.append({4, row, c + 1, v[c]});
            return cells;
        };
        // Mistakes by name: each gives one finding of its own.
        auto report = [&](const QString& mistakes) {
            QList<fixtures::Cell> cells = fixtures::cleanGeneral();
            const QStringList names = mistakes.split(u',', Qt::SkipEmptyParts);
            if (names.contains(QStringLiteral("mail")))
                cells.append({1, 32, 2, QStringLiteral("a@b")});
            if (names.contains(QStringLiteral("phone")))
                cells.append({1, 33, 2, QStringLiteral(" ")});
            if (names.contains(QStringLiteral("name")))
                cells.append({1, 8, 2, QStringLiteral(" ")});
            if (names.contains(QStringLiteral("district7")))
                cells += premises(7, QStringLiteral("Нема"));
            if (names.contains(QStringLiteral("district8")))
                cells += premises(7, QStringLiteral("Печерський")) + premises(8, QStringLiteral("Нема"));
            return cells;
        };
        fixtures::Workspace ws;
        ScriptedDesktop d;
        if (before == QStringLiteral("junk")) {
            ws.writeList(QStringLiteral("zvit_log.xls"), "not a workbook");
        } else if (before != QStringLiteral("none")) {
            ws.makeReport(report(before));
            QCOMPARE(run(ws, d).outcome, app::ControlRunResult::Findings);
        }
        ws.makeReport(report(after));
        d.calls.clear();
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.progress, progress);
        QVERIFY(!d.calls.isEmpty());
        if (!progress.isEmpty())
            QVERIFY2(d.calls.first().contains(progress), qPrintable(d.calls.first()));
        // The question of a run with findings stays the verdict's last words.
        if (r.outcome == app::ControlRunResult::Findings)
            QVERIFY(d.calls.first().endsWith(QStringLiteral("Знайдені помилки у звіті. Переглянути перелік помилок?")));
    }

    // The printed log names its report: file, balance holder's code and name, time and count.
    void logPageHeaderNamesTheReport()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral() + QList<fixtures::Cell>{{1, 33, 2, QStringLiteral(" ")}});
        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.findings.size(), size_t(1));
        QCOMPARE(xls::Workbook::open(ws.path(QStringLiteral("zvit_log.xls"))).pageHeader(0),
                 QStringLiteral("&LЗвіт: zvit.xls&Cкод 23456719 · ДП «Тест»&RПеревірено 09.12.2026 10:30:15; "
                                "помилок: 1"));
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
        // The template's rows are no findings, and a finding below a formatted row 2 is not lost.
        QFETCH(QString, logTemplate);
        QFETCH(bool, withFinding);
        fixtures::Workspace ws;
        ws.useLogTemplate(QStringLiteral(BRANTOVEL_FIXTURES_DIR "/") + logTemplate);
        QList<fixtures::Cell> cells = fixtures::cleanGeneral();
        if (withFinding)
            cells.append({1, 33, 2, QString()});
        ws.makeReport(cells);
        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.outcome, withFinding ? app::ControlRunResult::Findings : app::ControlRunResult::Clean);
        QCOMPARE(int(r.findings.size()), withFinding ? 1 : 0);
        if (withFinding)
            QCOMPARE(r.findings[0].message, QStringLiteral("Не заповнено: Контактний телефон."));
        QCOMPARE(QFileInfo::exists(ws.path(QStringLiteral("zvit_log.xls"))), withFinding);
    }

    void cancelMakesNoCopyAndNoSheetProposesUndetermined()
    {
        // A report without the general data sheet and without findings: the code is undetermined.
        fixtures::Workspace ws;
        ws.makeReport({}, QStringLiteral(BRANTOVEL_FIXTURES_DIR "/frame-t2-only.xls"));
        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.outcome, app::ControlRunResult::Clean);
        QCOMPARE(d.proposed, QStringLiteral("Не визначений"));
        QVERIFY(r.copiedTo.isEmpty());
        QCOMPARE(
            QDir(ws.dir()).entryList(QDir::Files).filter(QStringLiteral(".xls")),
            (QStringList{QStringLiteral("elog.xls"), QStringLiteral("zvedennya.xls"), QStringLiteral("zvit.xls")}));
    }

    void failureSaysWhyAndLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("words"); // %1: the folder; compared with native separators
        QTest::addColumn<QString>("from");  // the fixture the report starts from; empty: the template
        QTest::newRow("log template missing")
            << "no-template"
            << "Не знайдено шаблон протоколу «%1/elog.xls». Поверніть файл elog.xls до теки"
            << "";
        QTest::newRow("folder not writable") << "folder-read-only"
                                             << "До теки «%1» не можна записувати, тому перевірка не може створити "
                                                "протокол і зберегти звіт."
                                             << "";
        QTest::newRow("report read-only") << "report-read-only"
                                          << "Звіт «%1/zvit.xls» доступний лише для читання, а перевірка записує до "
                                             "нього дату й час перевірки."
                                          << "";
        QTest::newRow("report of 0 bytes, found after the log was made") << "empty"
                                                                         << "Файл «%1/zvit.xls» порожній (0 байтів)"
                                                                         << "";
        // An editor that has the report open leaves its lock file beside it.
        const char* const locked = "Файл «%1/zvit.xls» зараз відкрито в іншій програмі: поруч із ним лежить файл "
                                   "блокування «%1/%2», який табличний редактор залишає, поки файл відкритий. "
                                   "Закрийте файл у тій програмі та повторіть спробу. Якщо файл ніде не відкрито "
                                   "(наприклад, програма раніше аварійно завершила роботу), видаліть файл блокування "
                                   "«%1/%2» і повторіть спробу.";
        QTest::newRow("open in Excel") << "~$zvit.xls" << QString::fromUtf8(locked).arg(u"%1", u"~$zvit.xls") << "";
        QTest::newRow("open in LibreOffice")
            << ".~lock.zvit.xls#" << QString::fromUtf8(locked).arg(u"%1", u".~lock.zvit.xls#") << "";
        // An error value that the rules read outside their guarded units stops the check at its cell.
        const char* const stopped = "Перевірку зупинено: клітинка %2 аркуша «%3» звіту «%1/zvit.xls» містить помилку "
                                    "формули %4. Виправте формулу або введіть значення в цю клітинку й повторіть "
                                    "перевірку. Звіт залишено без змін.";
        const struct {
            const char* cell;
            int sheet, row, col;
            const char* value;
        } stops[] = {{"A4", 1, 4, 1, "#N/A"},
                     {"B6", 1, 6, 2, "#VALUE!"},
                     {"B11", 1, 11, 2, "#DIV/0!"},
                     {"B33", 1, 33, 2, "#N/A"},
                     {"C8", 2, 8, 3, "#REF!"}};
        for (const auto& c : stops) {
            const QString sheet = c.sheet == 1 ? QStringLiteral("Загальні дані") : QStringLiteral("Таблиця 2");
            QTest::addRow("%s in %s", c.value, c.cell)
                << QStringLiteral("error %1 %2 %3 %4")
                       .arg(c.sheet)
                       .arg(c.row)
                       .arg(c.col)
                       .arg(QString::fromLatin1(c.value))
                << QString::fromUtf8(stopped).arg(u"%1", QString::fromLatin1(c.cell), sheet,
                                                  QString::fromLatin1(c.value))
                << "";
        }
        QTest::newRow("S13 in a shared formula")
            << ""
            << "У книзі «%1/zvit.xls» клітинка S13 аркуша «Загальні дані» входить до спільної формули S12:S15 "
               "(однієї формули, протягнутої на кілька клітинок), тому записати в неї значення, не зіпсувавши "
               "інших клітинок, не можна; книга залишилася без змін. Видаліть формулу з клітинки S13 у табличному "
               "редакторі, збережіть книгу й повторіть спробу."
            << "zvit-s13-shared-formula.xls";
        QTest::newRow("S13 in an array formula")
            << ""
            << "У книзі «%1/zvit.xls» клітинка S13 аркуша «Загальні дані» входить до формули масиву S12:S14 "
               "(формули у фігурних дужках {…}, введеної для кількох клітинок), тому записати в неї значення, не "
               "зіпсувавши інших клітинок, не можна; книга залишилася без змін. Видаліть формулу масиву в "
               "табличному редакторі (виділіть усі її клітинки S12:S14 і натисніть Delete), щоб звільнити "
               "клітинку S13, збережіть книгу й повторіть спробу."
            << "zvit-s13-array-formula.xls";
    }
    void failureSaysWhyAndLeavesNothingBehind()
    {
        QFETCH(QString, damage);
        QFETCH(QString, words);
        QFETCH(QString, from);
        fixtures::Workspace ws;
        QList<fixtures::Cell> cells = fixtures::cleanGeneral();
        if (damage.startsWith(QStringLiteral("error "))) {
            // "error SHEET ROW COL VALUE": that cell holds a formula whose result is an error value; a
            // row of Таблиця 2 is taken up only when its code cell is filled.
            const QStringList w = damage.split(u' ');
            cells.append({w[1].toInt(), w[2].toInt(), w[3].toInt(), u'=' + w[4]});
            if (w[1] == QStringLiteral("2"))
                cells.append({2, w[2].toInt(), 2, QStringLiteral("23456719")});
        }
        ws.makeReport(cells, from.isEmpty() ? QString() : fixture(from));
        const QString report = ws.path(QStringLiteral("zvit.xls"));
        QFile f(report);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray before = f.readAll();
        f.close();
        if (damage == QStringLiteral("no-template"))
            ws.removeFile(QStringLiteral("elog.xls"));
        else if (damage == QStringLiteral("report-read-only"))
            QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
        else if (damage == QStringLiteral("empty"))
            ws.writeList(QStringLiteral("zvit.xls"), before = QByteArray());
        else if (damage.contains(QStringLiteral("zvit.xls")))
            ws.writeList(damage, "lock");
        const QFileDevice::Permissions folderWas = QFileInfo(ws.dir()).permissions();
        if (damage == QStringLiteral("folder-read-only")) {
#ifdef Q_OS_WIN
            QSKIP("a folder's permission bits do not stop writing on Windows (its access list does)");
#endif
            QVERIFY(QFile::setPermissions(ws.dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const QStringList files = QDir(ws.dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        QFile::setPermissions(ws.dir(), folderWas);
        QCOMPARE(r.outcome, app::ControlRunResult::Failed);
        QCOMPARE(d.calls.size(), 1); // the error alone, with the please-wait window already down
        // The folder in the system's own form; the rest of the words as they are (an error value such
        // as #N/A has a slash of its own).
        const QString folder = QDir::toNativeSeparators(ws.dir());
        const QString want = QString(words)
                                 .replace(QStringLiteral("%1/"), folder + QDir::separator())
                                 .replace(QStringLiteral("%1"), folder);
        QVERIFY2(d.calls[0].startsWith(QStringLiteral("error Brantovel: ") + want), qPrintable(d.calls[0]));
        QVERIFY2(fixtures::englishWords(d.calls[0].section(u':', 1)).isEmpty(), qPrintable(d.calls[0]));
        QVERIFY(r.findings.empty());
        // No log, no temporary file: the folder holds what it held, and the report its bytes.
        QCOMPARE(QDir(ws.dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void unreadableListsAreNamedInTheVerdict()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        ws.removeFile(QStringLiteral("GUOZ.bin"));
        ws.removeFile(QStringLiteral("SR.bin"));
        QVERIFY(QDir(ws.dir()).mkdir(QStringLiteral("SR.bin")));
        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        const QString dir = QDir::toNativeSeparators(ws.dir()) + QDir::separator();
        const QStringList warnings{
            QStringLiteral("Список «%1GUOZ.bin» не знайдено, тому коди не звірено з ним і перевірка неповна. Поверніть "
                           "файл GUOZ.bin до теки програми й повторіть перевірку.")
                .arg(dir),
            QStringLiteral("Не вдалося прочитати список «%1SR.bin», тому райони не звірено з ним і перевірка неповна. "
                           "Поверніть файл SR.bin до теки програми й повторіть перевірку.")
                .arg(dir)};
        QCOMPARE(r.warnings, warnings);
        // The missing list still fails the code's rules, as they define: the report gets that finding.
        // The warnings come first, the question last.
        QCOMPARE(r.outcome, app::ControlRunResult::Findings);
        QCOMPARE(d.calls.first(), QStringLiteral("ask Brantovel: ") + warnings.join(u'\n') + QStringLiteral("\n\n") +
                                      QStringLiteral("Знайдені помилки у звіті. Переглянути перелік помилок?"));
    }

    // A report as offices save it: protected (so stored encrypted), or with S13 under a merge.
    void stampedReportsOfficesMake_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("warning"); // %1: the folder
        QTest::newRow("structure and sheets protected") << "zvit-protected.xls"
                                                        << "";
        QTest::newRow("S13 under a merge")
            << "zvit-s13-merged.xls"
            << "Дату й час перевірки записано до клітинки S13 аркуша «Загальні дані», але їх не видно: клітинка S13 "
               "входить до об'єднаних клітинок R13:S13, які показують лише вміст клітинки R13. Щоб бачити час "
               "перевірки, роз'єднайте клітинки R13:S13 у звіті.";
    }
    void stampedReportsOfficesMake()
    {
        QFETCH(QString, from);
        QFETCH(QString, warning);
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral(), fixture(from));
        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.outcome, app::ControlRunResult::Clean);
        QCOMPARE(r.warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        if (!warning.isEmpty())
            QVERIFY2(d.calls.first().endsWith(QStringLiteral("\n\n") + warning), qPrintable(d.calls.first()));
        const xls::Workbook wb = xls::Workbook::open(ws.path(QStringLiteral("zvit.xls")));
        QVERIFY(!wb.cell(0, 13, 19).text.isEmpty());
    }

    void staleLogThatCannotBeDeletedStopsTheRun()
    {
        fixtures::Workspace ws;
        ws.makeReport(fixtures::cleanGeneral());
        // A folder in the log's place cannot be deleted as a file.
        QVERIFY(QDir(ws.dir()).mkdir(QStringLiteral("zvit_log.xls")));
        QVERIFY(QDir(ws.path(QStringLiteral("zvit_log.xls"))).mkdir(QStringLiteral("x")));
        ScriptedDesktop d;
        const app::ControlRunResult r = run(ws, d);
        QCOMPARE(r.outcome, app::ControlRunResult::Failed);
        QVERIFY2(d.calls[0].contains(QStringLiteral("Закрийте його та повторіть перевірку.")), qPrintable(d.calls[0]));
    }
};

QTEST_MAIN(TestControlRun)
#include "tst_controlrun.moc"
