#include "cli.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    check::Environment env; // the process locale and the local clock
    const int status = cli::run(application.arguments(), QCoreApplication::applicationDirPath(), env, out, err);
    out.flush();
    err.flush();
    return status;
}
