#include "records.h"

#include <bit>

namespace xls::biff {

RecordIterator::RecordIterator(const QByteArray& stream, uint32_t from, uint32_t to)
    : m_base(stream.constData()), m_pos(from), m_to(std::min<uint32_t>(to, uint32_t(stream.size())))
{
}

bool RecordIterator::next(Record* r)
{
    if (uint64_t(m_pos) + 4 > m_to)
        return false;
    const uint16_t type = u16(m_base + m_pos);
    const uint16_t len = u16(m_base + m_pos + 2);
    if (uint64_t(m_pos) + 4 + len > m_to)
        return false;
    if (type == BOF)
        ++m_depth;
    *r = Record{type, len, m_pos, m_base + m_pos + 4, m_depth};
    if (type == EOF_ && m_depth > 0)
        --m_depth;
    m_pos += 4 + len;
    return true;
}

std::vector<Record> tokenize(const QByteArray& stream, uint32_t from, uint32_t to, bool* complete)
{
    std::vector<Record> out;
    to = std::min<uint32_t>(to, uint32_t(stream.size()));
    if (to > from)
        out.reserve((to - from) / 16);
    RecordIterator it(stream, from, to);
    Record r;
    while (it.next(&r))
        out.push_back(r);
    if (complete)
        *complete = it.pos() == to;
    return out;
}

bool isCellRecord(uint16_t type)
{
    switch (type) {
    case BLANK:
    case MULBLANK:
    case NUMBER:
    case RK:
    case MULRK:
    case LABELSST:
    case LABEL:
    case RSTRING:
    case BOOLERR:
    case FORMULA:
        return true;
    default:
        return false;
    }
}

bool isFormulaDefinition(uint16_t type)
{
    return type == SHRFMLA || type == ARRAY || type == TABLE;
}

bool belongsToPreviousCell(uint16_t type)
{
    return type == STRING || type == CONTINUE || isFormulaDefinition(type);
}

double decodeRk(uint32_t rk)
{
    const double v = (rk & 2) ? double(int32_t(rk) >> 2) : std::bit_cast<double>(uint64_t(rk & 0xFFFFFFFCu) << 32);
    return (rk & 1) ? v / 100.0 : v;
}

void appendRecord(QByteArray& out, uint16_t type, const char* data, uint32_t len)
{
    char h[4];
    put16(h, type);
    put16(h + 2, uint16_t(len));
    out.append(h, 4);
    out.append(data, qsizetype(len));
}

void appendRecord(QByteArray& out, const Record& r)
{
    appendRecord(out, r.type, r.data, r.len);
}

} // namespace xls::biff
