#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace check {

// A reference list that could not be opened or read.
class ListError : public std::runtime_error {
public:
    explicit ListError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Decodes a list file: UTF-8 when the bytes are valid UTF-8 (a leading byte-order mark dropped),
// Windows-1251 otherwise; lines end in CR LF, LF or CR and are kept exactly as written.
QStringList decodeListLines(const QByteArray& bytes);

// A reference list that could not be read.
struct ListProblem {
    QString file;         // "GUOZ.bin" ... "SR.bin"
    QString path;         // where it was looked for
    bool missing = false; // no such file (otherwise it could not be opened or read)
};

// The six lists as they were read once, with the time each file was last changed: a folder check
// judges every report against the same content, whatever happens to the files meanwhile.
struct ListSnapshot {
    struct List {
        QString file; // "GUOZ.bin" ...
        QStringList lines;
        QDateTime modified;
        std::optional<ListProblem> problem; // could not be read: no lines
    };
    std::vector<List> lists; // in the order of ReferenceLists::names()

    static std::shared_ptr<const ListSnapshot> take(const QString& dir);
};

// The six reference lists beside the report. Each consultation reads its file from disk, so an
// edited list takes effect at the next check; with a snapshot, every consultation reads the
// snapshot instead. A list that cannot be read fails the rule that consults it, and is remembered
// for the warning that the check was incomplete.
class ReferenceLists {
public:
    explicit ReferenceLists(QString dir, std::shared_ptr<const ListSnapshot> snapshot = {})
        : m_dir(std::move(dir)), m_snapshot(std::move(snapshot))
    {
    }

    // The six lists, in the order the warnings name them.
    static const QStringList& names();

    QString path(const QString& file) const;
    // Every line of the file; throws ListError when it cannot be opened or read.
    QStringList lines(const QString& file);
    // Whether some line of the list equals `code` exactly.
    bool IsCodeInList(const QString& file, const QString& code);
    // True when the code is in "ZFB.bin" and not in "MAYNO.bin"; both files are opened first.
    bool zfbNotMayno(const QString& code);

    // Each list that could not be read when a rule consulted it, or cannot be read now, in the
    // order of names(); empty when all six are readable. The check of codes or districts against
    // such a list was not made, so the caller warns that it is incomplete.
    QList<ListProblem> problems() const;

private:
    friend struct ListSnapshot;
    // Reads the list into `lines`; the problem when it cannot.
    std::optional<ListProblem> read(const QString& file, QStringList* lines) const;

    QString m_dir;
    std::shared_ptr<const ListSnapshot> m_snapshot;
    QHash<QString, ListProblem> m_failed; // from the consultations of this check
};

} // namespace check
