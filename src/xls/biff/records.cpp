#include "records.h"

#include <bit>

namespace xls::biff {

std::vector<Record> tokenize(const QByteArray& stream, uint32_t from, uint32_t to, bool* complete)
{
    std::vector<Record> out;
    const char* base = stream.constData();
    to = std::min<uint32_t>(to, uint32_t(stream.size()));
    if (to > from)
        out.reserve((to - from) / 16);
    uint32_t pos = from;
    while (pos + 4 <= to) {
        const uint16_t type = u16(base + pos);
        const uint16_t len = u16(base + pos + 2);
        if (uint64_t(pos) + 4 + len > to)
            break;
        out.push_back(Record{type, len, pos, base + pos + 4});
        pos += 4 + len;
    }
    if (complete)
        *complete = pos == to;
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

double decodeRk(uint32_t rk)
{
    const double v = (rk & 2) ? double(int32_t(rk) >> 2) : std::bit_cast<double>(uint64_t(rk & 0xFFFFFFFCu) << 32);
    return (rk & 1) ? v / 100.0 : v;
}

} // namespace xls::biff
