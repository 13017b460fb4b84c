#pragma once

#include "lists.h"
#include "log/log.h"
#include "period.h"
#include "sheet/locale.h"
#include "sheet/msexcel.h"

#include <QHash>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace check {

// The allowed values of the free premises sheet, and its two working slots.
enum TAnyEnum {
    aeVal1,
    aeVal2,
    aeVal3,
    aeVal4,
    aeVal5,
    aeVal6,
    aeVal7,
    aeVal8,
    aeVal9,
    aeVal10,
    aeVal11,
    aeVal12,
    aeVal13,
    aeVal14,
    aeVal15,
    aeVal16,
    vikor,
    primit,
    TAnyEnumCount
};
using TAnyMessages = std::array<QString, TAnyEnumCount>;
TAnyMessages makeMyMessages();

// One tenant collected from a tenant sheet.
struct TOrendar {
    QString fio;
    QString inn;
    QString mayno;
};

// The tenants of one tenant table kind, with an index for the debtor lookup.
class TenantList {
public:
    // Writes the tenant of row r at position r - 6; the list's length becomes r + 1, so a list that
    // an earlier sheet of the same name made longer is cut, and a shorter one grows with empty entries.
    void set(int r, TOrendar tenant);
    // Makes room for a list of `length` entries at once, so that it never grows by copying.
    void reserve(int length);
    // Whether some entry carries this code and lease kind (exact match): always the answer a search
    // of entries() gives, without walking them.
    bool contains(const QString& inn, const QString& mayno) const;
    const std::vector<TOrendar>& entries() const { return m_entries; }

private:
    using Key = std::pair<QString, QString>; // (code, lease kind)
    void count(const TOrendar& tenant, int delta);

    std::vector<TOrendar> m_entries;
    QHash<Key, int> m_index; // how many entries carry each key, but for empty entries
    int m_empty = 0;         // how many entries have neither code nor lease kind
};

// Column maps (1-based column numbers).
inline constexpr int col1kvart = 2, col1period = 2, col1stan = 2, col1inn = 2, col1name = 2, col1balkv = 2, col1nar = 2,
                     col1otr = 2, col1otrzvit = 2, col1zab_zag = 2, col1zab = 2, col1nar50zvit = 2, col1perer50zvit = 2,
                     col1perer50poper = 2, col1zab50zvit = 2, col130_50_min = 2, col1kvcmk = 2, col1narahcmk = 2,
                     col1perer50cmk = 2, col1zabcmk = 2, col1perer50in = 2, col1pererVod_En = 2, col1mail = 2,
                     col1tell = 2, col1vidpov = 2, col1dir = 2, col1buh = 2;
inline constexpr int col2no = 1, col2inn_or = 2, col2name_or = 3, col2inn_dav = 4, col2name_dav = 5, col2Pltotal = 7,
                     col2pl_nar_vid = 8, col2pl_nar_1grn = 9, col2pl_nar_time = 10, col2nar_tim = 11, col2otr_tim = 13,
                     col2nar50 = 14;
inline constexpr int col3num = 1, col3inn = 2, col3name = 3, col3inn_dav = 4, col3name_dav = 5, col3toltal = 7,
                     col3pot = 9, col3pros = 10, col3pros2 = 11, col3beznad = 12, col3spis = 14, col3kilk = 15,
                     col3kilk_zv = 16, col3kilksud = 17, col3kilksud_zv = 18, col3pozov = 19, col3pozov_zv = 20,
                     col3vik = 21, col3vik_zv = 22, col3pogash = 23;
inline constexpr int col4num = 1, col4namestr = 3, col4name_t = 4, col4numbud = 5, col4zagplbal = 6, col4zagplor = 7,
                     col4zagplvil = 8, col4korplvil = 9, col4MZKplvil = 10, col4poverh = 11, col4stan = 12,
                     col4energ = 13, col4vod = 14, col4teplo = 15;
// Columns the maps above leave unnamed: the lease kind ("Так" for movable property), charged under
// 1-hryvnia leases, of the debt for the period, due to the budget, repaid in the period; the
// district, the possible use and the note of a free premises.
inline constexpr int col2mayno = 6, col2nar_1grn = 12;
inline constexpr int col3mayno = 6, col3zab_zvit = 8, col3bud = 13, col3pogash_zv = 24;
inline constexpr int col4rayon = 2, col4vikor = 16, col4primit = 17;

// Values of the general data sheet that later rows of the same sheet use.
struct GeneralValues {
    int32_t zvitkvart = 0, zvitrik = 0, m = 0, y = 0;
    bool monthsTaken = false; // row 4 reached the comparison with the clock
    QString zvitinn;
    int64_t table1innorend = 0;
    double zvitplosha = 0, zvitnarah = 0, zvitotrim = 0, zvitotrim_z = 0, zvitborg_zag = 0, zvitborg = 0,
           zvitnar50zvit = 0, zvitpererah50 = 0, zvitpererah50myn = 0, zvitborg50 = 0;
};

// Everything one check collects; created by each ProvObj call and dropped when it returns.
struct RunState {
    TAnyMessages MyMessages = makeMyMessages();
    int rowstart1 = 3, rowstart2 = 3, rowstart3 = 3, rowstart4 = 3;
    bool table2 = false, table3 = false, table4 = false;
    double s = 0, s1 = 0, s_pay = 0, square2 = 0, plata4 = 0;
    double s2 = 0, s3 = 0, borg_z = 0;
    TenantList orendari23, orendari56;
    GeneralValues general;

    // Writes the tenant of row r into the list of "Таблиця 2" or, with `fifth`, of "Таблиця 5".
    void setTenant(bool fifth, int r, TOrendar tenant) { (fifth ? orendari56 : orendari23).set(r, std::move(tenant)); }
    // Whether that list holds this code with this lease kind (exact match).
    bool hasTenant(bool fifth, const QString& inn, const QString& mayno) const
    {
        return (fifth ? orendari56 : orendari23).contains(inn, mayno);
    }
};

// What the check needs from its surroundings.
struct Environment {
    sheet::Locale locale = sheet::Locale::system();
    sheet::Clock clock = sheet::systemClock();
    QString listDir; // the folder of the six reference lists
    // The period the period rule expects, as if the check ran on a day whose reporting period it is;
    // empty: the period of today by the clock. Only a folder check of one period's reports sets it.
    std::optional<ReportingPeriod> expectedPeriod;
    // When set, the lists as read once for a whole folder check, consulted instead of listDir's files.
    std::shared_ptr<const ListSnapshot> listSnapshot;
};

// The stamp of the check: the date and time go into S13 of the report's first sheet.
inline constexpr int kStampRow = 13, kStampCol = 19;

// A cell by its place in the report: the sheet's position (from 1), row and column.
struct CellAt {
    int sheet = 0, row = 0, col = 0;
};

// The frame of one check: walks the sheets of one open report in workbook order, each to the rules
// of its kind, and reconciles Table 1. It reads the report and writes nothing: the findings are
// collected in `log`, and what the caller does with them (a log workbook, a summary, lines on the
// command line) is the caller's business.
class Checker {
public:
    // `firstLogRow` is the log row of the first finding (the row after the log template's used
    // range): past the log sheet's last row the check stops with findings::LogFull.
    explicit Checker(Environment env, int firstLogRow = 2);

    const sheet::Book* WBNew = nullptr;
    QString INNKOD = QStringLiteral("Не визначений");
    findings::FindingsLog log;

    // Checks the report `report`. Errors outside the guarded units of the rules propagate; `lastRead`
    // then names the cell the rules read last (the one whose value the error is about).
    void ProvObj(const sheet::Book& report);
    void Log(const QString& tabsheetname, const QString& comment, int row, int col)
    {
        log.Log(tabsheetname, comment, row, col);
    }

    // The report cell read last: every reading of the rules notes it, so an error that ends the run
    // can name its cell.
    CellAt lastRead;
    xls::CellValue read(int sheet, int row, int col)
    {
        lastRead = {sheet, row, col};
        return WBNew->Value(sheet, row, col);
    }

    const Environment& env() const { return m_env; }
    ReferenceLists& lists() { return m_lists; }

private:
    Environment m_env;
    ReferenceLists m_lists;
};

// What the frame hands to a sheet check.
class SheetContext {
public:
    SheetContext(Checker& checker, RunState& st, int iTabSheet, QString tabsheetname, int rowfinishnew)
        : checker(checker), st(st), iTabSheet(iTabSheet), tabsheetname(std::move(tabsheetname)),
          rowfinishnew(rowfinishnew)
    {
    }

    Checker& checker;
    RunState& st;
    int iTabSheet;
    QString tabsheetname;
    int rowfinishnew;

    // The readings of a cell (see validate/readings.h). Each looks the cell up once; a number cell
    // answers the numeric ones from its value, which gives what converting its general-format
    // text gives, and builds no text. A cell holding an error value throws sheet::CellReadError.
    // The cell's value as text.
    QString raw(int row, int col) const;
    // The same, trimmed of leading and trailing characters with codes up to 32.
    QString text(int row, int col) const;
    // Whether the trimmed text equals `expected`.
    bool textIs(int row, int col, QStringView expected) const;
    // Whether the trimmed text is not empty (a number cell always is filled).
    bool filled(int row, int col) const;
    long double lenient(int row, int col) const;
    double strict(int row, int col) const;
    // The raw text converted as it is, 0 when it does not convert.
    long double rawNumber(int row, int col) const;
    // Whole numbers: lenient of the trimmed and of the raw text, strict of the trimmed text.
    int32_t whole(int row, int col) const;
    int32_t rawWhole(int row, int col) const;
    int32_t strictWhole(int row, int col) const;
    QChar dec() const { return checker.env().locale.decimal; }
    QString printed(long double v) const;
    void log(const QString& message, int row, int col) const { checker.Log(tabsheetname, message, row, col); }

private:
    xls::CellValue value(int row, int col) const;
    QString textOf(const xls::CellValue& v) const;
};

void checkGeneral(SheetContext& ctx);
void checkTenants(SheetContext& ctx, bool secondTable);
void checkDebts(SheetContext& ctx, bool secondTable);
void checkPremises(SheetContext& ctx);
void reconcileTotals(Checker& checker, const RunState& st);

} // namespace check
