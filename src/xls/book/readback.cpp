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

} // namespace

void checkReadBack(const Book& book, const FileImage& file, const NewStream& built)
{
    // Only the sheets written anew are read again: the others were copied byte for byte.
    std::vector<bool> edited;
    for (const Sheet& sh : book.sheets)
        edited.push_back(sh.changed());
    if (built.sheets.size() != book.sheets.size())
        throw failure(book, QStringLiteral("кількість аркушів"));
    // The parts of the stream read back, [from, to): all of an encrypted one, which is decrypted
    // record by record from its start.
    std::vector<std::pair<uint64_t, uint64_t>> parts{{0, book.cipher ? built.size() : built.globalsEnd}};
    for (size_t k = 0; k < book.sheets.size() && !book.cipher; ++k) {
        const auto [bof, end] = built.sheets[k];
        parts.push_back({bof, edited[k] ? end : std::min<uint64_t>(uint64_t(bof) + 4, end)});
    }

    // A zero-filled array of the file's size, of which only what is copied in is ever touched: the
    // header, the tables and the directory before the large streams, and the parts above where the
    // workbook stream lies.
    struct Freed {
        void operator()(char* p) const { std::free(p); }
    };
    const std::unique_ptr<char, Freed> memory(static_cast<char*>(std::calloc(size_t(file.size()) + 1, 1)));
    if (!memory)
        throw std::bad_alloc();
    const uint64_t head = file.runs().empty() ? 0 : file.runs().front().size;
    file.copy(0, head, memory.get());
    const QByteArray bytes = QByteArray::fromRawData(memory.get(), qsizetype(file.size()));
    CompoundFile cf;
    try {
        cf = CompoundFile::parse(bytes, book.path);
    } catch (const Error& e) {
        throw failure(book, e.message());
    }
    const auto entry = book.entry;
    if (entry < 0 || size_t(entry) >= cf.entries().size())
        throw failure(book, QStringLiteral("потік книги"));
    const QByteArray& stream = cf.streamData(entry);
    if (uint64_t(stream.size()) != built.size())
        throw failure(book, QStringLiteral("довжина потоку книги"));
    // A large stream lies in one run of the file, where the container as read back says it does;
    // a small one lies in the mini stream, within the head already copied.
    const bool inFile =
        stream.constData() >= bytes.constData() && stream.constData() < bytes.constData() + bytes.size();
    if (inFile) {
        const uint64_t at = uint64_t(stream.constData() - bytes.constData());
        for (const auto& [from, to] : parts)
            file.copy(at + from, to - from, memory.get() + at + from);
    }
    Book back;
    try {
        back = readBook(cf, book.path, edited);
    } catch (const Error& e) {
        throw failure(book, e.message());
    }
    QByteArray expected;
    for (const auto& [from, to] : parts) {
        expected.resize(qsizetype(to - from));
        built.pieces().copy(from, to - from, expected.data());
        if (uint64_t(back.stream.size()) < to ||
            std::memcmp(expected.constData(), back.stream.constData() + from, size_t(to - from)) != 0)
            throw failure(book, QStringLiteral("потік книги"));
    }
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
