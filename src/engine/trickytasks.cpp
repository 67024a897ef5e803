// Tricky tasks: which facts are tricky, which of them fit the settings, and when they come back.
#include "engine/trickytasks.h"

#include "engine/random.h"
#include "profiles/record.h"

#include <QHash>
#include <QSet>

#include <cstdlib>

namespace kalmix {

namespace {

bool chosenFactor(int f) {
    for (int i = 0; i < FaktorZahl && i < int(FaktorListe.size()); ++i) {
        if (FaktorListe[i] == f)
            return true;
    }
    return false;
}

// The operations an exercise kind asks.
bool kindAsks(int kind, const QString& op) {
    switch (kind) {
    case 2:
        return op == u"+";
    case 3:
        return op == u"-";
    case 4:
        return op == u"*";
    case 5:
        return op == u"/";
    case 6:
        return op == u"+" || op == u"-";
    case 7:
        return op == u"*" || op == u"/";
    case 8:
        return op == u"+" || op == u"-" || op == u"*" || op == u"/";
    default:
        return false;
    }
}

} // namespace

QString factKey(const QString& operation, int a, std::optional<int> b) {
    return operation + u' ' + QString::number(a) + u' ' + (b ? QString::number(*b) : QString());
}

QList<TaskFacts> trickyFacts(const QList<PastAnswer>& history) {
    struct State {
        TaskFacts task;
        bool tricky = false;
        QSet<qint64> rightRounds; // rounds with a right first try since the last miss
        int order = 0;
    };
    QHash<QString, State> facts;
    int order = 0;
    for (const PastAnswer& p : history) {
        if (p.task.operation == u"count" || p.task.operation == u"symbols")
            continue;
        State& s = facts[factKey(p.task.operation, p.task.a, p.task.b)];
        if (s.order == 0) {
            s.task = p.task;
            s.order = ++order;
        }
        if (p.outcome != Outcome::Right) {
            s.tricky = true;
            s.rightRounds.clear();
        } else if (s.tricky && p.attempt == 1) {
            s.rightRounds.insert(p.round);
            if (s.rightRounds.size() >= 2)
                s.tricky = false;
        }
    }
    QList<State> left;
    for (const State& s : std::as_const(facts)) {
        if (s.tricky)
            left.append(s);
    }
    std::sort(left.begin(), left.end(),
              [](const State& x, const State& y) { return x.order < y.order; });
    QList<TaskFacts> out;
    for (const State& s : left) {
        TaskFacts t = s.task;
        t.tricky = false;
        t.kind = 0;
        out.append(t);
    }
    return out;
}

bool fitsSettings(const TaskFacts& t) {
    if (!kindAsks(Uebung, t.operation) || !t.b)
        return false;
    // In 64 bits: a fact read from the history may hold any numbers.
    const qint64 a = t.a, b = *t.b, e = t.expected;
    const int least = Null ? 0 : 1;
    if (t.operation == u"+")
        return e == a + b && a >= least && b >= 1 && e >= MinSum && e <= MaxSum;
    if (t.operation == u"-")
        return e == a - b && a >= MinSum && a <= MaxSum && b >= 1 && e >= least;
    if (t.operation == u"*")
        return e == a * b && chosenFactor(b) && a >= 2 && a <= (b > 10 ? 20 : 10);
    if (t.operation == u"/") {
        if (a == 0 && e == 0) // 0 : q, asked when 0 is among the divisors
            return NullFaktor && chosenFactor(0) && b >= 3 && b <= 10;
        return b != 0 && a == b * e && chosenFactor(b) && e >= 3 && e <= (b > 10 ? 20 : 10);
    }
    return false;
}

void TrickyChooser::beginRound(TrickySource* source, const QString& player, bool on) {
    m_on = on;
    m_pool.clear();
    m_due.clear();
    if (on && source)
        m_pool = source->trickyTasks(player);
}

std::optional<TaskFacts> TrickyChooser::next(const TaskFacts& current) {
    if (!m_on)
        return std::nullopt;
    // A task due to come back comes first, when it still fits.
    for (int i = 0; i < m_due.size(); ++i) {
        if (--m_due[i].tasksLeft > 0)
            continue;
        const TaskFacts t = m_due.takeAt(i).task;
        for (int j = i; j < m_due.size(); ++j)
            --m_due[j].tasksLeft;
        if (fitsSettings(t)) {
            TaskFacts back = t;
            back.tricky = true;
            return back;
        }
        break;
    }
    QList<TaskFacts> fitting;
    for (const TaskFacts& t : std::as_const(m_pool)) {
        bool waiting = t.sameFact(current);
        for (const Due& d : std::as_const(m_due))
            waiting = waiting || d.task.sameFact(t);
        if (!waiting && fitsSettings(t))
            fitting.append(t);
    }
    if (fitting.isEmpty())
        return std::nullopt; // no number drawn: the task is a fresh one, as without the switch
    if (Zufallszahl(1, kShare) != 1)
        return std::nullopt;
    TaskFacts t = fitting.at(Zufallszahl(0, int(fitting.size()) - 1));
    t.tricky = true;
    return t;
}

void TrickyChooser::answered(const TaskFacts& task, Outcome outcome) {
    if (!m_on || outcome == Outcome::Right)
        return;
    if (task.operation == u"count" || task.operation == u"symbols")
        return;
    for (const Due& d : std::as_const(m_due)) {
        if (d.task.sameFact(task))
            return; // asked again at once after a miss: it is due already
    }
    // Not at random: a round without tricky tasks draws the numbers of a round without the
    // switch. The operands spread the returns over the third to the sixth task.
    m_due.append(
        {task, int(3 + (std::abs(qint64(task.a)) + std::abs(qint64(task.b.value_or(0)))) % 4)});
}

} // namespace kalmix
