#include "instruction.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QUrl>
#include <QVBoxLayout>

namespace app {

InstructionWindow::InstructionWindow(QWidget* parent)
    : QDialog(parent), text(new QTextBrowser(this)), closeButton(new QPushButton(QStringLiteral("Закрити"), this))
{
    setObjectName(QStringLiteral("InstructionWindow"));
    setWindowTitle(QStringLiteral("Інструкція"));
    resize(760, 560);
    text->setOpenExternalLinks(true);
    closeButton->setAutoDefault(true);
    closeButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

void InstructionWindow::showFile(const QString& htmlPath)
{
    const QFileInfo info(htmlPath);
    if (info.isFile() && info.isReadable()) {
        text->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        return;
    }
    text->setSource({});
    QString message = QStringLiteral("Інструкцію не вдалося показати: файлу «%1» немає в теці програми\n%2")
                          .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()));
    if (info.dir().exists(QStringLiteral("readme.doc")))
        message += QStringLiteral("\n\nТа сама інструкція є у файлі readme.doc у цій теці; щоб відкрити його, потрібна "
                                  "програма для файлів .doc (наприклад, Microsoft Word або LibreOffice Writer).");
    text->setPlainText(message);
}

} // namespace app
