// Prints every sheet and cell of a workbook as the engine reads it; with -set it also
// sets one text cell and saves to a new file. A debugging aid for the .xls engine.
#include "xls/error.h"
#include "xls/workbook.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() < 2) {
        out << "usage: xlsdump FILE [-set SHEET ROW COL TEXT OUT]\n";
        return 2;
    }
    try {
        xls::Workbook wb = xls::Workbook::open(args[1]);
        if (args.size() >= 8 && args[2] == QLatin1String("-set")) {
            wb.setText(args[3].toInt(), args[4].toInt(), args[5].toInt(), args[6]);
            wb.save(args[7]);
            return 0;
        }
        for (int s = 0; s < wb.sheetCount(); ++s) {
            out << "== " << wb.sheetName(s) << " last=" << wb.lastUsedRow(s) << "\n";
            for (int r = 1; r <= wb.lastUsedRow(s); ++r)
                for (int c = 1; c <= 256; ++c) {
                    const xls::CellValue v = wb.cell(s, r, c);
                    if (v.type == xls::CellType::Empty)
                        continue;
                    out << r << "," << c << " t" << int(v.type) << " ";
                    if (v.type == xls::CellType::Text)
                        out << v.text;
                    else
                        out << QString::number(v.number, 'g', 17) << " code=" << v.code;
                    out << "\n";
                }
        }
    } catch (const xls::Error& e) {
        out << "ERROR " << int(e.code()) << ": " << e.message() << "\n";
        return 1;
    }
    return 0;
}
