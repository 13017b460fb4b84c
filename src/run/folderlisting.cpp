#include "folderlisting.h"

#include "xls/syserror.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace app {

namespace {

// Why the folder's own entries cannot be read; empty when they can.
QString unlistable(const QString& folder)
{
    xls::SystemFailure failure;
#ifdef Q_OS_WIN
    WIN32_FIND_DATAW data;
    const QString pattern = QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("*")));
    const HANDLE h = FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.utf16()), &data);
    if (h != INVALID_HANDLE_VALUE) {
        FindClose(h);
        return {};
    }
    if (GetLastError() == ERROR_FILE_NOT_FOUND)
        return {}; // empty: said elsewhere
    failure = xls::lastSystemFailure();
#else
    errno = 0;
    if (DIR* d = ::opendir(QFile::encodeName(folder).constData())) {
        ::closedir(d);
        return {};
    }
    failure = xls::failureOfErrno(errno);
#endif
    const QString shown = QDir::toNativeSeparators(folder);
    if (failure.cause == xls::SystemCause::NoPermission)
        return QStringLiteral("Не вдалося переглянути вміст теки «%1»: у вас немає права її переглядати. Попросіть "
                              "адміністратора надати право читання цієї теки або скопіюйте звіти до теки, яку ви "
                              "можете переглядати, і повторіть перевірку.")
            .arg(shown);
    return QStringLiteral("Не вдалося переглянути вміст теки «%1»: %2. %3")
        .arg(shown, xls::causeClause(failure), xls::causeRemedy(failure));
}

bool isXls(const QString& name)
{
    return name.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive) && name.size() > 4;
}

// What a file that is not a report is, by its name.
QString whatFileIs(const QString& name, bool* otherFormat)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (name.startsWith(QStringLiteral(".~lock.")) && name.endsWith(u'#'))
        return QStringLiteral("файл блокування LibreOffice: поки він є, книгу відкрито в LibreOffice");
    *otherFormat = true;
    if (suffix == QStringLiteral("xlsx") || suffix == QStringLiteral("xlsm") || suffix == QStringLiteral("xlsb"))
        return QStringLiteral("книга Excel 2007 або новішого формату (.%1): перевіряються лише звіти .xls; збережіть "
                              "її в Excel як «Книга Excel 97-2003 (*.xls)», щоб перевірити")
            .arg(suffix);
    if (suffix == QStringLiteral("ods") || suffix == QStringLiteral("fods"))
        return QStringLiteral("книга OpenDocument (.%1): перевіряються лише звіти .xls; збережіть її в LibreOffice "
                              "Calc як «Книга Excel 97-2003 (*.xls)», щоб перевірити")
            .arg(suffix);
    *otherFormat = false;
    if (suffix.isEmpty())
        return QStringLiteral("файл без розширення, не звіт .xls");
    return QStringLiteral("файл .%1, не звіт .xls").arg(suffix);
}

// An .xls entry that is not a regular file, or is not one the run can read.
FolderEntry classifyXls(const QString& name, const QFileInfo& info)
{
    FolderEntry e{name, FolderEntry::NotChecked, {}, 0};
    if (info.isSymLink() && !info.exists()) {
#ifndef Q_OS_WIN
        struct stat st;
        errno = 0;
        if (::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) != 0 && errno == ELOOP) {
            e.reason = QStringLiteral("Посилання «%1» замкнене в коло (веде саме на себе через інші посилання), "
                                      "звіту за ним немає. Замініть посилання самим звітом.")
                           .arg(name);
            return e;
        }
#endif
        e.reason = QStringLiteral("Посилання «%1» веде на файл, якого немає (%2). Покладіть до теки сам звіт "
                                  "замість посилання.")
                       .arg(name, QDir::toNativeSeparators(info.symLinkTarget()));
        return e;
    }
    if (info.isDir()) {
        e.kind = FolderEntry::Skipped;
        e.reason = QStringLiteral("тека з назвою .xls: вкладені теки не перевіряються");
        return e;
    }
    if (!info.isFile()) {
        e.reason = QStringLiteral("«%1» — не звичайний файл, а спеціальний (канал, сокет чи пристрій), тому його не "
                                  "читали. Покладіть до теки сам звіт.")
                       .arg(name);
        return e;
    }
    if (name.startsWith(QStringLiteral("~$"))) {
        e.reason = QStringLiteral("«%1» — не звіт, а файл блокування, який Excel залишає поруч із відкритою книгою "
                                  "«%2». Закрийте книгу в Excel (файл зникне) або видаліть його, якщо Excel уже "
                                  "закрито.")
                       .arg(name, name.mid(2));
        return e;
    }
    if (info.size() == 0) {
        e.reason = QStringLiteral("Файл «%1» порожній (0 байтів): можливо, його ще копіюють або запис перервався. "
                                  "Скопіюйте звіт до теки ще раз і повторіть перевірку.")
                       .arg(name);
        return e;
    }
    if (!info.isReadable()) {
        e.reason = QStringLiteral("Файл «%1» не прочитано: у вас немає права його читати. Попросіть власника файлу "
                                  "або адміністратора надати право читання й повторіть перевірку.")
                       .arg(name);
        return e;
    }
    e.kind = FolderEntry::Report;
    e.size = info.size();
    return e;
}

} // namespace

bool nameOrder(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

FolderListing listFolder(const QString& folder, const QString& resultsFolder)
{
    FolderListing listing;
    listing.error = unlistable(folder);
    if (!listing.error.isEmpty())
        return listing;
    const QString results = resultsFolder.isEmpty() ? QString() : QFileInfo(resultsFolder).absoluteFilePath();
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    listing.entries.reserve(size_t(entries.size()));
    for (const QFileInfo& info : entries) {
        const QString name = info.fileName();
        if (isXls(name)) {
            listing.entries.push_back(classifyXls(name, info));
            continue;
        }
        FolderEntry e{name, FolderEntry::Skipped, {}, 0};
        if (!results.isEmpty() && info.absoluteFilePath() == results)
            e.reason = QStringLiteral("тека результатів цієї перевірки");
        else if (info.isSymLink() && !info.exists())
            e.reason = QStringLiteral("посилання на файл, якого немає");
        else if (info.isDir())
            e.reason = QStringLiteral("тека: вкладені теки не перевіряються");
        else if (!info.isFile())
            e.reason = QStringLiteral("спеціальний файл (канал, сокет чи пристрій), не звіт .xls");
        else
            e.reason = whatFileIs(name, &e.otherFormat);
        listing.entries.push_back(e);
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return nameOrder(a.name, b.name); });
    return listing;
}

} // namespace app
