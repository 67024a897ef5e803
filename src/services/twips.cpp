#include "services/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace kalmix {

double twipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

int px(int twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

} // namespace kalmix
