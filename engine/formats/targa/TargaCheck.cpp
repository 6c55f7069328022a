#include "engine/formats/targa/TargaCheck.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/base/SystemText.h"
#include "engine/formats/FileHandle.h"

namespace kavenra {
namespace {

constexpr std::size_t kHeaderBytes = 18;
constexpr std::size_t kChunkBytes = std::size_t{1} << 16;

// The file's bytes in order, read a chunk at a time; skips may reach past the end.
class ByteReader {
  public:
    explicit ByteReader(std::FILE* file) : file_(file), chunk_(kChunkBytes) {}

    bool next(unsigned char& byte) {
        if (at_ == filled_ && !refill()) return false;
        byte = chunk_[at_++];
        return true;
    }

    // False when the file ends before `count` more bytes.
    bool skip(std::uint64_t count) {
        while (count > 0) {
            if (at_ == filled_ && !refill()) return false;
            const std::uint64_t here = std::min<std::uint64_t>(count, filled_ - at_);
            at_ += static_cast<std::size_t>(here);
            count -= here;
        }
        return true;
    }

  private:
    bool refill() {
        filled_ = std::fread(chunk_.data(), 1, chunk_.size(), file_);
        at_ = 0;
        return filled_ > 0;
    }

    std::FILE* file_;
    std::vector<unsigned char> chunk_;
    std::size_t filled_ = 0;
    std::size_t at_ = 0;
};

bool IsRunLengthCoded(unsigned imageType) {
    return imageType >= 9 && imageType <= 11;
}

}  // namespace

TargaRuns WalkTargaRuns(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    std::array<unsigned char, kHeaderBytes> header{};
    if (!file || std::fread(header.data(), 1, header.size(), file.get()) != header.size() ||
        !IsRunLengthCoded(header[2])) {
        return TargaRuns::NotCoded;
    }
    const unsigned idLength = header[0];
    const bool hasColourMap = header[1] == 1;
    const std::uint64_t colourMapBytes =
        hasColourMap ? std::uint64_t{ReadLittleEndian16(&header[5])} * ((header[7] + 7u) / 8u) : 0;
    const std::uint64_t pixels =
        std::uint64_t{ReadLittleEndian16(&header[12])} * ReadLittleEndian16(&header[14]);
    const unsigned bytesPerPixel = (header[16] + 7u) / 8u;

    ByteReader bytes(file.get());
    if (!bytes.skip(idLength + colourMapBytes)) return TargaRuns::CutShort;
    for (std::uint64_t covered = 0; covered < pixels;) {
        unsigned char packet = 0;
        if (!bytes.next(packet)) return TargaRuns::CutShort;
        const unsigned count = (packet & 0x7Fu) + 1;
        // A run packet stores its pixel once, a raw packet each of its pixels.
        const std::uint64_t stored = (packet & 0x80u) != 0 ? 1 : count;
        if (!bytes.skip(stored * bytesPerPixel)) return TargaRuns::CutShort;
        covered += count;
    }
    return TargaRuns::Complete;
}

}  // namespace kavenra
