// The class server's schema against a real PostgreSQL: made and migrated safely, the rights of
// pupils' and teachers' logins, the views' columns, and what "Test connection" says.

#include "classserver/classschema.h"
#include "history/historyschema.h"
#include "support/pgserver.h"

#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QString kPassword = QStringLiteral("pw-2a");

QString roundRow(const QString& cls, const QString& machine, int uid) {
    return QStringLiteral("INSERT INTO kalmix.round(class, machine, uid, player, started, kind, "
                          "solved) VALUES ('%1', '%2', %3, 'Anna', '2026-03-14 09:26:53+00', 2, "
                          "1)")
        .arg(cls, machine)
        .arg(uid);
}

QString answerRow(const QString& cls, const QString& machine, int uid, int seq) {
    return QStringLiteral("INSERT INTO kalmix.answer(class, machine, round_uid, seq, player, at, "
                          "op, a, b, expected, given, outcome, ms, attempt) VALUES ('%1', '%2', "
                          "%3, %4, 'Anna', '2026-03-14 09:27:01+00', 2, 3, 4, 7, 7, 0, 1500, 1)")
        .arg(cls, machine)
        .arg(uid)
        .arg(seq);
}

// The columns of a view of a local history, in order.
QStringList localViewColumns(const QString& view) {
    QTemporaryDir dir;
    QStringList out;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
        db.setDatabaseName(dir.filePath(QStringLiteral("Kalmix.db")));
        if (db.open() && history::prepareSchema(db) == history::SchemaState::Ready) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(view));
            while (q.next())
                out << q.value(1).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("local"));
    return out;
}

} // namespace

class TestClassSchema : public QObject {
    Q_OBJECT
    TestPgServer pg;

    // A fresh database with the schema, logins p2a and p3b (pupils of 2a and 3b) and t2a
    // (teacher of 2a); each case has its own.
    bool prepared(const QString& db) {
        if (!pg.createDatabase(db))
            return false;
        const QString info = pg.superConninfo(db);
        for (const auto& [role, cls, kind] :
             {std::tuple{QStringLiteral("p2a"), QStringLiteral("2a"), QStringLiteral("pupil")},
              std::tuple{QStringLiteral("p3b"), QStringLiteral("3b"), QStringLiteral("pupil")},
              std::tuple{QStringLiteral("t2a"), QStringLiteral("2a"), QStringLiteral("teacher")}}) {
            ClassServerInit init{info, cls, {}, {}};
            (kind == u"pupil" ? init.pupilRole : init.teacherRole) = role;
            const QString why = initClassServer(init);
            if (!why.isEmpty()) {
                qWarning("%s", qPrintable(why));
                return false;
            }
        }
        return true;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        for (const char* login : {"p2a", "p3b", "t2a", "stranger"})
            QVERIFY2(pg.createLogin(QString::fromLatin1(login), kPassword), qPrintable(pg.error()));
        pg.usePassFile();
    }

    // Run twice, or twice at the same moment, the set-up ends in the same schema; the second
    // run says there was nothing to do.
    void initIsIdempotentAndSafeAtOnce() {
        QVERIFY(pg.createDatabase(QStringLiteral("twice")));
        const QString info = pg.superConninfo(QStringLiteral("twice"));
        // several at once, as when school IT starts it twice: they wait for each other
        constexpr int kRuns = 6;
        QString done[kRuns], errors[kRuns];
        QList<QThread*> runs;
        for (int i = 0; i < kRuns; ++i)
            runs << QThread::create([&, i] {
                errors[i] = initClassServer({info, {}, {}, {}}, &done[i]);
            });
        for (QThread* t : runs)
            t->start();
        for (QThread* t : runs) {
            t->wait();
            delete t;
        }
        const QString kLatest = QStringLiteral("from version 0 to %1").arg(kClassSchemaVersion);
        int migrated = 0;
        for (int i = 0; i < kRuns; ++i) {
            QVERIFY2(errors[i].isEmpty(), qPrintable(errors[i]));
            migrated += done[i].contains(kLatest);
            QVERIFY(done[i].contains(kLatest) || done[i].contains(QStringLiteral("up to date")));
        }
        QCOMPARE(migrated, 1);
        QString again;
        QCOMPARE(initClassServer({info, QStringLiteral("2a"), QStringLiteral("p2a"), {}}, &again),
                 QString());
        QCOMPARE(initClassServer({info, QStringLiteral("2a"), QStringLiteral("p2a"), {}}, &again),
                 QString());
        QVERIFY(again.contains(QStringLiteral("up to date")));
        QCOMPARE(pg.value(QStringLiteral("SELECT string_agg(version::text, ',') FROM "
                                         "kalmix.schema_version"),
                          QStringLiteral("twice")),
                 QString::number(kClassSchemaVersion));
        QCOMPARE(pg.value(QStringLiteral("SELECT count(*) FROM kalmix.class_member"),
                          QStringLiteral("twice")),
                 QStringLiteral("1"));
        // a login that is not there, a class name too long, or a pupil made a teacher: refused
        QVERIFY(initClassServer({info, QStringLiteral("2a"), QStringLiteral("nobody-here"), {}})
                    .contains(QStringLiteral("does not exist")));
        QVERIFY(!initClassServer({info, QString(41, u'x'), QStringLiteral("p2a"), {}}).isEmpty());
        QVERIFY(initClassServer({info, QStringLiteral("2a"), {}, QStringLiteral("p2a")})
                    .contains(QStringLiteral("kalmix_pupil")));
    }

    // A server left at the first version keeps its rows when it is brought up to date, and
    // its computers' rows show in the views at once.
    void migrationFromTheFirstVersionKeepsRows() {
        QVERIFY(pg.createDatabase(QStringLiteral("old")));
        PgConnection c;
        QVERIFY(c.open(pg.superConninfo(QStringLiteral("old")), 5).ok());
        int from = -1;
        QVERIFY(migrateClassSchema(c, 1, &from).ok());
        QCOMPARE(from, 0);
        QVERIFY(pg.sql(roundRow(QStringLiteral("2a"), QStringLiteral("m1"), 5) + u';' +
                           answerRow(QStringLiteral("2a"), QStringLiteral("m1"), 5, 1),
                       QStringLiteral("old")));
        QVERIFY(
            !pg.sql(QStringLiteral("SELECT received FROM kalmix.answer"), QStringLiteral("old")));

        QString done;
        QCOMPARE(initClassServer({pg.superConninfo(QStringLiteral("old")), {}, {}, {}}, &done),
                 QString());
        QVERIFY(done.contains(QStringLiteral("from version 1 to %1").arg(kClassSchemaVersion)));
        QCOMPARE(pg.value(QStringLiteral("SELECT count(*) FROM kalmix.answer WHERE received IS "
                                         "NOT NULL AND ms = 1500"),
                          QStringLiteral("old")),
                 QStringLiteral("1"));
        QCOMPARE(pg.value(QStringLiteral("SELECT player || ' ' || round_started || ' ' || "
                                         "operation || ' ' || outcome || ' ' || seconds || ' ' || "
                                         "tricky || ' ' || class || ' ' || machine FROM "
                                         "kalmix.answers"),
                          QStringLiteral("old")),
                 QStringLiteral("Anna 2026-03-14T09:26:53 + right 1.5 0 2a m1"));
    }

    // A server of the second version that holds rounds sent by two computers (a history added
    // from one to the other) keeps each once: the round with what either copy knew, every
    // answer once, the answers only one copy had too; rows of another class stay apart.
    void migrationFoldsRoundsSentTwice() {
        const QString db = QStringLiteral("doubled");
        QVERIFY(pg.createDatabase(db));
        PgConnection c;
        QVERIFY(c.open(pg.superConninfo(db), 5).ok());
        QVERIFY(migrateClassSchema(c, 2).ok());
        QStringList rows = {roundRow(QStringLiteral("2a"), QStringLiteral("m1"), 5),
                            roundRow(QStringLiteral("2a"), QStringLiteral("m2"), 5) +
                                QStringLiteral(" ; UPDATE kalmix.round SET finished = true, "
                                               "solved = 3, received = received + interval "
                                               "'1 hour' WHERE machine = 'm2'"),
                            roundRow(QStringLiteral("3b"), QStringLiteral("m3"), 5)};
        for (int seq = 1; seq <= 3; ++seq) {
            if (seq < 3)
                rows << answerRow(QStringLiteral("2a"), QStringLiteral("m1"), 5, seq);
            rows << answerRow(QStringLiteral("2a"), QStringLiteral("m2"), 5, seq);
        }
        rows << answerRow(QStringLiteral("3b"), QStringLiteral("m3"), 5, 1)
             << QStringLiteral("UPDATE kalmix.answer SET received = received + interval '1 "
                               "hour' WHERE machine = 'm2'");
        QVERIFY(pg.sql(rows.join(u';'), db));

        QCOMPARE(initClassServer({pg.superConninfo(db), {}, {}, {}}), QString());
        QCOMPARE(pg.value(QStringLiteral("SELECT string_agg(class || ' ' || machine || ' ' || "
                                         "solved || ' ' || finished, ',' ORDER BY class) FROM "
                                         "kalmix.rounds"),
                          db),
                 QStringLiteral("2a m1 3 1,3b m3 1 0"));
        QCOMPARE(pg.value(QStringLiteral("SELECT string_agg(x.class || x.seq || x.machine, ',' "
                                         "ORDER BY x.class, x.seq) FROM kalmix.answer x"),
                          db),
                 QStringLiteral("2a1m1,2a2m1,2a3m2,3b1m3"));
        QCOMPARE(pg.value(QStringLiteral("SELECT count(*) FROM kalmix.answers"), db),
                 QStringLiteral("4"));
    }

    // The server's views have the computer's views' columns, in their order, then class and
    // machine: a tool that reads one reads the other.
    void viewsCarryTheLocalColumns() {
        QVERIFY(prepared(QStringLiteral("views")));
        for (const QString& view : {QStringLiteral("answers"), QStringLiteral("rounds")}) {
            const QStringList local = localViewColumns(view);
            QVERIFY(!local.isEmpty());
            const QString server = pg.value(
                QStringLiteral("SELECT string_agg(column_name, ',' ORDER BY ordinal_position) "
                               "FROM information_schema.columns WHERE table_schema = 'kalmix' "
                               "AND table_name = '%1'")
                    .arg(view),
                QStringLiteral("views"));
            QCOMPARE(server,
                     (local + QStringList{QStringLiteral("class"), QStringLiteral("machine")})
                         .join(u','));
        }
    }

    // A pupils' login adds and ends rounds of its class; it cannot delete anything, change an
    // answer, or read or write another class's rows, not even through the views. A teacher's
    // login reads its class only and writes nothing.
    void loginsKeepToTheirClass() {
        QVERIFY(prepared(QStringLiteral("rights")));
        const QString db = QStringLiteral("rights");
        QVERIFY(pg.sql(roundRow(QStringLiteral("3b"), QStringLiteral("m9"), 1) + u';' +
                           answerRow(QStringLiteral("3b"), QStringLiteral("m9"), 1, 1),
                       db));
        PgConnection pupil;
        QVERIFY(pupil.open(pg.conninfo(QStringLiteral("p2a"), db), 5).ok());
        QVERIFY(pupil.exec(roundRow(QStringLiteral("2a"), QStringLiteral("m1"), 7)).ok());
        QVERIFY(pupil.exec(answerRow(QStringLiteral("2a"), QStringLiteral("m1"), 7, 1)).ok());
        // the end of a round: the upsert the computers send
        QVERIFY(pupil
                    .exec(roundRow(QStringLiteral("2a"), QStringLiteral("m1"), 7) +
                          QStringLiteral(" ON CONFLICT (class, uid) DO UPDATE SET solved = 9"))
                    .ok());
        // a round id that another class has is another round here, and says nothing of it
        QVERIFY(pupil.exec(roundRow(QStringLiteral("2a"), QStringLiteral("m1"), 1)).ok());
        const QStringList refused = {
            roundRow(QStringLiteral("3b"), QStringLiteral("m1"), 8),
            answerRow(QStringLiteral("3b"), QStringLiteral("m1"), 7, 2),
            QStringLiteral("UPDATE kalmix.round SET class = '3b' WHERE uid = 7"),
            QStringLiteral("UPDATE kalmix.round SET player = 'Ben' WHERE uid = 7"),
            QStringLiteral("UPDATE kalmix.answer SET given = 8"),
            QStringLiteral("DELETE FROM kalmix.answer"),
            QStringLiteral("DELETE FROM kalmix.round"),
            QStringLiteral("INSERT INTO kalmix.class_member VALUES ('3b', 'p2a')"),
            QStringLiteral("TRUNCATE kalmix.answer"),
        };
        for (const QString& sql : refused) {
            const ServerError e = pupil.exec(sql);
            QVERIFY2(e.problem == ServerProblem::NotAllowed, qPrintable(sql + u' ' + e.message));
        }
        PgResult r;
        QVERIFY(
            pupil
                .exec(QStringLiteral(
                          "SELECT (SELECT string_agg(class || solved, ',' ORDER BY uid DESC) FROM "
                          "kalmix.round), (SELECT count(*) FROM kalmix.answer), "
                          "(SELECT string_agg(class, ',') FROM kalmix.answers), "
                          "(SELECT string_agg(class, ',') FROM kalmix.rounds)"),
                      {}, &r)
                .ok());
        QCOMPARE(r.value(0, 0), QStringLiteral("2a9,2a1"));
        QCOMPARE(r.value(0, 1), QStringLiteral("1"));
        QCOMPARE(r.value(0, 2), QStringLiteral("2a"));
        QCOMPARE(r.value(0, 3), QStringLiteral("2a,2a"));

        PgConnection teacher;
        QVERIFY(teacher.open(pg.conninfo(QStringLiteral("t2a"), db), 5).ok());
        QVERIFY(teacher
                    .exec(QStringLiteral("SELECT string_agg(DISTINCT class, ',') FROM "
                                         "kalmix.answers"),
                          {}, &r)
                    .ok());
        QCOMPARE(r.value(0, 0), QStringLiteral("2a"));
        QCOMPARE(teacher.exec(roundRow(QStringLiteral("2a"), QStringLiteral("t"), 1)).problem,
                 ServerProblem::NotAllowed);
        // a login of no class sees no rows at all
        PgConnection stranger;
        QVERIFY(stranger.open(pg.conninfo(QStringLiteral("stranger"), db), 5).ok());
        QCOMPARE(stranger.exec(QStringLiteral("SELECT count(*) FROM kalmix.answer")).problem,
                 ServerProblem::NotAllowed);
        QCOMPARE(pg.value(QStringLiteral("SELECT count(*) FROM kalmix.answer"), db),
                 QStringLiteral("2"));
    }

    // "Test connection" names each thing that can be wrong, and says nothing is when nothing is.
    void testConnectionTellsWhatIsWrong() {
        QVERIFY(prepared(QStringLiteral("tested")));
        const QString db = QStringLiteral("tested");
        const QString p2a = pg.conninfo(QStringLiteral("p2a"), db);
        ServerError e = testConnection(p2a, QStringLiteral("2a"));
        QVERIFY2(e.ok(), qPrintable(describe(e)));
        QCOMPARE(pg.value(QStringLiteral("SELECT count(*) FROM kalmix.round"), db),
                 QStringLiteral("0")); // the row tried was taken back

        // A teacher's login reads its class and adds nothing: that is a working connection,
        // but not for another class.
        const QString t2a = pg.conninfo(QStringLiteral("t2a"), db);
        e = testConnection(t2a, QStringLiteral("2a"));
        QVERIFY2(e.ok(), qPrintable(describe(e)));
        QCOMPARE(testConnection(t2a, QStringLiteral("3b")).problem, ServerProblem::NotAllowed);

        e = testConnection(p2a, QStringLiteral("3b"));
        QCOMPARE(e.problem, ServerProblem::NotAllowed);
        QVERIFY(describe(e).contains(QStringLiteral("p2a")) &&
                describe(e).contains(QStringLiteral("3b")));

        e = testConnection(p2a + QStringLiteral(" password=wrong passfile=/nonexistent"),
                           QStringLiteral("2a"));
        QCOMPARE(e.problem, ServerProblem::WrongPassword);
        e = testConnection(pg.conninfo(QStringLiteral("p2a"), QStringLiteral("missing")),
                           QStringLiteral("2a"));
        QCOMPARE(e.problem, ServerProblem::NoDatabase);
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 closed = probe.serverPort();
        probe.close();
        e = testConnection(
            QStringLiteral("host=127.0.0.1 port=%1 dbname=kalmix user=p2a").arg(closed), {}, 2);
        QCOMPARE(e.problem, ServerProblem::Unreachable);

        QVERIFY(pg.createDatabase(QStringLiteral("empty")));
        e = testConnection(pg.conninfo(QStringLiteral("p2a"), QStringLiteral("empty")),
                           QStringLiteral("2a"));
        QCOMPARE(e.problem, ServerProblem::SchemaMissing);

        const int newer = kClassSchemaVersion + 1;
        QVERIFY(
            pg.sql(QStringLiteral("UPDATE kalmix.schema_version SET version = %1").arg(newer), db));
        e = testConnection(p2a, QStringLiteral("2a"));
        QCOMPARE(e.problem, ServerProblem::ServerTooNew);
        QVERIFY(describe(e).contains(QString::number(newer)));
        // and the set-up does not touch a schema it does not know
        QVERIFY(!initClassServer({pg.superConninfo(db), {}, {}, {}}).isEmpty());
        QCOMPARE(pg.value(QStringLiteral("SELECT version FROM kalmix.schema_version"), db),
                 QString::number(newer));
    }
};

QTEST_GUILESS_MAIN(TestClassSchema)
#include "tst_classschema.moc"
