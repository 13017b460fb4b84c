#include "workbookcipher.h"

#include "xls/biff/records.h"
#include "xls/crypt/rc4.h"
#include "xls/error.h"

namespace xls::crypt {

namespace {

constexpr uint32_t kBlockSize = 1024;

// Records that are never encrypted.
bool isPlainRecord(uint16_t type)
{
    switch (type) {
    case biff::BOF:
    case biff::FILEPASS:
    case 0x00E1: // INTERFACEHDR
    case 0x0138: // RRDHEAD
    case 0x0194: // USREXCL
    case 0x0195: // FILELOCK
    case 0x0196: // RRDINFO
        return true;
    default:
        return false;
    }
}

// The RC4 key stream laid over the stream positions: block k of 1024 bytes starts afresh with
// the key of block k.
class PositionedKeyStream {
public:
    explicit PositionedKeyStream(const FilePassKey& key) : m_key(key) {}

    // XORs the key stream of positions [pos, pos + n) onto `data`.
    void apply(char* data, uint32_t pos, uint32_t n)
    {
        while (n > 0) {
            seek(pos);
            const uint32_t take = std::min(n, (m_block + 1) * kBlockSize - pos);
            m_rc4->apply(data, take);
            data += take;
            pos += take;
            n -= take;
            m_at = pos;
        }
    }

private:
    void seek(uint32_t pos)
    {
        const uint32_t block = pos / kBlockSize;
        if (!m_rc4 || block != m_block || pos < m_at) {
            const QByteArray k = m_key.blockKey(block);
            m_rc4.emplace(reinterpret_cast<const uint8_t*>(k.constData()), size_t(k.size()));
            m_block = block;
            m_at = block * kBlockSize;
        }
        m_rc4->skip(pos - m_at);
        m_at = pos;
    }

    const FilePassKey& m_key;
    std::optional<Rc4> m_rc4;
    uint32_t m_block = 0;
    uint32_t m_at = 0;
};

// Decrypts or encrypts (the same operation) every record body from `from` on. A record that runs
// past the end of the stream is treated up to the end.
void applyKeyStream(QByteArray& stream, uint32_t from, const FilePassKey& key)
{
    PositionedKeyStream keys(key);
    char* base = stream.data();
    const uint64_t size = uint64_t(stream.size());
    uint64_t pos = from;
    while (pos + 4 <= size) {
        const uint16_t type = u16(base + pos), len = u16(base + pos + 2);
        const uint64_t body = pos + 4;
        const uint64_t end = std::min<uint64_t>(body + len, size);
        const uint64_t plain = isPlainRecord(type) ? len : type == biff::BOUNDSHEET ? std::min<uint16_t>(len, 4) : 0;
        if (body + plain < end)
            keys.apply(base + body + plain, uint32_t(body + plain), uint32_t(end - body - plain));
        pos = body + len;
    }
}

// The FILEPASS record of the globals substream, if there is one.
std::optional<biff::Record> findFilePass(const QByteArray& stream)
{
    biff::RecordIterator it(stream, 0, uint32_t(std::min<qsizetype>(stream.size(), UINT32_MAX)));
    biff::Record r;
    while (it.next(&r) && r.type != biff::EOF_)
        if (r.type == biff::FILEPASS)
            return r;
    return std::nullopt;
}

} // namespace

std::optional<FilePassKey> decryptWorkbookStream(QByteArray& stream, const QString& path)
{
    // Only a BIFF8 stream is decrypted: older versions are refused by their BOF.
    if (stream.size() < 6 || u16(stream.constData()) != biff::BOF || u16(stream.constData() + 4) != biff::kBiff8)
        return std::nullopt;
    const std::optional<biff::Record> filePass = findFilePass(stream);
    if (!filePass)
        return std::nullopt;
    FilePassKey key;
    switch (FilePassKey::open(filePass->data, filePass->len, defaultPassword(), &key)) {
    case FilePassKey::Result::Opened:
        break;
    case FilePassKey::Result::WrongPassword:
    case FilePassKey::Result::Obfuscated:
        throw makeError(ErrorCode::Encrypted, path);
    case FilePassKey::Result::Unsupported:
        throw makeError(ErrorCode::Encrypted, path, QStringLiteral("(невідомий спосіб шифрування)"));
    case FilePassKey::Result::Malformed:
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("запис про шифрування книги пошкоджений"));
    }
    applyKeyStream(stream, filePass->end(), key);
    return key;
}

void encryptWorkbookStream(QByteArray& stream, const FilePassKey& key, const QString& path)
{
    const std::optional<biff::Record> filePass = findFilePass(stream);
    if (!filePass)
        throw makeError(ErrorCode::Unsupported, path, QStringLiteral("(немає запису про шифрування книги)"));
    applyKeyStream(stream, filePass->end(), key);
}

} // namespace xls::crypt
