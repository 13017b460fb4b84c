// genreport TEMPLATE OUT ROWS: writes a filled report for the benchmarks.
// genreport --folder TEMPLATE FOLDER COUNT: writes COUNT reports into FOLDER, as an office gets them.
#include "genreport.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QStringLiteral("--folder")) {
        bench::generateFolder(args[2], args[3], args[4].toInt());
        return 0;
    }
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: genreport TEMPLATE OUT ROWS\n       genreport --folder TEMPLATE FOLDER COUNT\n");
        return 2;
    }
    bench::generateReport(args[1], args[2], args[3].toInt());
    return 0;
}
