#pragma once

#include <QFileDevice>
#include <QString>

namespace xls {

// Why the system refused to create, write, rename or remove a file, in the terms a user can act on.
enum class SystemCause { Unknown, DiskFull, NoPermission, PathTooLong, InUse, ReadOnlyDisk, FolderGone };

struct SystemFailure {
    SystemCause cause = SystemCause::Unknown;
    long code = 0; // the system's own number (errno, or GetLastError on Windows), for Unknown
};

// The failure of the last system call on this thread: errno, or on Windows GetLastError first.
SystemFailure lastSystemFailure();
SystemFailure failureOfErrno(int e);
// A file device's failure: the system's number where it tells more, its own kind otherwise.
SystemFailure failureOfDevice(const SystemFailure& system, QFileDevice::FileError error);

// The cause as a clause after a colon ("на диску не залишилося вільного місця") and what to do about it
// as a sentence; both Ukrainian, never the system's own English.
QString causeClause(const SystemFailure& f);
// The cause of a failed read, as a clause ("немає права читати цей файл").
QString readCauseClause(const SystemFailure& f);
QString causeRemedy(const SystemFailure& f);

} // namespace xls
