// Makes a practice history for the benchmarks: so many answers of so many players, spread over
// the year before a given day, in the store's own tables.
//   bench_make_history FILE [ANSWERS [PLAYERS [SEED]]]   (default 1000000 answers, 40 players)
#include "history/historyschema.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

using namespace kalmix::history;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_make_history FILE [ANSWERS [PLAYERS [SEED]]]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const long answers = argc > 2 ? std::atol(argv[2]) : 1000000;
    const int players = argc > 3 ? std::atoi(argv[3]) : 40;
    QRandomGenerator random(argc > 4 ? std::atoi(argv[4]) : 20261209);
    QFile::remove(path);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
        db.setDatabaseName(path);
        if (!db.open() || prepareSchema(db) != SchemaState::Ready)
            return 1;
        QSqlQuery q(db);
        db.transaction();
        for (int p = 1; p <= players; ++p) {
            q.prepare(QStringLiteral("INSERT INTO player(id, name) VALUES (?, ?)"));
            q.addBindValue(p);
            q.addBindValue(QStringLiteral("Player %1").arg(p));
            q.exec();
        }
        QSqlQuery round(db), answer(db);
        round.prepare(QStringLiteral(
            "INSERT INTO round(player, started, ended, kind, solved, wrong, helped, seconds, "
            "finished, tasks, first_right) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1, ?, ?)"));
        answer.prepare(QStringLiteral(
            "INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, ms, "
            "attempt) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const qint64 end = toStored(QDateTime(QDate(2026, 12, 9), QTime(18, 0)));
        const long perPlayer = answers / players;
        long made = 0;
        for (int p = 1; p <= players; ++p) {
            const int kind = 2 + p % 7; // + - * / and the mixed kinds
            // Rounds of 20 tasks on days spread over the year before the end, oldest first.
            const long rounds = perPlayer / 21 + 1;
            for (long r = 0; r < rounds && made < perPlayer * p; ++r) {
                const qint64 started =
                    end - (rounds - r) * (365 * 86400LL / rounds) + random.bounded(3600);
                qint64 at = started;
                int solved = 0, wrong = 0, helped = 0, tasks = 0, firstRight = 0;
                round.addBindValue(p);
                round.addBindValue(started);
                round.addBindValue(started + 600);
                round.addBindValue(kind);
                for (int v : {0, 0, 0, 0, 0, 0})
                    round.addBindValue(v);
                round.exec();
                const qint64 id = round.lastInsertId().toLongLong();
                for (int t = 0; t < 20 && made < perPlayer * p; ++t) {
                    const int op = kind <= 5   ? kind
                                   : kind == 6 ? 2 + random.bounded(2)
                                   : kind == 7 ? 4 + random.bounded(2)
                                               : 2 + random.bounded(4);
                    int a = 1 + random.bounded(10), b = 1 + random.bounded(10);
                    int expected = op == 2 ? a + b : op == 3 ? a - b : op == 4 ? a * b : a;
                    if (op == 3 && a < b)
                        std::swap(a, b), expected = a - b;
                    if (op == 5)
                        a = a * b; // a / b = expected
                    const int roll = random.bounded(100);
                    // 80 % right at once, 12 % wrong and then right, 8 % with the light bulb.
                    QList<int> outcomes = roll < 80   ? QList<int>{kRight}
                                          : roll < 92 ? QList<int>{kWrong, kRight}
                                                      : QList<int>{kHelp};
                    ++tasks;
                    firstRight += outcomes[0] == kRight;
                    for (int i = 0; i < outcomes.size() && made < perPlayer * p; ++i, ++made) {
                        at += 2 + random.bounded(12);
                        const int o = outcomes[i];
                        solved += o == kRight;
                        wrong += o == kWrong;
                        helped += o == kHelp;
                        for (const QVariant& v :
                             {QVariant(id), QVariant(p), QVariant(at), QVariant(op), QVariant(a),
                              QVariant(b), QVariant(expected),
                              QVariant(o == kWrong ? expected + 1 : expected), QVariant(o),
                              QVariant(1000 + int(random.bounded(9000))), QVariant(i + 1)})
                            answer.addBindValue(v);
                        answer.exec();
                    }
                }
                q.prepare(QStringLiteral(
                    "UPDATE round SET solved=?, wrong=?, helped=?, tasks=?, first_right=?, "
                    "seconds=? WHERE id=?"));
                for (const QVariant& v :
                     {QVariant(solved), QVariant(wrong), QVariant(helped), QVariant(tasks),
                      QVariant(firstRight), QVariant(at - started), QVariant(id)})
                    q.addBindValue(v);
                q.exec();
            }
        }
        db.commit();
        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        std::printf("%s: %ld answers of %d players\n", argv[1], made, players);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make"));
    return 0;
}
