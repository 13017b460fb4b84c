// Fuzz target for the check of a report: any bytes that open as a workbook must give findings, or
// stop with a message that names the report's sheet and cell, or an xls::Error — never a crash, a
// hang, an unnamed cell or another error. Built with libFuzzer by tools/fuzz.sh check, or with
// replay_main.cpp, the small driver that replays files, as the test suite does.
#include "run/checkreport.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <cstddef>
#include <cstdint>
#include <optional>

#ifndef FUZZ_LIST_DIR
#define FUZZ_LIST_DIR "data"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<sheet::Book> report;
    try {
        report.emplace(QStringLiteral("/звіти/zvit.xls"), xls::Workbook::fromBytes(bytes, QStringLiteral("zvit.xls")));
    } catch (const xls::Error&) {
        return 0;
    }
    check::Environment env;
    env.locale = sheet::Locale::comma();
    env.clock = [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 30, 15)); };
    env.listDir = QStringLiteral(FUZZ_LIST_DIR);
    // The report as the message names it: in the system's own form.
    static const QString shown =
        QRegularExpression::escape(QDir::toNativeSeparators(QStringLiteral("/звіти/zvit.xls")));
    static const QRegularExpression named(
        QStringLiteral("^Перевірку зупинено: (клітинка [A-Z]{1,2}[0-9]+ аркуша «[^»]*» звіту «%1» містить |"
                       "у звіті «%1» немає жодного аркуша)")
            .arg(shown));
    try {
        const app::CheckedReport checked = app::checkReport(*report, env, {true, 2});
        for (const findings::Finding& f : checked.findings)
            if (f.message.isEmpty() || f.sheet.isNull())
                __builtin_trap();
    } catch (const app::CheckStopped& e) {
        if (!named.match(e.message()).hasMatch())
            __builtin_trap(); // a stop that does not name its cell
    } catch (const xls::Error&) {
    } catch (const findings::LogFull&) {
    }
    return 0;
}
