#pragma once

// Rounds played into a history as the game tells them, for the class server's tests.
#include "history/historycheck.h"
#include "history/historystore.h"

namespace kalmix::test {

inline const QDateTime kLessonStart(QDate(2026, 12, 9), QTime(8, 0));

// A round of `answers` right answers to 1 + i (i = 1, 2, ...), three seconds apart.
inline void playRound(HistoryStore& store, const QString& player, const QDateTime& at, int answers,
                      bool end = true) {
    store.roundStarted(player, 2, at);
    for (int i = 1; i <= answers; ++i) {
        store.taskShown(plus(1, i), false);
        answer(store, plus(1, i), Outcome::Right, at.addSecs(3 * i));
    }
    if (end)
        store.roundEnded({answers, 0, 0, 3 * answers, false}, true, at.addSecs(3 * answers));
}

} // namespace kalmix::test
