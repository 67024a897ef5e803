#pragma once

#include "engine/roundsummary.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace kalmix {

// One task as the game drew it, in plain values.
struct TaskFacts {
    int kind = 0;         // the exercise kind of the player's profile, 0-8
    QString operation;    // "count", "symbols", "+", "-", "*" or "/"
    int a = 0;            // the first operand; for counting the number of pictures
    std::optional<int> b; // the second operand; none for counting
    int expected = 0;     // the answer that counts as right
    bool tricky = false;  // drawn again as a tricky task, not fresh at random

    // The same fact: operation and operands (the kind and the mark do not matter).
    bool sameFact(const TaskFacts& o) const {
        return operation == o.operation && a == o.a && b == o.b;
    }
};

enum class Outcome { Right, Wrong, Help };

// The moments of a game that other parts listen to: the history store, read-aloud and the
// like. The game calls them after the board shows what happened, in the order they happen;
// a listener must not throw and must not call back into the game. Every method has an
// empty default, so a listener implements only what it needs.
class GameEvents {
public:
    virtual ~GameEvents() = default;

    // A round begins for this player and exercise kind.
    virtual void roundStarted(const QString& player, int kind, const QDateTime& at) {
        Q_UNUSED(player);
        Q_UNUSED(kind);
        Q_UNUSED(at);
    }
    // A task waits for its answer. again: the same task is shown once more after a wrong answer.
    virtual void taskShown(const TaskFacts& task, bool again) {
        Q_UNUSED(task);
        Q_UNUSED(again);
    }
    // An answer was judged. answer is the number the box held (none for an empty box);
    // seconds runs from the task being shown (again) to the answer, without time held by the
    // settings window.
    virtual void answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                              double seconds, const QDateTime& at) {
        Q_UNUSED(task);
        Q_UNUSED(answer);
        Q_UNUSED(outcome);
        Q_UNUSED(seconds);
        Q_UNUSED(at);
    }
    // The round is over. finished: it reached its end (the last task solved or the time up);
    // otherwise it was abandoned (a new start, the end of the program, a fault, a change of
    // player or kind in the settings window).
    virtual void roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) {
        Q_UNUSED(summary);
        Q_UNUSED(finished);
        Q_UNUSED(at);
    }
    // The settings window holds the game, and lets it go on.
    virtual void gameHeld() {}
    virtual void gameResumed() {}
};

// Passes every moment on to the listeners, in the order they were added.
class GameEventList final : public GameEvents {
public:
    void add(GameEvents* listener);
    void remove(GameEvents* listener);

    void roundStarted(const QString& player, int kind, const QDateTime& at) override;
    void taskShown(const TaskFacts& task, bool again) override;
    void answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                      double seconds, const QDateTime& at) override;
    void roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) override;
    void gameHeld() override;
    void gameResumed() override;

private:
    std::vector<GameEvents*> m_listeners;
};

} // namespace kalmix
