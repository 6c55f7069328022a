#pragma once

// Pictures stored sideways or mirrored, with a tag that says how to show them (EXIF's
// Orientation, which a TIFF file holds among its own tags): a phone stores a portrait as a
// landscape tagged 6. The conversion turns such a picture upright, so that every size rule
// applies to the picture as it is seen, and its output states orientation 1.

#include <FreeImage.h>

#include "engine/base/Sizing.h"
#include "engine/formats/FreeImageBitmap.h"

namespace kavenra {

// The eight EXIF orientations: how the stored rows and columns are to be shown. 1 is upright;
// 2 to 4 mirror or turn it half round; 5 to 8 have its sides swapped.
constexpr int kUpright = 1;

// A tag's value as an orientation: 1 to 8 as they are, anything else upright.
int OrientationFromTag(long value);

// True for the orientations whose upright picture has the stored picture's sides swapped.
bool SwapsSides(int orientation);

// The size of the picture as it is seen.
SourceSize UprightSize(SourceSize stored, int orientation);
TargetSize UprightSize(TargetSize stored, int orientation);

// The stored size that turns into `upright`: the size to rescale a stored picture to.
TargetSize StoredSize(TargetSize upright, int orientation);

// Replaces `bitmap` with the same pixels as they are to be seen, with its palette, transparency,
// background colour, resolution (swapped with the sides) and metadata models; its colour profile
// is for the caller to carry. True without change for orientation 1; false, `bitmap` unchanged,
// when there is no memory for the turned copy or its pixels are not whole bytes.
bool TurnUpright(BitmapHandle& bitmap, int orientation);

// Makes what FreeImage's writers copy from `bitmap`'s metadata state that its pixels are upright:
// the raw EXIF block a JPEG writer copies says orientation 1, the decoded Orientation tag goes,
// and so do the XMP packet and the text chunks that hold EXIF or XMP in a PNG file, which may say
// otherwise. The input's metadata reaches the output through Metadata.h instead.
void StateUpright(FIBITMAP& bitmap);

}  // namespace kavenra
