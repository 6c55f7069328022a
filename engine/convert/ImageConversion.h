#pragma once

// The conversion of one image file, split into its steps. Everything a step needs comes in as an
// argument, so the same core runs wherever the FreeImage calls are made: in the image worker for
// the program (see ImageWorker.h), in this process for unit tests and benchmarks.

#include <FreeImage.h>

#include <optional>
#include <string>

#include "engine/base/ConversionJob.h"
#include "engine/base/Sizing.h"
#include "engine/convert/ImageAdmission.h"
#include "engine/convert/ResampleFilter.h"
#include "engine/convert/TiffPages.h"
#include "engine/formats/ImageFormat.h"
#include "engine/formats/SourceFile.h"
#include "engine/output/ReplacingSave.h"

namespace kavenra {

// What preparing one conversion left: its output under a temporary name, or the reason there is
// none (None where the failing step cannot tell).
struct Preparation {
    std::optional<PreparedOutput> prepared;
    FailureReason failure = FailureReason::None;

    static Preparation Failed(FailureReason reason) { return {std::nullopt, reason}; }
};

// Opens the input (SourceFile::Open) and hands it to PrepareOpenedImageFile. Nothing is left on
// disk when it fails.
Preparation PrepareImageFile(const ConversionJob& job, const ConversionLimits& limits = {});

// Detects the open input's format by content, admits it (AdmitForLoading), refuses a JPEG file
// that ends early (JpegMarkers.h) as Incomplete, loads it (BMP through LoadBmpFile, HEIF and AVIF
// through LoadHeifImage), refuses a JPEG file whose picture data is damaged (JpegDamage.h) as
// Damaged, and hands it to PrepareLoadedImage. Every step reads `source` itself, whatever the job's
// source name has come to mean since it was opened.
Preparation PrepareOpenedImageFile(const SourceFile& source, const ConversionJob& job,
                                   const ConversionLimits& limits = {});

// DetectOpenedFileFormat for a regular file (a link to one included); ImageFormat::Unknown for
// anything else, whose reads could block for good (a named pipe) or never end (/dev/zero), and for
// a path with an embedded NUL. The file tested is the file read.
ImageFormat DetectFileFormat(const std::string& path);

// HEIF or AVIF by the file's brands (HeifImage.h), else the format FreeImage_GetFileType finds
// in the open file.
ImageFormat DetectOpenedFileFormat(const SourceFile& source);

// Everything after the load: source size, target size (beyond what the output format holds, the
// conversion fails as TooLargeForFormat before any picture is made), filter, rescale, the turn
// upright that the
// input's orientation tag asks for (Orientation.h; every size rule applies to the upright
// picture), the output format the "Save as" code chooses and the pixels made fit for its writer
// (OutputFormat.h), the colour profile (ColourProfile.h), save flags, output name, the save into
// a temporary file and the input's EXIF, IPTC and XMP in it (Metadata.h), read from the job's
// source. `format` is the input's detected format; `loaded` stays owned by the caller and is
// released after the rescaled bitmap. With `pages` (a multi-page TIFF input, `loaded` its first
// page) a TIFF output holds every page; an output in another format holds the first.
Preparation PrepareLoadedImage(FIBITMAP& loaded, ImageFormat format, const ConversionJob& job,
                               TiffPages* pages = nullptr);

// The flags of the format's full load (Codec::loadFlags).
int LoadFlagsFor(ImageFormat format);

// The load flags `job` reads its source with: LoadFlagsFor(format), and for a JPEG with fast
// decoding on JpegLoadFlagsFor the size and orientation its header and EXIF state.
int LoadFlagsFor(ImageFormat format, const SourceFile& source, const ConversionJob& job);

// The scale, 1, 2, 4 or 8, a JPEG of `stored` size (as its pixels are stored, before the turn
// `orientation` asks for) is decoded at for `job`: the smallest that divides both sides and
// whose decoded picture still has at least twice the target's size on both sides; 1 when none.
int FastJpegScale(const ConversionJob& job, SourceSize stored, int orientation);

// JPEG_ACCURATE, with the wanted decoded size in the high 16 bits when fast decoding is on, the
// RAW size switch is off (it keeps the loaded size) and FastJpegScale is above 1. Whatever the
// scale, the output's size is worked out from the size tags (SourceSizeOf), as for an exact load.
int JpegLoadFlagsFor(const ConversionJob& job, SourceSize stored, int orientation);

// The size the target is worked out from. For JPEG the comment tags "OriginalJPEGWidth" and
// "OriginalJPEGHeight" (present when FreeImage decoded the picture at a reduced scale) win over
// the bitmap's own size, each on its own.
SourceSize SourceSizeOf(FIBITMAP& bitmap, ImageFormat format);

// A format the program does not write (camera RAW, HEIF, AVIF) saved in "the original's format"
// is written as JPEG: the file name's extension (from its last ".") becomes ".jpg", a name without
// "." gets ".jpg" appended. A "." in a folder name does not count. (OutputPathFor in general.)
std::string RawOutputPath(const std::string& destination);

}  // namespace kavenra
