#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "engine/base/ConversionJob.h"
#include "engine/run/RunConversions.h"

// Paths are 8-bit text (UTF-8 on Linux), exactly as they are handed to FreeImage. Every FreeImage
// call on a file runs in the image worker (engine/isolation/ImageWorker.h): a file that would
// crash or hang FreeImage fails its call and leaves the program running.

// Resizes one image file into one output file, on the path a run's file takes: the conversion in
// a run's worker lane, then the commit of its output under its name. RAW input is written as JPEG
// under a ".jpg" name. An existing output file is replaced only by a complete new one; a failed
// call leaves it as it was. Blocks until the outcome is there.
kavenra::FileOutcome ConvertImage(const kavenra::ConversionJob& job);

// The same with the conversion's arguments one by one: keepAspect 1 selects the longest-side mode
// (widthOrLongest is the longest side), any other value the explicit size. True exactly when the
// output was saved.
bool ConvertImage(const std::string& source, const std::string& destination,
                  std::uint8_t keepAspect, std::int32_t height, std::int32_t widthOrLongest,
                  const kavenra::ConversionOptions& options = {});

namespace kavenra {

// The request those arguments state.
ConversionRequest RequestFromEntryArguments(std::string source, std::string destination,
                                            std::uint8_t keepAspect, std::int32_t height,
                                            std::int32_t widthOrLongest);

}  // namespace kavenra

// True when every character is one of "0123456789"; the empty text included.
bool IsAllDigits(const QString& text);

// What a file's content is to a run, recognised once.
enum class PictureKind {
    None,       // no picture the program reads (or no file that can be read)
    Picture,    // BMP, JPEG, PNG, TARGA, TIFF, WebP, HEIF or AVIF
    CameraRaw,  // camera RAW
};
PictureKind PictureKindOf(const std::string& path);

// True when the file's content is one of the formats the program offers to read (Codec.h).
bool IsSupportedImage(const std::string& path);

// True when the file's content is camera RAW (ImageFormat::Raw).
bool IsRawImage(const std::string& path);
