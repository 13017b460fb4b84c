#include "xls/biff/strings.h"
#include "xls/book/model.h"
#include "xls/error.h"

namespace xls {

using namespace biff;

namespace {

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

} // namespace

void Workbook::Impl::parseGlobals()
{
    bool complete = false;
    std::vector<Record> recs = tokenize(stream, 0, uint32_t(stream.size()), &complete);
    if (recs.empty() || recs[0].type != BOF || !recs[0].hasFields())
        throw makeError(stream.size() < 4 ? ErrorCode::Truncated : ErrorCode::Corrupt, path,
                        QStringLiteral("(немає заголовка книги)"));
    const uint16_t vers = u16(recs[0].data);
    const uint16_t dt = u16(recs[0].data + 2);
    if (vers != kBiff8)
        throw makeError(vers < kBiff8 ? ErrorCode::OldFormat : ErrorCode::Corrupt, path);
    if (dt != DT_GLOBALS)
        throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(перший підпотік не є загальною частиною книги)"));

    std::vector<std::pair<uint16_t, QString>> formats;
    std::vector<uint16_t> xfFormat;
    size_t i = 0;
    for (; i < recs.size(); ++i) {
        const Record& r = recs[i];
        globals.push_back(r);
        if (r.type == EOF_)
            break;
        switch (r.type) {
        case FILEPASS:
            throw makeError(ErrorCode::Encrypted, path);
        case DATEMODE:
            if (r.hasFields())
                date1904 = u16(r.data) == 1;
            break;
        case BOUNDSHEET: {
            if (!r.hasFields())
                throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(запис аркуша)"));
            Sheet sh;
            sh.boundsheetPos = r.pos;
            sh.bof = u32(r.data);
            sh.dt = uint8_t(r.data[5]);
            sh.name = readShortString(r.data + 6, r.len - 6u);
            sheets.push_back(std::move(sh));
            break;
        }
        case FORMAT: {
            if (!r.hasFields())
                break;
            // ifmt, then an XLUnicodeString: u16 cch, u8 flags, characters.
            formats.emplace_back(u16(r.data), charsFrom(r.data + 5, r.len - 5u, u16(r.data + 2), r.data[4] & 1));
            break;
        }
        case XF:
            if (r.hasFields()) {
                xfFormat.push_back(u16(r.data + 2));
                xfStyle.push_back((u16(r.data + 4) & 0x0004) != 0);
            }
            break;
        case SST: {
            sstRec = int(globals.size() - 1);
            sstPieces.push_back(sstRec);
            std::vector<ContinueReader::Piece> pieces{{r.data, r.len}};
            size_t j = i + 1;
            while (j < recs.size() && recs[j].type == CONTINUE) {
                globals.push_back(recs[j]);
                sstPieces.push_back(int(globals.size() - 1));
                pieces.push_back({recs[j].data, recs[j].len});
                ++j;
            }
            i = j - 1;
            if (!r.hasFields())
                throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(таблиця рядків)"));
            cstTotal = u32(r.data);
            const uint32_t unique = u32(r.data + 4);
            ContinueReader reader(pieces);
            reader.skip(8);
            strings.reserve(std::min<uint32_t>(unique, uint32_t(stream.size() / 3)));
            // Read every string that is there: some writers state a wrong count.
            for (;;) {
                const auto at = reader.position();
                if (reader.atEnd())
                    break;
                QString s;
                bool plain = true;
                if (!reader.readString(&s, true, &plain))
                    break; // a damaged tail: keep the strings read so far
                sstAt.push_back(at);
                strings.push_back(std::move(s));
                sstPlain.push_back(plain);
                sstEnd = reader.position();
                if (sstEnd.first >= pieces.size())
                    sstEnd = {pieces.size() - 1, pieces.back().len};
            }
            if (sstAt.empty())
                sstEnd = {0, 8};
            sstCount = uint32_t(strings.size());
            break;
        }
        default:
            break;
        }
    }
    if (globals.empty() || globals.back().type != EOF_)
        throw makeError(ErrorCode::Truncated, path);
    globalsEnd = globals.back().pos + 4 + globals.back().len;

    // Which cell formats show dates.
    xfDate.assign(xfFormat.size(), 0);
    for (size_t x = 0; x < xfFormat.size(); ++x) {
        const uint16_t id = xfFormat[x];
        bool date = isBuiltinDateFormat(id);
        for (const auto& [fid, code] : formats)
            if (fid == id)
                date = isDateFormatCode(code);
        xfDate[x] = date ? 1 : 0;
    }
}

} // namespace xls
