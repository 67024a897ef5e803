#pragma once

#include "history/reportsource.h"

#include <QWidget>

namespace kalmix {

// The chart of the last weeks: the tasks solved per day as bars against the left scale, the
// share right at the first try as a line against the right scale (days without tasks leave a
// gap in the line).
class ReportChart : public QWidget {
    Q_OBJECT
public:
    explicit ReportChart(QWidget* parent = nullptr);
    void setDays(const QList<ReportDay>& days);
    const QList<ReportDay>& days() const { return m_days; }

    // Paints into rect; used for the screen and for printing.
    static void paintChart(QPainter& p, const QRectF& rect, const QList<ReportDay>& days);
    QSize sizeHint() const override { return {560, 200}; }
    QSize minimumSizeHint() const override { return {360, 180}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QList<ReportDay> m_days;
};

// The locale of the current language, for dates and numbers.
QLocale reportLocale();

} // namespace kalmix
