#pragma once

#include "xls/book/book.h"
#include "xls/book/layout.h"

#include <QByteArray>

namespace xls::book {

// Reads the new `file` back and checks that it holds what `book` with its edits should: the same
// sheets, every edit as written, and every other cell of the edited sheets as it was (the other
// sheets were copied byte for byte). The container is parsed again from the file's own bytes; of
// the workbook stream, the globals, every sheet's BOF and the edited sheets are taken through the
// container as read back and compared byte for byte with the stream as built, so that a fault in
// the allocation table or the directory shows. The rest of the file is neither copied nor read.
// Throws xls::Error (Unsupported) saying what differs.
void checkReadBack(const Book& book, const FileImage& file, const NewStream& built);

} // namespace xls::book
