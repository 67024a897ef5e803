#include "main/boardhint.h"
#include "main/frmkalmix.h"
#include "main/numberpad.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/pictures.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

// The board's aids: the number pad under the task for a child without a keyboard, and the
// first start's hint at the start button.
namespace kalmix {

void frmKalmix::createBoardAids() {
    m_pad = new NumberPad(picTafel);
    m_pad->setTarget(txtErgebnis);
    m_pad->move((picTafel->width() - m_pad->width()) / 2,
                picTafel->height() - m_pad->height() - 36); // above the chalk ledge
    m_pad->setVisible(false);

    m_speak = new QToolButton(fraUebung);
    m_speak->setObjectName(QStringLiteral("cmdVorlesen"));
    m_speak->setIcon(QIcon(picture(QStringLiteral(":/pictures/speaker.svg"), QSize(40, 40))));
    m_speak->setIconSize(QSize(40, 40));
    m_speak->setFixedSize(52, 52);
    m_speak->setFocusPolicy(Qt::NoFocus); // the answer box keeps the focus
    m_speak->setAutoRaise(true);
    m_speak->setStyleSheet(
        QStringLiteral("QToolButton { border-radius: 6px; }"
                       "QToolButton:hover { background: rgba(255, 255, 255, 50); }"
                       "QToolButton:pressed { background: rgba(255, 255, 255, 100); }"));
    m_speak->setVisible(false);
    connect(m_speak, &QToolButton::clicked, this, [this] { repeatTask(); });

    m_hint = new BoardHint(picTafel);
    m_hint->setGeometry(16, 72, picTafel->width() - 24, 76);
    m_hint->setVisible(false);
}

void frmKalmix::updateNumberPad() {
    if (!m_pad)
        return;
    // Only while a task waits for its answer; its keys rest while an answer is judged.
    updateFirstStartHint();
    const bool shown = Ziffernblock != 0 && fraUebung->isVisibleTo(picTafel) &&
                       txtErgebnis->isVisibleTo(fraUebung);
    m_pad->setVisible(shown);
    m_pad->setEnabled(m_keyPreview);
    if (shown)
        m_pad->raise();
    updateSpeakerButton();
}

void frmKalmix::updateSpeakerButton() {
    if (!m_speak)
        return;
    // In the task frame's top right corner while a task is on it.
    m_speak->move(fraUebung->width() - m_speak->width() - 4, 4);
    m_speak->setVisible(Vorlesen != 0 && txtErgebnis->isVisibleTo(fraUebung));
    m_speak->setEnabled(m_keyPreview);
    m_speak->raise();
}

void frmKalmix::repeatTask() {
    if (m_keyPreview && txtErgebnis->isVisible())
        m_readAloud.repeat();
}

void frmKalmix::setRightHelped(bool helped) {
    imgJaNein[0]->setPixmap(picture(helped ? QStringLiteral(":/pictures/helped.svg")
                                           : QStringLiteral(":/pictures/right.svg"),
                                    QSize(40, 40)));
}

void frmKalmix::updateFirstStartHint() {
    if (!m_hint)
        return;
    m_hint->setText(langText(261));
    m_hint->setVisible(cmbName->count() == 0 && !fraUebung->isVisibleTo(picTafel));
}

} // namespace kalmix
