#include "provobj.h"

#include "sheet/valuetext.h"
#include "validate/numberformat.h"
#include "validate/readings.h"

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
        m_index[Key{}] += int(length - m_entries.size());
        m_entries.resize(length);
    }
    TOrendar& slot = m_entries[size_t(r - 6)];
    count(slot, -1);
    count(tenant, +1);
    slot = std::move(tenant);
}

bool TenantList::contains(const QString& inn, const QString& mayno) const
{
    return m_index.contains(Key{inn, mayno});
}

Checker::Checker(Environment env) : log(env.locale, env.clock), m_env(std::move(env)), m_lists(m_env.listDir) {}

xls::CellValue SheetContext::value(int row, int col) const
{
    return checker.WBNew->Value(iTabSheet, row, col);
}

QString SheetContext::textOf(const xls::CellValue& v) const
{
    return validate::trimmedText(sheet::valueText(v, checker.env().locale, checker.WBNew->date1904()));
}

QString SheetContext::raw(int row, int col) const
{
    return sheet::valueText(value(row, col), checker.env().locale, checker.WBNew->date1904());
}

QString SheetContext::text(int row, int col) const
{
    return validate::trimmedText(raw(row, col));
}

// A number cell reads as its general-format text converted back; that value is computed directly,
// which spares the text on the hot path and gives the same result.
bool SheetContext::filled(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (v.type == xls::CellType::Number)
        return true;
    if (v.type == xls::CellType::Empty)
        return false;
    return !textOf(v).isEmpty();
}

long double SheetContext::lenient(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (v.type == xls::CellType::Number)
        return validate::generalRoundTrip(v.number).value_or(0.0L);
    return validate::lenientNumber(textOf(v), dec());
}

double SheetContext::strict(int row, int col) const
{
    const xls::CellValue v = value(row, col);
    if (v.type == xls::CellType::Number) {
        const auto n = validate::generalRoundTrip(v.number);
        if (!n)
            throw validate::ConversionError(validate::printedNumber(v.number, dec()));
        return double(validate::roundTo2(*n));
    }
    return validate::strictNumber(textOf(v), dec());
}

QString SheetContext::printed(long double v) const
{
    return validate::printedNumber(v, dec());
}

void Checker::useLog(std::shared_ptr<sheet::Book> book)
{
    log.WBLog = std::move(book);
    log.report = WBNew ? WBNew->FullName() : QString();
    log.rowlog = log.WBLog->lastCellRow(1) + 1;
    firstFindingRow = log.rowlog;
}

void Checker::walk()
{
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

void Checker::ProvObj(sheet::MSExcel& Excel, const QString& file1p)
{
    WBNew = Excel.OpenWorkBook(file1p);
    useLog(Excel.OpenWorkBook(Logfilename));
    walk();

    if (WBNew->SheetsCount() >= 1)
        WBNew->SetValue(1, kStampRow, kStampCol, m_env.locale.dateTimeText(m_env.clock()));

    // The log is written first: if either save fails, the report on disk is still untouched.
    Excel.SaveWorkBook(*log.WBLog);
    Excel.SaveWorkBook(*WBNew);
    Excel.CloseExcel();
    WBNew.reset();
    log.WBLog.reset();
}

void Checker::ProvObjReadOnly(sheet::MSExcel& Excel, const QString& file1p, const QString& logTemplate)
{
    WBNew = Excel.OpenWorkBook(file1p, true);
    useLog(Excel.AddWorkBook(logTemplate, Logfilename));
    walk();
}

} // namespace check
