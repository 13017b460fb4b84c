#pragma once

#include "xls/bytes.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace xls::biff {

// Record identifiers used by the engine.
enum : uint16_t {
    BOF_BIFF2 = 0x0009, // the BOF of older versions, to recognise their files
    BOF_BIFF3 = 0x0209,
    BOF_BIFF4 = 0x0409,
    FORMULA = 0x0006,
    EOF_ = 0x000A,
    FILEPASS = 0x002F,
    DATEMODE = 0x0022,
    CONTINUE = 0x003C,
    DEFCOLWIDTH = 0x0055,
    COLINFO = 0x007D,
    BOUNDSHEET = 0x0085,
    MULRK = 0x00BD,
    MULBLANK = 0x00BE,
    RSTRING = 0x00D6,
    DBCELL = 0x00D7,
    XF = 0x00E0,
    MERGECELLS = 0x00E5,
    SST = 0x00FC,
    LABELSST = 0x00FD,
    EXTSST = 0x00FF,
    DIMENSIONS = 0x0200,
    BLANK = 0x0201,
    NUMBER = 0x0203,
    LABEL = 0x0204,
    BOOLERR = 0x0205,
    STRING = 0x0207,
    ROW = 0x0208,
    INDEX = 0x020B,
    ARRAY = 0x0221,
    DEFAULTROWHEIGHT = 0x0225,
    TABLE = 0x0236,
    WINDOW2 = 0x023E,
    // The page settings block of a sheet, in the order the records stand.
    HEADER = 0x0014,
    FOOTER = 0x0015,
    LEFTMARGIN = 0x0026,
    RIGHTMARGIN = 0x0027,
    TOPMARGIN = 0x0028,
    BOTTOMMARGIN = 0x0029,
    PLS = 0x004D,
    HCENTER = 0x0083,
    VCENTER = 0x0084,
    SETUP = 0x00A1,
    RK = 0x027E,
    FORMAT = 0x041E,
    SHRFMLA = 0x04BC,
    BOF = 0x0809,
    // A sheet's hyperlinks stand after its cells and before these records (and EOF).
    HLINK = 0x01B8,
    DVAL = 0x01B2,
    DV = 0x01BE,
    CODENAME = 0x01BA,
    WEBPUB = 0x0801,
    CELLWATCH = 0x086C,
    SHEETEXT = 0x0862,
    FEATHDR = 0x0867,
    FEAT = 0x0868,
    FEATHDR11 = 0x0871,
    FEATURE11 = 0x0872,
    FEATURE12 = 0x0878,
};

// Cell records begin with u16 row, u16 column, u16 format (XF) index.
constexpr uint16_t kCellHeader = 6;

// The fewest body bytes of a record that hold the fields the engine reads from it; a shorter
// record is not read (0: the engine reads no field of it, or reads it field by field).
constexpr uint16_t minLength(uint16_t type)
{
    switch (type) {
    case BOF:
        return 4; // vers, dt
    case DATEMODE:
        return 2;
    case BOUNDSHEET:
        return 8; // lbPlyPos, hsState, dt, name length and flags
    case FORMAT:
        return 5; // ifmt, cch, flags
    case XF:
        return 6; // ifnt, ifmt, flags
    case SST:
        return 8; // cstTotal, cstUnique
    case COLINFO:
        return 10; // first, last, width, ixfe
    case DEFAULTROWHEIGHT:
        return 4; // flags, height
    case ROW:
        return 16;
    case INDEX:
        return 16; // reserved, rwMic, rwMac, ibXF
    case DIMENSIONS:
        return 12; // rwMic, rwMac, colMic, colMac
    case BLANK:
    case MULBLANK:
    case MULRK:
    case LABEL:
    case RSTRING:
        return kCellHeader;
    case BOOLERR:
        return kCellHeader + 2; // value, fError
    case MERGECELLS:
        return 2; // the count of ranges
    case RK:
    case LABELSST:
        return kCellHeader + 4; // RK value, string index
    case NUMBER:
        return kCellHeader + 8;
    case FORMULA:
        return kCellHeader + 14; // cached value, flags, chn
    default:
        return 0;
    }
}

// BOF fields: the version this engine reads and the substream kinds it tells apart.
constexpr uint16_t kBiff8 = 0x0600;
enum : uint16_t { DT_GLOBALS = 0x0005, DT_WORKSHEET = 0x0010 };

constexpr uint32_t kMaxRecordData = 8224;

struct Record {
    uint16_t type;
    uint16_t len;
    uint32_t pos; // offset of the record header in the stream
    const char* data;
    int depth; // BOF/EOF nesting depth, see RecordIterator

    // Whether the body is long enough to read the record's fields.
    bool hasFields() const { return len >= minLength(type); }
    uint32_t end() const { return pos + 4 + len; }
};

// Walks the records of stream[from, to) in order, keeping the BOF/EOF nesting depth: a substream's
// BOF, its records and its EOF carry the depth of that substream (1 for a sheet read from its BOF,
// 2 for a chart inside it); records outside every BOF..EOF, a stray EOF among them, have depth 0.
class RecordIterator {
public:
    RecordIterator(const QByteArray& stream, uint32_t from, uint32_t to);
    // The next record; false at `to` or before a header or body that would run past it.
    bool next(Record* r);
    // Where the next record starts.
    uint32_t pos() const { return m_pos; }

private:
    const char* m_base;
    uint32_t m_pos;
    uint32_t m_to;
    int m_depth = 0;
};

// All the records of stream[from, to), as RecordIterator walks them; `complete` tells whether they
// reach `to` exactly.
std::vector<Record> tokenize(const QByteArray& stream, uint32_t from, uint32_t to, bool* complete = nullptr);

bool isCellRecord(uint16_t type);

// The definition of a shared formula, an array formula or a data table, which follows the first
// formula cell that uses it.
bool isFormulaDefinition(uint16_t type);

// Records that follow a cell record and belong to it: a formula's definition record, its text
// result (STRING) and their CONTINUE records.
bool belongsToPreviousCell(uint16_t type);

double decodeRk(uint32_t rk);

// Appends one record: header and body.
void appendRecord(QByteArray& out, uint16_t type, const char* data, uint32_t len);
void appendRecord(QByteArray& out, const Record& r);

} // namespace xls::biff
