#include "support/ScreenshotPixels.h"

#include <QDir>
#include <QtGlobal>

namespace kavenra::testing {

double DrawnShare(const QImage& image, const QRect& layoutArea, const QColor& background) {
    const qreal ratio = image.devicePixelRatio();
    const QRect area(layoutArea.topLeft() * ratio, layoutArea.size() * ratio);
    int drawn = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const int difference = qAbs(pixel.red() - background.red()) +
                                   qAbs(pixel.green() - background.green()) +
                                   qAbs(pixel.blue() - background.blue());
            if (difference > 40) ++drawn;
        }
    }
    return static_cast<double>(drawn) / (area.width() * area.height());
}

QString ScreenshotFolder() {
    const QString configured = qEnvironmentVariable("KAVENRA_SCREENSHOT_DIR");
    if (!configured.isEmpty()) return configured;
    return QDir(QStringLiteral(KAVENRA_RUNTIME_DIR))
        .absoluteFilePath(QStringLiteral("../screenshots"));
}

}  // namespace kavenra::testing
