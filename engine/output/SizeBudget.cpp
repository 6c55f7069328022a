#include "engine/output/SizeBudget.h"

#include <memory>
#include <optional>

namespace kavenra {
namespace {

// The bits of FreeImage's JPEG and WebP flags that state a quality: a number (1..100) in the
// low seven bits and, for JPEG, the named qualities above them.
constexpr int kQualityBits = 0x7F | JPEG_QUALITYSUPERB | JPEG_QUALITYGOOD | JPEG_QUALITYNORMAL |
                             JPEG_QUALITYAVERAGE | JPEG_QUALITYBAD;
constexpr int kJpegSubsamplingBits =
    JPEG_SUBSAMPLING_411 | JPEG_SUBSAMPLING_420 | JPEG_SUBSAMPLING_422 | JPEG_SUBSAMPLING_444;
constexpr int kFullColourFrom = 90;

struct MemoryCloser {
    void operator()(FIMEMORY* memory) const noexcept { FreeImage_CloseMemory(memory); }
};

std::optional<std::vector<unsigned char>> Encode(FIBITMAP& bitmap, ImageFormat format, int flags) {
    const std::unique_ptr<FIMEMORY, MemoryCloser> memory(FreeImage_OpenMemory());
    if (!memory || !FreeImage_SaveToMemory(format.freeImage(), &bitmap, memory.get(), flags)) {
        return std::nullopt;
    }
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!FreeImage_AcquireMemory(memory.get(), &data, &size) || data == nullptr || size == 0) {
        return std::nullopt;
    }
    return std::vector<unsigned char>(data, data + size);
}

// The search's state: the encodes so far, and the best that fits.
class Search {
  public:
    Search(FIBITMAP& bitmap, ImageFormat format, int otherFlags, std::size_t room)
        : bitmap_(bitmap), format_(format), otherFlags_(otherFlags), room_(room) {}

    // Whether `quality` fits; nothing when the writer refused it. A fitting encoding above the
    // best so far becomes the best; the lowest quality's is kept in case nothing fits.
    std::optional<bool> fits(int quality) {
        std::optional<std::vector<unsigned char>> bytes =
            Encode(bitmap_, format_, BudgetQualityFlags(format_, quality, otherFlags_));
        ++result_.encodes;
        if (!bytes) return std::nullopt;
        const bool fitting = bytes->size() <= room_;
        const bool best = fitting && quality > fittingQuality_;
        // The search tries the lowest quality only once every quality above it is too large.
        const bool lowestOver = !fitting && quality == kLowestBudgetQuality && fittingQuality_ == 0;
        if (best || lowestOver) {
            if (best) fittingQuality_ = quality;
            result_.bytes = std::move(*bytes);
            result_.quality = quality;
            result_.outcome = fitting ? BudgetOutcome::Fits : BudgetOutcome::OverBudget;
        }
        return fitting;
    }

    BudgetedEncoding finish() && { return std::move(result_); }

    BudgetedEncoding failed() && {
        BudgetedEncoding failure;
        failure.encodes = result_.encodes;
        return failure;
    }

  private:
    FIBITMAP& bitmap_;
    ImageFormat format_;
    int otherFlags_;
    std::size_t room_;
    int fittingQuality_ = 0;
    BudgetedEncoding result_;
};

}  // namespace

int BudgetQualityFlags(ImageFormat format, int quality, int otherFlags) {
    int flags = (otherFlags & ~kQualityBits) | quality;
    if (format == ImageFormat::Jpeg) {
        flags &= ~kJpegSubsamplingBits;
        if (quality >= kFullColourFrom) flags |= JPEG_SUBSAMPLING_444;
    }
    return flags;
}

BudgetedEncoding EncodeWithinBudget(FIBITMAP& bitmap, ImageFormat format, std::size_t maxBytes,
                                    int otherFlags, std::size_t reservedBytes) {
    const bool lossy = format == ImageFormat::Jpeg ||
                       (format == ImageFormat::Webp && !(otherFlags & WEBP_LOSSLESS));
    if (!lossy) {
        BudgetedEncoding unsupported;
        unsupported.outcome = BudgetOutcome::Unsupported;
        return unsupported;
    }
    const std::size_t room = maxBytes > reservedBytes ? maxBytes - reservedBytes : 0;
    Search search(bitmap, format, otherFlags, room);
    const std::optional<bool> top = search.fits(kHighestBudgetQuality);
    if (!top) return std::move(search).failed();
    if (*top) return std::move(search).finish();
    // The highest quality in [low, high] that fits, where every quality above `high` does not.
    int low = kLowestBudgetQuality;
    int high = kHighestBudgetQuality - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const std::optional<bool> fitting = search.fits(middle);
        if (!fitting) return std::move(search).failed();
        if (*fitting) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return std::move(search).finish();
}

}  // namespace kavenra
