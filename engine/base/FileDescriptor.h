#pragma once

// The owner of one open file descriptor: closed on every path, or on purpose where a failure to
// close (a write-back the system reports late) must be seen.

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace kavenra {

// Every byte of `size` read from or written to `fd` at offset `at`, through interruptions and
// short transfers; false at an error or, for a read, at the end of the file.
inline bool ReadFullyAt(int fd, void* into, std::size_t size, off_t at) {
    auto* bytes = static_cast<unsigned char*>(into);
    while (size > 0) {
        const ssize_t got = pread(fd, bytes, size, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
        at += got;
    }
    return true;
}

inline bool WriteFullyAt(int fd, const void* from, std::size_t size, off_t at) {
    const auto* bytes = static_cast<const unsigned char*>(from);
    while (size > 0) {
        const ssize_t written = pwrite(fd, bytes, size, at);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
        at += written;
    }
    return true;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // False, with errno set, when the system reports a failure at the close.
    bool closeChecked() {
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

  private:
    int fd_;
};

}  // namespace kavenra
