#pragma once

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
// edited list takes effect at the next check.
class ReferenceLists {
public:
    explicit ReferenceLists(QString dir) : m_dir(std::move(dir)) {}

    QString path(const QString& file) const;
    // Every line of the file; throws ListError when it cannot be opened or read.
    QStringList lines(const QString& file) const;
    // Whether some line of the list equals `code` exactly.
    bool IsCodeInList(const QString& file, const QString& code) const;
    // True when the code is in "ZFB.bin" and not in "MAYNO.bin"; both files are opened first.
    bool zfbNotMayno(const QString& code) const;

private:
    QString m_dir;
};

} // namespace check
