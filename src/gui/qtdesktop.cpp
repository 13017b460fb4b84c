#include "qtdesktop.h"

#include "findings.h"
#include "instruction.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QUrl>

namespace app {

namespace {

// Whether the system names a program for the file's type. Free desktops start their opener (xdg-open) even
// when no program is registered, and it then fails out of sight, so the registry of default applications is
// asked first. Elsewhere (and when that registry cannot be asked) the opener's own answer decides.
bool systemHasProgramFor(const QString& path, const QString& mimeType)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true;
    const QString type =
        mimeType.isEmpty() ? QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name() : mimeType;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished();
        return true;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(path);
    Q_UNUSED(mimeType);
    return true;
#endif
}

QString programExample(const QString& suffix)
{
    if (suffix == u"xls")
        return QStringLiteral(" (наприклад, Microsoft Excel або LibreOffice Calc)");
    if (suffix == u"doc")
        return QStringLiteral(" (наприклад, Microsoft Word або LibreOffice Writer)");
    return {};
}

bool confirmOverwrite(QWidget* parent, const QString& title, const QString& path)
{
    QMessageBox box(QMessageBox::Warning, title, overwriteQuestion(path), QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

template <typename Window> Window* windowOnce(QPointer<Window>& window, QWidget* parent)
{
    if (!window) {
        window = new Window(parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    return window;
}

void present(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

QString cannotOpenText(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    if (!info.exists())
        return QStringLiteral("Файл «%1» не знайдено в теці\n%2\n\nВін має лежати в одній теці з програмою.")
            .arg(info.fileName(), folder);
    const QString suffix = info.suffix().toLower();
    return QStringLiteral("Не вдалося відкрити файл «%1».\n\nФайл лежить у теці\n%2\n\nЩоб його відкрити, потрібна "
                          "програма для файлів .%3%4, а система такої не знайшла. Встановіть її або відкрийте файл "
                          "із цієї теки в програмі, яка вже є на комп'ютері.")
        .arg(info.fileName(), folder, suffix, programExample(suffix));
}

QString overwriteQuestion(const QString& path)
{
    const QFileInfo info(path);
    return QStringLiteral("Файл «%1» уже існує в теці\n%2\n\nЗамінити його копією звіту?")
        .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()));
}

void openContainingFolder(QWidget* parent, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (systemHasProgramFor(folder, QStringLiteral("inode/directory")) &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        return;
    const QString shown = QDir::toNativeSeparators(folder);
    QGuiApplication::clipboard()->setText(shown);
    QMessageBox box(QMessageBox::Information, applicationTitle(QCoreApplication::applicationFilePath()),
                    QStringLiteral("Не вдалося відкрити теку\n%1\n\nШлях до неї скопійовано в буфер обміну: вставте "
                                   "його в адресний рядок Провідника або іншого файлового менеджера.")
                        .arg(shown),
                    QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

QtDesktop::~QtDesktop()
{
    // Windows without a parent (tests) are the desktop's own.
    if (!m_parent) {
        delete m_instruction;
        delete m_findings;
    }
}

bool QtDesktop::openDocument(const QString& path)
{
    if (!QFileInfo(path).isFile() || !systemHasProgramFor(path, {}))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktop::askYesNo(const QString& title, const QString& text)
{
    return QMessageBox::information(m_parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtDesktop::inform(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

void QtDesktop::showError(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtDesktop::askSaveFileName(const QString& title, const QString& proposed)
{
    QFileDialog dialog(m_parent, QStringLiteral("Збереження копії перевіреного звіту"), QDir::homePath(),
                       QStringLiteral("Excel files (*.xls)"));
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    // The question before replacing a file is the program's own, the same with every file dialog, and
    // defaults to "Ні".
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Room at the edges, and no size grip painted over the corner of "Скасувати" (the frame resizes the dialog).
    dialog.setSizeGripEnabled(false);
    if (QLayout* layout = dialog.layout())
        layout->setContentsMargins(11, 11, 11, 11);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(680, 420)));
    // Qt's own dialog (where the system offers none): sizes, dates and types shown whole, names take the rest.
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    dialog.selectFile(proposed);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString chosen = dialog.selectedFiles().constFirst();
        if (!QFileInfo::exists(chosen) || confirmOverwrite(m_parent, title, chosen))
            return chosen;
        dialog.selectFile(QFileInfo(chosen).fileName());
    }
}

void QtDesktop::reportCannotOpen(const QString& title, const QString& path)
{
    QMessageBox box(QMessageBox::Warning, title, cannotOpenText(path), QMessageBox::NoButton, m_parent);
    QPushButton* folder = box.addButton(QStringLiteral("Відкрити теку"), QMessageBox::ActionRole);
    box.addButton(QMessageBox::Close);
    box.setDefaultButton(folder);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
    if (box.clickedButton() == folder)
        openContainingFolder(m_parent, path);
}

void QtDesktop::showInstruction(const QString& htmlPath)
{
    InstructionWindow* window = windowOnce(m_instruction, m_parent);
    window->showFile(htmlPath);
    present(window);
}

void QtDesktop::showFindings(const QString& logPath, const std::vector<findings::Finding>& rows)
{
    FindingsWindow* window = windowOnce(m_findings, m_parent);
    window->setFindings(logPath, rows);
    present(window);
}

} // namespace app
