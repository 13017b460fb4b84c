#include "msexcel.h"

#include "xls/error.h"

#include <QFileInfo>
#include <stdexcept>

namespace sheet {

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

Workbook::Workbook(Application* app, QString fullName, xls::Workbook book)
    : m_app(app), m_fullName(std::move(fullName)), m_book(std::move(book))
{
}

void Workbook::Activate()
{
    m_app->m_active = this;
}

void Workbook::checkSheet(int sheet) const
{
    if (sheet < 1 || sheet > m_book.sheetCount())
        fail(QStringLiteral("Книга «%1» не має аркуша з номером %2.").arg(m_fullName).arg(sheet));
}

QString Workbook::SheetName(int sheet) const
{
    checkSheet(sheet);
    return m_book.sheetName(sheet - 1);
}

void Workbook::ActivateSheet(int sheet)
{
    checkSheet(sheet);
    m_activeSheet = sheet;
}

xls::CellValue Workbook::Value(int sheet, int row, int col) const
{
    checkSheet(sheet);
    return m_book.cell(sheet - 1, row, col);
}

void Workbook::SetValue(int sheet, int row, int col, const QString& text)
{
    checkSheet(sheet);
    m_book.setText(sheet - 1, row, col, text);
}

int Workbook::lastCellRow(int sheet) const
{
    checkSheet(sheet);
    return std::max(1, m_book.lastUsedRow(sheet - 1));
}

void Workbook::Save()
{
    m_book.save(m_fullName);
}

std::shared_ptr<Workbook> Application::Open(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    auto book = std::make_shared<Workbook>(this, full, xls::Workbook::open(full));
    m_books.push_back(book);
    m_active = book.get();
    return book;
}

std::shared_ptr<Workbook> Application::WorkbooksItem(int index) const
{
    if (index < 1 || index > int(m_books.size()))
        fail(QStringLiteral("Немає відкритої книги з номером %1.").arg(index));
    return m_books[size_t(index - 1)];
}

int Application::ActiveLastCellRow() const
{
    if (!m_active)
        fail(QStringLiteral("Немає активної книги."));
    return m_active->lastCellRow(m_active->activeSheet());
}

void Application::Quit()
{
    m_active = nullptr;
    m_books.clear();
}

namespace MSExcel {

std::shared_ptr<Application> Excel;

void CallExcel(bool Show)
{
    Excel = std::make_shared<Application>();
    if (Show)
        Excel->Visible = true;
}

void CloseExcel()
{
    if (!Excel)
        return;
    Excel->Quit();
    Excel.reset();
}

void SaveWorkBook()
{
    if (!Excel || !Excel->ActiveWorkbook())
        fail(QStringLiteral("Немає активної книги для збереження."));
    Excel->ActiveWorkbook()->Save();
}

void ActivateWorkBook(const QString& WorkBookName)
{
    if (!Excel)
        return;
    const int k = WorkBookIndex(WorkBookName);
    if (k != 0)
        Excel->WorkbooksItem(k)->Activate();
}

int WorkBookIndex(const QString& WorkBookName)
{
    if (!Excel)
        return 0;
    const int count = Excel->WorkbooksCount();
    for (int i = 1; i <= count; ++i)
        if (Excel->WorkbooksItem(i)->FullName() == WorkBookName)
            return i;
    return 0;
}

} // namespace MSExcel

} // namespace sheet
