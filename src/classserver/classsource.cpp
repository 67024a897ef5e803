// The report and the tricky tasks of a class, read from the class server, with this computer's
// history standing in while the server cannot be used.
#include "classserver/classsource.h"

#include "classserver/classschema.h"
#include "classserver/naturalorder.h"
#include "history/csvfile.h"
#include "history/historyschema.h"
#include "history/historystore.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/clock.h"
#include "services/lang.h"

#include <QHash>
#include <QMap>
#include <algorithm>

namespace kalmix {

using namespace history;

namespace {

constexpr int kLongestClassName = 40;
// The answers of a player read once serve the report's figures for this long.
constexpr qint64 kRowsFreshMs = 5000;

// The columns of the server's answers view: those of this computer's, then the class and the
// computer.
const char kCsvColumns[] = "player, round_started, answered_at, kind, operation, a, b, "
                           "expected, answer, outcome, seconds, attempt, tricky, class, machine";
constexpr int kSecondsColumn = 10;
constexpr int kClassColumn = 13;

// The server keeps the computers' times as their histories do (the wall clock, written as
// if it were UTC), so the seconds since 1970 are the history's own numbers.
QVariant serverTime(const QDateTime& since) {
    return since.isValid() ? QVariant(toStored(since)) : QVariant();
}

} // namespace

std::optional<ClassServerConfig> classServerConfig() {
    const QString conninfo =
        GetIniString(QStringLiteral("Optionen"), QStringLiteral("Klassenserver"), QString())
            .trimmed();
    if (conninfo.isEmpty())
        return std::nullopt;
    QString name =
        GetIniString(QStringLiteral("Optionen"), QStringLiteral("Klasse"), QString()).trimmed();
    if (name.size() > kLongestClassName)
        name.clear();
    return ClassServerConfig{conninfo, name};
}

ClassServerSource::ClassServerSource(ClassServerConfig config, HistoryStore& local)
    : m_config(std::move(config)), m_local(local) {
    m_config.className = m_config.className.trimmed();
}

ClassServerSource::~ClassServerSource() = default;

void ClassServerSource::beginReading() {
    // A connection still open from the last reading is used again (connecting with a
    // password costs more than the report's reading); one the server has closed since is
    // made anew on its first statement.
    m_state = m_db.isOpen() ? State::Server : State::Untried;
    m_reused = m_db.isOpen();
    m_error = {};
    m_cached = false;
}

bool ClassServerSource::connect(int timeoutSeconds) {
    if (m_config.className.isEmpty() || m_config.className.size() > kLongestClassName) {
        m_error = ServerError::of(ServerProblem::Other);
        m_error.className = m_config.className;
        return false;
    }
    m_db.close();
    m_reused = false;
    m_error = m_db.open(m_config.conninfo, timeoutSeconds);
    // The tables are read as this Kalmix knows them: not from a server without them, nor
    // from one a newer Kalmix has changed.
    m_db.setStatementTimeout(timeoutSeconds * 1000);
    if (m_error.ok())
        m_error = checkClassSchema(m_db);
    if (!m_error.ok())
        m_db.close();
    return m_error.ok();
}

ServerError ClassServerSource::exec(const QString& sql, const QVariantList& params,
                                    PgResult* result, int connectSeconds, int timeoutMs) {
    ServerError e = m_db.exec(sql, params, result, timeoutMs);
    // The server restarted (or dropped an idle connection) since the connection was made:
    // once more on a new one. A server that does not answer in time is not asked twice.
    if (!e.ok() && m_reused && e.problem == ServerProblem::Unreachable) {
        if (!connect(connectSeconds))
            return m_error;
        e = m_db.exec(sql, params, result, timeoutMs);
    }
    m_reused = false;
    return e;
}

bool ClassServerSource::useServer() {
    if (m_state == State::Untried) {
        if (connect(m_waits.connectSeconds))
            m_state = State::Server;
        else
            fellBack(m_error);
    }
    return m_state == State::Server;
}

void ClassServerSource::fellBack(const ServerError& error) {
    m_state = State::Local;
    m_error = error;
    m_db.close();
    m_cached = false;
}

QString ClassServerSource::origin() {
    if (useServer())
        return langText(445).arg(m_config.className);
    if (m_config.className.isEmpty() || m_config.className.size() > kLongestClassName)
        return langText(447);
    return langText(446) + u'\n' + describe(m_error);
}

bool ClassServerSource::query(const QString& sql, const QVariantList& params, PgResult* result) {
    if (!useServer())
        return false;
    const ServerError e = exec(sql, params, result, m_waits.connectSeconds, m_waits.statementMs);
    if (!e.ok())
        fellBack(e);
    return e.ok();
}

bool ClassServerSource::readRows(const QString& player, int connectSeconds, int timeoutMs,
                                 AnswerRows* rows) {
    rows->clear();
    PgResult r;
    // In the order the answers were made, as the history keeps them: by time, then (within
    // one second) the rounds in the order they began and each round's answers in its own
    // order. An answer with a code no Kalmix writes is no task of the child's.
    m_error =
        exec(QStringLiteral(
                 "SELECT floor(extract(epoch FROM x.at))::bigint, x.round_uid, x.op, x.a, x.b, "
                 "x.expected, x.outcome, x.ms, x.attempt "
                 "FROM kalmix.answer x LEFT JOIN kalmix.round r ON r.class = $1 AND "
                 "r.uid = x.round_uid AND r.player = $2 "
                 "WHERE x.class = $1 AND x.player = $2 AND x.op BETWEEN 0 AND 5 AND "
                 "x.outcome BETWEEN 0 AND 2 AND x.attempt >= 1 "
                 "ORDER BY x.at, r.started, x.round_uid, x.seq"),
             {m_config.className, player}, &r, connectSeconds, timeoutMs);
    if (!m_error.ok())
        return false;
    // Each round, known in the class by its id, gets a small number of its own here.
    QHash<qint64, qint64> rounds;
    rows->reserve(size_t(r.rows()));
    for (int i = 0; i < r.rows(); ++i) {
        auto round = rounds.find(r.number(i, 1));
        if (round == rounds.end())
            round = rounds.insert(r.number(i, 1), qint64(rounds.size()) + 1);
        rows->push_back({r.number(i, 0), *round, int(r.number(i, 2)), int(r.number(i, 3)),
                         r.isNull(i, 4) ? std::nullopt : std::optional<int>(int(r.number(i, 4))),
                         int(r.number(i, 5)), int(r.number(i, 6)), int(r.number(i, 7)),
                         int(r.number(i, 8))});
    }
    return true;
}

const AnswerRows* ClassServerSource::rowsOf(const QString& player) {
    if (!useServer())
        return nullptr;
    const qint64 now = clock().monotonicMs();
    if (m_cached && m_cachedPlayer == player && now - m_cachedAt < kRowsFreshMs)
        return &m_rows;
    m_cached = false;
    if (!readRows(player, m_waits.connectSeconds, m_waits.statementMs, &m_rows)) {
        fellBack(m_error);
        return nullptr;
    }
    m_cached = true;
    m_cachedPlayer = player;
    m_cachedAt = now;
    return &m_rows;
}

QList<ReportPlayer> ClassServerSource::players() {
    PgResult r;
    if (!query(QStringLiteral("SELECT DISTINCT player FROM kalmix.round WHERE class = $1"),
               {m_config.className}, &r))
        return m_local.players();
    // The server keeps every child of the class, whichever computer they last used: none of
    // them counts as deleted.
    QStringList names;
    for (int i = 0; i < r.rows(); ++i)
        names.append(r.value(i, 0));
    std::sort(names.begin(), names.end(), naturalLess);
    QList<ReportPlayer> result;
    for (const QString& name : names)
        result.append(ReportPlayer{name, false});
    return result;
}

QList<ReportDay> ClassServerSource::days(const QString& player, QDate first, QDate last) {
    if (const AnswerRows* rows = rowsOf(player))
        return answerDays(*rows, first, last);
    return m_local.days(player, first, last);
}

ReportTotals ClassServerSource::totals(const QString& player, const QDateTime& since) {
    if (const AnswerRows* rows = rowsOf(player)) {
        ReportTotals result = answerTotals(*rows, storedSince(since));
        PgResult r;
        if (query(QStringLiteral("SELECT count(*) FROM kalmix.round WHERE class = $1 AND "
                                 "player = $2 AND ($3::bigint IS NULL OR "
                                 "started >= to_timestamp($3::bigint))"),
                  {m_config.className, player, serverTime(since)}, &r)) {
            result.rounds = int(r.number(0, 0));
            return result;
        }
    }
    return m_local.totals(player, since);
}

QList<ReportFact> ClassServerSource::facts(const QString& player, const QString& operation,
                                           int maxA, int maxB) {
    if (const AnswerRows* rows = rowsOf(player))
        return answerFacts(*rows, operation, maxA, maxB);
    return m_local.facts(player, operation, maxA, maxB);
}

QList<ReportTrickyTask> ClassServerSource::trickyTasks(const QString& player,
                                                       const QDateTime& since, int count) {
    if (const AnswerRows* rows = rowsOf(player))
        return answerTrickyTasks(*rows, storedSince(since), count);
    return m_local.trickyTasks(player, since, count);
}

// From the rounds' own counts, as this computer's history works it out, for every child of
// the class; this computer's players who have not played yet are listed too.
QList<ReportClassRow> ClassServerSource::classOverview(const QDateTime& now) {
    PgResult r;
    if (!query(QStringLiteral(
                   "SELECT player, floor(extract(epoch FROM max(started)))::bigint, "
                   "count(*) FILTER (WHERE started >= to_timestamp($2)), "
                   "sum(tasks), sum(first_right), "
                   "coalesce(sum(tasks) FILTER (WHERE started >= to_timestamp($2)), 0), "
                   "coalesce(sum(first_right) FILTER (WHERE started >= to_timestamp($2)), 0), "
                   "coalesce(sum(tasks) FILTER (WHERE started >= to_timestamp($3) AND "
                   "started < to_timestamp($2)), 0), "
                   "coalesce(sum(first_right) FILTER (WHERE started >= to_timestamp($3) AND "
                   "started < to_timestamp($2)), 0) "
                   "FROM kalmix.round WHERE class = $1 GROUP BY player"),
               {m_config.className, toStored(now.addDays(-7)), toStored(now.addDays(-14))}, &r))
        return m_local.classOverview(now);
    QMap<QString, ReportClassRow> rows;
    for (const QString& name : readPlayerNames())
        rows[name].player = name;
    for (int i = 0; i < r.rows(); ++i) {
        const QString name = r.value(i, 0);
        ReportClassRow& row = rows[name];
        row.player = name;
        row.lastRound = fromStored(r.number(i, 1));
        row.roundsThisWeek = int(r.number(i, 2));
        row.tasks = int(r.number(i, 3));
        row.shareRightFirstTry = row.tasks ? double(r.number(i, 4)) / row.tasks : 0.0;
        const qint64 lastTasks = r.number(i, 5);
        const qint64 beforeTasks = r.number(i, 7);
        if (lastTasks > 0 && beforeTasks > 0) {
            const double change = double(r.number(i, 6)) / double(lastTasks) -
                                  double(r.number(i, 8)) / double(beforeTasks);
            row.trend = change >= 0.05 ? 1 : change <= -0.05 ? -1 : 0;
        }
    }
    QList<ReportClassRow> result = rows.values();
    std::sort(result.begin(), result.end(),
              [](const auto& x, const auto& y) { return naturalLess(x.player, y.player); });
    return result;
}

bool ClassServerSource::exportCsv(const QString& path, const QString& player, QString* error) {
    // While the report shows this computer's history, that is what it exports.
    if (!useServer())
        return m_local.exportCsv(path, player, error);
    return saveCsv(
        path,
        [&](QIODevice& out, QString* why) {
            return writeCsv(out, player, why) == ClassExport::Done;
        },
        error);
}

ClassExport ClassServerSource::writeCsv(QIODevice& out, const QString& player, QString* error) {
    if (!useServer()) {
        *error = describe(m_error);
        return ClassExport::ServerFailed;
    }
    const auto failed = [&](const ServerError& e) {
        m_db.rollback();
        fellBack(e);
        *error = describe(e);
        return ClassExport::ServerFailed;
    };
    // A class may have millions of answers: they come in parts through a cursor, each part
    // with its own deadline.
    ServerError e =
        exec(QStringLiteral("BEGIN"), {}, nullptr, m_waits.connectSeconds, m_waits.statementMs);
    if (!e.ok())
        return failed(e);
    e = m_db.exec(QStringLiteral("DECLARE answers NO SCROLL CURSOR FOR SELECT %1 FROM "
                                 "kalmix.answers WHERE class = $1 %2 "
                                 "ORDER BY answered_at, player, machine")
                      .arg(QLatin1String(kCsvColumns),
                           player.isEmpty() ? QString() : QStringLiteral("AND player = $2")),
                  player.isEmpty() ? QVariantList{m_config.className}
                                   : QVariantList{m_config.className, player},
                  nullptr, m_waits.statementMs);
    if (!e.ok())
        return failed(e);
    QByteArray bytes = QByteArray(kCsvColumns).replace(" ", "") + "\r\n";
    for (;;) {
        PgResult r;
        e = m_db.exec(QStringLiteral("FETCH 10000 FROM answers"), {}, &r, m_waits.statementMs);
        if (!e.ok())
            return failed(e);
        for (int i = 0; i < r.rows(); ++i) {
            for (int c = 0; c < r.columns(); ++c) {
                if (c)
                    bytes += ',';
                // The seconds as this computer's export writes them; the names of the player
                // and of the class are free text.
                const QVariant v = r.isNull(i, c)        ? QVariant()
                                   : c == kSecondsColumn ? QVariant(r.value(i, c).toDouble())
                                                         : QVariant(r.value(i, c));
                bytes += csvField(v, c == 0 || c == kClassColumn);
            }
            bytes += "\r\n";
        }
        if (!writeWhole(out, bytes, error)) {
            m_db.rollback();
            return ClassExport::WriteFailed;
        }
        bytes.clear();
        if (r.rows() == 0)
            break;
    }
    m_db.rollback(); // it only read
    return ClassExport::Done;
}

ClassExport exportClassCsv(QIODevice& out, const QString& className, const QString& player,
                           QString* error) {
    std::optional<ClassServerConfig> config = classServerConfig();
    if (!config) {
        *error = QStringLiteral("Kalmix.ini names no class server (Klassenserver in [Optionen]).");
        return ClassExport::ServerFailed;
    }
    if (!className.isEmpty())
        config->className = className.trimmed();
    if (config->className.isEmpty() || config->className.size() > kLongestClassName) {
        *error = QStringLiteral("Kalmix.ini names no class (Klasse in [Optionen]); give one "
                                "with --class NAME.");
        return ClassExport::ServerFailed;
    }
    HistoryStore unused; // the export never falls back to this computer's history
    ClassServerSource source(*config, unused);
    return source.writeCsv(out, player, error);
}

MergeResult ClassServerSource::merge(const QString& path, MergeControl& control) {
    return m_local.merge(path, control);
}

bool ClassServerSource::deletePlayerHistory(const QString& player) {
    return m_local.deletePlayerHistory(player);
}

QList<TaskFacts> ClassServerSource::trickyTasks(const QString& player) {
    // After a failure the game reads its own history for a while, so that no round waits
    // for a server that is not there.
    const qint64 now = clock().monotonicMs();
    if (now >= m_trickyRetryAt) {
        AnswerRows rows;
        m_reused = m_db.isOpen();
        if ((m_reused || connect(m_waits.trickyConnectSeconds)) &&
            readRows(player, m_waits.trickyConnectSeconds, m_waits.trickyStatementMs, &rows)) {
            m_trickyRetryAt = 0;
            return trickyFactsOf(rows);
        }
        m_db.close();
        m_trickyRetryAt = now + m_waits.trickyRetryMs;
    }
    return m_local.trickyTasks(player);
}

} // namespace kalmix
