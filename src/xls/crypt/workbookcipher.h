#pragma once

#include "xls/crypt/filepass.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Encryption of the workbook stream. The stream is encrypted record by record after the FILEPASS
// record: record headers, the records that announce or precede decryption (BOF, FILEPASS,
// INTERFACEHDR and the shared-workbook lock records) and the sheet positions in BOUNDSHEET stay
// plain. The key stream follows the byte position in the stream, with a new key for every
// 1024-byte block, so plain bytes use up key stream too.
namespace xls::crypt {

// Decrypts `stream` in place when its globals hold a FILEPASS record that the default password
// opens, and returns the key; returns nothing for a stream that is not encrypted (or not BIFF8).
// Throws xls::Error naming `path` when a password of the user's own or an unknown scheme is needed
// (Encrypted), or when the FILEPASS record is damaged (Corrupt).
std::optional<FilePassKey> decryptWorkbookStream(QByteArray& stream, const QString& path);

// Encrypts a workbook stream written in plain with `key`, after its FILEPASS record. Throws
// xls::Error (Unsupported) when the stream has no FILEPASS record.
void encryptWorkbookStream(QByteArray& stream, const FilePassKey& key, const QString& path);

} // namespace xls::crypt
