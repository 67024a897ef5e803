#include "services/plaintext.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <QWidget>

namespace kalmix {

namespace {

class PlainToolTips final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->toolTip().isEmpty())
            return false;
        // Escaped into a paragraph of its own, the text reads exactly as it was given.
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           Qt::convertFromPlainText(widget->toolTip(), Qt::WhiteSpaceNormal),
                           widget, {}, widget->toolTipDuration());
        return true;
    }
};

} // namespace

void showToolTipsAsPlainText(QCoreApplication& app) {
    static PlainToolTips* filter = nullptr;
    if (filter)
        return;
    filter = new PlainToolTips(&app);
    app.installEventFilter(filter);
}

} // namespace kalmix
