#pragma once

#include "engine/async.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kalmix {

class Board;

// The game on the main window's board: start, one task after another, judging, feedback, the
// progress figure, the clock and the practice log. It reads the settings record and shows
// everything through the Board. All waits go through the scheduler; starting a new game
// abandons everything the previous one still had pending.
class Game {
public:
    explicit Game(Board& board);
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The start button and the player list.
    void Start_Click();
    // The show-solution button.
    void Loesung_Click();
    // The window's key handler while key preview is on: digits and Backspace pass, Enter starts
    // the answer handling, every other key is discarded (the code becomes 0).
    void Form_KeyPress(int& keyAscii);
    // Called once a second while Timer1 is enabled.
    void Timer1_Timer();
    // Hides the task items of the board.
    void Unsichtbar();
    // Stops the clock (the options button does this while the wizard is open).
    void stopTimer();

    // Asked when a game starts without an active player: shows the settings wizard. Then the
    // player list is refilled when a name was entered.
    std::function<void()> showSettingsWizard;
    std::function<void()> ComboAktualisieren;

    // Game state.
    std::int16_t Ergebnis = 0;        // the expected answer; carries over from task to task
    std::int16_t Geloest = 0;         // tasks solved without help in this game
    bool HilfeBenutzt = false;        // the answer on the board was filled in by the help
    std::optional<qint64> StartZeit;  // monotonic milliseconds at game start
    std::optional<double> StartTimer; // time mode: monotonic seconds at game start
    std::int16_t MaxMultiplikator = 10;

    bool timerEnabled() const { return m_timerEnabled; }
    bool running() const { return m_running; }
    bool judging() const { return m_judging; }
    bool presenting() const { return m_presenting; }
    // Seconds since the game started, on the monotonic clock.
    double elapsedSeconds() const;

    // The task generators (each ends by opening the answer box).
    void Addition();
    void Subtraktion();
    void Multiplikation();
    void Division();
    // Draws a sum into Ergebnis and its two addends.
    void Summe(std::int16_t& erster, std::int16_t& zweiter);

private:
    Async startGame();
    Async UebungAusfuehren();
    Async Zaehlen();
    Async SymbAddition();
    void AufgabeAnzeigen();
    Async answer();
    Async solutionHelp();
    Async gameEnd();
    Async Sequenz(int nummer, int ziel);
    std::int16_t drawFactor() const; // from the chosen factors
    int drawSymbol() const;          // from the chosen symbols
    void presentPictures(bool on);
    void enableTimer(bool on);
    void timerTick(quint64 epoch);
    void writeLog(const QString& line);

    Board& m_board;
    WaitGroup m_waits;
    bool m_running = false;
    bool m_judging = false;
    bool m_presenting = false;
    bool m_sequenzRunning = false;
    bool m_timerEnabled = false;
    quint64 m_timerEpoch = 0;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // for the clock's callbacks
};

} // namespace kalmix
