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
    constexpr int kRows = 65536, kCols = 256;
    if (row < 1 || row > kRows)
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
    // The log sheet has 65536 rows; past that the run stops with a clear error instead of losing findings.
    if (rowlog > 65536)
        throw LogFull(QStringLiteral("Протокол перевірки переповнений: знайдено понад %1 помилок, більше, ніж "
                                     "вміщує аркуш Excel. Виправте наведені помилки у звіті та повторіть перевірку")
                          .arg(65536 - 1));
    WBLog->SetValue(1, rowlog, 1, fitCell(tabsheetname));
    // The sheet name carries the link: it is in every finding (row and column may be empty) and
    // is the widest of the three cells that name the place.
    if (!report.isEmpty())
        WBLog->AddHyperlink(1, rowlog, 1, QFileInfo(WBLog->FullName()).dir().relativeFilePath(report),
                            findingLocation(tabsheetname, row, col));
    if (row != 0)
        WBLog->SetValue(1, rowlog, 2, QString::number(row));
    if (col != 0)
        WBLog->SetValue(1, rowlog, 3, columnText(col));
    WBLog->SetValue(1, rowlog, 4, fitCell(comment));
    WBLog->SetValue(1, rowlog, 5, m_locale.dateTimeText(m_clock()));
    ++rowlog;
    ++m_count;
}

} // namespace findings
