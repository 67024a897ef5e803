#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace kalmix {

// A picture of the program's resources (SVG or bitmap) drawn at the given size in logical
// pixels, sharp on high-density screens. Pictures are drawn once and kept.
QPixmap picture(const QString& resourcePath, QSize size);

// Registers the bundled fonts; "Comic Neue" is the board's font.
void loadFonts();
QString boardFontFamily();

} // namespace kalmix
