#pragma once

#include "check/provobj.h"
#include "windowdesktop.h"

#include <QGroupBox>
#include <QPushButton>
#include <QWidget>
#include <functional>

class TfmStatus;

// The main window: four buttons around the control run. It only wires buttons to actions;
// the check itself runs in the control run shared with the command line.
class TSuperMain : public QWidget {
    Q_OBJECT
public:
    TSuperMain(QString dir, app::WindowDesktop& desktop, std::function<check::Environment()> environment,
               QWidget* parent = nullptr);

    QString Logfilename;
    QString INNKOD = QStringLiteral("Не визначений");

    QGroupBox* GroupBox1;
    QPushButton* Button2;  // "Інструкція"
    QPushButton* Button1;  // "Заповнити/Редагувати звіт"
    QPushButton* bbOk;     // "Контроль звіту"
    QPushButton* bbCancel; // "Вийти"
    // "Перевірити теку звітів…": the receiving office's check of a whole folder. It stands below the
    // four buttons and stays out of their keyboard order (Alt+Т presses it).
    QPushButton* folderButton;

    void setStatusWindow(TfmStatus* status) { m_status = status; }
    void FormCreate();

public slots:
    void Button2Click();
    void Button1Click();
    void bbOkClick();
    void bbCancelClick();
    void folderCheckClick();

private:
    QString path(const QString& name) const;
    QString title() const;
    void addSystemMenuEntries();

    QString m_dir;
    app::WindowDesktop& m_desktop;
    std::function<check::Environment()> m_environment;
    TfmStatus* m_status = nullptr;
    QString m_lastFolder, m_lastRegister; // proposed again at the next folder check
};
