#include "xls/book/model.h"
#include "xls/error.h"

#include <algorithm>
#include <cstring>

namespace xls {

using namespace biff;

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
