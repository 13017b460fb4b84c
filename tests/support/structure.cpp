#include "structure.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QtEndian>
#include <vector>

namespace fixtures {

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFA; // sector numbers from here on end a chain

uint16_t le16(const QByteArray& b, qint64 at)
{
    return at >= 0 && at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.constData() + at) : 0;
}
uint32_t le32(const QByteArray& b, qint64 at)
{
    return at >= 0 && at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.constData() + at) : 0;
}

// A stream of the compound file and where each of its units (sectors or mini sectors) lies in the file.
struct Stream {
    QByteArray data;
    std::vector<qint64> unitAt;
    uint32_t unit = 512;
    qint64 filePos(uint32_t pos) const { return unitAt[pos / unit] + pos % unit; }
};

class Container {
public:
    explicit Container(const QByteArray& file) : m_file(file) {}
    // The "Workbook" (or "Book") stream; sets `error` when it cannot be read.
    Stream workbook(QString* error, int* difatSectors);

private:
    qint64 sectorAt(uint32_t n) const { return (qint64(n) + 1) * m_ss; }
    std::vector<uint32_t> chain(const std::vector<uint32_t>& table, uint32_t start) const;
    std::vector<uint32_t> readTable(const std::vector<uint32_t>& sectors) const;
    QByteArray gather(const std::vector<uint32_t>& sectors) const;

    const QByteArray& m_file;
    uint32_t m_ss = 512;
};

std::vector<uint32_t> Container::chain(const std::vector<uint32_t>& table, uint32_t start) const
{
    std::vector<uint32_t> out;
    for (uint32_t cur = start; cur < kEnd && cur < table.size() && out.size() <= table.size(); cur = table[cur])
        out.push_back(cur);
    return out;
}

std::vector<uint32_t> Container::readTable(const std::vector<uint32_t>& sectors) const
{
    std::vector<uint32_t> table;
    for (uint32_t s : sectors)
        for (uint32_t k = 0; k < m_ss / 4; ++k)
            table.push_back(le32(m_file, sectorAt(s) + 4 * k));
    return table;
}

QByteArray Container::gather(const std::vector<uint32_t>& sectors) const
{
    QByteArray out;
    for (uint32_t s : sectors)
        out += m_file.mid(sectorAt(s), m_ss);
    return out;
}

Stream Container::workbook(QString* error, int* difatSectors)
{
    Stream s;
    if (m_file.size() < 512 || !m_file.startsWith("\xD0\xCF\x11\xE0")) {
        *error = QStringLiteral("not a compound file");
        return s;
    }
    m_ss = 1u << le16(m_file, 0x1E);
    const uint32_t numFat = le32(m_file, 0x2C);
    std::vector<uint32_t> fatSectors;
    for (uint32_t i = 0; i < 109 && fatSectors.size() < numFat; ++i)
        fatSectors.push_back(le32(m_file, 0x4C + 4 * i));
    for (uint32_t d = le32(m_file, 0x44); d < kEnd && fatSectors.size() < numFat && *difatSectors < 1000;
         d = le32(m_file, sectorAt(d) + m_ss - 4)) {
        ++*difatSectors;
        for (uint32_t k = 0; k + 1 < m_ss / 4 && fatSectors.size() < numFat; ++k)
            fatSectors.push_back(le32(m_file, sectorAt(d) + 4 * k));
    }
    const std::vector<uint32_t> fat = readTable(fatSectors);
    const QByteArray dir = gather(chain(fat, le32(m_file, 0x30)));
    for (qint64 e = 0; e + 128 <= dir.size(); e += 128) {
        const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(dir.constData() + e),
                                                std::max(0, le16(dir, e + 64) / 2 - 1));
        if (dir[e + 66] != 2 || (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) != 0 &&
                                 name.compare(QLatin1String("Book"), Qt::CaseInsensitive) != 0))
            continue;
        const uint32_t start = le32(dir, e + 116), size = le32(dir, e + 120);
        if (size >= le32(m_file, 0x38)) {
            for (uint32_t sector : chain(fat, start))
                s.unitAt.push_back(sectorAt(sector));
            s.data = gather(chain(fat, start)).left(size);
        } else { // in the mini stream, the root entry's data
            const std::vector<uint32_t> rootSectors = chain(fat, le32(dir, 116));
            const std::vector<uint32_t> miniFat = readTable(chain(fat, le32(m_file, 0x3C)));
            const QByteArray mini = gather(rootSectors);
            s.unit = 64;
            for (uint32_t m : chain(miniFat, start)) {
                s.unitAt.push_back(sectorAt(rootSectors.at(m * 64 / m_ss)) + m * 64 % m_ss);
                s.data += mini.mid(qint64(m) * 64, 64);
            }
            s.data = s.data.left(size);
        }
        if (uint32_t(s.data.size()) != size)
            *error = QStringLiteral("the workbook stream's chain is short");
        return s;
    }
    *error = QStringLiteral("no workbook stream");
    return s;
}

struct Rec {
    uint16_t type, len;
    uint32_t pos;
    int depth; // 1 for a sheet's own records, BOF and EOF included; 2 inside a chart in it
    uint32_t body() const { return pos + 4; }
    uint32_t end() const { return pos + 4 + len; }
};

enum : uint16_t {
    BOF = 0x0809,
    EOF_ = 0x000A,
    BOUNDSHEET = 0x0085,
    SST = 0x00FC,
    CONTINUE = 0x003C,
    EXTSST = 0x00FF,
    INDEX = 0x020B,
    DBCELL = 0x00D7,
    ROW = 0x0208,
    DEFCOLWIDTH = 0x0055,
};

bool isCell(uint16_t t)
{
    static const QSet<uint16_t> cells{0x0201, 0x00BE, 0x0203, 0x027E, 0x00BD, 0x00FD, 0x0204, 0x00D6, 0x0205, 0x0006};
    return cells.contains(t);
}

class Walker {
public:
    Walker(const Stream& s, StructureReport& r) : m_s(s), m_data(s.data), m_r(r) {}
    void run();

private:
    void field(const QString& kind, uint32_t at, int size) { m_r.fields.append({kind, m_s.filePos(at), size}); }
    // Records a position field and checks it; `what` names the place in the problem.
    void check(const QString& kind, uint32_t at, int size, qint64 want, const QString& what);
    void checkSheet(size_t bof);
    void checkIndex(const std::vector<Rec>& own);
    void checkDbcell(const Rec& db, const std::vector<Rec>& rows, const std::vector<Rec>& cells);
    void checkExtSst(size_t sst, const Rec& ext);
    std::vector<std::pair<uint32_t, uint32_t>> sstStrings(const std::vector<Rec>& pieces);

    const Stream& m_s;
    const QByteArray& m_data;
    StructureReport& m_r;
    std::vector<Rec> m_recs;
    QString m_where; // the sheet being checked
};

void Walker::check(const QString& kind, uint32_t at, int size, qint64 want, const QString& what)
{
    field(kind, at, size);
    const qint64 got = size == 2 ? le16(m_data, at) : le32(m_data, at);
    if (got != want)
        m_r.problems << QStringLiteral("%1%2 %3: %4, expected %5").arg(m_where, kind, what).arg(got).arg(want);
}

void Walker::run()
{
    int depth = 0;
    for (uint32_t pos = 0; pos + 4 <= uint32_t(m_data.size());) {
        const Rec r{le16(m_data, pos), le16(m_data, pos + 2), pos, 0};
        if (r.end() > uint32_t(m_data.size())) {
            m_r.problems << QStringLiteral("a record runs past the end of the stream at %1").arg(pos);
            break;
        }
        depth += r.type == BOF;
        m_recs.push_back({r.type, r.len, pos, depth});
        depth -= r.type == EOF_ && depth > 0;
        pos = r.end();
    }
    size_t g = 0; // the globals' EOF
    while (g < m_recs.size() && !(m_recs[g].type == EOF_ && m_recs[g].depth == 1))
        ++g;
    QHash<uint32_t, size_t> bofs; // substreams after the globals, by position
    for (size_t k = g + 1; k < m_recs.size(); ++k)
        if (m_recs[k].type == BOF && m_recs[k].depth == 1)
            bofs.insert(m_recs[k].pos, k);
    QSet<uint32_t> used;
    int sheet = 0;
    for (size_t k = 0; k < g; ++k) {
        const Rec& r = m_recs[k];
        if (r.type == BOUNDSHEET) {
            const uint32_t at = le32(m_data, r.body());
            field(QStringLiteral("BOUNDSHEET"), r.body(), 4);
            static const QHash<int, int> bofKind{{0, 0x10}, {1, 0x40}, {2, 0x20}};
            const int dt = uint8_t(m_data[r.body() + 5]);
            if (!bofs.contains(at))
                m_r.problems << QStringLiteral("BOUNDSHEET %1: %2 is no substream's BOF").arg(sheet).arg(at);
            else if (used.contains(at))
                m_r.problems << QStringLiteral("BOUNDSHEET %1: %2 is another sheet's BOF").arg(sheet).arg(at);
            else if (bofKind.contains(dt) && le16(m_data, m_recs[bofs[at]].body() + 2) != bofKind[dt])
                m_r.problems
                    << QStringLiteral("BOUNDSHEET %1: %2 is the BOF of another kind of sheet").arg(sheet).arg(at);
            else
                checkSheet(bofs[at]);
            m_where.clear();
            used.insert(at);
            ++sheet;
        } else if (r.type == EXTSST) {
            for (size_t s = 0; s < k; ++s)
                if (m_recs[s].type == SST)
                    checkExtSst(s, r);
        }
    }
}

void Walker::checkSheet(size_t bof)
{
    m_where = QStringLiteral("sheet at %1: ").arg(m_recs[bof].pos);
    std::vector<Rec> own;
    for (size_t k = bof; k < m_recs.size(); ++k) {
        if (m_recs[k].depth == 1)
            own.push_back(m_recs[k]);
        if (m_recs[k].type == EOF_ && m_recs[k].depth == 1)
            break;
    }
    checkIndex(own);
    std::vector<Rec> rows, cells;
    for (const Rec& r : own) {
        if (r.type == ROW)
            rows.push_back(r);
        else if (isCell(r.type))
            cells.push_back(r);
        else if (r.type == DBCELL) {
            checkDbcell(r, rows, cells);
            rows.clear();
            cells.clear();
        }
    }
}

void Walker::checkIndex(const std::vector<Rec>& own)
{
    const auto index = std::find_if(own.begin(), own.end(), [](const Rec& r) { return r.type == INDEX; });
    if (index == own.end() || index->len < 16)
        return;
    int64_t rwMic = -1, rwMac = 0, defColWidth = 0;
    std::vector<uint32_t> dbcells;
    for (const Rec& r : own) {
        if (r.type == ROW) {
            const int64_t rw = le16(m_data, r.body());
            rwMic = rwMic < 0 ? rw : std::min(rwMic, rw);
            rwMac = std::max(rwMac, rw + 1);
        } else if (r.type == DBCELL) {
            dbcells.push_back(r.pos);
        } else if (r.type == DEFCOLWIDTH && !defColWidth) {
            defColWidth = r.pos;
        }
    }
    const uint32_t b = index->body();
    check(QStringLiteral("INDEX first row"), b + 4, 4, std::max<int64_t>(rwMic, 0), {});
    check(QStringLiteral("INDEX last row"), b + 8, 4, rwMac, {});
    check(QStringLiteral("INDEX DEFCOLWIDTH"), b + 12, 4, defColWidth, {});
    const size_t listed = (index->len - 16u) / 4;
    if (listed != dbcells.size())
        m_r.problems << QStringLiteral("%1INDEX lists %2 DBCELL records, the sheet has %3")
                            .arg(m_where)
                            .arg(listed)
                            .arg(dbcells.size());
    for (size_t j = 0; j < listed && j < dbcells.size(); ++j)
        check(QStringLiteral("INDEX DBCELL"), b + 16 + 4 * uint32_t(j), 4, dbcells[j], QString::number(j));
}

// `rows` and `cells` are the sheet's own ROW and cell records since the previous DBCELL. Each row
// of the block has an offset to its first cell, or, for a row without cells, to where the cells
// of the rows after it begin; the first is counted from the end of the first ROW, the others from
// the previous one's cell.
void Walker::checkDbcell(const Rec& db, const std::vector<Rec>& rows, const std::vector<Rec>& cells)
{
    const QString what = QString::number(db.pos);
    check(QStringLiteral("DBCELL row"), db.body(), 4, rows.empty() ? 0 : db.pos - rows.front().pos, what);
    const size_t listed = (db.len - 4u) / 2;
    if (listed != rows.size())
        m_r.problems << QStringLiteral("%1DBCELL %2 lists %3 rows, the block has %4")
                            .arg(m_where, what)
                            .arg(listed)
                            .arg(rows.size());
    uint32_t prev = rows.empty() ? 0 : rows.front().end();
    for (size_t i = 0; i < listed && i < rows.size(); ++i) {
        const uint16_t rw = le16(m_data, rows[i].body());
        const auto first = std::find_if(cells.begin(), cells.end(), [&](const Rec& c) {
            return c.pos > rows.back().pos && le16(m_data, c.body()) >= rw;
        });
        const uint32_t at = first == cells.end() ? db.pos : first->pos;
        check(QStringLiteral("DBCELL cell"), db.body() + 4 + 2 * uint32_t(i), 2, at - prev, what);
        prev = at;
    }
}

// Each string of the SST: (its stream position, the position of the record it starts in).
std::vector<std::pair<uint32_t, uint32_t>> Walker::sstStrings(const std::vector<Rec>& pieces)
{
    std::vector<std::pair<uint32_t, uint32_t>> out;
    size_t p = 0;
    uint32_t off = 8; // past cstTotal and cstUnique
    auto settle = [&] {
        while (p < pieces.size() && off >= pieces[p].len) {
            ++p;
            off = 0;
        }
        return p < pieces.size();
    };
    auto skip = [&](uint64_t n) { // bytes that need no option byte where they cross a record
        for (; n > 0; --n, ++off)
            if (!settle())
                return false;
        return true;
    };
    auto byte = [&]() { return settle() ? uint8_t(m_data[pieces[p].body() + off++]) : 0; };
    while (settle()) {
        out.emplace_back(pieces[p].body() + off, pieces[p].pos);
        const uint32_t cch = byte() | (byte() << 8);
        const uint8_t flags = byte();
        const uint32_t runs = flags & 8 ? byte() | (byte() << 8) : 0;
        const uint32_t ext = flags & 4 ? byte() | (byte() << 8) | (byte() << 16) | (uint32_t(byte()) << 24) : 0;
        bool high = flags & 1;
        for (uint32_t left = cch; left > 0;) {
            if (off >= pieces[p].len) { // characters go on after an option byte
                if (++p >= pieces.size())
                    return out;
                off = 1;
                high = m_data[pieces[p].body()] & 1;
            }
            const uint32_t take = std::min(left, (pieces[p].len - off) / (high ? 2 : 1));
            off = take ? off + take * (high ? 2 : 1) : pieces[p].len;
            left -= take;
        }
        if (!skip(uint64_t(runs) * 4 + ext))
            break;
    }
    return out;
}

void Walker::checkExtSst(size_t sst, const Rec& ext)
{
    std::vector<Rec> pieces{m_recs[sst]};
    for (size_t k = sst + 1; k < m_recs.size() && m_recs[k].type == CONTINUE; ++k)
        pieces.push_back(m_recs[k]);
    m_r.sstContinues = int(pieces.size()) - 1;
    const auto strings = sstStrings(pieces);
    const uint32_t dsst = le16(m_data, ext.body());
    const size_t buckets = (ext.len - 2u) / 8;
    if (dsst == 0 || buckets != (strings.size() + dsst - 1) / dsst)
        m_r.problems
            << QStringLiteral("EXTSST has %1 buckets of %2 for %3 strings").arg(buckets).arg(dsst).arg(strings.size());
    for (size_t k = 0; k < buckets && dsst && k * dsst < strings.size(); ++k) {
        const auto [pos, header] = strings[k * dsst];
        const uint32_t at = ext.body() + 2 + 8 * uint32_t(k);
        check(QStringLiteral("EXTSST position"), at, 4, pos, QString::number(k));
        check(QStringLiteral("EXTSST offset"), at + 4, 2, pos - header, QString::number(k));
    }
}

} // namespace

StructureReport checkStructure(const QByteArray& file)
{
    StructureReport report;
    QString error;
    Container container(file);
    const Stream stream = container.workbook(&error, &report.difatSectors);
    if (!error.isEmpty()) {
        report.problems << error;
        return report;
    }
    Walker(stream, report).run();
    return report;
}

QStringList structureProblems(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + path};
    return checkStructure(f.readAll()).problems;
}

} // namespace fixtures
