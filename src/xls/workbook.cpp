#include "workbook.h"

#include "biff.h"
#include "cfb.h"
#include "error.h"
#include "savefile.h"

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

namespace {

constexpr uint32_t kNoString = 0xFFFFFFFF;
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

struct CellRec {
    uint16_t col;
    CellType type;
    uint8_t code;
    uint32_t str;
    double num;
};

struct Edit {
    bool text;
    QString s;
    double num;
};

struct ColInfo {
    uint16_t first, last, ixfe;
};

struct Sheet {
    QString name;
    uint8_t dt = 0;
    uint32_t boundsheetPos = 0;
    uint32_t bof = 0, end = 0;
    bool located = false;
    bool worksheet = false;
    std::vector<std::vector<CellRec>> rows;
    std::vector<uint16_t> rowXf; // per row: ixfe + 1 when the row carries its own format, else 0
    int lastRow = 0;
    std::vector<ColInfo> colInfo;
    uint16_t defaultRowHeight = 0x00FF;
    std::map<uint32_t, Edit> edits; // key: (row0 << 8) | col0
};

uint32_t editKey(int row0, int col0)
{
    return (uint32_t(row0) << 8) | uint32_t(col0);
}

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

QString readShortString(const char* p, uint32_t len, uint32_t* used)
{
    // ShortXLUnicodeString: u8 cch, u8 flags, characters.
    QString s;
    *used = 0;
    if (len < 2)
        return s;
    const uint32_t cch = uint8_t(p[0]);
    const bool high = uint8_t(p[1]) & 1;
    const uint32_t need = 2 + cch * (high ? 2 : 1);
    const uint32_t n = std::min(cch, (len - 2) / (high ? 2 : 1));
    for (uint32_t i = 0; i < n; ++i)
        s.append(high ? QChar(u16(p + 2 + 2 * i)) : QChar(char16_t(uint8_t(p[2 + i]))));
    *used = std::min(need, len);
    return s;
}

} // namespace

struct Workbook::Impl {
    QString path;
    QByteArray fileBytes;
    CompoundFile cf;
    int wbEntry = -1;
    QByteArray stream;
    std::vector<Record> globals;
    uint32_t globalsEnd = 0;
    std::vector<Sheet> sheets;
    std::vector<QString> strings; // SST entries first, then texts of other records
    uint32_t sstCount = 0;
    std::vector<bool> sstPlain;
    int sstRec = -1;                                // index in `globals`
    std::vector<int> sstPieces;                     // indices in `globals` of SST and its CONTINUEs
    std::vector<std::pair<size_t, uint32_t>> sstAt; // where each SST string starts (piece, offset)
    std::pair<size_t, uint32_t> sstEnd{0, 0};
    uint32_t cstTotal = 0;
    int64_t maxIsst = -1; // the highest string index a cell refers to
    std::vector<uint8_t> xfDate;
    std::vector<bool> xfStyle;
    bool date1904 = false;
    bool modified = false;

    std::vector<bool> parseOnly; // when set, only these sheets' cells are read (the save's self-check)
    void parse();
    void parseGlobals();
    void parseSheet(Sheet& sh);
    uint32_t addString(QString s)
    {
        strings.push_back(std::move(s));
        return uint32_t(strings.size() - 1);
    }
    QByteArray buildStream() const;
    void selfCheck(const QByteArray& file) const;
};

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
            if (t == 0x0009 || t == 0x0209 || t == 0x0409 || t == 0x0809)
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
        int depth = 0;
        for (const Record& r : tokenize(stream, globalsEnd, uint32_t(stream.size()))) {
            if (r.type == BOF && depth++ == 0)
                starts.push_back(r.pos);
            else if (r.type == EOF_ && depth > 0)
                --depth;
        }
        for (size_t k = 0; k < sheets.size(); ++k)
            if (!isBofAt(sheets[k].bof) && k < starts.size() &&
                std::none_of(sheets.begin(), sheets.end(), [&](const Sheet& o) { return o.bof == starts[k]; }))
                sheets[k].bof = starts[k];
    }
    for (size_t k = 0; k < sheets.size(); ++k)
        if (parseOnly.empty() || (k < parseOnly.size() && parseOnly[k]))
            parseSheet(sheets[k]);
}

void Workbook::Impl::parseGlobals()
{
    bool complete = false;
    std::vector<Record> recs = tokenize(stream, 0, uint32_t(stream.size()), &complete);
    if (recs.empty() || recs[0].type != BOF || recs[0].len < 4)
        throw makeError(stream.size() < 4 ? ErrorCode::Truncated : ErrorCode::Corrupt, path,
                        QStringLiteral("(немає заголовка книги)"));
    const uint16_t vers = u16(recs[0].data);
    const uint16_t dt = u16(recs[0].data + 2);
    if (vers != 0x0600)
        throw makeError(vers < 0x0600 ? ErrorCode::OldFormat : ErrorCode::Corrupt, path);
    if (dt != 0x0005)
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
            if (r.len >= 2)
                date1904 = u16(r.data) == 1;
            break;
        case BOUNDSHEET: {
            if (r.len < 8)
                throw makeError(ErrorCode::Corrupt, path, QStringLiteral("(запис аркуша)"));
            Sheet sh;
            sh.boundsheetPos = r.pos;
            sh.bof = u32(r.data);
            sh.dt = uint8_t(r.data[5]);
            uint32_t used = 0;
            sh.name = readShortString(r.data + 6, r.len - 6u, &used);
            sheets.push_back(std::move(sh));
            break;
        }
        case FORMAT: {
            if (r.len < 5)
                break;
            const uint16_t id = u16(r.data);
            const uint16_t cch = u16(r.data + 2);
            const bool high = uint8_t(r.data[4]) & 1;
            QString s;
            const uint32_t n = std::min<uint32_t>(cch, (r.len - 5u) / (high ? 2 : 1));
            for (uint32_t k = 0; k < n; ++k)
                s.append(high ? QChar(u16(r.data + 5 + 2 * k)) : QChar(char16_t(uint8_t(r.data[5 + k]))));
            formats.emplace_back(id, s);
            break;
        }
        case XF:
            if (r.len >= 6) {
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
            if (r.len < 8)
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

void Workbook::Impl::parseSheet(Sheet& sh)
{
    if (uint64_t(sh.bof) + 4 > uint64_t(stream.size()) || sh.bof < globalsEnd ||
        u16(stream.constData() + sh.bof) != BOF)
        return; // not located: a sheet with no cells, and the workbook cannot be written
    const std::vector<Record> recs = tokenize(stream, sh.bof, uint32_t(stream.size()));
    if (recs.empty() || recs[0].len < 4)
        return;
    sh.located = true;
    sh.worksheet = u16(recs[0].data + 2) == 0x0010 && sh.dt == 0;
    int depth = 0;
    size_t i = 0;
    for (; i < recs.size(); ++i) {
        const Record& r = recs[i];
        if (r.type == BOF) {
            ++depth;
            continue;
        }
        if (r.type == EOF_) {
            if (--depth == 0)
                break;
            continue;
        }
        if (depth != 1 || !sh.worksheet)
            continue;
        if (r.type == COLINFO && r.len >= 10) {
            sh.colInfo.push_back({u16(r.data), u16(r.data + 2), u16(r.data + 6)});
            continue;
        }
        if (r.type == DEFAULTROWHEIGHT && r.len >= 4) {
            sh.defaultRowHeight = u16(r.data + 2);
            continue;
        }
        if (r.type == ROW && r.len >= 16) {
            const uint16_t rw = u16(r.data);
            const uint16_t flags = u16(r.data + 12);
            // The row's column span sizes its cell list once, before its cells arrive.
            const uint16_t span =
                uint16_t(std::min<int>(256, std::max(0, int(u16(r.data + 4)) - int(u16(r.data + 2)))));
            if (span) {
                if (sh.rows.size() <= rw)
                    sh.rows.resize(size_t(rw) + 1);
                sh.rows[rw].reserve(span);
            }
            if (flags & 0x80) {
                if (sh.rowXf.size() <= rw)
                    sh.rowXf.resize(size_t(rw) + 1, 0);
                sh.rowXf[rw] = uint16_t((u16(r.data + 14) & 0x0FFF) + 1);
                sh.lastRow = std::max(sh.lastRow, int(rw) + 1);
            }
            continue;
        }
        if (!isCellRecord(r.type) || r.len < 6)
            continue;
        const uint16_t rw = u16(r.data);
        const uint16_t col = u16(r.data + 2);
        auto put = [&sh](uint16_t row, CellRec c) {
            if (sh.rows.size() <= row)
                sh.rows.resize(size_t(row) + 1);
            sh.rows[row].push_back(c);
            sh.lastRow = std::max(sh.lastRow, int(row) + 1);
        };
        auto numberCell = [this](uint16_t c, uint16_t ixfe, double v) {
            const bool date = ixfe < xfDate.size() && xfDate[ixfe];
            return CellRec{c, date ? CellType::DateTime : CellType::Number, 0, kNoString, v};
        };
        const uint16_t ixfe = u16(r.data + 4);
        switch (r.type) {
        case BLANK:
            put(rw, CellRec{col, CellType::Empty, 0, kNoString, 0});
            break;
        case MULBLANK:
        case MULRK: {
            const uint32_t each = r.type == MULRK ? 6 : 2;
            if (r.len < 6)
                break;
            const uint32_t n = (r.len - 6u) / each;
            for (uint32_t k = 0; k < n; ++k) {
                const char* e = r.data + 4 + k * each;
                const uint16_t c = uint16_t(col + k);
                if (r.type == MULRK)
                    put(rw, numberCell(c, u16(e), decodeRk(u32(e + 2))));
                else
                    put(rw, CellRec{c, CellType::Empty, 0, kNoString, 0});
            }
            break;
        }
        case NUMBER:
            if (r.len >= 14) {
                double v;
                std::memcpy(&v, r.data + 6, 8);
                put(rw, numberCell(col, ixfe, v));
            }
            break;
        case RK:
            if (r.len >= 10)
                put(rw, numberCell(col, ixfe, decodeRk(u32(r.data + 6))));
            break;
        case LABELSST:
            if (r.len >= 10) {
                const uint32_t isst = u32(r.data + 6);
                maxIsst = std::max<int64_t>(maxIsst, isst);
                put(rw, CellRec{col, CellType::Text, 0, isst < sstCount ? isst : kNoString, 0});
            }
            break;
        case LABEL:
        case RSTRING: {
            ContinueReader reader({{r.data + 6, r.len - 6u}});
            QString s;
            reader.readString(&s, false);
            put(rw, CellRec{col, CellType::Text, 0, addString(std::move(s)), 0});
            break;
        }
        case BOOLERR:
            if (r.len >= 8)
                put(rw,
                    CellRec{col, r.data[7] ? CellType::Error : CellType::Boolean, uint8_t(r.data[6]), kNoString, 0});
            break;
        case FORMULA: {
            if (r.len < 20)
                break;
            const char* v = r.data + 6;
            if (uint8_t(v[6]) == 0xFF && uint8_t(v[7]) == 0xFF) {
                switch (uint8_t(v[0])) {
                case 0: { // text result: the STRING record follows
                    QString s;
                    for (size_t j = i + 1; j < recs.size(); ++j) {
                        const uint16_t t = recs[j].type;
                        if (t == SHRFMLA || t == ARRAY || t == TABLE || t == CONTINUE)
                            continue;
                        if (t == STRING) {
                            std::vector<ContinueReader::Piece> pieces{{recs[j].data, recs[j].len}};
                            for (size_t k = j + 1; k < recs.size() && recs[k].type == CONTINUE; ++k)
                                pieces.push_back({recs[k].data, recs[k].len});
                            ContinueReader reader(pieces);
                            reader.readString(&s, false);
                        }
                        break;
                    }
                    put(rw, CellRec{col, CellType::Text, 0, addString(std::move(s)), 0});
                    break;
                }
                case 1:
                    put(rw, CellRec{col, CellType::Boolean, uint8_t(v[2]), kNoString, 0});
                    break;
                case 2:
                    put(rw, CellRec{col, CellType::Error, uint8_t(v[2]), kNoString, 0});
                    break;
                default:
                    put(rw, CellRec{col, CellType::Text, 0, kNoString, 0});
                    break;
                }
            } else {
                double num;
                std::memcpy(&num, v, 8);
                put(rw, numberCell(col, ixfe, num));
            }
            break;
        }
        default:
            break;
        }
    }
    sh.end = i < recs.size() ? recs[i].pos + 4 + recs[i].len
                             : (recs.empty() ? sh.bof : recs.back().pos + 4 + recs.back().len);
    if (i >= recs.size())
        sh.located = false; // no closing EOF: readable, not writable
    // Cells of a row in column order; a repeated cell keeps its last record.
    for (auto& row : sh.rows) {
        if (row.size() < 2)
            continue;
        bool sorted = true;
        for (size_t k = 1; k < row.size(); ++k)
            if (row[k].col <= row[k - 1].col)
                sorted = false;
        if (sorted)
            continue;
        std::stable_sort(row.begin(), row.end(), [](const CellRec& a, const CellRec& b) { return a.col < b.col; });
        std::vector<CellRec> dedup;
        for (const CellRec& c : row) {
            if (!dedup.empty() && dedup.back().col == c.col)
                dedup.back() = c;
            else
                dedup.push_back(c);
        }
        row.swap(dedup);
    }
    if (!sh.located)
        sh.end = sh.bof;
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

CellValue Workbook::cell(int sheet, int row, int col) const
{
    CellValue v;
    if (sheet < 0 || size_t(sheet) >= d->sheets.size() || row < 1 || col < 1 || row > kMaxRows || col > kMaxCols)
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
    if (sheet < 0 || size_t(sheet) >= d->sheets.size())
        throw makeError(ErrorCode::CellOutOfRange, d->path);
    if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols)
        throw makeError(
            ErrorCode::CellOutOfRange, d->path,
            QStringLiteral("(рядок %1, стовпець %2; найбільше 65536 рядків і 256 стовпців)").arg(row).arg(col));
    if (text.size() > 32767)
        throw makeError(ErrorCode::Unsupported, d->path, QStringLiteral("Текст довший за 32767 символів."));
    d->sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{true, text, 0};
    d->modified = true;
}

void Workbook::setNumber(int sheet, int row, int col, double value)
{
    if (sheet < 0 || size_t(sheet) >= d->sheets.size() || row < 1 || row > kMaxRows || col < 1 || col > kMaxCols)
        throw makeError(ErrorCode::CellOutOfRange, d->path);
    d->sheets[size_t(sheet)].edits[editKey(row - 1, col - 1)] = Edit{false, {}, value};
    d->modified = true;
}

void Workbook::save(const QString& target) const
{
    const QString where = target.isEmpty() ? d->path : target;
    writeFileAtomically(where, serialize());
}

// ---------------------------------------------------------------------------------------------
// Writing: every record the engine does not change is copied; the edited sheets get a new cell
// table (ROW blocks with DBCELL), the SST grows by the new strings, and every absolute stream
// position (BOUNDSHEET, INDEX, EXTSST) is recomputed.

namespace {

void appendRecord(QByteArray& out, uint16_t type, const char* data, uint32_t len)
{
    char h[4];
    put16(h, type);
    put16(h + 2, uint16_t(len));
    out.append(h, 4);
    out.append(data, qsizetype(len));
}

void appendRecord(QByteArray& out, const Record& r)
{
    appendRecord(out, r.type, r.data, r.len);
}

struct Unit {
    uint16_t col = 0, lastCol = 0;
    uint16_t type = 0;
    const char* src = nullptr; // records copied from the source stream
    uint32_t srcLen = 0;
    QByteArray own; // or bytes made here
    bool sharedHost = false;
    void appendTo(QByteArray& out) const
    {
        if (src)
            out.append(src, qsizetype(srcLen));
        else
            out.append(own);
    }
    uint32_t size() const { return src ? srcLen : uint32_t(own.size()); }
};

struct RowData {
    const char* rowRec = nullptr; // the ROW record (header included), if any
    QByteArray ownRow;
    std::vector<Unit> units;
};

struct BuiltSheet {
    QByteArray bytes;
    int indexData = -1; // offset of the INDEX record body in `bytes`
    bool rebuilt = false;
    uint32_t defColWidth = 0; // offset of DEFCOLWIDTH, 0 when there is none
    std::vector<uint32_t> dbcells;
};

Unit singleCell(uint16_t type, uint16_t row, uint16_t col, uint16_t ixfe, const char* body, uint32_t bodyLen)
{
    Unit u;
    u.col = u.lastCol = col;
    u.type = type;
    QByteArray data(6, '\0');
    put16(data.data(), row);
    put16(data.data() + 2, col);
    put16(data.data() + 4, ixfe);
    data.append(body, qsizetype(bodyLen));
    appendRecord(u.own, type, data.constData(), uint32_t(data.size()));
    return u;
}

// The cells [from, to] of a MULRK or MULBLANK record as one record (or a single RK/BLANK).
std::optional<Unit> mulPart(uint16_t type, const char* data, uint16_t row, uint16_t first, uint16_t from, uint16_t to)
{
    if (from > to)
        return std::nullopt;
    const uint32_t each = type == MULRK ? 6 : 2;
    const char* at = data + 4 + (from - first) * each;
    if (from == to) {
        if (type == MULRK)
            return singleCell(RK, row, from, u16(at), at + 2, 4);
        return singleCell(BLANK, row, from, u16(at), nullptr, 0);
    }
    QByteArray body(4, '\0');
    put16(body.data(), row);
    put16(body.data() + 2, from);
    body.append(at, qsizetype((to - from + 1) * each));
    char last[2];
    put16(last, to);
    body.append(last, 2);
    Unit u;
    u.col = from;
    u.lastCol = to;
    u.type = type;
    appendRecord(u.own, type, body.constData(), uint32_t(body.size()));
    return u;
}

} // namespace

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

QByteArray Workbook::Impl::buildStream() const
{
    const char* base = stream.constData();
    // The sheets' substreams must be separate, well-formed and after the globals.
    std::vector<size_t> order(sheets.size());
    for (size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
        if (!sheets[k].located)
            throw makeError(ErrorCode::Unsupported, path,
                            QStringLiteral("Аркуш «%1» пошкоджений.").arg(sheets[k].name));
    }
    std::sort(order.begin(), order.end(), [this](size_t a, size_t b) { return sheets[a].bof < sheets[b].bof; });
    uint32_t prevEnd = globalsEnd;
    for (size_t k : order) {
        if (sheets[k].bof < prevEnd)
            throw makeError(ErrorCode::Unsupported, path, QStringLiteral("Аркуші книги перекриваються."));
        prevEnd = sheets[k].end;
    }

    // New strings for the text edits: reuse an equal plain SST entry, else append.
    std::vector<QString> newStrings;
    QHash<QString, uint32_t> lookup;
    bool haveTextEdits = false;
    for (const Sheet& sh : sheets)
        for (const auto& [key, e] : sh.edits)
            haveTextEdits |= e.text;
    std::map<std::pair<size_t, uint32_t>, uint32_t> isstOf; // (sheet, key) -> isst
    if (haveTextEdits) {
        // Cells that point past the table must keep reading as empty: pad before the new strings.
        if (maxIsst >= int64_t(sstCount)) {
            if (maxIsst - int64_t(sstCount) > 1'000'000)
                throw makeError(ErrorCode::Unsupported, path, QStringLiteral("Таблиця рядків пошкоджена."));
            newStrings.resize(size_t(maxIsst + 1 - sstCount));
        }
        lookup.reserve(qsizetype(sstCount));
        for (uint32_t k = 0; k < sstCount; ++k)
            if (sstPlain[k])
                lookup.insert(strings[k], k);
        for (size_t si = 0; si < sheets.size(); ++si)
            for (const auto& [key, e] : sheets[si].edits) {
                if (!e.text)
                    continue;
                auto it = lookup.constFind(e.s);
                uint32_t isst;
                if (it != lookup.cend()) {
                    isst = it.value();
                } else {
                    isst = sstCount + uint32_t(newStrings.size());
                    newStrings.push_back(e.s);
                    lookup.insert(e.s, isst);
                }
                isstOf[{si, key}] = isst;
            }
    }
    int64_t refDelta = 0;

    // Build every sheet's substream.
    std::vector<BuiltSheet> built(sheets.size());
    for (size_t si = 0; si < sheets.size(); ++si) {
        const Sheet& sh = sheets[si];
        BuiltSheet& b = built[si];
        const std::vector<Record> recs = tokenize(stream, sh.bof, sh.end);
        if (sh.edits.empty()) {
            b.bytes = QByteArray(base + sh.bof, qsizetype(sh.end - sh.bof));
            for (size_t k = 1; k < recs.size() && k < 8; ++k) {
                if (recs[k].type == INDEX) {
                    b.indexData = int(recs[k].pos - sh.bof + 4);
                    break;
                }
                if (recs[k].type == ROW || isCellRecord(recs[k].type))
                    break;
            }
            continue;
        }
        if (!sh.worksheet)
            throw makeError(ErrorCode::Unsupported, path,
                            QStringLiteral("Аркуш «%1» не є звичайним аркушем.").arg(sh.name));
        b.rebuilt = true;
        // Split into prefix, cell table, foreign records inside the table, and suffix.
        std::vector<int> depthOf(recs.size());
        int depth = 0;
        for (size_t k = 0; k < recs.size(); ++k) {
            if (recs[k].type == BOF)
                ++depth;
            depthOf[k] = depth;
            if (recs[k].type == EOF_)
                --depth;
        }
        auto inTable = [&](size_t k) {
            const uint16_t t = recs[k].type;
            return depthOf[k] == 1 && (t == ROW || isCellRecord(t) || t == DBCELL);
        };
        size_t tStart = recs.size(), tEnd = 0;
        for (size_t k = 0; k < recs.size(); ++k)
            if (inTable(k)) {
                tStart = std::min(tStart, k);
                tEnd = k;
            }
        if (tStart == recs.size()) {
            // No cells yet: the table goes after DIMENSIONS (or before the window settings / EOF).
            size_t at = recs.size() - 1;
            for (size_t k = 0; k < recs.size(); ++k)
                if (depthOf[k] == 1 && recs[k].type == DIMENSIONS) {
                    at = k + 1;
                    break;
                }
            if (at == recs.size() - 1)
                for (size_t k = 1; k < recs.size(); ++k)
                    if (depthOf[k] == 1 && (recs[k].type == 0x023E || recs[k].type == EOF_)) {
                        at = k;
                        break;
                    }
            tStart = at;
            tEnd = at; // exclusive end below
        } else {
            // Records that belong to the last cell (formula strings and continuations).
            while (tEnd + 1 < recs.size() &&
                   (recs[tEnd + 1].type == STRING || recs[tEnd + 1].type == CONTINUE ||
                    recs[tEnd + 1].type == SHRFMLA || recs[tEnd + 1].type == ARRAY || recs[tEnd + 1].type == TABLE))
                ++tEnd;
            ++tEnd;
        }

        std::map<uint16_t, RowData> rows;
        std::vector<const Record*> moved;
        for (size_t k = tStart; k < tEnd; ++k) {
            const Record& r = recs[k];
            if (depthOf[k] != 1 || r.type == BOF) {
                moved.push_back(&r);
                continue;
            }
            if (r.type == ROW && r.len >= 16) {
                rows[u16(r.data)].rowRec = base + r.pos;
                continue;
            }
            if (r.type == DBCELL)
                continue;
            if (isCellRecord(r.type) && r.len >= 6) {
                Unit u;
                u.type = r.type;
                u.col = u16(r.data + 2);
                u.lastCol = u.col;
                if (r.type == MULRK || r.type == MULBLANK) {
                    const uint32_t n = (r.len - 6u) / (r.type == MULRK ? 6 : 2);
                    if (n == 0)
                        continue; // an empty run holds no cell: drop it
                    u.lastCol = uint16_t(u.col + n - 1);
                }
                size_t j = k + 1;
                while (j < tEnd && depthOf[j] == 1 &&
                       (recs[j].type == STRING || recs[j].type == CONTINUE || recs[j].type == SHRFMLA ||
                        recs[j].type == ARRAY || recs[j].type == TABLE)) {
                    if (recs[j].type == SHRFMLA || recs[j].type == ARRAY || recs[j].type == TABLE)
                        u.sharedHost = true;
                    ++j;
                }
                const uint32_t endPos = j < recs.size() ? recs[j].pos : recs[j - 1].pos + 4 + recs[j - 1].len;
                u.src = base + r.pos;
                u.srcLen = endPos - r.pos;
                if (r.type == FORMULA && r.len >= 23) {
                    const uint8_t ptg = uint8_t(r.data[22]);
                    if (ptg == 0x01 || ptg == 0x02)
                        u.sharedHost = true; // member of a shared or array formula
                }
                rows[u16(r.data)].units.push_back(std::move(u));
                k = j - 1;
                continue;
            }
            moved.push_back(&r);
        }
        for (auto& [rw, rd] : rows)
            std::stable_sort(rd.units.begin(), rd.units.end(),
                             [](const Unit& a, const Unit& b) { return a.col < b.col; });

        // Apply the edits.
        uint32_t dimRwMic = UINT32_MAX, dimRwMac = 0;
        uint16_t dimColMic = UINT16_MAX, dimColMac = 0;
        for (const auto& [key, e] : sh.edits) {
            const uint16_t row = uint16_t(key >> 8);
            const uint16_t col = uint16_t(key & 0xFF);
            dimRwMic = std::min<uint32_t>(dimRwMic, row);
            dimRwMac = std::max<uint32_t>(dimRwMac, uint32_t(row) + 1);
            dimColMic = std::min(dimColMic, col);
            dimColMac = std::max<uint16_t>(dimColMac, uint16_t(col + 1));
            RowData& rd = rows[row];
            uint16_t ixfe = 0x0F;
            if (row < sh.rowXf.size() && sh.rowXf[row])
                ixfe = uint16_t(sh.rowXf[row] - 1);
            else
                for (const ColInfo& ci : sh.colInfo)
                    if (col >= ci.first && col <= ci.last)
                        ixfe = ci.ixfe;
            if (ixfe >= xfStyle.size() || xfStyle[ixfe]) {
                ixfe = 0;
                for (size_t x = 0; x < xfStyle.size(); ++x)
                    if (!xfStyle[x]) {
                        ixfe = uint16_t(x);
                        break;
                    }
            }
            // Every record that covers the cell goes (a file may repeat a cell; the last one counted).
            std::vector<Unit> replacement;
            for (;;) {
                auto it = std::find_if(rd.units.begin(), rd.units.end(),
                                       [col](const Unit& u) { return col >= u.col && col <= u.lastCol; });
                if (it == rd.units.end())
                    break;
                const Unit old = *it;
                const char* data = (old.src ? old.src : old.own.constData()) + 4;
                if (old.sharedHost)
                    throw makeError(ErrorCode::Unsupported, path,
                                    QStringLiteral("Клітинка з рядка %1 аркуша «%2» містить спільну формулу.")
                                        .arg(row + 1)
                                        .arg(sh.name));
                if (old.type == MULRK || old.type == MULBLANK) {
                    const uint32_t each = old.type == MULRK ? 6 : 2;
                    ixfe = u16(data + 4 + (col - old.col) * each);
                    if (col > old.col)
                        replacement.push_back(*mulPart(old.type, data, row, old.col, old.col, uint16_t(col - 1)));
                    if (col < old.lastCol)
                        replacement.push_back(*mulPart(old.type, data, row, old.col, uint16_t(col + 1), old.lastCol));
                } else {
                    ixfe = u16(data + 4);
                    if (old.type == LABELSST)
                        --refDelta;
                }
                rd.units.erase(it);
            }
            if (e.text) {
                char body[4];
                put32(body, isstOf.at({si, key}));
                replacement.push_back(singleCell(LABELSST, row, col, ixfe, body, 4));
                ++refDelta;
            } else {
                char body[8];
                std::memcpy(body, &e.num, 8);
                replacement.push_back(singleCell(NUMBER, row, col, ixfe, body, 8));
            }
            for (Unit& u : replacement) {
                auto pos = std::lower_bound(rd.units.begin(), rd.units.end(), u.col,
                                            [](const Unit& a, uint16_t c) { return a.col < c; });
                rd.units.insert(pos, std::move(u));
            }
        }
        // Every row with cells gets a ROW record whose column span covers them.
        for (auto& [rw, rd] : rows) {
            if (rd.units.empty() && !rd.rowRec)
                continue;
            const bool touched = sh.edits.lower_bound(editKey(rw, 0)) != sh.edits.end() &&
                                 (sh.edits.lower_bound(editKey(rw, 0))->first >> 8) == rw;
            if (rd.rowRec && !touched)
                continue;
            QByteArray rec;
            if (rd.rowRec) {
                rec = QByteArray(rd.rowRec, 4 + u16(rd.rowRec + 2));
            } else {
                rec = QByteArray(20, '\0');
                put16(rec.data(), ROW);
                put16(rec.data() + 2, 16);
                put16(rec.data() + 4, rw);
                put16(rec.data() + 10, sh.defaultRowHeight);
                put16(rec.data() + 16, 0x0100);
                put16(rec.data() + 18, 0x000F);
                put16(rec.data() + 6, UINT16_MAX);
            }
            uint16_t mic = u16(rec.constData() + 6), mac = u16(rec.constData() + 8);
            if (!rd.rowRec)
                mic = UINT16_MAX, mac = 0;
            for (const Unit& u : rd.units) {
                mic = std::min(mic, u.col);
                mac = std::max<uint16_t>(mac, uint16_t(u.lastCol + 1));
            }
            if (mic == UINT16_MAX)
                mic = 0;
            put16(rec.data() + 6, mic);
            put16(rec.data() + 8, mac);
            rd.ownRow = rec;
            rd.rowRec = nullptr;
        }

        // Serialise: prefix, cell table, moved records, suffix.
        std::vector<uint16_t> rowOrder;
        for (const auto& [rw, rd] : rows)
            if (rd.rowRec || !rd.ownRow.isEmpty())
                rowOrder.push_back(rw);
        const size_t blocks = (rowOrder.size() + 31) / 32;
        QByteArray& out = b.bytes;
        out.reserve(qsizetype(sh.end - sh.bof) + 64 * qsizetype(sh.edits.size()) + 1024);
        for (size_t k = 0; k < tStart; ++k) {
            const Record& r = recs[k];
            if (depthOf[k] == 1 && r.type == INDEX && r.len >= 16) {
                b.indexData = int(out.size() + 4);
                QByteArray body(qsizetype(16 + 4 * blocks), '\0');
                appendRecord(out, INDEX, body.constData(), uint32_t(body.size()));
                continue;
            }
            if (depthOf[k] == 1 && r.type == DEFCOLWIDTH)
                b.defColWidth = uint32_t(out.size());
            if (depthOf[k] == 1 && r.type == DIMENSIONS && r.len >= 12) {
                QByteArray body(r.data, r.len);
                uint32_t mic = u32(r.data), mac = u32(r.data + 4);
                uint16_t cmic = u16(r.data + 8), cmac = u16(r.data + 10);
                if (mac <= mic) {
                    mic = dimRwMic;
                    mac = dimRwMac;
                    cmic = dimColMic;
                    cmac = dimColMac;
                } else {
                    mic = std::min(mic, dimRwMic);
                    mac = std::max(mac, dimRwMac);
                    cmic = std::min(cmic, dimColMic);
                    cmac = std::max(cmac, dimColMac);
                }
                put32(body.data(), mic);
                put32(body.data() + 4, mac);
                put16(body.data() + 8, cmic);
                put16(body.data() + 10, cmac);
                appendRecord(out, DIMENSIONS, body.constData(), r.len);
                continue;
            }
            appendRecord(out, r);
        }
        for (size_t blk = 0; blk < blocks; ++blk) {
            const size_t from = blk * 32, to = std::min(rowOrder.size(), from + 32);
            const uint32_t blockStart = uint32_t(out.size());
            uint32_t firstRowEnd = 0;
            for (size_t k = from; k < to; ++k) {
                const RowData& rd = rows[rowOrder[k]];
                if (rd.rowRec)
                    out.append(rd.rowRec, 4 + u16(rd.rowRec + 2));
                else
                    out.append(rd.ownRow);
                if (k == from)
                    firstRowEnd = uint32_t(out.size());
            }
            std::vector<uint16_t> offsets;
            uint32_t prev = firstRowEnd;
            for (size_t k = from; k < to; ++k) {
                const RowData& rd = rows[rowOrder[k]];
                if (rd.units.empty())
                    continue;
                const uint32_t cellsStart = uint32_t(out.size());
                for (const Unit& u : rd.units)
                    u.appendTo(out);
                offsets.push_back(uint16_t(std::min<uint32_t>(cellsStart - prev, 0xFFFF)));
                prev = cellsStart;
            }
            const uint32_t dbPos = uint32_t(out.size());
            QByteArray body(qsizetype(4 + 2 * offsets.size()), '\0');
            put32(body.data(), dbPos - blockStart);
            for (size_t k = 0; k < offsets.size(); ++k)
                put16(body.data() + 4 + 2 * k, offsets[k]);
            b.dbcells.push_back(dbPos);
            appendRecord(out, DBCELL, body.constData(), uint32_t(body.size()));
        }
        for (const Record* r : moved)
            appendRecord(out, *r);
        for (size_t k = tEnd; k < recs.size(); ++k)
            appendRecord(out, recs[k]);
        if (b.indexData >= 0) {
            char* p = out.data() + b.indexData;
            put32(p + 4, rowOrder.empty() ? 0 : rowOrder.front());
            put32(p + 8, rowOrder.empty() ? 0 : uint32_t(rowOrder.back()) + 1);
        }
    }

    // The globals: SST grown by the new strings, EXTSST recomputed, BOUNDSHEET positions patched below.
    QByteArray out;
    out.reserve(stream.size() + 64 * qsizetype(newStrings.size()) + 4096);
    std::vector<uint32_t> boundsheetData; // offsets of BOUNDSHEET bodies, in sheet order
    const bool sstChanged = !newStrings.empty() || refDelta != 0;
    std::vector<uint32_t> pieceHeader;                // new positions of the SST pieces' headers
    std::vector<std::pair<uint32_t, uint32_t>> newAt; // (record header position, offset in body) of new strings
    auto writeSst = [&](bool existing) {
        auto begin = [&out](uint16_t type) {
            const uint32_t h = uint32_t(out.size());
            out.append(4, '\0');
            put16(out.data() + h, type);
            return h;
        };
        auto finish = [&out](uint32_t h) { put16(out.data() + h + 2, uint16_t(out.size() - h - 4)); };
        uint32_t cur;
        if (existing) {
            for (size_t p = 0; p < sstPieces.size(); ++p) {
                const Record& r = globals[size_t(sstPieces[p])];
                if (p > sstEnd.first)
                    break;
                cur = begin(r.type);
                pieceHeader.push_back(cur);
                const uint32_t len = p == sstEnd.first ? sstEnd.second : r.len;
                out.append(r.data, qsizetype(len));
                if (p == 0) {
                    put32(out.data() + cur + 4, uint32_t(std::max<int64_t>(0, int64_t(cstTotal) + refDelta)));
                    put32(out.data() + cur + 8, sstCount + uint32_t(newStrings.size()));
                }
                if (p + 1 <= sstEnd.first)
                    finish(cur);
            }
            cur = pieceHeader.back();
        } else {
            cur = begin(SST);
            char head[8];
            put32(head, uint32_t(std::max<int64_t>(0, refDelta)));
            put32(head + 4, uint32_t(newStrings.size()));
            out.append(head, 8);
            pieceHeader.push_back(cur);
        }
        for (const QString& s : newStrings) {
            const uint32_t need = s.isEmpty() ? 3 : 5;
            if (out.size() - cur - 4 + need > kMaxRecordData) {
                finish(cur);
                cur = begin(CONTINUE);
            }
            newAt.emplace_back(cur, uint32_t(out.size() - cur - 4));
            char head[3];
            put16(head, uint16_t(s.size()));
            head[2] = 1;
            out.append(head, 3);
            qsizetype i = 0;
            while (i < s.size()) {
                qsizetype avail = (qsizetype(kMaxRecordData) - (out.size() - cur - 4)) / 2;
                if (avail <= 0) {
                    finish(cur);
                    cur = begin(CONTINUE);
                    out.append(char(1));
                    continue;
                }
                const qsizetype take = std::min(avail, s.size() - i);
                const qsizetype at = out.size();
                out.resize(at + 2 * take);
                for (qsizetype k = 0; k < take; ++k)
                    put16(out.data() + at + 2 * k, s.at(i + k).unicode());
                i += take;
            }
        }
        finish(cur);
    };
    auto writeExtSst = [&]() {
        const uint32_t total = uint32_t(sstAt.size() + newStrings.size());
        uint32_t dsst = 8;
        while ((total + dsst - 1) / dsst > 1020)
            dsst *= 2;
        const uint32_t buckets = (total + dsst - 1) / dsst;
        QByteArray body(qsizetype(2 + 8 * buckets), '\0');
        put16(body.data(), uint16_t(dsst));
        for (uint32_t k = 0; k < buckets; ++k) {
            const uint32_t idx = k * dsst;
            uint32_t hdr, off;
            if (idx < sstAt.size()) {
                hdr = pieceHeader[sstAt[idx].first];
                off = sstAt[idx].second;
            } else {
                hdr = newAt[idx - sstAt.size()].first;
                off = newAt[idx - sstAt.size()].second;
            }
            put32(body.data() + 2 + 8 * k, hdr + 4 + off);
            put16(body.data() + 6 + 8 * k, uint16_t(off + 4));
        }
        appendRecord(out, EXTSST, body.constData(), uint32_t(body.size()));
    };
    for (size_t k = 0; k < globals.size(); ++k) {
        const Record& r = globals[k];
        if (r.type == BOUNDSHEET) {
            boundsheetData.push_back(uint32_t(out.size() + 4));
            appendRecord(out, r);
        } else if (sstChanged && int(k) == sstRec) {
            // The new EXTSST follows the SST directly, wherever the old one stood.
            writeSst(true);
            writeExtSst();
            k = size_t(sstPieces.back());
        } else if (sstChanged && r.type == EXTSST) {
            continue;
        } else if (r.type == EOF_ && sstChanged && sstRec < 0) {
            writeSst(false);
            writeExtSst();
            appendRecord(out, r);
        } else {
            appendRecord(out, r);
        }
    }

    // Lay out the substreams in their original order, keeping the bytes between them.
    std::vector<uint32_t> newBof(sheets.size());
    uint32_t oldPos = globalsEnd;
    for (size_t k : order) {
        out.append(base + oldPos, qsizetype(sheets[k].bof - oldPos));
        newBof[k] = uint32_t(out.size());
        BuiltSheet& b = built[k];
        if (b.indexData >= 0) {
            char* p = b.bytes.data() + b.indexData;
            const uint32_t len = u16(b.bytes.constData() + b.indexData - 2);
            if (b.rebuilt) {
                put32(p + 12, b.defColWidth ? newBof[k] + b.defColWidth : 0);
                for (size_t j = 0; j < b.dbcells.size(); ++j)
                    put32(p + 16 + 4 * j, newBof[k] + b.dbcells[j]);
            } else {
                const int64_t delta = int64_t(newBof[k]) - int64_t(sheets[k].bof);
                for (uint32_t off = 12; off + 4 <= len; off += 4) {
                    const uint32_t v = u32(p + off);
                    if (v)
                        put32(p + off, uint32_t(int64_t(v) + delta));
                }
            }
        }
        out.append(b.bytes);
        oldPos = sheets[k].end;
    }
    out.append(base + oldPos, qsizetype(stream.size()) - qsizetype(oldPos));
    for (size_t k = 0; k < sheets.size() && k < boundsheetData.size(); ++k)
        put32(out.data() + boundsheetData[k], newBof[k]);
    return out;
}

void Workbook::Impl::selfCheck(const QByteArray& file) const
{
    // Read the new file back: the sheets must be the same and every edit must read as written.
    auto fail = [this](const QString& why) {
        return makeError(ErrorCode::Unsupported, path, QStringLiteral("Перевірка нового файлу: %1").arg(why));
    };
    // Only the edited sheets are read again: the others were copied byte for byte.
    Workbook back;
    try {
        back.d->path = path;
        back.d->fileBytes = file;
        back.d->cf = CompoundFile::parse(file, path);
        for (const Sheet& sh : sheets)
            back.d->parseOnly.push_back(!sh.edits.empty());
        back.d->parse();
    } catch (const Error& e) {
        throw fail(e.message());
    }
    if (back.sheetCount() != int(sheets.size()))
        throw fail(QStringLiteral("кількість аркушів"));
    for (size_t si = 0; si < sheets.size(); ++si) {
        const Sheet& sh = sheets[si];
        const Sheet& nb = back.d->sheets[si];
        if (nb.name != sh.name)
            throw fail(QStringLiteral("назва аркуша"));
        if (sh.edits.empty())
            continue;
        for (const auto& [key, e] : sh.edits) {
            const CellValue v = back.cell(int(si), int(key >> 8) + 1, int(key & 0xFF) + 1);
            if (e.text ? (v.type != CellType::Text || v.text != e.s)
                       : (v.type != CellType::Number && v.type != CellType::DateTime) || v.number != e.num)
                throw fail(QStringLiteral("клітинка рядка %1").arg((key >> 8) + 1));
        }
        // Cells that were not edited keep their values.
        for (size_t r = 0; r < sh.rows.size(); ++r) {
            const auto& a = sh.rows[r];
            if (a.empty())
                continue;
            if (r >= nb.rows.size())
                throw fail(QStringLiteral("рядок %1").arg(r + 1));
            const auto& bRow = nb.rows[r];
            for (const CellRec& c : a) {
                if (sh.edits.count(editKey(int(r), c.col)))
                    continue;
                auto it = std::lower_bound(bRow.begin(), bRow.end(), c.col,
                                           [](const CellRec& x, uint16_t col) { return x.col < col; });
                if (it == bRow.end() || it->col != c.col || it->type != c.type ||
                    (c.type != CellType::Text && std::memcmp(&it->num, &c.num, 8) != 0) || it->code != c.code ||
                    (c.type == CellType::Text && (c.str == kNoString ? QString() : strings[c.str]) !=
                                                     (it->str == kNoString ? QString() : back.d->strings[it->str])))
                    throw fail(QStringLiteral("клітинка рядка %1 аркуша «%2»").arg(r + 1).arg(sh.name));
            }
        }
    }
}

} // namespace xls
