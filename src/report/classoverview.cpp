#include "report/classoverview.h"

#include "report/reportchart.h"
#include "report/reportdata.h"
#include "services/lang.h"

#include <QHeaderView>
#include <QTableWidget>

namespace kalmix {

namespace {

// A cell that sorts by a value of its own rather than by its text.
class SortItem : public QTableWidgetItem {
public:
    SortItem(const QString& text, const QVariant& sortKey) : QTableWidgetItem(text) {
        setData(Qt::UserRole, sortKey);
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return QVariant::compare(data(Qt::UserRole), other.data(Qt::UserRole)) ==
               QPartialOrdering::Less;
    }
};

QString trendArrow(int trend) {
    return trend > 0   ? QStringLiteral("\u2191")
           : trend < 0 ? QStringLiteral("\u2193")
                       : QStringLiteral("\u2192");
}

} // namespace

QStringList classColumnTitles() {
    return {langText(335), langText(332), langText(333),
            langText(317), langText(312), langText(334)};
}

QStringList classRowTexts(const ReportClassRow& row) {
    const QLocale l = reportLocale();
    return {playerLabel({row.player, row.deleted}),
            row.lastRound.isValid() ? l.toString(row.lastRound, QLocale::ShortFormat)
                                    : QStringLiteral("\u2013"),
            l.toString(row.roundsThisWeek),
            l.toString(row.tasks),
            row.tasks > 0 ? shareText(qRound(row.shareRightFirstTry * 1000), 1000)
                          : QStringLiteral("\u2013"),
            trendArrow(row.trend)};
}

void fillClassTable(QTableWidget& table, const QList<ReportClassRow>& rows) {
    table.setSortingEnabled(false);
    table.clearContents();
    table.setColumnCount(6);
    table.setRowCount(static_cast<int>(rows.size()));
    table.setHorizontalHeaderLabels(classColumnTitles());
    for (int r = 0; r < rows.size(); ++r) {
        const ReportClassRow& row = rows[r];
        const QStringList texts = classRowTexts(row);
        // Names sort in the order the history gives them (the class server's in natural
        // order, "Player 2" before "Player 10"): the present players before the deleted ones.
        const QVariant keys[6] = {QVariant((row.deleted ? qint64(1) << 32 : 0) + r),
                                  QVariant(row.lastRound.isValid()
                                               ? row.lastRound.toMSecsSinceEpoch()
                                               : std::numeric_limits<qint64>::min()),
                                  QVariant(row.roundsThisWeek),
                                  QVariant(row.tasks),
                                  QVariant(row.tasks > 0 ? row.shareRightFirstTry : -1.0),
                                  QVariant(row.trend)};
        for (int c = 0; c < 6; ++c) {
            auto* item = new SortItem(texts[c], keys[c]);
            if (c > 0)
                item->setTextAlignment(c == 1 ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
            if (c == 5) {
                item->setTextAlignment(Qt::AlignCenter);
                QFont bold = table.font();
                bold.setBold(true);
                bold.setPointSizeF(bold.pointSizeF() * 1.2);
                item->setFont(bold);
                item->setForeground(row.trend > 0   ? QColor(0x2E, 0x8B, 0x3E)
                                    : row.trend < 0 ? QColor(0xC0, 0x39, 0x2B)
                                                    : QColor(0x80, 0x80, 0x80));
            }
            if (row.deleted)
                item->setForeground(QColor(0x80, 0x80, 0x80));
            table.setItem(r, c, item);
        }
    }
    table.setSortingEnabled(true);
    table.resizeColumnsToContents();
    table.horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
}

} // namespace kalmix
