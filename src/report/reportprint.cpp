#include "report/reportprint.h"

#include "report/classoverview.h"
#include "report/factgrid.h"
#include "report/reportchart.h"
#include "services/lang.h"

#include <QBuffer>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace kalmix {

namespace {

// Pages are drawn on a width of 720 units, whatever the device's resolution.
constexpr qreal kWidth = 720;
const QColor kHeading(0x1d, 0x4f, 0x91);

struct Page {
    QPainter& p;
    qreal height = 0;
    qreal y = 0;

    void font(int pixels, bool bold = false) {
        QFont f = p.font();
        f.setPixelSize(pixels);
        f.setBold(bold);
        p.setFont(f);
    }
    void heading(const QString& text, int pixels = 16) {
        font(pixels, true);
        p.setPen(kHeading);
        const qreal h = pixels * 1.6;
        p.drawText(QRectF(0, y, kWidth, h), Qt::AlignLeft | Qt::AlignVCenter, text);
        y += h;
        p.setPen(Qt::black);
        font(11);
    }
    // A row of cells; the first column left, the others right. Titles (bold) may take two
    // lines.
    void row(const QStringList& cells, const QList<qreal>& widths, bool bold = false) {
        font(11, bold);
        const qreal h = bold ? 30 : 18;
        qreal x = 0;
        for (int c = 0; c < cells.size() && c < widths.size(); ++c) {
            p.drawText(QRectF(x, y, widths[c] - 8, h),
                       (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignBottom |
                           Qt::TextWordWrap,
                       cells[c]);
            x += widths[c];
        }
        y += h + 2;
        font(11);
    }
};

// Starts painting: a painter whose units are kWidth across the page.
bool begin(QPainter& p, QPagedPaintDevice& device, qreal* height) {
    if (!p.begin(&device))
        return false;
    const qreal scale = device.width() / kWidth;
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    *height = device.height() / scale;
    return true;
}

QString title(const QString& name, const QDateTime& at) {
    return QStringLiteral("%1 \u2013 %2")
        .arg(name, reportLocale().toString(at.date(), QLocale::LongFormat));
}

void paintPlayer(Page& page, const PlayerReport& r) {
    page.heading(title(langText(300) + QStringLiteral(": ") + playerLabel(r.player), r.at), 18);
    ReportChart::paintChart(page.p, QRectF(0, page.y, kWidth, 230), r.days);
    page.y += 240;

    const QList<qreal> widths = {240, 150, 150, 150};
    page.row(QStringList{QString()} + totalsColumnTitles(), widths, true);
    QStringList spans[3];
    for (int s = 0; s < 3; ++s)
        spans[s] = totalsTexts(r.totals[s]);
    const QStringList titles = totalsRowTitles();
    for (int i = 0; i < titles.size(); ++i)
        page.row({titles[i], spans[0][i], spans[1][i], spans[2][i]}, widths);
    page.y += 12;

    const qreal top = page.y;
    page.heading(langText(320) + QStringLiteral("  ") + operationSign(r.layout.operation), 14);
    FactGridWidget grid;
    grid.setFacts(r.layout, r.facts);
    const QSizeF natural = grid.sizeHint();
    const qreal gridWidth = 380;
    const qreal gridHeight =
        std::min(natural.height() * std::min(1.0, gridWidth / natural.width()), 300.0);
    grid.paintFacts(page.p, QRectF(0, page.y, gridWidth, gridHeight));
    qreal legendY = page.y + gridHeight + 8;
    const ReportFact::State states[4] = {ReportFact::State::NotYet, ReportFact::State::OftenWrong,
                                         ReportFact::State::Learning, ReportFact::State::Mastered};
    page.font(10);
    for (int i = 0; i < 5; ++i) {
        if (i < 4)
            page.p.fillRect(QRectF(0, legendY + 3, 10, 10), factColor(states[i]));
        else
            page.p.drawText(QRectF(0, legendY, 10, 16), Qt::AlignCenter, QStringLiteral("\u2022"));
        const QRectF box(16, legendY, gridWidth - 16, 60);
        const QRectF used = page.p.boundingRect(box, Qt::TextWordWrap, langText(321 + i));
        page.p.drawText(box, Qt::TextWordWrap, langText(321 + i));
        legendY += used.height() + 2;
    }

    // The tricky tasks beside the facts.
    page.y = top;
    page.p.save();
    page.p.translate(gridWidth + 20, 0);
    const QList<qreal> trickyWidths = {130, 60, 60, 60};
    page.font(14, true);
    page.p.setPen(kHeading);
    page.p.drawText(QRectF(0, page.y, 320, 22), Qt::AlignLeft | Qt::AlignVCenter, langText(326));
    page.p.setPen(Qt::black);
    page.y += 24;
    if (r.tricky.isEmpty()) {
        page.font(11);
        page.p.drawText(QRectF(0, page.y, 320, 40), Qt::TextWordWrap, langText(331));
    } else {
        page.font(9, true);
        page.p.drawText(QRectF(0, page.y, 320, 30), Qt::TextWordWrap,
                        QStringLiteral("%1 / %2 / %3 / %4")
                            .arg(langText(327), langText(328), langText(329), langText(330)));
        page.y += 30;
        for (const ReportTrickyTask& t : r.tricky) {
            const QString task = t.operation == QLatin1String("count")
                                     ? langText(348).arg(t.expected)
                                     : trickyTaskText(t);
            page.row({task, QString::number(t.tasks), QString::number(t.notFirstTry),
                      secondsText(t.medianSeconds)},
                     trickyWidths);
        }
    }
    page.p.restore();
}

} // namespace

bool printPlayer(QPagedPaintDevice& device, const PlayerReport& report) {
    QPainter p;
    qreal height = 0;
    if (!begin(p, device, &height))
        return false;
    Page page{p, height};
    paintPlayer(page, report);
    return p.end();
}

bool printClassOverview(QPagedPaintDevice& device, const QList<ReportClassRow>& rows,
                        const QDateTime& at) {
    QPainter p;
    qreal height = 0;
    if (!begin(p, device, &height))
        return false;
    Page page{p, height};
    const QList<qreal> widths = {170, 140, 110, 80, 150, 70};
    auto head = [&] {
        page.heading(title(QString(langText(304)).remove(u'&'), at), 18);
        page.row(classColumnTitles(), widths, true);
    };
    head();
    for (const ReportClassRow& row : rows) {
        if (page.y + 18 > page.height) {
            if (!device.newPage())
                return false;
            page.y = 0;
            head();
        }
        page.row(classRowTexts(row), widths);
    }
    return p.end();
}

bool savePdf(const QString& path, const PlayerReport* report, const QList<ReportClassRow>& rows,
             const QDateTime& at, QString* why) {
    // The document is made in memory and written unbuffered, each write checked: the PDF
    // writer does not look at what its writes return, and a full disk may take only part.
    QByteArray pdf;
    bool painted = false;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QString(langText(300)).remove(u'&'));
        painted = report ? printPlayer(writer, *report) : printClassOverview(writer, rows, at);
    }
    if (!painted) {
        *why = QString();
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *why = file.errorString();
        return false;
    }
    for (qint64 done = 0; done < pdf.size();) {
        const qint64 n = file.write(pdf.constData() + done, pdf.size() - done);
        if (n <= 0) {
            *why = file.errorString();
            file.cancelWriting(); // the file that was there stays as it was
            return false;
        }
        done += n;
    }
    if (!file.commit()) {
        *why = file.errorString();
        return false;
    }
    return true;
}

} // namespace kalmix
