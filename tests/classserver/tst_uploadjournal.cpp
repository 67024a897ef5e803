// What the local history says the class server still needs: every answer once, in order,
// with its place in its round; a round again when it changed; nothing taken as sent before
// the server said so, even when answers are removed and their ids come back.
#include "classserver/uploadcheck.h"
#include "classserver/uploadjournal.h"
#include "history/historyschema.h"
#include "history/historystore.h"
#include "support/testenv.h"

#include <QFile>
#include <QTest>
#include <sqlite3.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QDateTime kStart = kLessonStart;

// Sends everything to a server that takes every batch; the answers it got, as "player a seq".
QStringList sendAll(UploadJournal& journal, int perBatch = 500) {
    QStringList got;
    for (int guard = 0; guard < 100; ++guard) {
        journal.giveRoundIds();
        const auto batch = journal.next(perBatch);
        if (!batch || batch->empty())
            break;
        for (const UploadAnswer& x : batch->answers)
            got << QStringLiteral("%1 %2 %3").arg(x.player).arg(x.b.value_or(-1)).arg(x.seq);
        if (!journal.markSent(*batch))
            break;
    }
    return got;
}

QString makeFirstVersionFile(const QString& path, const QString& extraSql = {}) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QFile f(QStringLiteral(KALMIX_SOURCE_DIR "/tests/history/fixtures/version1.sql"));
    f.open(QIODevice::ReadOnly);
    const QByteArray sql = f.readAll() + extraSql.toUtf8();
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

} // namespace

class TestUploadJournal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyAnswerGoesUpOnceAndOnlyAfterTheCommit();
    void aRoundThatChangedGoesUpAgain();
    void removedAnswersNeverHideNewOnes();
    void oldRoundsGetTheSameIdOnEveryComputer();
};

// Batches follow the answers' order, each with its rounds; a batch whose commit never came
// is read again whole; a second server gets the whole history too.
void TestUploadJournal::everyAnswerGoesUpOnceAndOnlyAfterTheCommit() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    UploadJournal none(env.path(u"Kalmix.db"_qs), u"service=a"_qs);
    QVERIFY(!none.open()); // no history yet: nothing is made here
    QVERIFY(!QFile::exists(env.path(u"Kalmix.db"_qs)));
    playRound(store, u"Ada"_qs, kStart, 3);
    playRound(store, u"Bo"_qs, kStart.addSecs(60), 2);

    UploadJournal journal(store.path(), u"service=a"_qs);
    QCOMPARE(journal.waiting(), std::optional<qint64>(5));
    const auto first = journal.next(2);
    QVERIFY(first);
    QCOMPARE(first->answers.size(), size_t(2));
    const auto again = journal.next(2); // the server never said it committed the first
    QCOMPARE(again->answers.size(), size_t(2));
    QCOMPARE(again->lastAnswer, first->lastAnswer);
    QCOMPARE(journal.waiting(), std::optional<qint64>(5));
    QVERIFY(journal.markSent(*first));
    QCOMPARE(journal.waiting(), std::optional<qint64>(3));
    QCOMPARE(sendAll(journal, 2), (QStringList{u"Ada 3 3"_qs, u"Bo 1 1"_qs, u"Bo 2 2"_qs}));
    QCOMPARE(journal.waiting(), std::optional<qint64>(0));
    QVERIFY(journal.next()->empty());

    // Every answer's round went up with it, and each round is one of the store's.
    UploadJournal other(store.path(), u"service=b"_qs);
    const auto whole = other.next();
    QCOMPARE(whole->answers.size(), size_t(5));
    QSet<qint64> uids;
    for (const UploadRound& r : whole->rounds)
        uids.insert(r.uid);
    QCOMPARE(uids.size(), 2);
    for (const UploadAnswer& x : whole->answers)
        QVERIFY(uids.contains(x.roundUid));
}

// The round's end is written after its last answer: the round goes up again with it.
void TestUploadJournal::aRoundThatChangedGoesUpAgain() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playRound(store, u"Ada"_qs, kStart, 2, false);
    UploadJournal journal(store.path(), u"service=a"_qs);
    QCOMPARE(sendAll(journal).size(), 2);
    QVERIFY(journal.next()->empty());
    store.roundEnded({2, 0, 0, 6, false}, true, kStart.addSecs(9));
    const auto batch = journal.next();
    QVERIFY(batch && batch->answers.empty());
    QCOMPARE(batch->rounds.size(), size_t(1));
    QVERIFY(batch->rounds[0].finished);
    QCOMPARE(batch->rounds[0].ended, std::optional<qint64>(history::toStored(kStart) + 9));
    QVERIFY(journal.markSent(*batch));
    QVERIFY(journal.next()->empty());
}

// The newest answers belong to a player whose history is deleted: the next answers take the
// same ids again, and still wait for the server. A batch read before the removal does not
// move the mark over them.
void TestUploadJournal::removedAnswersNeverHideNewOnes() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playRound(store, u"Ada"_qs, kStart, 1);
    playRound(store, u"Bo"_qs, kStart.addSecs(60), 2);
    UploadJournal journal(store.path(), u"service=a"_qs);
    QCOMPARE(sendAll(journal).size(), 3);
    QVERIFY(store.deletePlayerHistory(u"Bo"_qs));
    playRound(store, u"Ada"_qs, kStart.addSecs(120), 2, false);
    QCOMPARE(journal.waiting(), std::optional<qint64>(2));

    const auto read = journal.next();
    QCOMPARE(read->answers.size(), size_t(2));
    QVERIFY(store.deletePlayerHistory(u"Ada"_qs));
    playRound(store, u"Cy"_qs, kStart.addSecs(180), 1, false);
    QVERIFY(!journal.markSent(*read)); // removed meanwhile: read again
    QCOMPARE(sendAll(journal), QStringList{u"Cy 1 1"_qs});
}

// A round kept from before round ids was copied to a second computer by a merge; both send
// it, and it gets the same id on both, so merging one file into the other later adds nothing.
// Two such rounds of one player begun in the same second stay two.
void TestUploadJournal::oldRoundsGetTheSameIdOnEveryComputer() {
    TestEnv env;
    const QString twin =
        u"INSERT INTO player VALUES (1, 'Ada');"
        "INSERT INTO round(id, player, started, kind) VALUES (1, 1, 100, 2);"
        "INSERT INTO round(id, player, started, kind) VALUES (2, 1, 100, 2);"
        "INSERT INTO answer VALUES (1, 1, 1, 101, 2, 1, 1, 2, 2, 0, 900, 1, 0);"
        "INSERT INTO answer VALUES (2, 2, 1, 101, 2, 1, 2, 3, 3, 0, 900, 1, 0);"_qs;
    const QString here = makeFirstVersionFile(env.path(u"Kalmix.db"_qs), twin);
    const QString there = makeFirstVersionFile(env.path(u"other.db"_qs), twin);
    QStringList uids;
    for (const QString& path : {here, there}) {
        UploadJournal journal(path, u"service=a"_qs);
        QVERIFY(journal.giveRoundIds());
        const auto batch = journal.next();
        QCOMPARE(batch->rounds.size(), size_t(2));
        QVERIFY(batch->rounds[0].uid != 0 && batch->rounds[0].uid != batch->rounds[1].uid);
        uids << QString::number(batch->rounds[0].uid) + u' ' +
                    QString::number(batch->rounds[1].uid);
    }
    QCOMPARE(uids[0], uids[1]);
    HistoryStore store(here);
    const MergeResult merged = store.merge(there);
    QVERIFY(merged.ok);
    QCOMPARE(merged.rounds, 0);
    QCOMPARE(merged.answers, 0);
}

QTEST_MAIN(TestUploadJournal)
#include "tst_uploadjournal.moc"
