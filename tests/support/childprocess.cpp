#include "childprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace fixtures {

bool processAlive(qint64 id, bool group)
{
#ifdef Q_OS_LINUX
    // A zombie is gone for this purpose: it runs nothing and waits only for its parent (or
    // init) to collect it, which a group kill cannot hurry.
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool numeric = false;
        const qint64 n = pid.toLongLong(&numeric);
        if (!numeric || (!group && n != id))
            continue;
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid pgrp ...: the command may hold blanks and parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 3 || fields[0] == "Z" || fields[0] == "X")
            continue;
        if (!group || fields[2].toLongLong() == id)
            return true;
    }
    return false;
#elif defined(Q_OS_UNIX)
    return ::kill(pid_t(group ? -id : id), 0) == 0;
#else
    Q_UNUSED(id);
    Q_UNUSED(group);
    return false;
#endif
}

namespace {

#ifdef Q_OS_UNIX
// Waits up to ms for every member of the group to be gone; true when it is.
bool waitGroupGone(qint64 group, int ms)
{
    QDeadlineTimer deadline(ms);
    while (processAlive(group, true)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}
#endif

} // namespace

ExternalProcess::ExternalProcess()
{
    QDir(m_scratch.path()).mkdir(QStringLiteral("tmp"));
}

ExternalProcess::~ExternalProcess()
{
    killGroup();
}

void ExternalProcess::killGroup()
{
#ifdef Q_OS_UNIX
    if (m_group <= 0)
        return;
    if (processAlive(m_group, true)) {
        ::kill(pid_t(-m_group), SIGTERM);
        if (!waitGroupGone(m_group, 3000)) {
            ::kill(pid_t(-m_group), SIGKILL);
            waitGroupGone(m_group, 5000);
        }
    }
    m_group = 0;
#endif
}

ProcessResult ExternalProcess::run(const QString& program, const QStringList& args, int timeoutMs)
{
    ProcessResult result;
    if (program.isEmpty()) {
        result.failure = QStringLiteral("the program was not found when the build was configured "
                                        "(tools/install-deps.sh test installs it)");
        return result;
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), QDir(scratch()).filePath(QStringLiteral("tmp")));
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // A group of its own, so that the program's children can be found and ended with it; on
    // Linux the kernel also kills the program should the test die before it could.
    p.setChildProcessModifier([] {
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    });
#endif
    p.start(program, args);
    if (!p.waitForStarted(30000)) {
        result.failure = program + QStringLiteral(" did not start: ") + p.errorString();
        return result;
    }
    m_group = p.processId();
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) {
#ifdef Q_OS_UNIX
        // Ask the whole group to end, then force it; the program itself is reaped on the way.
        ::kill(pid_t(-m_group), SIGTERM);
        if (!p.waitForFinished(3000))
            ::kill(pid_t(-m_group), SIGKILL);
#endif
        p.kill();
        p.waitForFinished(5000);
        result.failure = QStringLiteral("%1 did not finish in %2 s and was killed").arg(program).arg(timeoutMs / 1000);
    } else if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        result.failure = QStringLiteral("%1 ended with status %2").arg(program).arg(p.exitCode());
    } else {
        result.ok = true;
    }
    // Whatever the program left running in its group goes with it.
    killGroup();
    result.out = p.readAllStandardOutput();
    result.err = p.readAllStandardError();
    if (!result.ok && !result.err.isEmpty())
        result.failure += QStringLiteral(": ") + QString::fromLocal8Bit(result.err).trimmed();
    return result;
}

ProcessResult runPythonScript(const QString& script, const QStringList& args)
{
    ExternalProcess proc;
    return proc.run(QStringLiteral(BRANTOVEL_PYTHON),
                    QStringList{QStringLiteral("-I"), QStringLiteral("-B"),
                                QDir(QStringLiteral(BRANTOVEL_TOOLS_DIR)).filePath(script)} +
                        args,
                    120000);
}

ProcessResult runSoffice(const QStringList& args)
{
    ExternalProcess proc;
    const QString profile = QUrl::fromLocalFile(QDir(proc.scratch()).filePath(QStringLiteral("profile"))).toString();
    return proc.run(QStringLiteral(BRANTOVEL_SOFFICE),
                    QStringList{QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                                QStringLiteral("--norestore")} +
                        args,
                    600000);
}

} // namespace fixtures
