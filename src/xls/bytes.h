#pragma once

#include <QtEndian>
#include <bit>
#include <cstdint>

// Little-endian fields of the compound file and of BIFF records, read from and written to raw bytes.
// Callers check the bounds; these only convert.
namespace xls {

inline uint16_t u16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}
inline uint32_t u32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
inline uint64_t u64(const char* p)
{
    return qFromLittleEndian<quint64>(p);
}
inline double f64(const char* p)
{
    return std::bit_cast<double>(u64(p));
}

inline void put16(char* p, uint16_t v)
{
    qToLittleEndian<quint16>(v, p);
}
inline void put32(char* p, uint32_t v)
{
    qToLittleEndian<quint32>(v, p);
}
inline void put64(char* p, uint64_t v)
{
    qToLittleEndian<quint64>(v, p);
}
inline void putF64(char* p, double v)
{
    put64(p, std::bit_cast<uint64_t>(v));
}

} // namespace xls
