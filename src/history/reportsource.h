#pragma once

// What the report window reads: plain values, computed by the history store (or by a fake in
// tests). The window only draws them.

#include "history/mergecontrol.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace kalmix {

// A player with history. deleted: no longer in the settings file, kept for the report.
struct ReportPlayer {
    QString name;
    bool deleted = false;
};

// One day of the chart. A task counts once however often it was answered: it was right at
// the first try when its first answer was right without the light bulb.
struct ReportDay {
    QDate day;
    int solved = 0;        // answered right without the light bulb (as the game counts "solved")
    int tasks = 0;         // tasks answered
    int rightFirstTry = 0; // of those, right at the first try
};

// Totals over a span of days (or all time).
struct ReportTotals {
    int rounds = 0;
    int tasks = 0;
    int rightFirstTry = 0;
    int helped = 0;                      // tasks whose answer the light bulb filled in
    std::optional<double> medianSeconds; // per task, from shown to its right or helped answer
};

// One fact of the grid: a op b. How it went in the player's whole history.
struct ReportFact {
    enum class State {
        NotYet,     // never answered
        OftenWrong, // at least a third of its tasks were not right at the first try, or it is
                    // a tricky task still
        Learning,   // answered, neither often wrong nor mastered
        Mastered,   // right at the first try its last three times, at least three times
    };
    int a = 0;
    int b = 0;
    int tasks = 0;
    int rightFirstTry = 0;
    State state = State::NotYet;
    bool leftTricky = false; // was a tricky task and has left that set
};

// A task that was hard in the last 30 days.
struct ReportTrickyTask {
    QString operation; // as in the answers view: "count", "symbols", "+", "-", "*", "/"
    int a = 0;
    std::optional<int> b;
    int expected = 0;
    int tasks = 0;       // times it was asked
    int notFirstTry = 0; // times it was wrong first or filled in by the light bulb
    std::optional<double> medianSeconds;
    bool leftTricky = false;
};

// A row of the class overview.
struct ReportClassRow {
    QString player;
    bool deleted = false;
    QDateTime lastRound;           // started; invalid without any round
    int roundsThisWeek = 0;        // the last 7 days
    int tasks = 0;                 // all time
    double shareRightFirstTry = 0; // all time, 0..1
    int trend = 0; // +1 better, -1 worse, 0 even or too little: the share right at the first
                   // try of the last 7 days against the 7 days before (5 points make a change)
};

struct MergeResult {
    bool ok = false;
    QString error; // why not, in the current language
    int rounds = 0;
    int answers = 0;
    int skipped = 0;        // rows of the other file that no Kalmix writes, left out
    bool cancelled = false; // stopped by Cancel: nothing was added, and nothing needs saying
};

class ReportSource {
public:
    virtual ~ReportSource() = default;
    // The report window opens (or reads everything again): a source that reads from elsewhere
    // tries its way there anew.
    virtual void beginReading() {}
    // Where the figures come from, for a line in the report window; empty: this computer's
    // history, which needs no word.
    virtual QString origin() { return {}; }
    // Players with history: the present ones by name, then the deleted ones by name.
    virtual QList<ReportPlayer> players() = 0;
    // One entry per day from first to last, days without tasks too.
    virtual QList<ReportDay> days(const QString& player, QDate first, QDate last) = 0;
    // since invalid: all time.
    virtual ReportTotals totals(const QString& player, const QDateTime& since) = 0;
    // The facts of an operation ("+", "-", "*", "/") that fall into the given operand ranges.
    virtual QList<ReportFact> facts(const QString& player, const QString& operation, int maxA,
                                    int maxB) = 0;
    // The tasks most often wrong (or helped), then slowest, since the given time.
    virtual QList<ReportTrickyTask> trickyTasks(const QString& player, const QDateTime& since,
                                                int count) = 0;
    virtual QList<ReportClassRow> classOverview(const QDateTime& now) = 0;
    // The rows of the answers view as CSV (UTF-8 without BOM, header row, commas, RFC 4180
    // quoting, CR LF line ends); all players when player is empty. False with error on failure.
    virtual bool exportCsv(const QString& path, const QString& player, QString* error) = 0;
    // Adds the history of another computer's store file; answers present already are skipped.
    // The slow part runs through control.run, on a thread of its own; Cancel changes nothing.
    virtual MergeResult merge(const QString& path, MergeControl& control) = 0;
    // The same, simply waited for.
    MergeResult merge(const QString& path) {
        MergeControl control;
        return merge(path, control);
    }
    // Removes a player's whole history (the settings window's delete, when asked for). True
    // when nothing of it is left.
    virtual bool deletePlayerHistory(const QString& player) {
        Q_UNUSED(player);
        return false;
    }
};

// The program's history, for the report window and the command line: null until the program
// has set it (tests set a fake).
ReportSource* reportSource();
void setReportSource(ReportSource* source);

} // namespace kalmix
