#pragma once

// A C stream that closes itself, whatever the way out: what every header reader opens a file as.

#include <cstdio>
#include <memory>

namespace kavenra {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace kavenra
