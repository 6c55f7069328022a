#include "engine/base/IntegerText.h"

#include <limits>

namespace kavenra {
namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

}  // namespace

std::optional<std::int32_t> IntegerOfText(std::string_view text) {
    std::size_t pos = 0;
    const std::size_t length = text.size();
    while (pos < length && text[pos] == ' ') ++pos;
    bool negative = false;
    if (pos < length && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < length && text[pos] == '$') {
        base = 16;
        ++pos;
    } else if (pos + 1 < length && text[pos] == '0' &&
               (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= length) return std::nullopt;
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::int64_t{std::numeric_limits<std::int32_t>::max()};
    std::int64_t value = 0;
    for (; pos < length; ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0) return std::nullopt;
        value = value * base + digit;
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace kavenra
