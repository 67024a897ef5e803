#include "report/reportchart.h"

#include "services/lang.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace kalmix {

namespace {

const QColor kBar(0x6F, 0x9F, 0xD8);
const QColor kLine(0xD0, 0x5A, 0x2C);
const QColor kAxis(0x1d, 0x4f, 0x91);

// A step of the left scale that gives at most five lines.
int scaleStep(int most) {
    for (int step : {1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000}) {
        if (most <= step * 5)
            return step;
    }
    return static_cast<int>(std::ceil(most / 5000.0)) * 1000;
}

} // namespace

QLocale reportLocale() {
    static const QLocale::Language languages[7] = {
        QLocale::German,  QLocale::English,         QLocale::Swedish, QLocale::Italian,
        QLocale::Spanish, QLocale::NorwegianBokmal, QLocale::French};
    const QLocale::Language language = languages[std::clamp(SprachBasis / 1000, 0, 6)];
    return language == QLocale::English ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                        : QLocale(language);
}

ReportChart::ReportChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("chart"));
}

void ReportChart::setDays(const QList<ReportDay>& days) {
    m_days = days;
    update();
}

void ReportChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    paintChart(p, rect(), m_days);
}

void ReportChart::paintChart(QPainter& p, const QRectF& rect, const QList<ReportDay>& days) {
    p.save();
    QFont small = p.font();
    small.setPixelSize(11);
    p.setFont(small);
    const QFontMetricsF fm(small);
    const qreal line = fm.height();
    // The legend on top, the dates below, the scales left and right.
    const QRectF plot(rect.left() + fm.horizontalAdvance(QStringLiteral("0000")) + 8,
                      rect.top() + line * 1.8,
                      rect.width() - fm.horizontalAdvance(QStringLiteral("0000")) -
                          fm.horizontalAdvance(QStringLiteral("100 %")) - 16,
                      rect.height() - line * 3.4);
    int most = 1;
    for (const ReportDay& d : days)
        most = std::max(most, d.solved);
    const int step = scaleStep(most);
    const int top = ((most + step - 1) / step) * step;

    // Legend.
    qreal x = plot.left();
    p.fillRect(QRectF(x, rect.top() + line * 0.3, line * 0.9, line * 0.7), kBar);
    x += line * 1.3;
    p.setPen(Qt::black);
    const QString bars = langText(311);
    p.drawText(QPointF(x, rect.top() + line), bars);
    x += fm.horizontalAdvance(bars) + line * 1.5;
    p.setPen(QPen(kLine, 2));
    p.drawLine(QPointF(x, rect.top() + line * 0.65),
               QPointF(x + line * 1.2, rect.top() + line * 0.65));
    x += line * 1.6;
    p.setPen(Qt::black);
    p.drawText(QPointF(x, rect.top() + line), langText(312));

    // Scales and their lines.
    p.setPen(QColor(0xDD, 0xDD, 0xDD));
    for (int v = 0; v <= top; v += step) {
        const qreal y = plot.bottom() - plot.height() * v / top;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(kAxis);
    for (int v = 0; v <= top; v += step) {
        const qreal y = plot.bottom() - plot.height() * v / top;
        p.drawText(QRectF(rect.left(), y - line / 2, plot.left() - rect.left() - 4, line),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    const QLocale locale = reportLocale();
    for (int share = 0; share <= 100; share += 50) {
        const qreal y = plot.bottom() - plot.height() * share / 100.0;
        p.drawText(QRectF(plot.right() + 4, y - line / 2, rect.right() - plot.right() - 4, line),
                   Qt::AlignLeft | Qt::AlignVCenter, locale.toString(share) + locale.percent());
    }
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    if (days.isEmpty()) {
        p.restore();
        return;
    }

    // Bars, one per day, and the dates of the Mondays below them.
    const qreal slot = plot.width() / days.size();
    const QString dateFormat = SprachBasis == 0 || SprachBasis == 5000 ? QStringLiteral("d. MMM")
                                                                       : QStringLiteral("d MMM");
    for (int i = 0; i < days.size(); ++i) {
        const ReportDay& d = days[i];
        const qreal h = plot.height() * d.solved / top;
        p.fillRect(QRectF(plot.left() + i * slot + slot * 0.15, plot.bottom() - h, slot * 0.7, h),
                   kBar);
        // The first day is named too when the next Monday is far enough away.
        if (d.day.dayOfWeek() == Qt::Monday || (i == 0 && d.day.dayOfWeek() <= Qt::Wednesday)) {
            p.setPen(kAxis);
            p.drawLine(QPointF(plot.left() + i * slot, plot.bottom()),
                       QPointF(plot.left() + i * slot, plot.bottom() + 3));
            if (i + 3 < days.size() || days.size() < 4) // no label squeezed at the right edge
                p.drawText(QPointF(plot.left() + i * slot, plot.bottom() + line * 1.1),
                           locale.toString(d.day, dateFormat));
        }
    }

    // The share right at the first try, joined over days that have tasks.
    QPainterPath path;
    bool open = false;
    QList<QPointF> dots;
    for (int i = 0; i < days.size(); ++i) {
        const ReportDay& d = days[i];
        if (d.tasks <= 0) {
            open = false;
            continue;
        }
        const qreal share = std::clamp(static_cast<qreal>(d.rightFirstTry) / d.tasks, 0.0, 1.0);
        const QPointF at(plot.left() + (i + 0.5) * slot, plot.bottom() - plot.height() * share);
        if (open)
            path.lineTo(at);
        else
            path.moveTo(at);
        open = true;
        dots.append(at);
    }
    p.setPen(QPen(kLine, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setBrush(kLine);
    for (const QPointF& dot : dots)
        p.drawEllipse(dot, 2.5, 2.5);
    p.restore();
}

} // namespace kalmix
