#include "settings/logviewer.h"

#include "services/codepage.h"
#include "services/lang.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kalmix {

LogViewer::LogViewer(const QString& path, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LogViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString(langText(204)).remove(u'&'));

    text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("logText"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(fixed).fixedPitch()) { // a platform that names no fixed-pitch font
        fixed.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
        fixed.setStyleHint(QFont::TypeWriter);
        fixed.setFixedPitch(true);
    }
    text->setFont(fixed);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        text->setPlainText(decodeTextFile(file.readAll()));
    text->moveCursor(QTextCursor::End); // the newest games are at the end

    auto* close = new QPushButton(langText(205), this);
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addLayout(buttons);

    const QFontMetricsF metrics(text->font());
    text->setTabStopDistance(metrics.horizontalAdvance(QString(8, u' ')));
    QSize size(qRound(metrics.horizontalAdvance(QString(90, u'0'))) + 60,
               qRound(metrics.lineSpacing() * 28) + 80);
    if (const QScreen* s = parent ? parent->screen() : nullptr) // never larger than the screen
        size = size.boundedTo(s->availableGeometry().size() * 0.9);
    resize(size);
}

} // namespace kalmix
