#pragma once

#include "xls/bytes.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace xls::biff {

// Record identifiers used by the engine.
enum : uint16_t {
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
    RK = 0x027E,
    FORMAT = 0x041E,
    SHRFMLA = 0x04BC,
    BOF = 0x0809,
};

constexpr uint32_t kMaxRecordData = 8224;

struct Record {
    uint16_t type;
    uint16_t len;
    uint32_t pos; // offset of the record header in the stream
    const char* data;
};

// Splits [from, to) of a stream into records. Stops before a header or body that would run past `to`;
// `complete` tells whether it reached `to` exactly.
std::vector<Record> tokenize(const QByteArray& stream, uint32_t from, uint32_t to, bool* complete = nullptr);

bool isCellRecord(uint16_t type);

double decodeRk(uint32_t rk);

} // namespace xls::biff
