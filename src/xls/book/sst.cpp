#include "sst.h"

#include "xls/biff/strings.h"
#include "xls/error.h"

#include <QHash>
#include <algorithm>

namespace xls::book {

using namespace biff;

void readSst(Book& book, const Record& r, RecordIterator& it)
{
    StringTable& sst = book.sst;
    sst.record = int(book.globals.size() - 1);
    const std::vector<ContinueReader::Piece> pieces = continuedPieces(r, it, &book.globals);
    for (size_t k = 0; k < pieces.size(); ++k)
        sst.pieces.push_back(sst.record + int(k));
    if (!r.hasFields())
        throw makeError(ErrorCode::Corrupt, book.path, QStringLiteral("(таблиця рядків)"));
    sst.cstTotal = u32(r.data);
    const uint32_t unique = u32(r.data + 4);
    ContinueReader reader(pieces);
    reader.skip(8);
    sst.strings.reserve(std::min<uint32_t>(unique, uint32_t(book.stream.size() / 3)));
    // Read every string that is there: some writers state a wrong count.
    for (;;) {
        const auto at = reader.position();
        if (reader.atEnd())
            break;
        QString s;
        bool plain = true;
        if (!reader.readString(&s, true, &plain))
            break; // a damaged tail: keep the strings read so far
        sst.at.push_back(at);
        sst.strings.push_back(std::move(s));
        sst.plain.push_back(plain);
        sst.end = reader.position();
        if (sst.end.first >= pieces.size())
            sst.end = {pieces.size() - 1, pieces.back().len};
    }
    if (sst.at.empty())
        sst.end = {0, 8};
    sst.count = uint32_t(sst.strings.size());
}

namespace {

// SST entries whose only reference is a cell that an edit overwrites: their place is free.
std::vector<uint32_t> freedEntries(const Book& book)
{
    const StringTable& sst = book.sst;
    std::vector<uint32_t> freed;
    if (sst.refs.size() != sst.count)
        return freed; // not every sheet was read
    for (const Sheet& sh : book.sheets)
        for (const auto& [key, e] : sh.edits) {
            const CellRec* c = sh.find(size_t(editRow(key)), editCol(key));
            if (c && c->type == CellType::Text && c->ref < sst.count && sst.refs[c->ref] == 1)
                freed.push_back(c->ref);
        }
    std::sort(freed.begin(), freed.end());
    freed.erase(std::unique(freed.begin(), freed.end()), freed.end());
    return freed;
}

} // namespace

NewStrings assignStrings(const Book& book)
{
    NewStrings out;
    const bool haveTextEdits = std::any_of(book.sheets.begin(), book.sheets.end(), [](const Sheet& sh) {
        return std::any_of(sh.edits.begin(), sh.edits.end(), [](const auto& e) { return e.second.text; });
    });
    if (!haveTextEdits)
        return out;
    const StringTable& sst = book.sst;
    // Cells that point past the table must keep reading as empty: pad before the new strings.
    if (sst.maxIsst >= int64_t(sst.count)) {
        if (sst.maxIsst - int64_t(sst.count) > 1'000'000)
            throw makeError(ErrorCode::Unsupported, book.path, QStringLiteral("Таблиця рядків пошкоджена."));
        out.added.resize(size_t(sst.maxIsst + 1 - sst.count));
    }
    QHash<QString, uint32_t> lookup;
    lookup.reserve(qsizetype(sst.count));
    for (uint32_t k = 0; k < sst.count; ++k)
        if (sst.plain[k])
            lookup.insert(sst.strings[k], k);
    // Texts already in the table first, so that a freed entry one of them still needs stays as it is.
    std::vector<uint32_t> freed = freedEntries(book);
    std::vector<std::pair<size_t, uint32_t>> newTexts;
    for (size_t si = 0; si < book.sheets.size(); ++si)
        for (const auto& [key, e] : book.sheets[si].edits) {
            if (!e.text)
                continue;
            const auto it = lookup.constFind(e.s);
            if (it == lookup.cend()) {
                newTexts.emplace_back(si, key);
                continue;
            }
            out.isst[{si, key}] = it.value();
            freed.erase(std::remove(freed.begin(), freed.end(), it.value()), freed.end());
        }
    size_t nextFreed = 0;
    for (const auto& [si, key] : newTexts) {
        const QString& text = book.sheets[si].edits.at(key).s;
        auto it = lookup.constFind(text);
        if (it == lookup.cend()) {
            if (nextFreed < freed.size()) {
                const uint32_t k = freed[nextFreed++];
                out.replaced[k] = text;
                it = lookup.insert(text, k);
            } else {
                it = lookup.insert(text, sst.count + uint32_t(out.added.size()));
                out.added.push_back(text);
            }
        }
        out.isst[{si, key}] = it.value();
    }
    return out;
}

namespace {

// Where the strings of the new SST start: the header positions of the old pieces as written, and
// (record header, offset in body) of each string written anew: the entries from `firstRewritten`
// on, then the added ones.
struct SstPlaces {
    std::vector<uint32_t> pieceHeader;
    uint32_t firstRewritten = 0;
    std::vector<std::pair<uint32_t, uint32_t>> rewritten;
    std::vector<std::pair<uint32_t, uint32_t>> added;
};

// Copies the SST pieces up to `cut`, with the counts updated; the last piece stays open for the
// strings that follow.
void copyPieces(ContinueWriter& w, const Book& book, SstPos cut, uint32_t unique, int64_t refDelta, SstPlaces* places)
{
    const StringTable& sst = book.sst;
    for (size_t p = 0; p < sst.pieces.size() && p <= cut.first; ++p) {
        const Record& r = book.globals[size_t(sst.pieces[p])];
        const uint32_t h = w.begin(r.type);
        places->pieceHeader.push_back(h);
        w.out().append(r.data, qsizetype(p == cut.first ? cut.second : r.len));
        if (p == 0) {
            put32(w.out().data() + h + 4, uint32_t(std::max<int64_t>(0, int64_t(sst.cstTotal) + refDelta)));
            put32(w.out().data() + h + 8, unique);
        }
        if (p < cut.first)
            w.finish();
    }
}

// Writes the entries from `first` on again, each replaced one with its new text.
void rewriteEntries(ContinueWriter& w, const Book& book, uint32_t first, const std::map<uint32_t, QString>& replaced,
                    SstPlaces* places)
{
    const StringTable& sst = book.sst;
    std::vector<ContinueReader::Piece> pieces;
    for (size_t p = sst.at[first].first; p < sst.pieces.size(); ++p) {
        const Record& r = book.globals[size_t(sst.pieces[p])];
        const uint32_t skip = p == sst.at[first].first ? sst.at[first].second : 0;
        pieces.push_back({r.data + skip, r.len - skip});
    }
    ContinueReader reader(std::move(pieces));
    places->firstRewritten = first;
    for (uint32_t k = first; k < sst.count; ++k) {
        RichString entry;
        if (!reader.readRichString(&entry))
            throw makeError(ErrorCode::Unsupported, book.path, QStringLiteral("Таблиця рядків пошкоджена."));
        const auto it = replaced.find(k);
        places->rewritten.push_back(it == replaced.end() ? w.appendRichString(entry) : w.appendString(it->second));
    }
}

// EXTSST: for every dsst-th string, its stream position and its offset in its record.
void writeExtSst(QByteArray& out, const StringTable& sst, const SstPlaces& places)
{
    const uint32_t total = uint32_t(sst.at.size() + places.added.size());
    uint32_t dsst = 8;
    while ((total + dsst - 1) / dsst > 1020)
        dsst *= 2;
    const uint32_t buckets = (total + dsst - 1) / dsst;
    QByteArray body(qsizetype(2 + 8 * buckets), '\0');
    put16(body.data(), uint16_t(dsst));
    for (uint32_t k = 0; k < buckets; ++k) {
        const uint32_t idx = k * dsst;
        const auto [header, offset] = idx < places.firstRewritten
                                          ? std::pair{places.pieceHeader[sst.at[idx].first], sst.at[idx].second}
                                      : idx < sst.at.size() ? places.rewritten[idx - places.firstRewritten]
                                                            : places.added[idx - sst.at.size()];
        put32(body.data() + 2 + 8 * k, header + 4 + offset);
        put16(body.data() + 6 + 8 * k, uint16_t(offset + 4));
    }
    appendRecord(out, EXTSST, body.constData(), uint32_t(body.size()));
}

} // namespace

void writeSst(QByteArray& out, const Book& book, const NewStrings& strings, int64_t refDelta, bool existing)
{
    ContinueWriter w(out);
    SstPlaces places;
    const StringTable& sst = book.sst;
    const uint32_t unique = sst.count + uint32_t(strings.added.size());
    if (existing) {
        // Replaced entries are written anew from the first of them on; the strings before stay as they were.
        const uint32_t first = strings.replaced.empty() ? sst.count : strings.replaced.begin()->first;
        copyPieces(w, book, first < sst.count ? sst.at[first] : sst.end, unique, refDelta, &places);
        places.firstRewritten = first;
        if (first < sst.count)
            rewriteEntries(w, book, first, strings.replaced, &places);
    } else {
        places.pieceHeader.push_back(w.begin(SST));
        char head[8];
        put32(head, uint32_t(std::max<int64_t>(0, refDelta)));
        put32(head + 4, uint32_t(strings.added.size()));
        out.append(head, 8);
    }
    for (const QString& s : strings.added)
        places.added.push_back(w.appendString(s));
    w.finish();
    writeExtSst(out, sst, places);
}

} // namespace xls::book
