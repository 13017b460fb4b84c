#pragma once

#include "windowdesktop.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <atomic>

namespace app {

// The period proposed for a check made today: the one the single check expects today ("12.2026").
QString proposedPeriod(const QDate& today);

// The dialog that asks for a folder check: the folder (typed or chosen), the period, the register.
// "Перевірити" is taken only when the folder exists, the period is one and the register (if given)
// is a file; otherwise the dialog says what is wrong beneath the fields and stays open.
class FolderCheckDialog : public QDialog {
    Q_OBJECT
public:
    FolderCheckDialog(const FolderCheckRequest& proposed, QWidget* parent = nullptr);

    FolderCheckRequest request() const;

    QLineEdit* folder;
    QLineEdit* period;
    QLineEdit* registerFile;
    QPushButton* chooseFolder;
    QPushButton* chooseRegister;
    QLabel* problem;
    QPushButton* okButton;
    QPushButton* cancelButton;

    void accept() override;
};

// The please-wait window of a folder check: how many reports are done, and "Скасувати", which asks
// the check to stop after the reports under way.
class FolderProgress : public QDialog {
    Q_OBJECT
public:
    explicit FolderProgress(QWidget* parent = nullptr);

    QLabel* text;
    QPushButton* cancelButton;
    std::atomic<bool> cancelled{false};

public slots:
    void progress(int done, int total);

protected:
    void reject() override; // Esc and the close box cancel as "Скасувати" does
};

} // namespace app
