#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The FILEPASS record of an encrypted workbook: which RC4 scheme it uses, whether a password opens
// it, and the key of each 1024-byte block of the workbook stream.
namespace xls::crypt {

// The password spreadsheet programs encrypt a workbook with when the user gave none: a workbook
// whose structure or sheets are protected opens without a prompt, yet is stored encrypted.
QString defaultPassword();

// The two RC4 schemes of a BIFF8 workbook.
enum class Scheme : uint8_t {
    Rc4,          // "RC4 encryption": the key is made with MD5 from the password and a salt
    CryptoApiRc4, // "RC4 CryptoAPI encryption": the key is made with SHA-1, 40 to 128 bits long
};

class FilePassKey {
public:
    enum class Result {
        Opened,        // the password fits: the key is ready
        WrongPassword, // a sound record, made for another password
        Obfuscated,    // XOR obfuscation, the oldest scheme, only ever used with a password of the user's own
        Unsupported,   // a scheme or algorithm this engine does not know
        Malformed,     // the record is too short or its sizes contradict each other
    };

    // Reads the FILEPASS body `body[0, len)` and checks `password` against the verifier in it.
    static Result open(const char* body, uint32_t len, const QString& password, FilePassKey* key);

    // A FILEPASS body that encrypts with `password` in `scheme`, from a 16-byte salt and a 16-byte
    // verifier; CryptoAPI keys are `keyBits` long (40 to 128, in steps of 8).
    static QByteArray makeFilePass(Scheme scheme, const QString& password, const QByteArray& salt,
                                   const QByteArray& verifier, int keyBits = 128);

    Scheme scheme() const { return m_scheme; }
    // The RC4 key of the `block`-th 1024-byte block of the workbook stream.
    QByteArray blockKey(uint32_t block) const;

private:
    static FilePassKey derive(Scheme scheme, const QString& password, const QByteArray& salt, int keyBits);
    // Whether the verifier, decrypted with the key of block 0, matches its hash, which follows it in
    // the same key stream.
    bool verifies(const char* verifier, const char* hash) const;
    int hashSize() const { return m_scheme == Scheme::Rc4 ? 16 : 20; }

    Scheme m_scheme = Scheme::Rc4;
    QByteArray m_base; // RC4: the first 5 bytes of the salted password hash; CryptoAPI: H(salt + password)
    int m_keyBits = 128;
};

} // namespace xls::crypt
