#include "main/boardhint.h"

#include "services/pictures.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kalmix {

BoardHint::BoardHint(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("boardHint"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lblHint"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont f = font();
    f.setPointSize(17);
    f.setBold(true);
    m_text->setFont(f);
    m_text->setStyleSheet(QStringLiteral("color: #FFE87A;"));
    m_arrow = new QLabel(this);
    m_arrow->setTextFormat(Qt::PlainText);
    f.setPointSize(26);
    m_arrow->setFont(f);
    m_arrow->setStyleSheet(QStringLiteral("color: #F6F4E8;"));
    // The green button's picture, and an arrow up to the button itself in the toolbar.
    m_arrow->setText(QStringLiteral("\u2197"));
    m_button = new QLabel(this);
    m_button->setFixedSize(36, 36);
    m_button->setPixmap(picture(QStringLiteral(":/pictures/buttons/start.svg"), QSize(36, 36)));
    row->addWidget(m_text, 1);
    row->addWidget(m_button);
    row->addWidget(m_arrow, 0, Qt::AlignTop);
}

void BoardHint::setText(const QString& text) {
    m_text->setText(text);
}

QString BoardHint::text() const {
    return m_text->text();
}

} // namespace kalmix
