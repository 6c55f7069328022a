#pragma once

// One image worker process and the job process it forks: started on demand, sent one job at a
// time, stopped and started afresh when it dies. Internal to the isolation layer; callers go
// through ImageWorker.h.

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/isolation/ImageWorker.h"
#include "engine/isolation/ImageWorkerProtocol.h"

namespace kavenra::isolation {

using Clock = std::chrono::steady_clock;

// What one job sent before it ended.
struct JobAnswers {
    std::optional<std::uint32_t> detected;
    // An estimate's bytes once it came, empty inside when the header did not tell.
    std::optional<std::optional<std::uint64_t>> estimated;
    std::optional<std::optional<PreparedOutput>> converted;  // the result, once it came
    FailureReason failure = FailureReason::None;             // a failed conversion's reason
    std::vector<std::string> temporaryFiles;
    int status = 0;                 // how the job process ended, when it died with the job
    std::uint32_t earlierJobs = 0;  // jobs that job process had finished before this one

    bool answered() const {
        return detected.has_value() || estimated.has_value() || converted.has_value();
    }
};

enum class Step {
    Continue,
    JobEnded,
    Broken,
    Closed,  // the channel ended: the worker and its job process are gone
};

// The time from now until `deadline`, in whole milliseconds, 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline);

class WorkerProcess {
  public:
    ~WorkerProcess() { stop(); }

    pid_t pid() const { return owner_ == getpid() ? pid_.load() : 0; }

    // The serial number the next job is to carry.
    std::uint32_t nextSerial() { return ++serial_; }

    // Runs one job and reports how it ended; `answers` holds what it sent. A job whose
    // `cancel` descriptor becomes readable is stopped at once, as is one out of time.
    ImageJobReport run(const worker::MessageWriter& job, std::uint32_t timeLimitMs, int cancel,
                       JobAnswers& answers);

    // Only the process that started the worker ends it: a forked copy of the program that exits
    // must leave its parent's worker alone. The worker and its job process form one process
    // group and go together.
    void stop();

  private:
    // A worker that died since the last call shows only now, as a failed send: start another one
    // and send again, once.
    bool sendJob(const worker::MessageWriter& job, bool& restarted);

    enum class Wait { Message, OutOfTime, Cancelled };

    Wait waitForMessage(Clock::time_point deadline, int cancel = -1);

    // Ends the worker and its job process in the middle of a job, and then reads what the job
    // sent before it died, up to the end of the channel (both processes gone), so that every
    // temporary file it announced is known and can be removed: it announces each one before
    // creating it, and creates nothing after its death.
    void stopCollecting(JobAnswers& answers);

    Step handleMessage(JobAnswers& answers);

    static void classify(const JobAnswers& answers, ImageJobReport& report);

    // Written by a job that died before renaming or removing them; the job is over, so nothing
    // writes to them any more.
    static void RemoveLeftovers(const std::vector<std::string>& paths);

    bool start();

    // The worker gets its end of the socket pair as descriptor 3, /dev/null as input, output and
    // error, and no other descriptor of the program; every signal at its default and none
    // blocked. Decoders write warnings without end (libtiff a line per unknown tag): a pipe
    // nobody drains as the program's error stream would hold the job until its time ran out.
    static pid_t spawn(const std::string& executable, int workerEnd);

    bool awaitReady();

    void complainOnce(const std::string& what);

    // Read without the lane's lock by ImageWorkerProcessId, while a job holds the lock.
    std::atomic<pid_t> pid_{0};
    int fd_ = -1;
    std::atomic<pid_t> owner_{0};
    std::uint32_t serial_ = 0;
    bool complained_ = false;
};

}  // namespace kavenra::isolation
