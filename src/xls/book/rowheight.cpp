#include "rowheight.h"

#include <algorithm>
#include <cmath>

namespace xls::book {

using namespace biff;

namespace {

constexpr uint16_t FONT = 0x0031;
constexpr uint8_t kXfWrap = 0x08;        // XF alignment byte: the text wraps
constexpr uint16_t kDefaultFont = 200;   // 10 pt, in twips
constexpr uint16_t kMaxRowHeight = 8192; // 409.6 pt
constexpr double kLineFactor = 1.275;    // line height / font height
constexpr double kCellMargins = 1.0;     // digits of a column's width that its text cannot use

// A character's width in widths of the digit 0 of the same font (Arial and its metric twins),
// rounded up per class: narrow letters and punctuation, blanks, capitals, the widest letters.
double charWidth(QChar c)
{
    static const QString narrow = QStringLiteral("ijlI!'.,:;|()[]ftrіїІЇ`");
    static const QString wide = QStringLiteral("mwMWжшщюфЖШЩЮФ%@—");
    if (c == u' ')
        return 0.5;
    if (narrow.contains(c))
        return 0.5;
    if (wide.contains(c))
        return 1.5;
    if (c.isUpper())
        return 1.25;
    return 1.0;
}

} // namespace

RowFitter::RowFitter(const Book& book, const std::vector<Record>& sheetRecords)
{
    for (const Record& r : book.globals) {
        if (r.type == FONT && r.len >= 2)
            m_fontHeights.push_back(u16(r.data));
        else if (r.type == XF && r.len >= 7) {
            m_xfFont.push_back(u16(r.data));
            m_xfWrap.push_back((uint8_t(r.data[6]) & kXfWrap) != 0);
        }
    }
    for (const Record& r : sheetRecords) {
        if (r.depth != 1)
            continue;
        if (r.type == COLINFO && r.hasFields())
            m_widths.push_back({u16(r.data), u16(r.data + 2), u16(r.data + 4)});
        else if (r.type == DEFCOLWIDTH && r.len >= 2)
            m_defaultDigits = u16(r.data);
    }
}

uint16_t RowFitter::fontHeight(uint16_t ixfe) const
{
    if (ixfe >= m_xfFont.size())
        return kDefaultFont;
    // The font index 4 is never written: indices above it count one less.
    const uint16_t ifnt = m_xfFont[ixfe];
    const size_t k = ifnt > 4 ? size_t(ifnt) - 1 : ifnt;
    return k < m_fontHeights.size() && m_fontHeights[k] ? m_fontHeights[k] : kDefaultFont;
}

double RowFitter::columnDigits(uint16_t col) const
{
    for (const Width& w : m_widths)
        if (col >= w.first && col <= w.last)
            return w.width / 256.0;
    return m_defaultDigits;
}

// The lines `text` takes in a width of `widthDigits` digits of the normal font, its characters
// `scale` times as wide as in the normal font.
int RowFitter::lines(const QString& text, double widthDigits, double scale) const
{
    const double width = std::max(1.0, widthDigits - kCellMargins);
    int n = 0;
    for (const QString& para : text.split(u'\n')) {
        ++n;
        double used = 0;
        for (const QString& word : para.split(u' ')) {
            double w = 0;
            for (QChar c : word)
                w += charWidth(c) * scale;
            const double blank = used > 0 ? charWidth(u' ') * scale : 0;
            if (used > 0 && used + blank + w > width) {
                ++n;
                used = 0;
            } else {
                used += blank;
            }
            // A word wider than the column breaks inside.
            while (used + w > width && w > 0) {
                const double fits = width - used;
                w -= fits;
                ++n;
                used = 0;
            }
            used += w;
        }
    }
    return n;
}

uint16_t RowFitter::height(const std::vector<RowText>& texts, uint16_t minimum) const
{
    const double normal = fontHeight(0);
    double need = minimum;
    for (const RowText& t : texts) {
        const uint16_t font = fontHeight(t.ixfe);
        const bool wraps = t.ixfe < m_xfWrap.size() && m_xfWrap[t.ixfe];
        const int n = wraps ? lines(*t.text, columnDigits(t.col), font / normal) : 1;
        need = std::max(need, std::ceil(n * font * kLineFactor));
    }
    return uint16_t(std::min<double>(need, kMaxRowHeight));
}

} // namespace xls::book
