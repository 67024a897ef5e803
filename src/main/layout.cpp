#include "main/layout.h"

#include <algorithm>
#include <cmath>

namespace kalmix {

int half(double v) {
    return static_cast<int>(std::nearbyint(v)) / 2;
}

double layoutFactor(double twipsPerPixel) {
    return twipsPerPixel < 15 ? 1.25 : 1.0;
}

int buttonSlot(int index) {
    if (index <= 2)
        return index;
    if (index <= 4)
        return index + 1;
    return index - 3;
}

Layout formLayout(const LayoutInput& in) {
    Layout l;
    const double faktor = layoutFactor(in.twipsPerPixel);
    // The board stays centred in the room left of the panel and the toolbar.
    l.board.setX(half(in.W - in.board.width() - in.panel.width() - in.stripWidth));
    l.board.setY(half(in.H - in.board.height()) + 30);
    // The pencil bar takes four fifths of the width, above the board.
    l.barWidth = static_cast<int>(std::nearbyint(0.8 * in.W));
    l.barLeft = half(in.W - l.barWidth - in.panel.width());
    l.barTop = half(l.board.y());
    l.meterTop = l.barTop - 0.92 * in.figureHeight;
    l.meterLeft = l.barLeft;
    if (in.geloest != 0 && in.aufgZahl != 0)
        l.meterLeft = l.barLeft + double(in.geloest) / in.aufgZahl * l.barWidth * 0.86;
    if (in.elapsed && in.zeit != 0)
        l.meterLeft = l.barLeft + *in.elapsed / in.zeit * l.barWidth * 0.86;
    if (in.figureRest)
        l.meterLeft = l.barLeft + *in.figureRest * l.barWidth;
    const int x = l.board.x() + in.board.width();
    l.panel.setX(x + half(in.W - x - in.panel.width() - in.stripWidth));
    l.panel.setY(l.board.y() + half(in.board.height() - in.panel.height()));
    l.number.setX(l.panel.x() + half(in.panel.width() - in.label0Width));
    l.number.setY(static_cast<int>(std::nearbyint(l.panel.y() + 100 * faktor)));
    l.label0.setX(l.number.x());
    l.label0.setY(static_cast<int>(std::nearbyint(l.number.y() - 2.5 * in.numberHeight - 3)));
    l.time.setX(l.panel.x() + half(in.panel.width() - in.label0Width));
    l.time.setY(static_cast<int>(std::nearbyint(l.panel.y() + 180 * faktor)));
    l.label1.setX(l.time.x());
    l.label1.setY(l.time.y() - in.timeHeight - 3);
    l.stripLeft = in.W - 1.15 * in.button.width();
    l.stripWidth = 1.2 * in.button.width();
    l.stripHeight = in.H + 6;
    // A window too short for all fourteen slots (a small or magnified screen) narrows the two
    // empty slots between the groups, so that the last language button stays inside it.
    const int slot = in.button.height();
    const double gap = std::clamp((in.H - 4 - 12.0 * slot) / 2, 0.0, double(slot));
    for (int i = 0; i <= 16; ++i) {
        if (i > 4 && i < 10)
            continue;
        const int height = i < 10 ? in.button.height() : in.languageButton.height();
        double top = buttonSlot(i) * height + 4;
        if (i >= 3)
            top -= (i >= 10 ? 2 : 1) * (slot - gap);
        l.buttons[i] = QPointF(l.stripLeft + 4, top);
    }
    return l;
}

} // namespace kalmix
