#include "engine/output/OutputFormat.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "engine/base/SystemText.h"
#include "engine/formats/Codec.h"

namespace kavenra {
namespace {

constexpr BYTE kOpaque = 0xFF;

bool IsPaletteGrey(FIBITMAP& bitmap) {
    const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(&bitmap);
    return colour == FIC_MINISBLACK || colour == FIC_MINISWHITE;
}

bool IsPlainGrey(FIBITMAP& bitmap) {
    return FreeImage_GetImageType(&bitmap) == FIT_BITMAP && FreeImage_GetBPP(&bitmap) == 8 &&
           FreeImage_GetColorType(&bitmap) == FIC_MINISBLACK;
}

// Some alpha below opaque, and not every alpha 0: a writer that ignored an unused fourth byte
// shows the picture its maker meant.
bool AlphaMeansTransparency(FIBITMAP& bitmap) {
    const unsigned width = FreeImage_GetWidth(&bitmap);
    const unsigned height = FreeImage_GetHeight(&bitmap);
    bool belowOpaque = false;
    bool aboveZero = false;
    for (unsigned y = 0; y < height && !(belowOpaque && aboveZero); ++y) {
        const BYTE* pixel = FreeImage_GetScanLine(&bitmap, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, pixel += 4) {
            belowOpaque = belowOpaque || pixel[FI_RGBA_ALPHA] != kOpaque;
            aboveZero = aboveZero || pixel[FI_RGBA_ALPHA] != 0;
        }
    }
    return belowOpaque && aboveZero;
}

bool PaletteHoldsTransparency(FIBITMAP& bitmap) {
    if (!FreeImage_IsTransparent(&bitmap)) return false;
    const BYTE* table = FreeImage_GetTransparencyTable(&bitmap);
    const unsigned count = FreeImage_GetTransparencyCount(&bitmap);
    return table != nullptr &&
           std::any_of(table, table + count, [](BYTE a) { return a != kOpaque; });
}

// Floats of 0..1 per channel to bytes, clamped: FreeImage converts them to nothing but through
// tone mapping, which would change how the picture looks.
std::optional<BitmapHandle> FloatColourToBytes(FIBITMAP& bitmap, bool alpha) {
    const unsigned width = FreeImage_GetWidth(&bitmap);
    const unsigned height = FreeImage_GetHeight(&bitmap);
    BitmapHandle bytes(
        FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), alpha ? 32 : 24));
    if (!bytes) return std::optional<BitmapHandle>(BitmapHandle());
    const unsigned channels = alpha ? 4 : 3;
    // A NaN is taken for 0.
    const auto toByte = [](float value) {
        if (!(value > 0.0f)) return BYTE{0};
        return value >= 1.0f ? BYTE{0xFF} : static_cast<BYTE>(value * 255.0f + 0.5f);
    };
    for (unsigned y = 0; y < height; ++y) {
        const auto* in =
            reinterpret_cast<const float*>(FreeImage_GetScanLine(&bitmap, static_cast<int>(y)));
        BYTE* out = FreeImage_GetScanLine(bytes.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, in += channels, out += channels) {
            out[FI_RGBA_RED] = toByte(in[0]);
            out[FI_RGBA_GREEN] = toByte(in[1]);
            out[FI_RGBA_BLUE] = toByte(in[2]);
            if (alpha) out[FI_RGBA_ALPHA] = toByte(in[3]);
        }
    }
    return std::optional<BitmapHandle>(std::move(bytes));
}

// What a step makes of a picture: nothing when the picture goes as it is, else its copy, which
// is empty when there was no memory for it.
using Step = std::optional<BitmapHandle>;

Step Copy(FIBITMAP* copy) {
    return Step(BitmapHandle(copy));
}

// The picture as 8 bits per sample (FIT_BITMAP), its alpha kept.
Step ToEightBitSamples(FIBITMAP& bitmap) {
    switch (FreeImage_GetImageType(&bitmap)) {
        case FIT_BITMAP:
            return std::nullopt;
        case FIT_UINT16:
            // The high byte of each sample, where a linear scale would stretch the contrast.
            return Copy(FreeImage_ConvertTo8Bits(&bitmap));
        case FIT_RGB16:
            return Copy(FreeImage_ConvertTo24Bits(&bitmap));
        case FIT_RGBA16:
            return Copy(FreeImage_ConvertTo32Bits(&bitmap));
        case FIT_RGBF:
            return FloatColourToBytes(bitmap, false);
        case FIT_RGBAF:
            return FloatColourToBytes(bitmap, true);
        default:
            return Copy(FreeImage_ConvertToStandardType(&bitmap, TRUE));
    }
}

// 24-bit colour on white where the picture is transparent.
Step FlattenOnWhite(FIBITMAP& bitmap) {
    BitmapHandle withAlpha;
    FIBITMAP* source = &bitmap;
    if (FreeImage_GetBPP(&bitmap) != 32) {
        withAlpha.reset(FreeImage_ConvertTo32Bits(&bitmap));
        if (!withAlpha) return Step(BitmapHandle());
        source = withAlpha.get();
    }
    RGBQUAD white{0xFF, 0xFF, 0xFF, 0};
    return Copy(FreeImage_Composite(source, FALSE, &white, nullptr));
}

Step ForJpeg(FIBITMAP& bitmap) {
    const unsigned bpp = FreeImage_GetBPP(&bitmap);
    if (IsPlainGrey(bitmap) || bpp == 24) return std::nullopt;
    if (HoldsTransparency(bitmap)) return FlattenOnWhite(bitmap);
    if (bpp <= 8 && IsPaletteGrey(bitmap)) return Copy(FreeImage_ConvertToGreyscale(&bitmap));
    return Copy(FreeImage_ConvertTo24Bits(&bitmap));
}

Step ForWebp(FIBITMAP& bitmap) {
    const unsigned bpp = FreeImage_GetBPP(&bitmap);
    if (HoldsTransparency(bitmap)) {
        return bpp == 32 ? std::nullopt : Copy(FreeImage_ConvertTo32Bits(&bitmap));
    }
    return bpp == 24 ? std::nullopt : Copy(FreeImage_ConvertTo24Bits(&bitmap));
}

Step ForPng(FIBITMAP& bitmap) {
    const bool packedColour =
        FreeImage_GetImageType(&bitmap) == FIT_BITMAP && FreeImage_GetBPP(&bitmap) == 16;
    return packedColour ? Copy(FreeImage_ConvertTo24Bits(&bitmap)) : std::nullopt;
}

bool AlphaIsZeroThroughout(FIBITMAP& bitmap) {
    const unsigned width = FreeImage_GetWidth(&bitmap);
    for (unsigned y = 0; y < FreeImage_GetHeight(&bitmap); ++y) {
        const BYTE* pixel = FreeImage_GetScanLine(&bitmap, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, pixel += 4) {
            if (pixel[FI_RGBA_ALPHA] != 0) return false;
        }
    }
    return true;
}

// BMP and TARGA writers store a 32-bit picture's fourth byte whatever it holds, and many files
// leave it 0 for no alpha at all: kept in a format that reads it as alpha, the picture would
// vanish.
Step WithoutUnusedAlpha(FIBITMAP& bitmap) {
    const bool padded = FreeImage_GetImageType(&bitmap) == FIT_BITMAP &&
                        FreeImage_GetBPP(&bitmap) == 32 && AlphaIsZeroThroughout(bitmap);
    return padded ? Copy(FreeImage_ConvertTo24Bits(&bitmap)) : std::nullopt;
}

bool PngTakesSamples(FREE_IMAGE_TYPE type) {
    return type == FIT_BITMAP || type == FIT_UINT16 || type == FIT_RGB16 || type == FIT_RGBA16;
}

bool Apply(BitmapHandle& bitmap, Step step) {
    if (!step) return true;
    if (!*step) return false;
    FreeImage_CloneMetadata(step->get(), bitmap.get());
    FreeImage_SetDotsPerMeterX(step->get(), FreeImage_GetDotsPerMeterX(bitmap.get()));
    FreeImage_SetDotsPerMeterY(step->get(), FreeImage_GetDotsPerMeterY(bitmap.get()));
    bitmap = std::move(*step);
    return true;
}

}  // namespace

bool WritesFormat(ImageFormat format) {
    return FreeImageWrites(format);
}

bool ChoosesFormat(OutputChoice saveAs) {
    return saveAs != OutputChoice::Original;
}

ImageFormat OutputFormatFor(ImageFormat input, OutputChoice saveAs) {
    switch (saveAs) {
        case OutputChoice::Jpeg:
            return ImageFormat::Jpeg;
        case OutputChoice::Png:
            return ImageFormat::Png;
        case OutputChoice::Webp:
            return ImageFormat::Webp;
        case OutputChoice::Tiff:
            return ImageFormat::Tiff;
        case OutputChoice::Original:
            break;
    }
    return WritesFormat(input) ? input : ImageFormat::Jpeg;
}

bool FitsOutputFormat(ImageFormat format, std::int64_t width, std::int64_t height) {
    const std::int64_t longest = CodecOf(format).largestSide;
    return longest == 0 || (width <= longest && height <= longest);
}

std::string UsualExtension(ImageFormat format) {
    return UsualExtensionOf(format);
}

std::string WithExtension(const std::string& destination, const std::string& extension) {
    return SplitExtension(destination).stem + extension;
}

std::string OutputPathFor(const std::string& destination, ImageFormat input, ImageFormat output) {
    if (output == input) return destination;
    return WithExtension(destination, UsualExtension(output));
}

bool HoldsTransparency(FIBITMAP& bitmap) {
    switch (FreeImage_GetImageType(&bitmap)) {
        case FIT_RGBA16:
        case FIT_RGBAF:
            return true;
        case FIT_BITMAP: {
            const unsigned bpp = FreeImage_GetBPP(&bitmap);
            if (bpp == 32) return AlphaMeansTransparency(bitmap);
            return bpp <= 8 && PaletteHoldsTransparency(bitmap);
        }
        default:
            return false;
    }
}

bool FitForWriter(BitmapHandle& bitmap, ImageFormat input, ImageFormat output) {
    const bool paddedInput = CodecOf(input).paddedFourthByte;
    if (paddedInput && output != input && !Apply(bitmap, WithoutUnusedAlpha(*bitmap))) return false;
    const WriterPixels pixels = CodecOf(output).writerPixels;
    if (pixels == WriterPixels::AsTheyAre) return true;
    const bool keepSamples =
        pixels == WriterPixels::PngSamples && PngTakesSamples(FreeImage_GetImageType(bitmap.get()));
    if (!keepSamples && !Apply(bitmap, ToEightBitSamples(*bitmap))) return false;
    switch (pixels) {
        case WriterPixels::GreyOrColour:
            return Apply(bitmap, ForJpeg(*bitmap));
        case WriterPixels::ColourOrAlpha:
            return Apply(bitmap, ForWebp(*bitmap));
        default:
            return Apply(bitmap, ForPng(*bitmap));
    }
}

int TiffFlagsForBitmap(int flags, FIBITMAP& bitmap) {
    if (flags != TIFF_JPEG) return flags;
    const bool colour =
        FreeImage_GetImageType(&bitmap) == FIT_BITMAP && FreeImage_GetBPP(&bitmap) == 24;
    return colour || IsPlainGrey(bitmap) ? flags : TIFF_LZW;
}

}  // namespace kavenra
