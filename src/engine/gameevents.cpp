#include "engine/gameevents.h"

#include <algorithm>

namespace kalmix {

void GameEventList::add(GameEvents* listener) {
    if (listener &&
        std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void GameEventList::remove(GameEvents* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

// A copy of the list is walked, so a listener may remove itself.
void GameEventList::roundStarted(const QString& player, int kind, const QDateTime& at) {
    for (GameEvents* l : std::vector(m_listeners))
        l->roundStarted(player, kind, at);
}

void GameEventList::taskShown(const TaskFacts& task, bool again) {
    for (GameEvents* l : std::vector(m_listeners))
        l->taskShown(task, again);
}

void GameEventList::answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                                 double seconds, const QDateTime& at) {
    for (GameEvents* l : std::vector(m_listeners))
        l->answerJudged(task, answer, outcome, seconds, at);
}

void GameEventList::roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) {
    for (GameEvents* l : std::vector(m_listeners))
        l->roundEnded(summary, finished, at);
}

void GameEventList::gameHeld() {
    for (GameEvents* l : std::vector(m_listeners))
        l->gameHeld();
}

void GameEventList::gameResumed() {
    for (GameEvents* l : std::vector(m_listeners))
        l->gameResumed();
}

} // namespace kalmix
