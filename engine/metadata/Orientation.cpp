#include "engine/metadata/Orientation.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace kavenra {
namespace {

struct Position {
    unsigned x;
    unsigned y;
};

// The stored pixel shown at (x, y) of the upright picture, both counted from the top left;
// `width` and `height` are the stored picture's.
Position StoredPosition(int orientation, Position upright, unsigned width, unsigned height) {
    const unsigned x = upright.x;
    const unsigned y = upright.y;
    switch (orientation) {
        case 2:  // mirrored left to right
            return {width - 1 - x, y};
        case 3:  // half round
            return {width - 1 - x, height - 1 - y};
        case 4:  // mirrored top to bottom
            return {x, height - 1 - y};
        case 5:  // mirrored along the diagonal from the top left
            return {y, x};
        case 6:  // to be turned clockwise
            return {y, height - 1 - x};
        case 7:  // mirrored along the diagonal from the top right
            return {width - 1 - y, height - 1 - x};
        case 8:  // to be turned anticlockwise
            return {width - 1 - y, x};
        default:
            return {x, y};
    }
}

// FreeImage counts scan lines from the bottom.
BYTE* PixelAt(FIBITMAP& bitmap, Position at, unsigned bytesPerPixel) {
    const unsigned line = FreeImage_GetHeight(&bitmap) - 1 - at.y;
    return FreeImage_GetScanLine(&bitmap, static_cast<int>(line)) + at.x * bytesPerPixel;
}

void CopyPixels(FIBITMAP& stored, FIBITMAP& upright, int orientation, unsigned bytesPerPixel) {
    const unsigned width = FreeImage_GetWidth(&stored);
    const unsigned height = FreeImage_GetHeight(&stored);
    const unsigned uprightWidth = FreeImage_GetWidth(&upright);
    const unsigned uprightHeight = FreeImage_GetHeight(&upright);
    for (unsigned y = 0; y < uprightHeight; ++y) {
        BYTE* into = PixelAt(upright, {0, y}, bytesPerPixel);
        for (unsigned x = 0; x < uprightWidth; ++x, into += bytesPerPixel) {
            const Position from = StoredPosition(orientation, {x, y}, width, height);
            std::memcpy(into, PixelAt(stored, from, bytesPerPixel), bytesPerPixel);
        }
    }
}

// What describes the pixels besides their values.
void CopyPixelDescription(FIBITMAP& stored, FIBITMAP& upright, int orientation) {
    if (FreeImage_GetColorsUsed(&stored) > 0 && FreeImage_GetPalette(&upright) != nullptr) {
        std::memcpy(FreeImage_GetPalette(&upright), FreeImage_GetPalette(&stored),
                    FreeImage_GetColorsUsed(&stored) * sizeof(RGBQUAD));
    }
    if (FreeImage_GetTransparencyCount(&stored) > 0) {
        FreeImage_SetTransparencyTable(&upright, FreeImage_GetTransparencyTable(&stored),
                                       static_cast<int>(FreeImage_GetTransparencyCount(&stored)));
    }
    FreeImage_SetTransparent(&upright, FreeImage_IsTransparent(&stored));
    RGBQUAD background{};
    if (FreeImage_GetBackgroundColor(&stored, &background)) {
        FreeImage_SetBackgroundColor(&upright, &background);
    }
    const bool swapped = SwapsSides(orientation);
    const unsigned xResolution = FreeImage_GetDotsPerMeterX(&stored);
    const unsigned yResolution = FreeImage_GetDotsPerMeterY(&stored);
    FreeImage_SetDotsPerMeterX(&upright, swapped ? yResolution : xResolution);
    FreeImage_SetDotsPerMeterY(&upright, swapped ? xResolution : yResolution);
    FreeImage_CloneMetadata(&upright, &stored);
}

bool HoldsOrientation(const char* key) {
    // FreeImage's PNG reader keeps EXIF and XMP written as text chunks as comments, and its
    // writer writes them back.
    return std::strcmp(key, "Raw profile type exif") == 0 ||
           std::strcmp(key, "Raw profile type APP1") == 0 ||
           std::strcmp(key, "Raw profile type xmp") == 0 ||
           std::strcmp(key, "XML:com.adobe.xmp") == 0;
}

std::vector<std::string> CommentsHoldingOrientation(FIBITMAP& bitmap) {
    std::vector<std::string> keys;
    FITAG* tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(FIMD_COMMENTS, &bitmap, &tag);
    if (search == nullptr) return keys;
    do {
        const char* key = FreeImage_GetTagKey(tag);
        if (key != nullptr && HoldsOrientation(key)) keys.emplace_back(key);
    } while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
    return keys;
}

// Sets the Orientation tag of the first directory of an EXIF block (as a JPEG file's APP1 segment
// holds it, with or without its "Exif" preamble) to 1; false when the block has no such tag.
bool StateUprightInExifBlock(std::vector<unsigned char>& block) {
    static constexpr unsigned char kPreamble[] = {'E', 'x', 'i', 'f', 0, 0};
    std::size_t base = 0;
    if (block.size() >= sizeof kPreamble &&
        std::memcmp(block.data(), kPreamble, sizeof kPreamble) == 0) {
        base = sizeof kPreamble;
    }
    if (block.size() < base + 8) return false;
    const bool little = block[base] == 'I' && block[base + 1] == 'I';
    if (!little && !(block[base] == 'M' && block[base + 1] == 'M')) return false;
    const auto u16 = [&](std::size_t at) -> unsigned {
        return little ? block[at] | block[at + 1] << 8 : block[at] << 8 | block[at + 1];
    };
    const auto u32 = [&](std::size_t at) -> std::size_t {
        return little ? u16(at) | std::size_t{u16(at + 2)} << 16
                      : std::size_t{u16(at)} << 16 | u16(at + 2);
    };
    const std::size_t directory = base + u32(base + 4);
    if (directory < base || directory + 2 > block.size()) return false;
    const unsigned entries = u16(directory);
    constexpr unsigned kOrientation = 0x0112;
    constexpr unsigned kShort = 3;
    for (unsigned entry = 0; entry < entries; ++entry) {
        const std::size_t at = directory + 2 + std::size_t{12} * entry;
        if (at + 12 > block.size()) return false;
        if (u16(at) != kOrientation) continue;
        if (u16(at + 2) != kShort || u32(at + 4) < 1) return false;
        block[at + 8] = little ? kUpright : 0;
        block[at + 9] = little ? 0 : kUpright;
        return true;
    }
    return false;
}

}  // namespace

int OrientationFromTag(long value) {
    return value >= 1 && value <= 8 ? static_cast<int>(value) : kUpright;
}

bool SwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

SourceSize UprightSize(SourceSize stored, int orientation) {
    return SwapsSides(orientation) ? SourceSize{stored.height, stored.width} : stored;
}

TargetSize UprightSize(TargetSize stored, int orientation) {
    return SwapsSides(orientation) ? TargetSize{stored.height, stored.width} : stored;
}

TargetSize StoredSize(TargetSize upright, int orientation) {
    // Swapping the sides is its own inverse.
    return UprightSize(upright, orientation);
}

bool TurnUpright(BitmapHandle& bitmap, int orientation) {
    if (!bitmap) return false;
    if (OrientationFromTag(orientation) == kUpright) return true;
    const unsigned bitsPerPixel = FreeImage_GetBPP(bitmap.get());
    if (bitsPerPixel == 0 || bitsPerPixel % 8 != 0) return false;
    const unsigned width = FreeImage_GetWidth(bitmap.get());
    const unsigned height = FreeImage_GetHeight(bitmap.get());
    const bool swapped = SwapsSides(orientation);
    BitmapHandle upright(FreeImage_AllocateT(
        FreeImage_GetImageType(bitmap.get()), static_cast<int>(swapped ? height : width),
        static_cast<int>(swapped ? width : height), static_cast<int>(bitsPerPixel),
        FreeImage_GetRedMask(bitmap.get()), FreeImage_GetGreenMask(bitmap.get()),
        FreeImage_GetBlueMask(bitmap.get())));
    if (!upright) return false;
    CopyPixels(*bitmap, *upright, orientation, bitsPerPixel / 8);
    CopyPixelDescription(*bitmap, *upright, orientation);
    bitmap = std::move(upright);
    return true;
}

void StateUpright(FIBITMAP& bitmap) {
    FITAG* block = nullptr;
    if (FreeImage_GetMetadata(FIMD_EXIF_RAW, &bitmap, "ExifRaw", &block) && block != nullptr &&
        FreeImage_GetTagValue(block) != nullptr) {
        const auto* value = static_cast<const unsigned char*>(FreeImage_GetTagValue(block));
        std::vector<unsigned char> exif(value, value + FreeImage_GetTagLength(block));
        if (StateUprightInExifBlock(exif)) FreeImage_SetTagValue(block, exif.data());
    }
    RemoveMetadataTag(bitmap, FIMD_EXIF_MAIN, "Orientation");
    FreeImage_SetMetadata(FIMD_XMP, &bitmap, nullptr, nullptr);
    for (const std::string& key : CommentsHoldingOrientation(bitmap)) {
        RemoveMetadataTag(bitmap, FIMD_COMMENTS, key.c_str());
    }
}

}  // namespace kavenra
