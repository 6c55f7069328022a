#pragma once

// Makes writes beyond `bytes` fail (EFBIG) for as long as it lives, as a full disk would: for
// this process and, through the file-size limit the program hands on, for the image worker
// writing on its behalf. The signal that would end either is ignored meanwhile. 0 leaves
// everything as it is.

#include <sys/resource.h>

#include <csignal>

namespace kavenra::testing {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : active_(bytes > 0) {
        if (!active_) return;
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        if (!active_) return;
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    bool active_;
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace kavenra::testing
