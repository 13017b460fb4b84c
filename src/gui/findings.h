#pragma once

#include "run/controlrun.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace app {

// A finding's cell as the user names it: "C7"; "рядок 7" or "стовпець C" when only one is known.
QString cellName(const QString& column, const QString& row);

// The findings of a check shown inside the program, for when the log cannot be opened in a spreadsheet
// program: number, sheet, cell and message of each finding, sortable by any column, with the log's path and
// a button that opens its folder.
class FindingsWindow : public QDialog {
    Q_OBJECT
public:
    explicit FindingsWindow(QWidget* parent = nullptr);

    void setFindings(const QString& logPath, const std::vector<findings::Finding>& rows);

    QLabel* summary;
    QTreeWidget* list;
    QLabel* current; // the chosen finding in full
    QLabel* logLabel;
    QPushButton* openFolder;
    QPushButton* closeButton;

private:
    QString m_logPath;
};

} // namespace app
