#include "globals.h"

#include "xls/biff/strings.h"
#include "xls/book/sst.h"
#include "xls/error.h"

#include <algorithm>

namespace xls::book {

using namespace biff;

namespace {

constexpr uint16_t kXfStyle = 0x0004; // XF flags: a style XF, not a cell format

// Whether an Excel number format code shows a date or a time.
bool isDateFormatCode(const QString& code)
{
    const QString lower = code.toLower();
    if (lower == QLatin1String("general") || lower == QLatin1String("@"))
        return false;
    bool inQuote = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (inQuote) {
            if (c == QLatin1Char('"'))
                inQuote = false;
            continue;
        }
        if (c == QLatin1Char('"')) {
            inQuote = true;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char(';')) {
            break;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = code.indexOf(QLatin1Char(']'), i);
            if (close < 0)
                break;
            const QString inner = code.mid(i + 1, close - i - 1).toLower();
            if (!inner.isEmpty() &&
                (inner.at(0) == QLatin1Char('h') || inner.at(0) == QLatin1Char('m') ||
                 inner.at(0) == QLatin1Char('s')) &&
                inner.count(inner.at(0)) == inner.size())
                return true; // elapsed time: [h], [mm], [ss]
            i = close;
        } else {
            const QChar l = c.toLower();
            if (l == QLatin1Char('d') || l == QLatin1Char('m') || l == QLatin1Char('y') || l == QLatin1Char('h') ||
                l == QLatin1Char('s'))
                return true;
            if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0 ||
                code.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool isBuiltinDateFormat(uint16_t id)
{
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

// What the globals say about number formats, until it is known which formats show dates.
struct Formats {
    std::vector<std::pair<uint16_t, QString>> codes; // FORMAT: id, format code
    std::vector<uint16_t> ofXf;                      // per XF: its format id
};

void checkGlobalsBof(const Book& book, bool found, const Record& r)
{
    if (!found || r.type != BOF || !r.hasFields())
        throw makeError(book.stream.size() < 4 ? ErrorCode::Truncated : ErrorCode::Corrupt, book.path,
                        QStringLiteral("(немає заголовка книги)"));
    const uint16_t vers = u16(r.data);
    if (vers != kBiff8)
        throw makeError(vers < kBiff8 ? ErrorCode::OldFormat : ErrorCode::Corrupt, book.path);
    if (u16(r.data + 2) != DT_GLOBALS)
        throw makeError(ErrorCode::Corrupt, book.path,
                        QStringLiteral("(перший підпотік не є загальною частиною книги)"));
}

Sheet readBoundSheet(const Book& book, const Record& r)
{
    if (!r.hasFields())
        throw makeError(ErrorCode::Corrupt, book.path, QStringLiteral("(запис аркуша)"));
    Sheet sh;
    sh.boundsheetPos = r.pos;
    sh.bof = u32(r.data);
    sh.dt = uint8_t(r.data[5]);
    sh.name = readShortString(r.data + 6, r.len - 6u);
    return sh;
}

// One record of the globals; the SST takes its CONTINUE records from `it`.
void readGlobalRecord(Book& book, const Record& r, RecordIterator& it, Formats& formats)
{
    if (!r.hasFields() && r.type != BOUNDSHEET && r.type != SST)
        return;
    switch (r.type) {
    case FILEPASS:
        if (!book.cipher)
            throw makeError(ErrorCode::Encrypted, book.path); // a FILEPASS the decryption did not see
        break;
    case DATEMODE:
        book.date1904 = u16(r.data) == 1;
        break;
    case BOUNDSHEET:
        book.sheets.push_back(readBoundSheet(book, r));
        break;
    case FORMAT:
        // ifmt, then an XLUnicodeString: u16 cch, u8 flags, characters.
        formats.codes.emplace_back(u16(r.data), charsFrom(r.data + 5, r.len - 5u, u16(r.data + 2), r.data[4] & 1));
        break;
    case XF:
        formats.ofXf.push_back(u16(r.data + 2));
        book.xfStyle.push_back((u16(r.data + 4) & kXfStyle) != 0);
        break;
    case SST:
        readSst(book, r, it);
        break;
    default:
        break;
    }
}

// Per XF, whether it shows a date or a time.
std::vector<uint8_t> dateFlags(const Formats& formats)
{
    std::vector<uint8_t> out(formats.ofXf.size(), 0);
    for (size_t x = 0; x < formats.ofXf.size(); ++x) {
        const uint16_t id = formats.ofXf[x];
        bool date = isBuiltinDateFormat(id);
        for (const auto& [fid, code] : formats.codes)
            if (fid == id)
                date = isDateFormatCode(code);
        out[x] = date ? 1 : 0;
    }
    return out;
}

} // namespace

void readGlobals(Book& book)
{
    RecordIterator it(book.stream, 0, uint32_t(book.stream.size()));
    Record r;
    checkGlobalsBof(book, it.next(&r), r);
    Formats formats;
    do {
        book.globals.push_back(r);
        if (r.type == EOF_)
            break;
        readGlobalRecord(book, r, it, formats);
    } while (it.next(&r));
    if (book.globals.back().type != EOF_)
        throw makeError(ErrorCode::Truncated, book.path);
    book.globalsEnd = book.globals.back().end();
    book.xfDate = dateFlags(formats);
}

void locateSheets(Book& book)
{
    const QByteArray& stream = book.stream;
    auto isBofAt = [&](uint32_t pos) {
        return uint64_t(pos) + 4 <= uint64_t(stream.size()) && pos >= book.globalsEnd &&
               u16(stream.constData() + pos) == BOF;
    };
    std::vector<Sheet>& sheets = book.sheets;
    if (std::all_of(sheets.begin(), sheets.end(), [&](const Sheet& sh) { return isBofAt(sh.bof); }))
        return;
    std::vector<uint32_t> starts;
    RecordIterator it(stream, book.globalsEnd, uint32_t(stream.size()));
    Record r;
    while (it.next(&r))
        if (r.type == BOF && r.depth == 1)
            starts.push_back(r.pos);
    for (size_t k = 0; k < sheets.size(); ++k)
        if (!isBofAt(sheets[k].bof) && k < starts.size() &&
            std::none_of(sheets.begin(), sheets.end(), [&](const Sheet& o) { return o.bof == starts[k]; }))
            sheets[k].bof = starts[k];
}

} // namespace xls::book
