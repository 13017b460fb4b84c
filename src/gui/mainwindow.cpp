#include "mainwindow.h"

#include "about.h"
#include "check/period.h"
#include "foldercheck.h"
#include "run/controlrun.h"
#include "run/office.h"
#include "run/register.h"
#include "status.h"
#include "style.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QThread>

#include <memory>

TSuperMain::TSuperMain(QString dir, app::WindowDesktop& desktop, std::function<check::Environment()> environment,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint),
      m_dir(std::move(dir)), m_desktop(desktop), m_environment(std::move(environment))
{
    setObjectName(QStringLiteral("SuperMain"));
    setWindowTitle(QStringLiteral("Формування та контроль звітів"));
    setFixedSize(579, 177);
    setFont(app::windowFont());

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, 579, 177);
    GroupBox1 = new QGroupBox(panel);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(16, 16, 539, 105);
    Button2 = new QPushButton(QStringLiteral("Інструкція"), GroupBox1);
    Button2->setGeometry(16, 40, 153, 25);
    Button1 = new QPushButton(QStringLiteral("Заповнити/Редагувати звіт"), GroupBox1);
    Button1->setGeometry(200, 40, 153, 25);
    bbOk = new QPushButton(QStringLiteral("Контроль звіту"), GroupBox1);
    bbOk->setGeometry(384, 40, 137, 25);
    bbCancel = new QPushButton(QStringLiteral("Вийти"), panel);
    bbCancel->setGeometry(472, 137, 83, 25);
    folderButton = new QPushButton(QStringLiteral("Перевірити &теку звітів…"), panel);
    folderButton->setGeometry(16, 137, 201, 25);
    folderButton->setObjectName(QStringLiteral("folderButton"));
    folderButton->setFocusPolicy(Qt::ClickFocus);
    folderButton->setToolTip(QStringLiteral("Перевірити всі звіти теки (для установи, що приймає звіти)"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1->setObjectName(QStringLiteral("Button1"));
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbCancel->setObjectName(QStringLiteral("bbCancel"));

    // Return and Enter press the focused button, as in a Windows dialog; "Вийти" leads the keyboard order.
    for (QPushButton* b : {Button2, Button1, bbOk, bbCancel})
        b->setAutoDefault(true);
    setTabOrder(bbCancel, Button1);
    setTabOrder(Button1, bbOk);
    setTabOrder(bbOk, Button2);
    bbCancel->setFocus();

    connect(Button2, &QPushButton::clicked, this, &TSuperMain::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TSuperMain::Button1Click);
    connect(bbOk, &QPushButton::clicked, this, &TSuperMain::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TSuperMain::bbCancelClick);
    connect(folderButton, &QPushButton::clicked, this, &TSuperMain::folderCheckClick);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    addSystemMenuEntries();
}

// What a Windows program keeps in its title bar's menu: "Про програму…", beside the four buttons, not among them.
void TSuperMain::addSystemMenuEntries()
{
    app::addAboutToSystemMenu(this);
}

QString TSuperMain::path(const QString& name) const
{
    return QDir(m_dir).absoluteFilePath(name);
}

QString TSuperMain::title() const
{
    return app::applicationTitle(QApplication::applicationFilePath());
}

// At start the instruction opens when the system can open it; otherwise nothing is shown, so that a machine
// without a program for .doc files is not greeted by a message at every start.
void TSuperMain::FormCreate()
{
    m_desktop.openDocument(path(QStringLiteral("readme.doc")));
}

// On request the instruction always shows: in the system's program for .doc files, or else in the program's
// own viewer of its HTML twin.
void TSuperMain::Button2Click()
{
    if (!m_desktop.openDocument(path(QStringLiteral("readme.doc"))))
        m_desktop.showInstruction(path(QStringLiteral("readme.html")));
}

void TSuperMain::Button1Click()
{
    const QString report = path(QStringLiteral("zvit.xls"));
    if (!m_desktop.openDocument(report))
        m_desktop.reportCannotOpen(title(), report);
}

namespace {

// Hands the control run's requests to the window's desktop and notes the documents the system could not open.
class RunDesktop : public app::Desktop {
public:
    explicit RunDesktop(app::Desktop& desktop) : m_desktop(desktop) {}
    QStringList notOpened;

    bool openDocument(const QString& path) override
    {
        const bool opened = m_desktop.openDocument(path);
        if (!opened)
            notOpened << path;
        return opened;
    }
    bool askYesNo(const QString& title, const QString& text) override { return m_desktop.askYesNo(title, text); }
    void inform(const QString& title, const QString& text) override { m_desktop.inform(title, text); }
    void showError(const QString& title, const QString& text) override { m_desktop.showError(title, text); }
    QString askSaveFileName(const QString& title, const QString& proposed) override
    {
        return m_desktop.askSaveFileName(title, proposed);
    }

private:
    app::Desktop& m_desktop;
};

} // namespace

void TSuperMain::bbOkClick()
{
    RunDesktop desktop(m_desktop);
    app::ControlRun run(m_dir, m_environment(), desktop, m_status, title());
    app::ControlRunResult result;
    {
        // The window takes no clicks while the check runs, and takes them again on every way out.
        setEnabled(false);
        const auto enable = qScopeGuard([this] { setEnabled(true); });
        result = run.run();
    }
    Logfilename = result.Logfilename;
    INNKOD = result.INNKOD;
    // The log the user asked to see could not be opened: show its findings here instead.
    if (result.outcome == app::ControlRunResult::Findings && desktop.notOpened.contains(Logfilename))
        m_desktop.showFindings(Logfilename, result.findings);
    // Focus goes where the next step is: correct the report, leave after a clean check, or try again.
    switch (result.outcome) {
    case app::ControlRunResult::Findings:
        Button1->setFocus();
        break;
    case app::ControlRunResult::Clean:
        bbCancel->setFocus();
        break;
    case app::ControlRunResult::Failed:
        bbOk->setFocus();
        break;
    }
}

void TSuperMain::bbCancelClick()
{
    close();
}

// The receiving office's check of a folder: what to check, then the folder check on a worker thread
// while the window shows how far it has come and can stop it, then the summary.
void TSuperMain::folderCheckClick()
{
    const check::Environment env = m_environment();
    const std::optional<app::FolderCheckRequest> request =
        m_desktop.askFolderCheck(title(), {m_lastFolder, app::proposedPeriod(env.clock().date()), m_lastRegister});
    if (!request)
        return;
    m_lastFolder = QDir::toNativeSeparators(request->folder);
    m_lastRegister = QDir::toNativeSeparators(request->registerFile);

    app::BatchOptions options;
    options.folder = QFileInfo(request->folder).absoluteFilePath();
    options.dir = m_dir;
    options.period = app::parsePeriod(request->period, nullptr);
    options.registerFile = request->registerFile;
    app::BatchRun batch(options, env);
    app::FolderProgress progress(this);
    QPointer<app::FolderProgress> window(&progress);
    QList<app::BatchReport> reports;
    batch.onReport = [&](const app::BatchReport& r) {
        reports << r;
        reports.last().rows.clear();
    };
    batch.onProgress = [window](int done, int total) {
        QMetaObject::invokeMethod(
            window,
            [window, done, total] {
                if (window)
                    window->progress(done, total);
            },
            Qt::QueuedConnection);
    };
    batch.cancelled = [&progress] { return progress.cancelled.load(); };

    app::BatchResult result;
    QEventLoop loop;
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    // A QThread rather than a bare system thread: Qt then releases what it keeps per thread (the
    // regular expressions' stacks among it) on that thread as it ends. Qt for Windows releases a bare
    // thread's share later from a watching thread of its own, which crashed now and then.
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            result = batch.run();
        } catch (...) {
            result.error = QStringLiteral("Внутрішня помилка програми: перевірку теки зупинено.");
        }
    }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    progress.hide();

    if (!result.error.isEmpty()) {
        m_desktop.showError(title(), result.error);
        return;
    }
    if (result.cancelled)
        m_desktop.inform(title(), QStringLiteral("Перевірку теки скасовано: перевірено звітів %1. Зведення неповне, "
                                                 "воно в теці\n%2")
                                      .arg(result.total)
                                      .arg(QDir::toNativeSeparators(result.outDir)));
    // What only the whole folder shows comes after the last report.
    for (const app::BatchReport& f : result.flagged)
        for (app::BatchReport& r : reports)
            if (r.file == f.file)
                r.flags = f.flags;
    reports << result.notSubmitted; // the register's balance holders without a report, as the summary lists them
    if (!m_desktop.openDocument(result.summary))
        m_desktop.showReports(result.summary, reports);
}
