#pragma once

// Picture files with what photos carry besides their pixels, written byte by byte where FreeImage
// cannot write them (BMP files with the newer info headers, ICC profiles, EXIF blocks) and with
// Exiv2 where it can.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ImageFactory.h"

namespace kavenra::test {

// A BMP file as editors write it. `infoSize` 40, 108 or 124; `compression` 0 (plain) or 3 (bit
// fields, whose masks sit in the info header of a 108- or 124-byte file and after a 40-byte one);
// `pixels` the stored rows as they are to appear in the file, each padded to 4 bytes, bottom row
// first unless `topDown`.
struct BmpLayout {
    std::uint32_t infoSize = 124;
    int width = 0;
    int height = 0;
    unsigned bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
    bool topDown = false;
    Bytes pixels;
};
Bytes MakeBmpFile(const BmpLayout& layout);

// A small ICC profile that reads as valid to the PNG, JPEG and TIFF libraries: a display class
// header for `colourSpace` ("RGB " or "GRAY") with one white-point tag; `mark` fills its profile
// id, so that two profiles can be told apart.
Bytes MakeIccProfile(const char (&colourSpace)[5], unsigned char mark);

// The ICC profile the file embeds (a PNG file's iCCP chunk, read here; a TIFF file's as Exiv2
// reads it; what FreeImage reads from other formats); empty when it has none.
Bytes IccProfileOf(const std::string& path);

// A JPEG file with an EXIF block (APP1) right after its start marker, whose EXIF directory holds
// PixelXDimension (a LONG) and PixelYDimension (a SHORT) with these values, in `bigEndian` order
// or the other.
Bytes WithExifPixelDimensions(const Bytes& jpeg, std::uint32_t width, std::uint16_t height,
                              bool bigEndian);

// A JPEG file with `block` as its EXIF block (APP1, after the "Exif" preamble), right after its
// start marker; the block is not checked, so that it may be anything.
Bytes WithExifSegment(const Bytes& jpeg, const Bytes& block);

// A PNG file with an eXIf chunk holding `block` right after its header chunk.
Bytes WithExifChunk(const Bytes& png, const Bytes& block);

// A PNG file with a chunk of `type` holding `data` as it is, with its checksum, right after its
// header chunk: a tEXt chunk's data is its keyword, a zero byte and its text.
Bytes WithPngChunk(const Bytes& png, const char (&type)[5], const Bytes& data);

// EXIF, IPTC and XMP as a photo carries them: what a fixture writes and a test reads back. Empty
// text and 0 stand for a tag the file lacks.
struct PhotoMetadata {
    std::string artist;             // Exif.Image.Artist
    std::string taken;              // Exif.Photo.DateTimeOriginal
    std::uint32_t pixelWidth = 0;   // Exif.Photo.PixelXDimension
    std::uint32_t pixelHeight = 0;  // Exif.Photo.PixelYDimension
    std::string keyword;            // Iptc.Application2.Keywords
    std::string creatorTool;        // Xmp.xmp.CreatorTool
    std::uint16_t orientation = 0;  // Exif.Image.Orientation (a TIFF file's own tag)
    std::string xmpOrientation;     // Xmp.tiff.Orientation
};

// The EXIF block (a TIFF structure, little-endian) that Exiv2 encodes for `metadata`'s EXIF tags.
Bytes EncodeExifBlock(const PhotoMetadata& metadata);

// Writes `metadata` into the JPEG, PNG or TIFF file at `path` with Exiv2.
bool WritePhotoMetadata(const std::string& path, const PhotoMetadata& metadata);

// What Exiv2 reads of `metadata`'s tags from the file at `path`; empty when it cannot read it.
std::optional<PhotoMetadata> PhotoMetadataOf(const std::string& path);

// Where a photo was taken, in every place a camera or an editor puts it (EXIF's GPS latitude,
// longitude and altitude; XMP's exif:GPSLatitude, photoshop:City and Iptc4xmpExt:LocationShown;
// IPTC's City and Country), beside what must outlive its removal: Make, Model,
// DateTimeOriginal, Orientation and an XMP dc:title. Written with Exiv2 into the JPEG, PNG or
// TIFF file at `path`.
constexpr const char* kLocatedCity = "Vinterhavn";
bool WriteLocatedPhotoMetadata(const std::string& path);

// A photo's location in its EXIF (GPS latitude) and its XMP (photoshop:City, exif:GPSLatitude),
// each with or without what its removal must leave beside it: the EXIF the camera's Make
// (kBesideMake) where `exifBeside`, the XMP a dc:title (kBesideTitle) where `xmpBeside`. Written
// with Exiv2 into the JPEG, PNG or TIFF file at `path`.
constexpr const char* kBesideMake = "Kestrel Optics";
constexpr const char* kBesideTitle = "Morning boats";
bool WriteLocationBeside(const std::string& path, bool exifBeside, bool xmpBeside);

// Every EXIF, IPTC and XMP key Exiv2 reads from the file at `path`; nothing when it cannot read
// it.
std::optional<std::vector<std::string>> MetadataKeysOf(const std::string& path);

// PixelXDimension and PixelYDimension as FreeImage decodes them from the file's EXIF block.
std::optional<std::pair<unsigned, unsigned>> ExifPixelDimensionsOf(const std::string& path);

}  // namespace kavenra::test
