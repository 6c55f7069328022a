#pragma once

// The size rules of a conversion, apart from any image library: the admission's memory estimate
// and the conversion itself take the target size from here.

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/base/ConversionJob.h"

namespace kavenra {

struct SourceSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct TargetSize {
    int width = 0;
    int height = 0;
};

// A decimal number read the way C's atol reads it: leading white space, an optional sign, digits
// up to the first non-digit; 0 when there is no digit. Saturates instead of overflowing.
std::int64_t ParseLeadingInteger(std::string_view text);

// Longest-side mode: L on the longer side and L * shorter / longer, rounded to the nearest pixel
// and at least 1, on the other. Explicit mode: the request's width and height as they are, or
// with the fit-within option the largest size of the picture's proportions inside them, rounded
// the same way. With the no-enlarge option a picture already within the target keeps its own
// size. Empty when the source size gives no ratio (a side of 0, only possible through bogus size
// tags).
std::optional<TargetSize> TargetSizeFor(const ConversionJob& job, SourceSize source);

}  // namespace kavenra
