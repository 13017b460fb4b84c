#pragma once

#include "xls/cfb/fileimage.h"

#include <QByteArray>
#include <QString>

namespace xls {

// Writes the file to `path` atomically, run by run: a temporary file beside it is written, flushed to disk and
// renamed over the target. On any failure the target keeps its old bytes and xls::Error
// (WriteFailed) names the file; nothing is written while an editor's lock file lies beside it
// (LockedByEditor).
void writeFileAtomically(const QString& path, const FileImage& file);
inline void writeFileAtomically(const QString& path, const QByteArray& data)
{
    writeFileAtomically(path, FileImage(data));
}

// The lock file a spreadsheet program keeps beside a workbook it has open ("~$zvit.xls" from
// Excel, ".~lock.zvit.xls#" from LibreOffice), or an empty text when there is none.
QString editorLockFile(const QString& path);

// Test seam: while an instance lives, writes on this thread fail after `failAfterBytes` bytes
// (or at the rename when failAtCommit is set), as the system would with `systemError` (an errno
// value such as ENOSPC; 0 for a failure the system does not explain).
class ScopedWriteFault {
public:
    explicit ScopedWriteFault(qint64 failAfterBytes, bool failAtCommit = false, int systemError = 0);
    ~ScopedWriteFault();
    ScopedWriteFault(const ScopedWriteFault&) = delete;
    ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;

    qint64 failAfterBytes() const { return m_after; }
    bool failAtCommit() const { return m_commit; }
    int systemError() const { return m_error; }

private:
    qint64 m_after;
    bool m_commit;
    int m_error;
    ScopedWriteFault* m_previous;
};

} // namespace xls
