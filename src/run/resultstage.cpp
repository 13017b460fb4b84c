#include "resultstage.h"

#include "xls/savefile.h"
#include "xls/syserror.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace app {

namespace {
const QString kPrefix = QStringLiteral(".brantovel-new.");
const QString kRemovals = QStringLiteral(".brantovel-remove");

#ifdef Q_OS_WIN
void setHidden(const QString& path, bool hidden)
{
    const auto* name = reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16());
    const DWORD attributes = GetFileAttributesW(name);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(name,
                           hidden ? attributes | FILE_ATTRIBUTE_HIDDEN : attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN));
}
#endif

QString problem(const QString& what, const QString& path)
{
    const xls::SystemFailure f = xls::lastSystemFailure();
    return QStringLiteral("%1 «%2»: %3. %4")
        .arg(what, QDir::toNativeSeparators(path), xls::causeClause(f), xls::causeRemedy(f));
}
} // namespace

const QString ResultStage::kIncomplete =
    QStringLiteral("Перевірку перервано до завершення: зведення неповне, а протоколи в цій теці можуть бути не всі "
                   "або від попередньої перевірки. Повторіть перевірку.");

ResultStage::ResultStage(const QString& outDir) : m_dir(outDir)
{
    const QStringList left = QDir(m_dir).entryList({kPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& f : left)
        QFile::remove(QDir(m_dir).filePath(f));
}

ResultStage::~ResultStage()
{
    const QStringList left = QDir(m_dir).entryList({kPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& f : left)
        QFile::remove(QDir(m_dir).filePath(f));
}

QStringList ResultStage::leftToRemove() const
{
    QFile f(QDir(m_dir).filePath(kRemovals));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QString& n : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts))
        if (n.endsWith(QStringLiteral("_log.xls"), Qt::CaseInsensitive) && !n.contains(u'/') && !n.contains(u'\\'))
            names << n;
    return names;
}

void ResultStage::noteRemovals(const QStringList& logs) const
{
    xls::writeFileAtomically(QDir(m_dir).filePath(kRemovals), logs.join(u'\n').toUtf8());
}

QString ResultStage::stagedPath(const QString& name) const
{
    return QDir(m_dir).filePath(kPrefix + name);
}

void ResultStage::hide(const QString& staged)
{
#ifdef Q_OS_WIN
    setHidden(staged, true);
#else
    Q_UNUSED(staged);
#endif
}

QStringList ResultStage::namedLogs(const QString& summary, int firstRow, int column)
{
    QStringList logs;
    if (!QFileInfo::exists(summary))
        return logs;
    try {
        const xls::Workbook book = xls::Workbook::open(summary);
        for (int row = firstRow; row <= book.lastUsedRow(0); ++row) {
            const QString name = book.cell(0, row, column).text;
            // Only a plain file name of this folder: a summary edited by hand never removes anything else.
            if (name.endsWith(QStringLiteral("_log.xls"), Qt::CaseInsensitive) && !name.contains(u'/') &&
                !name.contains(u'\\'))
                logs << name;
        }
    } catch (const std::exception&) {
        // An unreadable summary names nothing: its logs stay rather than guessing which they were.
    }
    return logs;
}

QMap<QString, QString> ResultStage::publish(const QStringList& newLogs, const QStringList& oldLogs)
{
    QMap<QString, QString> failed;
    const QDir dir(m_dir);
    QSet<QString> fresh;
    for (const QString& n : newLogs)
        fresh.insert(n.toLower());
    for (const QString& old : oldLogs) {
        const QString path = dir.filePath(old);
        if (!fresh.contains(old.toLower()) && QFileInfo::exists(path)) {
            errno = 0;
            QFile::remove(path);
        }
    }
    for (const QString& name : newLogs) {
        const QString target = dir.filePath(name);
        errno = 0;
        // Windows renames onto no existing file: the old log goes first.
        if (QFileInfo::exists(target) && !QFile::remove(target)) {
            failed.insert(name, problem(QStringLiteral("Не вдалося замінити старий протокол"), target));
            QFile::remove(stagedPath(name));
            continue;
        }
        if (!QFile::rename(stagedPath(name), target)) {
            failed.insert(name, problem(QStringLiteral("Не вдалося перейменувати протокол"), target));
            QFile::remove(stagedPath(name));
            continue;
        }
#ifdef Q_OS_WIN
        setHidden(target, false);
#endif
    }
    QFile::remove(dir.filePath(kRemovals));
    return failed;
}

} // namespace app
