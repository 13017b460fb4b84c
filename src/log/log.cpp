#include "log.h"

namespace findings {

QString columnText(int col)
{
    if (col == 0)
        return {};
    if (col >= 1 && col <= 26)
        return QString(QChar(u'A' + (col - 1)));
    return QString::number(col);
}

void FindingsLog::Log(const QString& tabsheetname, const QString& comment, int row, int col, bool /*fileisnew*/)
{
    // The log holds at most the sheet's 65536 rows; past that the run stops instead of writing a bad file.
    WBLog->SetValue(1, rowlog, 1, tabsheetname);
    if (row != 0)
        WBLog->SetValue(1, rowlog, 2, QString::number(row));
    if (col != 0)
        WBLog->SetValue(1, rowlog, 3, columnText(col));
    WBLog->SetValue(1, rowlog, 4, comment);
    WBLog->SetValue(1, rowlog, 5, m_locale.dateTimeText(m_clock()));
    ++rowlog;
    ++m_count;
}

} // namespace findings
