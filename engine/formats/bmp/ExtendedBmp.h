#pragma once

// BMP files whose info header is the 108-byte (V4) or 124-byte (V5) kind: what common editors
// write by default. Debian's FreeImage refuses them, so they are handed to it as the 40-byte
// header that says the same of the same pixels.

#include <FreeImage.h>

#include <optional>

#include "engine/formats/DeclaredImage.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/SourceFile.h"

namespace kavenra {

// Loads a BMP file. A V4 or V5 file is read through an equivalent 40-byte header, followed by the
// colour masks where the pixels are stored by bit fields, and the file's own palette and pixels;
// a 32-bit picture whose masks give no alpha comes out opaque, and one whose colour masks are not
// the usual byte order is refused rather than shown in the wrong colours. Any other file goes to
// FreeImage's own BMP loader as it is. `flags` as for FreeImage_Load (FIF_LOAD_NOPIXELS reads
// the header alone).
BitmapHandle LoadBmpFile(const SourceFile& source, int flags);

// What the header of a V4 or V5 file declares (read as LoadBmpFile reads it); empty for any other
// file and for a header FreeImage does not take.
std::optional<DeclaredImage> ReadExtendedBmpDeclaration(const SourceFile& source);

}  // namespace kavenra
