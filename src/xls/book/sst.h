#pragma once

#include "xls/book/book.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// The shared string table (SST): reading it, giving the texts of edits their indices, and writing
// it grown by the new texts, with the EXTSST index of where its strings start.
namespace xls::book {

// Reads the SST record `r` and the CONTINUE records that follow it (taken from `it`) into
// book.sst, and appends them to book.globals. Throws xls::Error when the SST has no header.
void readSst(Book& book, const biff::Record& r, biff::RecordIterator& it);

// The strings the text edits add to the SST, and the SST index of every text edit.
struct NewStrings {
    std::vector<QString> added;                           // appended after the SST's entries
    std::map<std::pair<size_t, uint32_t>, uint32_t> isst; // (sheet, edit key) -> SST index
};
// An edit reuses an equal plain SST entry; other texts are appended. Throws xls::Error when the
// cells refer to an absurd SST index.
NewStrings assignStrings(const Book& book);

// Writes the SST (the one read, cut after its last whole string, or a new one when `existing` is
// false) grown by `added`, and a new EXTSST after it. `refDelta` corrects the count of references.
void writeSst(QByteArray& out, const Book& book, const std::vector<QString>& added, int64_t refDelta, bool existing);

} // namespace xls::book
