#include "main/frmkalmix.h"

#include "main/layout.h"
#include "profiles/record.h"
#include "services/procedure.h"
#include "services/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>

// Where the items of the main window stand, as the window changes its size or state.
namespace kalmix {

void frmKalmix::Form_Resize() {
    LayoutInput in;
    in.W = width();
    in.H = height();
    in.board = picTafel->size();
    in.panel = lblButBack->size();
    // The strip as it stands: its design width before the first layout.
    in.stripWidth = lblToolbar->width();
    in.button = PicBut[0]->size();
    in.languageButton = PicBut[10]->size();
    in.figureHeight = imgMeter->height();
    in.label0Width = Label[0]->width();
    in.numberHeight = lblNumber->height();
    in.timeHeight = lblTime->height();
    in.geloest = m_game.Geloest;
    in.aufgZahl = AufgZahl;
    if (m_game.StartTimer)
        in.elapsed = m_game.elapsedSeconds();
    in.zeit = Zeit;
    in.figureRest = m_game.figureRest();
    // Until the factor for the screen's fonts is worked out, the normal one counts.
    Layout l = formLayout(in);

    Procedure("frmKalmix", "Form_Resize")
        .run({
            [&] {
                if (isMinimized())
                    exitProcedure();
            },
            [&] {
                in.twipsPerPixel = twipsPerPixel();
                l = formLayout(in);
            },
            [&] { picTafel->move(l.board); },
            [&] { imgStift->setGeometry(l.barLeft, l.barTop, l.barWidth, imgStift->height()); },
            [&] {
                imgMeter->move(static_cast<int>(std::lround(l.meterLeft)),
                               static_cast<int>(std::lround(l.meterTop)));
                m_meterLeft = l.meterLeft;
            },
            [] {
                // The board's right edge, which the panel follows, is part of the layout
                // worked out above.
            },
            [&] { lblButBack->move(l.panel); },
            [&] { lblNumber->move(l.number); },
            [&] { Label[0]->move(l.label0); },
            [&] { lblTime->move(l.time); },
            [&] { Label[1]->move(l.label1); },
            [&] {
                lblToolbar->setGeometry(static_cast<int>(std::lround(l.stripLeft)), 0,
                                        static_cast<int>(std::lround(l.stripWidth)),
                                        static_cast<int>(std::lround(l.stripHeight)));
                lblToolbar->setVisible(true);
                lblToolbar->lower();
            },
            [&] {
                for (int i = 0; i <= 16; ++i)
                    if (PicBut[i])
                        PicBut[i]->move(l.buttons[i].toPoint());
            },
        });
}

void frmKalmix::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmKalmix::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A window restored from the task bar gets no resize; the figure may have walked on and
    // the size changed while it was minimized.
    if (event->type() == QEvent::WindowStateChange &&
        (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) &&
        !isMinimized())
        Form_Resize();
}

void frmKalmix::watchFrame() {
    // The window manager puts its frame around the window some moments after it is shown;
    // the window is fitted again once the frame is known (or given up on after 3 seconds).
    if (m_frameChecks > 0)
        return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        if (frameMargins().isNull() && ++m_frameChecks < 30)
            return;
        m_frameChecks = 30;
        timer->deleteLater();
        fitToScreen();
    });
    m_frameChecks = 1;
    timer->start(100);
}

QMargins frmKalmix::frameMargins() const {
    const QRect outer = frameGeometry(), inner = geometry();
    if (!outer.isValid() || !outer.contains(inner))
        return {}; // not framed yet
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void frmKalmix::fitToScreen() {
    const QScreen* shown = screen();
    if (!shown || isMaximized() || isFullScreen() || isMinimized())
        return;
    const QRect area = shown->availableGeometry();
    QMargins frame = frameMargins();
    // Before a window manager has framed the window, room is kept for a usual frame: a
    // window as large as the screen would be taken for a full-screen one and left unframed.
    if (frame.isNull() && QGuiApplication::platformName() == u"xcb")
        frame = QMargins(4, 24, 4, 4);
    const QSize room = area.size().shrunkBy(frame);
    const QSize fitted = size().boundedTo(room).expandedTo(minimumSize());
    if (fitted != size())
        resize(fitted);
    const QSize outer = fitted.grownBy(frame);
    const QPoint at = frameGeometry().topLeft();
    const int x =
        std::max(area.left(), std::min(at.x(), area.left() + area.width() - outer.width()));
    const int y =
        std::max(area.top(), std::min(at.y(), area.top() + area.height() - outer.height()));
    if (QPoint(x, y) != at)
        move(x, y);
}

void frmKalmix::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(0xd8, 0xee, 0xff));
    sky.setColorAt(1, QColor(0xb8, 0xdc, 0xf5));
    p.fillRect(rect(), sky);
}

} // namespace kalmix
