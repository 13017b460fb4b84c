// Fuzz target for the workbook reader and writer: any bytes must give a workbook or an xls::Error,
// never a crash, hang, leak or out-of-bounds access. Built with libFuzzer by tools/fuzz.sh, or with
// replay_main.cpp, the small driver that replays files, as the test suite does.
#include "sheet/locale.h"
#include "sheet/valuetext.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        xls::Workbook wb = xls::Workbook::fromBytes(bytes, QStringLiteral("fuzz.xls"));
        const sheet::Locale locale = sheet::Locale::comma();
        for (int s = 0; s < wb.sheetCount(); ++s) {
            const int last = std::min(wb.lastUsedRow(s), 300);
            for (int r = 1; r <= last; ++r)
                for (int c = 1; c <= 30; ++c) {
                    try {
                        (void)sheet::valueText(wb.cell(s, r, c), locale, wb.dateMode1904());
                    } catch (const sheet::CellReadError&) {
                    }
                }
        }
        if (wb.sheetCount() > 0) {
            // Edits as a control run makes them: a text with a hyperlink in the first sheet, a number
            // inside and a text past the last row of a second one, so that two sheets' cell tables
            // are rebuilt.
            wb.setText(0, 3, 2, QStringLiteral("перевірка"));
            wb.setHyperlink(0, 3, 2, QStringLiteral("zvit.xls"), QStringLiteral("'Таблиця 2'!A7"));
            const int other = wb.sheetCount() - 1;
            wb.setNumber(other, 2, 3, 1234.5);
            wb.setText(other, std::min(wb.lastUsedRow(other) + 2, 65536), 1, QStringLiteral("кінець"));
            const QByteArray out = wb.serialize();
            const xls::Workbook back = xls::Workbook::fromBytes(out, QStringLiteral("fuzz-out.xls"));
            if (back.cell(0, 3, 2).text != QStringLiteral("перевірка"))
                __builtin_trap(); // a save that passed its own read-back check must read back
        }
    } catch (const xls::Error&) {
    }
    return 0;
}
