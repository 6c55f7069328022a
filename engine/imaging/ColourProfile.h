#pragma once

// What a rescale must carry from the loaded picture to the one it saves: FreeImage_Rescale copies
// the metadata models but not the embedded colour profile, and the copied EXIF still states the
// loaded picture's size.

#include <FreeImage.h>

#include <string>

namespace kavenra {

// Attaches `loaded`'s ICC profile to `rescaled` when the input is JPEG, PNG or TIFF (whose writers
// embed it) and the profile describes the pixels `rescaled` holds: an RGB profile for a colour
// picture, a grey one for a greyscale picture (a CMYK input is decoded to RGB and its profile no
// longer applies). True when a profile was attached.
bool CarryColourProfile(FIBITMAP& loaded, FIBITMAP& rescaled, FREE_IMAGE_FORMAT inputFormat);

// Attaches the ICC profile of the PNG file at `path` (its iCCP chunk) to `bitmap`, loaded from
// that file: Debian's FreeImage drops the chunk when it reads. Nothing changes for a file without
// one, or with one that cannot be read whole.
void AttachPngColourProfile(FIBITMAP& bitmap, const std::string& path);

// Sets the EXIF pixel dimensions (PixelXDimension and PixelYDimension, also called
// ExifImageWidth and ExifImageHeight) that `bitmap` carries to its own size, both in the raw EXIF
// block the JPEG writer copies and in the decoded tags. Anything else is left as it is, and so is
// a block whose structure cannot be followed.
void StateExifPixelDimensions(FIBITMAP& bitmap);

}  // namespace kavenra
