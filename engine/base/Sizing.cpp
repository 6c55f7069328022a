#include "engine/base/Sizing.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace kavenra {
namespace {

// White space as the C locale knows it.
bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// floor(numerator / denominator) for any signs; denominator is not 0.
__int128 FloorDivide(__int128 numerator, __int128 denominator) {
    __int128 quotient = numerator / denominator;
    if (numerator % denominator != 0 && ((numerator < 0) != (denominator < 0))) --quotient;
    return quotient;
}

int ClampToInt(__int128 value) {
    return static_cast<int>(std::clamp<__int128>(value, INT_MIN, INT_MAX));
}

// The side that follows from the longer one: L * shorter / longer rounded to the nearest pixel
// (halves up), so that a square stays square and an exact division stays exact; a sliver keeps
// one pixel. A negative result, only possible through bogus size tags, stays negative and so
// gives no picture.
std::optional<int> ProportionalSide(std::int32_t longest, std::int64_t shorter,
                                    std::int64_t longer) {
    if (longer == 0) return std::nullopt;
    const __int128 twice = 2 * static_cast<__int128>(longest) * shorter;
    const __int128 nearest = FloorDivide(twice + longer, 2 * static_cast<__int128>(longer));
    return ClampToInt(nearest < 0 ? nearest : std::max<__int128>(nearest, 1));
}

// Whether the picture needs no enlarging to meet the request; a side of 0 or less, only possible
// through bogus size tags, never counts as within.
bool WithinTarget(const ConversionRequest& request, SourceSize source) {
    if (source.width < 1 || source.height < 1) return false;
    if (request.mode == SizingMode::ExplicitSize)
        return source.width <= request.width && source.height <= request.height;
    return std::max(source.width, source.height) <= request.longestSide;
}

// The largest picture of the source's shape inside width x height: the side whose scale is the
// smaller one takes the box's side, the other follows as in the longest-side rule.
std::optional<TargetSize> FittedInside(std::int32_t width, std::int32_t height, SourceSize source) {
    if (source.width <= 0 || source.height <= 0) return std::nullopt;
    const bool widthBound = static_cast<__int128>(width) * source.height <=
                            static_cast<__int128>(height) * source.width;
    if (widthBound) {
        const auto side = ProportionalSide(width, source.height, source.width);
        if (!side) return std::nullopt;
        return TargetSize{width, *side};
    }
    const auto side = ProportionalSide(height, source.width, source.height);
    if (!side) return std::nullopt;
    return TargetSize{*side, height};
}

}  // namespace

std::int64_t ParseLeadingInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const int digit = text[at] - '0';
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    return negative ? -value : value;
}

std::optional<TargetSize> TargetSizeFor(const ConversionJob& job, SourceSize source) {
    const ConversionRequest& request = job.request;
    const ConversionOptions& options = OptionsOf(job);
    if (options.noEnlarge && WithinTarget(request, source)) {
        return TargetSize{static_cast<int>(source.width), static_cast<int>(source.height)};
    }
    if (request.mode == SizingMode::ExplicitSize) {
        if (options.fitWithin) return FittedInside(request.width, request.height, source);
        return TargetSize{request.width, request.height};
    }
    const std::int32_t longest = request.longestSide;
    if (source.width > source.height) {
        const auto side = ProportionalSide(longest, source.height, source.width);
        if (!side) return std::nullopt;
        return TargetSize{longest, *side};
    }
    const auto side = ProportionalSide(longest, source.width, source.height);
    if (!side) return std::nullopt;
    return TargetSize{*side, longest};
}

}  // namespace kavenra
