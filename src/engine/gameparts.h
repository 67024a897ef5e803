#pragma once

// What the game's source files share.

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

} // namespace kalmix::gameparts
