#include "workbook.h"

#include "xls/book/book.h"
#include "xls/book/hyperlinks.h"
#include "xls/book/layout.h"
#include "xls/book/readback.h"
#include "xls/crypt/workbookcipher.h"
#include "xls/error.h"
#include "xls/filekind.h"
#include "xls/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace xls {

using namespace book;

QString errorCodeText(uint8_t code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#ERR");
    }
}

struct Workbook::Impl {
    QByteArray fileBytes;
    CompoundFile cf;
    Book book;
    bool modified = false;

    // Throws unless (sheet, row, col) names a cell the workbook can hold.
    void checkCellForEdit(int sheet, int row, int col) const;
    // The file with the edits, checked by reading it back.
    FileImage image() const;
};

namespace {

bool insideSheetLimits(int row, int col)
{
    return row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxCols;
}

} // namespace

Workbook::Workbook() : d(std::make_unique<Impl>()) {}
Workbook::~Workbook() = default;
Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;

Workbook Workbook::open(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw makeError(ErrorCode::IsFolder, path);
    if (!info.exists())
        throw makeError(ErrorCode::NotFound, path);
    // The system's reason in the user's words, never Qt's English.
    const auto failed = [&](const QFile& f) {
        const SystemFailure cause = failureOfDevice(lastSystemFailure(), f.error());
        return makeError(ErrorCode::ReadFailed, path, QStringLiteral("Причина: %1.").arg(readCauseClause(cause)));
    };
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly))
        throw failed(f);
    // One read into an array of the file's size: readAll() would grow it step by step, and the
    // workbook keeps these bytes for as long as it is open.
    QByteArray bytes(qsizetype(std::max<qint64>(f.size(), 0)), Qt::Uninitialized);
    const qint64 got = bytes.isEmpty() ? 0 : f.read(bytes.data(), bytes.size());
    if (got < 0)
        throw failed(f);
    bytes.truncate(qsizetype(got));
    if (!f.atEnd())
        bytes += f.readAll(); // the file grew meanwhile, or reports no size
    if (f.error() != QFileDevice::NoError)
        throw failed(f);
    return fromBytes(bytes, path);
}

Workbook Workbook::fromBytes(const QByteArray& bytes, const QString& path)
{
    if (bytes.isEmpty())
        throw makeError(ErrorCode::Empty, path);
    if (!bytes.startsWith("\xD0\xCF\x11\xE0"))
        rejectForeignFile(bytes, path);
    Workbook wb;
    wb.d->fileBytes = bytes;
    wb.d->cf = CompoundFile::parse(wb.d->fileBytes, path); // its large streams refer to fileBytes
    wb.d->book = readBook(wb.d->cf, path);
    return wb;
}

const QString& Workbook::path() const
{
    return d->book.path;
}
int Workbook::sheetCount() const
{
    return int(d->book.sheets.size());
}
QString Workbook::sheetName(int sheet) const
{
    return d->book.sheets.at(size_t(sheet)).name;
}
bool Workbook::isWorksheet(int sheet) const
{
    return d->book.sheets.at(size_t(sheet)).worksheet;
}
bool Workbook::dateMode1904() const
{
    return d->book.date1904;
}
bool Workbook::isModified() const
{
    return d->modified;
}

CellValue Workbook::cell(int sheet, int row, int col) const
{
    CellValue v;
    if (sheet < 0 || size_t(sheet) >= d->book.sheets.size() || !insideSheetLimits(row, col))
        return v;
    const Sheet& sh = d->book.sheets[size_t(sheet)];
    if (!sh.edits.empty()) {
        const auto it = sh.edits.find(editKey(row - 1, col - 1));
        if (it != sh.edits.end()) {
            if (it->second.text) {
                v.type = CellType::Text;
                v.text = it->second.s;
            } else {
                v.type = CellType::Number;
                v.number = it->second.num;
            }
            return v;
        }
    }
    const CellRec* c = sh.find(size_t(row - 1), uint16_t(col - 1));
    if (!c)
        return v;
    v.type = c->type;
    switch (c->type) {
    case CellType::Number:
    case CellType::DateTime:
        v.number = d->book.number(*c);
        break;
    case CellType::Text:
        v.text = d->book.sst.text(c->ref);
        break;
    case CellType::Boolean:
    case CellType::Error:
        v.code = c->code;
        break;
    case CellType::Empty:
        break;
    }
    return v;
}

int Workbook::lastUsedRow(int sheet) const
{
    const Sheet& sh = d->book.sheets.at(size_t(sheet));
    int last = sh.lastRow;
    if (!sh.edits.empty())
        last = std::max(last, editRow(sh.edits.rbegin()->first) + 1);
    return last;
}

std::optional<CellRange> Workbook::hidingMerge(int sheet, int row, int col) const
{
    if (sheet < 0 || size_t(sheet) >= d->book.sheets.size())
        return std::nullopt;
    for (const Merge& m : d->book.sheets[size_t(sheet)].merges) {
        const CellRange r{m.firstRow + 1, m.lastRow + 1, m.firstCol + 1, m.lastCol + 1};
        if (row >= r.firstRow && row <= r.lastRow && col >= r.firstCol && col <= r.lastCol &&
            (row != r.firstRow || col != r.firstCol))
            return r;
    }
    return std::nullopt;
}

void Workbook::Impl::checkCellForEdit(int sheet, int row, int col) const
{
    if (sheet < 0 || size_t(sheet) >= book.sheets.size())
        throw makeError(ErrorCode::CellOutOfRange, book.path);
    if (!insideSheetLimits(row, col))
        throw makeError(
            ErrorCode::CellOutOfRange, book.path,
            QStringLiteral("(рядок %1, стовпець %2; найбільше 65536 рядків і 256 стовпців)").arg(row).arg(col));
}

void Workbook::setText(int sheet, int row, int col, const QString& text)
{
    d->checkCellForEdit(sheet, row, col);
    if (text.size() > 32767)
        throw makeError(ErrorCode::Unsupported, d->book.path, QStringLiteral("Текст довший за 32767 символів."));
    d->book.sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{true, text, 0};
    d->modified = true;
}

void Workbook::setNumber(int sheet, int row, int col, double value)
{
    d->checkCellForEdit(sheet, row, col);
    d->book.sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{false, {}, value};
    d->modified = true;
}

void Workbook::setPageHeader(int sheet, const QString& codes)
{
    d->checkCellForEdit(sheet, 1, 1);
    if (codes.size() > 255)
        throw makeError(ErrorCode::Unsupported, d->book.path,
                        QStringLiteral("Верхній колонтитул довший за 255 символів."));
    d->book.sheets[size_t(sheet)].newPageHeader = codes;
    d->modified = true;
}

QString Workbook::pageHeader(int sheet) const
{
    const book::Sheet& sh = d->book.sheets.at(size_t(sheet));
    return sh.newPageHeader.value_or(sh.pageHeader);
}

void Workbook::setFormulaError(int sheet, int row, int col, uint8_t code)
{
    d->checkCellForEdit(sheet, row, col);
    d->book.sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{false, {}, 0, code};
    d->modified = true;
}

void Workbook::setHyperlink(int sheet, int row, int col, const QString& target, const QString& location)
{
    d->checkCellForEdit(sheet, row, col);
    if (target.size() + location.size() > kMaxLinkChars || target.contains(QChar(0)) || location.contains(QChar(0)))
        throw makeError(ErrorCode::Unsupported, d->book.path,
                        QStringLiteral("Посилання довше за %1 символів.").arg(kMaxLinkChars));
    d->book.sheets[size_t(sheet)].links[editKey(row - 1, col - 1)] = Link{target, location};
    d->modified = true;
}

void Workbook::save(const QString& target) const
{
    const QString path = target.isEmpty() ? d->book.path : target;
    if (!d->modified)
        writeFileAtomically(path, FileImage(d->fileBytes));
    else
        writeFileAtomically(path, d->image());
}

QByteArray Workbook::serialize() const
{
    return d->modified ? d->image().joined() : d->fileBytes;
}

FileImage Workbook::Impl::image() const
{
    // The new stream goes into its place in the file as the pieces it is made of; the new file is
    // then read back.
    const auto stream = std::make_shared<const NewStream>(buildStream(book));
    QByteArray encrypted;
    if (book.cipher) {
        // Encrypted with the key it was read with, so that it opens as before.
        encrypted = stream->pieces().joined();
        crypt::encryptWorkbookStream(encrypted, *book.cipher, book.path);
    }
    FileImage file = cf.layOut(book.path, book.entry, stream->size(), [&](FileImage& out) {
        if (book.cipher)
            out.refer(encrypted.constData(), uint64_t(encrypted.size()));
        else
            out.append(stream->pieces());
    });
    file.hold(stream);
    file.hold(std::make_shared<const QByteArray>(std::move(encrypted))); // its data stays where it is
    checkReadBack(book, file, *stream);
    return file;
}

} // namespace xls
