#pragma once

// The practice history: every judged answer and every round, kept in Kalmix.db beside the
// settings file, and the figures the report window and the command line read from it.

#include "engine/gameevents.h"
#include "engine/trickytasks.h"
#include "history/reportsource.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <memory>
#include <vector>

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

    // GameEvents: the file is opened when a round starts; each answer is one transaction.
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
    MergeResult merge(const QString& path, MergeControl& control) override;
    using ReportSource::merge;
    bool deletePlayerHistory(const QString& player) override;

    // TrickySource: the player's facts that are tricky now.
    QList<TaskFacts> trickyTasks(const QString& player) override;
    using ReportSource::trickyTasks;

    // Tests: extra Qt SQLite connect options (e.g. "QSQLITE_OPEN_READONLY") for the next open,
    // and a page limit that makes the disk seem full.
    void setConnectOptionsForTesting(const QString& options);
    void setMaxPageCountForTesting(int pages);
    // Messages are said on stderr instead of in a message box (the command line).
    void setQuiet(bool quiet);

    // One answer of a player, as the queries read it.
    struct Row {
        qint64 at;
        int round;
        int op;
        int a;
        std::optional<int> b;
        int expected;
        int outcome;
        int ms;
        int attempt;
    };

private:
    enum class Open { Create, ExistingOnly };
    bool ensureOpen(Open mode);
    bool openFile(bool create);
    void close();
    void setAside(const QString& why);
    bool recordAnswer(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                      double seconds, const QDateTime& at);
    bool writeRound();
    void writeFailed(const QString& nativeCode);
    void wroteOk();
    void tell(const QString& text);
    int playerId(const QString& name, bool create);
    const std::vector<Row>& rowsOf(const QString& player);
    // The player's facts ever missed, and those of them tricky now, as "op a b" keys.
    struct TrickyKeys {
        QSet<QString> missed;
        QSet<QString> tricky;
    };
    TrickyKeys trickyKeys(const QString& player);
    QStringList presentPlayers() const;

    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    QString m_options;
    int m_maxPages = 0;
    bool m_quiet = false;
    bool m_disabled = false; // the file can be used neither as it is nor anew
    bool m_writeToldOnce = false;
    std::unique_ptr<QSqlQuery> m_insertAnswer;
    std::unique_ptr<QSqlQuery> m_updateRound;
    QHash<QString, int> m_playerIds;
    quint64 m_changes = 0; // counts writes, so cached rows are read again after one

    // The round being played.
    QString m_player;
    int m_kind = 0;
    QDateTime m_started;
    qint64 m_roundId = 0;
    int m_attempt = 0;

    // The last player's answers, read once for the report's several queries.
    QString m_cachedPlayer;
    quint64 m_cachedAt = ~quint64(0);
    std::vector<Row> m_rows;
};

} // namespace kalmix
