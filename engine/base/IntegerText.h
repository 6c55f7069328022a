#pragma once

// Text read as a signed 32-bit integer the way the platform's integer conversion reads it, for
// the window's fields and the settings the design stores as text.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kavenra {

// Blanks first, then an optional sign, then decimal digits, or hexadecimal after "$" or "0x";
// nothing else. Empty for any other text and for a value beyond 32 bits.
std::optional<std::int32_t> IntegerOfText(std::string_view text);

}  // namespace kavenra
