#include "savefile.h"

#include "error.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace xls {

namespace {
thread_local ScopedWriteFault* g_fault = nullptr;

// Whether another program holds `path` open so that it cannot be replaced. Windows refuses to replace or
// delete a file while a handle on it that does not share deletion is open, as a spreadsheet program keeps
// the workbook it shows; elsewhere an open file does not stop the rename.
bool heldOpenElsewhere(const QString& path)
{
#ifdef Q_OS_WIN
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    const DWORD e = GetLastError();
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
#else
    Q_UNUSED(path);
    return false;
#endif
}
} // namespace

ScopedWriteFault::ScopedWriteFault(qint64 failAfterBytes, bool failAtCommit)
    : m_after(failAfterBytes), m_commit(failAtCommit), m_previous(g_fault)
{
    g_fault = this;
}

ScopedWriteFault::~ScopedWriteFault()
{
    g_fault = m_previous;
}

QString editorLockFile(const QString& path)
{
    const QFileInfo info(path);
    const QDir dir = info.dir();
    const QStringList names{QStringLiteral("~$") + info.fileName(),
                            QStringLiteral(".~lock.") + info.fileName() + QLatin1Char('#')};
    for (const QString& name : names) {
        const QString lock = dir.filePath(name);
        if (QFileInfo::exists(lock))
            return lock;
    }
    return {};
}

void writeFileAtomically(const QString& path, const FileImage& image)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw makeError(ErrorCode::IsFolder, path);
    if (const QString lock = editorLockFile(path); !lock.isEmpty())
        throw editorLockError(path, lock);
    // Judged by the permission bits, so that even an administrator does not replace a file the user
    // marked read-only.
    const QFileDevice::Permissions perms = info.permissions();
    if (info.exists() && (!(perms & QFileDevice::WriteUser) ||
                          !(perms & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther))))
        throw makeError(ErrorCode::ReadOnlyFile, path);

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw makeError(ErrorCode::WriteFailed, path, fileProblem(file.error()));
    // The test seam's limit counts the bytes of the whole file.
    const qint64 total = qint64(image.size());
    const qint64 limit = g_fault && g_fault->failAfterBytes() >= 0 ? std::min(total, g_fault->failAfterBytes()) : total;
    qint64 written = 0;
    for (const FileImage::Run& r : image.runs()) {
        const qint64 n = std::min(qint64(r.size), limit - written);
        if (n <= 0)
            break;
        if (file.write(r.data, n) != n) {
            file.cancelWriting();
            throw makeError(ErrorCode::WriteFailed, path, fileProblem(file.error()));
        }
        written += n;
    }
    if (written != total) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, QStringLiteral("(збій запису)"));
    }
    if (!file.flush()) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, fileProblem(file.error()));
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, QStringLiteral("(збій скидання даних на диск)"));
    }
#endif
    if (g_fault && g_fault->failAtCommit()) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, QStringLiteral("(збій перейменування)"));
    }
    if (!file.commit()) {
        // QSaveFile has removed its temporary file; the target is untouched.
        if (heldOpenElsewhere(path))
            throw makeError(ErrorCode::InUse, path);
        throw makeError(ErrorCode::WriteFailed, path, fileProblem(file.error()));
    }
}

} // namespace xls
