#include "engine/formats/bmp/BmpRunPadding.h"

#include "engine/base/FileDescriptor.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace kavenra {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 16;

// Follows the codes a byte at a time: a count with its pixel value, or an escape (0) and its
// code: end of line, end of picture, a delta and its two offsets, or an absolute run and its
// pixels, padded to an even length.
class CodeWalk {
  public:
    // True when `byte` was a pad byte that held something else than zero, now zero.
    bool take(unsigned char& byte) {
        switch (next_) {
            case Next::Count:
                next_ = byte == 0 ? Next::Escape : Next::RunValue;
                return false;
            case Next::RunValue:
                next_ = Next::Count;
                return false;
            case Next::Escape:
                takeEscape(byte);
                return false;
            case Next::Following:
                if (--left_ == 0) next_ = padded_ ? Next::Pad : Next::Count;
                return false;
            case Next::Pad:
                next_ = Next::Count;
                if (byte == 0) return false;
                byte = 0;
                return true;
            case Next::Done:
                return false;
        }
        return false;
    }

    bool done() const { return next_ == Next::Done; }

  private:
    enum class Next { Count, RunValue, Escape, Following, Pad, Done };

    void takeEscape(unsigned char code) {
        constexpr unsigned char kEndOfLine = 0;
        constexpr unsigned char kEndOfPicture = 1;
        constexpr unsigned char kDelta = 2;
        if (code == kEndOfLine) {
            next_ = Next::Count;
        } else if (code == kEndOfPicture) {
            next_ = Next::Done;
        } else {
            left_ = code == kDelta ? 2 : code;
            padded_ = code != kDelta && (code & 1) != 0;
            next_ = Next::Following;
        }
    }

    Next next_ = Next::Count;
    unsigned left_ = 0;
    bool padded_ = false;
};

}  // namespace

bool ZeroRunPadding(int fd, off_t from, off_t to) {
    std::vector<unsigned char> chunk(kChunkBytes);
    CodeWalk walk;
    for (off_t at = from; at < to && !walk.done();) {
        const std::size_t size = static_cast<std::size_t>(std::min<off_t>(to - at, kChunkBytes));
        if (!ReadFullyAt(fd, chunk.data(), size, at)) return false;
        bool changed = false;
        for (std::size_t i = 0; i < size && !walk.done(); ++i) changed |= walk.take(chunk[i]);
        if (changed && !WriteFullyAt(fd, chunk.data(), size, at)) return false;
        at += static_cast<off_t>(size);
    }
    return true;
}

}  // namespace kavenra
