#include "lists.h"

#include "xls/biff/strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <optional>

namespace check {

QStringList decodeListLines(const QByteArray& bytes)
{
    QByteArray data = bytes;
    QString text;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8.decode(data);
    if (utf8.hasError())
        text = xls::biff::fromCp1251(bytes);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

QString ReferenceLists::path(const QString& file) const
{
    return QDir(m_dir).filePath(file);
}

const QStringList& ReferenceLists::names()
{
    static const QStringList six{QStringLiteral("GUOZ.bin"), QStringLiteral("CMK.bin"),   QStringLiteral("KYIV.bin"),
                                 QStringLiteral("ZFB.bin"),  QStringLiteral("MAYNO.bin"), QStringLiteral("SR.bin")};
    return six;
}

std::shared_ptr<const ListSnapshot> ListSnapshot::take(const QString& dir)
{
    auto snapshot = std::make_shared<ListSnapshot>();
    const ReferenceLists fromDisk(dir);
    for (const QString& file : ReferenceLists::names()) {
        List list;
        list.file = file;
        list.modified = QFileInfo(fromDisk.path(file)).lastModified();
        list.problem = fromDisk.read(file, &list.lines);
        snapshot->lists.push_back(std::move(list));
    }
    return snapshot;
}

std::optional<ListProblem> ReferenceLists::read(const QString& file, QStringList* lines) const
{
    if (m_snapshot) {
        for (const ListSnapshot::List& l : m_snapshot->lists)
            if (l.file == file) {
                if (!l.problem)
                    *lines = l.lines;
                return l.problem;
            }
    }
    const QString p = path(file);
    if (!QFileInfo::exists(p))
        return ListProblem{file, p, true};
    QFile f(p);
    if (!QFileInfo(p).isDir() && f.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = f.readAll();
        if (f.error() == QFileDevice::NoError) {
            *lines = decodeListLines(bytes);
            return std::nullopt;
        }
    }
    return ListProblem{file, p, false};
}

QStringList ReferenceLists::lines(const QString& file)
{
    QStringList out;
    if (const std::optional<ListProblem> problem = read(file, &out)) {
        m_failed.insert(file, *problem);
        throw ListError(
            QStringLiteral("Не вдалося прочитати список «%1».").arg(QDir::toNativeSeparators(problem->path)));
    }
    return out;
}

bool ReferenceLists::IsCodeInList(const QString& file, const QString& code)
{
    return lines(file).contains(code);
}

bool ReferenceLists::zfbNotMayno(const QString& code)
{
    // Both lists are opened before either is searched; when both fail, both are remembered.
    std::optional<ListError> failure;
    auto take = [&](const QString& file) {
        try {
            return lines(file);
        } catch (const ListError& e) {
            if (!failure)
                failure = e;
            return QStringList();
        }
    };
    const QStringList zfb = take(QStringLiteral("ZFB.bin"));
    const QStringList mayno = take(QStringLiteral("MAYNO.bin"));
    if (failure)
        throw *failure;
    return zfb.contains(code) && !mayno.contains(code);
}

QList<ListProblem> ReferenceLists::problems() const
{
    QList<ListProblem> out;
    for (const QString& file : names()) {
        QStringList unused;
        if (m_failed.contains(file))
            out << m_failed.value(file);
        else if (const std::optional<ListProblem> now = read(file, &unused))
            out << *now;
    }
    return out;
}

} // namespace check
