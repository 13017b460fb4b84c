#pragma once

#include <QDateTime>
#include <QString>

namespace app {

// Who runs a folder check into an output folder: written into the folder's lock file.
struct LockHolder {
    QString computer, user;
    qint64 pid = 0;
    QDateTime started; // UTC
};

// One folder check at a time per output folder. The lock is a file in the folder, created exclusively
// (O_EXCL, or CREATE_NEW on Windows, which network shares honour too), that names the computer, the
// user, the process and the start time, and is removed when the run ends. A lock left by a run that
// can no longer be running is taken over: one of this computer whose process is gone, or any older
// than a day.
class OutDirLock {
public:
    static constexpr const char* kFileName = ".brantovel.lock";
    static constexpr qint64 kStaleSeconds = 24 * 60 * 60;

    // Takes the lock of `folder` at `now`. On refusal error() says who holds it and since when (or why
    // the lock file could not be made); note() says which stale lock was taken over.
    OutDirLock(const QString& folder, const QDateTime& now);
    ~OutDirLock();
    OutDirLock(const OutDirLock&) = delete;
    OutDirLock& operator=(const OutDirLock&) = delete;

    bool held() const { return m_held; }
    const QString& error() const { return m_error; }
    const QString& note() const { return m_note; }

    // This process, as the lock file names it.
    static LockHolder self(const QDateTime& now);
    // The lock file's text, and back; a text that cannot be read gives a holder without a pid.
    static QByteArray text(const LockHolder& h);
    static LockHolder parse(const QByteArray& text);

private:
    QString m_path, m_error, m_note;
    QByteArray m_mine;
    bool m_held = false;
};

} // namespace app
