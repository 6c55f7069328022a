#pragma once

// Picture files with what photos carry besides their pixels, written byte by byte where FreeImage
// cannot write them: BMP files with the newer info headers, ICC profiles, EXIF blocks.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ImageFactory.h"

namespace kavenra::test {

// A BMP file as editors write it. `infoSize` 40, 108 or 124; `compression` 0 (plain) or 3 (bit
// fields, whose masks sit in the info header of a 108- or 124-byte file and after a 40-byte one);
// `pixels` the stored rows as they are to appear in the file, each padded to 4 bytes, bottom row
// first unless `topDown`.
struct BmpLayout {
    std::uint32_t infoSize = 124;
    int width = 0;
    int height = 0;
    unsigned bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
    bool topDown = false;
    Bytes pixels;
};
Bytes MakeBmpFile(const BmpLayout& layout);

// A small ICC profile that reads as valid to the PNG, JPEG and TIFF libraries: a display class
// header for `colourSpace` ("RGB " or "GRAY") with one white-point tag; `mark` fills its profile
// id, so that two profiles can be told apart.
Bytes MakeIccProfile(const char (&colourSpace)[5], unsigned char mark);

// The ICC profile the file embeds (a PNG file's iCCP chunk, read here; what FreeImage reads from
// other formats); empty when it has none.
Bytes IccProfileOf(const std::string& path);

// A JPEG file with an EXIF block (APP1) right after its start marker, whose EXIF directory holds
// PixelXDimension (a LONG) and PixelYDimension (a SHORT) with these values, in `bigEndian` order
// or the other.
Bytes WithExifPixelDimensions(const Bytes& jpeg, std::uint32_t width, std::uint16_t height,
                              bool bigEndian);

// PixelXDimension and PixelYDimension as FreeImage decodes them from the file's EXIF block.
std::optional<std::pair<unsigned, unsigned>> ExifPixelDimensionsOf(const std::string& path);

}  // namespace kavenra::test
