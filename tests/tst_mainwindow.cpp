// The main window on the offscreen platform: layout, captions, keyboard, each button's action and what shows
// when the system cannot open a document; the real desktop's dialogs, answered by a script.
#include "fixtures.h"
#include "gui/about.h"
#include "gui/findings.h"
#include "gui/foldercheck.h"
#include "gui/instruction.h"
#include "gui/mainwindow.h"
#include "gui/qtdesktop.h"
#include "gui/status.h"
#include "gui/style.h"
#include "gui/translation.h"
#include "xls/error.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSizeGrip>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

class RecordingDesktop : public app::WindowDesktop {
public:
    QStringList calls;
    bool yes = false;
    bool opens = true; // whether the system opens documents
    std::vector<findings::Finding> findings;
    bool openDocument(const QString& path) override
    {
        calls << QStringLiteral("open ") + QFileInfo(path).fileName();
        return opens;
    }
    bool askYesNo(const QString&, const QString& text) override
    {
        calls << QStringLiteral("ask ") + text;
        return yes;
    }
    void inform(const QString&, const QString& text) override { calls << QStringLiteral("inform ") + text; }
    void showError(const QString&, const QString& text) override { calls << QStringLiteral("error ") + text; }
    QString askSaveFileName(const QString&, const QString& proposed) override
    {
        calls << QStringLiteral("save ") + proposed;
        return {};
    }
    void reportCannotOpen(const QString&, const QString& path) override
    {
        calls << QStringLiteral("cannot open ") + QFileInfo(path).fileName();
    }
    void showInstruction(const QString& path) override
    {
        calls << QStringLiteral("instruction ") + QFileInfo(path).fileName();
    }
    void showFindings(const QString& logPath, const std::vector<findings::Finding>& rows) override
    {
        calls << QStringLiteral("findings ") + QFileInfo(logPath).fileName();
        findings = rows;
    }
    std::optional<app::FolderCheckRequest> folderAnswer; // empty: the user cancels the dialog
    QList<app::BatchReport> reports;
    std::optional<app::FolderCheckRequest> askFolderCheck(const QString&,
                                                          const app::FolderCheckRequest& proposed) override
    {
        calls << QStringLiteral("folder check ") + proposed.period;
        return folderAnswer;
    }
    void showReports(const QString& summaryPath, const QList<app::BatchReport>& shown) override
    {
        calls << QStringLiteral("reports ") + QFileInfo(summaryPath).fileName();
        reports = shown;
    }
};

// Answers the modal dialogs that open in turn, one step each, as soon as each appears.
class ModalScript {
public:
    explicit ModalScript(QList<std::function<void(QWidget*)>> steps) : m_steps(std::move(steps))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last || m_steps.isEmpty())
                return;
            m_last = modal;
            m_steps.takeFirst()(modal);
        });
        m_timer.start(20);
    }
    bool done() const { return m_steps.isEmpty(); }

private:
    QList<std::function<void(QWidget*)>> m_steps;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QStringList buttonTexts(QWidget* box)
{
    QStringList texts;
    for (QAbstractButton* b : static_cast<QMessageBox*>(box)->buttons())
        texts << plain(b->text());
    texts.sort();
    return texts;
}

// Receives the URLs the program hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private slots:
    // Qt's file dialog keeps its history in the user's settings: a scratch folder holds them instead.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }

    void layout()
    {
        fixtures::Workspace ws;
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d,
                     [&] { return fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9)); });
        QCOMPARE(w.windowTitle(), QStringLiteral("Формування та контроль звітів"));
        QCOMPARE(w.size(), QSize(579, 177));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QCOMPARE(w.GroupBox1->geometry(), QRect(16, 16, 539, 105));
        QCOMPARE(w.GroupBox1->title(), QString());
        const struct {
            QPushButton* b;
            const char16_t* caption;
            QRect rect;
        } buttons[] = {{w.Button2, u"Інструкція", QRect(16, 40, 153, 25)},
                       {w.Button1, u"Заповнити/Редагувати звіт", QRect(200, 40, 153, 25)},
                       {w.bbOk, u"Контроль звіту", QRect(384, 40, 137, 25)},
                       {w.bbCancel, u"Вийти", QRect(472, 137, 83, 25)}};
        for (const auto& b : buttons) {
            QCOMPARE(b.b->text(), QString::fromUtf16(b.caption));
            QCOMPARE(b.b->geometry(), b.rect);
        }
        auto nextTab = [](QWidget* from) {
            QWidget* n = from->nextInFocusChain();
            while (n != from && !(n->focusPolicy() & Qt::TabFocus))
                n = n->nextInFocusChain();
            return n;
        };
        QCOMPARE(nextTab(w.bbCancel), static_cast<QWidget*>(w.Button1));
        QCOMPARE(nextTab(w.Button1), static_cast<QWidget*>(w.bbOk));
        QCOMPARE(nextTab(w.bbOk), static_cast<QWidget*>(w.Button2));
        QCOMPARE(nextTab(w.Button2), static_cast<QWidget*>(w.bbCancel));
        // The folder check stands apart: below the four, beside "Вийти", out of their keyboard order.
        QCOMPARE(plain(w.folderButton->text()), QStringLiteral("Перевірити теку звітів…"));
        QCOMPARE(w.folderButton->geometry(), QRect(16, 137, 201, 25));
        QVERIFY(!(w.folderButton->focusPolicy() & Qt::TabFocus));
        QVERIFY(!w.folderButton->geometry().intersects(w.bbCancel->geometry()));
        QVERIFY(QFontInfo(w.font()).pointSize() == 8 || QFontInfo(w.font()).pixelSize() > 0);
    }

    // Each way to a document, when the system opens it and when it cannot (no program for its type).
    void documentFallbacks_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("calls");
        const QString readme = QStringLiteral("open readme.doc"), report = QStringLiteral("open zvit.xls");
        QTest::newRow("start") << "start" << true << QStringList{readme};
        QTest::newRow("start, no program: nothing shown") << "start" << false << QStringList{readme};
        QTest::newRow("instruction") << "Button2" << true << QStringList{readme};
        QTest::newRow("instruction, no program: own viewer")
            << "Button2" << false << QStringList{readme, QStringLiteral("instruction readme.html")};
        QTest::newRow("report") << "Button1" << true << QStringList{report};
        QTest::newRow("report, no program: told")
            << "Button1" << false << QStringList{report, QStringLiteral("cannot open zvit.xls")};
    }
    void documentFallbacks()
    {
        QFETCH(QString, action);
        QFETCH(bool, opens);
        QFETCH(QStringList, calls);
        fixtures::Workspace ws;
        RecordingDesktop d;
        d.opens = opens;
        TSuperMain w(ws.dir(), d, [&] { return check::Environment{}; });
        if (action == u"start")
            w.FormCreate();
        else
            QTest::mouseClick(w.findChild<QPushButton*>(action), Qt::LeftButton);
        QCOMPARE(d.calls, calls);
    }

    // "Вийти" has the focus first; Return and Enter press the focused button.
    void keyboard()
    {
        fixtures::Workspace ws;
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d, [&] { return check::Environment{}; });
        QCOMPARE(w.focusWidget(), static_cast<QWidget*>(w.bbCancel));
        QTest::keyClick(w.Button1, Qt::Key_Return);
        QTest::keyClick(w.Button2, Qt::Key_Enter);
        QCOMPARE(d.calls, (QStringList{QStringLiteral("open zvit.xls"), QStringLiteral("open readme.doc")}));
    }

    void controlRunFromTheButton_data()
    {
        QTest::addColumn<bool>("clean");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("focus");
        const QString ask = QStringLiteral("ask Знайдені помилки у звіті. Переглянути перелік помилок?");
        const QString open = QStringLiteral("open zvit_log.xls");
        QTest::newRow("findings, Yes") << false << true << true << QStringList{ask, open} << "Button1";
        QTest::newRow("findings, Yes, no program: own window")
            << false << true << false << QStringList{ask, open, QStringLiteral("findings zvit_log.xls")} << "Button1";
        QTest::newRow("findings, No") << false << false << false << QStringList{ask} << "Button1";
        QTest::newRow("clean") << true << false << true
                               << QStringList{QStringLiteral("inform Вибрані файли перевірені.Помилок не знайдено."),
                                              QStringLiteral("save 23456719")}
                               << "bbCancel";
    }
    void controlRunFromTheButton()
    {
        QFETCH(bool, clean);
        QFETCH(bool, yes);
        QFETCH(bool, opens);
        QFETCH(QStringList, calls);
        QFETCH(QString, focus);
        fixtures::Workspace ws;
        QList<fixtures::Cell> cells = fixtures::cleanGeneral();
        if (!clean)
            cells.append({1, 7, 2, QStringLiteral("1234567")});
        ws.makeReport(cells);
        RecordingDesktop d;
        d.yes = yes;
        d.opens = opens;
        TSuperMain w(ws.dir(), d,
                     [&] { return fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9)); });
        TfmStatus status(&w);
        w.setStatusWindow(&status);
        QTest::mouseClick(w.bbOk, Qt::LeftButton);
        QCOMPARE(d.calls, calls);
        QVERIFY(!status.isVisible());
        QVERIFY(w.isEnabled());
        QCOMPARE(w.focusWidget()->objectName(), focus);
        QCOMPARE(w.INNKOD, clean ? QStringLiteral("23456719") : QStringLiteral("1234567"));
        if (calls.size() == 3) {
            QVERIFY(!d.findings.empty());
            QCOMPARE(d.findings[0].sheet, QStringLiteral("Загальні дані"));
            QCOMPARE(xls::cellName(d.findings[0].row, d.findings[0].col), QStringLiteral("B7"));
        }
    }

    // "Перевірити теку звітів…": the dialog's answer, the check on its worker thread with the period
    // asked for (not today's), and the summary opened or shown in the program's own window.
    void folderCheckFromTheButton_data()
    {
        QTest::addColumn<QString>("answer"); // "cancel", "folder", "missing"
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("calls");
        const QString asked = QStringLiteral("folder check 3.2027"); // proposed from 20 March 2027
        QTest::newRow("cancelled") << "cancel" << true << QStringList{asked};
        QTest::newRow("summary opened") << "folder" << true << QStringList{asked, QStringLiteral("open зведення.xls")};
        QTest::newRow("no program: own window")
            << "folder" << false
            << QStringList{asked, QStringLiteral("open зведення.xls"), QStringLiteral("reports зведення.xls")};
        QTest::newRow("folder gone") << "missing" << true << QStringList{asked, QStringLiteral("error")};
    }
    void folderCheckFromTheButton()
    {
        QFETCH(QString, answer);
        QFETCH(bool, opens);
        QFETCH(QStringList, calls);
        fixtures::Workspace ws;
        QTemporaryDir reports;
        ws.makeReport(fixtures::cleanGeneral(12, 2026));
        QVERIFY(QFile::copy(ws.path(QStringLiteral("zvit.xls")), reports.filePath(QStringLiteral("23456719.xls"))));
        QList<fixtures::Cell> wrong = fixtures::cleanGeneral(12, 2026);
        wrong.append({1, 7, 2, QStringLiteral("1234567")});
        ws.makeReport(wrong);
        QVERIFY(QFile::copy(ws.path(QStringLiteral("zvit.xls")), reports.filePath(QStringLiteral("1234567.xls"))));
        RecordingDesktop d;
        d.opens = opens;
        if (answer != u"cancel")
            d.folderAnswer =
                app::FolderCheckRequest{answer == u"folder" ? reports.path() : reports.filePath(QStringLiteral("gone")),
                                        QStringLiteral("12.2026"), ws.path(QStringLiteral("реєстр.csv"))};
        // The register: the clean report's balance holder and one that sent nothing.
        ws.writeList(QStringLiteral("реєстр.csv"), "23456719;Перший\r\n31000126;Другий\r\n");
        TSuperMain w(ws.dir(), d,
                     [&] { return fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2027, 3, 20)); });
        QTest::mouseClick(w.folderButton, Qt::LeftButton);
        if (answer == u"missing") {
            QCOMPARE(d.calls.size(), 2);
            QVERIFY2(d.calls[1].startsWith(QStringLiteral("error Теку зі звітами")), qPrintable(d.calls[1]));
            return;
        }
        QCOMPARE(d.calls, calls);
        QVERIFY(w.isEnabled());
        if (!opens) {
            QCOMPARE(d.reports.size(), 3);
            QCOMPARE(d.reports[0].file, QStringLiteral("1234567.xls"));
            QCOMPARE(d.reports[0].status, app::BatchReport::Findings);
            QVERIFY(d.reports[0].flags.contains(QStringLiteral("Код 1234567 немає в реєстрі.")));
            // Checked in March 2027 against the period asked for: the December report is clean.
            QCOMPARE(d.reports[1].status, app::BatchReport::Clean);
            // The register's balance holder without a report comes last.
            QCOMPARE(d.reports[2].status, app::BatchReport::NotSubmitted);
            QCOMPARE(d.reports[2].heading.code, QStringLiteral("31000126"));
        }
    }

    // The dialog takes only what can be checked; the please-wait window's "Скасувати" asks the check to stop.
    void folderCheckDialogs()
    {
        QTemporaryDir folder;
        app::FolderCheckDialog dialog({folder.path(), QStringLiteral("13.2026"), {}});
        dialog.show();
        QTest::mouseClick(dialog.okButton, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QVERIFY2(dialog.problem->text().contains(QStringLiteral("13 місяців")), qPrintable(dialog.problem->text()));
        dialog.period->setText(QStringLiteral("12/2026"));
        dialog.registerFile->setText(folder.filePath(QStringLiteral("немає.csv")));
        QTest::mouseClick(dialog.okButton, Qt::LeftButton);
        QVERIFY(dialog.problem->text().contains(QStringLiteral("немає.csv")));
        dialog.registerFile->clear();
        QTest::mouseClick(dialog.okButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.request().period, QStringLiteral("12/2026"));

        app::FolderProgress progress;
        progress.show();
        progress.progress(3, 10);
        QCOMPARE(progress.text->text(), QStringLiteral("Перевірено звітів: 3 з 10…"));
        QTest::keyClick(&progress, Qt::Key_Escape);
        QVERIFY(progress.cancelled);
        QVERIFY(!progress.cancelButton->isEnabled());
        QVERIFY(progress.isVisible()); // until the reports under way are done
        QCOMPARE(app::proposedPeriod(QDate(2027, 1, 10)), QStringLiteral("12.2026"));
    }

    void errorPathAddsFullStop()
    {
        fixtures::Workspace ws;
        ws.removeFile(QStringLiteral("zvit.xls"));
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d,
                     [&] { return fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9)); });
        TfmStatus status(&w);
        w.setStatusWindow(&status);
        QTest::mouseClick(w.bbOk, Qt::LeftButton);
        QCOMPARE(d.calls.size(), 1);
        QVERIFY(d.calls[0].startsWith(QStringLiteral("error Файл «")));
        QVERIFY(d.calls[0].contains(QStringLiteral("zvit.xls» не знайдено. Перевірте")));
        QVERIFY(!status.isVisible());
        QCOMPARE(w.focusWidget(), static_cast<QWidget*>(w.bbOk));
    }

    void exitClosesTheWindow()
    {
        fixtures::Workspace ws;
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d, [&] { return check::Environment{}; });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.bbCancel, Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    void statusWindowLayout()
    {
        QWidget owner;
        TfmStatus s(&owner);
        owner.setEnabled(false); // as the main window during a check
        QCOMPARE(s.size(), QSize(300, 79));
        QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(s.Image1->geometry(), QRect(5, 8, 64, 64));
        QCOMPARE(s.la1->geometry(), QRect(80, 8, 209, 25));
        QCOMPARE(s.la2->geometry(), QRect(75, 40, 214, 25));
        QCOMPARE(s.la1->font().pixelSize(), 19);
        s.openform(QStringLiteral("Зачекайте, будь ласка,"), QStringLiteral("іде перевірка файлу."));
        QVERIFY(s.isVisible());
        QCOMPARE(s.la2->text(), QStringLiteral("іде перевірка файлу."));
        // The hourglass keeps its colours: some pixel of it is clearly blue, not grey.
        QVERIFY(s.Image1->isEnabled());
        const QImage picture = s.Image1->grab().toImage();
        bool blue = false;
        for (int y = 0; y < picture.height() && !blue; ++y)
            for (int x = 0; x < picture.width() && !blue; ++x)
                blue = picture.pixelColor(x, y).hsvSaturation() > 100;
        QVERIFY(blue);
        s.closeform();
        QVERIFY(!s.isVisible());
    }

    // Qt's own texts read Ukrainian: from translations/ beside the executable (the build copies it there), or
    // from Qt's folder when the program's folder has none.
    void qtTranslation_data()
    {
        QTest::addColumn<QString>("appDir");
        QTest::addColumn<QString>("loadedFrom");
        QTest::newRow("beside the executable")
            << QStringLiteral(BRANTOVEL_BIN_DIR) << QStringLiteral(BRANTOVEL_BIN_DIR "/translations");
        QTest::newRow("Qt's folder") << QString() << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    }
    void qtTranslation()
    {
        QFETCH(QString, appDir);
        QFETCH(QString, loadedFrom);
        QTemporaryDir empty;
        if (appDir.isEmpty())
            appDir = empty.path();
#ifdef Q_OS_WIN
        if (!QFileInfo::exists(QDir(loadedFrom).filePath(QStringLiteral("qtbase_uk.qm"))))
            QSKIP("this Qt for Windows has no translations: the package carries translations/ beside the program");
#endif
        {
            const auto translator = app::installQtTranslation(appDir);
            QVERIFY2(translator, "qtbase_uk.qm not found: install qt6-translations-l10n");
            // Canonical: under wine the build's Linux paths read back with the drive letter.
            QCOMPARE(QFileInfo(QFileInfo(translator->filePath()).absolutePath()).canonicalFilePath(),
                     QFileInfo(loadedFrom).canonicalFilePath());
            QMessageBox box(QMessageBox::Information, QString(), QString(),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            QCOMPARE(buttonTexts(&box),
                     (QStringList{QStringLiteral("Ні"), QStringLiteral("Скасувати"), QStringLiteral("Так")}));
            QFileDialog dialog;
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            QCOMPARE(plain(dialog.labelText(QFileDialog::Accept)), QStringLiteral("Зберегти"));
            QCOMPARE(plain(dialog.labelText(QFileDialog::FileName)), QStringLiteral("Ім'я файлу:"));
        }
        // Gone with its translator: nothing leaks into the next test.
        QCOMPARE(plain(QMessageBox(QMessageBox::Information, {}, {}, QMessageBox::Yes).buttons()[0]->text()),
                 QStringLiteral("Yes"));
    }

    // The save dialog: its title, nothing over its buttons, and a question in Ukrainian, "Ні" first, before a
    // copy replaces a file; "Ні" leads back to the dialog.
    void saveDialog_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("answer"); // to the overwrite question
        QTest::addColumn<bool>("saved");
        QTest::newRow("new file") << false << QString() << true;
        QTest::newRow("existing, Так") << true << QStringLiteral("Так") << true;
        QTest::newRow("existing, Ні, then cancel") << true << QStringLiteral("Ні") << false;
    }
    void saveDialog()
    {
        QFETCH(bool, exists);
        QFETCH(QString, answer);
        QFETCH(bool, saved);
        const auto translator = app::installQtTranslation(QStringLiteral(BRANTOVEL_BIN_DIR));
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("23456719.xls"));
        if (exists)
            QFile(target).open(QIODevice::WriteOnly);
        QStringList seen;
        auto chooseTarget = [&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            seen << (dialog ? dialog->windowTitle() : QStringLiteral("not a file dialog"));
            for (QPushButton* b : w->findChildren<QPushButton*>()) {
                const QRect r(b->mapTo(w, QPoint()), b->size());
                if (!b->isVisible())
                    continue;
                if (!w->rect().contains(r))
                    seen << QStringLiteral("clipped ") + plain(b->text());
                for (QSizeGrip* g : w->findChildren<QSizeGrip*>())
                    if (g->isVisible() && QRect(g->mapTo(w, QPoint()), g->size()).intersects(r))
                        seen << QStringLiteral("covered ") + plain(b->text());
            }
            if (dialog)
                dialog->selectFile(target);
            QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
        };
        auto answerQuestion = [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                seen << QStringLiteral("no question");
                return QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection), void();
            }
            seen << box->text() << buttonTexts(box).join(u'/')
                 << (box->defaultButton() ? plain(box->defaultButton()->text()) : QStringLiteral("no default"));
            for (QAbstractButton* b : box->buttons())
                if (plain(b->text()) == answer)
                    QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
        };
        auto cancel = [&](QWidget* w) { QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection); };
        QList<std::function<void(QWidget*)>> steps{chooseTarget};
        if (exists)
            steps << answerQuestion;
        if (!saved)
            steps << cancel;
        ModalScript script(steps);
        app::QtDesktop desktop;
        const QString chosen = desktop.askSaveFileName(QStringLiteral("Brantovel"), QStringLiteral("23456719"));
        QVERIFY(script.done());
        QCOMPARE(chosen, saved ? target : QString());
        QStringList want{QStringLiteral("Збереження копії перевіреного звіту")};
        if (exists)
            want << app::overwriteQuestion(target) << QStringLiteral("Ні/Так") << QStringLiteral("Ні");
        QCOMPARE(seen, want);
        QVERIFY(app::overwriteQuestion(target).contains(QStringLiteral("Замінити його копією звіту?")));
    }

    // What the user is told when a document cannot be opened: the file, its folder, the program needed.
    void cannotOpenText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("words");
        QTest::newRow("report") << "zvit.xls"
                                << "потрібна програма для файлів .xls";
        QTest::newRow("instruction") << "readme.doc"
                                     << "потрібна програма для файлів .doc";
        QTest::newRow("missing") << ""
                                 << "не знайдено в теці";
    }
    void cannotOpenText()
    {
        QFETCH(QString, name);
        QFETCH(QString, words);
        QTemporaryDir dir;
        const QString path = dir.filePath(name.isEmpty() ? QStringLiteral("zvit.xls") : name);
        if (!name.isEmpty())
            QFile(path).open(QIODevice::WriteOnly);
        const QString text = app::cannotOpenText(path);
        QVERIFY2(text.contains(words), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("«%1»").arg(QFileInfo(path).fileName())));
        QVERIFY(text.contains(QDir::toNativeSeparators(dir.path())));
        if (name.isEmpty())
            QVERIFY(!app::QtDesktop().openDocument(path));
    }

    // The findings in the program's own window: cells named as in the spreadsheet, sorted as cells sort,
    // the log's path, and its folder a click away.
    void findingsWindow()
    {
        const std::vector<findings::Finding> rows{
            {QStringLiteral("Таблиця 3"), 10, 3, QStringLiteral("Невірно заповнено."), {}},
            {QStringLiteral("Загальні дані"), 7, 2, {}, {}},
            {QStringLiteral("Таблиця 2"), 8, 0, {}, {}},
            {QStringLiteral("Таблиця 3"), 9, 3, {}, {}},
            {QStringLiteral("Таблиця 5"), 0, 0, {}, {}}};
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("zvit_log.xls"));
        app::FindingsWindow w;
        w.setFindings(log, rows);
        auto column = [&](int c) {
            QStringList texts;
            for (int i = 0; i < w.list->topLevelItemCount(); ++i)
                texts << w.list->topLevelItem(i)->text(c);
            return texts;
        };
        QCOMPARE(column(2), (QStringList{QStringLiteral("C10"), QStringLiteral("B7"), QStringLiteral("рядок 8"),
                                         QStringLiteral("C9"), QString()}));
        QCOMPARE(w.current->text(), QStringLiteral("Таблиця 3, C10: Невірно заповнено."));
        w.list->sortByColumn(2, Qt::AscendingOrder);
        QCOMPARE(column(0), (QStringList{QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("2"),
                                         QStringLiteral("4"), QStringLiteral("1")}));
        w.list->sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(column(0).first(), QStringLiteral("5"));
        QVERIFY(w.summary->text().startsWith(QStringLiteral("Знайдено помилок: 5.")));
        QVERIFY(w.logLabel->text().contains(QDir::toNativeSeparators(log)));

        // The folder opens through the desktop; where the system has no file manager, its path is on the clipboard.
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        QGuiApplication::clipboard()->clear();
        ModalScript dismiss({[](QWidget* box) { QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection); }});
        QTest::mouseClick(w.openFolder, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(recorder.urls == QList<QUrl>{QUrl::fromLocalFile(dir.path())} ||
                QGuiApplication::clipboard()->text() == QDir::toNativeSeparators(dir.path()));
    }

    // The instruction inside the program: the HTML twin when it is there, plain words when it is not.
    void instructionWindow_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("shows");
        QTest::newRow("twin") << QStringLiteral(BRANTOVEL_FIXTURES_DIR "/readme-placeholder.html")
                              << "Натисніть «Контроль звіту», щоб перевірити звіт.";
        QTest::newRow("missing") << QStringLiteral(BRANTOVEL_FIXTURES_DIR "/no-such-readme.html")
                                 << "Інструкцію не вдалося показати: файлу «no-such-readme.html» немає в теці";
    }
    void instructionWindow()
    {
        QFETCH(QString, file);
        QFETCH(QString, shows);
        app::InstructionWindow w;
        w.showFile(file);
        QVERIFY2(w.text->toPlainText().contains(shows), qPrintable(w.text->toPlainText()));
        QCOMPARE(w.windowTitle(), QStringLiteral("Інструкція"));
    }

    void everyCaptionIsDrawn()
    {
        // Each letter leaves ink in the face the widgets use. tools/test-windows.sh runs this on wine's
        // Windows platform too, where Liberation Sans at 8 pt draws no capital І.
        QVERIFY(app::drawsEveryCharacter(app::windowFont(), app::ukrainianLetters()));
        QVERIFY(!app::drawsEveryCharacter(app::windowFont(), QStringLiteral("А\u0378"))); // unassigned: no glyph
        fixtures::Workspace ws;
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d, [&] { return check::Environment{}; });
        QVERIFY(app::drawsEveryCharacter(w.font(), w.windowTitle()));
        for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
            QVERIFY2(app::drawsEveryCharacter(b->font(), b->text()), qPrintable(b->text()));
        QCOMPARE(w.Button2->font().family(), app::windowFont().family());
    }

    // "Про програму": the version and copyright, the licence and the notice of every shipped component, built
    // into the program; on Windows it is in the title bar's menu, and the window gains no button for it.
    void aboutWindow()
    {
        app::AboutWindow about;
        QVERIFY2(about.summary->text().contains(QStringLiteral("Brantovel " BRANTOVEL_VERSION)),
                 qPrintable(about.summary->text()));
        QVERIFY(about.summary->text().contains(QStringLiteral("© ")));
        QVERIFY(about.licence->toPlainText().startsWith(QStringLiteral("MIT License")));
        for (const char* component : {"Qt 6.4", "libstdc++-6.dll", "libwinpthread-1.dll", "PCRE2", "zlib",
                                      "double-conversion", "FreeType", "HarfBuzz", "libpng", "LGPL"})
            QVERIFY2(about.notices->toPlainText().contains(QLatin1String(component)), component);

        fixtures::Workspace ws;
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d, [&] { return check::Environment{}; });
        // The four specified buttons and the folder check's: "Про програму" adds none.
        QCOMPARE(w.findChildren<QPushButton*>().size(), 5);
#ifdef Q_OS_WIN
        if (QGuiApplication::platformName() != QStringLiteral("windows"))
            QSKIP("the system menu exists on Qt's Windows platform only (tools/test-windows.sh runs it there)");
        const HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(w.winId()), FALSE);
        QVERIFY(menu);
        wchar_t text[64] = {};
        QVERIFY(GetMenuStringW(menu, 0x0010, text, 64, MF_BYCOMMAND) > 0);
        QCOMPARE(QString::fromWCharArray(text), QStringLiteral("Про програму…"));
        // Choosing it opens the window over the main window.
        bool opened = false;
        QTimer poll; // runs inside the window's modal loop too
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* about = qobject_cast<app::AboutWindow*>(QApplication::activeModalWidget())) {
                opened = true;
                about->accept();
            }
        });
        poll.start(50);
        PostMessageW(reinterpret_cast<HWND>(w.winId()), WM_SYSCOMMAND, 0x0010, 0); // as the menu does
        QTRY_VERIFY(opened);
#endif
    }

    void style()
    {
        QVERIFY(app::styleSheet(QStringLiteral("Iceberg Classico")).contains(QStringLiteral("QPushButton")));
        QVERIFY(app::styleSheet(QStringLiteral("other")).isEmpty());
        QVERIFY(!app::programIcon().isNull());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
