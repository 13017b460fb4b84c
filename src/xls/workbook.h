#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace xls {

enum class CellType : uint8_t { Empty, Number, DateTime, Text, Boolean, Error };

// A cell's value as stored. Numbers and date-times are serial numbers; `code` holds a boolean (0/1)
// or an error code (0x07 #DIV/0!, 0x2A #N/A, ...).
struct CellValue {
    CellType type = CellType::Empty;
    double number = 0;
    QString text;
    uint8_t code = 0;
};

QString errorCodeText(uint8_t code);

// A rectangle of cells, 1-based and inclusive.
struct CellRange {
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
};

// An Excel 97-2003 (BIFF8) workbook held in memory. Cells are read from the parsed records;
// text and number edits are kept aside and merged into the record stream when the workbook is
// serialized, so every record the engine does not touch is written back byte for byte.
class Workbook {
public:
    Workbook();
    ~Workbook();
    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;

    // Reads and parses the file. Throws xls::Error naming the file.
    static Workbook open(const QString& path);
    static Workbook fromBytes(const QByteArray& bytes, const QString& path);

    const QString& path() const;
    int sheetCount() const;
    QString sheetName(int sheet) const; // 0-based sheet, name as stored
    bool isWorksheet(int sheet) const;
    bool dateMode1904() const;

    // 1-based row and column. Cells outside the sheet are empty.
    CellValue cell(int sheet, int row, int col) const;
    // The highest 1-based row holding a value or formatting; 0 for a sheet with none.
    int lastUsedRow(int sheet) const;
    // The merged range that covers the cell without starting at it, so that its content is hidden.
    std::optional<CellRange> hidingMerge(int sheet, int row, int col) const;

    // Replace whatever the cell holds by a text (or a number), keeping the cell's format.
    void setText(int sheet, int row, int col, const QString& text);
    void setNumber(int sheet, int row, int col, double value);
    // A formula whose stored result is the error value `code` (0x07 #DIV/0!, 0x2A #N/A, ...), as a
    // spreadsheet program saves a formula that failed.
    void setFormulaError(int sheet, int row, int col, uint8_t code);
    // Makes the cell a hyperlink; the cell keeps its value and format. `target` is the file the
    // link opens: a path relative to this workbook's folder ("zvit.xls", "../zvit.xls"), so that the
    // link still works when the folder is moved, or an absolute path; empty for a place in this
    // workbook. Folders are written with '\' as on Windows, whichever separator the path uses.
    // `location` is the place in the target in Excel's form, e.g. "'Таблиця 2'!C7" (a sheet name in
    // single quotes, a quote inside it doubled); empty for the file as such. Excel and LibreOffice
    // open the target at the location on a click (a link on a cell with no value LibreOffice drops).
    // The link replaces one the cell had, from the file or from an earlier call. Throws xls::Error
    // when the cell is outside the sheet or target and location have together more than 2000
    // characters.
    void setHyperlink(int sheet, int row, int col, const QString& target, const QString& location = {});
    bool isModified() const;

    // The whole file with the edits applied. Throws xls::Error when the workbook cannot be written safely.
    QByteArray serialize() const;
    // Writes serialize() to `target` (default: the path it was read from) atomically.
    void save(const QString& target = {}) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace xls
