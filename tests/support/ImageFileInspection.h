#pragma once

// Reads back, from an encoded file, the choices an encoder made: what a save flag changes in the
// file and FreeImage does not report after loading.

#include <optional>
#include <string>

#include "support/ImageFactory.h"

namespace kavenra::test {

// biCompression of a BMP file: 0 plain, 1 RLE8, 2 RLE4.
std::optional<int> BmpCompression(const Bytes& file);

// The TARGA image type: 1 to 3 plain (colour-mapped, true-colour, grey), 9 to 11 their RLE forms.
std::optional<int> TargaImageType(const Bytes& file);

// The Compression tag of the first directory of a TIFF file: 1 none, 5 LZW, 7 JPEG, 8 or 32946
// Deflate.
std::optional<int> TiffCompression(const Bytes& file);

// The IJG quality (1 to 100) whose scaled standard luminance table equals the file's first
// quantisation table; empty when no quality gives it.
std::optional<int> JpegQuality(const Bytes& file);

// The sampling factors of each colour component in a JPEG file's frame header, horizontal by
// vertical and separated by spaces, e.g. "2x2 1x1 1x1" for 4:2:0 and "1x1 1x1 1x1" for 4:4:4;
// empty when the file has no frame header.
std::optional<std::string> JpegSamplingFactors(const Bytes& file);

struct PngDeflate {
    int levelHint = -1;   // FLEVEL of the zlib header: 0 fastest, 1 fast, 2 default, 3 maximum
    bool stored = false;  // the first deflate block is stored, i.e. not compressed
};
// The zlib stream header and first block type of the first IDAT chunk of a PNG file.
std::optional<PngDeflate> PngDeflateOf(const Bytes& file);

// One line naming the content's format and the encoder choice readable from it, e.g.
// "JPEG quality 75", "PNG level hint 3, compressed", "BMP compression 1", "TARGA type 10",
// "TIFF compression 7", "PPM P6". Empty for what FreeImage does not recognise.
std::string DescribeEncoding(const Bytes& file);

}  // namespace kavenra::test
