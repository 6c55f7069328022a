#include "engine/isolation/WorkerLanes.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <list>
#include <mutex>
#include <utility>

#include "engine/base/FileDescriptor.h"
#include "engine/base/MemoryBound.h"
#include "engine/base/SystemText.h"

namespace kavenra {
namespace isolation {
namespace {

using worker::MessageKind;
using worker::MessageWriter;

worker::JobContext CurrentJobContext(std::uint32_t timeLimitMs) {
    worker::JobContext context;
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) != nullptr) context.workingDirectory = folder;
    context.umask = CurrentUmask();
    rlimit fileSize{};
    if (getrlimit(RLIMIT_FSIZE, &fileSize) == 0 && fileSize.rlim_cur != RLIM_INFINITY) {
        context.fileSizeLimit = fileSize.rlim_cur;
    }
    context.timeLimitMs = timeLimitMs;
    return context;
}

// One worker process a lane: the intake's detections and the window's own conversions take the
// first; a run's conversions take the other two, so that the file in hand and the one prepared
// ahead go on side by side and a drop's detection never waits behind either.
struct Lane {
    std::mutex mutex;
    WorkerProcess process;
};

std::array<Lane, kWorkerLaneCount>& Lanes() {
    static std::array<Lane, kWorkerLaneCount> lanes;
    return lanes;
}

Lane& LaneOf(WorkerLane lane) {
    return Lanes()[static_cast<std::size_t>(lane)];
}

// The reservations of every lane's conversions. Each waiting request has a descriptor of its
// own that every change to the budget signals: a wait on it and on the caller's cancel
// descriptor at once, so that cancelling never waits for memory.
class MemoryBudget {
  public:
    bool reserve(std::uint64_t bytes, std::uint64_t budget, int cancel, bool& waited) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (bytes == 0) return true;
        if (waiters_.empty() && reserved_ + bytes <= budget) {
            reserved_ += bytes;
            return true;
        }
        waited = true;
        const FileDescriptor wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (wake.get() < 0) return false;
        const auto self = waiters_.insert(waiters_.end(), wake.get());
        for (;;) {
            if (self == waiters_.begin() && reserved_ + bytes <= budget) {
                reserved_ += bytes;
                waiters_.erase(self);
                wakeAll();  // the next in turn may fit as well
                return true;
            }
            lock.unlock();
            pollfd watched[2] = {{wake.get(), POLLIN, 0}, {cancel, POLLIN, 0}};
            while (poll(watched, 2, -1) < 0 && errno == EINTR) {
            }
            lock.lock();
            if ((watched[1].revents & POLLIN) != 0) {
                waiters_.erase(self);
                wakeAll();
                return false;
            }
            std::uint64_t count = 0;
            while (read(wake.get(), &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
    }

    void release(std::uint64_t bytes) {
        const std::lock_guard<std::mutex> lock(mutex_);
        reserved_ -= std::min(bytes, reserved_);
        wakeAll();
    }

    std::size_t waiting() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return waiters_.size();
    }

  private:
    void wakeAll() {
        const std::uint64_t one = 1;
        for (const int waiter : waiters_) {
            while (write(waiter, &one, sizeof one) < 0 && errno == EINTR) {
            }
        }
    }

    std::mutex mutex_;
    std::uint64_t reserved_ = 0;
    std::list<int> waiters_;  // their wake descriptors, in the order they came
};

MemoryBudget& Budget() {
    static MemoryBudget budget;
    return budget;
}

}  // namespace

std::uint64_t MemoryBudgetBytes() {
    const std::uint64_t bound = ConversionMemoryBound();
    const char* text = std::getenv("KAVENRA_IMAGE_MEMORY_BUDGET_MB");
    if (text == nullptr || *text == '\0') return bound;
    char* end = nullptr;
    const unsigned long long megabytes = std::strtoull(text, &end, 10);
    if (*end != '\0' || megabytes == 0 || megabytes >= (bound >> 20)) return bound;
    return std::uint64_t{megabytes} << 20;
}

MemoryReservation::~MemoryReservation() {
    if (bytes_ > 0) Budget().release(bytes_);
}

MemoryReservation::MemoryReservation(MemoryReservation&& other) noexcept
    : bytes_(std::exchange(other.bytes_, 0)) {}

std::optional<MemoryReservation> ReserveMemory(std::uint64_t bytes, std::uint64_t budgetBytes,
                                               int cancel, bool& waited) {
    waited = false;
    if (!Budget().reserve(bytes, budgetBytes, cancel, waited)) return std::nullopt;
    return std::optional<MemoryReservation>(std::in_place, bytes);
}

std::uint32_t TimeLimitMs(std::uint32_t standard) {
    const char* text = std::getenv("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS");
    if (text == nullptr || *text == '\0') return standard;
    char* end = nullptr;
    const unsigned long long tighter = std::strtoull(text, &end, 10);
    if (*end != '\0' || tighter == 0) return standard;
    return static_cast<std::uint32_t>(std::min<unsigned long long>(standard, tighter));
}

ImageJobReport RunJob(WorkerLane laneName, MessageKind kind, std::uint32_t timeLimitMs, int cancel,
                      const std::function<void(MessageWriter&)>& fields, JobAnswers& answers) {
    Lane& lane = LaneOf(laneName);
    const std::lock_guard<std::mutex> lock(lane.mutex);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeLimitMs);
    ImageJobReport report;
    for (int attempt = 1;; ++attempt) {
        const std::uint32_t timeLeftMs =
            attempt == 1 ? timeLimitMs : static_cast<std::uint32_t>(MillisecondsUntil(deadline));
        if (timeLeftMs == 0) {
            report = {ImageJobEnd::TimedOut, 0, report.restarted, false};
            answers = {};
            break;
        }
        MessageWriter job(kind);
        job.u32(lane.process.nextSerial()).context(CurrentJobContext(timeLeftMs));
        fields(job);
        answers = {};
        // Only paths far beyond PATH_MAX make a job this large; no file has such a name.
        if (job.bytes().size() > worker::kMaxMessageBytes) {
            report = {};
            break;
        }
        const bool restartedBefore = attempt > 1 && report.restarted;
        report = lane.process.run(job, timeLeftMs, cancel, answers);
        report.restarted = report.restarted || restartedBefore;
        report.retried = attempt > 1;
        const bool crashedAfterOthers =
            report.end == ImageJobEnd::Crashed && report.signal != 0 && answers.earlierJobs > 0;
        if (!crashedAfterOthers || attempt == 2) break;
    }
    return report;
}

}  // namespace isolation

pid_t ImageWorkerProcessId(WorkerLane lane) {
    return isolation::LaneOf(lane).process.pid();
}

std::size_t ConversionsWaitingForMemory() {
    return isolation::Budget().waiting();
}

void StopImageWorker() {
    for (isolation::Lane& lane : isolation::Lanes()) {
        const std::lock_guard<std::mutex> lock(lane.mutex);
        lane.process.stop();
    }
}

}  // namespace kavenra
