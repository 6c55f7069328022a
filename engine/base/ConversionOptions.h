#pragma once

// Every choice a conversion acts on, as one value in real units. It is made once at the edge,
// from the stored settings or the command line's flags, and the engine reads nothing else: no
// dialog code and no library flag travels past this point.

#include <cstdint>
#include <optional>

namespace kavenra {

// The resampling filter of every resize.
enum class ResizeFilter : std::uint8_t { Box, Bilinear, BSpline, Bicubic, CatmullRom, Lanczos3 };

// The format an output is written in.
enum class OutputChoice : std::uint8_t {
    Original,  // the input's own format where the program writes it, else JPEG
    Jpeg,
    Png,
    Webp,
    Tiff,
};

enum class TiffCompression : std::uint8_t { None, Lzw, Deflate, Jpeg };

// The zlib level of PNG output (0: stored without compression).
constexpr int kPngFastestLevel = 1;
constexpr int kPngDefaultLevel = 6;
constexpr int kPngBestLevel = 9;

// The largest size budget of a JPEG or WebP output, in bytes.
constexpr std::uint64_t kLargestSizeBudgetBytes = std::uint64_t{1000000} * 1024;

struct ConversionOptions {
    ResizeFilter filter = ResizeFilter::CatmullRom;
    OutputChoice saveAs = OutputChoice::Original;
    int jpegQuality = 100;         // 1..100
    int pngLevel = kPngBestLevel;  // 0..9
    bool bmpRunLength = true;
    bool targaRunLength = true;
    TiffCompression tiffCompression = TiffCompression::Jpeg;
    int webpQuality = 80;  // 1..100, read only when lossy
    bool webpLossless = false;
    // A JPEG shrunk to at most half its size is decoded at 1/2, 1/4 or 1/8 scale.
    bool fastDecoding = false;
    // Every picture keeps its loaded size (the main window's RAW box).
    bool keepDimensions = false;
    // A picture already within the target keeps its size.
    bool noEnlarge = false;
    // Width x height is a box the picture fits in, in proportion, instead of being stretched.
    bool fitWithin = false;
    bool removeLocation = false;
    // A JPEG or lossy WebP output's largest size; none when unset.
    std::optional<std::uint64_t> sizeBudgetBytes;

    friend bool operator==(const ConversionOptions& a, const ConversionOptions& b) {
        return a.filter == b.filter && a.saveAs == b.saveAs && a.jpegQuality == b.jpegQuality &&
               a.pngLevel == b.pngLevel && a.bmpRunLength == b.bmpRunLength &&
               a.targaRunLength == b.targaRunLength && a.tiffCompression == b.tiffCompression &&
               a.webpQuality == b.webpQuality && a.webpLossless == b.webpLossless &&
               a.fastDecoding == b.fastDecoding && a.keepDimensions == b.keepDimensions &&
               a.noEnlarge == b.noEnlarge && a.fitWithin == b.fitWithin &&
               a.removeLocation == b.removeLocation && a.sizeBudgetBytes == b.sizeBudgetBytes;
    }
    friend bool operator!=(const ConversionOptions& a, const ConversionOptions& b) {
        return !(a == b);
    }
};

}  // namespace kavenra
