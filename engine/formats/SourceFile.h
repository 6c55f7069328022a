#pragma once

// An input picture opened once for everything a conversion reads of it. A check by name followed
// by a read by name leaves a gap in which the name can come to mean something else (a named pipe
// whose read never returns); every step reads this one open file instead.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/base/ConversionJob.h"

namespace kavenra {

class SourceFile {
  public:
    // Opens `path` for reading without waiting (a named pipe or a terminal opens at once) and keeps
    // it only when what it opened is a regular file (a link to one included). Empty for anything
    // else, for a path with an embedded NUL and when /proc cannot name the open file.
    static std::optional<SourceFile> Open(const std::string& path);

    // Why Open failed, from the errno it left (0 before it): SourceGone for a name that no longer
    // leads to a file, Unreadable for one this process may not read, Unsupported for the rest
    // (no regular file).
    static FailureReason OpenFailure(int error);

    SourceFile(SourceFile&& other) noexcept;
    SourceFile& operator=(SourceFile&& other) noexcept;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    ~SourceFile();

    int descriptor() const { return descriptor_; }

    // A name under which the open file itself opens again ("/proc/self/fd/<n>"), whatever the
    // name it was opened by has come to mean since. Valid while this object lives, in this process.
    const std::string& path() const { return path_; }

    // The file's size when it was opened.
    std::uint64_t size() const { return size_; }

  private:
    SourceFile(int descriptor, std::uint64_t size);

    int descriptor_ = -1;
    std::uint64_t size_ = 0;
    std::string path_;
};

}  // namespace kavenra
