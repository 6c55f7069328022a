#include "engine/imaging/ColourProfile.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace kavenra {
namespace {

constexpr long kIccHeaderSize = 128;
constexpr long kIccColourSpaceOffset = 16;
constexpr std::uint16_t kExifPointerTag = 0x8769;
constexpr std::uint16_t kPixelXDimensionTag = 0xA002;
constexpr std::uint16_t kPixelYDimensionTag = 0xA003;
constexpr std::uint16_t kShortType = 3;
constexpr std::uint16_t kLongType = 4;
constexpr std::size_t kIfdEntrySize = 12;
constexpr char kExifPreamble[] = {'E', 'x', 'i', 'f', '\0', '\0'};

// Far beyond any real profile; a chunk that claims or inflates to more is not read.
constexpr std::size_t kLongestProfile = std::size_t{16} << 20;
constexpr std::array<unsigned char, 8> kPngSignature = {0x89, 'P',  'N',  'G',
                                                        '\r', '\n', 0x1A, '\n'};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t U32BigEndian(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

// The data of the file's iCCP chunk, which comes before the first IDAT chunk if at all.
std::optional<std::vector<unsigned char>> ReadIccpChunk(std::FILE* file) {
    std::array<unsigned char, 8> signature{};
    if (std::fread(signature.data(), 1, signature.size(), file) != signature.size() ||
        signature != kPngSignature) {
        return std::nullopt;
    }
    for (;;) {
        std::array<unsigned char, 8> header{};
        if (std::fread(header.data(), 1, header.size(), file) != header.size()) return {};
        const std::uint32_t length = U32BigEndian(header.data());
        if (std::memcmp(&header[4], "IDAT", 4) == 0 || std::memcmp(&header[4], "IEND", 4) == 0) {
            return std::nullopt;
        }
        if (std::memcmp(&header[4], "iCCP", 4) == 0) {
            if (length > kLongestProfile) return std::nullopt;
            std::vector<unsigned char> data(length);
            if (std::fread(data.data(), 1, data.size(), file) != data.size()) return std::nullopt;
            return data;
        }
        if (std::fseek(file, static_cast<long>(length) + 4, SEEK_CUR) != 0) return std::nullopt;
    }
}

// The profile inside an iCCP chunk: a name of 1 to 79 characters, its terminating zero, the
// compression method (0, zlib) and the compressed profile.
std::optional<std::vector<unsigned char>> InflateProfile(const std::vector<unsigned char>& chunk) {
    const auto nul = std::find(chunk.begin(), chunk.end(), 0);
    if (nul == chunk.begin() || nul == chunk.end() || nul - chunk.begin() > 79 ||
        chunk.end() - nul < 2 || *(nul + 1) != 0) {
        return std::nullopt;
    }
    const auto compressed = nul + 2;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    stream.next_in = const_cast<Bytef*>(&*compressed);
    stream.avail_in = static_cast<uInt>(chunk.end() - compressed);
    std::vector<unsigned char> profile;
    std::array<unsigned char, 16384> buffer{};
    int status = Z_OK;
    while (status == Z_OK && profile.size() <= kLongestProfile) {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        profile.insert(profile.end(), buffer.data(),
                       buffer.data() + (buffer.size() - stream.avail_out));
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END || profile.size() > kLongestProfile) return std::nullopt;
    return profile;
}

bool IsGreyscale(FIBITMAP& bitmap) {
    return FreeImage_GetImageType(&bitmap) == FIT_BITMAP && FreeImage_GetBPP(&bitmap) <= 8 &&
           FreeImage_GetColorType(&bitmap) == FIC_MINISBLACK;
}

// The byte order and bounds of a TIFF structure (an EXIF block's body).
class TiffView {
  public:
    TiffView(unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    bool readOrder() {
        if (size_ < 8) return false;
        if (data_[0] == 'I' && data_[1] == 'I') {
            little_ = true;
        } else if (data_[0] == 'M' && data_[1] == 'M') {
            little_ = false;
        } else {
            return false;
        }
        return true;
    }

    std::optional<std::uint32_t> u16(std::size_t at) const {
        if (at > size_ || size_ - at < 2) return std::nullopt;
        return little_ ? data_[at] | (data_[at + 1] << 8) : (data_[at] << 8) | data_[at + 1];
    }

    std::optional<std::uint32_t> u32(std::size_t at) const {
        const auto first = u16(at);
        const auto second = u16(at + 2);
        if (!first || !second) return std::nullopt;
        return little_ ? *first | (*second << 16) : (*first << 16) | *second;
    }

    void put(std::size_t at, std::uint32_t value, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::size_t shift = 8 * (little_ ? i : bytes - 1 - i);
            data_[at + i] = static_cast<unsigned char>(value >> shift);
        }
    }

    // The offset of the entry for `tag` in the directory at `directory`.
    std::optional<std::size_t> entry(std::size_t directory, std::uint16_t tag) const {
        const auto count = u16(directory);
        if (!count) return std::nullopt;
        for (std::uint32_t i = 0; i < *count; ++i) {
            const std::size_t at = directory + 2 + i * kIfdEntrySize;
            if (at > size_ || size_ - at < kIfdEntrySize) return std::nullopt;
            if (*u16(at) == tag) return at;
        }
        return std::nullopt;
    }

  private:
    unsigned char* data_;
    std::size_t size_;
    bool little_ = true;
};

// Writes `value` into the one-value SHORT or LONG entry for `tag`, if there is one.
void SetDimension(TiffView& tiff, std::size_t directory, std::uint16_t tag, unsigned value) {
    const auto at = tiff.entry(directory, tag);
    if (!at) return;
    const auto type = tiff.u16(*at + 2);
    const auto count = tiff.u32(*at + 4);
    if (!type || !count || *count != 1) return;
    if (*type == kShortType && value <= 0xFFFF) tiff.put(*at + 8, value, 2);
    if (*type == kLongType) tiff.put(*at + 8, value, 4);
}

void StateInRawBlock(FIBITMAP& bitmap, unsigned width, unsigned height) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, &bitmap, "ExifRaw", &tag) || tag == nullptr) return;
    const auto* value = static_cast<const unsigned char*>(FreeImage_GetTagValue(tag));
    const std::size_t length = FreeImage_GetTagLength(tag);
    if (value == nullptr || length < sizeof kExifPreamble) return;
    std::vector<unsigned char> block(value, value + length);
    if (std::memcmp(block.data(), kExifPreamble, sizeof kExifPreamble) != 0) return;
    TiffView tiff(block.data() + sizeof kExifPreamble, block.size() - sizeof kExifPreamble);
    if (!tiff.readOrder()) return;
    const auto first = tiff.u32(4);
    if (!first) return;
    const auto pointer = tiff.entry(*first, kExifPointerTag);
    if (!pointer) return;
    const auto exifDirectory = tiff.u32(*pointer + 8);
    if (!exifDirectory) return;
    SetDimension(tiff, *exifDirectory, kPixelXDimensionTag, width);
    SetDimension(tiff, *exifDirectory, kPixelYDimensionTag, height);
    FreeImage_SetTagValue(tag, block.data());
}

void StateInDecodedTag(FIBITMAP& bitmap, const char* key, unsigned value) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_EXIF, &bitmap, key, &tag) || tag == nullptr) return;
    if (FreeImage_GetTagCount(tag) != 1) return;
    if (FreeImage_GetTagType(tag) == FIDT_SHORT && value <= 0xFFFF) {
        const auto shortValue = static_cast<WORD>(value);
        FreeImage_SetTagValue(tag, &shortValue);
    } else if (FreeImage_GetTagType(tag) == FIDT_LONG) {
        const auto longValue = static_cast<DWORD>(value);
        FreeImage_SetTagValue(tag, &longValue);
    }
}

}  // namespace

bool CarryColourProfile(FIBITMAP& loaded, FIBITMAP& rescaled, FREE_IMAGE_FORMAT inputFormat) {
    if (inputFormat != FIF_JPEG && inputFormat != FIF_PNG && inputFormat != FIF_TIFF) return false;
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(&loaded);
    if (profile == nullptr || profile->data == nullptr || profile->size < kIccHeaderSize ||
        (profile->flags & FIICC_COLOR_IS_CMYK) != 0) {
        return false;
    }
    const char* colourSpace = static_cast<const char*>(profile->data) + kIccColourSpaceOffset;
    const char* wanted = IsGreyscale(rescaled) ? "GRAY" : "RGB ";
    if (std::memcmp(colourSpace, wanted, 4) != 0) return false;
    return FreeImage_CreateICCProfile(&rescaled, profile->data, profile->size) != nullptr;
}

void AttachPngColourProfile(FIBITMAP& bitmap, const std::string& path) {
    const FIICCPROFILE* existing = FreeImage_GetICCProfile(&bitmap);
    if (existing != nullptr && existing->size > 0) return;
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) return;
    const std::optional<std::vector<unsigned char>> chunk = ReadIccpChunk(file.get());
    if (!chunk) return;
    std::optional<std::vector<unsigned char>> profile = InflateProfile(*chunk);
    if (!profile || profile->size() < static_cast<std::size_t>(kIccHeaderSize)) return;
    FreeImage_CreateICCProfile(&bitmap, profile->data(), static_cast<long>(profile->size()));
}

void StateExifPixelDimensions(FIBITMAP& bitmap) {
    const unsigned width = FreeImage_GetWidth(&bitmap);
    const unsigned height = FreeImage_GetHeight(&bitmap);
    StateInRawBlock(bitmap, width, height);
    StateInDecodedTag(bitmap, "PixelXDimension", width);
    StateInDecodedTag(bitmap, "PixelYDimension", height);
}

}  // namespace kavenra
