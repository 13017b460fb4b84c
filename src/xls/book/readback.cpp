#include "readback.h"

#include "xls/error.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace xls::book {

namespace {

Error failure(const Book& book, const QString& why)
{
    return makeError(ErrorCode::Unsupported, book.path, QStringLiteral("Перевірка нового файлу: %1").arg(why));
}

bool isNumber(CellType t)
{
    return t == CellType::Number || t == CellType::DateTime;
}

bool readsAs(const Book& back, const CellRec* c, const Edit& e)
{
    const CellType type = c ? c->type : CellType::Empty;
    if (e.error >= 0)
        return type == CellType::Error && c->code == e.error;
    if (e.text)
        return type == CellType::Text && back.sst.text(c->ref) == e.s;
    return isNumber(type) && back.number(*c) == e.num;
}

bool sameCell(const Book& book, const CellRec& a, const Book& back, const CellRec* b)
{
    if (!b || b->col != a.col || b->type != a.type)
        return false;
    if (a.type == CellType::Text)
        return book.sst.text(a.ref) == back.sst.text(b->ref);
    if (isNumber(a.type)) {
        // The same bits, however each file stores them.
        const double x = book.number(a), y = back.number(*b);
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    return b->code == a.code;
}

// The edited sheet `sh` as read back into `nb`.
void compareSheet(const Book& book, const Sheet& sh, const Book& back, const Sheet& nb)
{
    for (const auto& [key, e] : sh.edits)
        if (!readsAs(back, nb.find(size_t(editRow(key)), editCol(key)), e))
            throw failure(book, QStringLiteral("клітинка рядка %1").arg(editRow(key) + 1));
    // Cells that were not edited keep their values.
    for (size_t r = 0; r < sh.rowCount(); ++r) {
        const auto [first, last] = sh.row(r);
        if (first == last)
            continue;
        if (r >= nb.rowCount())
            throw failure(book, QStringLiteral("рядок %1").arg(r + 1));
        for (const CellRec* c = first; c != last; ++c)
            if (!sh.edits.count(editKey(int(r), c->col)) && !sameCell(book, *c, back, nb.find(r, c->col)))
                throw failure(book, QStringLiteral("клітинка рядка %1 аркуша «%2»").arg(r + 1).arg(sh.name));
    }
}

using Part = std::pair<uint64_t, uint64_t>; // [from, to) in the workbook stream

// The parts of the new stream read back: the globals, every sheet's BOF and the edited sheets; all
// of an encrypted stream, which is decrypted record by record from its start.
std::vector<Part> partsToRead(const Book& book, const NewStream& built)
{
    std::vector<Part> parts{{0, book.cipher ? built.size() : built.globalsEnd}};
    for (size_t k = 0; k < book.sheets.size() && !book.cipher; ++k) {
        const auto [bof, end] = built.sheets[k];
        parts.push_back({bof, book.sheets[k].changed() ? end : std::min<uint64_t>(uint64_t(bof) + 4, end)});
    }
    return parts;
}

// A zero-filled array of the new file's size, of which only what is copied in is ever touched: the
// header, the tables and the directory before the large streams, and the parts of the workbook
// stream, at the place the container as read back gives it.
class SparseFile {
public:
    explicit SparseFile(const FileImage& file)
        : m_file(file), m_memory(static_cast<char*>(std::calloc(size_t(file.size()) + 1, 1)))
    {
        if (!m_memory)
            throw std::bad_alloc();
        file.copy(0, file.runs().empty() ? 0 : file.runs().front().size, m_memory.get());
        m_bytes = QByteArray::fromRawData(m_memory.get(), qsizetype(file.size()));
    }
    const QByteArray& bytes() const { return m_bytes; }

    // Copies the parts of a stream whose data `stream` refers to these bytes; a small stream, read
    // from the mini stream, lies within the head already copied.
    void fill(const QByteArray& stream, const std::vector<Part>& parts)
    {
        const char* begin = m_bytes.constData();
        if (stream.constData() < begin || stream.constData() >= begin + m_bytes.size())
            return;
        const uint64_t at = uint64_t(stream.constData() - begin);
        for (const auto& [from, to] : parts)
            m_file.copy(at + from, to - from, m_memory.get() + at + from);
    }

private:
    struct Freed {
        void operator()(char* p) const { std::free(p); }
    };
    const FileImage& m_file;
    std::unique_ptr<char, Freed> m_memory;
    QByteArray m_bytes;
};

// The parts of the stream as read back are the stream as built.
void compareParts(const Book& book, const NewStream& built, const QByteArray& back, const std::vector<Part>& parts)
{
    QByteArray expected;
    for (const auto& [from, to] : parts) {
        expected.resize(qsizetype(to - from));
        built.pieces().copy(from, to - from, expected.data());
        if (uint64_t(back.size()) < to || std::memcmp(expected.constData(), back.constData() + from, size_t(to - from)))
            throw failure(book, QStringLiteral("потік книги"));
    }
}

} // namespace

void checkReadBack(const Book& book, const FileImage& file, const NewStream& built)
{
    if (built.sheets.size() != book.sheets.size())
        throw failure(book, QStringLiteral("кількість аркушів"));
    const std::vector<Part> parts = partsToRead(book, built);
    SparseFile sparse(file);
    CompoundFile cf;
    try {
        cf = CompoundFile::parse(sparse.bytes(), book.path);
    } catch (const Error& e) {
        throw failure(book, e.message());
    }
    if (book.entry < 0 || size_t(book.entry) >= cf.entries().size() ||
        uint64_t(cf.streamData(book.entry).size()) != built.size())
        throw failure(book, QStringLiteral("потік книги"));
    sparse.fill(cf.streamData(book.entry), parts);
    // Only the sheets written anew are read again: the others were copied byte for byte.
    std::vector<bool> edited;
    for (const Sheet& sh : book.sheets)
        edited.push_back(sh.changed());
    Book back;
    try {
        back = readBook(cf, book.path, edited);
    } catch (const Error& e) {
        throw failure(book, e.message());
    }
    compareParts(book, built, back.stream, parts);
    if (back.sheets.size() != book.sheets.size())
        throw failure(book, QStringLiteral("кількість аркушів"));
    for (size_t si = 0; si < book.sheets.size(); ++si) {
        const Sheet& sh = book.sheets[si];
        if (back.sheets[si].name != sh.name)
            throw failure(book, QStringLiteral("назва аркуша"));
        if (sh.changed())
            compareSheet(book, sh, back, back.sheets[si]);
    }
}

} // namespace xls::book
