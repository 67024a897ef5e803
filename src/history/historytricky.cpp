// The tricky tasks of a player, read from the history: for the game, which asks them again.
#include "history/historyfigures.h"
#include "history/historystore.h"

namespace kalmix {

QList<TaskFacts> HistoryStore::trickyTasks(const QString& player) {
    return trickyFactsOf(rowsOf(player));
}

} // namespace kalmix
