#pragma once

// Whether a detected image file may be decoded at all, decided from its header before a single
// pixel is: hostile files declare sizes that no memory holds, or trip loaders that FreeImage is
// known to get wrong.

#include <FreeImage.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/base/ConversionJob.h"
#include "engine/formats/DeclaredImage.h"
#include "engine/formats/ImageFormat.h"

namespace kavenra {

// Whether a file may reach FreeImage's full load: the structural checks of its format
// (PassesStructuralChecks), a run-length coded TARGA's packets against the file's length
// (TargaCheck.h), a WebP file's chunks against its length (WebpLayout.h), then its declared size
// against the limits. A file whose header cannot be read is admitted: the full load decides, within
// the process's own limits.
Admission AdmitForLoading(ImageFormat format, const ConversionJob& job,
                          const ConversionLimits& limits);

// FreeImage's header-only load (kHeaderOnlyLoad); for JPEG the frame header and for WebP the
// container's chunks, read here; for camera RAW the embedded preview that a RAW_PREVIEW load
// takes, or the sensor's size when the file has no preview FreeImage can load. Empty when the
// format has none or the header cannot be read; the full load then decides.
std::optional<DeclaredImage> ReadDeclaredImage(ImageFormat format, const std::string& path);

// The most memory a conversion of such a picture holds at once, in bytes: the loaded bitmap, and
// beside it the larger of the decoder's buffers and what the rescale allocates (the new bitmap,
// the bitmap between its two passes, the filter weights of one pass). The target is taken at its
// largest of the request's size and the picture's own, so the RAW switch need not be read this
// early. The format is all in `image`.
std::uint64_t ConversionFootprint(ImageFormat format, const DeclaredImage& image,
                                  const ConversionJob& job);

// Checks by the file's own structure where FreeImage's loader goes wrong on hostile files; true
// for every other format and for files these checks cannot read:
//  - TARGA: the image type must be one the loader reads, and the file long enough for the pixels
//    it declares, even at the best ratio its run-length coding allows; otherwise the loader
//    spends minutes filling a huge bitmap.
//  - BMP without compression: the file must be long enough for the rows it declares; otherwise
//    the loader returns a bitmap of whatever memory held, and a huge one takes seconds.
//  - ICO: the directory and the first picture must be there whole; otherwise the loader reads
//    the missing header from stray memory and decodes whatever size that gives.
//  - JPEG: the frame must have 1 to 4 colour components; with more, FreeImage allocates an
//    8-bit bitmap and the decoder writes past it.
//  - WebP: the container must hold one still picture whose bitstream states the extended header's
//    canvas size (WebpLayout.h); an animation is refused, and so is a bitstream larger than the
//    canvas the admission measured. A file cut short passes here: AdmitForLoading says Incomplete.
//  - camera RAW: the same for the JPEG preview a conversion loads; a preview that is neither a
//    JPEG nor pixels would reach a loader found by its content, past these checks: refused.
//  - HEIF and AVIF: libheif must read the box structure and find a primary image of a stated
//    size within its limits (DeclareHeifImage, HeifImage.h); AdmitForLoading tells why not.
bool PassesStructuralChecks(ImageFormat format, const std::string& path);

// Checks for files that FreeImage's format detection itself would spend seconds or minutes on:
// a PhaseOne-like header whose metadata directory claims more entries than the file holds (the
// camera RAW parser walks them all, reading past the end). False for such a file, which is then
// no picture at all.
bool PassesDetectionChecks(const std::string& path);

// Address space this process may still take, less a reserve for code that runs beside the
// bitmaps; empty when the process has no address-space limit.
std::optional<std::uint64_t> AddressSpaceLeft();

}  // namespace kavenra
