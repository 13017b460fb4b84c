#pragma once

#include "xls/book/book.h"
#include "xls/book/sst.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace xls::book {

// A sheet's substream as it goes into the new stream, with the places whose stream positions are
// known only once the stream is laid out.
struct BuiltSheet {
    QByteArray bytes;
    int indexData = -1;            // offset in `bytes` of the INDEX record's body, -1 without one
    uint32_t defColWidth = 0;      // offset of DEFCOLWIDTH in `bytes`, 0 without one
    std::vector<uint32_t> dbcells; // offsets of the DBCELL records in `bytes`
};

// Writes the edited worksheet `sheet` with a new cell table: the cells of every row in column
// order, 32 rows to a block, each block closed by a DBCELL; an INDEX that had been there gets its
// row range and room for the DBCELL positions. Records outside the cell table stay as they were.
// `strings` gives each text edit its SST index; *refDelta changes by the LABELSST cells added less
// those removed. Throws xls::Error when the sheet cannot be edited safely.
BuiltSheet rebuildSheet(const Book& book, size_t sheet, const NewStrings& strings, int64_t* refDelta);

} // namespace xls::book
