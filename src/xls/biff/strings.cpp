#include "strings.h"

#include <cstring>

namespace xls::biff {

bool ContinueReader::atEnd() const
{
    size_t p = m_piece;
    uint32_t o = m_off;
    while (p < m_pieces.size() && o >= m_pieces[p].len) {
        ++p;
        o = 0;
    }
    return p >= m_pieces.size();
}

std::pair<size_t, uint32_t> ContinueReader::position()
{
    while (m_piece < m_pieces.size() && m_off >= m_pieces[m_piece].len) {
        ++m_piece;
        m_off = 0;
    }
    return {m_piece, m_off};
}

bool ContinueReader::readBytes(char* out, uint32_t n)
{
    while (n > 0) {
        if (m_piece >= m_pieces.size())
            return false;
        const Piece& p = m_pieces[m_piece];
        const uint32_t avail = p.len - m_off;
        if (avail == 0) {
            ++m_piece;
            m_off = 0;
            continue;
        }
        const uint32_t take = std::min(avail, n);
        if (out) {
            std::memcpy(out, p.data + m_off, take);
            out += take;
        }
        m_off += take;
        n -= take;
    }
    return true;
}

bool ContinueReader::skip(uint64_t n)
{
    while (n > 0) {
        const uint32_t step = uint32_t(std::min<uint64_t>(n, 0x7FFFFFFF));
        if (!readBytes(nullptr, step))
            return false;
        n -= step;
    }
    return true;
}

bool ContinueReader::readU8(uint8_t* v)
{
    char c;
    if (!readBytes(&c, 1))
        return false;
    *v = uint8_t(c);
    return true;
}

bool ContinueReader::readU16(uint16_t* v)
{
    char b[2];
    if (!readBytes(b, 2))
        return false;
    *v = u16(b);
    return true;
}

bool ContinueReader::readU32(uint32_t* v)
{
    char b[4];
    if (!readBytes(b, 4))
        return false;
    *v = u32(b);
    return true;
}

bool ContinueReader::readChars(uint32_t cch, bool highByte, QString* out)
{
    out->reserve(out->size() + qsizetype(cch));
    while (cch > 0) {
        if (m_piece >= m_pieces.size())
            return false;
        if (m_off >= m_pieces[m_piece].len) {
            ++m_piece;
            m_off = 0;
            // Characters continue in the next non-empty piece, which starts with its own option byte.
            while (m_piece < m_pieces.size() && m_pieces[m_piece].len == 0)
                ++m_piece;
            if (m_piece >= m_pieces.size())
                return false;
            const Piece& np = m_pieces[m_piece];
            highByte = (uint8_t(np.data[0]) & 1) != 0;
            m_off = 1;
            continue;
        }
        const Piece& p = m_pieces[m_piece];
        const uint32_t avail = p.len - m_off;
        const uint32_t unit = highByte ? 2 : 1;
        uint32_t n = std::min(cch, avail / unit);
        if (n == 0) {
            // A stray byte too short for a character ends the piece; the text goes on in the next one.
            m_off = p.len;
            continue;
        }
        appendChars(out, p.data + m_off, n, highByte);
        m_off += n * unit;
        cch -= n;
    }
    return true;
}

bool ContinueReader::readString(QString* out, bool sstEntry, bool* isPlain)
{
    uint16_t cch = 0;
    uint8_t flags = 0;
    if (!readU16(&cch))
        return false;
    if (cch == 0 && atEnd()) {
        if (isPlain)
            *isPlain = true;
        return true; // an empty string without its flags byte
    }
    if (!readU8(&flags))
        return false;
    uint16_t runs = 0;
    uint32_t ext = 0;
    if (sstEntry && (flags & 0x08) && !readU16(&runs))
        return false;
    if (sstEntry && (flags & 0x04) && !readU32(&ext))
        return false;
    if (isPlain)
        *isPlain = (flags & 0x0C) == 0;
    if (!readChars(cch, flags & 1, out))
        return false;
    return skip(uint64_t(runs) * 4 + ext);
}

std::vector<ContinueReader::Piece> continuedPieces(const Record& r, RecordIterator& it, std::vector<Record>* taken)
{
    std::vector<ContinueReader::Piece> pieces{{r.data, r.len}};
    RecordIterator ahead = it;
    Record c;
    while (ahead.next(&c) && c.type == CONTINUE) {
        pieces.push_back({c.data, c.len});
        if (taken)
            taken->push_back(c);
        it = ahead;
    }
    return pieces;
}

uint32_t ContinueWriter::begin(uint16_t type)
{
    m_header = uint32_t(m_out.size());
    m_out.append(4, '\0');
    put16(m_out.data() + m_header, type);
    return m_header;
}

void ContinueWriter::finish()
{
    put16(m_out.data() + m_header + 2, uint16_t(used()));
}

std::pair<uint32_t, uint32_t> ContinueWriter::appendString(const QString& s)
{
    const uint32_t need = s.isEmpty() ? 3 : 5; // cch, flags and the first character
    if (used() + need > kMaxRecordData) {
        finish();
        begin(CONTINUE);
    }
    const std::pair<uint32_t, uint32_t> start{m_header, used()};
    char head[3];
    put16(head, uint16_t(s.size()));
    head[2] = 1;
    m_out.append(head, 3);
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype room = (qsizetype(kMaxRecordData) - qsizetype(used())) / 2;
        if (room <= 0) {
            finish();
            begin(CONTINUE);
            m_out.append(char(1));
            continue;
        }
        const qsizetype take = std::min(room, s.size() - i);
        const qsizetype at = m_out.size();
        m_out.resize(at + 2 * take);
        for (qsizetype k = 0; k < take; ++k)
            put16(m_out.data() + at + 2 * k, s.at(i + k).unicode());
        i += take;
    }
    return start;
}

void appendChars(QString* out, const char* p, uint32_t n, bool highByte)
{
    if (!highByte) {
        out->append(QLatin1StringView(p, qsizetype(n))); // Latin-1 is exactly the 8-bit form
        return;
    }
    const qsizetype at = out->size();
    out->resize(at + qsizetype(n));
    QChar* d = out->data() + at;
    for (uint32_t i = 0; i < n; ++i)
        d[i] = QChar(u16(p + 2 * i));
}

QString charsFrom(const char* p, uint32_t len, uint32_t cch, bool highByte)
{
    QString s;
    appendChars(&s, p, std::min(cch, len / (highByte ? 2 : 1)), highByte);
    return s;
}

QString readShortString(const char* p, uint32_t len)
{
    if (len < 2)
        return {};
    return charsFrom(p + 2, len - 2, uint8_t(p[0]), (uint8_t(p[1]) & 1) != 0);
}

} // namespace xls::biff
