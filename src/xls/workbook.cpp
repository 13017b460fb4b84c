#include "workbook.h"

#include "xls/book/model.h"
#include "xls/error.h"
#include "xls/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <optional>

namespace xls {

using namespace biff;

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
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw makeError(ErrorCode::ReadFailed, path, f.errorString());
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw makeError(ErrorCode::ReadFailed, path, f.errorString());
    return fromBytes(bytes, path);
}

Workbook Workbook::fromBytes(const QByteArray& bytes, const QString& path)
{
    Workbook wb;
    wb.d->path = path;
    wb.d->fileBytes = bytes;
    if (bytes.isEmpty())
        throw makeError(ErrorCode::Empty, path);
    if (bytes.startsWith("PK\x03\x04"))
        throw makeError(ErrorCode::OoxmlRenamed, path);
    if (!bytes.startsWith("\xD0\xCF\x11\xE0")) {
        // Bare BIFF2-BIFF4 files start with a BOF record and no container.
        if (bytes.size() >= 4) {
            const uint16_t t = u16(bytes.constData());
            if (t == BOF_BIFF2 || t == BOF_BIFF3 || t == BOF_BIFF4 || t == BOF)
                throw makeError(ErrorCode::OldFormat, path);
        }
        QByteArray head = bytes.left(512).trimmed();
        if (head.startsWith("\xEF\xBB\xBF"))
            head = head.mid(3).trimmed();
        if (head.startsWith('<'))
            throw makeError(ErrorCode::TextRenamed, path);
        int printable = 0;
        for (char c : bytes.left(512))
            if (uint8_t(c) >= 0x20 || c == '\n' || c == '\r' || c == '\t')
                ++printable;
        if (printable == std::min<qsizetype>(512, bytes.size()))
            throw makeError(ErrorCode::TextRenamed, path);
        throw makeError(ErrorCode::NotCompoundFile, path);
    }
    wb.d->cf = CompoundFile::parse(bytes, path);
    wb.d->parse();
    return wb;
}

void Workbook::Impl::parse()
{
    // The stream's name does not tell the version: some writers put BIFF8 into "Book".
    auto wbIdx = cf.findRootStream(QStringLiteral("Workbook"));
    if (!wbIdx)
        wbIdx = cf.findRootStream(QStringLiteral("Book"));
    if (!wbIdx) {
        if (cf.findRootStream(QStringLiteral("EncryptedPackage")))
            throw makeError(ErrorCode::Encrypted, path);
        throw makeError(ErrorCode::NoWorkbookStream, path);
    }
    wbEntry = *wbIdx;
    if (!cf.entries()[size_t(wbEntry)].readable)
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(потік книги не читається)"));
    stream = cf.streamData(wbEntry);
    parseGlobals();
    // A sheet whose recorded position misses its BOF is found by order among the substreams
    // that follow the globals; saving writes the right position back.
    auto isBofAt = [this](uint32_t pos) {
        return uint64_t(pos) + 4 <= uint64_t(stream.size()) && pos >= globalsEnd &&
               u16(stream.constData() + pos) == BOF;
    };
    if (std::any_of(sheets.begin(), sheets.end(), [&](const Sheet& sh) { return !isBofAt(sh.bof); })) {
        std::vector<uint32_t> starts;
        RecordIterator it(stream, globalsEnd, uint32_t(stream.size()));
        Record r;
        while (it.next(&r))
            if (r.type == BOF && r.depth == 1)
                starts.push_back(r.pos);
        for (size_t k = 0; k < sheets.size(); ++k)
            if (!isBofAt(sheets[k].bof) && k < starts.size() &&
                std::none_of(sheets.begin(), sheets.end(), [&](const Sheet& o) { return o.bof == starts[k]; }))
                sheets[k].bof = starts[k];
    }
    for (size_t k = 0; k < sheets.size(); ++k)
        if (parseOnly.empty() || (k < parseOnly.size() && parseOnly[k]))
            parseSheet(sheets[k]);
}

const QString& Workbook::path() const
{
    return d->path;
}
int Workbook::sheetCount() const
{
    return int(d->sheets.size());
}
QString Workbook::sheetName(int sheet) const
{
    return d->sheets.at(size_t(sheet)).name;
}
bool Workbook::isWorksheet(int sheet) const
{
    return d->sheets.at(size_t(sheet)).worksheet;
}
bool Workbook::dateMode1904() const
{
    return d->date1904;
}
bool Workbook::isModified() const
{
    return d->modified;
}

namespace {

bool insideSheetLimits(int row, int col)
{
    return row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxCols;
}

} // namespace

void Workbook::Impl::checkCellForEdit(int sheet, int row, int col) const
{
    if (sheet < 0 || size_t(sheet) >= sheets.size())
        throw makeError(ErrorCode::CellOutOfRange, path);
    if (!insideSheetLimits(row, col))
        throw makeError(
            ErrorCode::CellOutOfRange, path,
            QStringLiteral("(рядок %1, стовпець %2; найбільше 65536 рядків і 256 стовпців)").arg(row).arg(col));
}

CellValue Workbook::cell(int sheet, int row, int col) const
{
    CellValue v;
    if (sheet < 0 || size_t(sheet) >= d->sheets.size() || !insideSheetLimits(row, col))
        return v;
    const Sheet& sh = d->sheets[size_t(sheet)];
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
    if (size_t(row - 1) >= sh.rows.size())
        return v;
    const auto& cells = sh.rows[size_t(row - 1)];
    const auto it = std::lower_bound(cells.begin(), cells.end(), col - 1,
                                     [](const CellRec& c, int target) { return int(c.col) < target; });
    if (it == cells.end() || it->col != col - 1)
        return v;
    v.type = it->type;
    v.number = it->num;
    v.code = it->code;
    if (v.type == CellType::Text && it->str != kNoString)
        v.text = d->strings[it->str];
    return v;
}

int Workbook::lastUsedRow(int sheet) const
{
    const Sheet& sh = d->sheets.at(size_t(sheet));
    int last = sh.lastRow;
    if (!sh.edits.empty())
        last = std::max(last, int(sh.edits.rbegin()->first >> 8) + 1);
    return last;
}

void Workbook::setText(int sheet, int row, int col, const QString& text)
{
    d->checkCellForEdit(sheet, row, col);
    if (text.size() > 32767)
        throw makeError(ErrorCode::Unsupported, d->path, QStringLiteral("Текст довший за 32767 символів."));
    d->sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{true, text, 0};
    d->modified = true;
}

void Workbook::setNumber(int sheet, int row, int col, double value)
{
    d->checkCellForEdit(sheet, row, col);
    d->sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{false, {}, value};
    d->modified = true;
}

void Workbook::save(const QString& target) const
{
    const QString where = target.isEmpty() ? d->path : target;
    writeFileAtomically(where, serialize());
}

QByteArray Workbook::serialize() const
{
    if (!d->modified)
        return d->fileBytes;
    QByteArray newStream = d->buildStream();
    CompoundFile cf = d->cf;
    cf.setStreamData(d->wbEntry, std::move(newStream));
    QByteArray file = cf.serialize(d->path);
    d->selfCheck(file);
    return file;
}

} // namespace xls
