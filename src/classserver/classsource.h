#pragma once

// The class as the class server holds it: what the report window shows and the tricky tasks a
// round draws, read from the answers of every computer of the class. While the server cannot
// be used, the figures come from this computer's history, and the report says so.

#include "classserver/pgconnection.h"
#include "engine/trickytasks.h"
#include "history/commandline.h"
#include "history/historyfigures.h"
#include "history/reportsource.h"

#include <QIODevice>
#include <optional>

namespace kalmix {

class HistoryStore;

// --export-csv FILE --class-server: the answers of a class (className, or Kalmix.ini's Klasse
// when it is empty) from the class server Kalmix.ini names.
ClassExport exportClassCsv(QIODevice& out, const QString& className, const QString& player,
                           QString* error);

// The class server of Kalmix.ini ([Optionen] Klassenserver and Klasse).
struct ClassServerConfig {
    QString conninfo;  // libpq's connection string
    QString className; // trimmed; empty when Klasse is missing or no class name
    bool operator==(const ClassServerConfig&) const = default;
};
// None when Klassenserver is missing or empty: Kalmix reads its own history, as always.
std::optional<ClassServerConfig> classServerConfig();

class ClassServerSource final : public ReportSource, public TrickySource {
public:
    // local: this computer's history, for what stays on this computer (the merge of another
    // computer's file, deleting a player's history) and for reading while the server cannot
    // be used.
    ClassServerSource(ClassServerConfig config, HistoryStore& local);
    ~ClassServerSource() override;

    // How long a reader waits. The report: some seconds to connect and for each statement;
    // a round's start (the tricky tasks): about one second for both, so the child never
    // waits longer.
    struct Waits {
        int connectSeconds = 3;
        int statementMs = 5000;
        int trickyConnectSeconds = 1;
        int trickyStatementMs = 1000;
        // After a failure the game does not try the server again for this long.
        int trickyRetryMs = 60000;
    };
    void setWaits(const Waits& waits) { m_waits = waits; }
    const ClassServerConfig& config() const { return m_config; }

    // ReportSource
    void beginReading() override;
    QString origin() override;
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

    // TrickySource: the player's tricky facts from the answers of every computer.
    QList<TaskFacts> trickyTasks(const QString& player) override;

    // The class's answers (the columns of the server's answers view) as CSV, as the history
    // store writes its own; all players when player is empty. Never falls back: what failed,
    // with the reason, when the server cannot be read or the device written.
    ClassExport writeCsv(QIODevice& out, const QString& player, QString* error);

    // Whether the last reading came from the server, and why not.
    bool readingServer() const { return m_state == State::Server; }
    ServerError lastError() const { return m_error; }

private:
    enum class State { Untried, Server, Local };
    // Ready to read from the server; otherwise the report reads the local history.
    bool useServer();
    bool connect(int timeoutSeconds);
    void fellBack(const ServerError& error);
    // A statement of the report; on failure the report goes on with the local history.
    bool query(const QString& sql, const QVariantList& params, PgResult* result);
    // The player's answers from the server, in the order they were made.
    bool readRows(const QString& player, int connectSeconds, int timeoutMs, AnswerRows* rows);
    // A statement on the connection; one that was made for an earlier reading and has been
    // lost since is made anew once.
    ServerError exec(const QString& sql, const QVariantList& params, PgResult* result,
                     int connectSeconds, int timeoutMs);
    const AnswerRows* rowsOf(const QString& player);

    ClassServerConfig m_config;
    HistoryStore& m_local;
    Waits m_waits;
    PgConnection m_db;
    State m_state = State::Untried;
    bool m_reused = false; // the connection was made for an earlier reading
    ServerError m_error;
    qint64 m_trickyRetryAt = 0; // the game's next try after a failure (monotonic ms)

    // The last player's answers, read once for the report's several figures.
    QString m_cachedPlayer;
    qint64 m_cachedAt = 0;
    bool m_cached = false;
    AnswerRows m_rows;
};

} // namespace kalmix
