#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <vector>

namespace xls {

// A file as the runs of bytes it is made of, in order: bytes it keeps, bytes that live elsewhere
// (the streams of the workbook as read, which must outlive it) and zeros. A large file is written
// from it run by run, never assembled in memory.
class FileImage {
public:
    FileImage() = default;
    explicit FileImage(QByteArray bytes) { keep(std::move(bytes)); }

    void refer(const char* data, uint64_t size); // bytes owned elsewhere
    void keep(QByteArray bytes);
    void zeros(uint64_t size);
    // Appends the runs of `other`, which must outlive this image or be held by it.
    void append(const FileImage& other);
    // Keeps `owner` (of bytes that runs refer to) alive as long as this image.
    void hold(std::shared_ptr<const void> owner) { m_held.push_back(std::move(owner)); }

    uint64_t size() const { return m_size; }
    struct Run {
        uint64_t at; // offset in the file
        const char* data;
        uint64_t size;
    };
    const std::vector<Run>& runs() const { return m_runs; }
    // Copies the bytes [from, from + n) of the file, which must lie within it, to `dest`.
    void copy(uint64_t from, uint64_t n, char* dest) const;
    // The whole file in one array.
    QByteArray joined() const;

private:
    std::vector<Run> m_runs;
    std::vector<QByteArray> m_kept; // moving an array keeps its data where it is
    std::vector<std::shared_ptr<const void>> m_held;
    uint64_t m_size = 0;
};

} // namespace xls
