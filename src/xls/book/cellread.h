#pragma once

#include "xls/book/book.h"

namespace xls::book {

// Reads the cells of `sh` from its substream into sh.rows, texts into book.sst. A sheet whose BOF
// is not where it was located keeps no cells; one without a closing EOF is read but marked as not
// located, so that it is never written.
void readCells(Book& book, Sheet& sh);

} // namespace xls::book
