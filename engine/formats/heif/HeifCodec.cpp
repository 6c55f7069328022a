#include "engine/formats/Codecs.h"

namespace kavenra {

// Read through libheif (HeifImage.h), never FreeImage; written as JPEG.
Codec HeifCodec() {
    Codec codec;
    codec.format = ImageFormat::Heif;
    codec.name = "HEIC/HEIF";
    codec.offered = true;
    codec.extensions = {"heic", "heif", "hif"};
    codec.mimeTypes = {"image/heif", "image/heic"};
    codec.profileRead = true;
    codec.metadata = MetadataAccess::Libheif;
    return codec;
}

}  // namespace kavenra
