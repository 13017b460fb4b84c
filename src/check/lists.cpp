#include "lists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <optional>

namespace check {

namespace {

const char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

QString decodeCp1251(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const uint8_t b = uint8_t(c);
        out.append(QChar(b < 0x80 ? char16_t(b) : kCp1251High[b - 0x80]));
    }
    return out;
}

} // namespace

QStringList decodeListLines(const QByteArray& bytes)
{
    QByteArray data = bytes;
    QString text;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8.decode(data);
    if (utf8.hasError())
        text = decodeCp1251(bytes);
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

std::optional<ListProblem> ReferenceLists::read(const QString& file, QStringList* lines) const
{
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
