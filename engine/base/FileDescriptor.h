#pragma once

// The owner of one open file descriptor: closed on every path, or on purpose where a failure to
// close (a write-back the system reports late) must be seen.

#include <unistd.h>

namespace kavenra {

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
