#include "qtdesktop.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace app {

void QtDesktop::openDocument(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
    QFileDialog dialog(m_parent, title, QDir::homePath(), QStringLiteral("Excel files (*.xls)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    dialog.selectFile(proposed);
    // The dialog asks before it replaces an existing file.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace app
