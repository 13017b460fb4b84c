#pragma once

#include "xls/workbook.h"

#include <QString>
#include <memory>
#include <vector>

namespace sheet {

class Application;

// An open workbook, as the spreadsheet object model offers it: sheets by 1-based position,
// cells by 1-based row and column, values in, texts out, and Save back to its own file.
class Workbook {
public:
    Workbook(Application* app, QString fullName, xls::Workbook book);

    const QString& FullName() const { return m_fullName; }
    void Activate();
    int SheetsCount() const { return m_book.sheetCount(); }
    QString SheetName(int sheet) const;
    void ActivateSheet(int sheet);
    int activeSheet() const { return m_activeSheet; }

    xls::CellValue Value(int sheet, int row, int col) const;
    void SetValue(int sheet, int row, int col, const QString& text);
    int lastCellRow(int sheet) const;
    bool date1904() const { return m_book.dateMode1904(); }
    void Save();

private:
    void checkSheet(int sheet) const;

    Application* m_app;
    QString m_fullName;
    xls::Workbook m_book;
    int m_activeSheet = 1;
};

// The spreadsheet application: the open workbooks and which of them is active.
class Application {
public:
    bool Visible = false;
    bool DisplayAlerts = true;

    // Workbooks.Open: reads the file; the new workbook becomes the active one.
    std::shared_ptr<Workbook> Open(const QString& path);
    int WorkbooksCount() const { return int(m_books.size()); }
    std::shared_ptr<Workbook> WorkbooksItem(int index) const; // 1-based
    Workbook* ActiveWorkbook() const { return m_active; }
    // ActiveCell.SpecialCells(11).Row: the last used row of the active sheet (1 for an empty sheet).
    int ActiveLastCellRow() const;
    // Ends the instance: open workbooks are dropped without saving.
    void Quit();

private:
    friend class Workbook;
    std::vector<std::shared_ptr<Workbook>> m_books;
    Workbook* m_active = nullptr;
};

// The link to the spreadsheet application and the five operations on it.
namespace MSExcel {

extern std::shared_ptr<Application> Excel;

void CallExcel(bool Show);
void CloseExcel();
void SaveWorkBook();
void ActivateWorkBook(const QString& WorkBookName);
int WorkBookIndex(const QString& WorkBookName);

} // namespace MSExcel

} // namespace sheet
