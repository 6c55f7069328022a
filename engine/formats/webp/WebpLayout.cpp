#include "engine/formats/webp/WebpLayout.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/base/SystemText.h"
#include "engine/formats/FileHandle.h"

namespace kavenra {
namespace {

using Bytes = std::uint64_t;

constexpr Bytes kRiffHeaderBytes = 12;
constexpr Bytes kChunkHeaderBytes = 8;
// Far more than a still picture has (header, colour profile, alpha, bitstream, EXIF, XMP and a
// few unknown chunks); a file of countless empty chunks is no photo.
constexpr int kMostChunks = 1024;

// The extended header's flags.
constexpr unsigned kAnimationFlag = 0x02;
constexpr unsigned kAlphaFlag = 0x10;

struct Size {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

std::uint32_t ReadLittleEndian24(const unsigned char* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16;
}

bool ReadAt(std::FILE* file, Bytes at, unsigned char* into, std::size_t count) {
    return at <= Bytes(LONG_MAX) && std::fseek(file, static_cast<long>(at), SEEK_SET) == 0 &&
           std::fread(into, 1, count, file) == count;
}

// A lossy bitstream's key frame header: a 3-byte frame tag, the start code, 14-bit sides.
std::optional<Size> Vp8Size(const unsigned char* payload, Bytes length) {
    if (length < 10 || (payload[0] & 1) != 0 || payload[3] != 0x9D || payload[4] != 0x01 ||
        payload[5] != 0x2A) {
        return std::nullopt;
    }
    const Size size{ReadLittleEndian16(payload + 6) & 0x3FFFu,
                    ReadLittleEndian16(payload + 8) & 0x3FFFu};
    if (size.width == 0 || size.height == 0) return std::nullopt;
    return size;
}

// A lossless bitstream's header: its signature, then 14-bit sides less one, the alpha hint and a
// 3-bit version that must be 0.
std::optional<Size> Vp8lSize(const unsigned char* payload, Bytes length, bool& alpha) {
    if (length < 5 || payload[0] != 0x2F) return std::nullopt;
    const std::uint32_t bits = ReadLittleEndian32(payload + 1);
    if ((bits >> 29) != 0) return std::nullopt;
    alpha = ((bits >> 28) & 1u) != 0;
    return Size{(bits & 0x3FFFu) + 1, ((bits >> 14) & 0x3FFFu) + 1};
}

bool Named(const unsigned char* header, const char (&name)[5]) {
    return std::memcmp(header, name, 4) == 0;
}

// What the chunks say, walked from the first to the RIFF size's end.
class ChunkWalk {
  public:
    ChunkWalk(std::FILE* file, Bytes end) : file_(file), end_(end) {}

    WebpDeclaration walk() {
        Bytes at = kRiffHeaderBytes;
        for (int chunk = 0; at < end_; ++chunk) {
            unsigned char header[kChunkHeaderBytes];
            if (chunk == kMostChunks) return Declared(WebpLayout::Malformed);
            if (at + kChunkHeaderBytes > end_) return Declared(WebpLayout::CutShort);
            if (!ReadAt(file_, at, header, sizeof header)) return Declared(WebpLayout::CutShort);
            const Bytes length = ReadLittleEndian32(header + 4);
            const Bytes payload = at + kChunkHeaderBytes;
            if (length > end_ - payload) return Declared(WebpLayout::CutShort);
            if (!read(chunk, header, payload, length)) return Declared(WebpLayout::Malformed);
            at = payload + length + (length & 1);
        }
        // An animation's frames hold their bitstreams in chunks of their own.
        if (animated_) return Declared(WebpLayout::Animated);
        if (!bitstream_) return Declared(WebpLayout::Malformed);
        if (extended_ &&
            (bitstream_->width != canvas_.width || bitstream_->height != canvas_.height)) {
            return Declared(WebpLayout::Malformed);
        }
        return Declared(WebpLayout::Whole);
    }

  private:
    // False when the chunk contradicts the container.
    bool read(int index, const unsigned char* header, Bytes payload, Bytes length) {
        const bool lossy = Named(header, "VP8 ");
        const bool lossless = Named(header, "VP8L");
        if (index == 0 && Named(header, "VP8X")) return readExtendedHeader(payload, length);
        if (index == 0 && !lossy && !lossless) return false;
        if (Named(header, "ALPH")) alphaChunk_ = true;
        if (Named(header, "ANIM") || Named(header, "ANMF")) animated_ = animated_ || extended_;
        if ((!lossy && !lossless) || bitstream_) return true;  // the first picture counts
        std::array<unsigned char, 10> start{};
        const std::size_t wanted = static_cast<std::size_t>(std::min<Bytes>(length, start.size()));
        if (!ReadAt(file_, payload, start.data(), wanted)) return false;
        lossless_ = lossless;
        bool hint = false;
        bitstream_ = lossy ? Vp8Size(start.data(), length) : Vp8lSize(start.data(), length, hint);
        bitstreamAlpha_ = hint;
        return bitstream_.has_value();
    }

    bool readExtendedHeader(Bytes payload, Bytes length) {
        std::array<unsigned char, 10> fields{};
        if (length < fields.size() || !ReadAt(file_, payload, fields.data(), fields.size())) {
            return false;
        }
        extended_ = true;
        animated_ = (fields[0] & kAnimationFlag) != 0;
        extendedAlpha_ = (fields[0] & kAlphaFlag) != 0;
        canvas_ = {ReadLittleEndian24(&fields[4]) + 1, ReadLittleEndian24(&fields[7]) + 1};
        return true;
    }

    WebpDeclaration Declared(WebpLayout layout) const {
        WebpDeclaration declared;
        declared.layout = layout;
        const Size size = extended_ ? canvas_ : bitstream_.value_or(Size{});
        declared.width = size.width;
        declared.height = size.height;
        declared.alpha = extendedAlpha_ || alphaChunk_ || bitstreamAlpha_;
        declared.lossless = lossless_;
        return declared;
    }

    std::FILE* file_;
    Bytes end_;
    bool extended_ = false;
    bool animated_ = false;
    bool extendedAlpha_ = false;
    bool alphaChunk_ = false;
    bool bitstreamAlpha_ = false;
    bool lossless_ = false;
    Size canvas_;
    std::optional<Size> bitstream_;
};

}  // namespace

WebpDeclaration ReadWebpDeclaration(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rbe"));
    struct stat info {};
    if (!file || fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    const Bytes fileBytes = static_cast<Bytes>(info.st_size);
    unsigned char riff[kRiffHeaderBytes];
    WebpDeclaration declared;
    if (!ReadAt(file.get(), 0, riff, sizeof riff)) {
        declared.layout = WebpLayout::CutShort;
    } else if (!Named(riff, "RIFF") || !Named(riff + 8, "WEBP")) {
        declared.layout = WebpLayout::Malformed;
    } else {
        // The RIFF size counts from after itself; bytes past its end are none of the picture's.
        const Bytes end = Bytes{8} + ReadLittleEndian32(riff + 4);
        if (end < kRiffHeaderBytes + kChunkHeaderBytes) {
            declared.layout = WebpLayout::Malformed;
        } else if (end > fileBytes) {
            // What is there still tells the size; the rest of the picture is missing.
            declared = ChunkWalk(file.get(), fileBytes).walk();
            declared.layout = WebpLayout::CutShort;
        } else {
            declared = ChunkWalk(file.get(), end).walk();
        }
    }
    declared.fileBytes = fileBytes;
    return declared;
}

}  // namespace kavenra
