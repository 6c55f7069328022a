#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

// The quality as FreeImage's integer setting; from 90 up the colour keeps its full resolution
// (4:4:4), as common encoders do, below it FreeImage's 4:2:0.
int JpegSaveFlags(const ConversionOptions& options) {
    const int quality = options.jpegQuality;
    return quality >= 90 ? quality | JPEG_SUBSAMPLING_444 : quality;
}

}  // namespace

Codec JpegCodec() {
    Codec codec;
    codec.format = ImageFormat::Jpeg;
    codec.name = "JPEG";
    codec.freeImage = FIF_JPEG;
    codec.offered = true;
    codec.extensions = {"jpg", "jpeg", "jpe", "jif", "jfif"};
    codec.mimeTypes = {"image/jpeg", "image/pjpeg"};
    codec.loadFlags = JPEG_ACCURATE;
    codec.saveFlags = JpegSaveFlags;
    // libjpeg refuses a larger side when it starts to encode (JPEG_MAX_DIMENSION).
    codec.largestSide = 65500;
    codec.writerPixels = WriterPixels::GreyOrColour;
    codec.profileRead = true;
    codec.profileWritten = true;
    codec.metadata = MetadataAccess::InFile;
    return codec;
}

}  // namespace kavenra
