#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

int WebpSaveFlags(const ConversionOptions& options) {
    return options.webpLossless ? WEBP_LOSSLESS : options.webpQuality;
}

}  // namespace

Codec WebpCodec() {
    Codec codec;
    codec.format = ImageFormat::Webp;
    codec.name = "WebP";
    codec.freeImage = FIF_WEBP;
    codec.offered = true;
    codec.extensions = {"webp"};
    codec.mimeTypes = {"image/webp"};
    codec.saveFlags = WebpSaveFlags;
    codec.largestSide = 16383;  // 14 bits per side in the bitstream's header
    codec.writerPixels = WriterPixels::ColourOrAlpha;
    // Read whole: its header is the container's, and only a decode shows the bitstream whole.
    codec.readBackHeaderOnly = false;
    codec.profileRead = true;
    codec.profileWritten = true;
    codec.metadata = MetadataAccess::InFile;
    return codec;
}

}  // namespace kavenra
