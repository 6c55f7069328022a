#pragma once

// What a file's header says before a pixel is decoded, and the verdict on it: the values every
// format's header reader gives and the admission before a load judges.

#include <FreeImage.h>

#include <cstdint>
#include <optional>

namespace kavenra {

struct ConversionLimits {
    // Bytes the conversion may hold at once; a picture whose header declares more is refused
    // before any pixel is decoded. 0: no bound.
    std::uint64_t memoryBytes = 0;
};

enum class Admission {
    Admitted,
    Refused,     // fails the structural checks of its format: not to be decoded at all
    TooLarge,    // its declared size needs more memory than the limits allow
    Incomplete,  // its data ends before the picture it declares: a load would make up the rest
};

// What a header says about the bitmap a full load would make.
struct DeclaredImage {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    unsigned bitsPerPixel = 0;
    FREE_IMAGE_TYPE type = FIT_BITMAP;
    // What the decoder holds at its peak besides the bitmap: a progressive JPEG's coefficients,
    // LibRaw's copies of a camera preview or its sensor decode. Unknown: as much as the bitmap.
    std::optional<std::uint64_t> decoderBytes = std::nullopt;
};

}  // namespace kavenra
