#pragma once

#include <FreeImage.h>

#include <optional>
#include <string>

#include "engine/ConversionJob.h"

namespace kavenra {

// The file a save to `destination` reaches: the target of a symbolic link, so that a link in the
// destination folder is written through as a plain overwrite would, not replaced.
std::string WrittenPath(const std::string& destination);

// Writes `bitmap` into a new hidden temporary file in the destination's folder. Empty, with the
// temporary file removed, unless FreeImage reports success, every write succeeded and the file
// reads back (WrittenFileReadsBack), also where FreeImage itself would not notice a failed write
// (a full disk). Also empty when the destination exists but is no regular file this process may
// write. A destination that is a symbolic link names its target.
std::optional<PreparedOutput> SaveToTemporaryFile(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap,
                                                  const std::string& destination, int flags);

// Renames a prepared file to its target, so that an existing target is either replaced whole or
// left exactly as it was. A replaced file keeps its permission bits (and, where the process may,
// its owner); a new file gets the mode a plain file creation gives (0666 less the umask). False,
// with the temporary file removed, when the target is not (or no longer) a writable regular file
// or the rename fails.
bool CommitPreparedOutput(const PreparedOutput& prepared);

// Removes a prepared file that is not to be committed.
void DiscardPreparedOutput(const PreparedOutput& prepared);

// SaveToTemporaryFile and CommitPreparedOutput in a row.
bool SaveReplacingFile(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap, const std::string& destination,
                       int flags);

// True when `format`'s reader recognises the file and its header gives `width` x `height`. Only
// the header is read where FreeImage can (FIF_LOAD_NOPIXELS): Debian's FreeImage cannot decode
// RLE8 BMP files, not even its own, though their headers read and other readers take them. This
// catches what FreeImage reports as saved but cannot read (a 48-bit bitmap as BMP or TARGA).
bool WrittenFileReadsBack(const std::string& path, FREE_IMAGE_FORMAT format, unsigned width,
                          unsigned height);

// Told the path of each temporary file before it is created, so that whoever removes the files of
// a save that died half-way also finds one whose creation was the last thing the save did;
// nullptr (the initial state) tells no one. The image worker passes it on to the program.
using TemporaryFileObserver = void (*)(const std::string& path);
void SetTemporaryFileObserver(TemporaryFileObserver observer);

}  // namespace kavenra
