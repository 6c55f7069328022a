#include "support/WarningTiff.h"

#include <algorithm>

namespace kavenra::testing {
namespace {

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::uint16_t kFirstPrivateTag = 65000;
constexpr std::uint32_t kDirectoryOffset = 8;
constexpr std::uint32_t kEntryBytes = 12;

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t value;
};

void Put16(std::vector<unsigned char>& out, std::uint16_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

std::vector<unsigned char> TiffWithUnknownTags(int width, int height, int unknownTags) {
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    std::vector<Entry> entries = {
        {256, kShort, w},    // width
        {257, kShort, h},    // height
        {258, kShort, 8},    // bits per sample
        {259, kShort, 1},    // no compression
        {262, kShort, 1},    // black is zero
        {273, kLong, 0},     // strip offset, set below
        {277, kShort, 1},    // samples per pixel
        {278, kShort, h},    // rows per strip
        {279, kLong, w * h}  // strip byte count
    };
    for (int i = 0; i < unknownTags; ++i) {
        entries.push_back({static_cast<std::uint16_t>(kFirstPrivateTag + i), kLong,
                           static_cast<std::uint32_t>(i)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    const auto pixelOffset =
        static_cast<std::uint32_t>(kDirectoryOffset + 2 + kEntryBytes * entries.size() + 4);
    std::vector<unsigned char> out = {'I', 'I', 42, 0};
    Put32(out, kDirectoryOffset);
    Put16(out, static_cast<std::uint16_t>(entries.size()));
    for (const Entry& entry : entries) {
        Put16(out, entry.tag);
        Put16(out, entry.type);
        Put32(out, 1);
        const std::uint32_t value = entry.tag == 273 ? pixelOffset : entry.value;
        if (entry.type == kShort) {
            Put16(out, static_cast<std::uint16_t>(value));
            Put16(out, 0);
        } else {
            Put32(out, value);
        }
    }
    Put32(out, 0);  // no further directory
    for (std::uint32_t i = 0; i < w * h; ++i) out.push_back(static_cast<unsigned char>(i));
    return out;
}

}  // namespace kavenra::testing
