#include "layout.h"

#include "xls/book/celltable.h"
#include "xls/book/sst.h"
#include "xls/error.h"

#include <algorithm>

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

// An unedited sheet goes over as it is; its INDEX, if any, is moved with it.
BuiltSheet copySheet(const Book& book, const Sheet& sh)
{
    BuiltSheet b;
    b.bytes = QByteArray(book.stream.constData() + sh.bof, qsizetype(sh.end - sh.bof));
    RecordIterator it(book.stream, sh.bof, sh.end);
    Record r;
    it.next(&r); // the BOF
    for (int k = 1; k < 8 && it.next(&r); ++k) {
        if (r.type == INDEX) {
            b.indexData = int(r.pos - sh.bof + 4);
            break;
        }
        if (r.type == ROW || isCellRecord(r.type))
            break;
    }
    return b;
}

// The globals with the SST grown by the new strings and EXTSST recomputed. Returns the offsets of
// the BOUNDSHEET bodies in `out`, in sheet order, for their stream positions to be patched.
std::vector<uint32_t> writeGlobals(QByteArray& out, const Book& book, const std::vector<QString>& added,
                                   int64_t refDelta)
{
    std::vector<uint32_t> boundsheetData;
    const bool sstChanged = !added.empty() || refDelta != 0;
    const int sstRecord = book.sst.record;
    for (size_t k = 0; k < book.globals.size(); ++k) {
        const Record& r = book.globals[k];
        if (r.type == BOUNDSHEET) {
            boundsheetData.push_back(uint32_t(out.size() + 4));
            appendRecord(out, r);
        } else if (sstChanged && int(k) == sstRecord) {
            // The new EXTSST follows the SST directly, wherever the old one stood.
            writeSst(out, book, added, refDelta, true);
            k = size_t(book.sst.pieces.back());
        } else if (sstChanged && r.type == EXTSST) {
            continue;
        } else if (r.type == EOF_ && sstChanged && sstRecord < 0) {
            writeSst(out, book, added, refDelta, false);
            appendRecord(out, r);
        } else {
            appendRecord(out, r);
        }
    }
    return boundsheetData;
}

// The sheet's INDEX for its place at `newBof`: a rebuilt sheet's DEFCOLWIDTH and DBCELL positions,
// or an unchanged sheet's positions moved by as much as the sheet moved.
void patchIndex(BuiltSheet& b, uint32_t newBof, uint32_t oldBof)
{
    if (b.indexData < 0)
        return;
    char* p = b.bytes.data() + b.indexData;
    if (b.rebuilt) {
        put32(p + 12, b.defColWidth ? newBof + b.defColWidth : 0);
        for (size_t j = 0; j < b.dbcells.size(); ++j)
            put32(p + 16 + 4 * j, newBof + b.dbcells[j]);
        return;
    }
    const uint32_t len = u16(b.bytes.constData() + b.indexData - 2);
    const int64_t delta = int64_t(newBof) - int64_t(oldBof);
    for (uint32_t off = 12; off + 4 <= len; off += 4) {
        const uint32_t v = u32(p + off);
        if (v)
            put32(p + off, uint32_t(int64_t(v) + delta));
    }
}

} // namespace

QByteArray buildStream(const Book& book)
{
    const std::vector<size_t> order = sheetOrder(book);
    const NewStrings strings = assignStrings(book);
    int64_t refDelta = 0;
    std::vector<BuiltSheet> built;
    built.reserve(book.sheets.size());
    for (size_t si = 0; si < book.sheets.size(); ++si)
        built.push_back(book.sheets[si].changed() ? rebuildSheet(book, si, strings, &refDelta)
                                                  : copySheet(book, book.sheets[si]));

    QByteArray out;
    out.reserve(book.stream.size() + 64 * qsizetype(strings.added.size()) + 4096);
    const std::vector<uint32_t> boundsheetData = writeGlobals(out, book, strings.added, refDelta);

    // The substreams in their original order, with the bytes between them kept.
    const char* base = book.stream.constData();
    std::vector<uint32_t> newBof(book.sheets.size());
    uint32_t oldPos = book.globalsEnd;
    for (size_t k : order) {
        const Sheet& sh = book.sheets[k];
        out.append(base + oldPos, qsizetype(sh.bof - oldPos));
        newBof[k] = uint32_t(out.size());
        patchIndex(built[k], newBof[k], sh.bof);
        out.append(built[k].bytes);
        oldPos = sh.end;
    }
    out.append(base + oldPos, qsizetype(book.stream.size()) - qsizetype(oldPos));
    for (size_t k = 0; k < book.sheets.size() && k < boundsheetData.size(); ++k)
        put32(out.data() + boundsheetData[k], newBof[k]);
    return out;
}

} // namespace xls::book
