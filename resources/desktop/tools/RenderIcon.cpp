// Renders the program's vector icon as the square PNG pictures of an icon theme, one per size.
//
//   kavenra_render_icon SOURCE.svg OUTPUT_FOLDER NAME SIZE [SIZE ...]
//
// writes OUTPUT_FOLDER/<SIZE>x<SIZE>/apps/NAME.png for each size, with an alpha channel so the
// icon's rounded corners stay transparent on any panel. Each picture is written under a temporary
// name and renamed into place, so a failed run never leaves a truncated icon behind.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

#include <cstdio>
#include <optional>

namespace {

// Icon themes list sizes up to 512; anything beyond is a typing error on the command line.
constexpr int largestIconSize = 1024;

std::optional<int> ParseSize(const char* text) {
    bool ok = false;
    const int size = QString::fromLocal8Bit(text).toInt(&ok);
    if (!ok || size <= 0 || size > largestIconSize) return std::nullopt;
    return size;
}

QImage Render(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool Write(const QImage& image, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s SOURCE.svg OUTPUT_FOLDER NAME SIZE [SIZE ...]\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString outputFolder = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);

    QSvgRenderer renderer(source);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read the picture %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const std::optional<int> size = ParseSize(argv[i]);
        if (!size) {
            std::fprintf(stderr, "%s: not an icon size: %s\n", argv[0], argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(outputFolder).arg(*size);
        const QString path = QStringLiteral("%1/%2.png").arg(folder, name);
        if (!QDir().mkpath(folder) || !Write(Render(renderer, *size), path)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(path));
            return 1;
        }
    }
    return 0;
}
