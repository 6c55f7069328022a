#include "engine/formats/SourceFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "engine/base/SystemText.h"

namespace kavenra {

std::optional<SourceFile> SourceFile::Open(const std::string& path) {
    if (HasEmbeddedNul(path)) return std::nullopt;
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) return std::nullopt;
    struct stat opened {};
    if (fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        close(descriptor);
        return std::nullopt;
    }
    SourceFile file(descriptor, static_cast<std::uint64_t>(opened.st_size));
    // Readers that take a name must reach this same file through it.
    struct stat named {};
    if (stat(file.path_.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino) {
        return std::nullopt;
    }
    return file;
}

FailureReason SourceFile::OpenFailure(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FailureReason::SourceGone;
        case EACCES:
        case EPERM:
            return FailureReason::Unreadable;
        default:
            return FailureReason::Unsupported;
    }
}

SourceFile::SourceFile(int descriptor, std::uint64_t size)
    : descriptor_(descriptor), size_(size), path_("/proc/self/fd/" + std::to_string(descriptor)) {}

SourceFile::SourceFile(SourceFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      size_(other.size_),
      path_(std::move(other.path_)) {}

SourceFile& SourceFile::operator=(SourceFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        size_ = other.size_;
        path_ = std::move(other.path_);
    }
    return *this;
}

SourceFile::~SourceFile() {
    if (descriptor_ >= 0) close(descriptor_);
}

}  // namespace kavenra
