#pragma once

#include "history/reportsource.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

namespace kalmix {

// The exercise settings of a player as the settings file keeps them: kind, range of sums
// and the chosen factors.
struct PlayerExercise {
    int kind = 0;
    int maxSum = 10;
    bool zero = false;  // the first addend (and so the difference) may be 0
    QList<int> factors; // ascending, 0 and 2 to 20
};

// Reads the player's section; a player without one (a deleted player) gets the defaults.
PlayerExercise readPlayerExercise(const QString& player);

// The operations of the fact grid ("+", "-", "*", "/"), the player's own kinds first.
QStringList factOperations(int kind);

// How the facts of one operation are laid out. A grid has a row per first value and a column
// per second value of the board's tasks; a large range of sums is shown as a list.
//   +  rows the first addend, columns the second      a = row, b = column
//   -  rows the minuend, columns the subtrahend        a = row, b = column
//   *  rows the chosen factor, columns the multiplier  a = column, b = row
//   /  rows the divisor, columns the quotient          a = row * column, b = row
// The multiplier starts at 2 and the quotient at 3, as the game asks them; both go up to 20
// when a chosen factor is over 10.
struct FactLayout {
    QString operation;
    bool asList = false;
    bool zero = false; // a difference of 0 is asked
    QList<int> rows;
    QList<int> columns;
    int maxA = 0; // the ranges asked of the history
    int maxB = 0;
};
FactLayout factLayout(const PlayerExercise& exercise, const QString& operation);
// The fact (a, b) in a cell, none for a cell outside the player's range.
std::optional<std::pair<int, int>> cellFact(const FactLayout& layout, int row, int column);
// The answer of a fact.
int factResult(const QString& operation, int a, int b);
// The sign a task shows for an operation.
QString operationSign(const QString& operation);
// The sign and the name of the kind, as the operation list shows them.
QString operationName(const QString& operation);

QColor factColor(ReportFact::State state);

// The facts of one operation, painted as a grid, or listed (the practised ones, the most often
// wrong first) for a large range.
class FactGridWidget : public QWidget {
    Q_OBJECT
public:
    explicit FactGridWidget(QWidget* parent = nullptr);
    void setFacts(const FactLayout& layout, const QList<ReportFact>& facts);

    // The state of a cell, as it is painted.
    ReportFact::State cellState(int row, int column) const;
    const FactLayout& layout() const { return m_layout; }
    // The facts the list shows, in its order.
    QList<ReportFact> listed(int most) const;

    // Paints into rect, scaled to fit; used for the screen and for printing.
    void paintFacts(QPainter& p, const QRectF& rect) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent* e) override;

private:
    const ReportFact* factAt(int a, int b) const;
    FactLayout m_layout;
    QHash<quint64, ReportFact> m_facts;
    QList<ReportFact> m_listed; // what the list shows
};

} // namespace kalmix
