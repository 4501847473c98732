#include "Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

// The pictures live in this static library; its resources are registered on first use.
static void registerArtwork() { Q_INIT_RESOURCE(art); }

namespace Artwork {

QPixmap pixmap(const QString& name, QSize size) {
    static const bool registered = (registerArtwork(), true);
    Q_UNUSED(registered);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/art/%1.svg").arg(name));
    QPainter painter(&pm);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pm;
}

QIcon icon(const QString& name, QSize size) {
    QIcon result(pixmap(name, size));
    // A disabled button shows its picture faded rather than Qt's default grey-out of the colours.
    QPixmap faded(pixmap(name, size));
    {
        QPainter p(&faded);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(faded.rect(), QColor(0, 0, 0, 90));
    }
    result.addPixmap(faded, QIcon::Disabled);
    return result;
}

} // namespace Artwork
