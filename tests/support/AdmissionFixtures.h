#pragma once

// Files that reach FreeImage's decoders only when the checks before decoding misread them: JPEG
// frames behind stray bytes, camera previews, cut PhaseOne headers, run-length coded TARGA files
// cut short; and pictures that declare far more than their file holds.

#include <cstdint>

#include "support/ImageFactory.h"

namespace kavenra::test {

// A small baseline JPEG whose frame declares `components` colour components of 8 bits, sampled
// 1x1, with one scan of the first one: FreeImage allocates for at most four and the decoder
// writes them all.
Bytes ComponentsJpeg(int components, int width = 47, int height = 1);

// `jpeg` with `stray` inserted right before the 0xFF of its first frame marker.
Bytes WithBytesBeforeFrame(const Bytes& jpeg, const Bytes& stray);

// `jpeg` whose first frame declares `width` x `height` pixels.
Bytes WithFrameSize(const Bytes& jpeg, std::uint16_t width, std::uint16_t height);

// 64 bytes that LibRaw takes for a PhaseOne file cut short: its directory points the metadata
// directory past the end, where LibRaw reads an entry count of 0xFFFFFFFF.
Bytes TruncatedPhaseOne();

// A run-length coded TARGA file of `bits` per pixel (8: colour-mapped, with a palette of 256
// colours; 24 or 32: true colour), 16 pixels wide and `height` high, each row a raw packet of 9
// different pixels and a run packet of 7 alike, with no footer. The offsets are those of the last
// raw and the last run packet's count bytes.
struct RunLengthTarga {
    Bytes file;
    std::size_t lastRawPacket = 0;
    std::size_t lastRunPacket = 0;
    int bytesPerPixel = 0;
};
RunLengthTarga MakeRunLengthTarga(int bits, int height = 6);

// `png` whose header chunk declares `width` x `height` pixels, its checksum made again. The
// pixel data stays the small picture's: a file of a few hundred bytes that a load would
// allocate the declared size for, as a highly compressed picture of one colour would.
Bytes WithPngSize(const Bytes& png, std::uint32_t width, std::uint32_t height);

}  // namespace kavenra::test
