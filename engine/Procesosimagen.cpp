#include "engine/Procesosimagen.h"

#include <FreeImage.h>

#include "engine/ConversionSettings.h"
#include "engine/ImageConversion.h"
#include "engine/ImageDetection.h"
#include "engine/ImageWorker.h"

bool ConvertImage(const std::string& source, const std::string& destination,
                  std::uint8_t keepAspect, std::int32_t height, std::int32_t widthOrLongest) {
    const kavenra::ConversionJob job{
        kavenra::RequestFromEntryArguments(source, destination, keepAspect, height, widthOrLongest),
        kavenra::CurrentConversionSettings()};
    return kavenra::ConvertImageIsolated(job);
}

bool IsAllDigits(const QString& text) {
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return true;
}

FREE_IMAGE_FORMAT DetectImageFormat(const std::string& path) {
    return kavenra::DetectImageFormatIsolated(path);
}

bool IsRawImage(const std::string& path) {
    return DetectImageFormat(path) == FIF_RAW;
}

bool IsSupportedImage(const std::string& path) {
    switch (DetectImageFormat(path)) {
        case FIF_BMP:
        case FIF_JPEG:
        case FIF_PNG:
        case FIF_TARGA:
        case FIF_TIFF:
        case FIF_RAW:
            return true;
        default:
            return false;
    }
}
