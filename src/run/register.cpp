#include "register.h"

#include "check/lists.h"
#include "sheet/valuetext.h"
#include "validate/readings.h"
#include "validate/validid.h"
#include "xls/error.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace app {

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// "рядок 4", "рядки 4, 9, 12" (the first ten, then how many more).
QString linesText(const QList<int>& lines)
{
    QStringList shown;
    for (qsizetype i = 0; i < lines.size() && i < 10; ++i)
        shown << QString::number(lines[i]);
    QString text =
        (lines.size() == 1 ? QStringLiteral("рядок ") : QStringLiteral("рядки ")) + shown.join(QStringLiteral(", "));
    if (lines.size() > 10)
        text += QStringLiteral(" та ще %1").arg(lines.size() - 10);
    return text;
}

bool allDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Collects the entries line by line and says, per kind, what was wrong with which lines.
class Collector {
public:
    explicit Collector(SenderRegister& reg) : m_reg(reg) {}

    void blank(int line) { m_blank << line; }

    void entry(int line, QString code, QString name)
    {
        code = validate::trimmedText(code);
        name = validate::trimmedText(name);
        if (code.isEmpty() && name.isEmpty())
            return blank(line);
        if (code.isEmpty()) {
            m_noCode << QStringLiteral("%1 («%2»)").arg(line).arg(name);
            return;
        }
        // A spreadsheet program reads 00123455 as the number 123455: the zeros are given back.
        if (allDigits(code) && code.size() >= 5 && code.size() < 8) {
            m_padded << QStringLiteral("%1 (%2 → %3)").arg(line).arg(code, code.rightJustified(8, u'0'));
            code = code.rightJustified(8, u'0');
        }
        if (const int first = m_reg.lineOf(code)) {
            m_repeated << QStringLiteral("%1 (код %2, як у рядку %3)").arg(line).arg(code).arg(first);
            return;
        }
        if (code.size() == 8 && allDigits(code)) {
            if (!ValidID::IsValidOKPO(code.toInt()))
                m_checkDigit << QStringLiteral("%1 (%2)").arg(line).arg(code);
        } else if (!(code.size() == 10 && allDigits(code))) {
            m_notCode << QStringLiteral("%1 («%2»)").arg(line).arg(code);
        }
        m_reg.add({code, name, line});
    }

    void finish()
    {
        // Blank lines at the end are no one's concern; those between entries may hide a lost one.
        const int last = m_reg.senders.empty() ? 0 : m_reg.senders.back().line;
        m_blank.removeIf([&](int line) { return line > last; });
        auto note = [&](const QStringList& items, const QString& what) {
            if (items.isEmpty())
                return;
            QStringList shown = items.mid(0, 10);
            if (items.size() > 10)
                shown << QStringLiteral("та ще %1").arg(items.size() - 10);
            m_reg.problems << QStringLiteral("%1: %2.").arg(what, shown.join(QStringLiteral(", ")));
        };
        note(m_repeated, QStringLiteral("Код повторюється, узято перший рядок — рядки"));
        note(m_checkDigit, QStringLiteral("Невірне контрольне число коду ЄДРПОУ (звіт однаково очікується) — рядки"));
        note(m_notCode, QStringLiteral("Код не з 8 і не з 10 цифр (звіт однаково очікується) — рядки"));
        note(m_noCode, QStringLiteral("Немає коду, рядок пропущено — рядки"));
        note(m_padded, QStringLiteral("Код без нулів на початку доповнено до 8 цифр — рядки"));
        if (!m_blank.isEmpty())
            m_reg.problems << QStringLiteral("Порожні рядки між записами пропущено: %1.").arg(linesText(m_blank));
    }

private:
    SenderRegister& m_reg;
    QList<int> m_blank;
    QStringList m_repeated, m_checkDigit, m_notCode, m_noCode, m_padded;
};

QStringList decodeText(const QByteArray& bytes)
{
    // Excel's "Unicode text" and Notepad's "Unicode" are UTF-16 with a byte-order mark.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        QString text;
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
            const auto lo = uint8_t(bytes[little ? i : i + 1]), hi = uint8_t(bytes[little ? i + 1 : i]);
            text.append(QChar(char16_t(hi << 8 | lo)));
        }
        return check::decodeListLines(text.toUtf8());
    }
    return check::decodeListLines(bytes);
}

bool looksLikeWorkbook(const QString& path, const QByteArray& head)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return head.startsWith("\xD0\xCF\x11\xE0") || head.startsWith("PK\x03\x04") || suffix == QStringLiteral("xls") ||
           suffix == QStringLiteral("xlsx") || suffix == QStringLiteral("ods");
}

} // namespace

QStringList registerFields(const QString& line, QChar separator)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size() && fields.size() < 2; ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && validate::trimmedText(field).isEmpty()) {
            field.clear();
            quoted = true;
        } else if (c == separator) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (fields.size() < 2)
        fields << field;
    return fields;
}

SenderRegister readRegister(const QString& path, const sheet::Locale& locale)
{
    SenderRegister reg;
    reg.path = path;
    QFile file(path);
    if (QFileInfo(path).isDir())
        throw RegisterError(
            QStringLiteral("«%1» — тека, а не реєстр. Вкажіть файл реєстру (.xls або .csv)").arg(native(path)));
    if (!file.exists())
        throw RegisterError(QStringLiteral("Реєстр «%1» не знайдено. Перевірте шлях до файлу").arg(native(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw RegisterError(QStringLiteral("Реєстр «%1» не вдалося відкрити: немає права читати його або файл "
                                           "відкрито в іншій програмі. Закрийте його там і повторіть перевірку")
                                .arg(native(path)));
    Collector collect(reg);
    if (looksLikeWorkbook(path, file.peek(8))) {
        file.close();
        const xls::Workbook book = xls::Workbook::open(path); // the engine names the file and the fault
        const int last = book.sheetCount() > 0 ? book.lastUsedRow(0) : 0;
        auto text = [&](int row, int col) {
            const xls::CellValue v = book.cell(0, row, col);
            return v.type == xls::CellType::Error ? QString() : sheet::valueText(v, locale, book.dateMode1904());
        };
        for (int row = 2; row <= last; ++row)
            collect.entry(row, text(row, 1), text(row, 2));
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw RegisterError(QStringLiteral("Реєстр «%1» не вдалося прочитати. Скопіюйте його на свій диск і "
                                               "повторіть перевірку")
                                    .arg(native(path)));
        const QStringList lines = decodeText(bytes);
        // The separator the file uses: ";" as Excel writes CSV here, else a tab, else a comma.
        const QString all = lines.join(u'\n');
        const QChar separator = all.contains(u';') ? u';' : all.contains(u'\t') ? u'\t' : u',';
        bool first = true;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringList f = registerFields(lines[i], separator);
            const QString code = f.value(0), name = f.value(1);
            if (validate::trimmedText(lines[i]).isEmpty()) {
                collect.blank(int(i + 1));
                continue;
            }
            // A first line without a digit in its code is the header ("Код;Назва").
            if (first && !code.contains(QRegularExpression(QStringLiteral("\\d")))) {
                first = false;
                continue;
            }
            first = false;
            collect.entry(int(i + 1), code, name);
        }
    }
    collect.finish();
    if (reg.senders.empty())
        throw RegisterError(QStringLiteral("У реєстрі «%1» немає жодного коду балансоутримувача. Реєстр — це "
                                           "книга .xls (код і назва в стовпцях A і B з рядка 2) або текстовий "
                                           "файл із рядками «код;назва»")
                                .arg(native(path)));
    return reg;
}

} // namespace app
