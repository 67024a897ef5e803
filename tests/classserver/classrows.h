#pragma once

// Puts the rounds and answers of a computer's history on a test's class server as the
// computers send them: each round under its computer and its own id, each answer numbered
// within its round, the times as the history keeps them.

#include "classserver/pgconnection.h"
#include "engine/gameevents.h"
#include "history/historystore.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace kalmix::test {

inline QString sendHistory(PgConnection& server, const QString& dbPath, const QString& className,
                           const QString& machine) {
    const QString name = QStringLiteral("send-") + machine;
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        if (!db.open())
            return QStringLiteral("cannot open ") + dbPath;
        QSqlQuery q(db);
        q.exec(QStringLiteral(
            "SELECT p.name, r.started, r.ended, r.kind, r.solved, r.wrong, r.helped, r.seconds, "
            "r.finished, r.tasks, r.first_right, r.uid FROM round r JOIN player p ON p.id = "
            "r.player"));
        while (error.isEmpty() && q.next()) {
            const ServerError e = server.exec(
                QStringLiteral("INSERT INTO kalmix.round(class, machine, uid, player, started, "
                               "ended, kind, solved, wrong, helped, seconds, finished, tasks, "
                               "first_right) VALUES ($1, $2, $3, $4, to_timestamp($5::bigint), "
                               "to_timestamp($6::bigint), $7, $8, $9, $10, $11, $12, $13, $14)"),
                {className, machine, q.value(11), q.value(0), q.value(1), q.value(2), q.value(3),
                 q.value(4), q.value(5), q.value(6), q.value(7), q.value(8).toInt() != 0,
                 q.value(9), q.value(10)});
            if (!e.ok())
                error = e.message;
        }
        q.exec(QStringLiteral(
            "SELECT r.uid, p.name, x.at, x.op, x.a, x.b, x.expected, x.given, x.outcome, x.ms, "
            "x.attempt, x.tricky, x.round FROM answer x JOIN round r ON r.id = x.round JOIN "
            "player p ON p.id = x.player ORDER BY x.id"));
        QHash<qint64, int> seq;
        while (error.isEmpty() && q.next()) {
            const ServerError e = server.exec(
                QStringLiteral("INSERT INTO kalmix.answer(class, machine, round_uid, seq, player, "
                               "at, op, a, b, expected, given, outcome, ms, attempt, tricky) "
                               "VALUES ($1, $2, $3, $4, $5, to_timestamp($6::bigint), $7, $8, $9, "
                               "$10, $11, $12, $13, $14, $15)"),
                {className, machine, q.value(0), ++seq[q.value(12).toLongLong()], q.value(1),
                 q.value(2), q.value(3), q.value(4), q.value(5), q.value(6), q.value(7), q.value(8),
                 q.value(9), q.value(10), q.value(11).toInt() != 0});
            if (!e.ok())
                error = e.message;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

// One task as the game tells the history of it: its answers in turn (a wrong one is
// followed by the task shown again).
inline void play(HistoryStore& s, const TaskFacts& t, const QList<Outcome>& outcomes,
                 QDateTime& at) {
    bool again = false;
    for (Outcome o : outcomes) {
        s.taskShown(t, again);
        at = at.addSecs(3);
        s.answerJudged(t, o == Outcome::Wrong ? t.expected + 1 : t.expected, o, 2.5, at);
        again = true;
    }
}

inline TaskFacts fact(const char* op, int a, int b, int expected) {
    return TaskFacts{8, QString::fromLatin1(op), a, b, expected};
}

} // namespace kalmix::test
