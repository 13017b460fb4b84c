#pragma once

#include "sheet/locale.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

namespace app {

// One balance holder the office expects a report from.
struct Sender {
    QString code, name;
    int line = 0; // the line (or row) of the register that gives it
};

// The register of senders: the balance holders an office collects reports from.
struct SenderRegister {
    QString path;
    std::vector<Sender> senders; // in the register's order, each code once
    // What the register holds that was left out or looks wrong, one sentence per kind, naming the
    // lines: a code given twice, a code whose check digit is wrong, a line without a code, blank lines.
    QStringList problems;

    bool contains(const QString& code) const { return m_index.contains(code); }
    void add(Sender sender)
    {
        m_index.insert(sender.code, int(senders.size()));
        senders.push_back(std::move(sender));
    }
    // The line that gave the code first, 0 when none did.
    int lineOf(const QString& code) const
    {
        const auto it = m_index.constFind(code);
        return it == m_index.cend() ? 0 : senders[size_t(*it)].line;
    }

private:
    QHash<QString, int> m_index;
};

// A register that cannot be used at all; the message says which file, why, and what to do.
class RegisterError : public std::runtime_error {
public:
    explicit RegisterError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Reads a register: an .xls workbook with the code and the name in the first two columns of its
// first sheet from row 2 on, or a text file (CSV) with one "code;name" per line (a tab or a comma
// also separates them; a first line without digits is a header), in UTF-8, Windows-1251 or UTF-16
// with its byte-order mark. A code that lost its leading zeros (5 to 7 digits, as a spreadsheet
// program leaves an 8-digit code) gets them back, with a note. Throws RegisterError when the file
// cannot be read or names no balance holder; throws xls::Error for a workbook that cannot be opened.
SenderRegister readRegister(const QString& path, const sheet::Locale& locale);

// Splits one line of a register into its first two fields at `separator`, quotes ("…") removed.
QStringList registerFields(const QString& line, QChar separator);

} // namespace app
