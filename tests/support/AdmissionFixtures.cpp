#include "support/AdmissionFixtures.h"

#include <zlib.h>

namespace kavenra::test {
namespace {

void Append(Bytes& out, std::initializer_list<unsigned> bytes) {
    for (unsigned byte : bytes) out.push_back(static_cast<unsigned char>(byte));
}

void AppendU16BigEndian(Bytes& out, unsigned value) {
    Append(out, {value >> 8 & 0xFF, value & 0xFF});
}

void AppendU32LittleEndian(Bytes& out, std::uint32_t value) {
    Append(out, {value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF, value >> 24});
}

// Where the first frame marker (SOF0 to SOF15 less C4, C8, CC) of a well-formed JPEG starts.
std::size_t FrameOffset(const Bytes& jpeg) {
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const unsigned marker = jpeg[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            return at;
        }
        at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
    }
    return jpeg.size();
}

}  // namespace

Bytes ComponentsJpeg(int components, int width, int height) {
    Bytes out;
    Append(out, {0xFF, 0xD8});
    Append(out, {0xFF, 0xDB, 0x00, 0x43, 0x00});  // one quantisation table of ones
    out.insert(out.end(), 64, 1);
    Append(out, {0xFF, 0xC0});
    AppendU16BigEndian(out, 8 + 3 * components);
    Append(out, {8});
    AppendU16BigEndian(out, height);
    AppendU16BigEndian(out, width);
    Append(out, {static_cast<unsigned>(components)});
    for (int component = 1; component <= components; ++component) {
        Append(out, {static_cast<unsigned>(component), 0x11, 0});
    }
    // One code of length 1 for the symbol 0, as DC and as AC table.
    for (unsigned table : {0x00u, 0x10u}) {
        Append(out, {0xFF, 0xC4, 0x00, 0x14, table, 1});
        out.insert(out.end(), 15, 0);
        Append(out, {0});
    }
    Append(out, {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    Append(out, {0x00, 0x00, 0xFF, 0xD9});
    return out;
}

Bytes WithBytesBeforeFrame(const Bytes& jpeg, const Bytes& stray) {
    Bytes out = jpeg;
    const std::size_t at = FrameOffset(jpeg);
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), stray.begin(), stray.end());
    return out;
}

Bytes WithFrameSize(const Bytes& jpeg, std::uint16_t width, std::uint16_t height) {
    Bytes out = jpeg;
    const std::size_t at = FrameOffset(jpeg);
    if (at + 9 > out.size()) return out;
    out[at + 5] = static_cast<unsigned char>(height >> 8);
    out[at + 6] = static_cast<unsigned char>(height);
    out[at + 7] = static_cast<unsigned char>(width >> 8);
    out[at + 8] = static_cast<unsigned char>(width);
    return out;
}

Bytes TruncatedPhaseOne() {
    Bytes out = {'I', 'I', 'I', 'I', 0x00, 'w', 'a', 'R'};  // "Raw", little-endian
    AppendU32LittleEndian(out, 12);                         // the directory
    AppendU32LittleEndian(out, 1);                          // one entry
    AppendU32LittleEndian(out, 0);
    // Tag 0x110: the metadata directory, at 1 MiB into a file of 64 bytes.
    for (std::uint32_t value : {0x0110u, 4u, 0u, 0x100000u}) AppendU32LittleEndian(out, value);
    out.resize(64, 0);
    return out;
}

RunLengthTarga MakeRunLengthTarga(int bits, int height) {
    constexpr int kWidth = 16;
    constexpr int kRaw = 9;
    RunLengthTarga targa;
    targa.bytesPerPixel = bits / 8;
    const bool mapped = bits == 8;
    Bytes& out = targa.file;
    // No identification field; a 256-entry, 24-bit colour map for the mapped picture.
    Append(out, {0, mapped ? 1u : 0u, mapped ? 9u : 10u, 0, 0});
    Append(out, {0, mapped ? 1u : 0u, mapped ? 24u : 0u});
    Append(out, {0, 0, 0, 0, kWidth, 0, static_cast<unsigned>(height), 0,
                 static_cast<unsigned>(bits), bits == 32 ? 8u : 0u});
    if (mapped) {
        for (unsigned i = 0; i < 256; ++i) Append(out, {i, 255 - i, (i * 7) & 0xFF});
    }
    // A pixel's stored bytes: an index, or blue, green, red (and alpha).
    const auto pixel = [&](unsigned value) {
        if (mapped) {
            Append(out, {value & 0xFF});
            return;
        }
        Append(out, {value & 0xFF, (value * 3) & 0xFF, (value * 5 + 1) & 0xFF});
        if (bits == 32) Append(out, {255 - (value & 0x7F)});
    };
    for (int y = 0; y < height; ++y) {
        targa.lastRawPacket = out.size();
        Append(out, {kRaw - 1});
        for (int x = 0; x < kRaw; ++x) pixel(static_cast<unsigned>(17 * y + 11 * x + 3));
        targa.lastRunPacket = out.size();
        Append(out, {0x80 | (kWidth - kRaw - 1)});
        pixel(static_cast<unsigned>(200 - 13 * y));
    }
    return targa;
}

Bytes WithPngSize(const Bytes& png, std::uint32_t width, std::uint32_t height) {
    // The signature, then the header chunk: length, "IHDR", width and height from offset 16.
    constexpr std::size_t kHeaderType = 12;
    constexpr std::size_t kHeaderData = 13;
    Bytes file = png;
    if (file.size() < kHeaderType + 4 + kHeaderData + 4) return file;
    for (int i = 0; i < 4; ++i) {
        file[16 + i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        file[20 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    const auto checksum =
        static_cast<std::uint32_t>(crc32(0, file.data() + kHeaderType, uInt(4 + kHeaderData)));
    for (int i = 0; i < 4; ++i) {
        file[kHeaderType + 4 + kHeaderData + i] =
            static_cast<unsigned char>(checksum >> (24 - 8 * i));
    }
    return file;
}

}  // namespace kavenra::test
