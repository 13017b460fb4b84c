// genreport TEMPLATE OUT ROWS: writes a filled report for the benchmarks.
#include "genreport.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: genreport TEMPLATE OUT ROWS\n");
        return 2;
    }
    bench::generateReport(args[1], args[2], args[3].toInt());
    return 0;
}
