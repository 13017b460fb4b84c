#include "celltable.h"

#include "xls/book/hyperlinks.h"
#include "xls/book/rowheight.h"
#include "xls/error.h"

#include <algorithm>
#include <map>
#include <optional>

namespace xls::book {

using namespace biff;

namespace {

// A formula's first token follows the cell header, cached value, flags, chn and cce; a formula that
// is part of a shared formula, an array or a data table consists of one ptgExp or ptgTbl token.
constexpr uint32_t kFormulaFirstToken = kCellHeader + 16;
constexpr uint32_t kFormulaFlags = kCellHeader + 8;
constexpr uint16_t kFormulaShared = 0x0008; // fShrFmla: the formula is part of a shared formula
constexpr uint8_t kPtgExp = 0x01, kPtgTbl = 0x02;

constexpr size_t kRowsPerBlock = 32;
constexpr uint16_t kDefaultCellXf = 0x0F;     // the cell format of the Normal style
constexpr uint16_t kRowFlagsDefault = 0x0100; // ROW flags: bit 8 is always set
constexpr uint16_t kRowHeightByHand = 0x0060; // ROW flags: hidden, or height set by hand
constexpr uint16_t kRowHeightMask = 0x7FFF;   // ROW height: twips; bit 15 marks the default height

// A cell record as it goes into the new table: copied from the old stream together with the
// records that belong to it, or made here.
struct Unit {
    uint16_t col = 0, lastCol = 0;
    uint16_t type = 0;
    const char* src = nullptr; // records copied from the source stream
    uint32_t srcLen = 0;
    QByteArray own; // or bytes made here
    // The formula spans several cells (the cell holds part of it, or its definition follows).
    std::optional<FormulaGroupKind> group;

    void appendTo(QByteArray& out) const
    {
        if (src)
            out.append(src, qsizetype(srcLen));
        else
            out.append(own);
    }
    const char* body() const { return (src ? src : own.constData()) + 4; }
};

struct RowData {
    const char* rowRec = nullptr; // the ROW record (header included), if any
    QByteArray ownRow;
    std::vector<Unit> units;
};

// The rows and columns the edits reach, to widen DIMENSIONS.
struct Extent {
    uint32_t rwMic = UINT32_MAX, rwMac = 0;
    uint16_t colMic = UINT16_MAX, colMac = 0;

    void add(uint16_t row, uint16_t col)
    {
        rwMic = std::min<uint32_t>(rwMic, row);
        rwMac = std::max<uint32_t>(rwMac, uint32_t(row) + 1);
        colMic = std::min(colMic, col);
        colMac = std::max<uint16_t>(colMac, uint16_t(col + 1));
    }
};

Unit singleCell(uint16_t type, uint16_t row, uint16_t col, uint16_t ixfe, const char* body, uint32_t bodyLen)
{
    Unit u;
    u.col = u.lastCol = col;
    u.type = type;
    QByteArray data(kCellHeader, '\0');
    put16(data.data(), row);
    put16(data.data() + 2, col);
    put16(data.data() + 4, ixfe);
    data.append(body, qsizetype(bodyLen));
    appendRecord(u.own, type, data.constData(), uint32_t(data.size()));
    return u;
}

// The cells [from, to] of a MULRK or MULBLANK record (body `data`, first column `first`) as one
// record, or as a single RK or BLANK.
Unit runPart(uint16_t type, const char* data, uint16_t row, uint16_t first, uint16_t from, uint16_t to)
{
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

FormulaGroupKind groupKind(uint16_t definition)
{
    return definition == SHRFMLA ? FormulaGroupKind::Shared
           : definition == ARRAY ? FormulaGroupKind::Array
                                 : FormulaGroupKind::Table;
}

// The cells a SHRFMLA, ARRAY or TABLE record among the `len` bytes of records at `p` covers, as
// "R12:S15"; empty without one.
QString definitionRange(const char* p, uint32_t len)
{
    for (uint32_t at = 0; at + 4 <= len;) {
        const uint16_t type = u16(p + at), size = u16(p + at + 2);
        if (isFormulaDefinition(type) && size >= 6 && at + 4 + size <= len) {
            const char* ref = p + at + 4; // rwFirst, rwLast, colFirst, colLast
            return cellName(u16(ref) + 1, uint8_t(ref[4]) + 1) + QLatin1Char(':') +
                   cellName(u16(ref + 2) + 1, uint8_t(ref[5]) + 1);
        }
        at += 4 + size;
    }
    return {};
}

class CellTableWriter {
public:
    CellTableWriter(const Book& book, size_t sheet, const NewStrings& strings)
        : m_book(book), m_sheet(book.sheets[sheet]), m_index(sheet), m_strings(strings),
          m_base(book.stream.constData()), m_recs(tokenize(book.stream, m_sheet.bof, m_sheet.end))
    {
    }
    BuiltSheet write(int64_t* refDelta);

private:
    void findTable();
    size_t placeForEmptyTable() const;
    void collectRows();
    size_t collectCell(size_t k);
    void applyEdit(uint32_t key, const Edit& e, int64_t* refDelta);
    uint16_t defaultFormat(uint16_t row, uint16_t col) const;
    QString groupRange(const Unit& u) const;
    uint16_t removeCovering(RowData& rd, uint16_t row, uint16_t col, uint16_t ixfe, std::vector<Unit>* replacement,
                            int64_t* refDelta) const;
    void fitRowRecords();
    uint16_t rowHeight(uint16_t row, const RowData& rd, uint16_t minimum);
    void writePrefix(BuiltSheet& b, size_t blocks) const;
    void writeDimensions(QByteArray& out, const Record& r) const;
    void writeBlocks(BuiltSheet& b, const std::vector<uint16_t>& rowOrder) const;
    void writeTail(BuiltSheet& b) const;

    const Book& m_book;
    const Sheet& m_sheet;
    size_t m_index;
    const NewStrings& m_strings;
    const char* m_base;
    std::vector<Record> m_recs;
    size_t m_tStart = 0, m_tEnd = 0; // the cell table: records [m_tStart, m_tEnd)
    std::map<uint16_t, RowData> m_rows;
    std::vector<const Record*> m_moved; // other records inside the table: they go after it
    Extent m_edited;
    std::optional<RowFitter> m_fitter; // made for the first row with a text
};

// The cell table runs from the first ROW, cell or DBCELL record of the sheet's own to the last,
// with the records that belong to the last cell.
void CellTableWriter::findTable()
{
    m_tStart = m_recs.size();
    m_tEnd = 0;
    for (size_t k = 0; k < m_recs.size(); ++k) {
        const Record& r = m_recs[k];
        if (r.depth == 1 && (r.type == ROW || isCellRecord(r.type) || r.type == DBCELL)) {
            m_tStart = std::min(m_tStart, k);
            m_tEnd = k;
        }
    }
    if (m_tStart == m_recs.size()) {
        m_tStart = m_tEnd = placeForEmptyTable();
        return;
    }
    while (m_tEnd + 1 < m_recs.size() && belongsToPreviousCell(m_recs[m_tEnd + 1].type))
        ++m_tEnd;
    ++m_tEnd;
}

// No cells yet: the table goes after DIMENSIONS (or before the window settings or EOF).
size_t CellTableWriter::placeForEmptyTable() const
{
    const size_t last = m_recs.size() - 1;
    const auto dims = std::find_if(m_recs.begin(), m_recs.end(),
                                   [](const Record& r) { return r.depth == 1 && r.type == DIMENSIONS; });
    if (dims != m_recs.end() && size_t(dims - m_recs.begin()) + 1 != last)
        return size_t(dims - m_recs.begin()) + 1;
    for (size_t k = 1; k < m_recs.size(); ++k)
        if (m_recs[k].depth == 1 && (m_recs[k].type == WINDOW2 || m_recs[k].type == EOF_))
            return k;
    return last;
}

// Sorts the table's records into rows of cells (each with the records that belong to it) and the
// other records.
void CellTableWriter::collectRows()
{
    for (size_t k = m_tStart; k < m_tEnd;) {
        const Record& r = m_recs[k];
        if (r.depth == 1 && r.type == ROW && r.hasFields()) {
            m_rows[u16(r.data)].rowRec = m_base + r.pos;
            ++k;
        } else if (r.depth == 1 && r.type == DBCELL) {
            ++k; // written anew
        } else if (r.depth == 1 && isCellRecord(r.type) && r.len >= kCellHeader) {
            k = collectCell(k);
        } else {
            m_moved.push_back(&r);
            ++k;
        }
    }
    for (auto& [rw, rd] : m_rows)
        std::stable_sort(rd.units.begin(), rd.units.end(), [](const Unit& a, const Unit& b) { return a.col < b.col; });
}

// The cell record m_recs[k] and the records that belong to it; returns the index after them.
size_t CellTableWriter::collectCell(size_t k)
{
    const Record& r = m_recs[k];
    Unit u;
    u.type = r.type;
    u.col = u.lastCol = u16(r.data + 2);
    if (r.type == MULRK || r.type == MULBLANK) {
        const uint32_t n = (uint32_t(r.len) - kCellHeader) / (r.type == MULRK ? 6 : 2);
        if (n == 0)
            return k + 1; // an empty run holds no cell: drop it
        u.lastCol = uint16_t(u.col + n - 1);
    }
    size_t j = k + 1;
    while (j < m_tEnd && m_recs[j].depth == 1 && belongsToPreviousCell(m_recs[j].type)) {
        if (isFormulaDefinition(m_recs[j].type))
            u.group = groupKind(m_recs[j].type);
        ++j;
    }
    const uint32_t endPos = j < m_recs.size() ? m_recs[j].pos : m_recs[j - 1].end();
    u.src = m_base + r.pos;
    u.srcLen = endPos - r.pos;
    if (r.type == FORMULA && r.len > kFormulaFirstToken && !u.group) {
        // A member of a shared formula or an array formula refers to the cell that holds its definition.
        const uint8_t ptg = uint8_t(r.data[kFormulaFirstToken]);
        if (ptg == kPtgExp)
            u.group =
                (u16(r.data + kFormulaFlags) & kFormulaShared) ? FormulaGroupKind::Shared : FormulaGroupKind::Array;
        else if (ptg == kPtgTbl)
            u.group = FormulaGroupKind::Table;
    }
    m_rows[u16(r.data)].units.push_back(std::move(u));
    return j;
}

// The format of a new cell: the row's, else its column's, else the default one; never a style XF.
uint16_t CellTableWriter::defaultFormat(uint16_t row, uint16_t col) const
{
    uint16_t ixfe = kDefaultCellXf;
    if (row < m_sheet.rowXf.size() && m_sheet.rowXf[row])
        ixfe = uint16_t(m_sheet.rowXf[row] - 1);
    else
        for (const ColInfo& ci : m_sheet.colInfo)
            if (col >= ci.first && col <= ci.last)
                ixfe = ci.ixfe;
    const std::vector<bool>& style = m_book.xfStyle;
    if (ixfe < style.size() && !style[ixfe])
        return ixfe;
    const auto cellXf = std::find(style.begin(), style.end(), false);
    return cellXf == style.end() ? 0 : uint16_t(cellXf - style.begin());
}

// The cells of the formula group that `u` belongs to: its own definition, or that of the cell its
// first token refers to.
QString CellTableWriter::groupRange(const Unit& u) const
{
    const auto ownRange = [](const Unit& x) {
        return x.src ? definitionRange(x.src, x.srcLen) : definitionRange(x.own.constData(), uint32_t(x.own.size()));
    };
    QString range = ownRange(u);
    const uint32_t len = u.src ? u16(u.src + 2) : 0;
    if (!range.isEmpty() || u.type != FORMULA || len < kFormulaFirstToken + 5)
        return range;
    const char* token = u.body() + kFormulaFirstToken; // ptgExp or ptgTbl: row and column of the definition
    const auto row = m_rows.find(u16(token + 1));
    if (row == m_rows.end())
        return {};
    const uint16_t col = u16(token + 3);
    for (const Unit& host : row->second.units)
        if (host.col == col && host.type == FORMULA)
            return ownRange(host);
    return {};
}

// Removes every record that covers (row, col) (a file may repeat a cell; the last one counts),
// keeping the other cells of a run in `replacement`. Returns the format of the removed cell, or
// `ixfe` when there was none.
uint16_t CellTableWriter::removeCovering(RowData& rd, uint16_t row, uint16_t col, uint16_t ixfe,
                                         std::vector<Unit>* replacement, int64_t* refDelta) const
{
    for (;;) {
        auto it = std::find_if(rd.units.begin(), rd.units.end(),
                               [col](const Unit& u) { return col >= u.col && col <= u.lastCol; });
        if (it == rd.units.end())
            return ixfe;
        const Unit old = *it;
        const char* data = old.body();
        if (old.group)
            throw formulaGroupError(m_book.path, m_sheet.name, row + 1, col + 1, *old.group, groupRange(old));
        if (old.type == MULRK || old.type == MULBLANK) {
            const uint32_t each = old.type == MULRK ? 6 : 2;
            ixfe = u16(data + 4 + (col - old.col) * each);
            if (col > old.col)
                replacement->push_back(runPart(old.type, data, row, old.col, old.col, uint16_t(col - 1)));
            if (col < old.lastCol)
                replacement->push_back(runPart(old.type, data, row, old.col, uint16_t(col + 1), old.lastCol));
        } else {
            ixfe = u16(data + 4);
            if (old.type == LABELSST)
                --*refDelta;
        }
        rd.units.erase(it);
    }
}

void CellTableWriter::applyEdit(uint32_t key, const Edit& e, int64_t* refDelta)
{
    const uint16_t row = uint16_t(editRow(key)), col = editCol(key);
    m_edited.add(row, col);
    RowData& rd = m_rows[row];
    std::vector<Unit> replacement;
    const uint16_t ixfe = removeCovering(rd, row, col, defaultFormat(row, col), &replacement, refDelta);
    if (e.error >= 0) {
        // FORMULA: the stored result (an error: 2, 0, the code, 0 0 0, FF FF), no flags, no chain,
        // and the formula itself, the error constant (ptgErr).
        char body[8 + 2 + 4 + 2 + 2] = {2, 0, char(e.error), 0, 0, 0, char(0xFF), char(0xFF)};
        put16(body + 14, 2);
        body[16] = 0x1C;
        body[17] = char(e.error);
        replacement.push_back(singleCell(FORMULA, row, col, ixfe, body, sizeof body));
    } else if (e.text) {
        char body[4];
        put32(body, m_strings.isst.at({m_index, key}));
        replacement.push_back(singleCell(LABELSST, row, col, ixfe, body, 4));
        ++*refDelta;
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

// Every row with cells gets a ROW record whose column span covers them; rows without edits keep
// theirs as it was.
void CellTableWriter::fitRowRecords()
{
    for (auto& [rw, rd] : m_rows) {
        if (rd.units.empty() && !rd.rowRec)
            continue;
        const auto firstEdit = m_sheet.edits.lower_bound(editKey(rw, 0));
        const bool touched = firstEdit != m_sheet.edits.end() && editRow(firstEdit->first) == rw;
        if (rd.rowRec && !touched)
            continue;
        QByteArray rec;
        uint16_t mic = UINT16_MAX, mac = 0;
        if (rd.rowRec) {
            rec = QByteArray(rd.rowRec, 4 + u16(rd.rowRec + 2));
            mic = u16(rec.constData() + 6);
            mac = u16(rec.constData() + 8);
            // A row whose height was not set by hand (nor hidden) grows to show a new wrapped text;
            // it never shrinks, as its other cells may need the height it has.
            if (rec.size() >= 20 && !(u16(rec.constData() + 16) & kRowHeightByHand)) {
                const uint16_t had = u16(rec.constData() + 10) & kRowHeightMask;
                const uint16_t need = rowHeight(rw, rd, had);
                if (need > had)
                    put16(rec.data() + 10, need);
            }
        } else {
            rec = QByteArray(20, '\0');
            put16(rec.data(), ROW);
            put16(rec.data() + 2, 16);
            put16(rec.data() + 4, rw);
            put16(rec.data() + 10, rowHeight(rw, rd, m_sheet.defaultRowHeight));
            put16(rec.data() + 16, kRowFlagsDefault);
            put16(rec.data() + 18, kDefaultCellXf);
        }
        for (const Unit& u : rd.units) {
            mic = std::min(mic, u.col);
            mac = std::max<uint16_t>(mac, uint16_t(u.lastCol + 1));
        }
        put16(rec.data() + 6, mic == UINT16_MAX ? 0 : mic);
        put16(rec.data() + 8, mac);
        rd.ownRow = rec;
        rd.rowRec = nullptr;
    }
}

// The height a row needs for the wrapped texts written into it, at least `minimum`. A row the
// engine adds takes it without marking it as set by hand, so a spreadsheet program fits the row
// anew when a cell of it changes.
uint16_t CellTableWriter::rowHeight(uint16_t row, const RowData& rd, uint16_t minimum)
{
    std::vector<RowText> texts;
    for (auto it = m_sheet.edits.lower_bound(editKey(row, 0)); it != m_sheet.edits.end() && editRow(it->first) == row;
         ++it) {
        const uint16_t col = editCol(it->first);
        const auto unit = std::find_if(rd.units.begin(), rd.units.end(), [col](const Unit& u) { return u.col == col; });
        if (it->second.text && !it->second.s.isEmpty() && unit != rd.units.end())
            texts.push_back({col, u16(unit->body() + 4), &it->second.s});
    }
    if (texts.empty())
        return minimum;
    if (!m_fitter)
        m_fitter.emplace(m_book, m_recs);
    return m_fitter->height(texts, minimum);
}

void CellTableWriter::writeDimensions(QByteArray& out, const Record& r) const
{
    if (m_edited.rwMac == 0) { // no cell edited: the used range stays
        appendRecord(out, r);
        return;
    }
    QByteArray body(r.data, r.len);
    uint32_t mic = u32(r.data), mac = u32(r.data + 4);
    uint16_t cmic = u16(r.data + 8), cmac = u16(r.data + 10);
    const Extent& e = m_edited;
    if (mac <= mic) {
        mic = e.rwMic;
        mac = e.rwMac;
        cmic = e.colMic;
        cmac = e.colMac;
    } else {
        mic = std::min(mic, e.rwMic);
        mac = std::max(mac, e.rwMac);
        cmic = std::min(cmic, e.colMic);
        cmac = std::max(cmac, e.colMac);
    }
    put32(body.data(), mic);
    put32(body.data() + 4, mac);
    put16(body.data() + 8, cmic);
    put16(body.data() + 10, cmac);
    appendRecord(out, DIMENSIONS, body.constData(), r.len);
}

// The records before the cell table; INDEX gets room for `blocks` DBCELL positions.
void CellTableWriter::writePrefix(BuiltSheet& b, size_t blocks) const
{
    QByteArray& out = b.bytes;
    for (size_t k = 0; k < m_tStart; ++k) {
        const Record& r = m_recs[k];
        const bool own = r.depth == 1;
        if (own && r.type == INDEX && r.hasFields()) {
            b.indexData = int(out.size() + 4);
            const QByteArray body(qsizetype(16 + 4 * blocks), '\0');
            appendRecord(out, INDEX, body.constData(), uint32_t(body.size()));
        } else if (own && r.type == DIMENSIONS && r.hasFields()) {
            writeDimensions(out, r);
        } else {
            if (own && r.type == DEFCOLWIDTH)
                b.defColWidth = uint32_t(out.size());
            appendRecord(out, r);
        }
    }
}

// The rows in blocks of 32: the block's ROW records, then the cells of each row, then a DBCELL
// with, for every row of the block, the offset to its first cell (for a row without cells, to
// where the next row's cells begin), counted from the end of the first ROW and then from the
// previous row's place, as Excel writes it.
void CellTableWriter::writeBlocks(BuiltSheet& b, const std::vector<uint16_t>& rowOrder) const
{
    QByteArray& out = b.bytes;
    for (size_t from = 0; from < rowOrder.size(); from += kRowsPerBlock) {
        const size_t to = std::min(rowOrder.size(), from + kRowsPerBlock);
        const uint32_t blockStart = uint32_t(out.size());
        uint32_t firstRowEnd = 0;
        for (size_t k = from; k < to; ++k) {
            const RowData& rd = m_rows.at(rowOrder[k]);
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
            const uint32_t cellsStart = uint32_t(out.size());
            for (const Unit& u : m_rows.at(rowOrder[k]).units)
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
}

// The records after the cell table, with the new hyperlinks in their place; a link the sheet had on
// a cell that gets a new one is dropped.
void CellTableWriter::writeTail(BuiltSheet& b) const
{
    const size_t place = m_sheet.links.empty() ? m_recs.size() : hlinkPlace(m_recs, m_tEnd);
    for (size_t k = m_tEnd; k < m_recs.size(); ++k) {
        if (k == place)
            for (const auto& [key, link] : m_sheet.links)
                b.bytes.append(hlinkRecord(uint16_t(editRow(key)), editCol(key), link));
        if (linkReplaced(m_recs[k], m_sheet)) {
            if (k + 1 < m_recs.size() && isLinkTooltip(m_recs[k + 1]))
                ++k;
            continue;
        }
        appendRecord(b.bytes, m_recs[k]);
    }
}

BuiltSheet CellTableWriter::write(int64_t* refDelta)
{
    findTable();
    collectRows();
    for (const auto& [key, e] : m_sheet.edits)
        applyEdit(key, e, refDelta);
    fitRowRecords();
    std::vector<uint16_t> rowOrder;
    for (const auto& [rw, rd] : m_rows)
        if (rd.rowRec || !rd.ownRow.isEmpty())
            rowOrder.push_back(rw);

    BuiltSheet b;
    b.bytes.reserve(qsizetype(m_sheet.end - m_sheet.bof) + 64 * qsizetype(m_sheet.edits.size()) + 1024);
    writePrefix(b, (rowOrder.size() + kRowsPerBlock - 1) / kRowsPerBlock);
    writeBlocks(b, rowOrder);
    for (const Record* r : m_moved)
        appendRecord(b.bytes, *r);
    writeTail(b);
    if (b.indexData >= 0) {
        char* p = b.bytes.data() + b.indexData;
        put32(p + 4, rowOrder.empty() ? 0 : rowOrder.front());
        put32(p + 8, rowOrder.empty() ? 0 : uint32_t(rowOrder.back()) + 1);
    }
    return b;
}

} // namespace

BuiltSheet rebuildSheet(const Book& book, size_t sheet, const NewStrings& strings, int64_t* refDelta)
{
    const Sheet& sh = book.sheets[sheet];
    if (!sh.worksheet)
        throw makeError(ErrorCode::Unsupported, book.path,
                        QStringLiteral("Аркуш «%1» не є звичайним аркушем.").arg(sh.name));
    return CellTableWriter(book, sheet, strings).write(refDelta);
}

} // namespace xls::book
