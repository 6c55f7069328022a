#pragma once

// What the options dialog's codes stand for, in real units, both ways. The codes are what the
// settings database stores and what the command line's numbered flags take; the engine sees only
// the typed values. A code out of its range stands for the dialog's initial choice.

#include <cstdint>

#include "engine/base/ConversionOptions.h"

namespace kavenra {

// The last "Save as" code: 0 the original's format, 1 JPEG, 2 PNG, 3 WebP, 4 TIFF.
constexpr int kLastSaveAsCode = static_cast<int>(OutputChoice::Tiff);

// The largest size budget of a JPEG or WebP output, in KB, as the dialog and the flags state it.
constexpr int kLargestSizeBudgetKb = static_cast<int>(kLargestSizeBudgetBytes / 1024);

inline ResizeFilter FilterOfCode(int code) {
    switch (code) {
        case 1:
            return ResizeFilter::Box;
        case 2:
            return ResizeFilter::Bilinear;
        case 3:
            return ResizeFilter::BSpline;
        case 4:
            return ResizeFilter::Bicubic;
        case 5:
            return ResizeFilter::CatmullRom;
        default:
            return ResizeFilter::Lanczos3;
    }
}

inline int CodeOfFilter(ResizeFilter filter) {
    return static_cast<int>(filter) + 1;
}

// The quality slider's five positions.
inline int JpegQualityOfCode(int code) {
    switch (code) {
        case 1:
            return 10;
        case 2:
            return 25;
        case 3:
            return 50;
        case 4:
            return 75;
        default:
            return 100;
    }
}

// The slider position of the highest quality at or below `quality`; the lowest below 25.
inline int CodeOfJpegQuality(int quality) {
    if (quality >= 100) return 5;
    if (quality >= 75) return 4;
    if (quality >= 50) return 3;
    if (quality >= 25) return 2;
    return 1;
}

inline int PngLevelOfCode(int code) {
    switch (code) {
        case 1:
            return kPngFastestLevel;
        case 2:
            return kPngDefaultLevel;
        case 3:
            return kPngBestLevel;
        default:
            return 0;
    }
}

// The dialog's choice nearest to a zlib level: none, fastest, default or best.
inline int CodeOfPngLevel(int level) {
    if (level <= 0) return 4;
    if (level < kPngDefaultLevel) return 1;
    if (level < kPngBestLevel) return 2;
    return 3;
}

inline TiffCompression TiffCompressionOfCode(int code) {
    switch (code) {
        case 1:
            return TiffCompression::None;
        case 2:
            return TiffCompression::Lzw;
        case 3:
            return TiffCompression::Deflate;
        default:
            return TiffCompression::Jpeg;
    }
}

inline int CodeOfTiffCompression(TiffCompression compression) {
    return static_cast<int>(compression) + 1;
}

// BMP and TARGA: 1 plain, 2 run-length encoded.
inline bool RunLengthOfCode(int code) {
    return code != 1;
}

inline int CodeOfRunLength(bool runLength) {
    return runLength ? 2 : 1;
}

inline OutputChoice OutputChoiceOfCode(int code) {
    const bool known = code >= 0 && code <= kLastSaveAsCode;
    return known ? static_cast<OutputChoice>(code) : OutputChoice::Original;
}

inline int CodeOfOutputChoice(OutputChoice choice) {
    return static_cast<int>(choice);
}

// The WebP quality slider's value: 1..100, else the default.
inline int WebpQualityOfCode(int code) {
    return code >= 1 && code <= 100 ? code : 80;
}

// A size budget in KB; 0 or less is none.
inline std::optional<std::uint64_t> SizeBudgetOfKb(int kilobytes) {
    if (kilobytes <= 0) return std::nullopt;
    return std::uint64_t(kilobytes) * 1024;
}

// The budget in whole KB, at least 1 and at most the largest; 0 for none.
inline int KbOfSizeBudget(const std::optional<std::uint64_t>& bytes) {
    if (!bytes || *bytes == 0) return 0;
    const std::uint64_t kilobytes = (*bytes + 1023) / 1024;
    return static_cast<int>(kilobytes < std::uint64_t(kLargestSizeBudgetKb) ? kilobytes
                                                                            : kLargestSizeBudgetKb);
}

}  // namespace kavenra
