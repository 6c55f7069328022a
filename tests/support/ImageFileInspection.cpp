#include "support/ImageFileInspection.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace kavenra::test {
namespace {

unsigned Little16(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}
unsigned Big16(const Bytes& b, std::size_t at) {
    return (b[at] << 8) | b[at + 1];
}
unsigned long Little32(const Bytes& b, std::size_t at) {
    return Little16(b, at) | (static_cast<unsigned long>(Little16(b, at + 2)) << 16);
}
unsigned long Big32(const Bytes& b, std::size_t at) {
    return (static_cast<unsigned long>(Big16(b, at)) << 16) | Big16(b, at + 2);
}

// The luminance table of the JPEG standard's annex K, in natural order.
constexpr std::array<int, 64> kStandardLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// The table the IJG library derives for a quality, limited to baseline values. Sorted, so that
// the order in which a file stores it does not matter.
std::array<int, 64> ScaledLuminance(int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::array<int, 64> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = std::clamp((kStandardLuminance[i] * scale + 50) / 100, 1, 255);
    }
    std::sort(table.begin(), table.end());
    return table;
}

std::optional<std::array<int, 64>> FirstQuantisationTable(const Bytes& file) {
    std::size_t at = 2;  // after SOI
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const unsigned marker = file[at + 1];
        const unsigned length = Big16(file, at + 2);
        if (marker == 0xDB && at + 5 + 64 <= file.size() && (file[at + 4] >> 4) == 0) {
            std::array<int, 64> table{};
            for (std::size_t i = 0; i < 64; ++i) table[i] = file[at + 5 + i];
            std::sort(table.begin(), table.end());
            return table;
        }
        if (marker == 0xDA) break;  // image data: no table before it
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> BmpCompression(const Bytes& file) {
    if (file.size() < 34 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    return static_cast<int>(Little32(file, 30));
}

std::optional<int> TargaImageType(const Bytes& file) {
    if (file.size() < 18) return std::nullopt;
    return file[2];
}

std::optional<int> TiffCompression(const Bytes& file) {
    if (file.size() < 8) return std::nullopt;
    const bool little = file[0] == 'I' && file[1] == 'I';
    if (!little && !(file[0] == 'M' && file[1] == 'M')) return std::nullopt;
    auto u16 = [&](std::size_t at) { return little ? Little16(file, at) : Big16(file, at); };
    auto u32 = [&](std::size_t at) { return little ? Little32(file, at) : Big32(file, at); };
    const std::size_t directory = u32(4);
    if (directory + 2 > file.size()) return std::nullopt;
    const unsigned count = u16(directory);
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        if (entry + 12 > file.size()) break;
        if (u16(entry) == 259) return static_cast<int>(u16(entry + 8));
    }
    return std::nullopt;
}

std::optional<int> JpegQuality(const Bytes& file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return std::nullopt;
    const auto table = FirstQuantisationTable(file);
    if (!table) return std::nullopt;
    for (int quality = 1; quality <= 100; ++quality) {
        if (ScaledLuminance(quality) == *table) return quality;
    }
    return std::nullopt;
}

std::optional<std::string> JpegSamplingFactors(const Bytes& file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const unsigned marker = file[at + 1];
        const unsigned length = Big16(file, at + 2);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && at + 10 <= file.size()) {
            // Precision, height, width, component count, then id, sampling, table per component.
            const unsigned components = file[at + 9];
            if (at + 10 + 3 * components > file.size()) return std::nullopt;
            std::string factors;
            for (unsigned c = 0; c < components; ++c) {
                const unsigned sampling = file[at + 10 + 3 * c + 1];
                if (!factors.empty()) factors += ' ';
                factors += std::to_string(sampling >> 4) + 'x' + std::to_string(sampling & 15);
            }
            return factors;
        }
        if (marker == 0xDA) break;
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<PngDeflate> PngDeflateOf(const Bytes& file) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return std::nullopt;
    std::size_t at = 8;
    while (at + 8 <= file.size()) {
        const std::size_t length = Big32(file, at);
        if (std::memcmp(&file[at + 4], "IDAT", 4) == 0 && length >= 3 && at + 11 <= file.size()) {
            const std::size_t data = at + 8;
            PngDeflate result;
            result.levelHint = file[data + 1] >> 6;
            result.stored = ((file[data + 2] >> 1) & 3) == 0;
            return result;
        }
        at += 12 + length;
    }
    return std::nullopt;
}

namespace {

template <typename T>
std::string Or(const std::optional<T>& value) {
    return value ? std::to_string(*value) : std::string("?");
}

}  // namespace

std::string DescribeEncoding(const Bytes& file) {
    FIMEMORY* memory =
        FreeImage_OpenMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size()));
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory, 0);
    FreeImage_CloseMemory(memory);
    switch (format) {
        case FIF_JPEG:
            return "JPEG quality " + Or(JpegQuality(file));
        case FIF_BMP:
            return "BMP compression " + Or(BmpCompression(file));
        case FIF_TARGA:
            return "TARGA type " + Or(TargaImageType(file));
        case FIF_TIFF:
            return "TIFF compression " + Or(TiffCompression(file));
        case FIF_PNG: {
            const auto deflate = PngDeflateOf(file);
            if (!deflate) return "PNG ?";
            return "PNG level hint " + std::to_string(deflate->levelHint) +
                   (deflate->stored ? ", stored" : ", compressed");
        }
        case FIF_PPM:
        case FIF_PPMRAW:
        case FIF_PGM:
        case FIF_PGMRAW:
        case FIF_PBM:
        case FIF_PBMRAW:
            return "PPM " + std::string(file.begin(), file.begin() + 2);
        case FIF_UNKNOWN:
            return {};
        default:
            return FreeImage_GetFormatFromFIF(format);
    }
}

}  // namespace kavenra::test
