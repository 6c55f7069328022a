#include "engine/isolation/WorkerLanes.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <mutex>

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

}  // namespace

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

void StopImageWorker() {
    for (isolation::Lane& lane : isolation::Lanes()) {
        const std::lock_guard<std::mutex> lock(lane.mutex);
        lane.process.stop();
    }
}

}  // namespace kavenra
