#include "xls/biff/strings.h"
#include "xls/book/model.h"

#include <algorithm>

namespace xls {

using namespace biff;

void Workbook::Impl::parseSheet(Sheet& sh)
{
    if (uint64_t(sh.bof) + 4 > uint64_t(stream.size()) || sh.bof < globalsEnd ||
        u16(stream.constData() + sh.bof) != BOF)
        return; // not located: a sheet with no cells, and the workbook cannot be written
    const std::vector<Record> recs = tokenize(stream, sh.bof, uint32_t(stream.size()));
    if (recs.empty() || !recs[0].hasFields())
        return;
    sh.located = true;
    sh.worksheet = u16(recs[0].data + 2) == DT_WORKSHEET && sh.dt == 0;
    size_t i = 0;
    for (; i < recs.size(); ++i) {
        const Record& r = recs[i];
        if (r.type == EOF_ && r.depth == 1)
            break;
        // Only the sheet's own records, not those of a chart inside it.
        if (r.depth != 1 || r.type == BOF || r.type == EOF_ || !sh.worksheet || !r.hasFields())
            continue;
        if (r.type == COLINFO) {
            sh.colInfo.push_back({u16(r.data), u16(r.data + 2), u16(r.data + 6)});
            continue;
        }
        if (r.type == DEFAULTROWHEIGHT) {
            sh.defaultRowHeight = u16(r.data + 2);
            continue;
        }
        if (r.type == ROW) {
            const uint16_t rw = u16(r.data);
            const uint16_t flags = u16(r.data + 12);
            // The row's column span sizes its cell list once, before its cells arrive.
            const uint16_t span =
                uint16_t(std::min<int>(256, std::max(0, int(u16(r.data + 4)) - int(u16(r.data + 2)))));
            if (span) {
                if (sh.rows.size() <= rw)
                    sh.rows.resize(size_t(rw) + 1);
                sh.rows[rw].reserve(span);
            }
            if (flags & 0x80) {
                if (sh.rowXf.size() <= rw)
                    sh.rowXf.resize(size_t(rw) + 1, 0);
                sh.rowXf[rw] = uint16_t((u16(r.data + 14) & 0x0FFF) + 1);
                sh.lastRow = std::max(sh.lastRow, int(rw) + 1);
            }
            continue;
        }
        if (!isCellRecord(r.type))
            continue;
        const uint16_t rw = u16(r.data);
        const uint16_t col = u16(r.data + 2);
        auto put = [&sh](uint16_t row, CellRec c) {
            if (sh.rows.size() <= row)
                sh.rows.resize(size_t(row) + 1);
            sh.rows[row].push_back(c);
            sh.lastRow = std::max(sh.lastRow, int(row) + 1);
        };
        auto numberCell = [this](uint16_t c, uint16_t ixfe, double v) {
            const bool date = ixfe < xfDate.size() && xfDate[ixfe];
            return CellRec{c, date ? CellType::DateTime : CellType::Number, 0, kNoString, v};
        };
        const uint16_t ixfe = u16(r.data + 4);
        switch (r.type) {
        case BLANK:
            put(rw, CellRec{col, CellType::Empty, 0, kNoString, 0});
            break;
        case MULBLANK:
        case MULRK: {
            const uint32_t each = r.type == MULRK ? 6 : 2;
            const uint32_t n = (uint32_t(r.len) - kCellHeader) / each;
            for (uint32_t k = 0; k < n; ++k) {
                const char* e = r.data + 4 + k * each;
                const uint16_t c = uint16_t(col + k);
                if (r.type == MULRK)
                    put(rw, numberCell(c, u16(e), decodeRk(u32(e + 2))));
                else
                    put(rw, CellRec{c, CellType::Empty, 0, kNoString, 0});
            }
            break;
        }
        case NUMBER:
            put(rw, numberCell(col, ixfe, f64(r.data + 6)));
            break;
        case RK:
            put(rw, numberCell(col, ixfe, decodeRk(u32(r.data + 6))));
            break;
        case LABELSST: {
            const uint32_t isst = u32(r.data + 6);
            maxIsst = std::max<int64_t>(maxIsst, isst);
            put(rw, CellRec{col, CellType::Text, 0, isst < sstCount ? isst : kNoString, 0});
            break;
        }
        case LABEL:
        case RSTRING: {
            ContinueReader reader({{r.data + kCellHeader, uint32_t(r.len) - kCellHeader}});
            QString s;
            reader.readString(&s, false);
            put(rw, CellRec{col, CellType::Text, 0, addString(std::move(s)), 0});
            break;
        }
        case BOOLERR:
            put(rw, CellRec{col, r.data[7] ? CellType::Error : CellType::Boolean, uint8_t(r.data[6]), kNoString, 0});
            break;
        case FORMULA: {
            const char* v = r.data + 6;
            if (uint8_t(v[6]) == 0xFF && uint8_t(v[7]) == 0xFF) {
                switch (uint8_t(v[0])) {
                case 0: { // text result: the STRING record follows
                    QString s;
                    for (size_t j = i + 1; j < recs.size(); ++j) {
                        const uint16_t t = recs[j].type;
                        if (!belongsToPreviousCell(t))
                            break;
                        if (t == STRING) {
                            std::vector<ContinueReader::Piece> pieces{{recs[j].data, recs[j].len}};
                            for (size_t k = j + 1; k < recs.size() && recs[k].type == CONTINUE; ++k)
                                pieces.push_back({recs[k].data, recs[k].len});
                            ContinueReader reader(pieces);
                            reader.readString(&s, false);
                            break;
                        }
                    }
                    put(rw, CellRec{col, CellType::Text, 0, addString(std::move(s)), 0});
                    break;
                }
                case 1:
                    put(rw, CellRec{col, CellType::Boolean, uint8_t(v[2]), kNoString, 0});
                    break;
                case 2:
                    put(rw, CellRec{col, CellType::Error, uint8_t(v[2]), kNoString, 0});
                    break;
                default:
                    put(rw, CellRec{col, CellType::Text, 0, kNoString, 0});
                    break;
                }
            } else {
                put(rw, numberCell(col, ixfe, f64(v)));
            }
            break;
        }
        default:
            break;
        }
    }
    sh.end = i < recs.size() ? recs[i].pos + 4 + recs[i].len
                             : (recs.empty() ? sh.bof : recs.back().pos + 4 + recs.back().len);
    if (i >= recs.size())
        sh.located = false; // no closing EOF: readable, not writable
    // Cells of a row in column order; a repeated cell keeps its last record.
    for (auto& row : sh.rows) {
        if (row.size() < 2)
            continue;
        bool sorted = true;
        for (size_t k = 1; k < row.size(); ++k)
            if (row[k].col <= row[k - 1].col)
                sorted = false;
        if (sorted)
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
    if (!sh.located)
        sh.end = sh.bof;
}

} // namespace xls
