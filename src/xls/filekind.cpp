#include "filekind.h"

#include "xls/biff/records.h"
#include "xls/bytes.h"
#include "xls/error.h"

#include <algorithm>

namespace xls {

namespace {

constexpr qsizetype kHead = 4096; // how much of the file tells its kind

[[noreturn]] void rejectZip(const QByteArray& bytes, const QString& path)
{
    // An OpenDocument package opens with an uncompressed "mimetype" entry naming its kind; an Office
    // Open XML package lists its parts in "[Content_Types].xml".
    if (bytes.left(200).contains("application/vnd.oasis.opendocument"))
        throw makeError(ErrorCode::OpenDocument, path);
    if (bytes.contains("[Content_Types].xml"))
        throw makeError(ErrorCode::OoxmlRenamed, path);
    throw makeError(ErrorCode::ZipArchive, path);
}

// The beginning of a text file in lower case, with a byte order mark dropped; UTF-16 text is
// narrowed to its low bytes, which is enough to find markup.
QByteArray textHead(const QByteArray& bytes)
{
    QByteArray head = bytes.left(kHead);
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.mid(3);
    else if (head.startsWith("\xFF\xFE")) {
        QByteArray narrow;
        for (qsizetype k = 2; k + 1 < head.size(); k += 2)
            narrow += head[k];
        head = narrow;
    }
    return head.trimmed().toLower();
}

bool isPrintableText(const QByteArray& bytes)
{
    const QByteArray head = bytes.left(512);
    return std::all_of(head.begin(), head.end(),
                       [](char c) { return uint8_t(c) >= 0x20 || c == '\n' || c == '\r' || c == '\t'; });
}

} // namespace

void rejectForeignFile(const QByteArray& bytes, const QString& path)
{
    if (bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06"))
        rejectZip(bytes, path);
    if (bytes.left(1024).contains("%PDF-"))
        throw makeError(ErrorCode::Pdf, path);
    // Bare BIFF2-BIFF5 files start with a BOF record and no container.
    if (bytes.size() >= 4) {
        const uint16_t t = u16(bytes.constData());
        if (t == biff::BOF_BIFF2 || t == biff::BOF_BIFF3 || t == biff::BOF_BIFF4 || t == biff::BOF)
            throw makeError(ErrorCode::OldFormat, path);
    }
    const QByteArray head = textHead(bytes);
    if (head.startsWith('<')) {
        if (head.contains("<html") || head.contains("<!doctype html") || head.contains("<table"))
            throw makeError(ErrorCode::HtmlRenamed, path);
        if (head.contains("opendocument") && head.contains("office:document"))
            throw makeError(ErrorCode::OpenDocument, path); // a flat XML spreadsheet (.fods)
        if (head.startsWith("<?xml") || head.contains("urn:schemas-microsoft-com:office:spreadsheet"))
            throw makeError(ErrorCode::XmlRenamed, path);
        throw makeError(ErrorCode::HtmlRenamed, path);
    }
    if (isPrintableText(bytes))
        throw makeError(ErrorCode::TextRenamed, path);
    throw makeError(ErrorCode::NotCompoundFile, path);
}

} // namespace xls
