#include "compoundfile.h"

#include "xls/bytes.h"
#include "xls/error.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace xls {

namespace {

constexpr char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};

// Reads the sectors of the file by number, with every access bounds-checked.
class SectorFile {
public:
    SectorFile(const QByteArray& bytes, uint32_t sectorSize, const QString& path)
        : m_bytes(bytes), m_size(sectorSize), m_path(path)
    {
        m_count = uint32_t((uint64_t(bytes.size()) + sectorSize - 1) / sectorSize);
        m_count = m_count > 0 ? m_count - 1 : 0; // the header occupies the first sector's place
    }
    uint32_t count() const { return m_count; }
    uint32_t sectorSize() const { return m_size; }
    // Pointer to sector n and how many of its bytes lie inside the file.
    const char* sector(uint32_t n, uint32_t* avail) const
    {
        if (n >= m_count)
            throw makeError(ErrorCode::Corrupt, m_path, QStringLiteral("(посилання на сектор поза файлом)"));
        const uint64_t off = (uint64_t(n) + 1) * m_size;
        *avail = uint32_t(std::min<uint64_t>(m_size, uint64_t(m_bytes.size()) - off));
        return m_bytes.constData() + off;
    }
    const QString& path() const { return m_path; }

private:
    const QByteArray& m_bytes;
    uint32_t m_size;
    uint32_t m_count = 0;
    QString m_path;
};

// Follows a chain through `fat`, collecting up to `want` bytes (all when want is unset).
// Cycles, out-of-range links and short chains are errors. With `share`, a chain whose units lie
// one after the other (as a freshly written file lays out every stream) is not copied: the result
// refers to the units' bytes, which must outlive it.
QByteArray readChain(const std::vector<uint32_t>& fat, uint32_t start, std::optional<uint64_t> want, uint32_t unitSize,
                     const std::function<const char*(uint32_t, uint32_t*)>& unit, uint32_t unitCount,
                     const QString& path, bool share = false)
{
    QByteArray out;
    if (want && *want == 0)
        return out;
    const char* run = nullptr; // the adjacent units read so far, while nothing was copied
    uint64_t got = 0;
    auto copyRun = [&] {
        if (!run)
            return;
        if (want)
            out.reserve(qsizetype(std::min<uint64_t>(*want, uint64_t(unitCount) * unitSize)));
        out.append(run, qsizetype(got));
        run = nullptr;
        share = false;
    };
    std::vector<bool> seen(unitCount, false);
    uint32_t cur = start;
    while (cur != CompoundFile::kEndOfChain) {
        if (cur >= unitCount || cur >= fat.size()) {
            if (want && got >= *want)
                break;
            // A sector the allocation table knows but the file lacks: the file was cut short.
            if (cur < fat.size())
                throw makeError(ErrorCode::Truncated, path);
            throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(ланцюжок секторів виходить за межі файлу)"));
        }
        if (seen[cur])
            throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(зациклений ланцюжок секторів)"));
        seen[cur] = true;
        uint32_t avail = 0;
        const char* p = unit(cur, &avail);
        uint64_t take = avail;
        if (want)
            take = std::min<uint64_t>(take, *want - got);
        if (avail < unitSize && want && got + avail < *want)
            throw makeError(ErrorCode::Truncated, path);
        if (share && (!run || p == run + got)) {
            run = run ? run : p;
        } else {
            copyRun();
            if (got == 0 && want)
                out.reserve(qsizetype(std::min<uint64_t>(*want, uint64_t(unitCount) * unitSize)));
            out.append(p, qsizetype(take));
        }
        got += take;
        if (want && got >= *want)
            break;
        cur = fat[cur];
    }
    if (want && got < *want)
        throw makeError(ErrorCode::Truncated, path);
    if (run)
        return QByteArray::fromRawData(run, qsizetype(got));
    return out;
}

constexpr int kHeaderFatSlots = 109; // FAT sector numbers the header holds; DIFAT sectors hold the rest

// The FAT sector numbers: those in the header, then those of the DIFAT chain.
std::vector<uint32_t> fatSectorList(const SectorFile& file, const char* h, const QString& path)
{
    const uint32_t numFat = u32(h + 0x2C);
    if (numFat > file.count())
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(неможлива кількість секторів таблиці)"));
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < kHeaderFatSlots && fatSectors.size() < numFat; ++i)
        fatSectors.push_back(u32(h + 0x4C + 4 * i));
    const uint32_t perSector = file.sectorSize() / 4;
    uint32_t difat = u32(h + 0x44);
    std::vector<bool> seenDifat(file.count(), false);
    while (fatSectors.size() < numFat && difat != CompoundFile::kEndOfChain && difat != CompoundFile::kFreeSect) {
        if (difat >= file.count() || seenDifat[difat])
            throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(пошкоджена таблиця DIFAT)"));
        seenDifat[difat] = true;
        uint32_t avail = 0;
        const char* p = file.sector(difat, &avail);
        if (avail < file.sectorSize())
            throw makeError(ErrorCode::Truncated, path);
        for (uint32_t i = 0; i < perSector - 1 && fatSectors.size() < numFat; ++i)
            fatSectors.push_back(u32(p + 4 * i));
        difat = u32(p + 4 * (perSector - 1));
    }
    return fatSectors;
}

std::vector<uint32_t> readFat(const SectorFile& file, const char* h, const QString& path)
{
    const std::vector<uint32_t> fatSectors = fatSectorList(file, h, path);
    const uint32_t perSector = file.sectorSize() / 4;
    std::vector<uint32_t> fat;
    fat.reserve(size_t(fatSectors.size()) * perSector);
    for (uint32_t s : fatSectors) {
        if (s == CompoundFile::kFreeSect || s == CompoundFile::kEndOfChain)
            break;
        uint32_t avail = 0;
        const char* p = file.sector(s, &avail);
        for (uint32_t i = 0; i < perSector; ++i)
            fat.push_back(4 * i + 4 <= avail ? u32(p + 4 * i) : CompoundFile::kFreeSect);
    }
    return fat;
}

CompoundFile::Entry readEntry(const char* p, int major)
{
    CompoundFile::Entry e;
    e.raw = QByteArray(p, 128);
    e.type = uint8_t(p[66]);
    if (e.type != CompoundFile::Storage && e.type != CompoundFile::Stream && e.type != CompoundFile::Root)
        e.type = CompoundFile::Unused;
    const int nameBytes = std::min<int>(u16(p + 64), 64);
    const int chars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
    for (int c = 0; c < chars; ++c)
        e.name.append(QChar(u16(p + 2 * c)));
    e.left = u32(p + 68);
    e.right = u32(p + 72);
    e.child = u32(p + 76);
    e.start = u32(p + 116);
    e.size = major == 3 ? u32(p + 120) : u64(p + 120);
    return e;
}

// The chains of whole sectors, followed through the FAT.
class SectorChains {
public:
    SectorChains(const SectorFile& file, std::vector<uint32_t> fat) : m_file(file), m_fat(std::move(fat)) {}
    // With `share`, a chain of adjacent sectors refers to the file's bytes instead of copying them.
    QByteArray read(uint32_t start, std::optional<uint64_t> want, bool share = false) const
    {
        auto unit = [this](uint32_t n, uint32_t* avail) { return m_file.sector(n, avail); };
        return readChain(m_fat, start, want, m_file.sectorSize(), unit, m_file.count(), m_file.path(), share);
    }

private:
    const SectorFile& m_file;
    std::vector<uint32_t> m_fat;
};

// The mini stream (the root entry's data) and its allocation table.
struct MiniStream {
    QByteArray data;
    std::vector<uint32_t> fat;
    bool ok = true; // false: the small streams cannot be read

    QByteArray read(uint32_t start, uint64_t want, const QString& path) const
    {
        auto unit = [this](uint32_t n, uint32_t* avail) {
            *avail = CompoundFile::kMiniSectorSize;
            return data.constData() + uint64_t(n) * CompoundFile::kMiniSectorSize;
        };
        const uint32_t count = uint32_t(data.size() / CompoundFile::kMiniSectorSize);
        return readChain(fat, start, want, CompoundFile::kMiniSectorSize, unit, count, path);
    }
};

// A failure here only makes the small streams unreadable.
MiniStream readMiniStream(const SectorChains& chains, CompoundFile::Entry& root, uint64_t fileSize, const char* h,
                          const QString& path)
{
    MiniStream mini;
    try {
        if (root.size > fileSize)
            throw makeError(ErrorCode::Corrupt, path);
        mini.data = chains.read(root.start, root.size);
        root.readable = true;
        const uint32_t firstMiniFat = u32(h + 0x3C);
        if (firstMiniFat != CompoundFile::kEndOfChain && firstMiniFat != CompoundFile::kFreeSect) {
            const QByteArray mf = chains.read(firstMiniFat, std::nullopt);
            mini.fat.resize(size_t(mf.size() / 4));
            for (size_t i = 0; i < mini.fat.size(); ++i)
                mini.fat[i] = u32(mf.constData() + 4 * i);
        }
    } catch (const Error&) {
        mini.ok = false;
    }
    return mini;
}

} // namespace

CompoundFile CompoundFile::parse(const QByteArray& bytes, const QString& path)
{
    if (bytes.size() < 512 || memcmp(bytes.constData(), kSignature, 8) != 0)
        throw makeError(bytes.size() >= 8 && memcmp(bytes.constData(), kSignature, 8) == 0 ? ErrorCode::Truncated
                                                                                           : ErrorCode::NotCompoundFile,
                        path);
    CompoundFile cf;
    cf.m_file = bytes; // the large streams laid out in one piece refer to it
    const char* h = bytes.constData();
    cf.m_header = bytes.left(512);
    cf.m_major = u16(h + 0x1A);
    const uint16_t shift = u16(h + 0x1E);
    if (!((cf.m_major == 3 && shift == 9) || (cf.m_major == 4 && shift == 12)))
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(невідома версія складеного файлу)"));
    cf.m_sectorSize = 1u << shift;
    const SectorFile file(bytes, cf.m_sectorSize, path);
    if (file.count() == 0)
        throw makeError(ErrorCode::Truncated, path);
    const SectorChains chains(file, readFat(file, h, path));

    const QByteArray dir = chains.read(u32(h + 0x30), std::nullopt);
    const int entryCount = int(dir.size() / 128);
    if (entryCount == 0)
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(немає каталогу)"));
    for (int i = 0; i < entryCount; ++i)
        cf.m_entries.push_back(readEntry(dir.constData() + 128 * i, cf.m_major));
    if (cf.m_entries[0].type != Root)
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(немає кореневого запису каталогу)"));
    const MiniStream mini = readMiniStream(chains, cf.m_entries[0], uint64_t(bytes.size()), h, path);

    for (Entry& e : cf.m_entries) {
        if (e.type != Stream)
            continue;
        try {
            if (e.size < kMiniCutoff) {
                if (!mini.ok && e.size > 0)
                    continue;
                e.data = mini.read(e.start, e.size, path);
            } else {
                if (e.size > uint64_t(bytes.size()))
                    throw makeError(ErrorCode::Truncated, path);
                e.data = chains.read(e.start, e.size, true);
            }
            e.readable = true;
        } catch (const Error& err) {
            e.readable = false;
            e.cutShort = err.code() == ErrorCode::Truncated;
        }
    }
    return cf;
}

std::optional<int> CompoundFile::findRootStream(const QString& name) const
{
    // In-order walk of the root's child tree, guarded against loops.
    std::vector<bool> seen(m_entries.size(), false);
    std::vector<uint32_t> stack;
    std::optional<int> caseless;
    if (m_entries.empty())
        return std::nullopt;
    stack.push_back(m_entries[0].child);
    while (!stack.empty()) {
        const uint32_t id = stack.back();
        stack.pop_back();
        if (id >= m_entries.size() || seen[id])
            continue;
        seen[id] = true;
        const Entry& e = m_entries[id];
        if (e.type == Stream) {
            if (e.name == name)
                return int(id);
            if (!caseless && e.name.compare(name, Qt::CaseInsensitive) == 0)
                caseless = int(id);
        }
        stack.push_back(e.left);
        stack.push_back(e.right);
    }
    return caseless;
}

} // namespace xls
