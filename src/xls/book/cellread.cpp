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

class CellReader {
public:
    CellReader(Book& book, Sheet& sh) : m_book(book), m_sheet(sh) {}

    // One record of the sheet's own (not of a chart inside it); `after` stands just past it.
    void read(const Record& r, const RecordIterator& after);

private:
    void put(uint16_t row, CellRec c);
    CellRec number(uint16_t col, uint16_t ixfe, double v) const;
    void readRow(const Record& r);
    void readCell(const Record& r, const RecordIterator& after);
    void readRun(const Record& r); // MULRK, MULBLANK
    void readFormula(const Record& r, const RecordIterator& after);

    Book& m_book;
    Sheet& m_sheet;
};

void CellReader::put(uint16_t row, CellRec c)
{
    if (m_sheet.rows.size() <= row)
        m_sheet.rows.resize(size_t(row) + 1);
    m_sheet.rows[row].push_back(c);
    m_sheet.lastRow = std::max(m_sheet.lastRow, int(row) + 1);
}

CellRec CellReader::number(uint16_t col, uint16_t ixfe, double v) const
{
    const bool date = ixfe < m_book.xfDate.size() && m_book.xfDate[ixfe];
    return CellRec{col, date ? CellType::DateTime : CellType::Number, 0, kNoString, v};
}

void CellReader::readRow(const Record& r)
{
    Sheet& sh = m_sheet;
    const uint16_t rw = u16(r.data);
    // The row's column span sizes its cell list once, before its cells arrive.
    const uint16_t span = uint16_t(std::min<int>(256, std::max(0, int(u16(r.data + 4)) - int(u16(r.data + 2)))));
    if (span) {
        if (sh.rows.size() <= rw)
            sh.rows.resize(size_t(rw) + 1);
        sh.rows[rw].reserve(span);
    }
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
    const uint32_t each = r.type == MULRK ? 6 : 2;
    const uint32_t n = (uint32_t(r.len) - kCellHeader) / each;
    for (uint32_t k = 0; k < n; ++k) {
        const char* e = r.data + 4 + k * each;
        const uint16_t c = uint16_t(col + k);
        if (r.type == MULRK)
            put(rw, number(c, u16(e), decodeRk(u32(e + 2))));
        else
            put(rw, CellRec{c, CellType::Empty, 0, kNoString, 0});
    }
}

void CellReader::readFormula(const Record& r, const RecordIterator& after)
{
    const uint16_t rw = u16(r.data), col = u16(r.data + 2);
    const char* v = r.data + kCellHeader; // the cached result
    if (uint8_t(v[6]) != 0xFF || uint8_t(v[7]) != 0xFF) {
        put(rw, number(col, u16(r.data + 4), f64(v)));
        return;
    }
    switch (uint8_t(v[0])) {
    case 0: // a text result
        put(rw, CellRec{col, CellType::Text, 0, m_book.sst.add(formulaText(after)), 0});
        break;
    case 1:
        put(rw, CellRec{col, CellType::Boolean, uint8_t(v[2]), kNoString, 0});
        break;
    case 2:
        put(rw, CellRec{col, CellType::Error, uint8_t(v[2]), kNoString, 0});
        break;
    default: // an empty text
        put(rw, CellRec{col, CellType::Text, 0, kNoString, 0});
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
        put(rw, CellRec{col, CellType::Empty, 0, kNoString, 0});
        break;
    case MULBLANK:
    case MULRK:
        readRun(r);
        break;
    case NUMBER:
        put(rw, number(col, ixfe, f64(r.data + 6)));
        break;
    case RK:
        put(rw, number(col, ixfe, decodeRk(u32(r.data + 6))));
        break;
    case LABELSST: {
        const uint32_t isst = u32(r.data + 6);
        m_book.sst.maxIsst = std::max<int64_t>(m_book.sst.maxIsst, isst);
        put(rw, CellRec{col, CellType::Text, 0, isst < m_book.sst.count ? isst : kNoString, 0});
        break;
    }
    case LABEL:
    case RSTRING: {
        QString s;
        ContinueReader({{r.data + kCellHeader, uint32_t(r.len) - kCellHeader}}).readString(&s, false);
        put(rw, CellRec{col, CellType::Text, 0, m_book.sst.add(std::move(s)), 0});
        break;
    }
    case BOOLERR:
        put(rw, CellRec{col, r.data[7] ? CellType::Error : CellType::Boolean, uint8_t(r.data[6]), kNoString, 0});
        break;
    case FORMULA:
        readFormula(r, after);
        break;
    default:
        break;
    }
}

// Cells of a row in column order; a repeated cell keeps its last record.
void sortRows(Sheet& sh)
{
    for (auto& row : sh.rows) {
        const auto unordered = [](const CellRec& a, const CellRec& b) { return b.col <= a.col; };
        if (std::adjacent_find(row.begin(), row.end(), unordered) == row.end())
            continue;
        std::stable_sort(row.begin(), row.end(), [](const CellRec& a, const CellRec& b) { return a.col < b.col; });
        std::vector<CellRec> dedup;
        for (const CellRec& c : row) {
            if (!dedup.empty() && dedup.back().col == c.col)
                dedup.back() = c;
            else
                dedup.push_back(c);
        }
        row.swap(dedup);
    }
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
    CellReader reader(book, sh);
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
    sortRows(sh);
}

} // namespace xls::book
