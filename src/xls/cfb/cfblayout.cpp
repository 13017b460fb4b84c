#include "compoundfile.h"
#include "xls/bytes.h"
#include "xls/error.h"

#include <cstring>

namespace xls {

QByteArray CompoundFile::serialize(const QString& path) const
{
    const uint32_t ss = m_sectorSize;
    const uint32_t perSector = ss / 4;
    for (const Entry& e : m_entries)
        if (e.type == Stream && !e.readable)
            throw makeError(ErrorCode::Unsupported, path,
                            QStringLiteral("Один із потоків складеного файлу пошкоджений («%1»).").arg(e.name));

    // Plan: small streams into the mini stream, the others into whole sectors.
    std::vector<uint32_t> miniStart(m_entries.size(), kEndOfChain), bigStart(m_entries.size(), kEndOfChain);
    uint32_t miniSectors = 0;
    uint64_t bigSectors = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (e.type != Stream || e.data.isEmpty())
            continue;
        if (uint64_t(e.data.size()) < kMiniCutoff) {
            miniStart[i] = miniSectors;
            miniSectors += uint32_t((e.data.size() + kMiniSectorSize - 1) / kMiniSectorSize);
        } else {
            bigSectors += (uint64_t(e.data.size()) + ss - 1) / ss;
        }
    }
    const uint64_t miniStreamSize = uint64_t(miniSectors) * kMiniSectorSize;
    const uint32_t entriesPerSector = ss / 128;
    const uint32_t nDir = uint32_t((m_entries.size() + entriesPerSector - 1) / entriesPerSector);
    const uint32_t nMiniFat = (miniSectors + perSector - 1) / perSector;
    const uint32_t nMiniStream = uint32_t((miniStreamSize + ss - 1) / ss);
    const uint64_t nOther = nDir + nMiniFat + nMiniStream + bigSectors;
    uint64_t nFat = 1, nDifat = 0;
    for (;;) {
        const uint64_t total = nOther + nFat + nDifat;
        const uint64_t fat = (total + perSector - 1) / perSector;
        const uint64_t difat = fat > 109 ? (fat - 109 + perSector - 2) / (perSector - 1) : 0;
        if (fat == nFat && difat == nDifat)
            break;
        nFat = fat;
        nDifat = difat;
    }
    const uint64_t total = nOther + nFat + nDifat;
    if (total >= kMaxRegSect)
        throw makeError(ErrorCode::Unsupported, path, QStringLiteral("Книга завелика."));

    std::vector<uint32_t> fat(size_t(nFat * perSector), kFreeSect);
    uint32_t next = 0;
    auto chain = [&fat, &next](uint64_t count) {
        const uint32_t first = count ? next : kEndOfChain;
        for (uint64_t k = 0; k < count; ++k, ++next)
            fat[next] = (k + 1 == count) ? kEndOfChain : next + 1;
        return first;
    };
    std::vector<uint32_t> fatIds, difatIds;
    for (uint64_t k = 0; k < nFat; ++k) {
        fatIds.push_back(next);
        fat[next++] = kFatSect;
    }
    for (uint64_t k = 0; k < nDifat; ++k) {
        difatIds.push_back(next);
        fat[next++] = kDifSect;
    }
    const uint32_t dirStart = chain(nDir);
    const uint32_t miniFatStart = chain(nMiniFat);
    const uint32_t miniStreamStart = chain(nMiniStream);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (e.type == Stream && uint64_t(e.data.size()) >= kMiniCutoff)
            bigStart[i] = chain((uint64_t(e.data.size()) + ss - 1) / ss);
    }

    QByteArray out(qsizetype((total + 1) * ss), '\0');
    char* o = out.data();
    auto sectorPtr = [o, ss](uint32_t n) { return o + (uint64_t(n) + 1) * ss; };

    // Header.
    memcpy(o, m_header.constData(), 512);
    put32(o + 0x28, m_major == 4 ? nDir : 0);
    put32(o + 0x2C, uint32_t(nFat));
    put32(o + 0x30, dirStart);
    put32(o + 0x38, kMiniCutoff);
    put32(o + 0x3C, nMiniFat ? miniFatStart : kEndOfChain);
    put32(o + 0x40, nMiniFat);
    put32(o + 0x44, nDifat ? difatIds[0] : kEndOfChain);
    put32(o + 0x48, uint32_t(nDifat));
    for (int i = 0; i < 109; ++i)
        put32(o + 0x4C + 4 * i, size_t(i) < fatIds.size() ? fatIds[size_t(i)] : kFreeSect);
    // DIFAT sectors hold the FAT sector numbers beyond the first 109.
    size_t fatIdx = 109;
    for (size_t d = 0; d < difatIds.size(); ++d) {
        char* p = sectorPtr(difatIds[d]);
        for (uint32_t k = 0; k < perSector - 1; ++k, ++fatIdx)
            put32(p + 4 * k, fatIdx < fatIds.size() ? fatIds[fatIdx] : kFreeSect);
        put32(p + 4 * (perSector - 1), d + 1 < difatIds.size() ? difatIds[d + 1] : kEndOfChain);
    }
    for (size_t k = 0; k < fat.size(); ++k)
        put32(sectorPtr(fatIds[k / perSector]) + 4 * (k % perSector), fat[k]);

    // Directory: entries verbatim but for their start and size.
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        char* p = sectorPtr(dirStart + uint32_t(i / entriesPerSector)) + 128 * (i % entriesPerSector);
        memcpy(p, e.raw.constData(), 128);
        if (e.type == Root) {
            put32(p + 116, miniSectors ? miniStreamStart : kEndOfChain);
            put64(p + 120, miniStreamSize);
        } else if (e.type == Stream) {
            const bool mini = uint64_t(e.data.size()) < kMiniCutoff;
            put32(p + 116, e.data.isEmpty() ? kEndOfChain : (mini ? miniStart[i] : bigStart[i]));
            put64(p + 120, uint64_t(e.data.size()));
        }
    }
    // Unused directory slots in the last sector are empty entries with no siblings or child.
    for (size_t i = m_entries.size(); i < size_t(nDir) * entriesPerSector; ++i) {
        char* p = sectorPtr(dirStart + uint32_t(i / entriesPerSector)) + 128 * (i % entriesPerSector);
        put32(p + 68, kNoStream);
        put32(p + 72, kNoStream);
        put32(p + 76, kNoStream);
    }

    // Mini FAT and mini stream.
    if (miniSectors) {
        std::vector<uint32_t> miniFat(size_t(nMiniFat) * perSector, kFreeSect);
        QByteArray mini(qsizetype(miniStreamSize), '\0');
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const Entry& e = m_entries[i];
            if (e.type != Stream || e.data.isEmpty() || uint64_t(e.data.size()) >= kMiniCutoff)
                continue;
            const uint32_t n = uint32_t((e.data.size() + kMiniSectorSize - 1) / kMiniSectorSize);
            for (uint32_t k = 0; k < n; ++k)
                miniFat[miniStart[i] + k] = k + 1 == n ? kEndOfChain : miniStart[i] + k + 1;
            memcpy(mini.data() + uint64_t(miniStart[i]) * kMiniSectorSize, e.data.constData(), size_t(e.data.size()));
        }
        for (size_t k = 0; k < miniFat.size(); ++k)
            put32(sectorPtr(miniFatStart + uint32_t(k / perSector)) + 4 * (k % perSector), miniFat[k]);
        memcpy(sectorPtr(miniStreamStart), mini.constData(), size_t(mini.size()));
    }
    // Large streams, each in one contiguous run of sectors.
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (e.type == Stream && uint64_t(e.data.size()) >= kMiniCutoff)
            memcpy(sectorPtr(bigStart[i]), e.data.constData(), size_t(e.data.size()));
    }
    return out;
}

} // namespace xls
