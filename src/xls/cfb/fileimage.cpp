#include "fileimage.h"

#include <algorithm>
#include <cstring>

namespace xls {

namespace {
// Enough for any sector's padding (sectors are 512 or 4096 bytes).
constexpr uint64_t kZeroBlock = 4096;
const char g_zeros[kZeroBlock] = {};
} // namespace

void FileImage::refer(const char* data, uint64_t size)
{
    if (!size)
        return;
    m_runs.push_back({m_size, data, size});
    m_size += size;
}

void FileImage::keep(QByteArray bytes)
{
    if (bytes.isEmpty())
        return;
    m_kept.push_back(std::move(bytes));
    refer(m_kept.back().constData(), uint64_t(m_kept.back().size()));
}

void FileImage::zeros(uint64_t size)
{
    while (size) {
        const uint64_t n = std::min(size, kZeroBlock);
        refer(g_zeros, n);
        size -= n;
    }
}

void FileImage::append(const FileImage& other)
{
    for (const Run& r : other.m_runs)
        refer(r.data, r.size);
}

void FileImage::copy(uint64_t from, uint64_t n, char* dest) const
{
    // The first run that ends after `from`.
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), from,
                               [](uint64_t at, const Run& r) { return at < r.at + r.size; });
    for (; n && it != m_runs.end(); ++it) {
        const uint64_t skip = from - it->at, take = std::min(n, it->size - skip);
        memcpy(dest, it->data + skip, size_t(take));
        dest += take;
        from += take;
        n -= take;
    }
}

QByteArray FileImage::joined() const
{
    QByteArray out(qsizetype(m_size), Qt::Uninitialized);
    for (const Run& r : m_runs)
        memcpy(out.data() + r.at, r.data, size_t(r.size));
    return out;
}

} // namespace xls
