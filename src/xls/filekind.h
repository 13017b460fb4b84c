#pragma once

#include <QByteArray>
#include <QString>

namespace xls {

// Throws the xls::Error that names what a file that is no compound file is instead (an OpenDocument
// or Office Open XML package, a ZIP archive, PDF, a web page, XML, CSV or other text, a bare
// Excel 2-4 workbook), with what to do.
[[noreturn]] void rejectForeignFile(const QByteArray& bytes, const QString& path);

} // namespace xls
