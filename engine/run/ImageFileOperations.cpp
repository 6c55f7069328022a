#include "engine/run/ImageFileOperations.h"

#include <utility>

#include "engine/formats/Codec.h"
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

kavenra::ImageFormat DetectImageFormat(const std::string& path) {
    return kavenra::DetectImageFormatIsolated(path);
}

PictureKind PictureKindOf(const std::string& path) {
    const kavenra::ImageFormat format = DetectImageFormat(path);
    if (format == kavenra::ImageFormat::Raw) return PictureKind::CameraRaw;
    return kavenra::CodecOf(format).offered ? PictureKind::Picture : PictureKind::None;
}

bool IsRawImage(const std::string& path) {
    return PictureKindOf(path) == PictureKind::CameraRaw;
}

bool IsSupportedImage(const std::string& path) {
    return PictureKindOf(path) != PictureKind::None;
}
