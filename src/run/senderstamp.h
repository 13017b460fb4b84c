#pragma once

#include "sheet/locale.h"
#include "sheet/msexcel.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace app {

// Whether the sender checked a report before sending it, as the report and its file tell.
struct SenderCheck {
    // The stamp "Контроль звіту" writes into S13 of the first sheet (the date and time of the
    // sender's last check), as the cell shows it; «не перевірявся» when the cell is empty.
    QString stamp;
    std::optional<QDateTime> stampTime; // the stamp read as a local date and time, when it is one
    QDateTime modified;                 // the file's modification time (local)
    // «Файл збережено після перевірки …» when the file is newer than the stamp by more than a few
    // minutes (the check saves right after stamping), and «Контроль звіту не прийняв би цей звіт: …»
    // when the single check could not stamp it (S13 inside a shared formula, for example).
    QStringList flags;
};

// The stamp's own words for a report that was never checked.
QString notCheckedStamp();

// Reads a stamp as the check writes it in the usual regional settings ("09.12.2026 10:30:15", with
// or without seconds, "/" or "-" between the parts, the time left out at midnight) or as a date
// cell; nothing when it is not one.
std::optional<QDateTime> stampMoment(const xls::CellValue& value, const sheet::Locale& locale, bool date1904);

// Looks at the report's stamp and file. `report` is the check's own copy in memory, opened read-only:
// when S13 holds something other than a readable stamp, a stamp is written into it (never saved) to
// learn whether the single check could have stamped and saved it. `file` is the name the flags use.
SenderCheck readSenderCheck(sheet::Book& report, const QString& path, const QString& file, const sheet::Locale& locale);

} // namespace app
