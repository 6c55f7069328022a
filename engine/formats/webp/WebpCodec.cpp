#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

// A quality outside 1..100 would reach the encoder as another flag: it saves at the default.
int WebpSaveFlags(const ConversionOptions& options) {
    if (options.webpLossless) return WEBP_LOSSLESS;
    const bool known = options.webpQuality >= 1 && options.webpQuality <= 100;
    return known ? options.webpQuality : ConversionOptions().webpQuality;
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
