#pragma once

// JPEG files with what FreeImage's writer never puts in: restart markers inside the picture data,
// as many cameras write them.

#include "support/ImageFactory.h"

namespace kavenra::test {

// A baseline greyscale JPEG of `width` x `height` (multiples of 8) flat 8 x 8 blocks of varied
// greys, with a restart marker after every `interval` blocks.
Bytes EncodeJpegWithRestartMarkers(int width, int height, int interval);

}  // namespace kavenra::test
