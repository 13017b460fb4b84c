#include "strings.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

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

bool ContinueReader::readRichString(RichString* out)
{
    uint16_t cch = 0, runs = 0;
    uint8_t flags = 0;
    uint32_t ext = 0;
    if (!readU16(&cch))
        return false;
    if (cch == 0 && atEnd()) {
        *out = RichString{};
        return true;
    }
    if (!readU8(&flags) || ((flags & 0x08) && !readU16(&runs)) || ((flags & 0x04) && !readU32(&ext)))
        return false;
    out->text.clear();
    out->highByte = (flags & 1) != 0;
    // The characters may switch width at a record boundary; the entry is written back in one width.
    if (!readChars(cch, out->highByte, &out->text))
        return false;
    if (out->highByte == false)
        for (QChar c : std::as_const(out->text))
            if (c.unicode() > 0xFF)
                out->highByte = true;
    if (uint64_t(ext) > uint64_t(m_pieces.size()) * kMaxRecordData)
        return false;
    out->runs.resize(qsizetype(runs) * 4);
    out->ext.resize(qsizetype(ext));
    return readBytes(out->runs.data(), uint32_t(out->runs.size())) && readBytes(out->ext.data(), ext);
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
    return appendRichString(RichString{s, true, {}, {}});
}

std::pair<uint32_t, uint32_t> ContinueWriter::appendRichString(const RichString& s)
{
    const uint32_t unit = s.highByte ? 2 : 1;
    const uint32_t headerSize = 3 + (s.runs.isEmpty() ? 0 : 2) + (s.ext.isEmpty() ? 0 : 4);
    // The header and the first character stay in one record.
    if (used() + headerSize + (s.text.isEmpty() ? 0 : unit) > kMaxRecordData) {
        finish();
        begin(CONTINUE);
    }
    const std::pair<uint32_t, uint32_t> start{m_header, used()};
    char head[9];
    put16(head, uint16_t(s.text.size()));
    head[2] = char((s.highByte ? 0x01 : 0) | (s.ext.isEmpty() ? 0 : 0x04) | (s.runs.isEmpty() ? 0 : 0x08));
    uint32_t at = 3;
    if (!s.runs.isEmpty()) {
        put16(head + at, uint16_t(s.runs.size() / 4));
        at += 2;
    }
    if (!s.ext.isEmpty()) {
        put32(head + at, uint32_t(s.ext.size()));
        at += 4;
    }
    m_out.append(head, at);
    qsizetype i = 0;
    while (i < s.text.size()) {
        const qsizetype room = (qsizetype(kMaxRecordData) - qsizetype(used())) / unit;
        if (room <= 0) {
            // Characters go on in a CONTINUE record that starts with their width.
            finish();
            begin(CONTINUE);
            m_out.append(char(s.highByte ? 1 : 0));
            continue;
        }
        const qsizetype take = std::min(room, s.text.size() - i);
        const qsizetype pos = m_out.size();
        m_out.resize(pos + unit * take);
        for (qsizetype k = 0; k < take; ++k) {
            const char16_t c = s.text.at(i + k).unicode();
            if (s.highByte)
                put16(m_out.data() + pos + 2 * k, c);
            else
                m_out[pos + k] = char(c);
        }
        i += take;
    }
    for (qsizetype r = 0; r + 4 <= s.runs.size(); r += 4) {
        if (used() + 4 > kMaxRecordData) {
            finish();
            begin(CONTINUE);
        }
        m_out.append(s.runs.constData() + r, 4);
    }
    for (qsizetype e = 0; e < s.ext.size();) {
        if (used() >= kMaxRecordData) {
            finish();
            begin(CONTINUE);
        }
        const qsizetype take = std::min<qsizetype>(s.ext.size() - e, kMaxRecordData - used());
        m_out.append(s.ext.constData() + e, take);
        e += take;
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

namespace {
// Windows-1251 (the ANSI code page of Ukrainian Windows) above ASCII.
const char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};
} // namespace

QString fromCp1251(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const uint8_t b = uint8_t(c);
        out.append(QChar(b < 0x80 ? char16_t(b) : kCp1251High[b - 0x80]));
    }
    return out;
}

QByteArray toCp1251(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        char byte = '?';
        if (c.unicode() < 0x80) {
            byte = char(c.unicode());
        } else {
            const auto* at = std::find(std::begin(kCp1251High), std::end(kCp1251High), c.unicode());
            if (at != std::end(kCp1251High))
                byte = char(0x80 + (at - std::begin(kCp1251High)));
        }
        out.append(byte);
    }
    return out;
}

} // namespace xls::biff
