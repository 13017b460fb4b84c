#pragma once

#include "desktop.h"

class QWidget;

namespace app {

// The real desktop: the system's default applications, message boxes and the save dialog.
class QtDesktop : public Desktop {
public:
    void setParentWidget(QWidget* parent) { m_parent = parent; }
    void openDocument(const QString& path) override;
    bool askYesNo(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text) override;
    void showError(const QString& title, const QString& text) override;
    QString askSaveFileName(const QString& title, const QString& proposed) override;

private:
    QWidget* m_parent = nullptr;
};

} // namespace app
