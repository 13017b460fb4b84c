#include "filepass.h"

#include "xls/bytes.h"
#include "xls/crypt/rc4.h"

#include <QCryptographicHash>

namespace xls::crypt {

namespace {

constexpr uint16_t kXorObfuscation = 0x0000, kRc4Family = 0x0001; // FILEPASS wEncryptionType
constexpr int kSaltSize = 16, kVerifierSize = 16;
constexpr uint32_t kFlagCryptoApi = 0x04; // EncryptionHeader.Flags: fCryptoAPI
constexpr uint32_t kAlgRc4 = 0x6801, kAlgSha1 = 0x8004;
constexpr uint32_t kProviderRsaFull = 0x01;
// The RC4 record: type, version 1.1, salt, verifier and its MD5 hash.
constexpr uint32_t kRc4Length = 2 + 4 + kSaltSize + kVerifierSize + 16;
// The CryptoAPI record: type, version, flags, header size, then the header and the verifier.
constexpr uint32_t kApiPrefix = 2 + 4 + 4 + 4;
constexpr uint32_t kApiHeaderFixed = 32; // the header's fields before the provider's name
constexpr uint32_t kApiVerifierLength = 4 + kSaltSize + kVerifierSize + 4 + 20;

QByteArray hash(QCryptographicHash::Algorithm algorithm, const QByteArray& data)
{
    return QCryptographicHash::hash(data, algorithm);
}

// Text as the schemes hash a password: UTF-16LE code units, no terminator.
QByteArray utf16le(const QString& password)
{
    QByteArray out(password.size() * 2, '\0');
    for (qsizetype k = 0; k < password.size(); ++k)
        put16(out.data() + 2 * k, password.at(k).unicode());
    return out;
}

QByteArray le32(uint32_t v)
{
    QByteArray out(4, '\0');
    put32(out.data(), v);
    return out;
}

} // namespace

QString defaultPassword()
{
    return QStringLiteral("VelvetSweatshop");
}

FilePassKey FilePassKey::derive(Scheme scheme, const QString& password, const QByteArray& salt, int keyBits)
{
    FilePassKey key;
    key.m_scheme = scheme;
    key.m_keyBits = keyBits;
    const QByteArray pw = utf16le(password);
    if (scheme == Scheme::Rc4) {
        // The first 40 bits of the password's hash, sixteen times with the salt, hashed again.
        const QByteArray h0 = hash(QCryptographicHash::Md5, pw).left(5);
        QByteArray buffer;
        buffer.reserve(16 * (5 + kSaltSize));
        for (int k = 0; k < 16; ++k)
            buffer += h0 + salt;
        key.m_base = hash(QCryptographicHash::Md5, buffer).left(5);
    } else {
        key.m_base = hash(QCryptographicHash::Sha1, salt + pw);
    }
    return key;
}

QByteArray FilePassKey::blockKey(uint32_t block) const
{
    if (m_scheme == Scheme::Rc4)
        return hash(QCryptographicHash::Md5, m_base + le32(block)); // all 128 bits
    QByteArray key = hash(QCryptographicHash::Sha1, m_base + le32(block)).left(m_keyBits / 8);
    // A 40-bit key is used as a 128-bit one whose last 88 bits are zero.
    if (m_keyBits == 40)
        key.append(11, '\0');
    return key;
}

bool FilePassKey::verifies(const char* verifier, const char* verifierHash) const
{
    const QByteArray k = blockKey(0);
    Rc4 rc4(reinterpret_cast<const uint8_t*>(k.constData()), size_t(k.size()));
    QByteArray v(verifier, kVerifierSize), h(verifierHash, hashSize());
    rc4.apply(v.data(), size_t(v.size()));
    rc4.apply(h.data(), size_t(h.size()));
    const auto algorithm = m_scheme == Scheme::Rc4 ? QCryptographicHash::Md5 : QCryptographicHash::Sha1;
    return hash(algorithm, v) == h;
}

FilePassKey::Result FilePassKey::open(const char* body, uint32_t len, const QString& password, FilePassKey* key)
{
    if (len < 2)
        return Result::Malformed;
    const uint16_t type = u16(body);
    if (type == kXorObfuscation)
        return Result::Obfuscated;
    if (type != kRc4Family)
        return Result::Unsupported;
    if (len < 6)
        return Result::Malformed;
    const uint16_t major = u16(body + 2), minor = u16(body + 4);
    if (major == 1 && minor == 1) {
        if (len < kRc4Length)
            return Result::Malformed;
        const char* salt = body + 6;
        FilePassKey k = derive(Scheme::Rc4, password, QByteArray(salt, kSaltSize), 128);
        if (!k.verifies(salt + kSaltSize, salt + kSaltSize + kVerifierSize))
            return Result::WrongPassword;
        *key = k;
        return Result::Opened;
    }
    if (major < 2 || major > 4 || minor != 2)
        return Result::Unsupported;
    if (len < kApiPrefix)
        return Result::Malformed;
    const uint32_t headerSize = u32(body + 10);
    if (headerSize < kApiHeaderFixed || uint64_t(kApiPrefix) + headerSize + kApiVerifierLength > len)
        return Result::Malformed;
    const char* header = body + kApiPrefix;
    const uint32_t flags = u32(header), alg = u32(header + 8), algHash = u32(header + 12);
    uint32_t keyBits = u32(header + 16);
    if (keyBits == 0)
        keyBits = 40; // a zero key size stands for 40 bits
    if (!(flags & kFlagCryptoApi) || (alg != kAlgRc4 && alg != 0) || (algHash != kAlgSha1 && algHash != 0) ||
        keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
        return Result::Unsupported;
    const char* verifier = header + headerSize;
    if (u32(verifier) != kSaltSize || u32(verifier + 4 + kSaltSize + kVerifierSize) != 20)
        return Result::Malformed;
    const char* salt = verifier + 4;
    FilePassKey k = derive(Scheme::CryptoApiRc4, password, QByteArray(salt, kSaltSize), int(keyBits));
    if (!k.verifies(salt + kSaltSize, salt + kSaltSize + kVerifierSize + 4))
        return Result::WrongPassword;
    *key = k;
    return Result::Opened;
}

QByteArray FilePassKey::makeFilePass(Scheme scheme, const QString& password, const QByteArray& salt,
                                     const QByteArray& verifier, int keyBits)
{
    const FilePassKey k = derive(scheme, password, salt.left(kSaltSize), scheme == Scheme::Rc4 ? 128 : keyBits);
    const auto algorithm = scheme == Scheme::Rc4 ? QCryptographicHash::Md5 : QCryptographicHash::Sha1;
    const QByteArray v = verifier.left(kVerifierSize);
    QByteArray encrypted = v + hash(algorithm, v);
    const QByteArray block0 = k.blockKey(0);
    Rc4(reinterpret_cast<const uint8_t*>(block0.constData()), size_t(block0.size()))
        .apply(encrypted.data(), size_t(encrypted.size()));

    QByteArray out(2, '\0');
    put16(out.data(), kRc4Family);
    if (scheme == Scheme::Rc4) {
        out += QByteArray("\x01\x00\x01\x00", 4) + salt.left(kSaltSize) + encrypted;
        return out;
    }
    const QString provider = keyBits > 40 ? QStringLiteral("Microsoft Enhanced Cryptographic Provider v1.0")
                                          : QStringLiteral("Microsoft Base Cryptographic Provider v1.0");
    QByteArray header = le32(kFlagCryptoApi) + le32(0) + le32(kAlgRc4) + le32(kAlgSha1) + le32(uint32_t(keyBits)) +
                        le32(kProviderRsaFull) + le32(0) + le32(0) + utf16le(provider) + QByteArray(2, '\0');
    out += QByteArray("\x04\x00\x02\x00", 4) + le32(kFlagCryptoApi) + le32(uint32_t(header.size())) + header;
    out += le32(kSaltSize) + salt.left(kSaltSize) + encrypted.left(kVerifierSize) + le32(20) +
           encrypted.mid(kVerifierSize);
    return out;
}

} // namespace xls::crypt
