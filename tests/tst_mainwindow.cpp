// The main window on the offscreen platform: layout, captions and each button's action.
#include "app/mainwindow.h"
#include "app/status.h"
#include "app/style.h"
#include "fixtures.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>

namespace {

class RecordingDesktop : public app::Desktop {
public:
    QStringList calls;
    bool yes = false;
    void openDocument(const QString& path) override { calls << QStringLiteral("open ") + QFileInfo(path).fileName(); }
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
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
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
        QVERIFY(QFontInfo(w.font()).pointSize() == 8 || QFontInfo(w.font()).pixelSize() > 0);
    }

    void documentButtons()
    {
        fixtures::Workspace ws;
        RecordingDesktop d;
        TSuperMain w(ws.dir(), d,
                     [&] { return fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9)); });
        w.FormCreate();
        QTest::mouseClick(w.Button2, Qt::LeftButton);
        QTest::mouseClick(w.Button1, Qt::LeftButton);
        QCOMPARE(d.calls, (QStringList{QStringLiteral("open readme.doc"), QStringLiteral("open readme.doc"),
                                       QStringLiteral("open zvit.xls")}));
    }

    void controlRunFromTheButton_data()
    {
        QTest::addColumn<bool>("clean");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("findings, Yes") << false << true
                                       << QStringList{QStringLiteral(
                                                          "ask Знайдені помилки у звіті. Переглянути перелік помилок?"),
                                                      QStringLiteral("open zvit_log.xls")};
        QTest::newRow("findings, No") << false << false
                                      << QStringList{QStringLiteral(
                                             "ask Знайдені помилки у звіті. Переглянути перелік помилок?")};
        QTest::newRow("clean") << true << false
                               << QStringList{QStringLiteral("inform Вибрані файли перевірені.Помилок не знайдено."),
                                              QStringLiteral("save 23456719")};
    }
    void controlRunFromTheButton()
    {
        QFETCH(bool, clean);
        QFETCH(bool, yes);
        QFETCH(QStringList, calls);
        fixtures::Workspace ws;
        QList<fixtures::Cell> cells = fixtures::cleanGeneral();
        if (!clean)
            cells.append({1, 7, 2, QStringLiteral("1234567")});
        ws.makeReport(cells);
        RecordingDesktop d;
        d.yes = yes;
        TSuperMain w(ws.dir(), d,
                     [&] { return fixtures::environment(ws.dir(), sheet::Locale::comma(), QDate(2026, 12, 9)); });
        TfmStatus status(&w);
        w.setStatusWindow(&status);
        QTest::mouseClick(w.bbOk, Qt::LeftButton);
        QCOMPARE(d.calls, calls);
        QVERIFY(!status.isVisible());
        QVERIFY(w.isEnabled());
        QCOMPARE(w.INNKOD, clean ? QStringLiteral("23456719") : QStringLiteral("1234567"));
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
        QVERIFY(d.calls[0].endsWith(QStringLiteral("zvit.xls» не знайдено.")));
        QVERIFY(!status.isVisible());
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
        TfmStatus s;
        QCOMPARE(s.size(), QSize(300, 79));
        QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(s.Image1->geometry(), QRect(5, 8, 64, 64));
        QCOMPARE(s.la1->geometry(), QRect(80, 8, 209, 25));
        QCOMPARE(s.la2->geometry(), QRect(75, 40, 214, 25));
        QCOMPARE(s.la1->font().pixelSize(), 19);
        s.openform(QStringLiteral("Зачекайте, будь ласка,"), QStringLiteral("іде перевірка файлу."));
        QVERIFY(s.isVisible());
        QCOMPARE(s.la2->text(), QStringLiteral("іде перевірка файлу."));
        s.closeform();
        QVERIFY(!s.isVisible());
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
