#pragma once

#include <cstddef>
#include <cstdint>

namespace xls::crypt {

// The RC4 stream cipher: a key stream XORed onto the data, so one call both encrypts and decrypts.
class Rc4 {
public:
    Rc4(const uint8_t* key, size_t keyLen);

    // XORs the next `n` key stream bytes onto `data`.
    void apply(char* data, size_t n);
    // Moves past `n` key stream bytes.
    void skip(size_t n);

private:
    uint8_t next();

    uint8_t m_s[256];
    uint8_t m_i = 0, m_j = 0;
};

} // namespace xls::crypt
