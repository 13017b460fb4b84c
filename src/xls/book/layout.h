#pragma once

#include "xls/book/book.h"
#include "xls/cfb/fileimage.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace xls::book {

// The new workbook stream as the pieces it is made of: the bytes written anew (the globals, the
// rebuilt sheets, moved INDEX records) and, between them, runs of the old stream that go over as
// they are. It is written once, straight into its place in the new file, and never assembled.
class NewStream {
public:
    uint64_t size() const { return m_pieces.size(); }
    const FileImage& pieces() const { return m_pieces; }

    void appendCopy(const char* data, qsizetype size); // bytes of the old stream, which must outlive this
    void appendOwned(QByteArray bytes);
    // Where the last owned piece appended lies in its own bytes (to patch positions in it).
    char* lastOwned() { return m_lastOwned; }

    // Where things are in the new stream: the end of the globals, and per sheet (in the book's
    // order) its substream [BOF, just past its EOF).
    uint32_t globalsEnd = 0;
    std::vector<std::pair<uint32_t, uint32_t>> sheets;

private:
    FileImage m_pieces;
    char* m_lastOwned = nullptr;
};

// The workbook stream with the edits applied. Every record the engine does not change is copied;
// the edited sheets get a new cell table, the SST grows by the new strings, and every stream
// position that records hold (BOUNDSHEET, INDEX, EXTSST) is computed for the new layout. Throws
// xls::Error (Unsupported) when the workbook cannot be written safely. The result refers to
// book.stream.
NewStream buildStream(const Book& book);

} // namespace xls::book
