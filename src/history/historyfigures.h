#pragma once

// The figures of the report, worked out from a player's answers in the order they were made.
// The history store reads the answers from Kalmix.db, the class server's reader from the
// server: both give the same figures for the same answers.

#include "engine/trickytasks.h"
#include "history/reportsource.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

namespace kalmix {

// One answer of a player, as the figures read it. at: the local time as Kalmix.db keeps it
// (history::toStored); round: the same number for the answers of one round, another for each
// other round; op and outcome: the codes Kalmix.db keeps.
struct AnswerRow {
    qint64 at;
    qint64 round;
    int op;
    int a;
    std::optional<int> b;
    int expected;
    int outcome;
    int ms;
    int attempt;
};
using AnswerRows = std::vector<AnswerRow>;

// The time as the rows keep it; invalid: before every answer.
qint64 storedSince(const QDateTime& since);

QList<ReportDay> answerDays(const AnswerRows& rows, QDate first, QDate last);
// Everything but the rounds, which the answers do not tell.
ReportTotals answerTotals(const AnswerRows& rows, qint64 since);
QList<ReportFact> answerFacts(const AnswerRows& rows, const QString& operation, int maxA, int maxB);
QList<ReportTrickyTask> answerTrickyTasks(const AnswerRows& rows, qint64 since, int count);
// The facts that are tricky now.
QList<TaskFacts> trickyFactsOf(const AnswerRows& rows);

} // namespace kalmix
