#include "layout.h"

#include "xls/book/celltable.h"
#include "xls/book/sst.h"
#include "xls/error.h"

#include <algorithm>
#include <cstring>

namespace xls::book {

using namespace biff;

namespace {

// The sheets in stream order, after checking that their substreams are whole, separate and after
// the globals.
std::vector<size_t> sheetOrder(const Book& book)
{
    const std::vector<Sheet>& sheets = book.sheets;
    std::vector<size_t> order(sheets.size());
    for (size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
        if (!sheets[k].located)
            throw makeError(ErrorCode::Unsupported, book.path,
                            QStringLiteral("Аркуш «%1» пошкоджений.").arg(sheets[k].name));
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return sheets[a].bof < sheets[b].bof; });
    uint32_t prevEnd = book.globalsEnd;
    for (size_t k : order) {
        if (sheets[k].bof < prevEnd)
            throw makeError(ErrorCode::Unsupported, book.path, QStringLiteral("Аркуші книги перекриваються."));
        prevEnd = sheets[k].end;
    }
    return order;
}

// Where the body of an unedited sheet's INDEX record starts, and its length; {0, 0} without one.
std::pair<uint32_t, uint16_t> indexOf(const Book& book, const Sheet& sh)
{
    RecordIterator it(book.stream, sh.bof, sh.end);
    Record r;
    it.next(&r); // the BOF
    for (int k = 1; k < 8 && it.next(&r); ++k) {
        if (r.type == INDEX)
            return {r.pos + 4, r.len};
        if (r.type == ROW || isCellRecord(r.type))
            break;
    }
    return {0, 0};
}

// An unedited sheet goes over as it is, but for the positions in its INDEX, which move by as much as
// the sheet moved.
void appendUnedited(NewStream& out, const Book& book, const Sheet& sh, uint32_t newBof)
{
    const char* base = book.stream.constData();
    const auto [index, len] = indexOf(book, sh);
    if (!index) {
        out.appendCopy(base + sh.bof, qsizetype(sh.end - sh.bof));
        return;
    }
    out.appendCopy(base + sh.bof, qsizetype(index - sh.bof));
    QByteArray body(base + index, len);
    const int64_t delta = int64_t(newBof) - int64_t(sh.bof);
    for (uint32_t off = 12; off + 4 <= len; off += 4) {
        const uint32_t v = u32(body.constData() + off);
        if (v)
            put32(body.data() + off, uint32_t(int64_t(v) + delta));
    }
    out.appendOwned(std::move(body));
    out.appendCopy(base + index + len, qsizetype(sh.end - index - len));
}

// The globals with the SST changed by the new strings and EXTSST recomputed. Returns the offsets of
// the BOUNDSHEET bodies in `out`, in sheet order, for their stream positions to be patched.
std::vector<uint32_t> writeGlobals(QByteArray& out, const Book& book, const NewStrings& strings, int64_t refDelta)
{
    std::vector<uint32_t> boundsheetData;
    const bool sstChanged = strings.changesTable() || refDelta != 0;
    const int sstRecord = book.sst.record;
    for (size_t k = 0; k < book.globals.size(); ++k) {
        const Record& r = book.globals[k];
        if (r.type == BOUNDSHEET) {
            boundsheetData.push_back(uint32_t(out.size() + 4));
            appendRecord(out, r);
        } else if (sstChanged && int(k) == sstRecord) {
            // The new EXTSST follows the SST directly, wherever the old one stood.
            writeSst(out, book, strings, refDelta, true);
            k = size_t(book.sst.pieces.back());
        } else if (sstChanged && r.type == EXTSST) {
            continue;
        } else if (r.type == EOF_ && sstChanged && sstRecord < 0) {
            writeSst(out, book, strings, refDelta, false);
            appendRecord(out, r);
        } else {
            appendRecord(out, r);
        }
    }
    return boundsheetData;
}

// A rebuilt sheet's INDEX for its place at `newBof`: its DEFCOLWIDTH and DBCELL positions.
void patchIndex(BuiltSheet& b, uint32_t newBof)
{
    if (b.indexData < 0)
        return;
    char* p = b.bytes.data() + b.indexData;
    put32(p + 12, b.defColWidth ? newBof + b.defColWidth : 0);
    for (size_t j = 0; j < b.dbcells.size(); ++j)
        put32(p + 16 + 4 * j, newBof + b.dbcells[j]);
}

} // namespace

void NewStream::appendCopy(const char* data, qsizetype size)
{
    if (size > 0)
        m_pieces.refer(data, uint64_t(size));
}

void NewStream::appendOwned(QByteArray bytes)
{
    m_lastOwned = bytes.data(); // the array's data never moves
    m_pieces.keep(std::move(bytes));
}

NewStream buildStream(const Book& book)
{
    const std::vector<size_t> order = sheetOrder(book);
    const NewStrings strings = assignStrings(book);
    int64_t refDelta = 0;
    std::vector<BuiltSheet> built(book.sheets.size());
    for (size_t si = 0; si < book.sheets.size(); ++si)
        if (book.sheets[si].changed())
            built[si] = rebuildSheet(book, si, strings, &refDelta);

    QByteArray globals;
    globals.reserve(qsizetype(book.globalsEnd) + 64 * qsizetype(strings.added.size()) + 4096);
    const std::vector<uint32_t> boundsheetData = writeGlobals(globals, book, strings, refDelta);

    // The substreams in their original order, with the bytes between them kept.
    NewStream out;
    out.globalsEnd = uint32_t(globals.size());
    out.appendOwned(std::move(globals));
    char* globalsData = out.lastOwned();
    out.sheets.resize(book.sheets.size());
    const char* base = book.stream.constData();
    std::vector<uint32_t> newBof(book.sheets.size());
    uint32_t oldPos = book.globalsEnd;
    for (size_t k : order) {
        const Sheet& sh = book.sheets[k];
        out.appendCopy(base + oldPos, qsizetype(sh.bof - oldPos));
        newBof[k] = uint32_t(out.size());
        if (!sh.changed()) {
            appendUnedited(out, book, sh, newBof[k]);
        } else {
            patchIndex(built[k], newBof[k]);
            out.appendOwned(std::move(built[k].bytes));
        }
        out.sheets[k] = {newBof[k], uint32_t(std::min<uint64_t>(out.size(), UINT32_MAX))};
        oldPos = sh.end;
    }
    out.appendCopy(base + oldPos, qsizetype(book.stream.size()) - qsizetype(oldPos));
    if (out.size() > UINT32_MAX)
        throw makeError(ErrorCode::Unsupported, book.path, QStringLiteral("Книга завелика."));
    for (size_t k = 0; k < book.sheets.size() && k < boundsheetData.size(); ++k)
        put32(globalsData + boundsheetData[k], newBof[k]);
    return out;
}

} // namespace xls::book
