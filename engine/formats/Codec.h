#pragma once

// What the program knows of one file format, in one place: how it is recognised and named, how it
// loads, what its writer takes and how it is set, and which metadata it carries. Each codec's row
// is made in its own folder (jpeg/, png/, ...); Codecs() lists them all, and every layer above asks
// it instead of naming formats.

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/ConversionOptions.h"
#include "engine/formats/ImageFormat.h"

namespace kavenra {

// The pixels a format's writer takes, which the output step makes a picture fit before a save.
enum class WriterPixels : std::uint8_t {
    AsTheyAre,      // TIFF, BMP, TARGA and the formats the window never lists
    PngSamples,     // as they are, but 5-6-5 colour becomes 24-bit and float or other samples 8-bit
    GreyOrColour,   // JPEG: 8-bit grey or 24-bit colour, transparency flattened onto white
    ColourOrAlpha,  // WebP: 24-bit colour, or 32-bit where the picture has transparency
};

// How the EXIF, IPTC and XMP blocks of a file are reached.
enum class MetadataAccess : std::uint8_t {
    None,     // the format holds none the program reads
    InFile,   // Exiv2 reads them from the file and writes them into an output of the format
    Libheif,  // read from the primary image of a HEIF container; not written
};

struct Codec {
    ImageFormat format;
    const char* name = "";
    // FreeImage's value of the format; FIF_UNKNOWN where FreeImage does not read it.
    FREE_IMAGE_FORMAT freeImage = FIF_UNKNOWN;
    // One of the formats the program offers to read: it is listed in the window's file filter,
    // the help text, the manual page and the desktop file; any other is read only when FreeImage
    // does, and fails as not supported in a run.
    bool offered = false;
    // The file name extensions, lower case, without the ".", the usual one first.
    std::vector<const char*> extensions;
    // The desktop's MIME types of the format.
    std::vector<const char*> mimeTypes;
    // The flags of FreeImage's full load.
    int loadFlags = 0;
    // The writer's flags for the options; null for a format the program does not set (0).
    int (*saveFlags)(const ConversionOptions& options) = nullptr;
    // The longest side the format's header and encoder hold; 0 for no bound of its own.
    std::int64_t largestSide = 0;
    WriterPixels writerPixels = WriterPixels::AsTheyAre;
    // A 32-bit picture of the format may hold padding, not alpha, in its fourth byte (0
    // throughout).
    bool paddedFourthByte = false;
    // An output read back after its save has its header read alone (FIF_LOAD_NOPIXELS) instead of
    // a full load. Off where FreeImage's header-only load says nothing of a broken file.
    bool readBackHeaderOnly = true;
    bool profileRead = false;     // its ICC profile is read
    bool profileWritten = false;  // an ICC profile is written into an output of it
    MetadataAccess metadata = MetadataAccess::None;
};

// Every codec, the offered ones first in the order the program names them.
const std::vector<Codec>& Codecs();

// The codec of `format`; Unknown's (no name, nothing read or written) for Unknown.
const Codec& CodecOf(ImageFormat format);

// True when FreeImage has a writer for `format`; false for a format it does not read.
bool FreeImageWrites(ImageFormat format);

// The flags `format`'s writer saves with for `options`; 0 for a format without settings.
int SaveFlagsOf(ImageFormat format, const ConversionOptions& options);

// The usual extension, with its ".", of a format the program writes with settings of its own
// (".jpg", ".png", ".webp", ".tif", ".bmp", ".tga"); empty for any other.
std::string UsualExtensionOf(ImageFormat format);

}  // namespace kavenra
