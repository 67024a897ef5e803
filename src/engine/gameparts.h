#pragma once

// What the game's source files share.

#include <QString>
#include <cmath>

namespace kalmix::gameparts {

// The toolbar buttons the game switches (PicBut indexes).
constexpr int kStart = 0;
constexpr int kSolution = 2;
constexpr int kOptions = 3;
constexpr int kHelp = 4;

// Rounds halves to the even neighbour.
inline int roundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

// The clock of a time-limited round counts down: minutes and seconds left, a started second
// counting as a whole one, so that it shows 00:00 only when the time is up.
inline QString countdownText(long long msLeft) {
    const long long s = msLeft <= 0 ? 0 : (msLeft + 999) / 1000;
    return QStringLiteral("%1:%2")
        .arg(s / 60 % 100, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// The number at the start of the answer: leading digits; the empty text counts as 0.
inline long long answerValue(const QString& text) {
    long long v = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        if (v < (1LL << 40))
            v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

} // namespace kalmix::gameparts
