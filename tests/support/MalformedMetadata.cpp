#include "support/MalformedMetadata.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstring>
#include <exiv2/exiv2.hpp>

namespace kavenra::test {
namespace {

void PutLittle(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutBig(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

void PutText(Bytes& out, const char* text, bool withZero = false) {
    out.insert(out.end(), text, text + std::strlen(text) + (withZero ? 1 : 0));
}

Bytes TextValue(const char* text) {
    Bytes value;
    PutText(value, text, true);
    return value;
}

RawTiffEntry ShortEntry(std::uint16_t tag, std::uint32_t count, std::vector<std::uint16_t> values) {
    RawTiffEntry entry{tag, 3, count, {}};
    for (const std::uint16_t value : values) PutLittle(entry.value, value, 2);
    return entry;
}

RawTiffEntry LongEntry(std::uint16_t tag, std::uint32_t value) {
    RawTiffEntry entry{tag, 4, 1, {}};
    PutLittle(entry.value, value, 4);
    return entry;
}

// The directory at `at` of a little-endian TIFF structure that starts at `start` of `out`:
// entries sorted by tag, each value of more than 4 bytes after it (at an even offset), and the
// offset of no next directory. `pixelOffset` receives the place to patch when a StripOffsets
// entry (tag 0x0111) is to name data appended later.
void PutDirectory(Bytes& out, std::size_t start, std::vector<RawTiffEntry> entries,
                  std::size_t* stripOffsetAt = nullptr) {
    std::sort(entries.begin(), entries.end(),
              [](const RawTiffEntry& a, const RawTiffEntry& b) { return a.tag < b.tag; });
    const std::size_t directory = out.size() - start;
    std::size_t data = directory + 2 + 12 * entries.size() + 4;
    Bytes values;
    PutLittle(out, static_cast<std::uint32_t>(entries.size()), 2);
    for (const RawTiffEntry& entry : entries) {
        PutLittle(out, entry.tag, 2);
        PutLittle(out, entry.type, 2);
        PutLittle(out, entry.count, 4);
        if (entry.tag == 0x0111 && stripOffsetAt != nullptr) *stripOffsetAt = out.size();
        if (entry.value.size() <= 4) {
            Bytes inPlace = entry.value;
            inPlace.resize(4, 0);
            out.insert(out.end(), inPlace.begin(), inPlace.end());
        } else {
            PutLittle(out, static_cast<std::uint32_t>(data + values.size()), 4);
            values.insert(values.end(), entry.value.begin(), entry.value.end());
            if (values.size() % 2 != 0) values.push_back(0);
        }
    }
    PutLittle(out, 0, 4);
    out.insert(out.end(), values.begin(), values.end());
}

bool DecodesAsIptc(const unsigned char* data, std::size_t size) {
    Exiv2::IptcData iptc;
    try {
        return size > 0 &&
               Exiv2::IptcParser::decode(iptc, data, static_cast<std::uint32_t>(size)) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool DecodesAsXmp(const std::string& packet) {
    Exiv2::XmpData xmp;
    try {
        return Exiv2::XmpParser::decode(xmp, packet) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool HasTiffType(const Exiv2::Exifdatum& datum) {
    return datum.typeId() >= Exiv2::unsignedByte && datum.typeId() <= Exiv2::tiffIfd;
}

// The IPTC resources of a JPEG file's Photoshop segments.
std::vector<Bytes> JpegIptcBlocks(const Bytes& file) {
    std::vector<Bytes> blocks;
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return blocks;
    static const char kPhotoshop[] = "Photoshop 3.0";
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xDA) {
        const std::size_t length = std::size_t(file[at + 2]) << 8 | file[at + 3];
        const std::size_t end = std::min(file.size(), at + 2 + length);
        const std::size_t payload = at + 4;
        if (file[at + 1] == 0xED && end - payload > sizeof kPhotoshop &&
            std::memcmp(&file[payload], kPhotoshop, sizeof kPhotoshop) == 0) {
            std::size_t resource = payload + sizeof kPhotoshop;
            while (resource + 12 <= end && std::memcmp(&file[resource], "8BIM", 4) == 0) {
                const unsigned id = unsigned(file[resource + 4]) << 8 | file[resource + 5];
                std::size_t name = resource + 6;
                const std::size_t nameLength = file[name] + 1;
                std::size_t size = name + nameLength + (nameLength % 2);
                if (size + 4 > end) break;
                const std::size_t bytes = std::size_t(file[size]) << 24 |
                                          std::size_t(file[size + 1]) << 16 |
                                          std::size_t(file[size + 2]) << 8 | file[size + 3];
                const std::size_t data = size + 4;
                const std::size_t dataEnd = std::min(end, data + bytes);
                if (id == 0x0404)
                    blocks.emplace_back(file.begin() + long(data), file.begin() + long(dataEnd));
                resource = data + bytes + (bytes % 2);
            }
        }
        at = payload - 2 + length;
    }
    return blocks;
}

std::uint32_t Read(const Bytes& block, std::size_t at, int bytes, bool big) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const std::uint32_t byte = block[at + std::size_t(i)];
        value |= big ? byte << (8 * (bytes - 1 - i)) : byte << (8 * i);
    }
    return value;
}

// The entries of a TIFF structure's first directory and of the EXIF directory it points to
// whose type is none of TIFF's or whose values run past the structure, walked by hand.
void WalkDirectories(const Bytes& block, const std::string& where,
                     std::vector<std::string>& found) {
    static const unsigned kTypeSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    if (block.size() < 8 || (block[0] != 'I' && block[0] != 'M')) return;
    const bool big = block[0] == 'M';
    std::vector<std::uint32_t> directories = {Read(block, 4, 4, big)};
    for (std::size_t walked = 0; walked < directories.size() && walked < 2; ++walked) {
        const std::size_t at = directories[walked];
        if (at + 2 > block.size()) return;
        const std::uint32_t count = Read(block, at, 2, big);
        for (std::uint32_t i = 0; i < count && at + 2 + 12 * (i + 1) <= block.size(); ++i) {
            const std::size_t entry = at + 2 + 12 * i;
            const std::uint32_t tag = Read(block, entry, 2, big);
            const std::uint32_t type = Read(block, entry + 2, 2, big);
            const std::uint64_t values = Read(block, entry + 4, 4, big);
            const bool typed = type >= 1 && type <= 13;
            const std::uint64_t bytes = typed ? values * kTypeSizes[type] : 0;
            const std::uint64_t offset = bytes <= 4 ? entry + 8 : Read(block, entry + 8, 4, big);
            if (!typed || values == 0 || offset + bytes > block.size()) {
                found.push_back(where + " entry " + std::to_string(tag) + " of type " +
                                std::to_string(type) + ", count " + std::to_string(values));
            }
            if (tag == 0x8769 && typed) directories.push_back(Read(block, entry + 8, 4, big));
        }
    }
}

// The EXIF block of a JPEG file's APP1 segment; empty when it has none.
Bytes JpegExifBlock(const Bytes& file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return {};
    static const unsigned char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xDA) {
        const std::size_t length = std::size_t(file[at + 2]) << 8 | file[at + 3];
        const std::size_t end = std::min(file.size(), at + 2 + length);
        if (file[at + 1] == 0xE1 && end - (at + 4) > sizeof kExif &&
            std::memcmp(&file[at + 4], kExif, sizeof kExif) == 0) {
            return Bytes(file.begin() + long(at + 4 + sizeof kExif), file.begin() + long(end));
        }
        at += 2 + length;
    }
    return {};
}

}  // namespace

RawTiffEntry ArtistEntry() {
    const Bytes value = TextValue(kEntryArtist);
    return {0x013B, 2, static_cast<std::uint32_t>(value.size()), value};
}

RawTiffEntry UntypedEntry() {
    return {0xC4A5, 0, 4, {1, 2, 3, 4}};
}

RawTiffEntry OvercountedEntry() {
    return {0xC4A5, 4, 0x40000000u, {1, 2, 3, 4}};
}

Bytes MakeExifBlockOf(std::vector<RawTiffEntry> entries) {
    Bytes block = {'I', 'I', 42, 0};
    PutLittle(block, 8, 4);
    PutDirectory(block, 0, std::move(entries));
    return block;
}

Bytes MakeRgbTiffWith(int width, int height, std::vector<RawTiffEntry> extra) {
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    std::vector<RawTiffEntry> entries = {
        LongEntry(0x0100, w),              // ImageWidth
        LongEntry(0x0101, h),              // ImageLength
        ShortEntry(0x0102, 3, {8, 8, 8}),  // BitsPerSample
        ShortEntry(0x0103, 1, {1}),        // Compression: none
        ShortEntry(0x0106, 1, {2}),        // PhotometricInterpretation: RGB
        LongEntry(0x0111, 0),              // StripOffsets, patched below
        ShortEntry(0x0115, 1, {3}),        // SamplesPerPixel
        LongEntry(0x0116, h),              // RowsPerStrip
        LongEntry(0x0117, w * h * 3),      // StripByteCounts
    };
    entries.insert(entries.end(), extra.begin(), extra.end());
    Bytes file = {'I', 'I', 42, 0};
    PutLittle(file, 8, 4);
    std::size_t stripOffsetAt = 0;
    PutDirectory(file, 0, std::move(entries), &stripOffsetAt);
    const auto pixels = static_cast<std::uint32_t>(file.size());
    for (int i = 0; i < 4; ++i) file[stripOffsetAt + std::size_t(i)] = (pixels >> (8 * i)) & 0xFF;
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            file.push_back(static_cast<unsigned char>(x * 255 / std::max(1u, w - 1)));
            file.push_back(static_cast<unsigned char>(y * 255 / std::max(1u, h - 1)));
            file.push_back(static_cast<unsigned char>((x + y) * 4));
        }
    }
    return file;
}

Bytes WithXmpSegment(const Bytes& jpeg, const std::string& packet) {
    Bytes payload;
    PutText(payload, "http://ns.adobe.com/xap/1.0/", true);
    payload.insert(payload.end(), packet.begin(), packet.end());
    Bytes file(jpeg.begin(), jpeg.begin() + 2);
    file.insert(file.end(), {0xFF, 0xE1});
    PutBig(file, static_cast<std::uint32_t>(payload.size() + 2), 2);
    file.insert(file.end(), payload.begin(), payload.end());
    file.insert(file.end(), jpeg.begin() + 2, jpeg.end());
    return file;
}

Bytes WithIptcSegment(const Bytes& jpeg, const Bytes& block) {
    Bytes payload;
    PutText(payload, "Photoshop 3.0", true);
    PutText(payload, "8BIM");
    PutBig(payload, 0x0404, 2);
    PutBig(payload, 0, 2);  // an empty name, padded to an even length
    PutBig(payload, static_cast<std::uint32_t>(block.size()), 4);
    payload.insert(payload.end(), block.begin(), block.end());
    if (block.size() % 2 != 0) payload.push_back(0);
    Bytes file(jpeg.begin(), jpeg.begin() + 2);
    file.insert(file.end(), {0xFF, 0xED});
    PutBig(file, static_cast<std::uint32_t>(payload.size() + 2), 2);
    file.insert(file.end(), payload.begin(), payload.end());
    file.insert(file.end(), jpeg.begin() + 2, jpeg.end());
    return file;
}

Bytes UnparsableIptcBlock() {
    return {0x1C, 2, 0, 0, 2, 0, 4, 0x1C, 2, 25, 0, 64, 'k', 'e', 'y'};
}

std::vector<std::string> MalformedMetadataIn(const std::string& path) {
    std::vector<std::string> found;
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        for (const Exiv2::Exifdatum& datum : image->exifData()) {
            const std::string key = datum.key();
            if (!HasTiffType(datum) || datum.count() == 0) {
                found.push_back("EXIF " + key + " of type " + std::to_string(datum.typeId()) +
                                ", count " + std::to_string(datum.count()));
            }
            if (key == "Exif.Image.IPTCNAA" || key == "Exif.Image.XMLPacket") {
                Bytes value(static_cast<std::size_t>(datum.size()));
                datum.copy(value.data(), image->byteOrder());
                const bool sound = key == "Exif.Image.IPTCNAA"
                                       ? DecodesAsIptc(value.data(), value.size())
                                       : DecodesAsXmp(std::string(value.begin(), value.end()));
                if (!sound) found.push_back("EXIF " + key + " that does not parse");
            }
        }
    } catch (const std::exception&) {
        found.push_back("unreadable");
    }
    const BitmapHandle bitmap = LoadImageFile(path);
    FITAG* packet = nullptr;
    if (bitmap && FreeImage_GetMetadata(FIMD_XMP, bitmap.get(), "XMLPacket", &packet) && packet) {
        const auto* text = static_cast<const char*>(FreeImage_GetTagValue(packet));
        const std::string xmp(text, strnlen(text, FreeImage_GetTagLength(packet)));
        if (!DecodesAsXmp(xmp)) {
            found.push_back("an XMP packet of " + std::to_string(xmp.size()) +
                            " bytes that does not parse");
        }
    }
    const Bytes file = ReadFileBytes(path);
    WalkDirectories(file, "TIFF", found);
    WalkDirectories(JpegExifBlock(file), "JPEG's EXIF", found);
    for (const Bytes& block : JpegIptcBlocks(file)) {
        if (!DecodesAsIptc(block.data(), block.size())) {
            found.push_back("a Photoshop segment's IPTC block that does not parse");
        }
    }
    return found;
}

}  // namespace kavenra::test
