#include "engine/run/BatchRun.h"

#include "engine/base/IntegerText.h"

#include "engine/run/ImageFileOperations.h"

#include <sys/stat.h>

#include <cerrno>

#include <QDir>
#include <QFile>

#include <limits>

namespace kavenra {

RunMode StartChecksMode(bool longestSideChecked, bool keepDimensionsChecked) {
    if (!longestSideChecked && !keepDimensionsChecked) return RunMode::ExplicitSize;
    if (longestSideChecked && !keepDimensionsChecked) return RunMode::LongestSide;
    return RunMode::KeepDimensions;
}

RunMode TickMode(bool longestSideChecked, bool keepDimensionsChecked) {
    if (longestSideChecked) return RunMode::LongestSide;
    if (keepDimensionsChecked) return RunMode::KeepDimensions;
    return RunMode::ExplicitSize;
}

namespace {

const char* explicitSizeWarning(const StartFields& fields) {
    if (fields.width.isEmpty() || fields.height.isEmpty()) return "Texto_advertencia1";
    if (!IsAllDigits(fields.width) || !IsAllDigits(fields.height)) return "Texto_advertencia2";
    if (fields.destination.isEmpty()) return "Texto_advertencia3";
    return nullptr;
}

const char* longestSideWarning(const StartFields& fields) {
    if (fields.longestSide.isEmpty()) return "Texto_advertencia6";
    if (!IsAllDigits(fields.longestSide)) return "Texto_advertencia7";
    if (fields.destination.isEmpty()) return "Texto_advertencia8";
    return nullptr;
}

const char* keepDimensionsWarning(const StartFields& fields) {
    if (fields.destination.isEmpty()) return "Texto_advertencia8";
    return nullptr;
}

}  // namespace

const char* FirstStartWarning(RunMode checks, const StartFields& fields) {
    const char* warning = nullptr;
    switch (checks) {
        case RunMode::ExplicitSize:
            warning = explicitSizeWarning(fields);
            break;
        case RunMode::LongestSide:
            warning = longestSideWarning(fields);
            break;
        case RunMode::KeepDimensions:
            warning = keepDimensionsWarning(fields);
            break;
    }
    if (warning) return warning;
    if (fields.entryCount == QLatin1String("0")) return "Texto_advertencia4";
    return nullptr;
}

std::optional<std::int32_t> ParseInt32(const QString& text) {
    return IntegerOfText(text.toStdString());
}

bool CreateDestinationFolder(const QString& destinationText) {
    return !destinationText.isEmpty() && QDir().mkdir(destinationText);
}

bool CreateOutputSubfolder(const QString& destinationText, const QByteArray& subfolder) {
    return CreateOutputSubfolder(QFile::encodeName(destinationText), subfolder);
}

bool CreateOutputSubfolder(const QByteArray& destination, const QByteArray& subfolder) {
    struct stat status {};
    if (destination.isEmpty() || stat(destination.constData(), &status) != 0 ||
        !S_ISDIR(status.st_mode)) {
        return false;
    }
    // Byte by byte: the names come from the file system and need not be UTF-8.
    QByteArray folder = destination.endsWith('/') ? destination : destination + '/';
    for (const QByteArray& name : subfolder.split('/')) {
        if (name.isEmpty()) continue;
        folder += name + '/';
        if (mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

QString FolderPart(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ProposedDestination(const QString& itemPath) {
    return FolderPart(itemPath) + QStringLiteral("RES/");
}

QString OutputFolderText(const QString& destinationText) {
    return destinationText.endsWith(QLatin1Char('/')) ? destinationText
                                                      : destinationText + QLatin1Char('/');
}

QByteArray DestinationFolderOf(const QString& destinationText) {
    if (destinationText.isEmpty()) return {};
    return QFile::encodeName(OutputFolderText(destinationText));
}

QString DestinationPath(const QString& destinationText, const QString& sourcePath) {
    return OutputFolderText(destinationText) + FileNamePart(sourcePath);
}

}  // namespace kavenra
