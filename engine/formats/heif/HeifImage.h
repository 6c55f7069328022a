#pragma once

// HEIF pictures (HEVC-coded, as phones take them) and AVIF pictures (AV1-coded), read with
// libheif. FreeImage knows neither format; they are ImageFormat::Heif and ImageFormat::Avif,
// which are never passed to a FreeImage call. Such an input is written as JPEG, under a ".jpg"
// name, as camera RAW is.
//
// libheif applies the file's own transforms (rotation, mirror, clean aperture) as it decodes, so
// the decoded picture is upright as a viewer shows it, whatever the EXIF orientation inside the
// file still says.

#include <FreeImage.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/ConversionJob.h"
#include "engine/formats/DeclaredImage.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/ImageFormat.h"

namespace kavenra {

constexpr bool IsHeifFormat(ImageFormat format) {
    return format == ImageFormat::Heif || format == ImageFormat::Avif;
}

// The format the file's first box, its file type box, names by its brands: the first codec brand
// among the major brand and then the compatible ones decides, AVIF for avif or avis, HEIF for
// heic, heix, heim, heis, hevc or hevx; without one, the general brands mif1 and msf1 stand for
// HEIF; ImageFormat::Unknown otherwise. `header` is the file's start, as much of it as is at hand.
ImageFormat HeifFormatOfHeader(const unsigned char* header, std::size_t size);

// HeifFormatOfHeader of the file at `path`; ImageFormat::Unknown when it cannot be read.
ImageFormat DetectHeifFile(const std::string& path);

// What the file's structure says before a pixel is decoded: Refused for a file libheif cannot
// read, whose primary image states no size or that has no primary image it can decode, Incomplete
// when its data ends before the boxes it declares, TooLarge beyond libheif's own limits; with
// Admitted, the primary image as it will be decoded (upright).
struct HeifDeclaration {
    Admission admission = Admission::Refused;
    std::optional<DeclaredImage> declared;
};
HeifDeclaration DeclareHeifImage(const std::string& path);

// The primary image, upright, 8 bits a sample: 24-bit colour, or 32-bit with its alpha; its ICC
// profile attached when the file holds one (an nclx description means sRGB-like pixels, which
// need none). Empty, with the reason, when it cannot be decoded.
struct HeifDecode {
    BitmapHandle bitmap;
    FailureReason failure = FailureReason::None;
};
HeifDecode LoadHeifImage(const std::string& path);

// The primary image's EXIF, from its TIFF header on (libheif's block starts with the offset to
// it), and its XMP packet; each empty when the file has none or it is malformed or larger than
// `largest` bytes.
struct HeifMetadata {
    std::vector<unsigned char> exif;
    std::string xmp;
};
HeifMetadata ReadHeifMetadata(const std::string& path, std::size_t largest);

}  // namespace kavenra
