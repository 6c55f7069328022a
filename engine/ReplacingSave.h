#pragma once

#include <FreeImage.h>

#include <string>

namespace kavenra {

// Saves `bitmap` to `destination` so that a failure leaves no trace: FreeImage writes a hidden
// temporary file in the destination's folder, which replaces the destination only once FreeImage
// reports success and is removed otherwise. An existing destination is thus either replaced
// whole or left exactly as it was. A replaced file keeps its permission bits (and, where the
// process may, its owner); a new file gets the mode a plain file creation gives (0666 less the
// umask). A destination that is a symbolic link is resolved and its target replaced.
// False when the destination is not a writable regular file or cannot be created, and when any
// write of the new file fails, also where FreeImage itself would not notice (a full disk).
bool SaveReplacingFile(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap, const std::string& destination,
                       int flags);

}  // namespace kavenra
