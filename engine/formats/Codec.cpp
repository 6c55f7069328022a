#include "engine/formats/Codec.h"

#include <array>
#include <string>

#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

// The registry: one row a codec. The offered ones in the order the program names them.
std::vector<Codec> MakeCodecs() {
    std::vector<Codec> codecs{BmpCodec(),  JpegCodec(), PngCodec(),  TargaCodec(), TiffCodec(),
                              WebpCodec(), HeifCodec(), AvifCodec(), RawCodec()};
    for (Codec& other : OtherCodecs()) codecs.push_back(std::move(other));
    return codecs;
}

// Each format's row by its value, Unknown's an empty row.
std::array<const Codec*, ImageFormat::Count> IndexByFormat(const std::vector<Codec>& codecs) {
    static const Codec unknown;
    std::array<const Codec*, ImageFormat::Count> index{};
    index.fill(&unknown);
    for (const Codec& codec : codecs) index[codec.format.id()] = &codec;
    return index;
}

}  // namespace

const std::vector<Codec>& Codecs() {
    static const std::vector<Codec> codecs = MakeCodecs();
    return codecs;
}

const Codec& CodecOf(ImageFormat format) {
    static const std::array<const Codec*, ImageFormat::Count> index = IndexByFormat(Codecs());
    return *index[format.id()];
}

bool FreeImageWrites(ImageFormat format) {
    const FREE_IMAGE_FORMAT freeImage = CodecOf(format).freeImage;
    return freeImage != FIF_UNKNOWN && FreeImage_FIFSupportsWriting(freeImage);
}

int SaveFlagsOf(ImageFormat format, const ConversionOptions& options) {
    const Codec& codec = CodecOf(format);
    return codec.saveFlags ? codec.saveFlags(options) : 0;
}

std::string UsualExtensionOf(ImageFormat format) {
    const Codec& codec = CodecOf(format);
    if (codec.saveFlags == nullptr || codec.extensions.empty()) return {};
    return std::string(".") + codec.extensions.front();
}

}  // namespace kavenra
