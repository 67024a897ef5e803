#pragma once

#include "engine/gameevents.h"

#include <QList>
#include <QString>
#include <optional>

namespace kalmix {

// One earlier answer as the history keeps it, for finding the tricky tasks.
struct PastAnswer {
    qint64 round = 0; // rounds in the order they were played
    TaskFacts task;   // the fact and its expected answer
    int attempt = 1;  // 1 for the first answer to the task shown, 2 after one wrong answer...
    Outcome outcome = Outcome::Right;
};

// A fact as a key: "op a b" ("+ 3 4", "* 6 7").
QString factKey(const QString& operation, int a, std::optional<int> b);

// The tricky tasks of a history given in the order the answers were made. A fact becomes
// tricky when it is answered wrong or with the light bulb. It leaves the set when, after its
// last such answer, it was answered right at the first try in two different rounds (the round
// of the miss counts when the fact came back later in it). A new miss puts it back.
QList<TaskFacts> trickyFacts(const QList<PastAnswer>& history);

// Where the game gets a player's tricky tasks from (the history store).
class TrickySource {
public:
    virtual ~TrickySource() = default;
    virtual QList<TaskFacts> trickyTasks(const QString& player) = 0;
};

// Whether a task fits the settings in force: the exercise kind, the number range and the zero
// switch for sums and differences, the chosen factors and divisors for products and quotients.
// Only such tasks are drawn again.
bool fitsSettings(const TaskFacts& task);

// Chooses the tricky tasks of a round for a player who practises them more often (the player's
// `Knifflig` switch). Off, it draws no random number at all, so the tasks are those of a game
// without it; on, too, while no tricky task fits the settings and none is due to come back.
class TrickyChooser {
public:
    // One in kShare of the tasks is drawn from the tricky set while some of them fit.
    static constexpr int kShare = 4;

    // A round begins: the player's tricky tasks are read once.
    void beginRound(TrickySource* source, const QString& player, bool on);
    // The task to show next instead of a fresh one, if any. current: the task on the board.
    std::optional<TaskFacts> next(const TaskFacts& current);
    // An answer was judged: a task answered wrong or with the light bulb comes back as the
    // third to sixth task after it (and again after each later miss).
    void answered(const TaskFacts& task, Outcome outcome);

    bool on() const { return m_on; }

private:
    struct Due {
        TaskFacts task;
        int tasksLeft = 0;
    };
    bool m_on = false;
    QList<TaskFacts> m_pool;
    QList<Due> m_due;
};

} // namespace kalmix
