#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <memory>

namespace app {

// Where Qt's own Ukrainian texts (standard buttons, the file dialog, context menus) are looked for, in order:
// a translations/ folder beside the executable (a portable installation), then Qt's translations folder.
QStringList qtTranslationFolders(const QString& appDir);

// Loads qtbase_uk.qm from the first of those folders that has it and installs it in the application.
// The program speaks Ukrainian whatever the system's language, so Qt's texts follow it. Returns the installed
// translator (it is removed again when destroyed), or null when no folder has the file.
std::unique_ptr<QTranslator> installQtTranslation(const QString& appDir);

} // namespace app
