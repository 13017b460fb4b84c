#include "rc4.h"

#include <utility>

namespace xls::crypt {

Rc4::Rc4(const uint8_t* key, size_t keyLen)
{
    for (int k = 0; k < 256; ++k)
        m_s[k] = uint8_t(k);
    uint8_t j = 0;
    for (size_t k = 0; k < 256; ++k) {
        j = uint8_t(j + m_s[k] + key[k % keyLen]);
        std::swap(m_s[k], m_s[j]);
    }
}

uint8_t Rc4::next()
{
    m_i = uint8_t(m_i + 1);
    m_j = uint8_t(m_j + m_s[m_i]);
    std::swap(m_s[m_i], m_s[m_j]);
    return m_s[uint8_t(m_s[m_i] + m_s[m_j])];
}

void Rc4::apply(char* data, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        data[k] = char(uint8_t(data[k]) ^ next());
}

void Rc4::skip(size_t n)
{
    for (size_t k = 0; k < n; ++k)
        next();
}

} // namespace xls::crypt
