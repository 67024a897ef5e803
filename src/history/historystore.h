#pragma once

// The practice history: every judged answer and every round, kept in Kalmix.db beside the
// settings file, and the figures the report window and the command line read from it.

#include "engine/gameevents.h"
#include "engine/trickytasks.h"
#include "history/historyfigures.h"
#include "history/historyfile.h"
#include "history/reportsource.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class QSqlQuery;

namespace kalmix {

class HistoryStore final : public GameEvents, public ReportSource, public TrickySource {
public:
    // path empty: Kalmix.db in the settings file's directory, decided when it is first needed.
    explicit HistoryStore(const QString& path = {});
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    static QString defaultPath();
    QString path() const;

    // Opens an existing history for reading only (the command line): false with the reason
    // when there is none or it is no readable Kalmix history. Nothing is renamed or created.
    bool openExisting(QString* error);

    // GameEvents: the file is opened when a round starts; each answer is one transaction. An
    // answer the file cannot take just now (another program holds it) is kept in memory, in
    // order, and written with the next one, at the round's end or by finish().
    void roundStarted(const QString& player, int kind, const QDateTime& at) override;
    void taskShown(const TaskFacts& task, bool again) override;
    void answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                      double seconds, const QDateTime& at) override;
    void roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) override;

    // ReportSource
    QList<ReportPlayer> players() override;
    QList<ReportDay> days(const QString& player, QDate first, QDate last) override;
    ReportTotals totals(const QString& player, const QDateTime& since) override;
    QList<ReportFact> facts(const QString& player, const QString& operation, int maxA,
                            int maxB) override;
    QList<ReportTrickyTask> trickyTasks(const QString& player, const QDateTime& since,
                                        int count) override;
    QList<ReportClassRow> classOverview(const QDateTime& now) override;
    bool exportCsv(const QString& path, const QString& player, QString* error) override;
    // The same CSV onto a device that is open for writing (the command line's standard
    // output); false with the reason when a write fails.
    bool writeCsv(QIODevice& out, const QString& player, QString* error);
    MergeResult merge(const QString& path, MergeControl& control) override;
    using ReportSource::merge;
    bool deletePlayerHistory(const QString& player) override;

    // TrickySource: the player's facts that are tricky now.
    QList<TaskFacts> trickyTasks(const QString& player) override;
    using ReportSource::trickyTasks;

    // Writes what is still owed (waiting up to a second for a file another program holds, and
    // saying so when even that is not enough), carries the journal into the file and closes it.
    // The program calls it as it ends; the store does it when it goes.
    void finish();

    // Tests: extra Qt SQLite connect options (e.g. "QSQLITE_OPEN_READONLY") for the next open,
    // a page limit that makes the disk seem full, and how long finish() waits for a busy file.
    void setConnectOptionsForTesting(const QString& options);
    void setMaxPageCountForTesting(int pages);
    void setFinishWaitForTesting(int ms);
    // Messages are said on stderr instead of in a message box (the command line).
    void setQuiet(bool quiet);

    // One answer of a player, as the queries read it.
    using Row = AnswerRow;

private:
    enum class Open { Create, ExistingOnly };
    // True with the file open and ready; otherwise m_openFailure says whether to try later.
    bool ensureOpen(Open mode);
    bool openFile(bool create);
    bool stillAtPath() const;
    void leaveMovedFile();
    void close();
    bool setAside(const QString& why);
    void setBusyTimeout(int ms);

    // A round of this run, and where it is in the open file (0: not yet written there).
    struct Round {
        QString player;
        int kind = 0;
        QDateTime started;
        qint64 row = 0;
    };
    // A write the file is owed: an answer, or the end of a round.
    struct Owed {
        quint64 round = 0;
        bool end = false;
        TaskFacts task;
        std::optional<int> given;
        int outcome = 0;
        int ms = 0;
        int attempt = 0;
        QDateTime at;
        int seconds = 0; // the end's
        bool finished = false;
    };
    bool writeOwed();
    bool writeOwedOnce();
    bool writeAnswer(const Owed& owed, Round& round);
    bool writeRound(Round& round);
    bool run(QSqlQuery& q);
    bool run(const QString& sql);
    void forgetRounds();
    void writeFailed(const QString& nativeCode);
    void wroteOk();
    void sayBusy();
    void tell(const QString& text);
    int playerId(const QString& name, bool create);
    const AnswerRows& rowsOf(const QString& player);
    QStringList presentPlayers() const;

    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    QString m_options;
    int m_maxPages = 0;
    bool m_quiet = false;
    bool m_disabled = false; // the file can be used neither as it is nor anew
    bool m_writeToldOnce = false;
    bool m_busyToldOnce = false;
    bool m_held = false; // the last write found the file busy or out of reach
    // How long a statement waits for a file another program holds before the store tries
    // later: short enough that a child never waits for it.
    static constexpr int kBusyMs = 5;
    int m_busyMs = kBusyMs;
    int m_finishWaitMs = 1000;
    history::Failure m_openFailure = history::Failure::Lasting;
    QString m_failCode;                      // the native code of the last failed statement
    std::optional<history::FileId> m_fileId; // what the path named when the file was opened
    std::optional<history::FileId> m_walId;  // and its -wal
    std::unique_ptr<QSqlQuery> m_insertAnswer;
    std::unique_ptr<QSqlQuery> m_updateRound;
    QHash<QString, int> m_playerIds;
    quint64 m_changes = 0; // counts writes, so cached rows are read again after one

    QHash<quint64, Round> m_rounds; // the round being played, and those still owed writes
    std::deque<Owed> m_owed;
    quint64 m_round = 0; // the round being played; 0: none
    quint64 m_lastRound = 0;
    int m_attempt = 0;

    // The last player's answers, read once for the report's several queries.
    QString m_cachedPlayer;
    quint64 m_cachedAt = ~quint64(0);
    AnswerRows m_rows;
};

} // namespace kalmix
