#pragma once

#include "xls/biff/records.h"
#include "xls/book/book.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Hyperlinks on cells: the HLINK records of a worksheet.
namespace xls::book {

// The most characters a link's target and location may have together: the record that holds
// them takes no CONTINUE and must stay within 8224 bytes.
constexpr qsizetype kMaxLinkChars = 2000;

// A whole HLINK record (header included) that makes the cell at 0-based (row, col) a link to
// `link`: a file moniker for the target (relative, with one "..\" counted per parent folder, or
// absolute) and the location as the link's text mark; a link inside the workbook has the
// location only.
QByteArray hlinkRecord(uint16_t row, uint16_t col, const Link& link);

// Where the sheet's new HLINK records go among its records `recs`, searching from `from` (the end
// of the cell table): after the window settings, merged cells, conditional formats and the links
// already there, before data validation, the sheet's extensions, features and EOF.
size_t hlinkPlace(const std::vector<biff::Record>& recs, size_t from);

// Whether `r`, an HLINK of the sheet, covers just one cell that gets a new link (the new link
// replaces it).
bool linkReplaced(const biff::Record& r, const Sheet& sh);
// Whether `r` is the tooltip that follows an HLINK record and belongs to it.
bool isLinkTooltip(const biff::Record& r);

} // namespace xls::book
