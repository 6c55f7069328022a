#include "engine/formats/heif/HeifImage.h"

#include <libheif/heif.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/formats/FileHandle.h"

namespace kavenra {
namespace {

using Bytes = std::uint64_t;

// No side beyond this is decoded: a JPEG output cannot hold one. libheif is given the same
// bound, for the images it reads besides the primary one (a grid's tiles).
constexpr int kLargestSide = 65535;

// What a decode holds besides the bitmap the conversion keeps, a pixel of the coded picture: the
// decoder's own frames (a reference picture and the current one, up to 16 bits a sample at 4:4:4),
// libheif's planes of it, the interleaved copy it converts them to and the turned copy its
// transforms make.
constexpr Bytes kDecodeBytesPerPixel = 6 + 6 + 6 + 4 + 4;

struct ContextFreer {
    void operator()(heif_context* context) const noexcept { heif_context_free(context); }
};
using Context = std::unique_ptr<heif_context, ContextFreer>;

struct HandleReleaser {
    void operator()(heif_image_handle* handle) const noexcept { heif_image_handle_release(handle); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleReleaser>;

struct ImageReleaser {
    void operator()(heif_image* image) const noexcept { heif_image_release(image); }
};
using Image = std::unique_ptr<heif_image, ImageReleaser>;

struct OptionsFreer {
    void operator()(heif_decoding_options* options) const noexcept {
        heif_decoding_options_free(options);
    }
};

std::uint32_t U32BigEndian(const unsigned char* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) |
           (std::uint32_t{at[2]} << 8) | at[3];
}

enum class Brand {
    None,     // of no format read here
    General,  // an image or image sequence of any codec
    Hevc,
    Av1,
};

Brand BrandAt(const unsigned char* at) {
    const auto is = [at](const char* name) { return std::memcmp(at, name, 4) == 0; };
    if (is("avif") || is("avis")) return Brand::Av1;
    if (is("mif1") || is("msf1")) return Brand::General;
    for (const char* name : {"heic", "heix", "heim", "heis", "hevc", "hevx"}) {
        if (is(name)) return Brand::Hevc;
    }
    return Brand::None;
}

ImageFormat FormatOf(Brand brand) {
    switch (brand) {
        case Brand::Av1:
            return ImageFormat::Avif;
        case Brand::Hevc:
        case Brand::General:
            return ImageFormat::Heif;
        case Brand::None:
            break;
    }
    return ImageFormat::Unknown;
}

// True when a top-level box reaches past the end of the file: it was cut, or a box claims more
// than the file holds. libheif tells either only as a box it cannot parse.
bool BoxesRunPastEnd(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file.get());
    if (end < 0) return false;
    const Bytes length = static_cast<Bytes>(end);
    Bytes at = 0;
    // A real file has a handful of top-level boxes; the walk does not follow thousands.
    for (int box = 0; box < 4096 && at < length; ++box) {
        std::array<unsigned char, 16> header{};
        if (std::fseek(file.get(), static_cast<long>(at), SEEK_SET) != 0) return false;
        const std::size_t got = std::fread(header.data(), 1, header.size(), file.get());
        if (got < 8) return true;
        Bytes size = U32BigEndian(header.data());
        if (size == 0) return false;  // up to the end
        if (size == 1) {
            if (got < 16) return true;
            size = (Bytes{U32BigEndian(&header[8])} << 32) | U32BigEndian(&header[12]);
        }
        if (size < 8) return false;  // malformed, not short
        if (size > length - at) return true;
        at += size;
    }
    return false;
}

// Why libheif failed on the file at `path`, as a conversion's failure.
FailureReason FailureOf(const heif_error& error, const std::string& path) {
    if (error.subcode == heif_suberror_End_of_data || BoxesRunPastEnd(path)) {
        return FailureReason::Incomplete;
    }
    if (error.subcode == heif_suberror_Security_limit_exceeded ||
        error.code == heif_error_Memory_allocation_error) {
        return FailureReason::TooLarge;
    }
    return FailureReason::Unsupported;
}

Admission AdmissionOf(const heif_error& error, const std::string& path) {
    switch (FailureOf(error, path)) {
        case FailureReason::Incomplete:
            return Admission::Incomplete;
        case FailureReason::TooLarge:
            return Admission::TooLarge;
        default:
            return Admission::Refused;
    }
}

// The file's primary image, read within the program's limits; empty with `error` set when libheif
// cannot read the file's structure.
struct OpenedFile {
    Context context;
    Handle primary;
};

OpenedFile OpenPrimary(const std::string& path, heif_error& error) {
    OpenedFile file;
    file.context.reset(heif_context_alloc());
    if (!file.context) {
        error = {heif_error_Memory_allocation_error, heif_suberror_Unspecified, ""};
        return file;
    }
    heif_context_set_maximum_image_size_limit(file.context.get(), kLargestSide);
    // Tiles one after the other: a grid's tiles decoded side by side would each hold a decoder.
    heif_context_set_max_decoding_threads(file.context.get(), 0);
    error = heif_context_read_from_file(file.context.get(), path.c_str(), nullptr);
    if (error.code != heif_error_Ok) return file;
    heif_image_handle* primary = nullptr;
    error = heif_context_get_primary_image_handle(file.context.get(), &primary);
    file.primary.reset(primary);
    return file;
}

// Copies libheif's interleaved rows, top row first, R G B (A), into FreeImage's bottom-up rows in
// its own channel order.
BitmapHandle CopyToBitmap(const heif_image& image, bool alpha) {
    const int width = heif_image_get_primary_width(&image);
    const int height = heif_image_get_primary_height(&image);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(&image, heif_channel_interleaved, &stride);
    if (plane == nullptr || width <= 0 || height <= 0 ||
        heif_image_get_bits_per_pixel_range(&image, heif_channel_interleaved) != 8) {
        return nullptr;
    }
    const unsigned samples = alpha ? 4 : 3;
    BitmapHandle bitmap(FreeImage_Allocate(width, height, static_cast<int>(8 * samples),
                                           FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                           FI_RGBA_BLUE_MASK));
    if (!bitmap) return nullptr;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = plane + static_cast<std::ptrdiff_t>(y) * stride;
        BYTE* to = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
        for (int x = 0; x < width; ++x, from += samples, to += samples) {
            to[FI_RGBA_RED] = from[0];
            to[FI_RGBA_GREEN] = from[1];
            to[FI_RGBA_BLUE] = from[2];
            if (alpha) to[FI_RGBA_ALPHA] = from[3];
        }
    }
    return bitmap;
}

// An ICC profile the file holds for the primary image; an nclx description has none to carry.
void AttachColourProfile(const heif_image_handle& handle, FIBITMAP& bitmap) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(&handle);
    if (type != heif_color_profile_type_rICC && type != heif_color_profile_type_prof) return;
    const std::size_t size = heif_image_handle_get_raw_color_profile_size(&handle);
    if (size == 0 || size > (std::size_t{16} << 20)) return;
    std::vector<unsigned char> profile(size);
    if (heif_image_handle_get_raw_color_profile(&handle, profile.data()).code != heif_error_Ok) {
        return;
    }
    FreeImage_CreateICCProfile(&bitmap, profile.data(), static_cast<long>(profile.size()));
}

std::vector<heif_item_id> MetadataIds(const heif_image_handle& handle, const char* type) {
    const int count = heif_image_handle_get_number_of_metadata_blocks(&handle, type);
    std::vector<heif_item_id> ids(static_cast<std::size_t>(std::max(count, 0)));
    if (!ids.empty()) {
        heif_image_handle_get_list_of_metadata_block_IDs(&handle, type, ids.data(), count);
    }
    return ids;
}

std::vector<unsigned char> MetadataBlock(const heif_image_handle& handle, heif_item_id id,
                                         std::size_t largest) {
    const std::size_t size = heif_image_handle_get_metadata_size(&handle, id);
    if (size == 0 || size > largest) return {};
    std::vector<unsigned char> block(size);
    if (heif_image_handle_get_metadata(&handle, id, block.data()).code != heif_error_Ok) return {};
    return block;
}

// The EXIF block from its TIFF header on: the block starts with the header's offset past those
// four bytes.
std::vector<unsigned char> TiffExif(std::vector<unsigned char> block) {
    if (block.size() < 4) return {};
    const std::uint32_t offset = U32BigEndian(block.data());
    if (offset > block.size() - 4 || block.size() - 4 - offset < 8) return {};
    block.erase(block.begin(), block.begin() + 4 + offset);
    return block;
}

}  // namespace

ImageFormat HeifFormatOfHeader(const unsigned char* header, std::size_t size) {
    if (size < 16 || std::memcmp(header + 4, "ftyp", 4) != 0) return ImageFormat::Unknown;
    const std::size_t boxSize = std::min<std::size_t>(U32BigEndian(header), size);
    if (boxSize < 16) return ImageFormat::Unknown;
    // A codec's brand decides: the major brand's first, then the compatible brands' (after the
    // major brand and its version). The general brands (mif1, msf1) say only that the file is
    // one of these, and stand for HEIF when no codec's brand says more.
    const Brand major = BrandAt(header + 8);
    if (major == Brand::Hevc || major == Brand::Av1) return FormatOf(major);
    Brand found = major;
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4) {
        const Brand brand = BrandAt(header + at);
        if (brand == Brand::Hevc || brand == Brand::Av1) return FormatOf(brand);
        if (brand == Brand::General) found = brand;
    }
    return FormatOf(found);
}

ImageFormat DetectHeifFile(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    std::array<unsigned char, 256> header{};
    if (!file) return ImageFormat::Unknown;
    const std::size_t got = std::fread(header.data(), 1, header.size(), file.get());
    return HeifFormatOfHeader(header.data(), got);
}

HeifDeclaration DeclareHeifImage(const std::string& path) {
    heif_error error{};
    const OpenedFile file = OpenPrimary(path, error);
    if (error.code != heif_error_Ok || !file.primary) {
        return {AdmissionOf(error, path), std::nullopt};
    }
    const heif_image_handle& primary = *file.primary;
    const Bytes codedWidth =
        static_cast<Bytes>(std::max(heif_image_handle_get_ispe_width(&primary), 0));
    const Bytes codedHeight =
        static_cast<Bytes>(std::max(heif_image_handle_get_ispe_height(&primary), 0));
    const int width = heif_image_handle_get_width(&primary);
    const int height = heif_image_handle_get_height(&primary);
    // Without a stated size nothing bounds what the decoder makes.
    if (codedWidth == 0 || codedHeight == 0 || width <= 0 || height <= 0) return {};
    if (codedWidth > kLargestSide || codedHeight > kLargestSide) return {Admission::TooLarge, {}};
    const bool alpha = heif_image_handle_has_alpha_channel(&primary) != 0;
    const Bytes coded = codedWidth * codedHeight;
    DeclaredImage declared{static_cast<Bytes>(width), static_cast<Bytes>(height), alpha ? 32u : 24u,
                           FIT_BITMAP, coded * kDecodeBytesPerPixel};
    return {Admission::Admitted, declared};
}

HeifDecode LoadHeifImage(const std::string& path) {
    heif_error error{};
    const OpenedFile file = OpenPrimary(path, error);
    if (error.code != heif_error_Ok || !file.primary) return {nullptr, FailureOf(error, path)};
    const bool alpha = heif_image_handle_has_alpha_channel(file.primary.get()) != 0;
    const std::unique_ptr<heif_decoding_options, OptionsFreer> options(
        heif_decoding_options_alloc());
    if (!options) return {nullptr, FailureReason::TooLarge};
    // The file's rotation, mirror and clean aperture apply: the picture comes out as it is shown.
    options->ignore_transformations = 0;
    heif_image* decoded = nullptr;
    error = heif_decode_image(file.primary.get(), &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              options.get());
    const Image image(decoded);
    if (error.code != heif_error_Ok || !image) return {nullptr, FailureOf(error, path)};
    BitmapHandle bitmap = CopyToBitmap(*image, alpha);
    if (!bitmap) return {nullptr, FailureReason::Unsupported};
    AttachColourProfile(*file.primary, *bitmap);
    return {std::move(bitmap), FailureReason::None};
}

HeifMetadata ReadHeifMetadata(const std::string& path, std::size_t largest) {
    HeifMetadata metadata;
    heif_error error{};
    const OpenedFile file = OpenPrimary(path, error);
    if (error.code != heif_error_Ok || !file.primary) return metadata;
    const heif_image_handle& primary = *file.primary;
    for (const heif_item_id id : MetadataIds(primary, "Exif")) {
        metadata.exif = TiffExif(MetadataBlock(primary, id, largest));
        if (!metadata.exif.empty()) break;
    }
    for (const heif_item_id id : MetadataIds(primary, "mime")) {
        const char* type = heif_image_handle_get_metadata_content_type(&primary, id);
        if (type == nullptr || std::strcmp(type, "application/rdf+xml") != 0) continue;
        const std::vector<unsigned char> block = MetadataBlock(primary, id, largest);
        metadata.xmp.assign(block.begin(), block.end());
        if (!metadata.xmp.empty()) break;
    }
    return metadata;
}

}  // namespace kavenra
