#pragma once

#include "xls/book/book.h"
#include "xls/book/layout.h"

#include <QByteArray>

namespace xls::book {

// Reads the written `file` back and checks that it holds what `book` with its edits should: the
// workbook stream byte for byte as built, the same sheets, every edit as written, and every other
// cell of the edited sheets as it was (the other sheets were copied byte for byte). The container
// is parsed again, but of the stream only the globals and the edited sheets are read. Throws
// xls::Error (Unsupported) saying what differs.
void checkReadBack(const Book& book, const QByteArray& file, const NewStream& built);

} // namespace xls::book
