#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace xls::biff {

// Record identifiers used by the engine.
enum : uint16_t {
    FORMULA = 0x0006,
    EOF_ = 0x000A,
    FILEPASS = 0x002F,
    DATEMODE = 0x0022,
    CONTINUE = 0x003C,
    DEFCOLWIDTH = 0x0055,
    COLINFO = 0x007D,
    BOUNDSHEET = 0x0085,
    MULRK = 0x00BD,
    MULBLANK = 0x00BE,
    RSTRING = 0x00D6,
    DBCELL = 0x00D7,
    XF = 0x00E0,
    SST = 0x00FC,
    LABELSST = 0x00FD,
    EXTSST = 0x00FF,
    DIMENSIONS = 0x0200,
    BLANK = 0x0201,
    NUMBER = 0x0203,
    LABEL = 0x0204,
    BOOLERR = 0x0205,
    STRING = 0x0207,
    ROW = 0x0208,
    INDEX = 0x020B,
    ARRAY = 0x0221,
    DEFAULTROWHEIGHT = 0x0225,
    TABLE = 0x0236,
    RK = 0x027E,
    FORMAT = 0x041E,
    SHRFMLA = 0x04BC,
    BOF = 0x0809,
};

constexpr uint32_t kMaxRecordData = 8224;

inline uint16_t u16(const char* p)
{
    return uint16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8));
}
inline uint32_t u32(const char* p)
{
    return uint32_t(u16(p)) | (uint32_t(u16(p + 2)) << 16);
}
inline void put16(char* p, uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
inline void put32(char* p, uint32_t v)
{
    put16(p, uint16_t(v & 0xFFFF));
    put16(p + 2, uint16_t(v >> 16));
}

struct Record {
    uint16_t type;
    uint16_t len;
    uint32_t pos; // offset of the record header in the stream
    const char* data;
};

// Splits [from, to) of a stream into records. Stops before a header or body that would run past `to`;
// `complete` tells whether it reached `to` exactly.
std::vector<Record> tokenize(const QByteArray& stream, uint32_t from, uint32_t to, bool* complete = nullptr);

bool isCellRecord(uint16_t type);

double decodeRk(uint32_t rk);

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

private:
    std::vector<Piece> m_pieces;
    size_t m_piece = 0;
    uint32_t m_off = 0;
};

// Appends one XLUnicodeString body (u16 cch, flags, characters) with 16-bit characters.
void appendUnicodeString(QByteArray& out, const QString& text);

} // namespace xls::biff
