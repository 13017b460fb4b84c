#pragma once

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
    OoxmlRenamed,
    TextRenamed,
    Truncated,
    Corrupt,
    Encrypted,
    OldFormat,
    NoWorkbookStream,
    Unsupported,
    CellOutOfRange,
    WriteFailed,
    InUse, // another program holds the file open, so it cannot be replaced (Windows)
};

class Error : public std::exception {
public:
    Error(ErrorCode code, QString message) : m_code(code), m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    ErrorCode code() const noexcept { return m_code; }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    ErrorCode m_code;
    QString m_message;
    QByteArray m_utf8;
};

// Builds the user-facing message for a code: names the file and says what to do.
Error makeError(ErrorCode code, const QString& path, const QString& detail = {});

} // namespace xls
