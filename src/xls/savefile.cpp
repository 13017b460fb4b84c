#include "savefile.h"

#include "error.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

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

ScopedWriteFault::ScopedWriteFault(qint64 failAfterBytes, bool failAtCommit, int systemError)
    : m_after(failAfterBytes), m_commit(failAtCommit), m_error(systemError), m_previous(g_fault)
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

    const bool existed = info.exists();
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // The system's reason is taken before the temporary file is dropped: cancelling overwrites Qt's
    // error with its own, and the user is told the cause in their words, never Qt's.
    const auto fail = [&](const SystemFailure& failure) {
        file.cancelWriting();
        return writeError(path, existed, failure);
    };
    const auto systemFailure = [&] { return failureOfDevice(lastSystemFailure(), file.error()); };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw fail(systemFailure());
    // The test seam's limit counts the bytes of the whole file.
    const qint64 total = qint64(image.size());
    const qint64 limit = g_fault && g_fault->failAfterBytes() >= 0 ? std::min(total, g_fault->failAfterBytes()) : total;
    qint64 written = 0;
    for (const FileImage::Run& r : image.runs()) {
        const qint64 n = std::min(qint64(r.size), limit - written);
        if (n <= 0)
            break;
        if (file.write(r.data, n) != n)
            throw fail(systemFailure());
        written += n;
    }
    if (written != total) // only the test seam stops short
        throw fail(g_fault ? failureOfErrno(g_fault->systemError()) : SystemFailure{});
    if (!file.flush())
        throw fail(systemFailure());
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0)
        throw fail(failureOfErrno(errno));
#endif
    if (g_fault && g_fault->failAtCommit())
        throw fail(failureOfErrno(g_fault->systemError()));
    if (!file.commit()) {
        // QSaveFile has removed its temporary file; the target is untouched.
        const SystemFailure failure = systemFailure();
        if (heldOpenElsewhere(path))
            throw makeError(ErrorCode::InUse, path);
        throw writeError(path, existed, failure);
    }
}

} // namespace xls
