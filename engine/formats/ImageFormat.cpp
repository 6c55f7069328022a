#include "engine/formats/ImageFormat.h"

#include "engine/formats/Codec.h"

namespace kavenra {

ImageFormat::ImageFormat(FREE_IMAGE_FORMAT format) {
    if (format == FIF_UNKNOWN) return;
    for (const Codec& codec : Codecs()) {
        if (codec.freeImage == format) {
            id_ = codec.format.id();
            return;
        }
    }
}

ImageFormat ImageFormat::FromNumber(std::uint32_t number) {
    return number < Count ? ImageFormat(static_cast<Id>(number)) : ImageFormat();
}

FREE_IMAGE_FORMAT ImageFormat::freeImage() const {
    return CodecOf(*this).freeImage;
}

}  // namespace kavenra
