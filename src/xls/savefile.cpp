#include "savefile.h"

#include "error.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace xls {

namespace {
thread_local ScopedWriteFault* g_fault = nullptr;
}

ScopedWriteFault::ScopedWriteFault(qint64 failAfterBytes, bool failAtCommit)
    : m_after(failAfterBytes), m_commit(failAtCommit), m_previous(g_fault)
{
    g_fault = this;
}

ScopedWriteFault::~ScopedWriteFault()
{
    g_fault = m_previous;
}

void writeFileAtomically(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw makeError(ErrorCode::IsFolder, path);
    // Judged by the permission bits, so that even an administrator does not replace a file the user
    // marked read-only.
    const QFileDevice::Permissions perms = info.permissions();
    if (info.exists() && (!(perms & QFileDevice::WriteUser) ||
                          !(perms & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther))))
        throw makeError(ErrorCode::WriteFailed, path, QStringLiteral("Файл доступний лише для читання."));

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw makeError(ErrorCode::WriteFailed, path, file.errorString());
    qint64 limit = data.size();
    if (g_fault && g_fault->failAfterBytes() >= 0)
        limit = std::min(limit, g_fault->failAfterBytes());
    if (file.write(data.constData(), limit) != limit || limit != data.size()) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path,
                        limit != data.size() ? QStringLiteral("(збій запису)") : file.errorString());
    }
    if (!file.flush()) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, file.errorString());
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, QStringLiteral("(fsync)"));
    }
#endif
    if (g_fault && g_fault->failAtCommit()) {
        file.cancelWriting();
        throw makeError(ErrorCode::WriteFailed, path, QStringLiteral("(збій перейменування)"));
    }
    if (!file.commit())
        throw makeError(ErrorCode::WriteFailed, path, file.errorString());
}

} // namespace xls
