#include "engine/Procesosimagen.h"

#include <FreeImage.h>

#include "engine/ConversionSettings.h"
#include "engine/ImageConversion.h"

bool ConvertImage(const std::string& source, const std::string& destination,
                  std::uint8_t keepAspect, std::int32_t height, std::int32_t widthOrLongest) {
    const kavenra::ConversionRequest request{source, destination, keepAspect, height,
                                             widthOrLongest};
    // The source is asked for each value at the step that uses it, so a change made in the
    // options dialog or to the RAW switch during a run applies from the next file on.
    return kavenra::ConvertImageFile(request, kavenra::CurrentConversionSettings());
}

bool IsAllDigits(const QString& text) {
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return true;
}

bool IsSupportedImage(const std::string& path) {
    if (path.find('\0') != std::string::npos) return false;
    switch (FreeImage_GetFileType(path.c_str(), 0)) {
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
