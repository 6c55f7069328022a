#pragma once

#include <QString>
#include <cstdint>
#include <string>

// Paths are 8-bit text (UTF-8 on Linux), exactly as they are handed to FreeImage. Every FreeImage
// call on a file runs in the image worker (engine/ImageWorker.h): a file that would crash or hang
// FreeImage makes its call answer false and leaves the program running.

// Resizes one image file into one output file; true exactly when the output was saved.
// keepAspect 1 selects the longest-side mode (widthOrLongest is the longest side); any other
// value the explicit size. RAW input is written as JPEG under a ".jpg" name. The options and the
// RAW switch are kavenra::CurrentConversionSettings() as they stand at the call. An
// existing output file is replaced only by a complete new one; a failed call leaves it as it was.
bool ConvertImage(const std::string& source, const std::string& destination,
                  std::uint8_t keepAspect, std::int32_t height, std::int32_t widthOrLongest);

// True when every character is one of "0123456789"; the empty text included.
bool IsAllDigits(const QString& text);

// True when FreeImage recognises the file's content as BMP, JPEG, PNG, TARGA, TIFF or camera RAW.
bool IsSupportedImage(const std::string& path);

// True when the file's content is camera RAW (FIF_RAW).
bool IsRawImage(const std::string& path);
