#pragma once

// Pictures stored sideways or mirrored as an EXIF orientation tag describes them, and a check that
// a picture is shown upright. The upright picture has four quadrants of distinct colours, which
// survive lossy compression and resampling, so that every turn and mirror shows.

#include <QString>

#include "support/ImageFactory.h"

namespace kavenra::test {

// `width` x `height`, upright: red at the top left, green at the top right, blue at the bottom
// left, yellow at the bottom right.
BitmapHandle MakeQuadrantBitmap(int width, int height);

// The pixels a camera stores for `upright` under EXIF orientation `orientation` (1 to 8): where
// the stored picture's first row and first column are to be shown, as the tag's definition says
// (1: top and left, 2: top and right, 3: bottom and right, 4: bottom and left, 5: left and top,
// 6: right and top, 7: right and bottom, 8: left and bottom).
BitmapHandle StoredForOrientation(FIBITMAP& upright, int orientation);

// Empty when `picture` shows the quadrants of MakeQuadrantBitmap the right way round (each
// quadrant's middle within a tolerance of its colour); otherwise what is wrong.
QString QuadrantMismatch(FIBITMAP& picture);

}  // namespace kavenra::test
