#include "office.h"

#include <QRegularExpression>
#include <QSet>

namespace app {

namespace {

// "12 міс. 2026" as the report types it; an item left empty is "?".
QString typedPeriod(const check::Heading& h)
{
    const QString unknown = QStringLiteral("?");
    return QStringLiteral("%1 міс. %2")
        .arg(h.months.isEmpty() ? unknown : h.months, h.year.isEmpty() ? unknown : h.year);
}

// At most `shown` names, then how many more.
QString someOf(QStringList names, int shown = 10)
{
    const qsizetype more = names.size() - shown;
    if (more > 0) {
        names = names.mid(0, shown);
        names << QStringLiteral("та ще %1").arg(more);
    }
    return names.join(QStringLiteral(", "));
}

} // namespace

std::optional<check::ReportingPeriod> parsePeriod(const QString& text, QString* error)
{
    const QString example = QStringLiteral("Вкажіть період як МІСЯЦІВ.РІК, наприклад 12.2026 (3, 6, 9 або 12 місяців "
                                           "від початку року і рік чотирма цифрами).");
    auto fail = [&](const QString& what) -> std::optional<check::ReportingPeriod> {
        if (error)
            *error = what + QLatin1Char(' ') + example;
        return std::nullopt;
    };
    const QString t = text.trimmed();
    if (t.isEmpty())
        return fail(QStringLiteral("Період не вказано."));
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})\\s*[./]\\s*(\\d+)$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return fail(QStringLiteral("«%1» не є періодом.").arg(t));
    const int months = m.captured(1).toInt();
    const QString yearText = m.captured(2);
    if (months != 3 && months != 6 && months != 9 && months != 12)
        return fail(
            QStringLiteral("У періоді «%1» %2 місяців, а звіт подають за 3, 6, 9 або 12 місяців.").arg(t).arg(months));
    if (yearText.size() != 4)
        return fail(QStringLiteral("У періоді «%1» рік «%2» не з чотирьох цифр.").arg(t, yearText));
    const int year = yearText.toInt();
    if (year < 2000 || year > 2099)
        return fail(QStringLiteral("У періоді «%1» рік %2 — не рік звітів.").arg(t).arg(year));
    return check::ReportingPeriod{months, year};
}

QString periodName(const check::ReportingPeriod& period)
{
    return QStringLiteral("%1 міс. %2").arg(period.months).arg(period.year);
}

QString periodFlag(const check::Heading& heading, const check::ReportingPeriod& expected)
{
    if (heading.months.isEmpty() && heading.year.isEmpty())
        return {};
    bool monthsOk = false, yearOk = false;
    const int months = heading.months.toInt(&monthsOk), year = heading.year.toInt(&yearOk);
    if (monthsOk && yearOk && check::ReportingPeriod{months, year} == expected)
        return {};
    return QStringLiteral("Період %1, а очікується %2.").arg(typedPeriod(heading), periodName(expected));
}

QString registerFlag(const QString& code, const SenderRegister& reg)
{
    if (code.isEmpty())
        return QStringLiteral("Код не вказано, тож його немає в реєстрі.");
    if (reg.contains(code))
        return {};
    return QStringLiteral("Код %1 немає в реєстрі.").arg(code);
}

std::vector<Sender> missingSenders(const SenderRegister& reg, const QStringList& reportedCodes)
{
    const QSet<QString> reported(reportedCodes.cbegin(), reportedCodes.cend());
    std::vector<Sender> out;
    for (const Sender& s : reg.senders)
        if (!reported.contains(s.code))
            out.push_back(s);
    return out;
}

void writeTotals(sheet::Book& summary, int sheet, const Table1Totals& clean, const Table1Totals& all)
{
    auto text = [&](int row, int col, const QString& value) {
        if (!value.isEmpty())
            summary.SetValue(sheet, row, col, value);
    };
    text(2, 1,
         QStringLiteral("Суми пунктів таблиці 1 аркуша «Загальні дані», кожен пункт округлено до копійок, як "
                        "округлюють правила перевірки. Звітів без помилок: %1; перевірених звітів: %2.")
             .arg(clean.reports)
             .arg(all.reports));
    text(4, 1, QStringLiteral("Кількість звітів у сумі"));
    summary.SetNumber(sheet, 4, 2, clean.reports);
    summary.SetNumber(sheet, 4, 3, all.reports);
    if (!all.withoutSheet.isEmpty())
        text(4, 4, QStringLiteral("Без аркуша «Загальні дані» (усі пункти — 0): ") + someOf(all.withoutSheet));
    for (int item = 1; item <= kTable1Items; ++item) {
        const int row = 4 + item;
        text(row, 1, table1Captions()[size_t(item - 1)]);
        summary.SetNumber(sheet, row, 2, clean.sum(item));
        summary.SetNumber(sheet, row, 3, all.sum(item));
        text(row, 4, someOf(all.notNumbers[size_t(item - 1)]));
    }
}

} // namespace app
