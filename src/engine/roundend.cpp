// The end of a round: its figures, and a time limit that runs out.
#include "engine/game.h"

#include "engine/board.h"
#include "engine/gameparts.h"
#include "profiles/record.h"
#include "services/clock.h"
#include "services/sound.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kalmix {

RoundSummary Game::summary() const {
    RoundSummary s;
    s.solved = Geloest;
    s.wrong = m_wrong;
    s.helped = m_helped;
    s.seconds = static_cast<int>(std::floor(elapsedSeconds()));
    return s;
}

RoundSummary Game::finalSummary() const {
    RoundSummary s = summary();
    s.timeUp = StartTimer.has_value();
    return s;
}

void Game::timeUp() {
    RoundSummary s = summary();
    s.timeUp = true;
    s.seconds = Zeit; // the clock may be a tick past the limit
    closeRound(s, true);
    stopGame();
    if (PlaySound)
        PlayWAV(107);
    reportRound(s);
    lastWalk(false).start(); // quietly: the end sound is playing
}

Async Game::lastWalk(bool cheer) {
    if (!Animation)
        co_return; // the figure only moves with the animation on
    // Where the figure stands on the pencil's tip, as a share of the bar from its left edge.
    constexpr double kTip = 0.93;
    const quint64 game = m_gameNumber;
    co_await Sequenz(cheer ? 2 : 1,
                     gameparts::roundEven(m_board.barLeft() + kTip * m_board.barWidth()));
    if (stands(game))
        m_figureRest = kTip; // and there it stays, whatever size the window takes
}

void Game::closeRound(const RoundSummary& s, bool finished) {
    m_roundOpen = false;
    events.roundEnded(s, finished, clock().now());
}

void Game::endOfProgram() {
    closeOpenRound();
}

void Game::closeOpenRound() {
    // A round whose last task was solved is finished, also when its last walk is cut short.
    if (m_roundOpen)
        closeRound(m_roundOver ? finalSummary() : summary(), m_roundOver);
}

void Game::reportAnswer(bool right) {
    const QString text = m_board.answerText();
    std::optional<int> given;
    if (!text.isEmpty() && text.front().isDigit())
        given = static_cast<int>(std::min<long long>(gameparts::answerValue(text), INT_MAX));
    const Outcome outcome = !right ? Outcome::Wrong : HilfeBenutzt ? Outcome::Help : Outcome::Right;
    const double seconds = std::max<qint64>(0, clock().monotonicMs() - m_taskShownAt) / 1000.0;
    events.answerJudged(m_task, given, outcome, seconds, clock().now());
    m_tricky.answered(m_task, outcome);
}

void Game::reportRound(RoundSummary s) {
    if (roundEnded)
        roundEnded(s);
}

} // namespace kalmix
