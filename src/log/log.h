#pragma once

#include "sheet/locale.h"
#include "sheet/msexcel.h"

#include <QDateTime>
#include <QString>
#include <stdexcept>
#include <vector>

namespace findings {

// One recorded violation: the report sheet's name as stored, the row and column it points at (0
// when not tied to one), the rule's message and the moment it was recorded.
struct Finding {
    QString sheet;
    int row = 0;
    int col = 0;
    QString message;
    QDateTime time;
    bool operator==(const Finding&) const = default;
};

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

// The last row of a log sheet.
inline constexpr int kLogLastRow = 65536;

// The findings of one check, in the order the rules record them. `rowlog` is the log row the next
// finding takes: it starts after the log template's used range, so the findings fit the sheet they
// will be written to, and the check stops with LogFull rather than lose one.
class FindingsLog {
public:
    FindingsLog(sheet::Clock clock, int firstRow = 2) : rowlog(firstRow), m_clock(std::move(clock)) {}

    int rowlog;

    // Records one finding: sheet name, message, row and column, with the time of recording.
    void Log(const QString& tabsheetname, const QString& comment, int row, int col);

    const std::vector<Finding>& findings() const { return m_findings; }
    std::vector<Finding> take() { return std::move(m_findings); }

private:
    sheet::Clock m_clock;
    std::vector<Finding> m_findings;
};

// Writes findings into the first sheet of a log workbook, one per row from `firstRow`: sheet name,
// row, column text, message and time (in `locale`) in columns A to E, all as texts. When `report`
// is given, each sheet name is a link to its cell there, by a path relative to the log's folder.
void writeLog(sheet::Book& log, int firstRow, const std::vector<Finding>& found, const sheet::Locale& locale,
              const QString& report = {});

} // namespace findings
