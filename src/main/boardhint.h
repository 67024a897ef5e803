#pragma once

#include <QWidget>

class QLabel;

namespace kalmix {

// A friendly line on the board of a first start that points at the green start button.
class BoardHint : public QWidget {
    Q_OBJECT
public:
    explicit BoardHint(QWidget* parent);

    void setText(const QString& text);
    QString text() const;

private:
    QLabel* m_text = nullptr;
    QLabel* m_arrow = nullptr;
    QLabel* m_button = nullptr;
};

} // namespace kalmix
