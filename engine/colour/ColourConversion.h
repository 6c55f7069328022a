#pragma once

// Colour management where FreeImage's own conversion is only a formula: a CMYK JPEG decodes to
// RGB by (1 - C)(1 - K) and the like, and its CMYK profile, which no longer describes those
// pixels, is dropped on the way out. With a profile the picture's colours are what the profile
// says they are; LittleCMS turns them into sRGB.

#include <FreeImage.h>

#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/ImageFormat.h"
#include "engine/formats/SourceFile.h"

namespace kavenra {

// True when `loaded`, FreeImage's load of a JPEG file, carries a CMYK colour profile: the file
// holds CMYK pixels that profile describes.
bool HasCmykProfile(FIBITMAP& loaded);

// The JPEG file's pixels loaded as CMYK (JPEG_CMYK added to `flags`), turned into 24-bit sRGB
// through the CMYK profile `loaded` carries, with an sRGB profile attached and the
// metadata FreeImage reads. `loaded`, FreeImage's load of the same file with `flags`, is released
// before the CMYK load, and comes back as it is when LittleCMS cannot use the profile; when a later
// step fails, FreeImage's load with `flags` again (empty if that fails too). Adobe's programs store
// each ink inverted and mark such files with an APP14 "Adobe" segment; FreeImage inverts every CMYK
// file's samples alike, so the marker decides which are the inks.
BitmapHandle LoadCmykJpegAsSrgb(BitmapHandle loaded, const SourceFile& source, int flags);

}  // namespace kavenra
