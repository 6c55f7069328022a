#include "support/ImageCameraRaw.h"

#include <algorithm>

namespace kavenra::test {
namespace {

enum TiffType : std::uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kSRational = 10 };

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    Bytes value;  // little-endian, count * size of type bytes
};

void PutU16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

Entry Shorts(std::uint16_t tag, std::initializer_list<std::uint32_t> values) {
    Entry e{tag, kShort, static_cast<std::uint32_t>(values.size()), {}};
    for (std::uint32_t v : values) PutU16(e.value, v);
    return e;
}

Entry Longs(std::uint16_t tag, std::initializer_list<std::uint32_t> values) {
    Entry e{tag, kLong, static_cast<std::uint32_t>(values.size()), {}};
    for (std::uint32_t v : values) PutU32(e.value, v);
    return e;
}

Entry ByteValues(std::uint16_t tag, std::initializer_list<unsigned char> values) {
    return {tag, kByte, static_cast<std::uint32_t>(values.size()), Bytes(values)};
}

Entry Text(std::uint16_t tag, const std::string& text) {
    Bytes value(text.begin(), text.end());
    value.push_back(0);
    return {tag, kAscii, static_cast<std::uint32_t>(value.size()), value};
}

Entry SignedRationals(std::uint16_t tag, std::initializer_list<int> numerators, int denominator) {
    Entry e{tag, kSRational, static_cast<std::uint32_t>(numerators.size()), {}};
    for (int n : numerators) {
        PutU32(e.value, static_cast<std::uint32_t>(n));
        PutU32(e.value, static_cast<std::uint32_t>(denominator));
    }
    return e;
}

// Writes one image file directory at the end of `out`, whose first byte lies at `outOffset` in
// the file: the entries in tag order, the offset of the next directory (none), then the values
// that do not fit into an entry.
void AppendDirectory(Bytes& out, std::vector<Entry> entries, std::uint32_t outOffset = 0) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    const std::size_t start = outOffset + out.size();
    std::uint32_t spill = static_cast<std::uint32_t>(start + 2 + 12 * entries.size() + 4);
    Bytes spilled;
    PutU16(out, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        PutU16(out, e.tag);
        PutU16(out, e.type);
        PutU32(out, e.count);
        if (e.value.size() <= 4) {
            Bytes inline_value = e.value;
            inline_value.resize(4, 0);
            out.insert(out.end(), inline_value.begin(), inline_value.end());
        } else {
            PutU32(out, spill + static_cast<std::uint32_t>(spilled.size()));
            spilled.insert(spilled.end(), e.value.begin(), e.value.end());
            if (spilled.size() % 2) spilled.push_back(0);  // values start on a word boundary
        }
    }
    PutU32(out, 0);
    out.insert(out.end(), spilled.begin(), spilled.end());
}

// An RGGB mosaic sampled from a natural picture, 16 bits per sample.
Bytes SensorData(const CameraRawSpec& camera) {
    const BitmapHandle scene =
        MakeNaturalBitmap(camera.sensorWidth, camera.sensorHeight, camera.seed);
    Bytes data;
    for (int y = 0; y < camera.sensorHeight; ++y) {
        const BYTE* line = FreeImage_GetScanLine(scene.get(), camera.sensorHeight - 1 - y);
        for (int x = 0; x < camera.sensorWidth; ++x) {
            const int channel = (y % 2 == 0) ? (x % 2 == 0 ? FI_RGBA_RED : FI_RGBA_GREEN)
                                             : (x % 2 == 0 ? FI_RGBA_GREEN : FI_RGBA_BLUE);
            PutU16(data, line[3 * x + channel] * 257u);
        }
    }
    return data;
}

}  // namespace

Bytes MakeDngPreview(const CameraRawSpec& camera) {
    if (!camera.previewJpeg.empty()) return camera.previewJpeg;
    const BitmapHandle preview =
        MakeNaturalBitmap(camera.previewWidth, camera.previewHeight, camera.seed + 1);
    return preview ? EncodeImage(*preview, FIF_JPEG, JPEG_QUALITYGOOD | JPEG_BASELINE) : Bytes{};
}

Bytes MakeMinimalDng(const CameraRawSpec& camera) {
    const Bytes preview = MakeDngPreview(camera);
    const Bytes sensor = SensorData(camera);
    const std::string model = "Synthetic Test Camera";

    Bytes out = {'I', 'I', 42, 0};
    const std::uint32_t previewOffset = 8;
    const std::uint32_t sensorOffset = previewOffset + static_cast<std::uint32_t>(preview.size());
    const std::uint32_t firstDirectory = sensorOffset + static_cast<std::uint32_t>(sensor.size());
    PutU32(out, firstDirectory);
    out.insert(out.end(), preview.begin(), preview.end());
    out.insert(out.end(), sensor.begin(), sensor.end());

    // The sensor directory comes right after the first one, whose size is known once written.
    Bytes first;
    const auto pw = static_cast<std::uint32_t>(camera.previewWidth);
    const auto ph = static_cast<std::uint32_t>(camera.previewHeight);
    std::vector<Entry> previewEntries = {
        Longs(254, {1}),  // NewSubfileType: reduced-resolution image
        Longs(256, {pw}),
        Longs(257, {ph}),
        Shorts(258, {8, 8, 8}),
        Shorts(259, {7}),  // JPEG
        Shorts(262, {6}),  // YCbCr
        Text(271, "Kavenra Test Optics"),
        Text(272, model),
        Longs(273, {previewOffset}),
        Shorts(277, {3}),
        Longs(278, {ph}),
        Longs(279, {static_cast<std::uint32_t>(preview.size())}),
        Longs(330, {0}),  // SubIFDs, patched below
        ByteValues(50706, {1, 4, 0, 0}),
        ByteValues(50707, {1, 1, 0, 0}),
        Text(50708, model),
        SignedRationals(50721, {10000, 0, 0, 0, 10000, 0, 0, 0, 10000}, 10000),
        Shorts(50778, {21}),  // CalibrationIlluminant1: D65
    };
    if (camera.orientation != 0) previewEntries.push_back(Shorts(274, {camera.orientation}));
    AppendDirectory(first, previewEntries, firstDirectory);
    const std::uint32_t sensorDirectory = firstDirectory + static_cast<std::uint32_t>(first.size());
    for (Entry& e : previewEntries) {
        if (e.tag == 330) e = Longs(330, {sensorDirectory});
    }
    first.clear();
    AppendDirectory(first, previewEntries, firstDirectory);
    out.insert(out.end(), first.begin(), first.end());

    const auto sw = static_cast<std::uint32_t>(camera.sensorWidth);
    const auto sh = static_cast<std::uint32_t>(camera.sensorHeight);
    AppendDirectory(out, {
                             Longs(254, {0}),  // the full-resolution image
                             Longs(256, {sw}), Longs(257, {sh}), Shorts(258, {16}),
                             Shorts(259, {1}),      // uncompressed
                             Shorts(262, {32803}),  // colour filter array
                             Longs(273, {sensorOffset}), Shorts(277, {1}), Longs(278, {sh}),
                             Longs(279, {static_cast<std::uint32_t>(sensor.size())}),
                             Shorts(33421, {2, 2}),            // CFARepeatPatternDim
                             ByteValues(33422, {0, 1, 1, 2}),  // CFAPattern: RGGB
                             Longs(50717, {65535}),            // WhiteLevel
                         });
    return out;
}

bool WriteMinimalDng(const std::string& path, const CameraRawSpec& camera) {
    const Bytes data = MakeMinimalDng(camera);
    return !data.empty() && WriteFileBytes(path, data);
}

}  // namespace kavenra::test
