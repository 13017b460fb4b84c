#include "book.h"

#include "xls/book/cellread.h"
#include "xls/book/globals.h"
#include "xls/bytes.h"
#include "xls/crypt/workbookcipher.h"
#include "xls/error.h"

#include <algorithm>

namespace xls::book {

const CellRec* Sheet::find(size_t row0, uint16_t col0) const
{
    if (row0 >= rowCount())
        return nullptr;
    const auto [first, last] = row(row0);
    if (first == last)
        return nullptr;
    // Most rows hold a cell in every column from their first one on: the cell is then found at once.
    const size_t at = size_t(col0) - first->col;
    if (col0 >= first->col && at < size_t(last - first) && first[at].col == col0)
        return first + at;
    const CellRec* it = std::lower_bound(first, last, col0, [](const CellRec& c, uint16_t col) { return c.col < col; });
    return it != last && it->col == col0 ? it : nullptr;
}

double Book::number(const CellRec& c) const
{
    const char* p = stream.constData() + c.ref;
    return c.code == kRkAt ? biff::decodeRk(u32(p)) : f64(p);
}

uint32_t StringTable::add(QString s)
{
    strings.push_back(std::move(s));
    return uint32_t(strings.size() - 1);
}

QString StringTable::text(uint32_t index) const
{
    return index == kNoString ? QString() : strings[index];
}

Book readBook(const CompoundFile& cf, const QString& path, const std::vector<bool>& only)
{
    // The stream's name does not tell the version: some writers put BIFF8 into "Book".
    auto entry = cf.findRootStream(QStringLiteral("Workbook"));
    if (!entry)
        entry = cf.findRootStream(QStringLiteral("Book"));
    if (!entry) {
        if (cf.findRootStream(QStringLiteral("EncryptedPackage")))
            throw makeError(ErrorCode::OoxmlEncrypted, path);
        throw makeError(ErrorCode::NoWorkbookStream, path);
    }
    if (!cf.entries()[size_t(*entry)].readable) {
        if (cf.entries()[size_t(*entry)].cutShort)
            throw makeError(ErrorCode::Truncated, path);
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(потік книги не читається)"));
    }
    Book book;
    book.path = path;
    book.entry = *entry;
    book.stream = cf.streamData(*entry);
    book.cipher = crypt::decryptWorkbookStream(book.stream, path);
    readGlobals(book);
    locateSheets(book);
    for (size_t k = 0; k < book.sheets.size(); ++k)
        if (only.empty() || (k < only.size() && only[k]))
            readCells(book, book.sheets[k]);
    return book;
}

} // namespace xls::book
