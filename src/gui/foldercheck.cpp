#include "foldercheck.h"

#include "check/period.h"
#include "run/office.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace app {

QString proposedPeriod(const QDate& today)
{
    const check::ReportingPeriod p = check::periodOn(today);
    return QStringLiteral("%1.%2").arg(p.months).arg(p.year);
}

FolderCheckDialog::FolderCheckDialog(const FolderCheckRequest& proposed, QWidget* parent)
    : QDialog(parent), folder(new QLineEdit(proposed.folder, this)), period(new QLineEdit(proposed.period, this)),
      registerFile(new QLineEdit(proposed.registerFile, this)),
      chooseFolder(new QPushButton(QStringLiteral("Вибрати…"), this)),
      chooseRegister(new QPushButton(QStringLiteral("Вибрати…"), this)), problem(new QLabel(this)),
      okButton(new QPushButton(QStringLiteral("Перевірити"), this)),
      cancelButton(new QPushButton(QStringLiteral("Скасувати"), this))
{
    setObjectName(QStringLiteral("FolderCheckDialog"));
    setWindowTitle(QStringLiteral("Перевірка теки звітів"));
    folder->setObjectName(QStringLiteral("folder"));
    period->setObjectName(QStringLiteral("period"));
    registerFile->setObjectName(QStringLiteral("registerFile"));
    okButton->setObjectName(QStringLiteral("okButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    folder->setMinimumWidth(360);
    period->setMaximumWidth(90);
    period->setPlaceholderText(QStringLiteral("12.2026"));
    registerFile->setPlaceholderText(QStringLiteral("необов'язково: .xls або .csv (код;назва)"));
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #a00000"));
    problem->hide();

    auto* grid = new QGridLayout;
    auto label = [&](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("&Тека зі звітами:"), folder), 0, 0);
    grid->addWidget(folder, 0, 1);
    grid->addWidget(chooseFolder, 0, 2);
    grid->addWidget(label(QStringLiteral("&Період (місяців.рік):"), period), 1, 0);
    grid->addWidget(period, 1, 1, Qt::AlignLeft);
    grid->addWidget(label(QStringLiteral("&Реєстр відправників:"), registerFile), 2, 0);
    grid->addWidget(registerFile, 2, 1);
    grid->addWidget(chooseRegister, 2, 2);
    auto* hint = new QLabel(QStringLiteral("Звіти лише читаються. Протоколи і зведення.xls записуються до нової теки "
                                           "«перевірка-дата» всередині теки зі звітами."),
                            this);
    hint->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(hint);
    layout->addWidget(problem);
    layout->addLayout(buttons);
    okButton->setDefault(true);

    connect(okButton, &QPushButton::clicked, this, &FolderCheckDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &FolderCheckDialog::reject);
    connect(chooseFolder, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Тека зі звітами"), folder->text());
        if (!chosen.isEmpty())
            folder->setText(QDir::toNativeSeparators(chosen));
    });
    connect(chooseRegister, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getOpenFileName(this, QStringLiteral("Реєстр відправників"),
                                         registerFile->text().isEmpty() ? folder->text() : registerFile->text(),
                                         QStringLiteral("Реєстр (*.xls *.csv *.txt);;Усі файли (*)"));
        if (!chosen.isEmpty())
            registerFile->setText(QDir::toNativeSeparators(chosen));
    });
}

FolderCheckRequest FolderCheckDialog::request() const
{
    return {QDir::fromNativeSeparators(folder->text().trimmed()), period->text().trimmed(),
            QDir::fromNativeSeparators(registerFile->text().trimmed())};
}

void FolderCheckDialog::accept()
{
    const FolderCheckRequest r = request();
    QString error;
    QLineEdit* wrong = nullptr;
    if (r.folder.isEmpty() || !QFileInfo(r.folder).isDir()) {
        error =
            r.folder.isEmpty()
                ? QStringLiteral("Вкажіть теку зі звітами.")
                : QStringLiteral("Теки «%1» немає. Виберіть теку зі звітами.").arg(QDir::toNativeSeparators(r.folder));
        wrong = folder;
    } else if (!app::parsePeriod(r.period, &error)) {
        wrong = period;
    } else if (!r.registerFile.isEmpty() && !QFileInfo(r.registerFile).isFile()) {
        error = QStringLiteral("Файлу реєстру «%1» немає. Виберіть його або залиште поле порожнім.")
                    .arg(QDir::toNativeSeparators(r.registerFile));
        wrong = registerFile;
    }
    if (wrong) {
        problem->setText(error);
        problem->show();
        wrong->setFocus();
        wrong->selectAll();
        return;
    }
    QDialog::accept();
}

FolderProgress::FolderProgress(QWidget* parent)
    : QDialog(parent), text(new QLabel(QStringLiteral("Підготовка перевірки теки…"), this)),
      cancelButton(new QPushButton(QStringLiteral("Скасувати"), this))
{
    setObjectName(QStringLiteral("FolderProgress"));
    setWindowTitle(QStringLiteral("Перевірка теки звітів"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    text->setObjectName(QStringLiteral("text"));
    text->setMinimumWidth(320);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    connect(cancelButton, &QPushButton::clicked, this, &FolderProgress::reject);
}

void FolderProgress::progress(int done, int total)
{
    if (cancelled)
        return;
    text->setText(QStringLiteral("Перевірено звітів: %1 з %2…").arg(done).arg(total));
}

void FolderProgress::reject()
{
    // The window stays until the check has stopped: the reports under way are finished first.
    if (cancelled.exchange(true))
        return;
    cancelButton->setEnabled(false);
    text->setText(QStringLiteral("Скасування: звіти, що вже перевіряються, буде завершено…"));
}

} // namespace app
