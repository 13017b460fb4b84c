#pragma once

#include "xls/workbook.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace sheet {

// An open workbook as the check sees it: sheets by 1-based position, cells by 1-based row and
// column, values in, texts out, and saved back to its own file.
class Book {
public:
    // A book opened read-only can be read and changed in memory, but never saved.
    Book(QString fullName, xls::Workbook book, bool readOnly = false);

    const QString& FullName() const { return m_fullName; }
    int SheetsCount() const { return m_book.sheetCount(); }
    QString SheetName(int sheet) const;

    xls::CellValue Value(int sheet, int row, int col) const;
    void SetValue(int sheet, int row, int col, const QString& text);
    void SetNumber(int sheet, int row, int col, double value);
    // PageSetup.CenterHeader and its kin: the header printed on every page, in Excel's codes ("&L",
    // "&C", "&R" start the left, centre and right part; "&&" is an ampersand).
    void SetPageHeader(int sheet, const QString& codes);
    // Hyperlinks.Add: makes the cell a link to `address` (a file, relative to this workbook's folder,
    // or empty for this workbook) at `subAddress` (e.g. "'Таблиця 2'!C7"); see
    // xls::Workbook::setHyperlink.
    void AddHyperlink(int sheet, int row, int col, const QString& address, const QString& subAddress);
    // SpecialCells(xlCellTypeLastCell).Row: the last row of the sheet holding a value or
    // formatting (1 for an empty sheet).
    int lastCellRow(int sheet) const;
    // The merged range (MergeArea) that hides the cell: it covers the cell and starts elsewhere.
    std::optional<xls::CellRange> hidingMerge(int sheet, int row, int col) const;
    bool date1904() const { return m_book.dateMode1904(); }
    bool ReadOnly() const { return m_readOnly; }
    // Writes the workbook back to its own file (atomically); refused for a book opened read-only.
    void Save() const;
    // Builds the file a save would write, and drops it: throws what Save() would throw for the
    // book's content (a cell that cannot be written alone, for example), also for a read-only book.
    void trySave() const { (void)m_book.serialize(); }

private:
    // Every cell read passes here: the test is inline, the message is not.
    void checkSheet(int sheet) const
    {
        if (sheet < 1 || sheet > m_sheetCount)
            noSuchSheet(sheet);
    }
    [[noreturn]] void noSuchSheet(int sheet) const;

    QString m_fullName;
    xls::Workbook m_book;
    int m_sheetCount; // a workbook's sheets never change
    bool m_readOnly = false;
};

// The link to the spreadsheet application: the workbooks one control run has open. The control
// run creates it and hands it down to the check; whatever is still open when it goes out of
// scope is closed then, on every path, success or failure. There is no global link, so runs on
// different threads each hold their own.
class MSExcel {
public:
    MSExcel() = default;
    ~MSExcel() { CloseExcel(); }
    MSExcel(const MSExcel&) = delete;
    MSExcel& operator=(const MSExcel&) = delete;

    // Workbooks.Open: reads the workbook at `path` (throws xls::Error naming the file). The file is
    // read once and closed; with `readOnly` the book can never be saved.
    std::shared_ptr<Book> OpenWorkBook(const QString& path, bool readOnly = false);
    // Workbooks.Add(Template): a new book in memory made from the template at `templatePath`, which
    // is saved (when it is) under `fullName`; nothing is written until then.
    std::shared_ptr<Book> AddWorkBook(const QString& templatePath, const QString& fullName);
    // Writes one workbook back to its own file.
    static void SaveWorkBook(const Book& book) { book.Save(); }
    // Drops every open workbook without saving; a second call does nothing.
    void CloseExcel() { m_books.clear(); }
    int WorkbooksCount() const { return int(m_books.size()); }

private:
    std::vector<std::shared_ptr<Book>> m_books;
};

} // namespace sheet
