#pragma once

#include <QIcon>
#include <QString>

namespace app {

// The look named "Iceberg Classico": a calm light theme of ice blues, as one application style sheet.
QString styleSheet(const QString& name);
void applyStyle(const QString& name);
// The program's icon, drawn at start-up.
QIcon programIcon();

} // namespace app
