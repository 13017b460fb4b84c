#include "error.h"

#include <QDir>
#include <QFileInfo>

namespace xls {

namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("«") + QDir::toNativeSeparators(path) + QStringLiteral("»");
}

// What to do with a file of another kind: the engine reads only the Excel 97-2003 format.
const QString& saveAsXls()
{
    static const QString text = QStringLiteral("Відкрийте його в табличному редакторі (Excel або LibreOffice Calc) та "
                                               "збережіть як «Книга Excel 97-2003 (*.xls)» під тим самим іменем.");
    return text;
}

// The detail of a damaged file, in brackets after the plain words.
QString technical(QString detail)
{
    if (detail.startsWith(QLatin1Char('(')) && detail.endsWith(QLatin1Char(')')))
        detail = detail.mid(1, detail.size() - 2);
    if (detail.endsWith(QLatin1Char('.')))
        detail.chop(1);
    return QStringLiteral("(Подробиці: %1.)").arg(detail);
}

QString messageText(ErrorCode code, const QString& file)
{
    switch (code) {
    case ErrorCode::NotFound:
        return QStringLiteral("Файл %1 не знайдено. Перевірте, чи файл лежить у цій теці під саме цією назвою, і "
                              "поверніть його на місце.")
            .arg(file);
    case ErrorCode::IsFolder:
        return QStringLiteral(
                   "%1 — це тека, а не файл Excel. Перейменуйте або приберіть цю теку й покладіть на її місце "
                   "книгу Excel 97-2003 (.xls).")
            .arg(file);
    case ErrorCode::ReadFailed:
        return QStringLiteral(
                   "Не вдалося прочитати файл %1. Закрийте його в інших програмах, перевірте, чи маєте право "
                   "його читати, і повторіть спробу.")
            .arg(file);
    case ErrorCode::Empty:
        return QStringLiteral("Файл %1 порожній (0 байтів), це не книга Excel. Візьміть попередню копію файлу або "
                              "збережіть книгу в табличному редакторі ще раз.")
            .arg(file);
    case ErrorCode::NotCompoundFile:
        return QStringLiteral("Файл %1 не є книгою Excel 97-2003 (.xls): програма не впізнала, що в ньому. Відкрийте "
                              "його в програмі, якою його створено, та збережіть як «Книга Excel 97-2003 (*.xls)».")
            .arg(file);
    case ErrorCode::OoxmlRenamed:
        return QStringLiteral("Файл %1 є книгою у форматі .xlsx (або іншим документом Office Open XML), хоча має "
                              "розширення .xls. ")
                   .arg(file) +
               saveAsXls();
    case ErrorCode::OoxmlEncrypted:
        return QStringLiteral("Файл %1 є книгою у форматі .xlsx, захищеною паролем на відкриття, хоча має розширення "
                              ".xls. Відкрийте її в Excel, зніміть пароль на відкриття (Файл → Відомості → Захистити "
                              "книгу → Зашифрувати за допомогою пароля) та збережіть як «Книга Excel 97-2003 (*.xls)» "
                              "під тим самим іменем.")
            .arg(file);
    case ErrorCode::OpenDocument:
        return QStringLiteral("Файл %1 є документом OpenDocument (таблицею .ods LibreOffice або OpenOffice), хоча має "
                              "розширення .xls. ")
                   .arg(file) +
               saveAsXls();
    case ErrorCode::Pdf:
        return QStringLiteral("Файл %1 є документом PDF, а не книгою Excel: з PDF програма не може прочитати таблиці. "
                              "Візьміть книгу Excel 97-2003 (.xls), з якої зроблено цей PDF, і покладіть її на місце "
                              "цього файлу.")
            .arg(file);
    case ErrorCode::HtmlRenamed:
        return QStringLiteral("Файл %1 є вебсторінкою (HTML), хоча має розширення .xls: так вивантажують таблиці "
                              "деякі облікові програми. ")
                   .arg(file) +
               saveAsXls();
    case ErrorCode::XmlRenamed:
        return QStringLiteral("Файл %1 є документом XML (наприклад, «Таблиця XML 2003»), хоча має розширення .xls. ")
                   .arg(file) +
               saveAsXls();
    case ErrorCode::TextRenamed:
        return QStringLiteral("Файл %1 є текстовим файлом (CSV або простий текст), хоча має розширення .xls. ")
                   .arg(file) +
               saveAsXls();
    case ErrorCode::ZipArchive:
        return QStringLiteral("Файл %1 є архівом ZIP, а не книгою Excel. Розпакуйте з нього книгу Excel 97-2003 (.xls) "
                              "і покладіть її на місце цього файлу.")
            .arg(file);
    case ErrorCode::Truncated:
        return QStringLiteral("Файл %1 обрізаний (неповний): мабуть, його не до кінця скопійовано, завантажено або "
                              "збережено. Скопіюйте або збережіть його ще раз.")
            .arg(file);
    case ErrorCode::Corrupt:
        return QStringLiteral("Файл %1 пошкоджений: його вміст не відповідає формату Excel 97-2003, тому програма не "
                              "може його прочитати. Спробуйте відкрити його в табличному редакторі: якщо він "
                              "відкриється, збережіть його як «Книга Excel 97-2003 (*.xls)» під тим самим іменем; якщо "
                              "ні, візьміть попередню копію файлу.")
            .arg(file);
    case ErrorCode::Encrypted:
        return QStringLiteral("Книга %1 захищена паролем на відкриття, тому програма не може її прочитати. Відкрийте "
                              "книгу в табличному редакторі, зніміть пароль на відкриття (в Excel: Файл → Відомості → "
                              "Захистити книгу → Зашифрувати за допомогою пароля, очистіть пароль) і збережіть її. "
                              "Захист аркушів і структури книги знімати не потрібно.")
            .arg(file);
    case ErrorCode::OldFormat:
        return QStringLiteral("Книга %1 збережена у застарілому форматі (Excel 5.0/95 або старішому). Відкрийте її в "
                              "табличному редакторі та збережіть як «Книга Excel 97-2003 (*.xls)» під тим самим "
                              "іменем.")
            .arg(file);
    case ErrorCode::NoWorkbookStream:
        return QStringLiteral("Файл %1 є документом Office, але не книгою Excel (можливо, це документ Word або "
                              "презентація PowerPoint з розширенням .xls). Покладіть на його місце книгу Excel 97-2003 "
                              "(.xls).")
            .arg(file);
    case ErrorCode::Unsupported:
        return QStringLiteral("Книгу %1 не можна змінити безпечно: у ній є будова, яку програма не вміє записати без "
                              "ризику пошкодити дані, тому книгу залишено без змін. Відкрийте її в табличному "
                              "редакторі, збережіть як «Книга Excel 97-2003 (*.xls)» під тим самим іменем і повторіть "
                              "спробу.")
            .arg(file);
    case ErrorCode::CellOutOfRange:
        return QStringLiteral("Книгу %1 залишено без змін: програма мала записати значення в клітинку поза межами "
                              "аркуша Excel 97-2003. Повідомте про це розробникам програми.")
            .arg(file);
    case ErrorCode::WriteFailed:
        return QStringLiteral("Не вдалося зберегти файл %1; файл залишився без змін. Перевірте, чи є вільне місце на "
                              "диску й чи можна записувати в цю теку, і повторіть спробу.")
            .arg(file);
    case ErrorCode::ReadOnlyFile:
        return QStringLiteral("Файл %1 позначено «лише для читання», тому зберегти його не вдалося; файл залишився без "
                              "змін. Зніміть цю позначку у властивостях файлу й повторіть спробу.")
            .arg(file);
    case ErrorCode::InUse:
        return QStringLiteral("Файл %1 відкрито в іншій програмі (наприклад, у табличному редакторі), тому зберегти "
                              "його не вдалося; файл залишився без змін. Закрийте його там і повторіть спробу.")
            .arg(file);
    case ErrorCode::FormulaGroup:
    case ErrorCode::LockedByEditor:
        break; // built by their own functions below, which know the cell or the lock file
    }
    return QStringLiteral("Файл %1 не можна обробити.").arg(file);
}

} // namespace

Error makeError(ErrorCode code, const QString& path, const QString& detail)
{
    QString text = messageText(code, quoted(path));
    // A file that was not there before the failed save is not "left unchanged": it was not made.
    if (code == ErrorCode::WriteFailed && !QFileInfo::exists(path))
        text = QStringLiteral("Не вдалося створити файл %1. Перевірте, чи є вільне місце на диску й чи можна "
                              "записувати в цю теку, і повторіть спробу.")
                   .arg(quoted(path));
    // The detail is how the program found out: it stays in brackets, after what the user can act on.
    if (!detail.isEmpty())
        text += QLatin1Char(' ') + technical(detail);
    return Error(code, text);
}

Error formulaGroupError(const QString& path, const QString& sheet, int row, int col, FormulaGroupKind kind,
                        const QString& range)
{
    const QString cell = cellName(row, col);
    const QString over = range.isEmpty() ? QString() : QLatin1Char(' ') + range;
    QString what, remedy;
    switch (kind) {
    case FormulaGroupKind::Shared:
        what = QStringLiteral("спільної формули%1 (однієї формули, протягнутої на кілька клітинок)").arg(over);
        remedy = QStringLiteral("Видаліть формулу з клітинки %1 у табличному редакторі").arg(cell);
        break;
    case FormulaGroupKind::Array:
        what =
            QStringLiteral("формули масиву%1 (формули у фігурних дужках {…}, введеної для кількох клітинок)").arg(over);
        remedy = QStringLiteral("Видаліть формулу масиву в табличному редакторі (виділіть усі її клітинки%1 і "
                                "натисніть Delete), щоб звільнити клітинку %2")
                     .arg(over, cell);
        break;
    case FormulaGroupKind::Table:
        what = QStringLiteral("таблиці даних%1 (таблиці підстановки «Що якщо»)").arg(over);
        remedy = QStringLiteral("Видаліть таблицю даних у табличному редакторі, щоб звільнити клітинку %1").arg(cell);
        break;
    }
    return Error(ErrorCode::FormulaGroup,
                 QStringLiteral("У книзі %1 клітинка %2 аркуша «%3» входить до %4, тому записати в неї значення, не "
                                "зіпсувавши інших клітинок, не можна; книга залишилася без змін. %5, збережіть книгу й "
                                "повторіть спробу.")
                     .arg(quoted(path), cell, sheet, what, remedy));
}

Error editorLockError(const QString& path, const QString& lockPath)
{
    return Error(ErrorCode::LockedByEditor,
                 QStringLiteral("Файл %1 зараз відкрито в іншій програмі: поруч із ним лежить файл блокування %2, який "
                                "табличний редактор залишає, поки файл відкритий. Закрийте файл у тій програмі та "
                                "повторіть спробу. Якщо файл ніде не відкрито (наприклад, програма раніше аварійно "
                                "завершила роботу), видаліть файл блокування %2 і повторіть спробу.")
                     .arg(quoted(path), quoted(lockPath)));
}

Error writeError(const QString& path, bool existed, const SystemFailure& failure)
{
    Error e(ErrorCode::WriteFailed,
            QStringLiteral("Не вдалося записати файл %1: %2; %3 %4")
                .arg(quoted(path), causeClause(failure),
                     existed ? QStringLiteral("файл залишився без змін.") : QStringLiteral("файл не створено."),
                     causeRemedy(failure)));
    e.setSystemCause(failure.cause);
    return e;
}

QString cellName(int row, int col)
{
    QString letters;
    for (int c = col; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

} // namespace xls
