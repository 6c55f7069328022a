#include "support/ImageFiles.h"

#include "support/ImageFactory.h"

#include <QFile>

namespace kavenra::test {

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QSize ImageFileSize(const QString& path) {
    const BitmapHandle bitmap = LoadImageFile(NativePath(path));
    if (!bitmap) return {};
    return QSize(static_cast<int>(FreeImage_GetWidth(bitmap.get())),
                 static_cast<int>(FreeImage_GetHeight(bitmap.get())));
}

}  // namespace kavenra::test
