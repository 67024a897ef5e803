// The game while the settings window is shown over it.
#include "engine/game.h"

#include "engine/gameparts.h"
#include "profiles/record.h"
#include "services/clock.h"

#include <algorithm>

namespace kalmix {

using namespace gameparts;

void Game::pauseForSettings() {
    if (m_pause)
        return;
    Pause pause;
    pause.at = clock().monotonicMs();
    pause.player = aktiv;
    pause.kind = Uebung;
    pause.timeMode = Zeit != 0;
    pause.timerOn = m_timerEnabled;
    pause.tickIn = std::clamp<qint64>(m_nextTick - pause.at, 0, 1000);
    pause.items = m_board.shown();
    m_pause = pause;
    // Nothing of the game runs under the window: no task is drawn from a record that is
    // being edited, no picture goes up on the board that is hidden now.
    m_waits.hold();
    Unsichtbar();
    enableTimer(false);
    events.gameHeld();
}

void Game::resumeAfterSettings() {
    if (!m_pause)
        return;
    const Pause pause = *m_pause;
    m_pause.reset();
    // The clock and the time limit do not count the time the window was open.
    const qint64 held = std::max<qint64>(0, clock().monotonicMs() - pause.at);
    if (StartZeit)
        *StartZeit += held;
    if (StartTimer)
        *StartTimer += held / 1000.0;
    m_taskShownAt += held;
    if (!m_running) {
        m_waits.release();
        events.gameResumed();
        return;
    }
    if (!m_roundOver &&
        (aktiv != pause.player || Uebung != pause.kind || (Zeit != 0) != pause.timeMode)) {
        // A game of another player or kind cannot go on with this one's task. A round whose
        // last task was solved needs no more tasks: its last walk and its end go on.
        stopGame();
        return;
    }
    events.gameResumed();
    m_board.showAgain(pause.items);
    if (!m_presenting)
        m_board.setButtonEnabled(kSolution, Hilfe != 0);
    // The clock first: the game's own clock ticks were due before any of its waits.
    if (pause.timerOn)
        enableTimer(true, static_cast<int>(pause.tickIn)); // in step as before the hold
    m_waits.release();
}

} // namespace kalmix
