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

std::uint64_t LaneOrder::Join() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return nextPlace_++;
}

bool LaneOrder::AwaitTurn(std::uint64_t place, const std::atomic<bool>& abandoned) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return serving_ == place || abandoned.load(); });
    return serving_ == place && !abandoned.load();
}

void LaneOrder::Leave(std::uint64_t place) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (place != serving_) {
            leftEarly_.insert(place);
            return;
        }
        ++serving_;
        while (leftEarly_.erase(serving_) != 0) ++serving_;
    }
    changed_.notify_all();
}

void LaneOrder::Wake() {
    { const std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
}

struct BackgroundConversion::Shared {
    CancelSignal cancel;
    std::atomic<bool> abandoned{false};
    std::atomic<bool> done{false};
    IsolatedConversion result;
    std::shared_ptr<LaneOrder> order;
};

BackgroundConversion::BackgroundConversion(ConversionJob job, WorkerLane lane,
                                           std::function<void()> finished,
                                           std::shared_ptr<LaneOrder> order)
    : shared_(std::make_shared<Shared>()) {
    shared_->order = std::move(order);
    const std::uint64_t place = shared_->order ? shared_->order->Join() : 0;
    thread_ = std::thread(
        [shared = shared_, job = std::move(job), lane, finished = std::move(finished), place] {
            LaneOrder* order = shared->order.get();
            if (order && !order->AwaitTurn(place, shared->abandoned)) {
                order->Leave(place);
                shared->done = true;
                return;
            }
            shared->result = PrepareConversionIsolated(job, lane, shared->cancel.fd());
            if (order) order->Leave(place);
            // The lane goes on with its next file meanwhile; flushes of files side by side share
            // the disk's time, where the commits, one file after the other, would each wait for it.
            if (shared->result.prepared && !shared->abandoned) {
                FlushPreparedOutput(*shared->result.prepared);
            }
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
        shared_->abandoned = true;
        if (shared_->order) shared_->order->Wake();
        shared_->cancel.raise();
        thread_.join();
    }
    if (shared_->result.prepared) DiscardPreparedOutput(*shared_->result.prepared);
    shared_->result = {};
}

}  // namespace kavenra
