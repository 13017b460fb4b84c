#include "compoundfile.h"
#include "xls/bytes.h"
#include "xls/error.h"

#include <cstring>
#include <functional>

// Writing a compound file: the streams are laid out anew, small ones in the mini stream and the
// others each in one contiguous run of sectors, after the allocation tables and the directory.
namespace xls {

namespace {

using Entry = CompoundFile::Entry;
constexpr uint32_t kMiniSectorSize = CompoundFile::kMiniSectorSize;
constexpr uint32_t kMiniCutoff = CompoundFile::kMiniCutoff;
constexpr uint32_t kEndOfChain = CompoundFile::kEndOfChain;
constexpr uint32_t kFreeSect = CompoundFile::kFreeSect;
constexpr int kHeaderFatSlots = 109; // FAT sector numbers the header holds; DIFAT sectors hold the rest

// The streams to write: the entries' data, but for one stream that is given by its size and
// written in place by `write`.
struct Streams {
    const std::vector<Entry>& entries;
    int replaced = -1;
    uint64_t replacedSize = 0;
    const std::function<void(FileImage&)>* add = nullptr;

    uint64_t size(size_t i) const { return int(i) == replaced ? replacedSize : uint64_t(entries[i].data.size()); }
    bool big(size_t i) const { return entries[i].type == CompoundFile::Stream && size(i) >= kMiniCutoff; }
    bool mini(size_t i) const { return entries[i].type == CompoundFile::Stream && size(i) && size(i) < kMiniCutoff; }
    // Appends stream i to the image.
    void append(size_t i, FileImage& image, const QString& path) const
    {
        if (int(i) != replaced) {
            image.refer(entries[i].data.constData(), uint64_t(entries[i].data.size()));
            return;
        }
        const uint64_t before = image.size();
        (*add)(image);
        if (image.size() - before != replacedSize)
            throw makeError(ErrorCode::Unsupported, path, QStringLiteral("(потік книги не тієї довжини)"));
    }
    // Copies a small stream to `dest`.
    void copy(size_t i, char* dest, const QString& path) const
    {
        FileImage one;
        append(i, one, path);
        one.copy(0, one.size(), dest);
    }
};

// Where everything goes: sector counts, the allocation table and the first sector of each part.
struct Layout {
    uint32_t ss = 512;
    uint32_t perSector = 128; // 4-byte entries in a sector
    uint32_t entriesPerSector = 4;
    std::vector<uint32_t> miniStart, bigStart; // per entry: first mini sector or sector
    uint32_t miniSectors = 0;
    uint64_t bigSectors = 0;
    uint32_t nDir = 0, nMiniFat = 0, nMiniStream = 0;
    uint64_t nFat = 1, nDifat = 0, total = 0;
    std::vector<uint32_t> fat, fatIds, difatIds;
    uint32_t dirStart = kEndOfChain, miniFatStart = kEndOfChain, miniStreamStart = kEndOfChain;

    uint64_t miniStreamSize() const { return uint64_t(miniSectors) * kMiniSectorSize; }
};

// How many sectors each part takes; the FAT and DIFAT sizes depend on the total, which includes
// them, so they are found by iteration.
Layout plan(const Streams& streams, uint32_t ss, const QString& path)
{
    const std::vector<Entry>& entries = streams.entries;
    Layout l;
    l.ss = ss;
    l.perSector = ss / 4;
    l.entriesPerSector = ss / 128;
    l.miniStart.assign(entries.size(), kEndOfChain);
    l.bigStart.assign(entries.size(), kEndOfChain);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (streams.mini(i)) {
            l.miniStart[i] = l.miniSectors;
            l.miniSectors += uint32_t((streams.size(i) + kMiniSectorSize - 1) / kMiniSectorSize);
        } else if (streams.big(i)) {
            l.bigSectors += (streams.size(i) + ss - 1) / ss;
        }
    }
    l.nDir = uint32_t((entries.size() + l.entriesPerSector - 1) / l.entriesPerSector);
    l.nMiniFat = (l.miniSectors + l.perSector - 1) / l.perSector;
    l.nMiniStream = uint32_t((l.miniStreamSize() + ss - 1) / ss);
    const uint64_t nOther = l.nDir + l.nMiniFat + l.nMiniStream + l.bigSectors;
    for (;;) {
        const uint64_t total = nOther + l.nFat + l.nDifat;
        const uint64_t fat = (total + l.perSector - 1) / l.perSector;
        const uint64_t difat =
            fat > kHeaderFatSlots ? (fat - kHeaderFatSlots + l.perSector - 2) / (l.perSector - 1) : 0;
        if (fat == l.nFat && difat == l.nDifat)
            break;
        l.nFat = fat;
        l.nDifat = difat;
    }
    l.total = nOther + l.nFat + l.nDifat;
    if (l.total >= CompoundFile::kMaxRegSect)
        throw makeError(ErrorCode::Unsupported, path, QStringLiteral("Книга завелика."));
    return l;
}

// Fills the allocation table: FAT and DIFAT sectors first, then one chain per part.
void allocate(Layout& l, const Streams& streams)
{
    l.fat.assign(size_t(l.nFat * l.perSector), kFreeSect);
    uint32_t next = 0;
    auto chain = [&l, &next](uint64_t count) {
        const uint32_t first = count ? next : kEndOfChain;
        for (uint64_t k = 0; k < count; ++k, ++next)
            l.fat[next] = (k + 1 == count) ? kEndOfChain : next + 1;
        return first;
    };
    for (uint64_t k = 0; k < l.nFat; ++k) {
        l.fatIds.push_back(next);
        l.fat[next++] = CompoundFile::kFatSect;
    }
    for (uint64_t k = 0; k < l.nDifat; ++k) {
        l.difatIds.push_back(next);
        l.fat[next++] = CompoundFile::kDifSect;
    }
    l.dirStart = chain(l.nDir);
    l.miniFatStart = chain(l.nMiniFat);
    l.miniStreamStart = chain(l.nMiniStream);
    for (size_t i = 0; i < streams.entries.size(); ++i)
        if (streams.big(i))
            l.bigStart[i] = chain((streams.size(i) + l.ss - 1) / l.ss);
}

// Writes the header and every sector before the large streams into one array.
class Writer {
public:
    Writer(QByteArray& out, const Layout& l) : m_o(out.data()), m_l(l) {}
    char* sector(uint32_t n) const { return m_o + (uint64_t(n) + 1) * m_l.ss; }
    // Entry k of a table of u32 that starts at sector `first` and runs on in the next sectors.
    void putEntry(uint32_t first, size_t k, uint32_t v) const
    {
        put32(sector(first + uint32_t(k / m_l.perSector)) + 4 * (k % m_l.perSector), v);
    }

    void header(const QByteArray& original, int major) const;
    void allocationTables() const;
    void directory(const Streams& streams) const;
    void miniStream(const Streams& streams, const QString& path) const;

private:
    char* m_o;
    const Layout& m_l;
};

void Writer::header(const QByteArray& original, int major) const
{
    const Layout& l = m_l;
    memcpy(m_o, original.constData(), 512);
    put32(m_o + 0x28, major == 4 ? l.nDir : 0);
    put32(m_o + 0x2C, uint32_t(l.nFat));
    put32(m_o + 0x30, l.dirStart);
    put32(m_o + 0x38, kMiniCutoff);
    put32(m_o + 0x3C, l.nMiniFat ? l.miniFatStart : kEndOfChain);
    put32(m_o + 0x40, l.nMiniFat);
    put32(m_o + 0x44, l.nDifat ? l.difatIds[0] : kEndOfChain);
    put32(m_o + 0x48, uint32_t(l.nDifat));
    for (int i = 0; i < kHeaderFatSlots; ++i)
        put32(m_o + 0x4C + 4 * i, size_t(i) < l.fatIds.size() ? l.fatIds[size_t(i)] : kFreeSect);
}

// The DIFAT sectors, which hold the FAT sector numbers beyond the header's, and the FAT itself.
void Writer::allocationTables() const
{
    const Layout& l = m_l;
    size_t fatIdx = kHeaderFatSlots;
    for (size_t d = 0; d < l.difatIds.size(); ++d) {
        char* p = sector(l.difatIds[d]);
        for (uint32_t k = 0; k < l.perSector - 1; ++k, ++fatIdx)
            put32(p + 4 * k, fatIdx < l.fatIds.size() ? l.fatIds[fatIdx] : kFreeSect);
        put32(p + 4 * (l.perSector - 1), d + 1 < l.difatIds.size() ? l.difatIds[d + 1] : kEndOfChain);
    }
    for (size_t k = 0; k < l.fat.size(); ++k)
        put32(sector(l.fatIds[k / l.perSector]) + 4 * (k % l.perSector), l.fat[k]);
}

// The directory: entries verbatim but for their start and size.
void Writer::directory(const Streams& streams) const
{
    const Layout& l = m_l;
    const std::vector<Entry>& entries = streams.entries;
    auto slot = [&](size_t i) {
        return sector(l.dirStart + uint32_t(i / l.entriesPerSector)) + 128 * (i % l.entriesPerSector);
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        char* p = slot(i);
        memcpy(p, e.raw.constData(), 128);
        if (e.type == CompoundFile::Root) {
            put32(p + 116, l.miniSectors ? l.miniStreamStart : kEndOfChain);
            put64(p + 120, l.miniStreamSize());
        } else if (e.type == CompoundFile::Stream) {
            put32(p + 116, !streams.size(i) ? kEndOfChain : (streams.big(i) ? l.bigStart[i] : l.miniStart[i]));
            put64(p + 120, streams.size(i));
        }
    }
    // Unused slots in the last sector are empty entries with no siblings or child.
    for (size_t i = entries.size(); i < size_t(l.nDir) * l.entriesPerSector; ++i) {
        char* p = slot(i);
        put32(p + 68, CompoundFile::kNoStream);
        put32(p + 72, CompoundFile::kNoStream);
        put32(p + 76, CompoundFile::kNoStream);
    }
}

// The mini FAT and the mini stream with the small streams.
void Writer::miniStream(const Streams& streams, const QString& path) const
{
    const Layout& l = m_l;
    if (!l.miniSectors)
        return;
    std::vector<uint32_t> miniFat(size_t(l.nMiniFat) * l.perSector, kFreeSect);
    char* mini = sector(l.miniStreamStart);
    for (size_t i = 0; i < streams.entries.size(); ++i) {
        if (!streams.mini(i))
            continue;
        const uint32_t n = uint32_t((streams.size(i) + kMiniSectorSize - 1) / kMiniSectorSize);
        for (uint32_t k = 0; k < n; ++k)
            miniFat[l.miniStart[i] + k] = k + 1 == n ? kEndOfChain : l.miniStart[i] + k + 1;
        streams.copy(i, mini + uint64_t(l.miniStart[i]) * kMiniSectorSize, path);
    }
    for (size_t k = 0; k < miniFat.size(); ++k)
        putEntry(l.miniFatStart, k, miniFat[k]);
}

} // namespace

QByteArray CompoundFile::serialize(const QString& path) const
{
    return layOut(path, -1, 0, {}).joined();
}

FileImage CompoundFile::layOut(const QString& path, int index, uint64_t size,
                               const std::function<void(FileImage&)>& add) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].type == Stream && !m_entries[i].readable && int(i) != index)
            throw makeError(
                ErrorCode::Unsupported, path,
                QStringLiteral("Один із потоків складеного файлу пошкоджений («%1»).").arg(m_entries[i].name));
    const Streams streams{m_entries, index, size, &add};
    Layout l = plan(streams, m_sectorSize, path);
    allocate(l, streams);
    // The header and the sectors before the large streams: the allocation tables, the directory,
    // the mini stream.
    const uint64_t small = l.nFat + l.nDifat + l.nDir + l.nMiniFat + l.nMiniStream;
    QByteArray head(qsizetype((small + 1) * l.ss), '\0');
    const Writer w(head, l);
    w.header(m_header, m_major);
    w.allocationTables();
    w.directory(streams);
    w.miniStream(streams, path);
    FileImage image(std::move(head));
    // Then each large stream in its run of sectors, in the order they were allocated.
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (!streams.big(i))
            continue;
        streams.append(i, image, path);
        image.zeros((l.ss - streams.size(i) % l.ss) % l.ss);
    }
    if (image.size() != (l.total + 1) * l.ss)
        throw makeError(ErrorCode::Unsupported, path, QStringLiteral("(розкладка файлу)"));
    return image;
}

} // namespace xls
