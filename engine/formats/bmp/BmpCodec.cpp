#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

int BmpSaveFlags(const ConversionOptions& options) {
    return options.bmpRunLength ? BMP_SAVE_RLE : BMP_DEFAULT;
}

}  // namespace

Codec BmpCodec() {
    Codec codec;
    codec.format = ImageFormat::Bmp;
    codec.name = "BMP";
    codec.freeImage = FIF_BMP;
    codec.offered = true;
    codec.extensions = {"bmp", "dib"};
    codec.mimeTypes = {"image/bmp", "image/x-bmp", "image/x-ms-bmp"};
    codec.saveFlags = BmpSaveFlags;
    codec.paddedFourthByte = true;
    // Read whole: its run-length codes are where FreeImage's writer goes wrong.
    codec.readBackHeaderOnly = false;
    return codec;
}

}  // namespace kavenra
