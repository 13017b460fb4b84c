#pragma once

#include "fileimage.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace xls {

// An OLE2 compound file held in memory: the directory and the bytes of every stream.
// It is read leniently and written back with a freshly laid-out allocation table,
// while every directory entry (names, tree links, colours, class ids, times) stays as it was.
class CompoundFile {
public:
    static constexpr uint32_t kFreeSect = 0xFFFFFFFF;
    static constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
    static constexpr uint32_t kFatSect = 0xFFFFFFFD;
    static constexpr uint32_t kDifSect = 0xFFFFFFFC;
    static constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
    static constexpr uint32_t kNoStream = 0xFFFFFFFF;
    static constexpr uint32_t kMiniSectorSize = 64;
    static constexpr uint32_t kMiniCutoff = 4096; // smaller streams live in the mini stream

    enum EntryType : uint8_t { Unused = 0, Storage = 1, Stream = 2, Root = 5 };

    struct Entry {
        QByteArray raw; // the 128 bytes as read
        QString name;
        uint8_t type = Unused;
        uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
        uint32_t start = kEndOfChain;
        uint64_t size = 0;
        QByteArray data;       // stream contents (streams only)
        bool readable = false; // the stream's chain could be followed to its full size
        bool cutShort = false; // not readable because the file ends before the stream does
    };

    // Parses the container. Throws xls::Error naming `path` when the bytes are not a sound compound file.
    // The compound file keeps `bytes`; the data of a large stream stored in adjacent sectors refers to
    // them rather than being copied, so a copy of that data must not outlive every CompoundFile
    // parsed from them.
    static CompoundFile parse(const QByteArray& bytes, const QString& path);

    // Index of the root storage's child stream called `name` (case-insensitive), if any.
    std::optional<int> findRootStream(const QString& name) const;

    const std::vector<Entry>& entries() const { return m_entries; }
    const QByteArray& streamData(int index) const { return m_entries[size_t(index)].data; }

    // Lays the container out anew. Throws xls::Error (Unsupported) if a stream could not be read in full.
    QByteArray serialize(const QString& path) const;
    // The same as the runs of the new file, with the stream of entry `index` replaced by `size`
    // bytes that `add` appends to the image given to it: each large stream goes over from where it
    // lies, never copied into a buffer of the whole file. The image refers to this compound file's
    // streams, so it must not outlive it.
    FileImage layOut(const QString& path, int index, uint64_t size, const std::function<void(FileImage&)>& add) const;

    int majorVersion() const { return m_major; }

private:
    QByteArray m_file;   // the file as parsed: a stream stored in adjacent sectors refers to its bytes
    QByteArray m_header; // the first 512 bytes
    int m_major = 3;
    uint32_t m_sectorSize = 512;
    std::vector<Entry> m_entries;
};

} // namespace xls
