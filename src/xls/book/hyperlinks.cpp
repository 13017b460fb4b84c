#include "hyperlinks.h"

#include "xls/biff/strings.h"

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
constexpr uint32_t kHasLocation = 0x08;
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

// The separator of the link's path: on Windows the backslash, as Excel writes it; elsewhere the slash,
// which LibreOffice there follows (it takes "in\\X.xls" for one file of that name).
#ifdef Q_OS_WIN
constexpr char16_t kSeparator = u'\\';
#else
constexpr char16_t kSeparator = u'/';
#endif

bool isAbsolutePath(const QString& p)
{
    return p.startsWith(kSeparator) || (p.size() >= 2 && p.at(1) == u':' && p.at(0).isLetter());
}

// A file moniker of `path` (in kSeparator's terms): its parent-folder steps are counted, not spelled;
// the 8-bit copy of the path is in Windows-1251, as a Ukrainian Windows program writes it, and a path
// with other than ASCII characters also gets its exact UTF-16 form.
void addFileMoniker(QByteArray& out, QString path, bool absolute)
{
    const QString parent = QStringLiteral("..") + kSeparator, same = QStringLiteral(".") + kSeparator;
    uint16_t up = 0;
    while (!absolute && (path.startsWith(parent) || path.startsWith(same))) {
        up += path.startsWith(parent) ? 1 : 0;
        path.remove(0, path.indexOf(kSeparator) + 1);
    }
    const QByteArray ansi = biff::toCp1251(path);
    bool ascii = true;
    for (QChar c : path)
        ascii = ascii && c.unicode() < 0x80;
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
#ifdef Q_OS_WIN
    target.replace(u'/', u'\\');
#endif
    const bool absolute = isAbsolutePath(target);
    // No display name: the cell shows its own text (a display name that is empty would be flagged as
    // present yet say nothing).
    uint32_t flags = 0;
    if (!target.isEmpty())
        flags |= kHasMoniker | (absolute ? kIsAbsolute : 0);
    if (!link.location.isEmpty())
        flags |= kHasLocation;
    add32(body, flags);
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
