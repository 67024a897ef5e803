#include "main/boardhint.h"
#include "main/frmkalmix.h"
#include "main/numberpad.h"
#include "services/lang.h"
#include "services/pictures.h"
#include "settings/record.h"

#include <QLabel>
#include <QLineEdit>

// The board's aids: the number pad under the task for a child without a keyboard, and the
// first start's hint at the start button.
namespace kalmix {

void frmKalmix::createBoardAids() {
    m_pad = new NumberPad(picTafel);
    m_pad->setTarget(txtErgebnis);
    m_pad->move((picTafel->width() - m_pad->width()) / 2,
                picTafel->height() - m_pad->height() - 36); // above the chalk ledge
    m_pad->setVisible(false);

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
