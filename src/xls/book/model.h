#pragma once

#include "xls/biff/records.h"
#include "xls/cfb/compoundfile.h"
#include "xls/workbook.h"

#include <QString>
#include <cstdint>
#include <map>
#include <vector>

// The workbook as read: what the reader fills in and the writer and the read-back check use.

namespace xls::book {

constexpr uint32_t kNoString = 0xFFFFFFFF;
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

struct CellRec {
    uint16_t col;
    CellType type;
    uint8_t code;
    uint32_t str;
    double num;
};

struct Edit {
    bool text;
    QString s;
    double num;
};

struct ColInfo {
    uint16_t first, last, ixfe;
};

struct Sheet {
    QString name;
    uint8_t dt = 0;
    uint32_t boundsheetPos = 0;
    uint32_t bof = 0, end = 0;
    bool located = false;
    bool worksheet = false;
    std::vector<std::vector<CellRec>> rows;
    std::vector<uint16_t> rowXf; // per row: ixfe + 1 when the row carries its own format, else 0
    int lastRow = 0;
    std::vector<ColInfo> colInfo;
    uint16_t defaultRowHeight = 0x00FF;
    std::map<uint32_t, Edit> edits; // key: (row0 << 8) | col0
};

inline uint32_t editKey(int row0, int col0)
{
    return (uint32_t(row0) << 8) | uint32_t(col0);
}

} // namespace xls::book

namespace xls {

using biff::Record;
using namespace book;

struct Workbook::Impl {
    QString path;
    QByteArray fileBytes;
    CompoundFile cf;
    int wbEntry = -1;
    QByteArray stream;
    std::vector<Record> globals;
    uint32_t globalsEnd = 0;
    std::vector<Sheet> sheets;
    std::vector<QString> strings; // SST entries first, then texts of other records
    uint32_t sstCount = 0;
    std::vector<bool> sstPlain;
    int sstRec = -1;                                // index in `globals`
    std::vector<int> sstPieces;                     // indices in `globals` of SST and its CONTINUEs
    std::vector<std::pair<size_t, uint32_t>> sstAt; // where each SST string starts (piece, offset)
    std::pair<size_t, uint32_t> sstEnd{0, 0};
    uint32_t cstTotal = 0;
    int64_t maxIsst = -1; // the highest string index a cell refers to
    std::vector<uint8_t> xfDate;
    std::vector<bool> xfStyle;
    bool date1904 = false;
    bool modified = false;

    std::vector<bool> parseOnly; // when set, only these sheets' cells are read (the save's self-check)
    void parse();
    void parseGlobals();
    void parseSheet(Sheet& sh);
    uint32_t addString(QString s)
    {
        strings.push_back(std::move(s));
        return uint32_t(strings.size() - 1);
    }
    // Throws unless (sheet, row, col) names a cell the workbook can hold.
    void checkCellForEdit(int sheet, int row, int col) const;
    QByteArray buildStream() const;
    void selfCheck(const QByteArray& file) const;
};

} // namespace xls
