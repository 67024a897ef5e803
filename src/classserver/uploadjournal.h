#pragma once

// The local side of sending the practice history to the class server: Kalmix.db stays the
// journal, and this reads from it what the server does not have yet and remembers what the
// server has committed. One journal serves one thread (it opens the file with a connection of
// its own) and one server (the connection text it is known by).

#include <QString>
#include <optional>
#include <vector>

namespace kalmix {

// A round as the server keeps it (times in the history's stored seconds).
struct UploadRound {
    qint64 uid = 0;
    QString player;
    qint64 started = 0;
    std::optional<qint64> ended;
    int kind = 0;
    int solved = 0;
    int wrong = 0;
    int helped = 0;
    std::optional<int> seconds;
    bool finished = false;
    int tasks = 0;
    int firstRight = 0;
};

// An answer as the server keeps it: known there by its round's uid and its place in the round.
struct UploadAnswer {
    qint64 roundUid = 0;
    int seq = 0;
    QString player;
    qint64 at = 0;
    int op = 0;
    int a = 0;
    std::optional<int> b;
    int expected = 0;
    std::optional<int> given;
    int outcome = 0;
    int ms = 0;
    int attempt = 0;
    bool tricky = false;
};

// What one server transaction sends, and where the marks stand once the server has it.
struct UploadBatch {
    std::vector<UploadRound> rounds; // every round the answers belong to, and rounds changed
    std::vector<UploadAnswer> answers;
    qint64 lastAnswer = 0; // the marks after this batch
    qint64 lastChange = 0;
    qint64 removals = 0; // answers removed from the history so far, as read
    bool moves = false;  // the marks move (something was read past them)
    bool empty() const { return rounds.empty() && answers.empty() && !moves; }
};

class UploadJournal {
public:
    // busyMs: how long a statement waits for the file while another connection writes it.
    UploadJournal(const QString& path, const QString& server, int busyMs = 250);
    ~UploadJournal();
    UploadJournal(const UploadJournal&) = delete;
    UploadJournal& operator=(const UploadJournal&) = delete;

    // Opens the history when there is one (it is never created here) and brings it to this
    // program's schema. False while there is none or it cannot be used now.
    bool open();
    bool isOpen() const;

    // Answers the server does not have yet; nothing when the history cannot be read.
    std::optional<qint64> waiting();

    // Rounds kept from before rounds had ids get one now, once: the same for the same player
    // and start on every computer, so a history merged later still knows the round.
    bool giveRoundIds();

    // The next batch: at most maxAnswers answers past the mark, their rounds, and up to
    // maxRounds rounds that changed since they were sent. Nothing when the file cannot be read.
    std::optional<UploadBatch> next(int maxAnswers = 500, int maxRounds = 200);

    // The server committed the batch: the marks move in the file. False when they stay
    // (answers were removed meanwhile, so what was read is read again; the server adds nothing
    // twice), or the file cannot be written now.
    bool markSent(const UploadBatch& batch);
    // The server committed the batch: this journal reads on from there, while the marks in
    // the file are moved by another connection (the uploader's thread never writes them, so
    // it never holds the file while the game writes an answer).
    void rememberSent(const UploadBatch& batch);

    // The uid a round kept from before round ids gets (never 0); `twin` counts the player's
    // earlier rounds of the same start.
    static qint64 derivedUid(const QString& player, qint64 started, int twin = 0);

private:
    struct Marks {
        qint64 lastAnswer = 0;
        qint64 lastChange = 0;
        qint64 removals = 0;
    };
    std::optional<Marks> marks();
    bool ensureMarkRow();
    void close();

    QString m_path;
    QString m_server;
    QString m_connection;
    int m_busyMs;
    std::optional<Marks> m_committed; // committed on the server, perhaps not yet marked here
};

} // namespace kalmix
