#include "ui/Resources.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>

// Named after the resource set that resources/CMakeLists.txt adds to the window library.
static void registerResourceSet() {
    Q_INIT_RESOURCE(kavenra_resources);
}

void InitialiseKavenraResources() {
    static const bool registered = (registerResourceSet(), true);
    Q_UNUSED(registered);
}

QPixmap RenderVectorPicture(const QString& resource, QSize bounds, qreal devicePixelRatio) {
    QPixmap pixmap(bounds * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
        QSizeF artwork = renderer.defaultSize();
        artwork.scale(QSizeF(pixmap.size()), Qt::KeepAspectRatio);
        const QPointF origin((pixmap.width() - artwork.width()) / 2,
                             (pixmap.height() - artwork.height()) / 2);
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(origin, artwork));
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

namespace kavenra::resource {

QString SoundFile(int resourceId) {
    return QStringLiteral(":/kavenra/sounds/%1.wav").arg(resourceId);
}

}  // namespace kavenra::resource
