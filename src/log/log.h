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

// The findings log workbook: one finding per row of its first sheet, from `rowlog` on.
class FindingsLog {
public:
    FindingsLog(sheet::Locale locale, sheet::Clock clock) : m_locale(std::move(locale)), m_clock(std::move(clock)) {}

    std::shared_ptr<sheet::Book> WBLog;
    int rowlog = 2;

    // Appends one finding: sheet name, row, column text, message and time in columns A to E.
    void Log(const QString& tabsheetname, const QString& comment, int row, int col);

    int count() const { return m_count; }

private:
    sheet::Locale m_locale;
    sheet::Clock m_clock;
    int m_count = 0;
};

} // namespace findings
