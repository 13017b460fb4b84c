#pragma once

#include "xls/book/book.h"

namespace xls::book {

// Reads the globals substream into `book`: its records, the sheets, the date system, which cell
// formats show dates, and the shared string table. Throws xls::Error when the stream does not
// start with BIFF8 globals, is encrypted or ends before the globals do.
void readGlobals(Book& book);

// A sheet whose recorded position misses its BOF is found by order among the substreams that
// follow the globals; saving writes the right position back.
void locateSheets(Book& book);

} // namespace xls::book
