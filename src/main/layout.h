#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <array>
#include <optional>

namespace kalmix {

// v rounded to the nearest integer (halves to the even one), then halved without remainder.
int half(double v);

// What the main window's layout depends on. Lengths in pixels.
struct LayoutInput {
    int W = 0; // client area
    int H = 0;
    double twipsPerPixel = 15;
    QSize board{518, 371};
    QSize panel{97, 273}; // lblButBack
    int stripWidth = 36;  // lblToolbar as it stands before this layout
    QSize button{37, 37}; // PicBut(0)
    QSize languageButton{38, 37};
    int figureHeight = 32; // imgMeter
    int label0Width = 79;  // Label(0)
    int numberHeight = 28; // lblNumber
    int timeHeight = 28;   // lblTime
    // Progress: tasks solved and per game; seconds elapsed and per game in time mode.
    int geloest = 0;
    int aufgZahl = 0;
    std::optional<double> elapsed;
    int zeit = 0;
    // Where the round's last walk left the figure, as a share of the bar: it stays there.
    std::optional<double> figureRest;
};

struct Layout {
    QPoint board;
    int barLeft = 0, barTop = 0, barWidth = 0;
    double meterLeft = 0, meterTop = 0;
    QPoint panel;
    QPoint number, label0, time, label1;
    double stripLeft = 0, stripWidth = 0, stripHeight = 0;
    std::array<QPointF, 17> buttons{}; // by PicBut index; 5 to 9 unused
};

double layoutFactor(double twipsPerPixel);
Layout formLayout(const LayoutInput& in);

// The slot of each toolbar button: 0, 1, 2 for buttons 0 to 2, 4 and 5 for 3 and 4, 7 to 13
// for the language buttons 10 to 16.
int buttonSlot(int index);

} // namespace kalmix
