#include "msexcel.h"

#include <QFileInfo>
#include <stdexcept>

namespace sheet {

Book::Book(QString fullName, xls::Workbook book) : m_fullName(std::move(fullName)), m_book(std::move(book)) {}

void Book::checkSheet(int sheet) const
{
    if (sheet < 1 || sheet > m_book.sheetCount())
        throw std::runtime_error(
            QStringLiteral("Книга «%1» не має аркуша з номером %2.").arg(m_fullName).arg(sheet).toStdString());
}

QString Book::SheetName(int sheet) const
{
    checkSheet(sheet);
    return m_book.sheetName(sheet - 1);
}

xls::CellValue Book::Value(int sheet, int row, int col) const
{
    checkSheet(sheet);
    return m_book.cell(sheet - 1, row, col);
}

void Book::SetValue(int sheet, int row, int col, const QString& text)
{
    checkSheet(sheet);
    m_book.setText(sheet - 1, row, col, text);
}

int Book::lastCellRow(int sheet) const
{
    checkSheet(sheet);
    return std::max(1, m_book.lastUsedRow(sheet - 1));
}

void Book::Save() const
{
    m_book.save(m_fullName);
}

std::shared_ptr<Book> MSExcel::OpenWorkBook(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    auto book = std::make_shared<Book>(full, xls::Workbook::open(full));
    m_books.push_back(book);
    return book;
}

} // namespace sheet
