#pragma once

// Looks into a history file beside the store under test, as another tool would.
#include "engine/gameevents.h"
#include "history/historystore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace kalmix::test {

class Peek {
public:
    explicit Peek(const QString& path) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(path);
        db.open();
    }
    ~Peek() {
        { QSqlDatabase::database(kName, false).close(); }
        QSqlDatabase::removeDatabase(kName);
    }
    // The rows of a query, each row's fields joined by "|", NULL as "-".
    QStringList rows(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(kName, false));
        QStringList out;
        if (!q.exec(sql))
            return {QStringLiteral("error: ") + sql};
        while (q.next()) {
            QStringList fields;
            for (int i = 0; q.value(i).isValid(); ++i)
                fields << (q.value(i).isNull() ? QStringLiteral("-") : q.value(i).toString());
            out << fields.join(u'|');
        }
        return out;
    }
    QString one(const QString& sql) const { return rows(sql).value(0); }
    // Rounds whose own counts differ from the answers they hold: none in a sound file.
    int inconsistentRounds() const {
        return one(QStringLiteral(
                       "SELECT count(*) FROM round r WHERE solved != (SELECT count(*) FROM answer "
                       "WHERE round = r.id AND outcome = 0) OR wrong != (SELECT count(*) FROM "
                       "answer WHERE round = r.id AND outcome = 1) OR tasks != (SELECT count(*) "
                       "FROM answer WHERE round = r.id AND attempt = 1)"))
            .toInt();
    }

private:
    static inline const QString kName = QStringLiteral("peek");
};

// An addition task and its answers, told to a store as the game tells them.
inline TaskFacts plus(int a, int b) {
    return TaskFacts{2, QStringLiteral("+"), a, b, a + b};
}

inline void answer(HistoryStore& s, const TaskFacts& t, Outcome o, const QDateTime& at,
                   double seconds = 2.0) {
    const int given = o == Outcome::Wrong ? t.expected + 1 : t.expected;
    s.answerJudged(t, given, o, seconds, at);
}

} // namespace kalmix::test
