#pragma once

namespace kalmix {

// What a finished round shows on the board: its figures and its stars. The practice log
// keeps its own lines; these figures are not written anywhere.
struct RoundSummary {
    int solved = 0;      // answered right without the light bulb
    int wrong = 0;       // wrong answers given
    int helped = 0;      // answers filled in by the light bulb
    int seconds = 0;     // time the round took, without the time the settings window held it
    bool timeUp = false; // a time-limited round whose time ran out
};

// Three stars with no wrong and no helped answer; two when wrong and helped answers together
// are at most a fifth of the tasks solved, one such answer always allowed; one star otherwise.
int roundStars(const RoundSummary& s);

} // namespace kalmix
