#pragma once

// The conversion of one image file, split into its steps. Everything a step needs comes in as an
// argument, so the same core runs wherever the FreeImage calls are made: in the image worker for
// the program (see ImageWorker.h), in this process for unit tests and benchmarks.

#include <FreeImage.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ConversionJob.h"
#include "engine/ReplacingSave.h"
#include "engine/SourceFile.h"

namespace kavenra {

struct SourceSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct TargetSize {
    int width = 0;
    int height = 0;
};

struct ConversionLimits {
    // Bytes the conversion may hold at once; a picture whose header declares more is refused
    // before any pixel is decoded. 0: no bound.
    std::uint64_t memoryBytes = 0;
};

// Opens the input (SourceFile::Open) and hands it to PrepareOpenedImageFile. Empty when the
// conversion failed; nothing is left on disk.
std::optional<PreparedOutput> PrepareImageFile(const ConversionJob& job,
                                               const ConversionLimits& limits = {});

// Detects the open input's format by content, admits it (AdmitForLoading), loads it (BMP through
// LoadBmpFile) and hands it to PrepareLoadedImage. Every step reads `source` itself, whatever
// the job's source name has come to mean since it was opened.
std::optional<PreparedOutput> PrepareOpenedImageFile(const SourceFile& source,
                                                     const ConversionJob& job,
                                                     const ConversionLimits& limits = {});

// Why the last PrepareImageFile or PrepareOpenedImageFile on this thread failed; None after one
// that succeeded or whose failure has no reason to give.
FailureReason LastPreparationFailure();

// PrepareImageFile and CommitPreparedOutput in a row: true exactly when the output was saved.
bool ConvertImageFile(const ConversionJob& job, const ConversionLimits& limits = {});

// DetectOpenedFileFormat for a regular file (a link to one included); FIF_UNKNOWN for anything
// else, whose reads could block for good (a named pipe) or never end (/dev/zero), and for a path
// with an embedded NUL. The file tested is the file read.
FREE_IMAGE_FORMAT DetectFileFormat(const std::string& path);

// FreeImage_GetFileType of the open file.
FREE_IMAGE_FORMAT DetectOpenedFileFormat(const SourceFile& source);

// False for a file that must not reach FreeImage's full load: one that fails the structural
// checks of its format, or whose declared size needs more than the limits allow.
bool AdmitForLoading(FREE_IMAGE_FORMAT format, const ConversionRequest& request,
                     const ConversionLimits& limits);

// Everything after the load: source size, target size, filter, rescale, the colour profile
// (ColourProfile.h), save flags, output name, the save into a temporary file and the input's EXIF,
// IPTC and XMP in it (Metadata.h), read from the job's source. `format` is the input's detected
// format; `loaded` stays owned by the caller and is released after the rescaled bitmap.
std::optional<PreparedOutput> PrepareLoadedImage(FIBITMAP& loaded, FREE_IMAGE_FORMAT format,
                                                 const ConversionJob& job);

// JPEG_ACCURATE for JPEG, RAW_PREVIEW for camera RAW, 0 otherwise.
int LoadFlagsFor(FREE_IMAGE_FORMAT format);

// The size the target is worked out from. For JPEG the comment tags "OriginalJPEGWidth" and
// "OriginalJPEGHeight" (present when FreeImage decoded the picture at a reduced scale) win over
// the bitmap's own size, each on its own.
SourceSize SourceSizeOf(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format);

// A decimal number read the way C's atol reads it: leading white space, an optional sign, digits
// up to the first non-digit; 0 when there is no digit. Saturates instead of overflowing.
std::int64_t ParseLeadingInteger(std::string_view text);

// Longest-side mode: L on the longer side and floor(L * shorter / longer) + 1 on the other, also
// when the division is exact. Explicit mode: the request's width and height as they are. Empty
// when the source size gives no ratio (a longer side of 0, only possible through bogus size tags).
std::optional<TargetSize> TargetSizeFor(const ConversionRequest& request, SourceSize source);

// The options dialog's filter code to FreeImage's filter. Codes 2 and 4 are bilinear and
// bicubic, which FreeImage numbers the other way round; anything unknown is Lanczos.
FREE_IMAGE_FILTER FilterForCode(int filterCode);

// The save flags for output in the input's own format, reading only that format's code.
// Formats without options of their own (RAW included) save with 0.
int SaveFlagsFor(FREE_IMAGE_FORMAT format, const FormatOptions& codes);

// RAW input is written as JPEG: the file name's extension (from its last ".") becomes ".jpg", a
// name without "." gets ".jpg" appended. A "." in a folder name does not count.
std::string RawOutputPath(const std::string& destination);

}  // namespace kavenra
