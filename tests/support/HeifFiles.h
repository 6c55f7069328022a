#pragma once

// HEIF and AVIF files made with libheif's own encoders (x265 for HEVC, aom for AV1), and the box
// surgery that turns a good file into a damaged one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ImageFactory.h"

namespace kavenra::test {

enum class HeifCodec { Hevc, Av1 };

// What one file holds. The picture is MakeQuadrantBitmap's (OrientedPicture.h) at `width` x
// `height` as it is to be shown; the file stores it turned as `orientation` (EXIF's values 1 to 8)
// says and carries the rotation and mirror boxes that turn it back.
struct HeifPicture {
    HeifCodec codec = HeifCodec::Hevc;
    int width = 64;
    int height = 48;
    int orientation = 1;
    bool alpha = false;      // the right half fully transparent
    int bitDepth = 8;        // bits a sample: 8, or 10 for HEVC (Debian's aom
                             // aborts on 10-bit RGB input)
    Bytes exif;              // a TIFF structure (EncodeExifBlock), stored as the picture's EXIF
    std::string xmp;         // an XMP packet
    Bytes icc;               // an ICC profile, in place of the encoder's nclx description
    bool thumbnail = false;  // a 16-pixel thumbnail beside the picture
};

// The file's content; empty when libheif has no encoder for the codec.
Bytes MakeHeifFile(const HeifPicture& picture);

// Where the first box of `type` starts (its size field) in `file`, searched byte by byte, so that a
// box nested at any depth is found; empty when there is none.
std::optional<std::size_t> FindBox(const Bytes& file, const char (&type)[5]);

// Where every box of `type` starts: libheif's HEVC files hold the picture as a grid of one tile,
// each with its own size box.
std::vector<std::size_t> FindBoxes(const Bytes& file, const char (&type)[5]);

// Big-endian fields, as every box stores them.
std::uint32_t ReadBigEndian32(const Bytes& file, std::size_t at);
void WriteBigEndian32(Bytes& file, std::size_t at, std::uint32_t value);

// The EXIF orientation value stored in the file's EXIF block (a little-endian TIFF structure)
// replaced by `orientation`; unchanged when the block has none.
Bytes WithStoredExifOrientation(Bytes file, std::uint16_t orientation);

// A HEVC file of MakeHeifFile (which libheif lays out as a grid of one tile) as a grid of
// `columns` x `rows` copies of that tile (each at most 256), every copy referencing the same coded
// data; empty when the file is not laid out so.
Bytes WithTiledGrid(Bytes file, int columns, int rows);

}  // namespace kavenra::test
