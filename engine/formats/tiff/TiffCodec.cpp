#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

int TiffSaveFlags(const ConversionOptions& options) {
    switch (options.tiffCompression) {
        case TiffCompression::None:
            return TIFF_NONE;
        case TiffCompression::Lzw:
            return TIFF_LZW;
        case TiffCompression::Deflate:
            return TIFF_DEFLATE;
        case TiffCompression::Jpeg:
            break;
    }
    return TIFF_JPEG;
}

}  // namespace

Codec TiffCodec() {
    Codec codec;
    codec.format = ImageFormat::Tiff;
    codec.name = "TIFF";
    codec.freeImage = FIF_TIFF;
    codec.offered = true;
    codec.extensions = {"tif", "tiff"};
    codec.mimeTypes = {"image/tiff"};
    codec.saveFlags = TiffSaveFlags;
    codec.profileRead = true;
    codec.profileWritten = true;
    codec.metadata = MetadataAccess::InFile;
    return codec;
}

}  // namespace kavenra
