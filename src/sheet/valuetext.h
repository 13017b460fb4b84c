#pragma once

#include "locale.h"
#include "xls/workbook.h"

#include <QString>
#include <stdexcept>

namespace sheet {

// A cell whose value cannot become text (it holds an error value such as #N/A).
class CellReadError : public std::runtime_error {
public:
    CellReadError(const QString& message, const QString& value)
        : std::runtime_error(message.toStdString()), m_message(message), m_value(value)
    {
    }
    const QString& message() const { return m_message; }
    // The error value as the cell shows it ("#N/A").
    const QString& value() const { return m_value; }

private:
    QString m_message, m_value;
};

// Turns a cell value into the text the check reads: empty → "", number → general form,
// date-time → short date [+ blank + long time], text → unchanged, boolean → "TRUE"/"FALSE".
// An error value throws CellReadError.
QString valueText(const xls::CellValue& value, const Locale& locale, bool date1904 = false);

// The calendar moment of a serial date-time (1900 or 1904 system).
QDateTime serialToDateTime(double serial, bool date1904);

} // namespace sheet
