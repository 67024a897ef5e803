#include "services/pictures.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace kalmix {

QPixmap picture(const QString& resourcePath, QSize size) {
    static QHash<QString, QPixmap> cache;
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    const QString key =
        resourcePath + QStringLiteral("@%1x%2x%3").arg(size.width()).arg(size.height()).arg(dpr);
    const auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QPixmap pm;
    QFile file(resourcePath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (bytes.left(512).contains("<svg")) {
        QSvgRenderer svg(bytes);
        QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        if (svg.isValid()) {
            QPainter p(&image);
            svg.render(&p);
        }
        image.setDevicePixelRatio(dpr);
        pm = QPixmap::fromImage(image);
    } else {
        pm.loadFromData(bytes);
        pm = pm.scaled(size * dpr, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        pm.setDevicePixelRatio(dpr);
    }
    cache.insert(key, pm);
    return pm;
}

void loadFonts() {
    static const bool loaded = [] {
        // The board writes in bold only; one face keeps the start quick.
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/ComicNeue-Bold.otf"));
        return true;
    }();
    (void)loaded;
}

QString boardFontFamily() {
    return QStringLiteral("Comic Neue");
}

} // namespace kalmix
