#pragma once

// The resampling filter of every rescale, as FreeImage names it.

#include <FreeImage.h>

#include "engine/base/ConversionOptions.h"

namespace kavenra {

FREE_IMAGE_FILTER FreeImageFilterOf(ResizeFilter filter);

// The options dialog's filter code to FreeImage's filter. Codes 2 and 4 are bilinear and
// bicubic, which FreeImage numbers the other way round; anything unknown is Lanczos.
FREE_IMAGE_FILTER FilterForCode(int filterCode);

}  // namespace kavenra
