#include "msexcel.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

namespace sheet {

Book::Book(QString fullName, xls::Workbook book, bool readOnly)
    : m_fullName(std::move(fullName)), m_book(std::move(book)), m_sheetCount(m_book.sheetCount()), m_readOnly(readOnly)
{
}

void Book::noSuchSheet(int sheet) const
{
    throw std::runtime_error(
        QStringLiteral("У книзі «%1» немає аркуша з номером %2, тому програма не може з нею працювати. Замініть її "
                       "справною копією (шаблон — з архіву програми) і повторіть перевірку.")
            .arg(QDir::toNativeSeparators(m_fullName))
            .arg(sheet)
            .toStdString());
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

void Book::SetNumber(int sheet, int row, int col, double value)
{
    checkSheet(sheet);
    m_book.setNumber(sheet - 1, row, col, value);
}

void Book::SetPageHeader(int sheet, const QString& codes)
{
    checkSheet(sheet);
    m_book.setPageHeader(sheet - 1, codes);
}

void Book::AddHyperlink(int sheet, int row, int col, const QString& address, const QString& subAddress)
{
    checkSheet(sheet);
    m_book.setHyperlink(sheet - 1, row, col, address, subAddress);
}

int Book::lastCellRow(int sheet) const
{
    checkSheet(sheet);
    return std::max(1, m_book.lastUsedRow(sheet - 1));
}

std::optional<xls::CellRange> Book::hidingMerge(int sheet, int row, int col) const
{
    checkSheet(sheet);
    return m_book.hidingMerge(sheet - 1, row, col);
}

void Book::Save() const
{
    // A guard, not a user's situation: the code that opens a book read-only never saves it.
    if (m_readOnly)
        throw std::logic_error(QStringLiteral("Книгу «%1» відкрито лише для читання, її не можна зберегти.")
                                   .arg(m_fullName)
                                   .toStdString());
    m_book.save(m_fullName);
}

std::shared_ptr<Book> MSExcel::OpenWorkBook(const QString& path, bool readOnly)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    auto book = std::make_shared<Book>(full, xls::Workbook::open(full), readOnly);
    m_books.push_back(book);
    return book;
}

std::shared_ptr<Book> MSExcel::AddWorkBook(const QString& templatePath, const QString& fullName)
{
    auto book = std::make_shared<Book>(QFileInfo(fullName).absoluteFilePath(), xls::Workbook::open(templatePath));
    m_books.push_back(book);
    return book;
}

} // namespace sheet
