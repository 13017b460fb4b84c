#pragma once

#include "xls/book/book.h"

#include <QByteArray>

namespace xls::book {

// Reads the written `file` back and checks that it holds what `book` with its edits should: the
// same sheets, every edit as written, and every other cell of the edited sheets as it was (the
// other sheets were copied byte for byte). Throws xls::Error (Unsupported) saying what differs.
void checkReadBack(const Book& book, const QByteArray& file);

} // namespace xls::book
