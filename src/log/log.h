#pragma once

#include "sheet/locale.h"
#include "sheet/msexcel.h"

#include <QString>
#include <memory>
#include <stdexcept>

namespace findings {

// The log sheet has no room for another finding.
class LogFull : public std::runtime_error {
public:
    explicit LogFull(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// "A".."Z" for columns 1 to 26, the decimal text otherwise, empty for 0.
QString columnText(int col);

// Where a finding points in the report, as a hyperlink's location in Excel's form: 'Таблиця 2'!C7.
// Without a row (0 or outside the sheet) it is row 1, without a column column A, so that a finding
// on a whole row opens that row and one on a whole sheet opens the sheet.
QString findingLocation(const QString& sheetName, int row, int col);

// The findings log workbook: one finding per row of its first sheet, from `rowlog` on.
class FindingsLog {
public:
    FindingsLog(sheet::Locale locale, sheet::Clock clock) : m_locale(std::move(locale)), m_clock(std::move(clock)) {}

    std::shared_ptr<sheet::Book> WBLog;
    int rowlog = 2;
    // The full path of the report the findings are about; when set, each finding's sheet name is a
    // hyperlink to its cell there, by a path relative to the log's folder.
    QString report;

    // Appends one finding: sheet name, row, column text, message and time in columns A to E.
    void Log(const QString& tabsheetname, const QString& comment, int row, int col);

    int count() const { return m_count; }

private:
    sheet::Locale m_locale;
    sheet::Clock m_clock;
    int m_count = 0;
};

} // namespace findings
