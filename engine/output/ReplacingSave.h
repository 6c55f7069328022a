#pragma once

#include <FreeImage.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/ConversionJob.h"
#include "engine/formats/ImageFormat.h"

namespace kavenra {

// A change to a file just written, before it is verified: given the file's content, the content
// it is to hold instead, or nothing to leave it as written. Must not throw.
using WrittenFileChange =
    std::function<std::optional<std::vector<unsigned char>>(const std::vector<unsigned char>&)>;

// Writes `bitmap` into a new hidden temporary file in the destination's folder, then applies
// `change`, if any, to it. Empty, with the temporary file removed, unless FreeImage reports
// success, every write succeeded and the file reads back (WrittenFileReadsBack), also where
// FreeImage itself would not notice a failed write (a full disk). A change whose content cannot
// be written whole leaves the file as FreeImage wrote it; files beyond 256 MiB are not changed.
// Also empty when the destination exists but is no regular file this process may write. A
// destination that is a symbolic link is the link itself, which the commit replaces: what it
// points to is never read or written (a link to a folder, a device or a pipe is refused).
//
// The temporary file has the final file's permission bits from its creation on (those of the
// file it replaces, else 0666 less the umask), without the group's while it cannot have the
// replaced file's group: no one reads it who could not read the final file. A BMP file's header
// states the file's real length (FreeImage's RLE writer leaves it short). Where the folder
// refuses a new file but the destination is a file this process may write, the temporary file is
// made in the temporary folder ($TMPDIR, else /tmp) and committed by overwriting in place.
std::optional<PreparedOutput> SaveToTemporaryFile(ImageFormat format, FIBITMAP& bitmap,
                                                  const std::string& destination, int flags,
                                                  const WrittenFileChange& change = {});

// Writes a file's whole content through FreeImage's `io` into `handle`: true when FreeImage
// reports success.
using OutputWriter = std::function<bool(FreeImageIO& io, fi_handle handle)>;

// What a written file must read back as: its first picture's size, and its pages (TIFF alone
// has more than one).
struct WrittenShape {
    unsigned width = 0;
    unsigned height = 0;
    int pages = 1;
};

// SaveToTemporaryFile for content that `write` makes, such as several pages of one TIFF file;
// the file must read back as `shape` says.
std::optional<PreparedOutput> SaveWrittenToTemporaryFile(ImageFormat format,
                                                         const OutputWriter& write,
                                                         const WrittenShape& shape,
                                                         const std::string& destination,
                                                         const WrittenFileChange& change = {});

// Renames a prepared file to its target, so that an existing target is either replaced whole or
// left exactly as it was. The file's content is flushed to the disk before the rename, and the
// folder's entry after it, so that a power loss right after the commit leaves the old file or the
// new one under the name, never an empty one. A replaced file keeps its permission bits (and,
// where the process may, its owner); a new file, and one that replaces a symbolic link, gets the
// mode a plain file creation gives (0666 less the umask). False, with the temporary file removed
// and errno telling why, when the target is not (or no longer) a writable regular file or a link
// to one or none, or the flush or the rename fails. A file prepared outside the target's folder
// (which refused it) is copied over the target instead, as a plain save would write it: the target
// keeps its inode, owner and mode; room for the new content is reserved first where the file system
// can, so that a full disk fails the commit before the target changes; the copy is flushed before
// the commit succeeds.
bool CommitPreparedOutput(const PreparedOutput& prepared);

// Puts the prepared file's content on the disk ahead of its commit, while other work goes on, and
// marks it flushed; false, with errno set, when that fails (the commit then flushes it itself).
bool FlushPreparedOutput(PreparedOutput& prepared);

// Removes a prepared file that is not to be committed; errno stays as it was.
void DiscardPreparedOutput(const PreparedOutput& prepared);

// SaveToTemporaryFile and CommitPreparedOutput in a row.
bool SaveReplacingFile(ImageFormat format, FIBITMAP& bitmap, const std::string& destination,
                       int flags);

// True when `format`'s reader recognises the file and its header gives `width` x `height`. Only
// the header is read where FreeImage can (kHeaderOnlyLoad): Debian's FreeImage cannot decode
// RLE8 BMP files, not even its own, though their headers read and other readers take them; a WebP
// file is decoded whole, since its header says nothing of the bitstream after it. This
// catches what FreeImage reports as saved but cannot read (a 48-bit bitmap as BMP or TARGA).
bool WrittenFileReadsBack(const std::string& path, ImageFormat format, unsigned width,
                          unsigned height);

// The process whose id names the temporary files (see ReplacingSaveLeftovers.h); 0, the initial
// state, names this process. The image worker names the program that started it, which owns a
// prepared output until it commits or discards it, long after the job process that wrote it may
// have ended.
void SetTemporaryFileOwner(pid_t owner);

// Told the path of each temporary file before it is created, so that whoever removes the files of
// a save that died half-way also finds one whose creation was the last thing the save did;
// nullptr (the initial state) tells no one. The image worker passes it on to the program.
using TemporaryFileObserver = void (*)(const std::string& path);
void SetTemporaryFileObserver(TemporaryFileObserver observer);

}  // namespace kavenra
