#include "mainwindow.h"
#include "qtdesktop.h"
#include "status.h"
#include "style.h"
#include "translation.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Qt's standard buttons and dialogs speak Ukrainian like the rest of the program.
    const auto translator = app::installQtTranslation(QApplication::applicationDirPath());
    application.setWindowIcon(app::programIcon());
    QApplication::setFont(app::windowFont());
    app::applyStyle(QStringLiteral("Iceberg Classico"));

    const QString dir = QApplication::applicationDirPath();
    app::QtDesktop desktop;
    TSuperMain SuperMain(dir, desktop, [dir] {
        check::Environment env;
        env.listDir = dir;
        return env;
    });
    desktop.setParentWidget(&SuperMain);
    TfmStatus status(&SuperMain);
    SuperMain.setStatusWindow(&status);
    SuperMain.show();
    SuperMain.FormCreate();
    return application.exec();
}
