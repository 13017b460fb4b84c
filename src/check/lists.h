#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace check {

// A reference list that could not be opened or read.
class ListError : public std::runtime_error {
public:
    explicit ListError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Decodes a list file: UTF-8 when the bytes are valid UTF-8 (a leading byte-order mark dropped),
// Windows-1251 otherwise; lines end in CR LF, LF or CR and are kept exactly as written.
QStringList decodeListLines(const QByteArray& bytes);

// The six reference lists beside the report. Each consultation reads its file from disk, so an
// edited list takes effect at the next check. A list that cannot be read fails the rule that
// consults it, and is remembered for the warning that the check was incomplete.
class ReferenceLists {
public:
    explicit ReferenceLists(QString dir) : m_dir(std::move(dir)) {}

    // The six lists, in the order the warnings name them.
    static const QStringList& names();

    QString path(const QString& file) const;
    // Every line of the file; throws ListError, whose message is the warning, when it cannot be
    // opened or read.
    QStringList lines(const QString& file);
    // Whether some line of the list equals `code` exactly.
    bool IsCodeInList(const QString& file, const QString& code);
    // True when the code is in "ZFB.bin" and not in "MAYNO.bin"; both files are opened first.
    bool zfbNotMayno(const QString& code);

    // One sentence for each list that could not be read when a rule consulted it or cannot be
    // read now, naming the file, in the order of names(); empty when all six are readable.
    QStringList warnings() const;

private:
    // The warning for a list that cannot be read (empty when it was read into `lines`).
    QString read(const QString& file, QStringList* lines) const;

    QString m_dir;
    QHash<QString, QString> m_failed; // list -> warning, from the consultations of this check
};

} // namespace check
