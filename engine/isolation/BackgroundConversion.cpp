#include "engine/isolation/BackgroundConversion.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "engine/output/ReplacingSave.h"

namespace kavenra {
namespace {

// Readable once signalled; closed with its owner.
class CancelSignal {
  public:
    CancelSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~CancelSignal() {
        if (fd_ >= 0) close(fd_);
    }
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;
    int fd() const { return fd_; }
    void raise() const {
        const std::uint64_t one = 1;
        while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

  private:
    int fd_;
};

}  // namespace

struct BackgroundConversion::Shared {
    CancelSignal cancel;
    std::atomic<bool> done{false};
    IsolatedConversion result;
};

BackgroundConversion::BackgroundConversion(ConversionJob job, WorkerLane lane,
                                           std::function<void()> finished)
    : shared_(std::make_shared<Shared>()) {
    thread_ =
        std::thread([shared = shared_, job = std::move(job), lane, finished = std::move(finished)] {
            shared->result = PrepareConversionIsolated(job, lane, shared->cancel.fd());
            shared->done = true;
            if (finished) finished();
        });
}

BackgroundConversion::~BackgroundConversion() {
    Abandon();
}

bool BackgroundConversion::Done() const {
    return shared_->done;
}

void BackgroundConversion::WaitUntilDone() {
    if (thread_.joinable()) thread_.join();
}

IsolatedConversion BackgroundConversion::Wait() {
    if (thread_.joinable()) thread_.join();
    IsolatedConversion result = std::move(shared_->result);
    shared_->result = {};
    return result;
}

void BackgroundConversion::Abandon() {
    if (thread_.joinable()) {
        shared_->cancel.raise();
        thread_.join();
    }
    if (shared_->result.prepared) DiscardPreparedOutput(*shared_->result.prepared);
    shared_->result = {};
}

}  // namespace kavenra
