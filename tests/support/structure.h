#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A walker over a saved workbook that checks every stream position a writer computes, read
// independently of the engine: the compound file by its own code, the records one by one.
namespace fixtures {

// One position-holding field found in the workbook stream.
struct PositionField {
    QString kind;   // "BOUNDSHEET", "INDEX DBCELL", "DBCELL cell", ... (see structure.cpp)
    qint64 filePos; // where its bytes are in the file
    int size;       // 2 or 4 bytes
};

struct StructureReport {
    QStringList problems; // empty when every position is right
    QList<PositionField> fields;
    int difatSectors = 0; // DIFAT sectors the compound file uses
    int sstContinues = 0; // CONTINUE records of the shared string table
};

// Checks that each BOUNDSHEET points at the BOF of a sheet substream of its kind; each INDEX lists
// the sheet's DBCELL records (and DEFCOLWIDTH) at their positions and the range of its ROW records;
// each DBCELL points back at the first ROW of its block and at the first cell of each row in it;
// and EXTSST points at every dsst-th string of the SST and CONTINUE records.
StructureReport checkStructure(const QByteArray& file);
QStringList structureProblems(const QString& path);

} // namespace fixtures
