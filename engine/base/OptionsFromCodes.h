#pragma once

// The options dialog's stored codes in real units. Until every caller builds ConversionOptions at
// its own edge, the engine turns the codes it is handed into the typed value here, once.

#include "engine/base/ConversionOptions.h"
#include "engine/base/ConversionSettings.h"

namespace kavenra {

inline ResizeFilter FilterOfCode(int code) {
    switch (code) {
        case 1:
            return ResizeFilter::Box;
        case 2:
            return ResizeFilter::Bilinear;
        case 3:
            return ResizeFilter::BSpline;
        case 4:
            return ResizeFilter::Bicubic;
        case 5:
            return ResizeFilter::CatmullRom;
        default:
            return ResizeFilter::Lanczos3;
    }
}

inline int JpegQualityOfCode(int code) {
    switch (code) {
        case 1:
            return 10;
        case 2:
            return 25;
        case 3:
            return 50;
        case 4:
            return 75;
        default:
            return 100;
    }
}

inline int PngLevelOfCode(int code) {
    switch (code) {
        case 1:
            return kPngFastestLevel;
        case 2:
            return kPngDefaultLevel;
        case 3:
            return kPngBestLevel;
        default:
            return 0;
    }
}

inline TiffCompression TiffCompressionOfCode(int code) {
    switch (code) {
        case 1:
            return TiffCompression::None;
        case 2:
            return TiffCompression::Lzw;
        case 3:
            return TiffCompression::Deflate;
        default:
            return TiffCompression::Jpeg;
    }
}

inline ConversionOptions OptionsFromCodes(const ConversionSettings& settings) {
    const FormatOptions& codes = settings.codes;
    ConversionOptions options;
    options.filter = FilterOfCode(codes.filtro_redimension);
    const bool knownSaveAs = codes.guardar_como >= 0 && codes.guardar_como <= kLastSaveAs;
    options.saveAs =
        knownSaveAs ? static_cast<OutputChoice>(codes.guardar_como) : OutputChoice::Original;
    options.jpegQuality = JpegQualityOfCode(codes.jpeg);
    options.pngLevel = PngLevelOfCode(codes.png);
    options.bmpRunLength = codes.bmp != 1;
    options.targaRunLength = codes.tga != 1;
    options.tiffCompression = TiffCompressionOfCode(codes.tif);
    options.webpQuality = codes.webp >= 1 && codes.webp <= 100 ? codes.webp : 80;
    options.webpLossless = codes.webp_sin_perdida == 1;
    options.fastDecoding = codes.decodificacion_rapida == 1;
    options.keepDimensions = settings.keepDimensions;
    options.noEnlarge = codes.no_ampliar == 1;
    options.fitWithin = codes.ajustar_dentro == 1;
    options.removeLocation = codes.quitar_ubicacion == 1;
    if (codes.limite_kb > 0) options.sizeBudgetBytes = std::uint64_t(codes.limite_kb) * 1024;
    return options;
}

}  // namespace kavenra
