#pragma once

#include <FreeImage.h>

#include <string>

namespace kavenra {

// Saves `bitmap` to `destination` so that a failure leaves no trace: FreeImage writes a hidden
// temporary file in the destination's folder, which replaces the destination only once FreeImage
// reports success, every write succeeded and the file reads back (WrittenFileReadsBack); it is
// removed otherwise. An existing destination is thus either replaced
// whole or left exactly as it was. A replaced file keeps its permission bits (and, where the
// process may, its owner); a new file gets the mode a plain file creation gives (0666 less the
// umask). A destination that is a symbolic link is resolved and its target replaced.
// False when the destination is not a writable regular file or cannot be created, and when any
// write of the new file fails, also where FreeImage itself would not notice (a full disk).
bool SaveReplacingFile(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap, const std::string& destination,
                       int flags);

// True when `format`'s reader recognises the file and its header gives `width` x `height`. Only
// the header is read where FreeImage can (FIF_LOAD_NOPIXELS): Debian's FreeImage cannot decode
// RLE8 BMP files, not even its own, though their headers read and other readers take them. This
// catches what FreeImage reports as saved but cannot read (a 48-bit bitmap as BMP or TARGA).
bool WrittenFileReadsBack(const std::string& path, FREE_IMAGE_FORMAT format, unsigned width,
                          unsigned height);

// Told the path of each temporary file as soon as it exists, before anything is written to it;
// nullptr (the initial state) tells no one. The image worker passes it on to the program, which
// removes the file should the worker die before renaming or removing it.
using TemporaryFileObserver = void (*)(const std::string& path);
void SetTemporaryFileObserver(TemporaryFileObserver observer);

}  // namespace kavenra
