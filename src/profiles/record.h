#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

namespace kalmix {

// The exercise settings in force for the active player. The settings window and the profile
// store write them; the engine only reads them. Truth values are -1 (true) and 0 (false).
extern QString aktiv;                            // name of the active player
extern std::int16_t Uebung;                      // exercise kind 0 to 8
extern std::int16_t MaxSum;                      // upper bound of the number range
extern std::int16_t MinSum;                      // lower bound, derived from MaxSum
extern std::int16_t Null;                        // addition and subtraction may use 0
extern std::array<std::int16_t, 25> SymbolListe; // numbers of the chosen symbols
extern std::int16_t SymbolZahl;
extern std::array<std::int16_t, 20> FaktorListe; // values of the chosen factors/divisors
extern std::int16_t FaktorZahl;
extern std::int16_t NullFaktor; // 0 is among the factors
extern QString SignMul;         // a blank and the multiplication sign
extern QString SignDiv;         // a blank and the division sign
extern std::int16_t AufgZahl;   // tasks per game, 0 in time mode
extern std::int16_t Zeit;       // seconds per game, 0 in count mode
extern std::int16_t Animation;
extern std::int16_t Hilfe;
extern std::int16_t LogFile;
extern std::int16_t Ziffernblock; // the number pad on the board (off unless the player asks)
extern std::int16_t Knifflig;     // tricky tasks come back more often (off unless asked)
extern std::int16_t Vorlesen;     // tasks read aloud (off unless the player asks)
// PlaySound lives with the sound service (services/sound.h).

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;
inline std::int16_t truth(bool b) {
    return b ? kTrue : kFalse;
}

// Every field back to its zero value, as before the first apply step.
void resetRecord();

// Brings every field within its values, whatever stopped the step that filled it (a stored
// value out of range, an error answered with Ignore or Leave, an apply step that ended early):
// a kind 0 to 8, a bound of a range option (9 for the picture kinds) with its lower bound, at
// least one valid symbol and factor (else the default ones), one of a count of 10 to 100 and a
// time of 60 to 600 seconds, truth values of -1 or 0 and both signs. Valid values stay.
void settleRecord();

// The bound a range option shows: option 0 to 8 gives 10, 20, 50, 100, 200, 500, 9, 19, 6.
// Raises run-time error 9 for any other option.
std::int16_t rangeBound(int option);
// The option number that shows a bound, -1 when none does.
int rangeOption(int bound);
// The lower bound that belongs to an upper bound.
std::int16_t minSumFor(std::int16_t maxSum);
// The factor of factor box 0 to 19: boxes 0 to 18 stand for 2 to 20, box 19 for 0.
std::int16_t factorOfBox(int box);

// Tick strings: one character per box, "1" ticked. Missing characters read as not ticked,
// and so does any character other than "1".
bool tickAt(const QString& ticks, int box);
template <std::size_t N> QString tickString(const std::array<bool, N>& boxes) {
    QString s;
    for (bool b : boxes)
        s += b ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

inline constexpr char kDefaultSymbole[] = "101101010";
inline constexpr char kDefaultFaktoren[] = "0011010100010000000";

// The known players: "Name1", "Name2", ... of section "Benutzer", up to the first empty or
// missing one. Names are read whole, also those longer than other texts can be: a name is
// also the name of its player's section.
QStringList readPlayerNames();
// The active player as the settings file keeps it ("aktiv" of "Benutzer"), whole; empty when
// there is none.
QString readActivePlayer();

// The longest name a new player can have: a longer one would not come back whole from the
// settings file.
inline constexpr int kMaxPlayerNameLength = 40;
// Whether a name is one of the sections the settings file keeps for Kalmix itself.
bool reservedPlayerName(const QString& name);
// A name the settings window accepts for a player: not empty, without blanks at either end,
// no longer than kMaxPlayerNameLength, without brackets or control characters, not reserved.
bool validPlayerName(const QString& name);

// The state of the settings window's controls that the apply step reads.
struct SettingsControls {
    QString name; // the name box
    bool logFile = false;
    bool hilfe = true;
    bool animation = true;
    bool numberPad = false;
    bool tricky = false;
    bool readAloud = false;
    std::array<bool, 25> symbols{};
    std::array<bool, 20> factors{};
    int signMulOption = 0; // 0 "·", 1 "x", 2 "*"
    int signDivOption = 0; // 0 ":", 1 "/", 2 "÷"
};

QString mulSignOption(int option);
QString divSignOption(int option);

// The apply step's effect on the record: switches, symbol list, factor list, save, MinSum,
// signs. `save` stores the profile (it runs unless the name box is empty). Returns false when
// it stopped early: no symbol ticked for a picture kind (quietly, with symbol 0 as the list) or
// no factor ticked for a factor kind (after warning text 176).
bool applySettings(const SettingsControls& controls, const std::function<void()>& save = {});

} // namespace kalmix
