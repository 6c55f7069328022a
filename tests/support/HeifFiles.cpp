#include "support/HeifFiles.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "support/OrientedPicture.h"

namespace kavenra::test {
namespace {

struct ContextFreer {
    void operator()(heif_context* context) const noexcept { heif_context_free(context); }
};
struct ImageReleaser {
    void operator()(heif_image* image) const noexcept { heif_image_release(image); }
};
struct EncoderReleaser {
    void operator()(heif_encoder* encoder) const noexcept { heif_encoder_release(encoder); }
};
struct HandleReleaser {
    void operator()(heif_image_handle* handle) const noexcept { heif_image_handle_release(handle); }
};
struct OptionsFreer {
    void operator()(heif_encoding_options* options) const noexcept {
        heif_encoding_options_free(options);
    }
};

using Image = std::unique_ptr<heif_image, ImageReleaser>;

heif_chroma ChromaFor(bool alpha, int bitDepth) {
    if (bitDepth > 8)
        return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

// The bitmap's pixels as libheif takes them: interleaved R G B (A), top row first, each sample
// of `bitDepth` bits (two bytes, little-endian, above 8).
Image ToHeifImage(FIBITMAP& bitmap, bool alpha, int bitDepth) {
    const int width = static_cast<int>(FreeImage_GetWidth(&bitmap));
    const int height = static_cast<int>(FreeImage_GetHeight(&bitmap));
    heif_image* created = nullptr;
    if (heif_image_create(width, height, heif_colorspace_RGB, ChromaFor(alpha, bitDepth), &created)
            .code != heif_error_Ok) {
        return nullptr;
    }
    Image image(created);
    if (heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, bitDepth).code !=
        heif_error_Ok) {
        return nullptr;
    }
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const int samples = alpha ? 4 : 3;
    const int sampleBytes = bitDepth > 8 ? 2 : 1;
    const int top = (1 << bitDepth) - 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            RGBQUAD colour{};
            FreeImage_GetPixelColor(&bitmap, x, height - 1 - y, &colour);
            const int values[] = {colour.rgbRed, colour.rgbGreen, colour.rgbBlue,
                                  x < width / 2 ? 255 : 0};
            std::uint8_t* to = plane + y * stride + x * samples * sampleBytes;
            for (int sample = 0; sample < samples; ++sample) {
                const int value = values[sample] * top / 255;
                to[sample * sampleBytes] = static_cast<std::uint8_t>(value & 0xFF);
                if (sampleBytes == 2) to[sample * 2 + 1] = static_cast<std::uint8_t>(value >> 8);
            }
        }
    }
    return image;
}

heif_error Write(heif_context*, const void* data, size_t size, void* userdata) {
    auto* into = static_cast<Bytes*>(userdata);
    const auto* bytes = static_cast<const unsigned char*>(data);
    into->insert(into->end(), bytes, bytes + size);
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

}  // namespace

Bytes MakeHeifFile(const HeifPicture& picture) {
    const std::unique_ptr<heif_context, ContextFreer> context(heif_context_alloc());
    heif_encoder* found = nullptr;
    const heif_compression_format format =
        picture.codec == HeifCodec::Hevc ? heif_compression_HEVC : heif_compression_AV1;
    if (heif_context_get_encoder_for_format(context.get(), format, &found).code != heif_error_Ok) {
        return {};
    }
    const std::unique_ptr<heif_encoder, EncoderReleaser> encoder(found);
    heif_encoder_set_lossy_quality(encoder.get(), 90);
    const BitmapHandle upright = MakeQuadrantBitmap(picture.width, picture.height);
    const BitmapHandle stored = StoredForOrientation(*upright, picture.orientation);
    const Image image = ToHeifImage(*stored, picture.alpha, picture.bitDepth);
    if (!image) return {};
    if (!picture.icc.empty()) {
        heif_image_set_raw_color_profile(image.get(), "prof", picture.icc.data(),
                                         picture.icc.size());
    }
    const std::unique_ptr<heif_encoding_options, OptionsFreer> options(
        heif_encoding_options_alloc());
    options->image_orientation = static_cast<heif_orientation>(picture.orientation);
    heif_image_handle* encoded = nullptr;
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(),
                                  &encoded)
            .code != heif_error_Ok) {
        return {};
    }
    const std::unique_ptr<heif_image_handle, HandleReleaser> handle(encoded);
    if (picture.thumbnail) {
        heif_context_encode_thumbnail(context.get(), image.get(), handle.get(), encoder.get(),
                                      options.get(), 16, nullptr);
    }
    if (!picture.exif.empty()) {
        heif_context_add_exif_metadata(context.get(), handle.get(), picture.exif.data(),
                                       static_cast<int>(picture.exif.size()));
    }
    if (!picture.xmp.empty()) {
        heif_context_add_XMP_metadata(context.get(), handle.get(), picture.xmp.data(),
                                      static_cast<int>(picture.xmp.size()));
    }
    Bytes file;
    heif_writer writer{1, &Write};
    if (heif_context_write(context.get(), &writer, &file).code != heif_error_Ok) return {};
    return file;
}

std::optional<std::size_t> FindBox(const Bytes& file, const char (&type)[5]) {
    for (std::size_t at = 4; at + 4 <= file.size(); ++at) {
        if (std::memcmp(file.data() + at, type, 4) == 0) return at - 4;
    }
    return std::nullopt;
}

std::vector<std::size_t> FindBoxes(const Bytes& file, const char (&type)[5]) {
    std::vector<std::size_t> found;
    for (std::size_t at = 4; at + 4 <= file.size(); ++at) {
        if (std::memcmp(file.data() + at, type, 4) == 0) found.push_back(at - 4);
    }
    return found;
}

std::uint32_t ReadBigEndian32(const Bytes& file, std::size_t at) {
    return (std::uint32_t{file.at(at)} << 24) | (std::uint32_t{file.at(at + 1)} << 16) |
           (std::uint32_t{file.at(at + 2)} << 8) | file.at(at + 3);
}

void WriteBigEndian32(Bytes& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file.at(at + i) = static_cast<unsigned char>(value >> (24 - 8 * i));
}

Bytes WithStoredExifOrientation(Bytes file, std::uint16_t orientation) {
    // The directory entry: tag 0x0112, type SHORT, count 1, then the value, little-endian.
    const unsigned char entry[] = {0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00};
    const auto found = std::search(file.begin(), file.end(), std::begin(entry), std::end(entry));
    if (found == file.end() || file.end() - found < 10) return file;
    found[8] = static_cast<unsigned char>(orientation & 0xFF);
    found[9] = static_cast<unsigned char>(orientation >> 8);
    return file;
}

namespace {

std::uint64_t ReadBigEndian(const Bytes& file, std::size_t at, unsigned bytes) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) value = (value << 8) | file.at(at + i);
    return value;
}

void WriteBigEndian(Bytes& file, std::size_t at, unsigned bytes, std::uint64_t value) {
    for (unsigned i = 0; i < bytes; ++i) {
        file.at(at + i) = static_cast<unsigned char>(value >> (8 * (bytes - 1 - i)));
    }
}

// Moves every file offset of the item location box by `shift`: the items whose data lies in the
// file (construction method 0) rather than in the metadata's own data box.
bool ShiftFileOffsets(Bytes& file, std::int64_t shift) {
    const std::optional<std::size_t> iloc = FindBox(file, "iloc");
    if (!iloc) return false;
    std::size_t at = *iloc + 8;
    const unsigned version = file.at(at);
    at += 4;
    const unsigned offsetSize = file.at(at) >> 4;
    const unsigned lengthSize = file.at(at) & 15;
    const unsigned baseSize = file.at(at + 1) >> 4;
    const unsigned indexSize = version >= 1 ? file.at(at + 1) & 15 : 0;
    at += 2;
    const unsigned idBytes = version >= 2 ? 4 : 2;
    const std::uint64_t items = ReadBigEndian(file, at, idBytes);
    at += idBytes;
    for (std::uint64_t item = 0; item < items; ++item) {
        at += idBytes;
        unsigned method = 0;
        if (version >= 1) {
            method = file.at(at + 1) & 15;
            at += 2;
        }
        at += 2;  // data reference index
        const std::size_t base = at;
        at += baseSize;
        const std::uint64_t extents = ReadBigEndian(file, at, 2);
        at += 2;
        if (method == 0 && baseSize > 0) {
            WriteBigEndian(file, base, baseSize, ReadBigEndian(file, base, baseSize) + shift);
        }
        for (std::uint64_t extent = 0; extent < extents; ++extent) {
            at += indexSize;
            if (method == 0 && baseSize == 0) {
                WriteBigEndian(file, at, offsetSize, ReadBigEndian(file, at, offsetSize) + shift);
            }
            at += offsetSize + lengthSize;
        }
    }
    return true;
}

}  // namespace

Bytes WithTiledGrid(Bytes file, int columns, int rows) {
    const std::optional<std::size_t> dimg = FindBox(file, "dimg");
    const std::optional<std::size_t> iref = FindBox(file, "iref");
    const std::optional<std::size_t> meta = FindBox(file, "meta");
    const std::optional<std::size_t> idat = FindBox(file, "idat");
    const std::vector<std::size_t> sizes = FindBoxes(file, "ispe");
    if (!dimg || !iref || !meta || !idat || sizes.size() != 2 ||
        ReadBigEndian(file, *dimg + 10, 2) != 1 || *dimg < *iref || *iref < *meta) {
        return {};
    }
    const std::uint32_t tileWidth = ReadBigEndian32(file, sizes[0] + 12);
    const std::uint32_t tileHeight = ReadBigEndian32(file, sizes[0] + 16);
    const std::uint32_t width = tileWidth * static_cast<std::uint32_t>(columns);
    const std::uint32_t height = tileHeight * static_cast<std::uint32_t>(rows);
    // The grid's description: version, flags (16-bit sizes), rows and columns less one, size.
    const std::size_t grid = *idat + 8;
    file.at(grid + 2) = static_cast<unsigned char>(rows - 1);
    file.at(grid + 3) = static_cast<unsigned char>(columns - 1);
    WriteBigEndian(file, grid + 4, 2, width);
    WriteBigEndian(file, grid + 6, 2, height);
    WriteBigEndian32(file, sizes[1] + 12, width);
    WriteBigEndian32(file, sizes[1] + 16, height);
    // Every tile is the one coded tile, referenced once for each place it takes.
    const std::uint64_t tiles = static_cast<std::uint64_t>(columns) * rows;
    const std::size_t added = 2 * (tiles - 1);
    const unsigned char tileId[] = {file.at(*dimg + 12), file.at(*dimg + 13)};
    Bytes references;
    for (std::uint64_t tile = 1; tile < tiles; ++tile)
        references.insert(references.end(), tileId, tileId + 2);
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(*dimg + 14), references.begin(),
                references.end());
    WriteBigEndian(file, *dimg + 10, 2, tiles);
    for (const std::size_t box : {*dimg, *iref, *meta}) {
        WriteBigEndian32(file, box, static_cast<std::uint32_t>(ReadBigEndian32(file, box) + added));
    }
    if (!ShiftFileOffsets(file, static_cast<std::int64_t>(added))) return {};
    return file;
}

}  // namespace kavenra::test
