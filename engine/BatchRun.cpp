#include "engine/BatchRun.h"

namespace kavenra {

QString FolderPart(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ProposedDestination(const QString& itemPath) {
    return FolderPart(itemPath) + QStringLiteral("RES/");
}

QString DestinationPath(const QString& destinationText, const QString& sourcePath) {
    return destinationText + FileNamePart(sourcePath);
}

}  // namespace kavenra
