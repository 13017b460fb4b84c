#pragma once

#include <QtEndian>
#include <cstdint>

namespace xls {

inline uint32_t u32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
inline uint16_t u16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}
inline void put32(char* p, uint32_t v)
{
    qToLittleEndian<quint32>(v, p);
}
inline void put64(char* p, uint64_t v)
{
    qToLittleEndian<quint64>(v, p);
}

} // namespace xls
