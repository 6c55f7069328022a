#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

int TargaSaveFlags(const ConversionOptions& options) {
    return options.targaRunLength ? TARGA_SAVE_RLE : TARGA_DEFAULT;
}

}  // namespace

Codec TargaCodec() {
    Codec codec;
    codec.format = ImageFormat::Targa;
    codec.name = "TARGA";
    codec.freeImage = FIF_TARGA;
    codec.offered = true;
    codec.extensions = {"tga", "targa"};
    codec.mimeTypes = {"image/x-tga", "image/x-targa"};
    codec.saveFlags = TargaSaveFlags;
    codec.largestSide = 65535;  // FreeImage's writer would cut the sides to 16 bits
    codec.paddedFourthByte = true;
    return codec;
}

}  // namespace kavenra
