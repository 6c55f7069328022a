#pragma once

// A TIFF file that reads fine and makes libtiff warn: one warning line per tag it does not know,
// each time a reader opens the file's directory.

#include <cstdint>
#include <vector>

namespace kavenra::testing {

// An uncompressed 8-bit grey picture of `width` x `height` (a ramp) with `unknownTags` private
// tags no reader knows.
std::vector<unsigned char> TiffWithUnknownTags(int width, int height, int unknownTags);

}  // namespace kavenra::testing
