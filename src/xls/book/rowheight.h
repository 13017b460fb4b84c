#pragma once

#include "xls/biff/records.h"
#include "xls/book/book.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace xls::book {

// One text of a new row: its column, its cell format and the text.
struct RowText {
    uint16_t col;
    uint16_t ixfe;
    const QString* text;
};

// The height a new row needs to show its texts whole. Neither Excel nor LibreOffice fits a row's
// height to its wrapped texts when it opens a file (each takes the height the ROW record states),
// so the writer works it out as they would: for every text whose format wraps, the lines it takes
// in its column's width at its font's size, greedily broken at blanks, at 1.275 times the font's
// height a line (Excel's 12.75 pt for a 10 pt font). Character widths are estimated per class of
// letter on the wide side, so that a text is never cut (at worst a row has room to spare).
class RowFitter {
public:
    RowFitter(const Book& book, const std::vector<biff::Record>& sheetRecords);

    // The height in twips for a row with `texts`; `minimum` when they fit on one line.
    uint16_t height(const std::vector<RowText>& texts, uint16_t minimum) const;

private:
    struct Width {
        uint16_t first, last, width; // COLINFO: columns and width in 1/256 of a digit
    };
    uint16_t fontHeight(uint16_t ixfe) const;
    double columnDigits(uint16_t col) const;
    int lines(const QString& text, double widthDigits, double scale) const;

    std::vector<uint16_t> m_fontHeights; // FONT records in order, twips
    std::vector<uint16_t> m_xfFont;      // per XF: its font index
    std::vector<bool> m_xfWrap;          // per XF: its text wraps
    std::vector<Width> m_widths;
    double m_defaultDigits = 8.43; // DEFCOLWIDTH, in digits
};

} // namespace xls::book
