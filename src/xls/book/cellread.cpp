#include "cellread.h"

#include "xls/biff/strings.h"

#include <algorithm>

namespace xls::book {

using namespace biff;

namespace {

constexpr uint16_t kRowOwnFormat = 0x0080; // ROW flags: fGhostDirty, the row has a format of its own
constexpr uint16_t kXfIndexMask = 0x0FFF;

// The text of a formula whose result is a string: the STRING record after the formula's other
// records, and its CONTINUE records. `it` stands just after the FORMULA record.
QString formulaText(RecordIterator it)
{
    Record r;
    while (it.next(&r) && belongsToPreviousCell(r.type)) {
        if (r.type != STRING)
            continue;
        QString s;
        ContinueReader(continuedPieces(r, it)).readString(&s, false);
        return s;
    }
    return {};
}

// Reads a sheet's cells into one table. Writers put the rows in order, so the cells are appended
// as they come and each row's start noted; once a row comes again after a later one (which the
// format allows), every cell's row is noted instead and the table is sorted by row at the end.
class CellReader {
public:
    CellReader(Book& book, Sheet& sh, uint32_t bytes);

    // One record of the sheet's own (not of a chart inside it); `after` stands just past it.
    void read(const Record& r, const RecordIterator& after);
    // After the last record: rows in order, each row's cells in column order, a repeated cell
    // keeping its last record.
    void finish();

private:
    void put(uint16_t row, CellRec c);
    void sortByRow();
    CellRec number(uint16_t col, uint16_t ixfe, uint32_t pos, NumberAt how) const;
    void readRow(const Record& r);
    void readCell(const Record& r, const RecordIterator& after);
    void readRun(const Record& r); // MULRK, MULBLANK
    void readFormula(const Record& r, const RecordIterator& after);

    Book& m_book;
    Sheet& m_sheet;
    std::vector<uint16_t> m_rowOf; // each cell's row, once rows came out of order
    bool m_inOrder = true;
};

CellReader::CellReader(Book& book, Sheet& sh, uint32_t bytes) : m_book(book), m_sheet(sh)
{
    // Room for as many cells as the sheet's bytes hold at six bytes a cell (a MULRK run): only the
    // part that is filled is ever touched, so the table takes the memory of its cells and is never
    // copied to grow. A sheet of blank runs, denser still, grows it.
    sh.cells.reserve(bytes / 6);
}

void CellReader::put(uint16_t row, CellRec c)
{
    Sheet& sh = m_sheet;
    if (m_inOrder && row + size_t(1) < sh.rowStart.size()) {
        // A row that came before: from here on every cell's row is noted.
        m_inOrder = false;
        m_rowOf.reserve(sh.cells.capacity());
        for (size_t r = 0; r + 1 < sh.rowStart.size(); ++r)
            m_rowOf.insert(m_rowOf.end(), sh.rowStart[r + 1] - sh.rowStart[r], uint16_t(r));
        m_rowOf.insert(m_rowOf.end(), sh.cells.size() - m_rowOf.size(), uint16_t(sh.rowStart.size() - 1));
    }
    if (m_inOrder) {
        // rowStart holds the start of every row up to this one; the last row is closed at the end.
        while (sh.rowStart.size() <= row)
            sh.rowStart.push_back(uint32_t(sh.cells.size()));
    } else {
        m_rowOf.push_back(row);
    }
    sh.cells.push_back(c);
}

// A stable counting sort of the cells by row, for rows that came out of order.
void CellReader::sortByRow()
{
    Sheet& sh = m_sheet;
    const size_t rows = size_t(*std::max_element(m_rowOf.begin(), m_rowOf.end())) + 1;
    sh.rowStart.assign(rows + 1, 0);
    for (uint16_t r : m_rowOf)
        ++sh.rowStart[size_t(r) + 1];
    for (size_t r = 0; r < rows; ++r)
        sh.rowStart[r + 1] += sh.rowStart[r];
    std::vector<uint32_t> next(sh.rowStart.begin(), sh.rowStart.end() - 1);
    std::vector<CellRec> sorted(sh.cells.size());
    for (size_t k = 0; k < sh.cells.size(); ++k)
        sorted[next[m_rowOf[k]]++] = sh.cells[k];
    sh.cells.swap(sorted);
    m_rowOf = {};
}

CellRec CellReader::number(uint16_t col, uint16_t ixfe, uint32_t pos, NumberAt how) const
{
    const bool date = ixfe < m_book.xfDate.size() && m_book.xfDate[ixfe];
    return CellRec{col, date ? CellType::DateTime : CellType::Number, how, pos};
}

void CellReader::readRow(const Record& r)
{
    Sheet& sh = m_sheet;
    const uint16_t rw = u16(r.data);
    if (u16(r.data + 12) & kRowOwnFormat) {
        if (sh.rowXf.size() <= rw)
            sh.rowXf.resize(size_t(rw) + 1, 0);
        sh.rowXf[rw] = uint16_t((u16(r.data + 14) & kXfIndexMask) + 1);
        sh.lastRow = std::max(sh.lastRow, int(rw) + 1);
    }
}

void CellReader::readRun(const Record& r)
{
    const uint16_t rw = u16(r.data), col = u16(r.data + 2);
    const uint32_t n = (uint32_t(r.len) - kCellHeader) / (r.type == MULRK ? 6 : 2);
    for (uint32_t k = 0; k < n; ++k) {
        const uint16_t c = uint16_t(col + k);
        if (r.type == MULRK) {
            const uint32_t at = 4 + k * 6; // the entry's format, then its RK value
            put(rw, number(c, u16(r.data + at), r.pos + 4 + at + 2, kRkAt));
        } else {
            put(rw, CellRec{c, CellType::Empty, 0, kNoString});
        }
    }
}

void CellReader::readFormula(const Record& r, const RecordIterator& after)
{
    const uint16_t rw = u16(r.data), col = u16(r.data + 2);
    const char* v = r.data + kCellHeader; // the cached result
    if (uint8_t(v[6]) != 0xFF || uint8_t(v[7]) != 0xFF) {
        put(rw, number(col, u16(r.data + 4), r.pos + 4 + kCellHeader, kDoubleAt));
        return;
    }
    switch (uint8_t(v[0])) {
    case 0: // a text result
        put(rw, CellRec{col, CellType::Text, 0, m_book.sst.add(formulaText(after))});
        break;
    case 1:
        put(rw, CellRec{col, CellType::Boolean, uint8_t(v[2]), kNoString});
        break;
    case 2:
        put(rw, CellRec{col, CellType::Error, uint8_t(v[2]), kNoString});
        break;
    default: // an empty text
        put(rw, CellRec{col, CellType::Text, 0, kNoString});
        break;
    }
}

void CellReader::read(const Record& r, const RecordIterator& after)
{
    if (!r.hasFields())
        return;
    switch (r.type) {
    case COLINFO:
        m_sheet.colInfo.push_back({u16(r.data), u16(r.data + 2), u16(r.data + 6)});
        break;
    case DEFAULTROWHEIGHT:
        m_sheet.defaultRowHeight = u16(r.data + 2);
        break;
    case HEADER: // empty when the sheet prints no header; otherwise one unicode string
        if (r.len >= 3)
            ContinueReader({{r.data, uint32_t(r.len)}}).readString(&m_sheet.pageHeader, false);
        break;
    case MERGECELLS:
        for (uint32_t k = 0, n = u16(r.data); k < n && 2 + 8 * (k + 1) <= r.len; ++k) {
            const char* m = r.data + 2 + 8 * k;
            m_sheet.merges.push_back({u16(m), u16(m + 2), u16(m + 4), u16(m + 6)});
        }
        break;
    case ROW:
        readRow(r);
        break;
    default:
        if (isCellRecord(r.type))
            readCell(r, after);
        break;
    }
}

void CellReader::readCell(const Record& r, const RecordIterator& after)
{
    const uint16_t rw = u16(r.data), col = u16(r.data + 2), ixfe = u16(r.data + 4);
    switch (r.type) {
    case BLANK:
        put(rw, CellRec{col, CellType::Empty, 0, kNoString});
        break;
    case MULBLANK:
    case MULRK:
        readRun(r);
        break;
    case NUMBER:
        put(rw, number(col, ixfe, r.pos + 4 + kCellHeader, kDoubleAt));
        break;
    case RK:
        put(rw, number(col, ixfe, r.pos + 4 + kCellHeader, kRkAt));
        break;
    case LABELSST: {
        const uint32_t isst = u32(r.data + 6);
        m_book.sst.maxIsst = std::max<int64_t>(m_book.sst.maxIsst, isst);
        put(rw, CellRec{col, CellType::Text, 0, isst < m_book.sst.count ? isst : kNoString});
        break;
    }
    case LABEL:
    case RSTRING: {
        QString s;
        ContinueReader({{r.data + kCellHeader, uint32_t(r.len) - kCellHeader}}).readString(&s, false);
        put(rw, CellRec{col, CellType::Text, 0, m_book.sst.add(std::move(s))});
        break;
    }
    case BOOLERR:
        put(rw, CellRec{col, r.data[7] ? CellType::Error : CellType::Boolean, uint8_t(r.data[6]), kNoString});
        break;
    case FORMULA:
        readFormula(r, after);
        break;
    default:
        break;
    }
}

void CellReader::finish()
{
    Sheet& sh = m_sheet;
    if (!m_inOrder)
        sortByRow();
    else if (!sh.rowStart.empty())
        sh.rowStart.push_back(uint32_t(sh.cells.size()));
    std::vector<CellRec>& cells = sh.cells;
    const auto byCol = [](const CellRec& a, const CellRec& b) { return a.col < b.col; };
    const auto unordered = [](const CellRec& a, const CellRec& b) { return b.col <= a.col; };
    uint32_t out = 0; // where the next kept cell goes: repeated cells are dropped in place
    for (size_t r = 0; r < sh.rowCount(); ++r) {
        const auto first = cells.begin() + sh.rowStart[r], last = cells.begin() + sh.rowStart[r + 1];
        sh.rowStart[r] = out;
        if (std::adjacent_find(first, last, unordered) == last && out == uint32_t(first - cells.begin())) {
            out += uint32_t(last - first); // in order and in place: nothing to move
            continue;
        }
        std::stable_sort(first, last, byCol);
        for (auto it = first; it != last; ++it) {
            if (out > sh.rowStart[r] && cells[out - 1].col == it->col)
                cells[out - 1] = *it; // a repeated cell keeps its last record
            else
                cells[out++] = *it;
        }
    }
    if (sh.rowCount())
        sh.rowStart.back() = out;
    cells.resize(out);
    sh.lastRow = std::max(sh.lastRow, int(sh.rowCount())); // every row of the table holds a cell
}

} // namespace

void readCells(Book& book, Sheet& sh)
{
    const QByteArray& stream = book.stream;
    if (uint64_t(sh.bof) + 4 > uint64_t(stream.size()) || sh.bof < book.globalsEnd ||
        u16(stream.constData() + sh.bof) != BOF)
        return; // not located: a sheet with no cells, and the workbook cannot be written
    RecordIterator it(stream, sh.bof, uint32_t(stream.size()));
    Record r;
    if (!it.next(&r) || !r.hasFields())
        return;
    sh.located = true;
    sh.worksheet = u16(r.data + 2) == DT_WORKSHEET && sh.dt == 0;
    // The sheet's bytes: up to the next sheet's BOF, or the stream's end.
    uint32_t limit = uint32_t(stream.size());
    for (const Sheet& other : book.sheets)
        if (other.bof > sh.bof)
            limit = std::min(limit, other.bof);
    CellReader reader(book, sh, sh.worksheet ? limit - sh.bof : 0);
    StringTable& sst = book.sst;
    sst.refs.resize(sst.count);
    bool closed = false;
    while (!closed && it.next(&r)) {
        // References to the SST from any cell of the substream, a macro sheet's included, tell which
        // strings only an edited cell uses.
        if (r.type == LABELSST && r.hasFields() && u32(r.data + 6) < sst.count)
            ++sst.refs[u32(r.data + 6)];
        if (r.type == EOF_ && r.depth == 1) {
            closed = true;
            sh.end = r.end();
        } else if (r.depth == 1 && sh.worksheet) {
            reader.read(r, it); // the sheet's own records, not those of a chart inside it
        }
    }
    if (!closed) {
        sh.located = false; // no closing EOF: readable, not writable
        sh.end = sh.bof;
    }
    reader.finish();
}

} // namespace xls::book
