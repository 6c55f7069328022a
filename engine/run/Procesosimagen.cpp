#include "engine/run/Procesosimagen.h"

#include <FreeImage.h>

#include <utility>

#include "engine/imaging/HeifImage.h"
#include "engine/isolation/ImageDetection.h"

kavenra::FileOutcome ConvertImage(const kavenra::ConversionJob& job) {
    kavenra::RunConversions conversions(nullptr);
    conversions.BeginRun();
    conversions.Begin(job);
    conversions.WaitForFileInHand();
    // A file converted at its own tick always has its outcome once its conversion is done.
    return conversions.TakeResult().value_or(kavenra::FileOutcome{});
}

bool ConvertImage(const std::string& source, const std::string& destination,
                  std::uint8_t keepAspect, std::int32_t height, std::int32_t widthOrLongest,
                  const kavenra::ConversionOptions& options) {
    const kavenra::ConversionJob job{
        kavenra::RequestFromEntryArguments(source, destination, keepAspect, height, widthOrLongest),
        options};
    return ConvertImage(job).committed;
}

namespace kavenra {

ConversionRequest RequestFromEntryArguments(std::string source, std::string destination,
                                            std::uint8_t keepAspect, std::int32_t height,
                                            std::int32_t widthOrLongest) {
    ConversionRequest request;
    request.source = std::move(source);
    request.destination = std::move(destination);
    if (keepAspect == 1) {
        request.mode = SizingMode::LongestSide;
        request.longestSide = widthOrLongest;
    } else {
        request.mode = SizingMode::ExplicitSize;
        request.width = widthOrLongest;
        request.height = height;
    }
    return request;
}

}  // namespace kavenra

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
    const FREE_IMAGE_FORMAT format = DetectImageFormat(path);
    if (kavenra::IsHeifFormat(format)) return true;
    switch (format) {
        case FIF_BMP:
        case FIF_JPEG:
        case FIF_PNG:
        case FIF_TARGA:
        case FIF_TIFF:
        case FIF_RAW:
        case FIF_WEBP:
            return true;
        default:
            return false;
    }
}
