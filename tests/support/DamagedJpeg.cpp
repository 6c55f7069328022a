#include "support/DamagedJpeg.h"

#include <cstddef>
#include <vector>

namespace kavenra::test {
namespace {

constexpr int kStartOfScan = 0xDA;
constexpr int kEndOfImage = 0xD9;

bool IsFrameHeader(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsRestart(int marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

// Where the marker segments before the first scan start, walked by their lengths, and where
// that scan's data starts; nothing for a file that is no JPEG.
struct Headers {
    std::vector<std::size_t> segments;  // offsets of each segment's 0xFF
    std::size_t scanData = 0;
};

Headers WalkHeaders(const Bytes& jpeg) {
    Headers headers;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return headers;
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        headers.segments.push_back(at);
        const std::size_t length = std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == kStartOfScan) {
            headers.scanData = at + 2 + length;
            return headers;
        }
        at += 2 + length;
    }
    return Headers();
}

// The offsets of the markers within the picture data (0xFF and a byte that is neither 0 nor a
// fill byte), the restart markers included.
std::vector<std::size_t> DataMarkers(const Bytes& jpeg, std::size_t from) {
    std::vector<std::size_t> markers;
    for (std::size_t at = from; at + 1 < jpeg.size(); ++at) {
        if (jpeg[at] == 0xFF && jpeg[at + 1] != 0 && jpeg[at + 1] != 0xFF) markers.push_back(at);
    }
    return markers;
}

std::size_t NthRestart(const Bytes& jpeg, std::size_t from, int nth) {
    int seen = 0;
    for (const std::size_t at : DataMarkers(jpeg, from)) {
        if (IsRestart(jpeg[at + 1]) && ++seen == nth) return at;
    }
    return 0;
}

std::size_t FrameHeader(const Bytes& jpeg, const Headers& headers) {
    for (const std::size_t at : headers.segments) {
        if (IsFrameHeader(jpeg[at + 1])) return at;
    }
    return 0;
}

}  // namespace

Bytes DamagedJpeg(const Bytes& jpeg, const std::string& kind) {
    const Headers headers = WalkHeaders(jpeg);
    if (headers.scanData == 0 || jpeg.size() < headers.scanData + 1024) return {};
    Bytes file = jpeg;
    const std::size_t third = headers.scanData + (jpeg.size() - headers.scanData) / 3;
    const std::size_t end = jpeg.size() - 2;
    if (jpeg[end] != 0xFF || jpeg[end + 1] != kEndOfImage) return {};
    const auto insertAt = [&file](std::size_t at, const Bytes& bytes) {
        file.insert(file.begin() + long(at), bytes.begin(), bytes.end());
    };
    if (kind == "marker in the data") {
        file[third] = 0xFF;
        file[third + 1] = 0x37;
    } else if (kind == "zeroed sector") {
        for (std::size_t at = third; at < third + 512; ++at) file[at] = 0;
    } else if (kind == "restarts out of order" || kind == "bytes before a restart") {
        const std::size_t restart = NthRestart(jpeg, headers.scanData, 2);
        if (restart == 0) return {};
        if (kind == "restarts out of order") {
            file[restart + 1] = 0xD4;
        } else {
            insertAt(restart, Bytes(16, 0x55));
        }
    } else if (kind == "mixed bytes before the end") {
        insertAt(end, {0x12, 0x9A, 0x34, 0x00, 0x56, 0x78, 0xBC, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB,
                       0xCD, 0xEF, 0x10});
    } else if (kind == "padding before the end") {
        insertAt(end, Bytes(16, 0));
    } else if (kind == "bytes between headers" || kind == "unknown marker among headers") {
        const std::size_t frame = FrameHeader(jpeg, headers);
        if (frame == 0) return {};
        insertAt(frame, kind == "bytes between headers"
                            ? Bytes{0x00, 0x11, 0x22}
                            : Bytes{0xFF, 0xF0, 0x00, 0x04, 0xAB, 0xCD});
    } else {
        return {};
    }
    return file;
}

}  // namespace kavenra::test
