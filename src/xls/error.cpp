#include "error.h"

#include <QDir>

namespace xls {

Error makeError(ErrorCode code, const QString& path, const QString& detail)
{
    const QString file = QStringLiteral("«") + QDir::toNativeSeparators(path) + QStringLiteral("»");
    QString text;
    switch (code) {
    case ErrorCode::NotFound:
        text = QStringLiteral("Файл %1 не знайдено.").arg(file);
        break;
    case ErrorCode::IsFolder:
        text = QStringLiteral("%1 є папкою, а не файлом Excel.").arg(file);
        break;
    case ErrorCode::ReadFailed:
        text = QStringLiteral("Не вдалося прочитати файл %1 (можливо, його відкрито в іншій програмі або немає прав "
                              "доступу).")
                   .arg(file);
        break;
    case ErrorCode::Empty:
        text = QStringLiteral("Файл %1 порожній (0 байтів), це не книга Excel.").arg(file);
        break;
    case ErrorCode::NotCompoundFile:
        text = QStringLiteral("Файл %1 не є книгою Excel 97-2003 (.xls).").arg(file);
        break;
    case ErrorCode::OoxmlRenamed:
        text = QStringLiteral("Файл %1 є книгою у форматі .xlsx (або іншим документом Office Open XML) з "
                              "розширенням .xls. Збережіть його в Excel як «Книга Excel 97-2003 (*.xls)».")
                   .arg(file);
        break;
    case ErrorCode::TextRenamed:
        text = QStringLiteral("Файл %1 є текстовим документом (HTML, XML або CSV) з розширенням .xls. Збережіть "
                              "його в Excel як «Книга Excel 97-2003 (*.xls)».")
                   .arg(file);
        break;
    case ErrorCode::Truncated:
        text = QStringLiteral("Файл %1 обрізаний (неповний): можливо, його не до кінця скопійовано.").arg(file);
        break;
    case ErrorCode::Corrupt:
        text = QStringLiteral("Файл %1 пошкоджений.").arg(file);
        break;
    case ErrorCode::Encrypted:
        text = QStringLiteral("Книга %1 захищена паролем. Зніміть пароль у табличному редакторі та збережіть "
                              "файл знову.")
                   .arg(file);
        break;
    case ErrorCode::OldFormat:
        text = QStringLiteral("Книга %1 збережена у застарілому форматі (Excel 5.0/95 або старішому). Збережіть "
                              "її як «Книга Excel 97-2003 (*.xls)».")
                   .arg(file);
        break;
    case ErrorCode::NoWorkbookStream:
        text = QStringLiteral("Файл %1 є документом Office, але не книгою Excel.").arg(file);
        break;
    case ErrorCode::Unsupported:
        text = QStringLiteral("Книгу %1 не можна змінити безпечно.").arg(file);
        break;
    case ErrorCode::CellOutOfRange:
        text = QStringLiteral("Книга %1: адреса клітинки поза межами аркуша Excel 97-2003.").arg(file);
        break;
    case ErrorCode::WriteFailed:
        text = QStringLiteral("Не вдалося зберегти файл %1; файл залишився без змін.").arg(file);
        break;
    case ErrorCode::InUse:
        text = QStringLiteral("Файл %1 відкрито в іншій програмі (наприклад, у табличному редакторі), тому зберегти "
                              "його не вдалося; файл залишився без змін. Закрийте його там і повторіть спробу.")
                   .arg(file);
        break;
    }
    if (!detail.isEmpty())
        text += QLatin1Char(' ') + detail;
    return Error(code, text);
}

} // namespace xls
