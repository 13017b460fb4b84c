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
    std::map<uint32_t, QString> replaced;                 // entries whose text an edit takes over
    std::map<std::pair<size_t, uint32_t>, uint32_t> isst; // (sheet, edit key) -> SST index

    bool changesTable() const { return !added.empty() || !replaced.empty(); }
};
// An edit reuses an equal plain SST entry. A new text takes the place of an entry that only the
// cells being edited referred to (so a stamp rewritten on every check does not grow the table);
// other texts are appended. Throws xls::Error when the cells refer to an absurd SST index.
NewStrings assignStrings(const Book& book);

// Writes the SST (the one read, cut after its last whole string, or a new one when `existing` is
// false) with the replaced entries and grown by the added ones, and a new EXTSST after it.
// `refDelta` corrects the count of references.
void writeSst(QByteArray& out, const Book& book, const NewStrings& strings, int64_t refDelta, bool existing);

} // namespace xls::book
