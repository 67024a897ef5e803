#pragma once

#include <QWidget>

class QPushButton;

namespace kalmix {

// A row of big keys on the board for a child without a keyboard: the digits, a delete key and
// an Enter key. A pressed key is sent as the same key press the keyboard makes to the widget
// that holds the keyboard focus, so the window's key filter and the game see no difference.
// The keys never take the focus themselves.
class NumberPad : public QWidget {
    Q_OBJECT
public:
    explicit NumberPad(QWidget* parent);

    // The widget the keys are typed into.
    void setTarget(QWidget* target) { m_target = target; }
    // The key of a digit 0 to 9, of delete (10) or of Enter (11).
    QPushButton* key(int index) const;
    // The size the pad takes for keys of the given side.
    static QSize sizeFor(int keySide);

private:
    void press(int index);

    QWidget* m_target = nullptr;
};

} // namespace kalmix
