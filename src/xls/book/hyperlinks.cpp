#include "hyperlinks.h"

#include <algorithm>

namespace xls::book {

using namespace biff;

namespace {

// The class of the standard hyperlink object, and of a file moniker (little-endian GUID bytes).
constexpr char kStdLinkClsid[] = "\xD0\xC9\xEA\x79\xF9\xBA\xCE\x11\x8C\x82\x00\xAA\x00\x4B\xA9\x0B";
constexpr char kFileMonikerClsid[] = "\x03\x03\x00\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46";
constexpr int kClsidSize = 16;

// Hyperlink object flags.
constexpr uint32_t kHasMoniker = 0x01;
constexpr uint32_t kIsAbsolute = 0x02;
constexpr uint32_t kSiteGaveDisplayName = 0x04;
constexpr uint32_t kHasLocation = 0x08;
constexpr uint32_t kHasDisplayName = 0x10;
constexpr uint32_t kStreamVersion = 2;

// File moniker constants: no server part, the version mark, and the key of its Unicode path.
constexpr uint16_t kEndServer = 0xFFFF;
constexpr uint16_t kMonikerVersion = 0xDEAD;
constexpr uint16_t kUnicodePathKey = 3;
constexpr int kMonikerReserved = 20;

constexpr uint16_t kHlinkTooltip = 0x0800;

void add16(QByteArray& out, uint16_t v)
{
    char b[2];
    put16(b, v);
    out.append(b, 2);
}
void add32(QByteArray& out, uint32_t v)
{
    char b[4];
    put32(b, v);
    out.append(b, 4);
}
void addUtf16(QByteArray& out, const QString& s)
{
    for (QChar c : s)
        add16(out, c.unicode());
}

// A HyperlinkString: the count of characters with the closing NUL, the characters, the NUL.
void addLinkString(QByteArray& out, const QString& s)
{
    add32(out, uint32_t(s.size() + 1));
    addUtf16(out, s);
    add16(out, 0);
}

bool isAbsolutePath(const QString& p)
{
    return p.startsWith(u'\\') || (p.size() >= 2 && p.at(1) == u':' && p.at(0).isLetter());
}

// A file moniker of `path` (backslashes): its parent-folder steps are counted, not spelled; the
// 8-bit path keeps ASCII only, so a path with other characters also gets its UTF-16 form.
void addFileMoniker(QByteArray& out, QString path, bool absolute)
{
    uint16_t up = 0;
    while (!absolute && (path.startsWith(QLatin1String("..\\")) || path.startsWith(QLatin1String(".\\")))) {
        if (path.startsWith(u'.') && path.at(1) == u'.')
            ++up;
        path.remove(0, path.indexOf(u'\\') + 1);
    }
    QByteArray ansi;
    bool ascii = true;
    for (QChar c : path) {
        ascii = ascii && c.unicode() < 0x80;
        ansi.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
    }
    out.append(kFileMonikerClsid, kClsidSize);
    add16(out, up);
    add32(out, uint32_t(ansi.size() + 1));
    out.append(ansi);
    out.append('\0');
    add16(out, kEndServer);
    add16(out, kMonikerVersion);
    out.append(QByteArray(kMonikerReserved, '\0'));
    if (ascii) {
        add32(out, 0);
        return;
    }
    const uint32_t bytes = uint32_t(path.size() * 2);
    add32(out, bytes + 6);
    add32(out, bytes);
    add16(out, kUnicodePathKey);
    addUtf16(out, path);
}

bool followsLinks(uint16_t type)
{
    switch (type) {
    case DVAL:
    case DV:
    case CODENAME:
    case WEBPUB:
    case CELLWATCH:
    case SHEETEXT:
    case FEATHDR:
    case FEAT:
    case FEATHDR11:
    case FEATURE11:
    case FEATURE12:
    case EOF_:
        return true;
    default:
        return false;
    }
}

} // namespace

QByteArray hlinkRecord(uint16_t row, uint16_t col, const Link& link)
{
    QByteArray body;
    add16(body, row); // the range: first and last row, first and last column
    add16(body, row);
    add16(body, col);
    add16(body, col);
    body.append(kStdLinkClsid, kClsidSize);
    add32(body, kStreamVersion);
    QString target = link.target;
    target.replace(u'/', u'\\');
    const bool absolute = isAbsolutePath(target);
    uint32_t flags = kSiteGaveDisplayName | kHasDisplayName;
    if (!target.isEmpty())
        flags |= kHasMoniker | (absolute ? kIsAbsolute : 0);
    if (!link.location.isEmpty())
        flags |= kHasLocation;
    add32(body, flags);
    addLinkString(body, QString()); // the cell shows its own text
    if (!target.isEmpty())
        addFileMoniker(body, target, absolute);
    if (!link.location.isEmpty())
        addLinkString(body, link.location);
    QByteArray rec;
    appendRecord(rec, HLINK, body.constData(), uint32_t(body.size()));
    return rec;
}

size_t hlinkPlace(const std::vector<Record>& recs, size_t from)
{
    for (size_t k = from; k < recs.size(); ++k)
        if (recs[k].depth == 1 && recs[k].type == WINDOW2)
            from = k + 1;
    for (size_t k = from; k < recs.size(); ++k)
        if (recs[k].depth == 1 && followsLinks(recs[k].type))
            return k;
    return recs.empty() ? 0 : recs.size() - 1;
}

bool linkReplaced(const Record& r, const Sheet& sh)
{
    if (r.type != HLINK || r.depth != 1 || r.len < 8 || sh.links.empty())
        return false;
    const uint16_t row = u16(r.data), col = u16(r.data + 4);
    return row == u16(r.data + 2) && col == u16(r.data + 6) && col < kMaxCols && sh.links.count(editKey(row, col)) > 0;
}

bool isLinkTooltip(const Record& r)
{
    return r.type == kHlinkTooltip && r.depth == 1;
}

} // namespace xls::book
