#include "readback.h"

#include "xls/error.h"

#include <cstring>

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

void checkReadBack(const Book& book, const QByteArray& file, const NewStream& built)
{
    // Only the sheets written anew are read again: the others were copied byte for byte.
    std::vector<bool> edited;
    for (const Sheet& sh : book.sheets)
        edited.push_back(sh.changed());
    Book back;
    try {
        back = readBook(CompoundFile::parse(file, book.path), book.path, edited);
    } catch (const Error& e) {
        throw failure(book, e.message());
    }
    if (!built.sameAs(back.stream))
        throw failure(book, QStringLiteral("потік книги"));
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
