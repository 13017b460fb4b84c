// The .xls engine on a large workbook: open, read every used cell, set one cell and save.
// Prints milliseconds and megabytes per second; not a test.
#include "genreport.h"
#include "sheet/locale.h"
#include "sheet/valuetext.h"
#include "xls/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 ? args[1].toInt() : 10000;
    const int reps = args.size() > 2 ? args[2].toInt() : 7;
    QTemporaryDir tmp;
    const QString templ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("zvit.xls"));
    const QString path = tmp.filePath(QStringLiteral("big.xls"));
    bench::generateReport(templ, path, rows);
    const double mb = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("workbook: 6 sheets, %d rows x 24 columns on the debt sheets, %.1f MB\n", rows, mb);

    std::vector<double> open, read, save, total;
    const sheet::Locale locale = sheet::Locale::comma();
    for (int i = 0; i < reps; ++i) {
        QElapsedTimer t;
        t.start();
        xls::Workbook wb = xls::Workbook::open(path);
        const double tOpen = double(t.nsecsElapsed()) / 1e6;
        qint64 chars = 0;
        for (int s = 0; s < wb.sheetCount(); ++s)
            for (int r = 1; r <= wb.lastUsedRow(s); ++r)
                for (int c = 1; c <= 24; ++c) {
                    const xls::CellValue v = wb.cell(s, r, c);
                    if (v.type != xls::CellType::Error)
                        chars += sheet::valueText(v, locale).size();
                }
        const double tRead = double(t.nsecsElapsed()) / 1e6 - tOpen;
        wb.setText(0, 13, 19, QStringLiteral("09.12.2026 10:30:15"));
        wb.save();
        const double tAll = double(t.nsecsElapsed()) / 1e6;
        open.push_back(tOpen);
        read.push_back(tRead);
        save.push_back(tAll - tOpen - tRead);
        total.push_back(tAll);
        if (chars == 0)
            std::printf("(no text read)\n");
    }
    auto report = [&](const char* what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        std::printf("%-26s min %8.1f ms   median %8.1f ms   %7.1f MB/s\n", what, v.front(), v[v.size() / 2],
                    mb / (v.front() / 1000.0));
    };
    report("open", open);
    report("read every used cell", read);
    report("set one cell and save", save);
    report("total", total);
    return 0;
}
