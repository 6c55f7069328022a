#include "engine/imaging/WebpOutput.h"

#include <utility>

namespace kavenra {
namespace {

bool WebpWriterTakes(FIBITMAP& bitmap) {
    const unsigned bits = FreeImage_GetBPP(&bitmap);
    return FreeImage_GetImageType(&bitmap) == FIT_BITMAP && (bits == 24 || bits == 32);
}

// A standard bitmap of a type the colour conversions do not take (16-bit greyscale, floating
// point samples), its values scaled linearly over their range.
BitmapHandle StandardCopy(FIBITMAP& bitmap) {
    return BitmapHandle(FreeImage_ConvertToType(&bitmap, FIT_BITMAP, TRUE));
}

BitmapHandle ColourCopy(FIBITMAP& bitmap) {
    switch (FreeImage_GetImageType(&bitmap)) {
        case FIT_BITMAP:
            return BitmapHandle(FreeImage_IsTransparent(&bitmap)
                                    ? FreeImage_ConvertTo32Bits(&bitmap)
                                    : FreeImage_ConvertTo24Bits(&bitmap));
        case FIT_RGB16:
            return BitmapHandle(FreeImage_ConvertTo24Bits(&bitmap));
        case FIT_RGBA16:
            return BitmapHandle(FreeImage_ConvertTo32Bits(&bitmap));
        default: {
            const BitmapHandle standard = StandardCopy(bitmap);
            if (!standard || FreeImage_GetImageType(standard.get()) != FIT_BITMAP) return nullptr;
            return ColourCopy(*standard);
        }
    }
}

}  // namespace

bool MakeWritableAsWebp(BitmapHandle& bitmap) {
    if (!bitmap) return false;
    if (WebpWriterTakes(*bitmap)) return true;
    BitmapHandle copy = ColourCopy(*bitmap);
    if (!copy || !WebpWriterTakes(*copy)) return false;
    FreeImage_CloneMetadata(copy.get(), bitmap.get());
    FreeImage_SetDotsPerMeterX(copy.get(), FreeImage_GetDotsPerMeterX(bitmap.get()));
    FreeImage_SetDotsPerMeterY(copy.get(), FreeImage_GetDotsPerMeterY(bitmap.get()));
    bitmap = std::move(copy);
    return true;
}

}  // namespace kavenra
