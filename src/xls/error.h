#pragma once

#include "syserror.h"

#include <QString>
#include <exception>

namespace xls {

// Why a workbook could not be read or written. Tests assert the code; users read the message.
enum class ErrorCode {
    NotFound,
    IsFolder,
    ReadFailed,
    Empty,
    NotCompoundFile,
    OoxmlRenamed, // a .xlsx (or another Office Open XML document) named .xls
    TextRenamed,  // CSV or other plain text named .xls
    Truncated,
    Corrupt,
    Encrypted, // a password to open that is the user's own
    OldFormat,
    NoWorkbookStream,
    Unsupported,
    CellOutOfRange,
    WriteFailed,
    InUse,          // another program holds the file open, so it cannot be replaced (Windows)
    OoxmlEncrypted, // a .xlsx with a password to open: a compound file holding an EncryptedPackage
    OpenDocument,   // an OpenDocument spreadsheet (.ods, or flat XML .fods)
    Pdf,
    HtmlRenamed,    // a web page, as some programs export their "Excel" reports
    XmlRenamed,     // XML, such as Excel's "XML Spreadsheet 2003"
    ZipArchive,     // a ZIP archive that is no office document
    FormulaGroup,   // the cell to write belongs to a shared formula, an array formula or a data table
    LockedByEditor, // a spreadsheet program's lock file lies beside the file: it is open there
    ReadOnlyFile,   // the file to replace is marked read-only
};

class Error : public std::exception {
public:
    Error(ErrorCode code, QString message) : m_code(code), m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    ErrorCode code() const noexcept { return m_code; }
    // For a write the system refused: why (disk full, no permission...); Unknown otherwise.
    SystemCause systemCause() const noexcept { return m_cause; }
    void setSystemCause(SystemCause cause) noexcept { m_cause = cause; }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    ErrorCode m_code;
    SystemCause m_cause = SystemCause::Unknown;
    QString m_message;
    QByteArray m_utf8;
};

// Builds the user-facing message for a code: names the file and says what to do. `detail` follows
// it; for a damaged file it is the technical reason, shown in brackets after the plain words.
Error makeError(ErrorCode code, const QString& path, const QString& detail = {});

// The kinds of formula that span several cells.
enum class FormulaGroupKind { Shared, Array, Table };

// FormulaGroup: the cell (1-based row and column) of sheet `sheet` belongs to a formula of `kind`
// over `range` (empty when not known), so it cannot be written alone.
Error formulaGroupError(const QString& path, const QString& sheet, int row, int col, FormulaGroupKind kind,
                        const QString& range);

// LockedByEditor: the lock file `lockPath` says that another program has `path` open.
Error editorLockError(const QString& path, const QString& lockPath);

// WriteFailed for a failure the system reported: names the file and the cause, says whether the file
// (when `existed`) stayed as it was or was not made, and what to do.
Error writeError(const QString& path, bool existed, const SystemFailure& failure);

// A cell's address as spreadsheet programs show it: 1-based (13, 19) is "S13".
QString cellName(int row, int col);

} // namespace xls
