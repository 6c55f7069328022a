#pragma once

// WebP files put together chunk by chunk, for what FreeImage's writer does not make: EXIF, XMP
// and colour profile chunks of a test's choosing, an extended header that states any canvas, a
// bitstream header alone, a file cut short. The pictures themselves come from FreeImage's writer.

#include <cstdint>
#include <string>
#include <vector>

#include "support/ImageFactory.h"

namespace kavenra::test {

struct WebpChunk {
    std::string type;  // four characters, "VP8 " with its space
    Bytes data;
};

// The chunks of a WebP file in order, as far as they are whole; empty for anything else.
std::vector<WebpChunk> WebpChunks(const Bytes& webp);

// A WebP file of `chunks`, each padded to an even length, its RIFF size stating them all.
Bytes MakeWebpFile(const std::vector<WebpChunk>& chunks);

// The extended header chunk (VP8X) for a canvas of `width` x `height` with these flags.
constexpr unsigned kWebpAnimationFlag = 0x02;
constexpr unsigned kWebpXmpFlag = 0x04;
constexpr unsigned kWebpExifFlag = 0x08;
constexpr unsigned kWebpAlphaFlag = 0x10;
constexpr unsigned kWebpIccFlag = 0x20;
WebpChunk WebpExtendedHeader(std::uint32_t width, std::uint32_t height, unsigned flags);

// What a WebP file carries besides its pixels; empty parts are left out.
struct WebpExtras {
    Bytes icc;
    Bytes exif;  // a TIFF structure, as EncodeExifBlock makes it
    std::string xmp;
};

// `webp`, a file FreeImage wrote of a `width` x `height` picture, as an extended file with the
// extras' chunks where readers look for them (the colour profile before the picture, EXIF and
// XMP after it) and a header whose flags state them; the picture's own chunks (alpha included)
// are kept as they are.
Bytes WithWebpExtras(const Bytes& webp, std::uint32_t width, std::uint32_t height,
                     const WebpExtras& extras);

// An XMP packet that states Xmp.xmp.CreatorTool as `creatorTool`.
std::string XmpPacketWithCreatorTool(const std::string& creatorTool);

// A plain lossless WebP file whose bitstream header states `width` x `height` (1 to 16384 each)
// and whose data after the header is a few bytes of nothing: what a decompression bomb declares.
Bytes LosslessWebpHeaderOnly(std::uint32_t width, std::uint32_t height);

}  // namespace kavenra::test
