#include "xls/book/model.h"
#include "xls/error.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <optional>

namespace xls {

using namespace biff;

// ---------------------------------------------------------------------------------------------
// Writing: every record the engine does not change is copied; the edited sheets get a new cell
// table (ROW blocks with DBCELL), the SST grows by the new strings, and every absolute stream
// position (BOUNDSHEET, INDEX, EXTSST) is recomputed.

namespace {

// A formula's first token follows the cell header, cached value, flags, chn and cce; a formula that
// is part of a shared formula, an array or a data table consists of one ptgExp or ptgTbl token.
constexpr uint32_t kFormulaFirstToken = kCellHeader + 16;
constexpr uint8_t kPtgExp = 0x01, kPtgTbl = 0x02;

void appendRecord(QByteArray& out, uint16_t type, const char* data, uint32_t len)
{
    char h[4];
    put16(h, type);
    put16(h + 2, uint16_t(len));
    out.append(h, 4);
    out.append(data, qsizetype(len));
}

void appendRecord(QByteArray& out, const Record& r)
{
    appendRecord(out, r.type, r.data, r.len);
}

struct Unit {
    uint16_t col = 0, lastCol = 0;
    uint16_t type = 0;
    const char* src = nullptr; // records copied from the source stream
    uint32_t srcLen = 0;
    QByteArray own; // or bytes made here
    bool sharedHost = false;
    void appendTo(QByteArray& out) const
    {
        if (src)
            out.append(src, qsizetype(srcLen));
        else
            out.append(own);
    }
    uint32_t size() const { return src ? srcLen : uint32_t(own.size()); }
};

struct RowData {
    const char* rowRec = nullptr; // the ROW record (header included), if any
    QByteArray ownRow;
    std::vector<Unit> units;
};

struct BuiltSheet {
    QByteArray bytes;
    int indexData = -1; // offset of the INDEX record body in `bytes`
    bool rebuilt = false;
    uint32_t defColWidth = 0; // offset of DEFCOLWIDTH, 0 when there is none
    std::vector<uint32_t> dbcells;
};

Unit singleCell(uint16_t type, uint16_t row, uint16_t col, uint16_t ixfe, const char* body, uint32_t bodyLen)
{
    Unit u;
    u.col = u.lastCol = col;
    u.type = type;
    QByteArray data(6, '\0');
    put16(data.data(), row);
    put16(data.data() + 2, col);
    put16(data.data() + 4, ixfe);
    data.append(body, qsizetype(bodyLen));
    appendRecord(u.own, type, data.constData(), uint32_t(data.size()));
    return u;
}

// The cells [from, to] of a MULRK or MULBLANK record as one record (or a single RK/BLANK).
std::optional<Unit> mulPart(uint16_t type, const char* data, uint16_t row, uint16_t first, uint16_t from, uint16_t to)
{
    if (from > to)
        return std::nullopt;
    const uint32_t each = type == MULRK ? 6 : 2;
    const char* at = data + 4 + (from - first) * each;
    if (from == to) {
        if (type == MULRK)
            return singleCell(RK, row, from, u16(at), at + 2, 4);
        return singleCell(BLANK, row, from, u16(at), nullptr, 0);
    }
    QByteArray body(4, '\0');
    put16(body.data(), row);
    put16(body.data() + 2, from);
    body.append(at, qsizetype((to - from + 1) * each));
    char last[2];
    put16(last, to);
    body.append(last, 2);
    Unit u;
    u.col = from;
    u.lastCol = to;
    u.type = type;
    appendRecord(u.own, type, body.constData(), uint32_t(body.size()));
    return u;
}

} // namespace

QByteArray Workbook::Impl::buildStream() const
{
    const char* base = stream.constData();
    // The sheets' substreams must be separate, well-formed and after the globals.
    std::vector<size_t> order(sheets.size());
    for (size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
        if (!sheets[k].located)
            throw makeError(ErrorCode::Unsupported, path,
                            QStringLiteral("Аркуш «%1» пошкоджений.").arg(sheets[k].name));
    }
    std::sort(order.begin(), order.end(), [this](size_t a, size_t b) { return sheets[a].bof < sheets[b].bof; });
    uint32_t prevEnd = globalsEnd;
    for (size_t k : order) {
        if (sheets[k].bof < prevEnd)
            throw makeError(ErrorCode::Unsupported, path, QStringLiteral("Аркуші книги перекриваються."));
        prevEnd = sheets[k].end;
    }

    // New strings for the text edits: reuse an equal plain SST entry, else append.
    std::vector<QString> newStrings;
    QHash<QString, uint32_t> lookup;
    bool haveTextEdits = false;
    for (const Sheet& sh : sheets)
        for (const auto& [key, e] : sh.edits)
            haveTextEdits |= e.text;
    std::map<std::pair<size_t, uint32_t>, uint32_t> isstOf; // (sheet, key) -> isst
    if (haveTextEdits) {
        // Cells that point past the table must keep reading as empty: pad before the new strings.
        if (maxIsst >= int64_t(sstCount)) {
            if (maxIsst - int64_t(sstCount) > 1'000'000)
                throw makeError(ErrorCode::Unsupported, path, QStringLiteral("Таблиця рядків пошкоджена."));
            newStrings.resize(size_t(maxIsst + 1 - sstCount));
        }
        lookup.reserve(qsizetype(sstCount));
        for (uint32_t k = 0; k < sstCount; ++k)
            if (sstPlain[k])
                lookup.insert(strings[k], k);
        for (size_t si = 0; si < sheets.size(); ++si)
            for (const auto& [key, e] : sheets[si].edits) {
                if (!e.text)
                    continue;
                auto it = lookup.constFind(e.s);
                uint32_t isst;
                if (it != lookup.cend()) {
                    isst = it.value();
                } else {
                    isst = sstCount + uint32_t(newStrings.size());
                    newStrings.push_back(e.s);
                    lookup.insert(e.s, isst);
                }
                isstOf[{si, key}] = isst;
            }
    }
    int64_t refDelta = 0;

    // Build every sheet's substream.
    std::vector<BuiltSheet> built(sheets.size());
    for (size_t si = 0; si < sheets.size(); ++si) {
        const Sheet& sh = sheets[si];
        BuiltSheet& b = built[si];
        const std::vector<Record> recs = tokenize(stream, sh.bof, sh.end);
        if (sh.edits.empty()) {
            b.bytes = QByteArray(base + sh.bof, qsizetype(sh.end - sh.bof));
            for (size_t k = 1; k < recs.size() && k < 8; ++k) {
                if (recs[k].type == INDEX) {
                    b.indexData = int(recs[k].pos - sh.bof + 4);
                    break;
                }
                if (recs[k].type == ROW || isCellRecord(recs[k].type))
                    break;
            }
            continue;
        }
        if (!sh.worksheet)
            throw makeError(ErrorCode::Unsupported, path,
                            QStringLiteral("Аркуш «%1» не є звичайним аркушем.").arg(sh.name));
        b.rebuilt = true;
        // Split into prefix, cell table, foreign records inside the table, and suffix.
        auto inTable = [&](size_t k) {
            const uint16_t t = recs[k].type;
            return recs[k].depth == 1 && (t == ROW || isCellRecord(t) || t == DBCELL);
        };
        size_t tStart = recs.size(), tEnd = 0;
        for (size_t k = 0; k < recs.size(); ++k)
            if (inTable(k)) {
                tStart = std::min(tStart, k);
                tEnd = k;
            }
        if (tStart == recs.size()) {
            // No cells yet: the table goes after DIMENSIONS (or before the window settings / EOF).
            size_t at = recs.size() - 1;
            for (size_t k = 0; k < recs.size(); ++k)
                if (recs[k].depth == 1 && recs[k].type == DIMENSIONS) {
                    at = k + 1;
                    break;
                }
            if (at == recs.size() - 1)
                for (size_t k = 1; k < recs.size(); ++k)
                    if (recs[k].depth == 1 && (recs[k].type == WINDOW2 || recs[k].type == EOF_)) {
                        at = k;
                        break;
                    }
            tStart = at;
            tEnd = at; // exclusive end below
        } else {
            // Records that belong to the last cell (formula strings and continuations).
            while (tEnd + 1 < recs.size() && belongsToPreviousCell(recs[tEnd + 1].type))
                ++tEnd;
            ++tEnd;
        }

        std::map<uint16_t, RowData> rows;
        std::vector<const Record*> moved;
        for (size_t k = tStart; k < tEnd; ++k) {
            const Record& r = recs[k];
            if (recs[k].depth != 1 || r.type == BOF) {
                moved.push_back(&r);
                continue;
            }
            if (r.type == ROW && r.hasFields()) {
                rows[u16(r.data)].rowRec = base + r.pos;
                continue;
            }
            if (r.type == DBCELL)
                continue;
            if (isCellRecord(r.type) && r.len >= kCellHeader) {
                Unit u;
                u.type = r.type;
                u.col = u16(r.data + 2);
                u.lastCol = u.col;
                if (r.type == MULRK || r.type == MULBLANK) {
                    const uint32_t n = (uint32_t(r.len) - kCellHeader) / (r.type == MULRK ? 6 : 2);
                    if (n == 0)
                        continue; // an empty run holds no cell: drop it
                    u.lastCol = uint16_t(u.col + n - 1);
                }
                size_t j = k + 1;
                while (j < tEnd && recs[j].depth == 1 && belongsToPreviousCell(recs[j].type)) {
                    if (isFormulaDefinition(recs[j].type))
                        u.sharedHost = true;
                    ++j;
                }
                const uint32_t endPos = j < recs.size() ? recs[j].pos : recs[j - 1].pos + 4 + recs[j - 1].len;
                u.src = base + r.pos;
                u.srcLen = endPos - r.pos;
                if (r.type == FORMULA && r.len > kFormulaFirstToken) {
                    const uint8_t ptg = uint8_t(r.data[kFormulaFirstToken]);
                    if (ptg == kPtgExp || ptg == kPtgTbl)
                        u.sharedHost = true; // member of a shared or array formula
                }
                rows[u16(r.data)].units.push_back(std::move(u));
                k = j - 1;
                continue;
            }
            moved.push_back(&r);
        }
        for (auto& [rw, rd] : rows)
            std::stable_sort(rd.units.begin(), rd.units.end(),
                             [](const Unit& a, const Unit& b) { return a.col < b.col; });

        // Apply the edits.
        uint32_t dimRwMic = UINT32_MAX, dimRwMac = 0;
        uint16_t dimColMic = UINT16_MAX, dimColMac = 0;
        for (const auto& [key, e] : sh.edits) {
            const uint16_t row = uint16_t(key >> 8);
            const uint16_t col = uint16_t(key & 0xFF);
            dimRwMic = std::min<uint32_t>(dimRwMic, row);
            dimRwMac = std::max<uint32_t>(dimRwMac, uint32_t(row) + 1);
            dimColMic = std::min(dimColMic, col);
            dimColMac = std::max<uint16_t>(dimColMac, uint16_t(col + 1));
            RowData& rd = rows[row];
            uint16_t ixfe = 0x0F;
            if (row < sh.rowXf.size() && sh.rowXf[row])
                ixfe = uint16_t(sh.rowXf[row] - 1);
            else
                for (const ColInfo& ci : sh.colInfo)
                    if (col >= ci.first && col <= ci.last)
                        ixfe = ci.ixfe;
            if (ixfe >= xfStyle.size() || xfStyle[ixfe]) {
                ixfe = 0;
                for (size_t x = 0; x < xfStyle.size(); ++x)
                    if (!xfStyle[x]) {
                        ixfe = uint16_t(x);
                        break;
                    }
            }
            // Every record that covers the cell goes (a file may repeat a cell; the last one counted).
            std::vector<Unit> replacement;
            for (;;) {
                auto it = std::find_if(rd.units.begin(), rd.units.end(),
                                       [col](const Unit& u) { return col >= u.col && col <= u.lastCol; });
                if (it == rd.units.end())
                    break;
                const Unit old = *it;
                const char* data = (old.src ? old.src : old.own.constData()) + 4;
                if (old.sharedHost)
                    throw makeError(ErrorCode::Unsupported, path,
                                    QStringLiteral("Клітинка з рядка %1 аркуша «%2» містить спільну формулу.")
                                        .arg(row + 1)
                                        .arg(sh.name));
                if (old.type == MULRK || old.type == MULBLANK) {
                    const uint32_t each = old.type == MULRK ? 6 : 2;
                    ixfe = u16(data + 4 + (col - old.col) * each);
                    if (col > old.col)
                        replacement.push_back(*mulPart(old.type, data, row, old.col, old.col, uint16_t(col - 1)));
                    if (col < old.lastCol)
                        replacement.push_back(*mulPart(old.type, data, row, old.col, uint16_t(col + 1), old.lastCol));
                } else {
                    ixfe = u16(data + 4);
                    if (old.type == LABELSST)
                        --refDelta;
                }
                rd.units.erase(it);
            }
            if (e.text) {
                char body[4];
                put32(body, isstOf.at({si, key}));
                replacement.push_back(singleCell(LABELSST, row, col, ixfe, body, 4));
                ++refDelta;
            } else {
                char body[8];
                putF64(body, e.num);
                replacement.push_back(singleCell(NUMBER, row, col, ixfe, body, 8));
            }
            for (Unit& u : replacement) {
                auto pos = std::lower_bound(rd.units.begin(), rd.units.end(), u.col,
                                            [](const Unit& a, uint16_t c) { return a.col < c; });
                rd.units.insert(pos, std::move(u));
            }
        }
        // Every row with cells gets a ROW record whose column span covers them.
        for (auto& [rw, rd] : rows) {
            if (rd.units.empty() && !rd.rowRec)
                continue;
            const bool touched = sh.edits.lower_bound(editKey(rw, 0)) != sh.edits.end() &&
                                 (sh.edits.lower_bound(editKey(rw, 0))->first >> 8) == rw;
            if (rd.rowRec && !touched)
                continue;
            QByteArray rec;
            if (rd.rowRec) {
                rec = QByteArray(rd.rowRec, 4 + u16(rd.rowRec + 2));
            } else {
                rec = QByteArray(20, '\0');
                put16(rec.data(), ROW);
                put16(rec.data() + 2, 16);
                put16(rec.data() + 4, rw);
                put16(rec.data() + 10, sh.defaultRowHeight);
                put16(rec.data() + 16, 0x0100);
                put16(rec.data() + 18, 0x000F);
                put16(rec.data() + 6, UINT16_MAX);
            }
            uint16_t mic = u16(rec.constData() + 6), mac = u16(rec.constData() + 8);
            if (!rd.rowRec)
                mic = UINT16_MAX, mac = 0;
            for (const Unit& u : rd.units) {
                mic = std::min(mic, u.col);
                mac = std::max<uint16_t>(mac, uint16_t(u.lastCol + 1));
            }
            if (mic == UINT16_MAX)
                mic = 0;
            put16(rec.data() + 6, mic);
            put16(rec.data() + 8, mac);
            rd.ownRow = rec;
            rd.rowRec = nullptr;
        }

        // Serialise: prefix, cell table, moved records, suffix.
        std::vector<uint16_t> rowOrder;
        for (const auto& [rw, rd] : rows)
            if (rd.rowRec || !rd.ownRow.isEmpty())
                rowOrder.push_back(rw);
        const size_t blocks = (rowOrder.size() + 31) / 32;
        QByteArray& out = b.bytes;
        out.reserve(qsizetype(sh.end - sh.bof) + 64 * qsizetype(sh.edits.size()) + 1024);
        for (size_t k = 0; k < tStart; ++k) {
            const Record& r = recs[k];
            if (recs[k].depth == 1 && r.type == INDEX && r.hasFields()) {
                b.indexData = int(out.size() + 4);
                QByteArray body(qsizetype(16 + 4 * blocks), '\0');
                appendRecord(out, INDEX, body.constData(), uint32_t(body.size()));
                continue;
            }
            if (recs[k].depth == 1 && r.type == DEFCOLWIDTH)
                b.defColWidth = uint32_t(out.size());
            if (recs[k].depth == 1 && r.type == DIMENSIONS && r.hasFields()) {
                QByteArray body(r.data, r.len);
                uint32_t mic = u32(r.data), mac = u32(r.data + 4);
                uint16_t cmic = u16(r.data + 8), cmac = u16(r.data + 10);
                if (mac <= mic) {
                    mic = dimRwMic;
                    mac = dimRwMac;
                    cmic = dimColMic;
                    cmac = dimColMac;
                } else {
                    mic = std::min(mic, dimRwMic);
                    mac = std::max(mac, dimRwMac);
                    cmic = std::min(cmic, dimColMic);
                    cmac = std::max(cmac, dimColMac);
                }
                put32(body.data(), mic);
                put32(body.data() + 4, mac);
                put16(body.data() + 8, cmic);
                put16(body.data() + 10, cmac);
                appendRecord(out, DIMENSIONS, body.constData(), r.len);
                continue;
            }
            appendRecord(out, r);
        }
        for (size_t blk = 0; blk < blocks; ++blk) {
            const size_t from = blk * 32, to = std::min(rowOrder.size(), from + 32);
            const uint32_t blockStart = uint32_t(out.size());
            uint32_t firstRowEnd = 0;
            for (size_t k = from; k < to; ++k) {
                const RowData& rd = rows[rowOrder[k]];
                if (rd.rowRec)
                    out.append(rd.rowRec, 4 + u16(rd.rowRec + 2));
                else
                    out.append(rd.ownRow);
                if (k == from)
                    firstRowEnd = uint32_t(out.size());
            }
            std::vector<uint16_t> offsets;
            uint32_t prev = firstRowEnd;
            for (size_t k = from; k < to; ++k) {
                const RowData& rd = rows[rowOrder[k]];
                if (rd.units.empty())
                    continue;
                const uint32_t cellsStart = uint32_t(out.size());
                for (const Unit& u : rd.units)
                    u.appendTo(out);
                offsets.push_back(uint16_t(std::min<uint32_t>(cellsStart - prev, 0xFFFF)));
                prev = cellsStart;
            }
            const uint32_t dbPos = uint32_t(out.size());
            QByteArray body(qsizetype(4 + 2 * offsets.size()), '\0');
            put32(body.data(), dbPos - blockStart);
            for (size_t k = 0; k < offsets.size(); ++k)
                put16(body.data() + 4 + 2 * k, offsets[k]);
            b.dbcells.push_back(dbPos);
            appendRecord(out, DBCELL, body.constData(), uint32_t(body.size()));
        }
        for (const Record* r : moved)
            appendRecord(out, *r);
        for (size_t k = tEnd; k < recs.size(); ++k)
            appendRecord(out, recs[k]);
        if (b.indexData >= 0) {
            char* p = out.data() + b.indexData;
            put32(p + 4, rowOrder.empty() ? 0 : rowOrder.front());
            put32(p + 8, rowOrder.empty() ? 0 : uint32_t(rowOrder.back()) + 1);
        }
    }

    // The globals: SST grown by the new strings, EXTSST recomputed, BOUNDSHEET positions patched below.
    QByteArray out;
    out.reserve(stream.size() + 64 * qsizetype(newStrings.size()) + 4096);
    std::vector<uint32_t> boundsheetData; // offsets of BOUNDSHEET bodies, in sheet order
    const bool sstChanged = !newStrings.empty() || refDelta != 0;
    std::vector<uint32_t> pieceHeader;                // new positions of the SST pieces' headers
    std::vector<std::pair<uint32_t, uint32_t>> newAt; // (record header position, offset in body) of new strings
    auto writeSst = [&](bool existing) {
        auto begin = [&out](uint16_t type) {
            const uint32_t h = uint32_t(out.size());
            out.append(4, '\0');
            put16(out.data() + h, type);
            return h;
        };
        auto finish = [&out](uint32_t h) { put16(out.data() + h + 2, uint16_t(out.size() - h - 4)); };
        uint32_t cur;
        if (existing) {
            for (size_t p = 0; p < sstPieces.size(); ++p) {
                const Record& r = globals[size_t(sstPieces[p])];
                if (p > sstEnd.first)
                    break;
                cur = begin(r.type);
                pieceHeader.push_back(cur);
                const uint32_t len = p == sstEnd.first ? sstEnd.second : r.len;
                out.append(r.data, qsizetype(len));
                if (p == 0) {
                    put32(out.data() + cur + 4, uint32_t(std::max<int64_t>(0, int64_t(cstTotal) + refDelta)));
                    put32(out.data() + cur + 8, sstCount + uint32_t(newStrings.size()));
                }
                if (p + 1 <= sstEnd.first)
                    finish(cur);
            }
            cur = pieceHeader.back();
        } else {
            cur = begin(SST);
            char head[8];
            put32(head, uint32_t(std::max<int64_t>(0, refDelta)));
            put32(head + 4, uint32_t(newStrings.size()));
            out.append(head, 8);
            pieceHeader.push_back(cur);
        }
        for (const QString& s : newStrings) {
            const uint32_t need = s.isEmpty() ? 3 : 5;
            if (out.size() - cur - 4 + need > kMaxRecordData) {
                finish(cur);
                cur = begin(CONTINUE);
            }
            newAt.emplace_back(cur, uint32_t(out.size() - cur - 4));
            char head[3];
            put16(head, uint16_t(s.size()));
            head[2] = 1;
            out.append(head, 3);
            qsizetype i = 0;
            while (i < s.size()) {
                qsizetype avail = (qsizetype(kMaxRecordData) - (out.size() - cur - 4)) / 2;
                if (avail <= 0) {
                    finish(cur);
                    cur = begin(CONTINUE);
                    out.append(char(1));
                    continue;
                }
                const qsizetype take = std::min(avail, s.size() - i);
                const qsizetype at = out.size();
                out.resize(at + 2 * take);
                for (qsizetype k = 0; k < take; ++k)
                    put16(out.data() + at + 2 * k, s.at(i + k).unicode());
                i += take;
            }
        }
        finish(cur);
    };
    auto writeExtSst = [&]() {
        const uint32_t total = uint32_t(sstAt.size() + newStrings.size());
        uint32_t dsst = 8;
        while ((total + dsst - 1) / dsst > 1020)
            dsst *= 2;
        const uint32_t buckets = (total + dsst - 1) / dsst;
        QByteArray body(qsizetype(2 + 8 * buckets), '\0');
        put16(body.data(), uint16_t(dsst));
        for (uint32_t k = 0; k < buckets; ++k) {
            const uint32_t idx = k * dsst;
            uint32_t hdr, off;
            if (idx < sstAt.size()) {
                hdr = pieceHeader[sstAt[idx].first];
                off = sstAt[idx].second;
            } else {
                hdr = newAt[idx - sstAt.size()].first;
                off = newAt[idx - sstAt.size()].second;
            }
            put32(body.data() + 2 + 8 * k, hdr + 4 + off);
            put16(body.data() + 6 + 8 * k, uint16_t(off + 4));
        }
        appendRecord(out, EXTSST, body.constData(), uint32_t(body.size()));
    };
    for (size_t k = 0; k < globals.size(); ++k) {
        const Record& r = globals[k];
        if (r.type == BOUNDSHEET) {
            boundsheetData.push_back(uint32_t(out.size() + 4));
            appendRecord(out, r);
        } else if (sstChanged && int(k) == sstRec) {
            // The new EXTSST follows the SST directly, wherever the old one stood.
            writeSst(true);
            writeExtSst();
            k = size_t(sstPieces.back());
        } else if (sstChanged && r.type == EXTSST) {
            continue;
        } else if (r.type == EOF_ && sstChanged && sstRec < 0) {
            writeSst(false);
            writeExtSst();
            appendRecord(out, r);
        } else {
            appendRecord(out, r);
        }
    }

    // Lay out the substreams in their original order, keeping the bytes between them.
    std::vector<uint32_t> newBof(sheets.size());
    uint32_t oldPos = globalsEnd;
    for (size_t k : order) {
        out.append(base + oldPos, qsizetype(sheets[k].bof - oldPos));
        newBof[k] = uint32_t(out.size());
        BuiltSheet& b = built[k];
        if (b.indexData >= 0) {
            char* p = b.bytes.data() + b.indexData;
            const uint32_t len = u16(b.bytes.constData() + b.indexData - 2);
            if (b.rebuilt) {
                put32(p + 12, b.defColWidth ? newBof[k] + b.defColWidth : 0);
                for (size_t j = 0; j < b.dbcells.size(); ++j)
                    put32(p + 16 + 4 * j, newBof[k] + b.dbcells[j]);
            } else {
                const int64_t delta = int64_t(newBof[k]) - int64_t(sheets[k].bof);
                for (uint32_t off = 12; off + 4 <= len; off += 4) {
                    const uint32_t v = u32(p + off);
                    if (v)
                        put32(p + off, uint32_t(int64_t(v) + delta));
                }
            }
        }
        out.append(b.bytes);
        oldPos = sheets[k].end;
    }
    out.append(base + oldPos, qsizetype(stream.size()) - qsizetype(oldPos));
    for (size_t k = 0; k < sheets.size() && k < boundsheetData.size(); ++k)
        put32(out.data() + boundsheetData[k], newBof[k]);
    return out;
}

} // namespace xls
