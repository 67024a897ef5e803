#include "main/numberpad.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <array>

namespace kalmix {

namespace {

constexpr int kKeys = 12;
constexpr int kKeySide = 36;
constexpr int kGap = 3;

// 1 to 9 and 0 as on a telephone row, then delete and Enter.
constexpr std::array<int, kKeys> kOrder{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 10, 11};

} // namespace

NumberPad::NumberPad(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("numberPad"));
    setFocusPolicy(Qt::NoFocus);
    QFont f = font();
    f.setPointSize(16);
    f.setBold(true);
    for (int slot = 0; slot < kKeys; ++slot) {
        const int index = kOrder[slot];
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("padKey%1").arg(index));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        b->setFont(f);
        b->setText(index < 10    ? QString::number(index)
                   : index == 10 ? QStringLiteral("\u232B")   // erase to the left
                                 : QStringLiteral("\u23CE")); // return
        b->setGeometry(slot * (kKeySide + kGap), 0, kKeySide, kKeySide);
        b->setStyleSheet(
            QStringLiteral("QPushButton { color: #F6F4E8; background: rgba(0, 0, 0, 70);"
                           " border: 2px solid #F6F4E8; border-radius: 8px; }"
                           "QPushButton:pressed { background: rgba(255, 232, 122, 110); }"
                           "QPushButton:disabled { color: #9A9A90; border-color: #9A9A90; }"));
        connect(b, &QPushButton::clicked, this, [this, index] { press(index); });
    }
    resize(sizeFor(kKeySide));
}

QSize NumberPad::sizeFor(int keySide) {
    return {kKeys * keySide + (kKeys - 1) * kGap, keySide};
}

QPushButton* NumberPad::key(int index) const {
    return findChild<QPushButton*>(QStringLiteral("padKey%1").arg(index));
}

void NumberPad::press(int index) {
    QWidget* target = m_target;
    if (!target || !target->isVisible())
        return;
    int code = Qt::Key_Return;
    QString text = QStringLiteral("\r");
    if (index < 10) {
        code = Qt::Key_0 + index;
        text = QString::number(index);
    } else if (index == 10) {
        code = Qt::Key_Backspace;
        text = QStringLiteral("\b");
    }
    // Press and release, as a keyboard sends them; the press goes through every event filter.
    QKeyEvent down(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &up);
}

} // namespace kalmix
