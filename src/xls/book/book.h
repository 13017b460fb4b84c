#pragma once

#include "xls/biff/records.h"
#include "xls/cfb/compoundfile.h"
#include "xls/crypt/filepass.h"
#include "xls/workbook.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// The workbook stream as read: what the reader fills in, and what the writer and the read-back
// check work from.
namespace xls::book {

constexpr uint32_t kNoString = 0xFFFFFFFF;
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

// One cell as read, in 8 bytes: a text is an index into StringTable::strings, a number the place
// of its bytes in the stream (which the book keeps), decoded when it is asked for.
struct CellRec {
    uint16_t col;
    CellType type;
    uint8_t code; // Boolean, Error: the value; Number, DateTime: how the number is stored (NumberAt)
    uint32_t ref; // Text: index into StringTable::strings or kNoString; Number, DateTime: stream position
};
static_assert(sizeof(CellRec) == 8);

// How a number cell's value is stored at its position: an IEEE double, or an RK value.
enum NumberAt : uint8_t { kDoubleAt = 0, kRkAt = 1 };

// A pending edit of one cell: a text, or a number.
struct Edit {
    bool text;
    QString s;
    double num;
    int error = -1; // with 0 to 255: a formula whose stored result is this error value (e.g. 0x2A #N/A)
};

// A hyperlink to set on a cell: a file (relative to the workbook's folder, or absolute; empty for
// this workbook) and a place in it, such as 'Sheet'!C7.
struct Link {
    QString target;
    QString location;
};

struct ColInfo {
    uint16_t first, last, ixfe;
};

// A merged range, 0-based and inclusive.
struct Merge {
    uint16_t firstRow, lastRow, firstCol, lastCol;
};

struct Sheet {
    QString name;
    uint8_t dt = 0; // BOUNDSHEET kind: 0 worksheet or dialog, 1 macro sheet, 2 chart
    uint32_t boundsheetPos = 0;
    uint32_t bof = 0, end = 0; // the substream: its BOF, and just past its EOF
    bool located = false;      // its BOF and closing EOF were found: it can be written
    bool worksheet = false;
    std::vector<CellRec> cells;     // every cell: by row, and within a row in column order
    std::vector<uint32_t> rowStart; // row r (0-based) holds cells[rowStart[r] .. rowStart[r + 1]); empty without cells
    std::vector<uint16_t> rowXf;    // per row: ixfe + 1 when the row carries its own format, else 0
    int lastRow = 0;
    std::vector<ColInfo> colInfo;
    std::vector<Merge> merges;
    uint16_t defaultRowHeight = 0x00FF;
    std::map<uint32_t, Edit> edits; // key: editKey(row0, col0)
    std::map<uint32_t, Link> links; // hyperlinks to set, by the same key

    // Whether saving writes the sheet anew.
    bool changed() const { return !edits.empty() || !links.empty(); }

    // The cell read at 0-based (row, col), or null.
    const CellRec* find(size_t row0, uint16_t col0) const;
    // How many rows the cell table spans, and the cells of 0-based row r (in column order).
    size_t rowCount() const { return rowStart.empty() ? 0 : rowStart.size() - 1; }
    std::pair<const CellRec*, const CellRec*> row(size_t r) const
    {
        return {cells.data() + rowStart[r], cells.data() + rowStart[r + 1]};
    }
};

inline uint32_t editKey(int row0, int col0)
{
    return (uint32_t(row0) << 8) | uint32_t(col0);
}
inline int editRow(uint32_t key)
{
    return int(key >> 8);
}
inline uint16_t editCol(uint32_t key)
{
    return uint16_t(key & 0xFF);
}

// A place in the SST: the piece (0 the SST record, k its k-th CONTINUE) and the offset in its body.
using SstPos = std::pair<size_t, uint32_t>;

// The shared string table as read, followed by the texts of cells that carry their own.
struct StringTable {
    std::vector<QString> strings; // SST entries first, then texts read from other records
    uint32_t count = 0;           // how many of `strings` are SST entries
    std::vector<bool> plain;      // per SST entry: no formatting runs and no phonetic data
    uint32_t cstTotal = 0;        // the SST's count of references to it
    int64_t maxIsst = -1;         // the highest SST index a cell refers to
    std::vector<uint32_t> refs;   // per SST entry: how many LABELSST records of any sheet refer to it
    int record = -1;              // index of the SST record in Book::globals, -1 without one
    std::vector<int> pieces;      // indices in Book::globals of the SST and its CONTINUE records
    std::vector<SstPos> at;       // where each entry starts
    SstPos end{0, 0};             // just past the last whole entry

    uint32_t add(QString s);
    QString text(uint32_t index) const; // empty for kNoString
};

struct Book {
    QString path;
    int entry = -1;                           // the workbook stream's directory entry
    QByteArray stream;                        // decrypted, when the workbook is encrypted
    std::optional<crypt::FilePassKey> cipher; // the key it is encrypted with, to encrypt it again
    std::vector<biff::Record> globals;        // the globals substream, its EOF last
    uint32_t globalsEnd = 0;
    std::vector<Sheet> sheets;
    StringTable sst;
    std::vector<uint8_t> xfDate; // per cell format (XF): 1 when it shows a date or time
    std::vector<bool> xfStyle;   // per XF: a style XF, which no cell may use
    bool date1904 = false;

    // The value of a Number or DateTime cell, read from the stream.
    double number(const CellRec& c) const;
};

// Reads the workbook stream of `cf`: the globals, then the cells of every sheet (of those `only`
// marks, when it is not empty). Throws xls::Error naming `path`.
Book readBook(const CompoundFile& cf, const QString& path, const std::vector<bool>& only = {});

} // namespace xls::book
