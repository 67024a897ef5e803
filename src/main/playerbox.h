#pragma once

#include <QComboBox>

namespace kalmix {

// The player list on the board. Choosing a player starts a game, so only a deliberate pick
// counts: a click on an entry of the opened list, or Enter there. The mouse wheel, the arrow
// keys and typing over the closed box change nothing; the arrow keys open the list instead.
class PlayerBox : public QComboBox {
    Q_OBJECT
public:
    explicit PlayerBox(QWidget* parent = nullptr);

    // Shows `name` when it is in the list and nothing otherwise, never another player.
    void showPlayer(const QString& name);

Q_SIGNALS:
    void picked();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace kalmix
