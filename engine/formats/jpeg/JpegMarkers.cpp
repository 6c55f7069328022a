#include "engine/formats/jpeg/JpegMarkers.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kavenra {
namespace {

constexpr int kEnd = -1;

// The file's bytes in order, read a block at a time.
class JpegBytes {
  public:
    explicit JpegBytes(const std::string& path)
        : descriptor_(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)) {}
    JpegBytes(const JpegBytes&) = delete;
    JpegBytes& operator=(const JpegBytes&) = delete;
    ~JpegBytes() {
        if (descriptor_ >= 0) close(descriptor_);
    }

    bool opened() const { return descriptor_ >= 0; }

    int next() {
        if (at_ == end_ && !fill()) return kEnd;
        return block_[at_++];
    }

    // Passes over `count` bytes; false when the file ends first.
    bool skip(std::uint64_t count) {
        while (count > 0) {
            if (at_ == end_ && !fill()) return false;
            const std::size_t step =
                count < end_ - at_ ? static_cast<std::size_t>(count) : end_ - at_;
            at_ += step;
            count -= step;
        }
        return true;
    }

    // Passes over entropy-coded data up to and including its next 0xFF; false when the file
    // ends first.
    bool passToNextFF() {
        for (;;) {
            if (at_ == end_ && !fill()) return false;
            const void* found = std::memchr(&block_[at_], 0xFF, end_ - at_);
            if (found != nullptr) {
                at_ = static_cast<std::size_t>(static_cast<const unsigned char*>(found) -
                                               block_.data()) +
                      1;
                return true;
            }
            at_ = end_;
        }
    }

  private:
    bool fill() {
        if (descriptor_ < 0) return false;
        ssize_t got = 0;
        do {
            got = read(descriptor_, block_.data(), block_.size());
        } while (got < 0 && errno == EINTR);
        at_ = 0;
        end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        return end_ > 0;
    }

    int descriptor_;
    std::array<unsigned char, 64 * 1024> block_{};
    std::size_t at_ = 0;
    std::size_t end_ = 0;
};

bool IsRestart(int marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

// Markers without a length: TEM, the restart markers and the start of image.
bool HasNoLength(int marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

// The markers libjpeg reads a segment of: the frame headers, the tables, the scan header, the
// restart interval, the number of lines, the application segments and the comment. At any other
// it stops and FreeImage's loader goes on at the next marker, as the walk does: what follows
// such a marker (damaged picture data, often) is no length.
bool IsSegmentMarker(int marker) {
    return (marker >= 0xC0 && marker <= 0xCF && marker != 0xC8) ||
           (marker >= 0xDA && marker <= 0xDD) || (marker >= 0xE0 && marker <= 0xEF) ||
           marker == 0xFE;
}

// The next marker between segments. libjpeg passes over stray bytes before a 0xFF and any number
// of 0xFF fill bytes.
int NextMarker(JpegBytes& in) {
    for (;;) {
        int byte = in.next();
        while (byte != 0xFF && byte != kEnd) byte = in.next();
        while (byte == 0xFF) byte = in.next();
        if (byte != 0) return byte;
    }
}

// The marker that ends a scan's entropy-coded data: 0xFF 0x00 is a stuffed data byte, a restart
// marker stays inside the scan, 0xFF fill bytes may precede a marker.
int MarkerAfterScan(JpegBytes& in) {
    for (;;) {
        if (!in.passToNextFF()) return kEnd;
        int byte = in.next();
        while (byte == 0xFF) byte = in.next();
        if (byte == kEnd) return kEnd;
        if (byte != 0 && !IsRestart(byte)) return byte;
    }
}

enum class Segment { Passed, FileEnds, Malformed };

Segment SkipSegment(JpegBytes& in) {
    const int high = in.next();
    const int low = in.next();
    if (high == kEnd || low == kEnd) return Segment::FileEnds;
    const int length = high << 8 | low;
    if (length < 2) return Segment::Malformed;
    return in.skip(static_cast<std::uint64_t>(length - 2)) ? Segment::Passed : Segment::FileEnds;
}

}  // namespace

bool JpegEndsEarly(const std::string& path) {
    JpegBytes in(path);
    if (!in.opened() || in.next() != 0xFF || in.next() != 0xD8) return false;
    int marker = NextMarker(in);
    for (;;) {
        if (marker == kEnd) return true;
        if (marker == 0xD9) return false;
        if (HasNoLength(marker) || !IsSegmentMarker(marker)) {
            marker = NextMarker(in);
            continue;
        }
        const Segment segment = SkipSegment(in);
        if (segment != Segment::Passed) return segment == Segment::FileEnds;
        // The scan's data follows its header, up to the next marker that is no restart.
        marker = marker == 0xDA ? MarkerAfterScan(in) : NextMarker(in);
    }
}

bool JpegHasAdobeSegment(const std::string& path) {
    constexpr int kApp14 = 0xEE;
    constexpr unsigned char kAdobe[] = {'A', 'd', 'o', 'b', 'e'};
    JpegBytes in(path);
    if (!in.opened() || in.next() != 0xFF || in.next() != 0xD8) return false;
    for (;;) {
        const int marker = NextMarker(in);
        if (marker == kEnd || marker == 0xDA || marker == 0xD9) return false;
        if (HasNoLength(marker) || !IsSegmentMarker(marker)) continue;
        const int high = in.next();
        const int low = in.next();
        if (high == kEnd || low == kEnd) return false;
        const int length = high << 8 | low;
        if (length < 2) return false;
        int read = 2;
        if (marker == kApp14 && length >= 2 + int(sizeof kAdobe)) {
            bool adobe = true;
            for (const unsigned char expected : kAdobe) {
                const int byte = in.next();
                if (byte == kEnd) return false;
                adobe = adobe && byte == expected;
            }
            if (adobe) return true;
            read += int(sizeof kAdobe);
        }
        if (!in.skip(static_cast<std::uint64_t>(length - read))) return false;
    }
}

}  // namespace kavenra
