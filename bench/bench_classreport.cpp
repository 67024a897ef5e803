// The report on a large class server: a server of its own (started as the tests start theirs)
// filled with the answers of 1,000 children in 40 classes, then the time the report window
// needs to open on a child and for the class overview of one class, read through the class
// server's reader as a teacher's login (row-level security in force).
//
//   bench_classreport [ANSWERS]      (10,000,000 unless given; 10 answers a round)

#include "classserver/classschema.h"
#include "classserver/classsource.h"
#include "history/historystore.h"
#include "report/reportdata.h"
#include "support/pgserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kalmix;
using namespace kalmix::test;

namespace {

constexpr int kChildren = 1000;
constexpr int kClasses = 40;
constexpr int kAnswersPerRound = 10;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(PgConnection& c, const QString& sql, PgResult* result = nullptr) {
    const ServerError e = c.exec(sql, {}, result, 3600 * 1000);
    if (!e.ok())
        std::fprintf(stderr, "%s\n%s\n", qPrintable(sql.left(200)), qPrintable(e.message));
    return e.ok();
}

void explain(PgConnection& c, const QString& what, const QString& sql) {
    PgResult r;
    std::printf("\nEXPLAIN (ANALYZE, BUFFERS) of %s, as the teacher:\n", qPrintable(what));
    if (!run(c, QStringLiteral("EXPLAIN (ANALYZE, BUFFERS) ") + sql, &r))
        return;
    for (int i = 0; i < r.rows(); ++i)
        std::printf("    %s\n", qPrintable(r.value(i, 0)));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qint64 answers = argc > 1 ? QByteArray(argv[1]).toLongLong() : 10000000;
    const qint64 rounds = answers / kAnswersPerRound;
    const qint64 roundsPerChild = rounds / kChildren;

    TestPgServer pg;
    if (!pg.start() || !pg.createLogin(QStringLiteral("teacher"), QStringLiteral("pw"))) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(pg.error()));
        return 1;
    }
    pg.usePassFile();
    PgConnection owner;
    if (!owner.open(pg.superConninfo(), 10).ok() || !migrateClassSchema(owner).ok() ||
        !addClassMember(owner, QStringLiteral("class 7"), QStringLiteral("teacher"),
                        MemberKind::Teacher)
             .ok())
        return 1;

    // Child c (0..999) is "Player c / 40 + 1" of "class c % 40 + 1", on computer "m" + c % 12;
    // round r of a child started every 3 hours back from now, its answers 5 s apart.
    QElapsedTimer load;
    load.start();
    const QString roundOf = QStringLiteral("((g - 1) / %1)").arg(roundsPerChild);
    run(owner, QStringLiteral("SET maintenance_work_mem = '512MB'"));
    if (!run(owner,
             QStringLiteral(
                 "INSERT INTO kalmix.round(class, machine, uid, player, started, ended, kind, "
                 "solved, wrong, helped, seconds, finished, tasks, first_right) "
                 "SELECT 'class ' || (c % 40 + 1), 'm' || (c % 12), g, "
                 "'Player ' || (c / 40 + 1), date_trunc('second', now()) - "
                 "((g - 1) % %1) * interval '3 hours', date_trunc('second', now()) - "
                 "((g - 1) % %1) * interval '3 hours' + interval '50 seconds', 8, 9, 1, 0, 50, "
                 "true, 10, 8 + (g % 3) - 1 "
                 "FROM generate_series(1, %2) g, LATERAL (SELECT %3 AS c) k")
                 .arg(roundsPerChild)
                 .arg(rounds)
                 .arg(roundOf)))
        return 1;
    const double roundsSeconds = load.elapsed() / 1000.0;
    load.restart();
    // In parts, so that one statement never holds too much.
    constexpr qint64 kPart = 1000000;
    for (qint64 from = 1; from <= answers; from += kPart) {
        const qint64 to = std::min(answers, from + kPart - 1);
        if (!run(owner,
                 QStringLiteral(
                     "INSERT INTO kalmix.answer(class, machine, round_uid, seq, player, at, op, "
                     "a, b, expected, given, outcome, ms, attempt, tricky) "
                     "SELECT r.class, r.machine, r.uid, s, r.player, "
                     "r.started + s * interval '5 seconds', 2 + (r.uid + s) % 4, "
                     "(r.uid * 7 + s) % 10, (r.uid + s * 3) % 10, 0, NULL, "
                     "CASE WHEN (r.uid + s) % 9 = 0 THEN 1 ELSE 0 END, 1000 + (r.uid * s) % 4000, "
                     "1, false FROM kalmix.round r, generate_series(1, %1) s "
                     "WHERE r.uid BETWEEN %2 AND %3")
                     .arg(kAnswersPerRound)
                     .arg((from - 1) / kAnswersPerRound + 1)
                     .arg(to / kAnswersPerRound)))
            return 1;
        std::fprintf(stderr, "%lld answers after %.0f s\n", static_cast<long long>(to),
                     load.elapsed() / 1000.0);
    }
    // The expected answers as the operations give them.
    run(owner, QStringLiteral("ANALYZE kalmix.round; ANALYZE kalmix.answer"));
    const double answersSeconds = load.elapsed() / 1000.0;
    PgResult size;
    run(owner, QStringLiteral("SELECT pg_size_pretty(pg_database_size('kalmix'))"), &size);
    std::printf("Loaded %lld answers in %lld rounds of %d children in %d classes: rounds %.1f s, "
                "answers with their indexes %.1f s; database %s\n",
                static_cast<long long>(answers), static_cast<long long>(rounds), kChildren,
                kClasses, roundsSeconds, answersSeconds, qPrintable(size.value(0, 0)));

    // The report as the window reads it, through the reader, as the teacher of class 7.
    HistoryStore unused(QStringLiteral("/nonexistent/none.db")); // never read here
    ClassServerSource source({pg.conninfo(QStringLiteral("teacher")), QStringLiteral("class 7")},
                             unused);
    // As the window opens on a child: connect, the player list, the child's chart, totals and
    // tricky tasks, the facts of the first operation; then, as the class tab shows it, the
    // overview of the class in a window of its own.
    std::vector<double> child, connect, rowsRead, overview, facts;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        source.beginReading(); // a new window: connects again
        const QList<ReportPlayer> players = source.players();
        connect.push_back(t.nsecsElapsed() / 1e6);
        const QString player = QStringLiteral("Player %1").arg(i % 25 + 1);
        QElapsedTimer r;
        r.start();
        source.days(player, now.date().addDays(-27), now.date());
        rowsRead.push_back(r.nsecsElapsed() / 1e6);
        PlayerReport report = loadPlayerReport(source, {player, false}, now);
        report.facts = source.facts(player, QStringLiteral("+"), 20, 20);
        child.push_back(t.nsecsElapsed() / 1e6);
        if (!source.readingServer() || report.totals[2].tasks == 0 || players.size() != 25) {
            std::fprintf(stderr, "not read from the server: %s\n",
                         qPrintable(describe(source.lastError())));
            return 1;
        }
        r.restart();
        for (const char* op : {"-", "*", "/"})
            source.facts(player, QLatin1String(op), 20, 20);
        facts.push_back(r.nsecsElapsed() / 1e6 / 3);
        t.restart();
        source.beginReading();
        const QList<ReportClassRow> rows = source.classOverview(now);
        overview.push_back(t.nsecsElapsed() / 1e6);
        if (rows.size() != kChildren / kClasses)
            return 1;
    }
    const auto say = [](const char* what, const std::vector<double>& v) {
        std::printf("%s: median %.1f ms, max %.1f ms of %zu\n", what, median(v),
                    *std::max_element(v.begin(), v.end()), v.size());
    };
    std::printf("A child has %lld answers, a class %lld rounds.\n",
                static_cast<long long>(answers / kChildren),
                static_cast<long long>(rounds / kClasses));
    std::printf("The first window after the start, connecting with the password: %.1f ms "
                "(the later ones use its connection)\n",
                child.front());
    say("Report window opening on a child (all of it)", child);
    say("  of which: connecting and the player list", connect);
    say("  of which: the child's answers read and the chart worked out", rowsRead);
    say("Facts of another operation chosen later", facts);
    say("Class overview of one class (connecting included)", overview);

    PgConnection teacher;
    if (!teacher.open(pg.conninfo(QStringLiteral("teacher")), 10).ok())
        return 1;
    explain(teacher, QStringLiteral("a child's answers"),
            QStringLiteral(
                "SELECT floor(extract(epoch FROM x.at))::bigint, x.round_uid, x.op, x.a, x.b, "
                "x.expected, x.outcome, x.ms, x.attempt FROM kalmix.answer x LEFT JOIN "
                "kalmix.round r ON r.class = 'class 7' AND r.uid = x.round_uid AND r.player = "
                "'Player 3' WHERE x.class = 'class 7' AND x.player = 'Player 3' AND x.op "
                "BETWEEN 0 AND 5 AND x.outcome BETWEEN 0 AND 2 AND x.attempt >= 1 ORDER BY x.at, "
                "r.started, x.round_uid, x.seq"));
    explain(teacher, QStringLiteral("the class overview"),
            QStringLiteral("SELECT player, max(started), count(*) FILTER (WHERE started >= now() "
                           "- interval '7 days'), sum(tasks), sum(first_right) FROM kalmix.round "
                           "WHERE class = 'class 7' GROUP BY player"));
    explain(teacher, QStringLiteral("the players"),
            QStringLiteral("SELECT DISTINCT player FROM kalmix.round WHERE class = 'class 7'"));
    return 0;
}
