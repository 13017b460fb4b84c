#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

namespace app {

// The look named "Iceberg Classico": a calm light theme of ice blues, as one application style sheet.
QString styleSheet(const QString& name);
void applyStyle(const QString& name);
// Tahoma 8 pt, or the closest narrow sans-serif installed (font substitution is not trusted:
// it may hand over a much wider face under Tahoma's name).
QFont windowFont();
// The program's icon, drawn at start-up.
QIcon programIcon();

} // namespace app
