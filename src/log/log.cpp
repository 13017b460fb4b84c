#include "log.h"

#include <QDir>
#include <QFileInfo>

namespace findings {

QString columnText(int col)
{
    if (col == 0)
        return {};
    if (col >= 1 && col <= 26)
        return QString(QChar(u'A' + (col - 1)));
    return QString::number(col);
}

QString findingLocation(const QString& sheetName, int row, int col)
{
    constexpr int kCols = 256;
    if (row < 1 || row > kLogLastRow)
        row = 1;
    if (col < 1 || col > kCols)
        col = 1;
    QString letters;
    for (int c = col; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    QString quoted = sheetName;
    quoted.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("'%1'!%2%3").arg(quoted, letters).arg(row);
}

namespace {

// A cell holds at most 32767 characters; a longer message (it may quote a long cell) is cut.
QString fitCell(const QString& text)
{
    constexpr qsizetype kMax = 32767;
    return text.size() <= kMax ? text : text.left(kMax - 1) + QChar(0x2026);
}

} // namespace

void FindingsLog::Log(const QString& tabsheetname, const QString& comment, int row, int col)
{
    // Past the log sheet's last row the run stops with a clear error instead of losing findings.
    if (rowlog > kLogLastRow)
        throw LogFull(QStringLiteral("Протокол перевірки переповнений: знайдено понад %1 помилок, більше, ніж "
                                     "вміщує аркуш Excel. Виправте наведені помилки у звіті та повторіть перевірку")
                          .arg(kLogLastRow - 1));
    m_findings.push_back({tabsheetname, row, col, comment, m_clock()});
    ++rowlog;
}

void writeLog(sheet::Book& log, int firstRow, const std::vector<Finding>& found, const sheet::Locale& locale,
              const QString& report)
{
    const QString target = report.isEmpty() ? QString() : QFileInfo(log.FullName()).dir().relativeFilePath(report);
    int row = firstRow;
    for (const Finding& f : found) {
        log.SetValue(1, row, 1, fitCell(f.sheet));
        // The sheet name carries the link: it is in every finding (row and column may be empty) and
        // is the widest of the three cells that name the place.
        if (!target.isEmpty())
            log.AddHyperlink(1, row, 1, target, findingLocation(f.sheet, f.row, f.col));
        if (f.row != 0)
            log.SetValue(1, row, 2, QString::number(f.row));
        if (f.col != 0)
            log.SetValue(1, row, 3, columnText(f.col));
        log.SetValue(1, row, 4, fitCell(f.message));
        log.SetValue(1, row, 5, locale.dateTimeText(f.time));
        ++row;
    }
}

} // namespace findings
