#pragma once

#include "engine/async.h"
#include "engine/gameevents.h"
#include "engine/roundsummary.h"
#include "engine/shownboard.h"
#include "engine/trickytasks.h"

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
    // Stops the clock.
    void stopTimer();
    // The options button: the game is held while the settings window is shown. The task items
    // are hidden, the clock stops and no wait ends; the time held does not count for the game.
    void pauseForSettings();
    // After the settings window has closed (and the player list was filled again): the game
    // goes on where it was held, with the task items shown again. When the window changed the
    // player, the exercise kind or between a task count and a time limit, the game is over
    // instead: the board is cleared and Start begins a game with the new settings.
    void resumeAfterSettings();
    bool paused() const { return m_pause.has_value(); }

    // Asked when a game starts without an active player: shows the settings wizard. Then the
    // player list is refilled when a name was entered.
    std::function<void()> showSettingsWizard;
    std::function<void()> ComboAktualisieren;
    // A round has ended: its last task was solved or its time ran out. Not called for a game
    // that is abandoned or stopped by a fault.
    std::function<void(const RoundSummary&)> roundEnded;

    // The figures of the round so far.
    RoundSummary summary() const;

    // Who listens to the moments of the game (history, read-aloud...). The listeners must
    // outlive the game or be removed first.
    GameEventList events;
    // Where the tricky tasks of a player come from (the history store); none: no tricky tasks.
    TrickySource* trickySource = nullptr;
    // The program ends: a round still open is reported as abandoned.
    void endOfProgram();

    // Game state.
    std::int16_t Ergebnis = 0;        // the expected answer; carries over from task to task
    std::int16_t Geloest = 0;         // tasks solved without help in this game
    bool HilfeBenutzt = false;        // the answer on the board was filled in by the help
    std::optional<qint64> StartZeit;  // monotonic milliseconds at game start
    std::optional<double> StartTimer; // time mode: monotonic seconds at game start
    std::int16_t MaxMultiplikator = 10;

    // Where the figure rests after the round's last walk, as a share of the bar's width from
    // its left edge; nothing before that walk has ended. The window's layout keeps it there.
    std::optional<double> figureRest() const { return m_figureRest; }

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
    // What the game was when the options button held it.
    struct Pause {
        qint64 at = 0; // monotonic milliseconds
        QString player;
        std::int16_t kind = 0;
        bool timeMode = false;
        bool timerOn = false;
        qint64 tickIn = 1000; // milliseconds from the hold to the clock's next tick
        ShownItems items;
    };

    // Abandons what the game still has pending: waits, clock, judging, the help's answer.
    void abandon();
    // Ends a game that cannot go on (a procedure of it was left, or the settings window
    // changed its player or kind): the board is cleared and Start works again.
    void stopGame();
    // Whether the game that a pending procedure belongs to still stands. A statement's message
    // box lets the clock tick, and the time limit may stop the game under it: what the
    // procedure still had to do is then not wanted any more.
    bool stands(quint64 game) const { return m_gameNumber == game; }
    std::function<bool()> standing(quint64 game) const {
        return [this, game] { return stands(game); };
    }
    // After a part of a game procedure: whether the procedure goes on. A part that was left
    // ends the game; a game that was stopped meanwhile is left as it is.
    bool partDone(bool ran, quint64 game);
    // The figures of a round that is over.
    RoundSummary finalSummary() const;
    Async startGame();
    Async UebungAusfuehren();
    // Asks a task again that was asked before: a tricky one.
    void AufgabeWiederholen(const TaskFacts& task);
    Async Zaehlen();
    Async SymbAddition();
    // again: the same task once more, after a wrong answer.
    void AufgabeAnzeigen(bool again = false);
    Async answer();
    Async solutionHelp();
    Async gameEnd();
    // A time-limited round whose time has run out ends at once: the answer box closes and
    // whatever it holds is not judged.
    void timeUp();
    void reportRound(RoundSummary s);
    // Tells the listeners that the open round is over (once per round).
    void closeRound(const RoundSummary& s, bool finished);
    // Closes a round still open as it stands: abandoned, or finished when its last task was
    // solved.
    void closeOpenRound();
    // Tells the listeners how the answer on the board was judged.
    void reportAnswer(bool right);
    // The figure's last walk, to the pencil's tip; with a cheer when the round was finished.
    Async lastWalk(bool cheer);
    Async Sequenz(int nummer, int ziel);
    std::int16_t drawFactor() const; // from the chosen factors
    int drawSymbol() const;          // from the chosen symbols
    void presentPictures(bool on);
    // The first tick comes after firstTickMs, the others a second apart.
    void enableTimer(bool on, int firstTickMs = 1000);
    void scheduleTick(quint64 epoch, int ms);
    void timerTick(quint64 epoch);
    void writeLog(const QString& line);

    ShownBoard m_board;
    WaitGroup m_waits;
    std::optional<Pause> m_pause;
    TaskFacts m_task; // the task on the board
    TrickyChooser m_tricky;
    qint64 m_taskShownAt = 0; // monotonic milliseconds when its answer box opened
    bool m_roundOpen = false; // the listeners were told of a round that has not ended yet
    bool m_roundOver = false; // its last task was solved: only its last walk and end are left
    quint64 m_gameNumber = 0; // counts the games abandoned or stopped
    std::optional<double> m_figureRest;
    int m_wrong = 0;          // wrong answers in this round
    int m_helped = 0;         // answers the light bulb filled in this round
    bool m_taskReady = false; // the last task's answer box was opened
    bool m_running = false;
    bool m_judging = false;
    bool m_presenting = false;
    bool m_sequenzRunning = false;
    bool m_timerEnabled = false;
    quint64 m_timerEpoch = 0;
    qint64 m_nextTick = 0; // monotonic milliseconds of the clock's next tick
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // for the clock's callbacks
};

} // namespace kalmix
