#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

int PngSaveFlags(const ConversionOptions& options) {
    // FreeImage takes the zlib level itself, 0 but as its own flag.
    return options.pngLevel == 0 ? PNG_Z_NO_COMPRESSION : options.pngLevel;
}

}  // namespace

Codec PngCodec() {
    Codec codec;
    codec.format = ImageFormat::Png;
    codec.name = "PNG";
    codec.freeImage = FIF_PNG;
    codec.offered = true;
    codec.extensions = {"png"};
    codec.mimeTypes = {"image/png"};
    codec.saveFlags = PngSaveFlags;
    codec.writerPixels = WriterPixels::PngSamples;
    codec.profileRead = true;
    codec.profileWritten = true;
    codec.metadata = MetadataAccess::InFile;
    return codec;
}

}  // namespace kavenra
