#include "syserror.h"

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace xls {

namespace {

#ifdef Q_OS_WIN
SystemFailure failureOfWindowsError(DWORD e)
{
    switch (e) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, which not every SDK names
        return {SystemCause::DiskFull, long(e)};
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return {SystemCause::NoPermission, long(e)};
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return {SystemCause::PathTooLong, long(e)};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return {SystemCause::InUse, long(e)};
    case ERROR_WRITE_PROTECT:
        return {SystemCause::ReadOnlyDisk, long(e)};
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
        return {SystemCause::FolderGone, long(e)};
    default:
        return {SystemCause::Unknown, long(e)};
    }
}
#endif

} // namespace

SystemFailure failureOfErrno(int e)
{
    switch (e) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return {SystemCause::DiskFull, e};
    case EACCES:
    case EPERM:
        return {SystemCause::NoPermission, e};
    case ENAMETOOLONG:
        return {SystemCause::PathTooLong, e};
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return {SystemCause::InUse, e};
    case EROFS:
        return {SystemCause::ReadOnlyDisk, e};
    case ENOENT:
    case ENOTDIR:
        return {SystemCause::FolderGone, e};
    default:
        return {SystemCause::Unknown, e};
    }
}

SystemFailure lastSystemFailure()
{
    const int e = errno;
#ifdef Q_OS_WIN
    // Qt's files go through the Windows API, which reports there; errno is a fallback for the C library.
    if (const DWORD w = GetLastError(); w != 0) {
        const SystemFailure f = failureOfWindowsError(w);
        if (f.cause != SystemCause::Unknown || e == 0)
            return f;
    }
#endif
    return failureOfErrno(e);
}

SystemFailure failureOfDevice(const SystemFailure& system, QFileDevice::FileError error)
{
    if (system.cause != SystemCause::Unknown)
        return system;
    switch (error) {
    case QFileDevice::ResourceError: // Qt's own name for a write that found no space
        return {SystemCause::DiskFull, system.code};
    case QFileDevice::PermissionsError:
        return {SystemCause::NoPermission, system.code};
    default:
        return system;
    }
}

QString causeClause(const SystemFailure& f)
{
    switch (f.cause) {
    case SystemCause::DiskFull:
        return QStringLiteral("на диску не залишилося вільного місця");
    case SystemCause::NoPermission:
        return QStringLiteral("немає права запису до цієї теки або файлу");
    case SystemCause::PathTooLong:
        return QStringLiteral("шлях до файлу задовгий для системи");
    case SystemCause::InUse:
        return QStringLiteral("файл зайнятий іншою програмою");
    case SystemCause::ReadOnlyDisk:
        return QStringLiteral("диск доступний лише для читання");
    case SystemCause::FolderGone:
        return QStringLiteral("теки, у якій мав бути файл, немає (її видалено, перейменовано або диск від'єднано)");
    case SystemCause::Unknown:
        break;
    }
    return f.code != 0 ? QStringLiteral("система відмовила в записі (код помилки %1)").arg(f.code)
                       : QStringLiteral("система відмовила в записі");
}

QString readCauseClause(const SystemFailure& f)
{
    switch (f.cause) {
    case SystemCause::NoPermission:
        return QStringLiteral("немає права читати цей файл");
    case SystemCause::InUse:
        return QStringLiteral("файл зайнятий іншою програмою");
    case SystemCause::PathTooLong:
        return QStringLiteral("шлях до файлу задовгий для системи");
    case SystemCause::FolderGone:
        return QStringLiteral("файлу або теки, у якій він лежав, уже немає");
    case SystemCause::DiskFull:
    case SystemCause::ReadOnlyDisk:
    case SystemCause::Unknown:
        break;
    }
    return f.code != 0 ? QStringLiteral("система відмовила в читанні (код помилки %1)").arg(f.code)
                       : QStringLiteral("система відмовила в читанні");
}

QString causeRemedy(const SystemFailure& f)
{
    switch (f.cause) {
    case SystemCause::DiskFull:
        return QStringLiteral("Звільніть місце на диску або виберіть інший диск і повторіть спробу.");
    case SystemCause::NoPermission:
        return QStringLiteral("Виберіть теку, до якої у вас є право запису, або попросіть адміністратора надати "
                              "його, і повторіть спробу.");
    case SystemCause::PathTooLong:
        return QStringLiteral("Перенесіть теку ближче до кореня диска або скоротіть назви тек і файлів, і повторіть "
                              "спробу.");
    case SystemCause::InUse:
        return QStringLiteral("Закрийте файл у тій програмі й повторіть спробу.");
    case SystemCause::ReadOnlyDisk:
        return QStringLiteral("Виберіть теку на диску, до якого можна записувати, і повторіть спробу.");
    case SystemCause::FolderGone:
        return QStringLiteral("Перевірте, чи тека на місці й диск під'єднано, і повторіть спробу.");
    case SystemCause::Unknown:
        break;
    }
    return QStringLiteral("Перевірте диск і повторіть спробу.");
}

} // namespace xls
