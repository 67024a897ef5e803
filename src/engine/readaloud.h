#pragma once

#include "engine/gameevents.h"

#include <optional>

namespace kalmix {

// Reads each task aloud as it appears, and again after a wrong answer, while the player's
// option and the sound switch are both on. A new task, a new round, the end of a round and
// the held game stop what is being said; the game never waits for the voice.
class ReadAloud final : public GameEvents {
public:
    void roundStarted(const QString& player, int kind, const QDateTime& at) override;
    void taskShown(const TaskFacts& task, bool again) override;
    void roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) override;
    void gameHeld() override;

    // Says the current task once more (the board's speaker button and space bar); false when
    // nothing is said: no task waits, or the option or the sound is off.
    bool repeat();
    // Stops what is being said and forgets the task.
    void silence();

    // The player's option and the sound switch are both on.
    static bool active();

private:
    void speak();
    std::optional<TaskFacts> m_task;
};

} // namespace kalmix
