#pragma once

#include "xls/book/book.h"

#include <QByteArray>

namespace xls::book {

// The workbook stream with the edits applied. Every record the engine does not change is copied;
// the edited sheets get a new cell table, the SST grows by the new strings, and every stream
// position that records hold (BOUNDSHEET, INDEX, EXTSST) is computed for the new layout. Throws
// xls::Error (Unsupported) when the workbook cannot be written safely.
QByteArray buildStream(const Book& book);

} // namespace xls::book
