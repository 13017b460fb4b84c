#include "outdirlock.h"

#include "xls/syserror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace app {

namespace {

QString userName()
{
#ifdef Q_OS_WIN
    wchar_t name[256];
    DWORD size = 256;
    if (GetUserNameW(name, &size) && size > 1)
        return QString::fromWCharArray(name, int(size) - 1);
    return qEnvironmentVariable("USERNAME");
#else
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
#endif
}

qint64 processId()
{
#ifdef Q_OS_WIN
    return qint64(GetCurrentProcessId());
#else
    return qint64(getpid());
#endif
}

// Whether a process of this computer with that number still runs.
bool processRuns(qint64 pid)
{
    if (pid <= 0)
        return false;
#ifdef Q_OS_WIN
    const HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!h)
        return GetLastError() == ERROR_ACCESS_DENIED; // another user's process: it exists
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
#else
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

QString timeText(const QDateTime& t)
{
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                       : QStringLiteral("невідомого часу");
}

QString holderText(const LockHolder& h)
{
    const QString unknown = QStringLiteral("невідомо");
    return QStringLiteral("комп'ютер %1, користувач %2, процес %3, з %4")
        .arg(h.computer.isEmpty() ? unknown : h.computer, h.user.isEmpty() ? unknown : h.user,
             h.pid > 0 ? QString::number(h.pid) : unknown, timeText(h.started));
}

QByteArray readAll(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.read(4096) : QByteArray();
}

} // namespace

LockHolder OutDirLock::self(const QDateTime& now)
{
    return {QSysInfo::machineHostName(), userName(), processId(), now.toUTC()};
}

QByteArray OutDirLock::text(const LockHolder& h)
{
    return QStringLiteral("computer=%1\nuser=%2\npid=%3\nstarted=%4\n")
        .arg(h.computer, h.user)
        .arg(h.pid)
        .arg(h.started.toUTC().toString(Qt::ISODate))
        .toUtf8();
}

LockHolder OutDirLock::parse(const QByteArray& text)
{
    LockHolder h;
    for (const QString& line : QString::fromUtf8(text).split(u'\n')) {
        const QString key = line.section(u'=', 0, 0), value = line.section(u'=', 1);
        if (key == QStringLiteral("computer"))
            h.computer = value;
        else if (key == QStringLiteral("user"))
            h.user = value;
        else if (key == QStringLiteral("pid"))
            h.pid = value.toLongLong();
        else if (key == QStringLiteral("started"))
            h.started = QDateTime::fromString(value, Qt::ISODate);
    }
    return h;
}

OutDirLock::OutDirLock(const QString& folder, const QDateTime& now)
    : m_path(QDir(folder).filePath(QString::fromLatin1(kFileName))), m_mine(text(self(now)))
{
    const QString shown = QDir::toNativeSeparators(m_path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        QFile file(m_path);
        errno = 0;
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.write(m_mine) != m_mine.size() || !file.flush()) {
                const xls::SystemFailure f = xls::failureOfDevice(xls::lastSystemFailure(), file.error());
                file.close();
                QFile::remove(m_path);
                m_error = QStringLiteral("Не вдалося записати файл блокування %1: %2. %3")
                              .arg(QStringLiteral("«%1»").arg(shown), xls::causeClause(f), xls::causeRemedy(f));
                return;
            }
            m_held = true;
            return;
        }
        const xls::SystemFailure f = xls::failureOfDevice(xls::lastSystemFailure(), file.error());
        if (!QFileInfo::exists(m_path)) {
            m_error = QStringLiteral("Не вдалося створити файл блокування «%1»: %2. %3")
                          .arg(shown, xls::causeClause(f), xls::causeRemedy(f));
            return;
        }
        bool readable = false;
        const QByteArray theirs = readAll(m_path, &readable);
        LockHolder h = parse(theirs);
        if (!h.started.isValid()) // being written this instant, or damaged: its file's time tells
            h.started = QFileInfo(m_path).lastModified().toUTC();
        const bool here = h.computer == QSysInfo::machineHostName();
        const bool stale = h.started.secsTo(now.toUTC()) > kStaleSeconds || (here && h.pid > 0 && !processRuns(h.pid));
        if (!stale || attempt > 0) {
            m_error = QStringLiteral("До теки «%1» зараз записує результати інша перевірка (%2). Дочекайтеся її "
                                     "завершення або вкажіть іншу теку параметром --out. Якщо тієї перевірки вже "
                                     "немає (наприклад, комп'ютер вимкнули), видаліть файл «%3» і повторіть спробу.")
                          .arg(QDir::toNativeSeparators(folder), holderText(h), shown);
            return;
        }
        // Taken over through a rename, so that of two runs taking over the same lock at once only one
        // removes it; a lock that turns out to be another's new one is put back.
        const QString aside = m_path + QStringLiteral(".%1").arg(processId());
        QFile::remove(aside);
        if (!QFile::rename(m_path, aside))
            continue; // gone meanwhile: try to create it again
        bool same = false;
        if (readAll(aside, &same) != theirs || !same) {
            QFile::rename(aside, m_path);
            continue;
        }
        QFile::remove(aside);
        m_note = QStringLiteral("Попередню перевірку до цієї теки (%1) не було завершено: її блокування знято.")
                     .arg(holderText(h));
    }
}

OutDirLock::~OutDirLock()
{
    if (!m_held)
        return;
    bool ok = false;
    if (readAll(m_path, &ok) == m_mine) // never another run's lock
        QFile::remove(m_path);
}

} // namespace app
