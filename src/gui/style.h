#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

namespace app {

// The look named "Iceberg Classico": a calm light theme of ice blues, as one application style sheet.
QString styleSheet(const QString& name);
void applyStyle(const QString& name);
// Tahoma 8 pt, or the closest narrow sans-serif installed (font substitution is not trusted:
// it may hand over a much wider face under Tahoma's name). A face is taken only when it draws every
// letter of the Ukrainian alphabet at that size; the other candidates follow it as fallbacks.
QFont windowFont();
// Every letter of the Ukrainian alphabet, both cases, with the apostrophe and the quotation marks.
QString ukrainianLetters();
// Whether `font` leaves ink for each character of `text` but blanks, drawn on its own without borrowing
// from other faces. A face can map a letter and still draw nothing: Liberation Sans's hinted capital I,
// which the Cyrillic І shares, vanishes at 8 pt under wine's GDI rasteriser.
bool drawsEveryCharacter(const QFont& font, const QString& text);
// The program's icon, drawn at start-up.
QIcon programIcon();

} // namespace app
