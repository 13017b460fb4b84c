#include "mainwindow.h"

#include "controlrun.h"
#include "status.h"
#include "style.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QScreen>

TSuperMain::TSuperMain(QString dir, app::Desktop& desktop, std::function<check::Environment()> environment,
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
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1->setObjectName(QStringLiteral("Button1"));
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbCancel->setObjectName(QStringLiteral("bbCancel"));

    setTabOrder(bbCancel, Button1);
    setTabOrder(Button1, bbOk);
    setTabOrder(bbOk, Button2);

    connect(Button2, &QPushButton::clicked, this, &TSuperMain::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TSuperMain::Button1Click);
    connect(bbOk, &QPushButton::clicked, this, &TSuperMain::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TSuperMain::bbCancelClick);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSuperMain::FormCreate()
{
    Button2Click();
}

void TSuperMain::Button2Click()
{
    m_desktop.openDocument(QDir(m_dir).absoluteFilePath(QStringLiteral("readme.doc")));
}

void TSuperMain::Button1Click()
{
    m_desktop.openDocument(QDir(m_dir).absoluteFilePath(QStringLiteral("zvit.xls")));
}

void TSuperMain::bbOkClick()
{
    app::ControlRun run(m_dir, m_environment(), m_desktop, m_status,
                        app::applicationTitle(QApplication::applicationFilePath()));
    setEnabled(false);
    run.run();
    setEnabled(true);
    Logfilename = run.Logfilename;
    INNKOD = run.INNKOD;
}

void TSuperMain::bbCancelClick()
{
    close();
}
