#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace fixtures {

// What one external program run gave.
struct ProcessResult {
    bool ok = false; // started, finished in time, exit code 0
    QByteArray out, err;
    QString failure; // why not ok, for a test message
};

// An external program (LibreOffice, python3) run by a test: its own process group, its own
// scratch folder (TMPDIR, and the LibreOffice profile) and a time limit. On timeout, and whenever
// the runner goes out of scope, the whole process group is killed by its id, so that nothing a test
// started outlives it (soffice forks soffice.bin, which the plain QProcess kill would miss).
class ExternalProcess {
public:
    ExternalProcess();
    ~ExternalProcess();
    ExternalProcess(const ExternalProcess&) = delete;
    ExternalProcess& operator=(const ExternalProcess&) = delete;

    // The private scratch folder; removed with the runner.
    QString scratch() const { return m_scratch.path(); }

    ProcessResult run(const QString& program, const QStringList& args, int timeoutMs);

private:
    void killGroup();

    QTemporaryDir m_scratch;
    qint64 m_group = 0;
};

// Whether a process that is not a zombie has the id, or (group) belongs to the process group.
bool processAlive(qint64 id, bool group = false);

// The system's Python on a script from tests/tools, isolated from the user's site and environment
// (-I), writing no bytecode (-B), two minutes at most.
ProcessResult runPythonScript(const QString& script, const QStringList& args);

// LibreOffice headless with a profile of its own, ten minutes at most.
ProcessResult runSoffice(const QStringList& args);

} // namespace fixtures
