#include "mainwindow.h"
#include "qtdesktop.h"
#include "status.h"
#include "style.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
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
    fmStatus = &status;
    SuperMain.setStatusWindow(&status);
    SuperMain.show();
    SuperMain.FormCreate();
    return application.exec();
}
