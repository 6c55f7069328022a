#include "engine/formats/Codecs.h"

namespace kavenra {

// AV1-coded pictures in a HEIF container: read through libheif as HEIF is (heif/HeifImage.h),
// never FreeImage; written as JPEG.
Codec AvifCodec() {
    Codec codec;
    codec.format = ImageFormat::Avif;
    codec.name = "AVIF";
    codec.offered = true;
    codec.extensions = {"avif"};
    codec.mimeTypes = {"image/avif"};
    codec.profileRead = true;
    codec.metadata = MetadataAccess::Libheif;
    return codec;
}

}  // namespace kavenra
