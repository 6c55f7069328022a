#pragma once

// What a rescale must carry from the loaded picture to the one it saves: FreeImage_Rescale copies
// the metadata models but not the embedded colour profile. (EXIF, IPTC and XMP: Metadata.h.)

#include <FreeImage.h>

#include <string>

#include "engine/formats/ImageFormat.h"

namespace kavenra {

// Attaches `loaded`'s ICC profile to `rescaled` when the input is JPEG, PNG, TIFF, WebP, HEIF or
// AVIF, the output JPEG, PNG, TIFF or WebP (whose writers embed it), and the profile describes the
// pixels `rescaled` holds: an RGB profile for a colour picture, a grey one for a greyscale picture
// (a CMYK input is decoded to RGB and its profile no longer applies; a grey picture saved as colour
// takes no grey profile). True when a profile was attached.
bool CarryColourProfile(FIBITMAP& loaded, FIBITMAP& rescaled, ImageFormat inputFormat,
                        ImageFormat outputFormat);

// Attaches the ICC profile of the PNG file at `path` (its iCCP chunk) to `bitmap`, loaded from
// that file: Debian's FreeImage drops the chunk when it reads. Nothing changes for a file without
// one, or with one that cannot be read whole.
void AttachPngColourProfile(FIBITMAP& bitmap, const std::string& path);

// Replaces the ICC profile of `bitmap`, loaded from the TIFF file at `path`, with the one the file
// holds: Debian's FreeImage copies the profile from memory it has already released when the file
// also has an EXIF directory, and the profile's first bytes come out as whatever took their place.
// Nothing changes for a file without one, or one too large to read for it.
void AttachTiffColourProfile(FIBITMAP& bitmap, const std::string& path);

}  // namespace kavenra
