#include "main/roundsummary.h"

#include "services/lang.h"
#include "services/pictures.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalmix {

namespace {

QFont summaryFont(int points) {
    QFont f(boardFontFamily());
    f.setPointSize(points);
    f.setBold(true);
    return f;
}

QString minutesSeconds(int seconds) {
    seconds = std::max(0, seconds);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60 % 100, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

RoundSummaryPanel::RoundSummaryPanel(QWidget* board) : QFrame(board) {
    setObjectName(QStringLiteral("roundSummary"));
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("#roundSummary { background: #fffbe8; border: 4px solid #e0a020;"
                                 " border-radius: 18px; }"
                                 "QLabel { color: #203040; background: transparent; }"));
    m_title = new QLabel(this);
    m_title->setFont(summaryFont(26));
    m_title->setAlignment(Qt::AlignCenter);
    m_stars = new QLabel(this);
    m_stars->setObjectName(QStringLiteral("stars"));
    m_stars->setFont(summaryFont(40));
    m_stars->setAlignment(Qt::AlignCenter);
    m_figures = new QLabel(this);
    m_figures->setFont(summaryFont(17));
    m_figures->setAlignment(Qt::AlignCenter);
    m_playAgain = new QPushButton(this);
    m_playAgain->setFont(summaryFont(18));
    m_playAgain->setMinimumHeight(48);
    m_playAgain->setFocusPolicy(Qt::NoFocus); // keys only put the summary away
    connect(m_playAgain, &QPushButton::clicked, this, [this] {
        dismiss();
        if (playAgainClicked)
            playAgainClicked();
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 14, 24, 18);
    layout->setSpacing(6);
    layout->addWidget(m_title);
    layout->addWidget(m_stars);
    layout->addWidget(m_figures);
    layout->addWidget(m_playAgain, 0, Qt::AlignHCenter);
    hide();
    board->installEventFilter(this);
}

RoundSummaryPanel::~RoundSummaryPanel() {
    qApp->removeEventFilter(this);
}

void RoundSummaryPanel::showSummary(const RoundSummary& s) {
    m_summary = s;
    retranslate();
    place();
    show();
    raise();
    // Keys and clicks anywhere in the window reach the summary first while it is shown.
    qApp->removeEventFilter(this);
    qApp->installEventFilter(this);
}

void RoundSummaryPanel::dismiss() {
    qApp->removeEventFilter(this);
    hide();
}

void RoundSummaryPanel::retranslate() {
    const RoundSummary& s = m_summary;
    m_title->setText(langText(s.timeUp ? 251 : 250));
    const int stars = roundStars(s);
    m_stars->setText(QStringLiteral("<span style='color:#f0b000'>%1</span>"
                                    "<span style='color:#c8c0a8'>%2</span>")
                         .arg(QString(stars, QChar(0x2605)), QString(3 - stars, QChar(0x2606))));
    m_stars->setAccessibleName(langCount(256, stars));
    m_figures->setText(QStringList{langText(252).arg(s.solved), langText(253).arg(s.wrong),
                                   langText(254).arg(s.helped),
                                   langText(107) + u' ' + minutesSeconds(s.seconds)}
                           .join(u'\n'));
    m_playAgain->setText(langText(255));
    // Room around the words, so that the button looks like one a finger can press.
    m_playAgain->setMinimumWidth(m_playAgain->fontMetrics().horizontalAdvance(m_playAgain->text()) +
                                 48);
    if (isVisible())
        place();
}

void RoundSummaryPanel::place() {
    QWidget* board = parentWidget();
    adjustSize();
    const QSize want = sizeHint().expandedTo(QSize(board->width() * 6 / 10, 0));
    const QSize size = want.boundedTo(board->size());
    setGeometry((board->width() - size.width()) / 2, (board->height() - size.height()) / 2,
                size.width(), size.height());
}

bool RoundSummaryPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    if (!isVisible())
        return QFrame::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window())
        return QFrame::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        dismiss();
        return true; // the key is used up: it does not start a round by the focused button
    }
    if (event->type() == QEvent::MouseButtonPress && widget != m_playAgain)
        dismiss(); // the click goes on to what it was aimed at
    return QFrame::eventFilter(watched, event);
}

} // namespace kalmix
