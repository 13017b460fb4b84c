#pragma once

#include "records.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace xls::biff {

// An SST entry in full: its text, whether it was stored with 16-bit characters, and its formatting
// runs and phonetic data as raw bytes.
struct RichString {
    QString text;
    bool highByte = true;
    QByteArray runs; // cRun formatting runs of 4 bytes
    QByteArray ext;  // the ExtRst block
};

// Reads the pieces of a record and its CONTINUE records as one logical byte sequence, with the
// special rule for Unicode character data: when characters run on into the next piece, that piece
// begins with an option byte that tells whether they are 8-bit or 16-bit.
class ContinueReader {
public:
    struct Piece {
        const char* data;
        uint32_t len;
    };
    explicit ContinueReader(std::vector<Piece> pieces) : m_pieces(std::move(pieces)) {}

    bool atEnd() const;
    // Current position as (piece, offset), normalised so the offset lies inside the piece.
    std::pair<size_t, uint32_t> position();
    bool readBytes(char* out, uint32_t n);
    bool skip(uint64_t n);
    bool readU8(uint8_t* v);
    bool readU16(uint16_t* v);
    bool readU32(uint32_t* v);
    bool readChars(uint32_t cch, bool highByte, QString* out);
    // A full XLUnicodeRichExtendedString (SST entry) or XLUnicodeString (rich/ext flags ignored if `plain`).
    bool readString(QString* out, bool sstEntry, bool* isPlain = nullptr);
    // A full SST entry with its runs and phonetic data.
    bool readRichString(RichString* out);

private:
    std::vector<Piece> m_pieces;
    size_t m_piece = 0;
    uint32_t m_off = 0;
};

// The body of record `r` and of the CONTINUE records that follow it, which are taken from `it`
// (and appended to `taken` when given); `it` stops before the first record that is no CONTINUE.
std::vector<ContinueReader::Piece> continuedPieces(const Record& r, RecordIterator& it,
                                                   std::vector<Record>* taken = nullptr);

// Writes a record whose body may run on into CONTINUE records, split as BIFF8 requires of strings:
// a string's header and its first character stay in one record, and characters that run past the
// end of a record go on in a CONTINUE that starts with an option byte (1: 16-bit characters).
class ContinueWriter {
public:
    explicit ContinueWriter(QByteArray& out) : m_out(out) {}

    // Starts a record; returns the position of its header in `out`.
    uint32_t begin(uint16_t type);
    // Writes the current record's length.
    void finish();
    uint32_t header() const { return m_header; }
    // Body bytes of the current record so far.
    uint32_t used() const { return uint32_t(m_out.size()) - m_header - 4; }
    QByteArray& out() { return m_out; }

    // Appends an XLUnicodeString with 16-bit characters, starting a CONTINUE record where needed.
    // Returns where the string starts: (header position of its record, offset in that body).
    std::pair<uint32_t, uint32_t> appendString(const QString& s);
    // Appends an SST entry as it was read, in the same character width; a formatting run is never
    // split between records.
    std::pair<uint32_t, uint32_t> appendRichString(const RichString& s);

private:
    QByteArray& m_out;
    uint32_t m_header = 0;
};

// Appends the `n` characters at `p`, stored with 8 bits each (the high byte left out) or 16.
void appendChars(QString* out, const char* p, uint32_t n, bool highByte);

// The characters of a string stored at p[0, len): `cch` of them, or as many as `len` holds.
QString charsFrom(const char* p, uint32_t len, uint32_t cch, bool highByte);

// A ShortXLUnicodeString (u8 cch, u8 flags, characters), or as much of it as `len` holds.
QString readShortString(const char* p, uint32_t len);

// Text in Windows-1251, the ANSI code page of Ukrainian Windows, as 8-bit copies of paths and plain
// text files use it; a character the code page lacks is written as '?'.
QString fromCp1251(const QByteArray& bytes);
QByteArray toCp1251(const QString& text);

} // namespace xls::biff
