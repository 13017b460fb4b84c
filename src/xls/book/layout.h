#pragma once

#include "xls/book/book.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace xls::book {

// The new workbook stream as the pieces it is made of: the bytes written anew (the globals, the
// rebuilt sheets, moved INDEX records) and, between them, runs of the old stream that go over as
// they are. It is written once, straight into its place in the new file.
class NewStream {
public:
    uint64_t size() const { return m_size; }
    // Writes the size() bytes of the stream to `dest`.
    void writeTo(char* dest) const;
    // Whether `bytes` are exactly this stream.
    bool sameAs(const QByteArray& bytes) const;

    void appendCopy(const char* data, qsizetype size); // bytes of the old stream, which must outlive this
    void appendOwned(QByteArray bytes);
    // Where the last owned piece appended lies in its own bytes (to patch positions in it).
    char* lastOwned() { return m_owned.back().data(); }

private:
    struct Piece {
        const char* data;
        qsizetype size;
    };
    std::vector<QByteArray> m_owned;
    std::vector<Piece> m_pieces;
    uint64_t m_size = 0;
};

// The workbook stream with the edits applied. Every record the engine does not change is copied;
// the edited sheets get a new cell table, the SST grows by the new strings, and every stream
// position that records hold (BOUNDSHEET, INDEX, EXTSST) is computed for the new layout. Throws
// xls::Error (Unsupported) when the workbook cannot be written safely. The result refers to
// book.stream.
NewStream buildStream(const Book& book);

} // namespace xls::book
