// The tricky tasks of a player, read from the history: for the game, which asks them again,
// and for the report, which shows which facts have left the tricky set.
#include "history/historyschema.h"
#include "history/historystore.h"

namespace kalmix {

using namespace history;

QList<TaskFacts> HistoryStore::trickyTasks(const QString& player) {
    QList<PastAnswer> past;
    for (const Row& r : rowsOf(player)) {
        const QString op = operationName(r.op);
        if (op == u"count" || op == u"symbols")
            continue;
        PastAnswer p;
        p.round = r.round;
        p.task = {0, op, r.a, r.b, r.expected};
        p.attempt = r.attempt;
        p.outcome = r.outcome == kRight   ? Outcome::Right
                    : r.outcome == kWrong ? Outcome::Wrong
                                          : Outcome::Help;
        past.append(p);
    }
    return trickyFacts(past);
}

HistoryStore::TrickyKeys HistoryStore::trickyKeys(const QString& player) {
    TrickyKeys keys;
    for (const Row& r : rowsOf(player)) {
        if (r.outcome != kRight)
            keys.missed.insert(factKey(operationName(r.op), r.a, r.b));
    }
    for (const TaskFacts& t : trickyTasks(player))
        keys.tricky.insert(factKey(t.operation, t.a, t.b));
    return keys;
}

} // namespace kalmix
