#pragma once

// "At most N KB" for a lossy output: the highest quality whose encoded file fits, found by
// encoding in memory, a bounded number of times.

#include <FreeImage.h>

#include <cstddef>
#include <vector>

#include "engine/formats/ImageFormat.h"

namespace kavenra {

constexpr int kLowestBudgetQuality = 1;
constexpr int kHighestBudgetQuality = 100;
// The top quality first, then a halving search over the 99 below it.
constexpr int kMostBudgetEncodes = 8;

enum class BudgetOutcome {
    Fits,         // `bytes` is within the budget
    OverBudget,   // not even the lowest quality fits: `bytes` is that quality's encoding
    Unsupported,  // not JPEG or WebP, or a lossless WebP
    NotEncoded,   // the writer refused the picture at some quality (no memory, a bitmap it
                  // does not take): `bytes` is empty
};

struct BudgetedEncoding {
    BudgetOutcome outcome = BudgetOutcome::NotEncoded;
    std::vector<unsigned char> bytes;  // the whole encoded file
    int quality = 0;                   // the quality `bytes` was encoded at
    int encodes = 0;                   // the encodes the search made
    bool overBudget() const { return outcome == BudgetOutcome::OverBudget; }
};

// The writer flags of `format` (ImageFormat::Jpeg or ImageFormat::Webp) at `quality` (1..100),
// `otherFlags` kept but for any quality and JPEG subsampling they carry: JPEG from 90 up keeps the
// colour at full resolution (4:4:4), as the program's best JPEG setting does, and below that halves
// it (4:2:0), as its other settings do.
int BudgetQualityFlags(ImageFormat format, int quality, int otherFlags);

// `bitmap` encoded as `format` at the highest quality whose file, with `reservedBytes` more,
// fits in `maxBytes`. `reservedBytes` is what is added to the file after the encode (the
// metadata Exiv2 writes into it); FreeImage's own copies of metadata and the colour profile are
// in the encoded bytes already. Quality 100 is tried first, then a halving search over 1..99:
// at most kMostBudgetEncodes encodes, and the chosen encoding is kept, never made again. The file
// sizes are taken to grow with the quality; where an encoder's do not, the quality found fits
// and the one above it does not.
BudgetedEncoding EncodeWithinBudget(FIBITMAP& bitmap, ImageFormat format, std::size_t maxBytes,
                                    int otherFlags, std::size_t reservedBytes = 0);

}  // namespace kavenra
