#include "provobj.h"

#include "sheet/valuetext.h"
#include "validate/numberformat.h"
#include "validate/readings.h"

#include <cmath>
#include <limits>
#include <optional>

namespace check {

TAnyMessages makeMyMessages()
{
    TAnyMessages m;
    m[aeVal1] = QStringLiteral("виробниче");
    m[aeVal2] = QStringLiteral("громадського харчування");
    m[aeVal3] = QStringLiteral("культурного призначення");
    m[aeVal4] = QStringLiteral("медичне (оздоровче)");
    m[aeVal5] = QStringLiteral("навчальне");
    m[aeVal6] = QStringLiteral("офісне");
    m[aeVal7] = QStringLiteral("побутове");
    m[aeVal8] = QStringLiteral("складське");
    m[aeVal9] = QStringLiteral("спортивне");
    m[aeVal10] = QStringLiteral("торговельне");
    m[aeVal11] = QStringLiteral("транспортне");
    m[aeVal12] = QStringLiteral("інше");
    m[aeVal13] = QStringLiteral("включено до переліку об'єктів, які підлягають приватизації");
    m[aeVal14] = QStringLiteral("надано доручення для проведення оцінки для передачі в оренду");
    m[aeVal15] = QStringLiteral("є звернення на передачу в оренду");
    m[aeVal16] = QStringLiteral("-");
    return m;
}

void TenantList::count(const TOrendar& tenant, int delta)
{
    // Empty entries (the list's padding and empty rows) are most of the changes: counted apart.
    if (tenant.inn.isEmpty() && tenant.mayno.isEmpty()) {
        m_empty += delta;
        return;
    }
    const Key key{tenant.inn, tenant.mayno};
    int& n = m_index[key];
    n += delta;
    if (n == 0)
        m_index.remove(key);
}

void TenantList::set(int r, TOrendar tenant)
{
    const size_t length = size_t(r) + 1;
    // Every entry enters and leaves the index with the list itself, so the two never disagree.
    while (m_entries.size() > length) {
        count(m_entries.back(), -1);
        m_entries.pop_back();
    }
    if (m_entries.size() < length) {
        m_empty += int(length - m_entries.size());
        m_entries.resize(length);
    }
    TOrendar& slot = m_entries[size_t(r - 6)];
    count(slot, -1);
    count(tenant, +1);
    slot = std::move(tenant);
}

void TenantList::reserve(int length)
{
    if (length <= 0)
        return;
    m_entries.reserve(size_t(length));
    m_index.reserve(length);
}

bool TenantList::contains(const QString& inn, const QString& mayno) const
{
    if (inn.isEmpty() && mayno.isEmpty())
        return m_empty > 0;
    return m_index.contains(Key{inn, mayno});
}

Checker::Checker(Environment env, int firstLogRow)
    : log(env.clock, firstLogRow), m_env(std::move(env)), m_lists(m_env.listDir, m_env.listSnapshot)
{
}

xls::CellValue SheetContext::value(int row, int col) const
{
    return checker.read(iTabSheet, row, col);
}

QString SheetContext::textOf(const xls::CellValue& v) const
{
    return validate::trimmedText(sheet::valueText(v, checker.env().locale, checker.WBNew->date1904()));
}

namespace {

bool isNumber(const xls::CellValue& v)
{
    return v.type == xls::CellType::Number;
}

// The whole number that a number cell's text reads as. Its general text is a plain whole number
// exactly when its 15-digit value is whole and below 10^15 (larger values take the exponent form).
std::optional<int32_t> wholeOf(double number)
{
    // Most cells hold a small whole number, which is its own 15-digit reading.
    if (number >= std::numeric_limits<int32_t>::min() && number <= std::numeric_limits<int32_t>::max()) {
        const auto whole = int32_t(number);
        if (double(whole) == number)
            return whole;
    }
    const auto v = validate::generalRoundTrip(number);
    if (!v || *v != std::trunc(*v) || std::fabs(*v) >= 1e15L || *v > std::numeric_limits<int32_t>::max() ||
        *v < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return int32_t(*v);
}

} // namespace

QString SheetContext::raw(int row, int col) const
{
    return sheet::valueText(value(row, col), checker.env().locale, checker.WBNew->date1904());
}

QString SheetContext::text(int row, int col) const
{
    return validate::trimmedText(raw(row, col));
}

bool SheetContext::textIs(int row, int col, QStringView expected) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v))
        return validate::GeneralText(v.number, dec()).view() == expected;
    return textOf(v) == expected;
}

bool SheetContext::filled(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v))
        return true;
    if (v.type == xls::CellType::Empty)
        return false;
    return !textOf(v).isEmpty();
}

long double SheetContext::lenient(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v))
        return validate::generalRoundTrip(v.number).value_or(0.0L);
    return validate::lenientNumber(textOf(v), dec());
}

double SheetContext::strict(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v)) {
        const auto n = validate::generalRoundTrip(v.number);
        if (!n)
            throw validate::ConversionError(validate::formatGeneral(v.number, dec()));
        return double(validate::roundTo2(*n));
    }
    return validate::strictNumber(textOf(v), dec());
}

long double SheetContext::rawNumber(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v))
        return validate::generalRoundTrip(v.number).value_or(0.0L);
    return validate::rawNumber(sheet::valueText(v, checker.env().locale, checker.WBNew->date1904()), dec());
}

int32_t SheetContext::whole(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v))
        return wholeOf(v.number).value_or(0);
    return validate::lenientWhole(textOf(v));
}

int32_t SheetContext::rawWhole(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v))
        return wholeOf(v.number).value_or(0);
    return validate::lenientWhole(sheet::valueText(v, checker.env().locale, checker.WBNew->date1904()));
}

int32_t SheetContext::strictWhole(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (isNumber(v)) {
        if (const auto w = wholeOf(v.number))
            return *w;
        throw validate::ConversionError(validate::formatGeneral(v.number, dec()));
    }
    return validate::strictWhole(textOf(v));
}

QString SheetContext::printed(long double v) const
{
    return validate::printedNumber(v, dec());
}

void Checker::ProvObj(const sheet::Book& report)
{
    WBNew = &report;
    RunState st; // every table, flag and total starts afresh

    const int count = WBNew->SheetsCount();
    for (int iTabSheet = 1; iTabSheet <= count; ++iTabSheet) {
        const QString tabsheetname = WBNew->SheetName(iTabSheet);
        const int rowfinishnew = WBNew->lastCellRow(iTabSheet);
        const QString name = validate::trimmedText(tabsheetname);
        SheetContext ctx(*this, st, iTabSheet, tabsheetname, rowfinishnew);
        if (name == QStringLiteral("Загальні дані")) {
            checkGeneral(ctx);
        } else if (name == QStringLiteral("Таблиця 2")) {
            st.s = st.s1 = st.s_pay = st.square2 = st.plata4 = 0;
            checkTenants(ctx, false);
        } else if (name == QStringLiteral("Таблиця 3")) {
            st.s2 = st.s3 = st.borg_z = 0;
            checkDebts(ctx, false);
        } else if (name == QStringLiteral("Інші відомості")) {
            checkPremises(ctx);
        } else if (name == QStringLiteral("Таблиця 5")) {
            checkTenants(ctx, true);
        } else if (name == QStringLiteral("Таблиця 6")) {
            checkDebts(ctx, true);
        } else {
            Log(tabsheetname, QStringLiteral("Лист не оброблений!."), 1, 1);
        }
    }

    reconcileTotals(*this, st);
}

} // namespace check
