#include "engine/ImageWorker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/ConversionSettings.h"
#include "engine/ImageDetection.h"
#include "engine/ImageWorkerProtocol.h"
#include "engine/ReplacingSave.h"

extern char** environ;

namespace kavenra {
namespace {

using Clock = std::chrono::steady_clock;
using worker::MessageKind;
using worker::MessageReader;
using worker::MessageWriter;

// A detection takes milliseconds and runs while a drop holds the window; a file that keeps one
// longer (a cut camera file whose parser loops over entries the file does not hold) fails.
constexpr std::uint32_t kDetectionLimitMs = 2'000;
constexpr std::uint32_t kConversionLimitMs = 120'000;
// The job stops itself at its limit; the program steps in only when even that fails.
constexpr std::uint32_t kBackstopGraceMs = 2'000;
constexpr std::uint32_t kStartLimitMs = 10'000;
constexpr const char* kWorkerName = "kavenra-imageworker";

std::uint32_t TimeLimitMs(std::uint32_t standard) {
    const char* text = std::getenv("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS");
    if (text == nullptr || *text == '\0') return standard;
    char* end = nullptr;
    const unsigned long long tighter = std::strtoull(text, &end, 10);
    if (*end != '\0' || tighter == 0) return standard;
    return static_cast<std::uint32_t>(std::min<unsigned long long>(standard, tighter));
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string ThisExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    const std::string self(buffer, static_cast<std::size_t>(length));
    return self.substr(0, self.find_last_of('/') + 1);
}

// The umask, read without changing it even for a moment.
std::uint32_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<std::uint32_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

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

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// What one job sent before it ended.
struct JobAnswers {
    std::optional<std::int32_t> detected;
    std::optional<std::optional<PreparedOutput>> converted;  // the result, once it came
    FailureReason failure = FailureReason::None;             // a failed conversion's reason
    std::vector<std::string> temporaryFiles;
    int status = 0;                 // how the job process ended, when it died with the job
    std::uint32_t earlierJobs = 0;  // jobs that job process had finished before this one

    bool answered() const { return detected.has_value() || converted.has_value(); }
};

enum class Step {
    Continue,
    JobEnded,
    Broken,
    Closed,  // the channel ended: the worker and its job process are gone
};

// A worker ends with the thread that started it (its parent-death signal follows the thread, not
// the process), and conversions run on threads that come and go: so every worker is started from
// one thread that lives as long as the process. It is never joined nor destroyed, so that
// nothing of it goes away under a worker at exit.
class LongLivedThread {
  public:
    LongLivedThread() : thread_([this] { serve(); }) { thread_.detach(); }

    pid_t run(const std::function<pid_t()>& call) {
        std::unique_lock<std::mutex> lock(mutex_);
        const std::uint64_t ticket = ++requested_;
        call_ = &call;
        wake_.notify_all();
        done_.wait(lock, [&] { return finished_ == ticket; });
        return result_;
    }

  private:
    void serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return call_ != nullptr; });
            result_ = (*call_)();
            call_ = nullptr;
            finished_ = requested_;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<pid_t()>* call_ = nullptr;
    std::uint64_t requested_ = 0;
    std::uint64_t finished_ = 0;
    pid_t result_ = 0;
    std::thread thread_;
};

pid_t OnLongLivedThread(const std::function<pid_t()>& call) {
    static LongLivedThread* const thread = new LongLivedThread;
    static const pid_t threadOwner = getpid();
    // A forked copy of the program has no such thread: it has only the one that forked.
    if (getpid() != threadOwner) return call();
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> lock(oneAtATime);
    return thread->run(call);
}

class WorkerProcess {
  public:
    ~WorkerProcess() { stop(); }

    pid_t pid() const { return owner_ == getpid() ? pid_.load() : 0; }

    // The serial number the next job is to carry.
    std::uint32_t nextSerial() { return ++serial_; }

    // Runs one job and reports how it ended; `answers` holds what it sent. A job whose
    // `cancel` descriptor becomes readable is stopped at once, as is one out of time.
    ImageJobReport run(const MessageWriter& job, std::uint32_t timeLimitMs, int cancel,
                       JobAnswers& answers) {
        ImageJobReport report;
        if (!sendJob(job, report.restarted)) {
            report.end = ImageJobEnd::Unavailable;
            return report;
        }
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(timeLimitMs + kBackstopGraceMs);
        bool heardAnything = false;
        for (;;) {
            const Wait waited = waitForMessage(deadline, cancel);
            if (waited != Wait::Message) {
                stopCollecting(answers);
                report.end =
                    waited == Wait::Cancelled ? ImageJobEnd::Cancelled : ImageJobEnd::TimedOut;
                break;
            }
            const Step step = handleMessage(answers);
            if (step == Step::Continue) {
                heardAnything = true;
                continue;
            }
            // A worker killed since the last call can still take a job: its job process keeps
            // the channel open until the worker's death reaches it. Then the channel ends before
            // a word about this job, and the job goes to a new worker, once.
            if (step == Step::Closed && !heardAnything && !report.restarted) {
                stop();
                report.restarted = true;
                if (start() && worker::SendMessage(fd_, job)) continue;
            }
            if (step == Step::Broken || step == Step::Closed) {
                stop();
                report.end = ImageJobEnd::Unavailable;
            } else {
                classify(answers, report);
            }
            break;
        }
        if (!answers.answered()) {
            RemoveLeftovers(answers.temporaryFiles);
            answers.converted.reset();
        }
        return report;
    }

    // Only the process that started the worker ends it: a forked copy of the program that exits
    // must leave its parent's worker alone. The worker and its job process form one process
    // group and go together.
    void stop() {
        if (owner_ != getpid()) return;
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        if (pid_ > 0) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        pid_ = 0;
    }

  private:
    // A worker that died since the last call shows only now, as a failed send: start another one
    // and send again, once.
    bool sendJob(const MessageWriter& job, bool& restarted) {
        if (owner_ != getpid()) {
            pid_ = 0;  // the worker of the process this one was forked from
            fd_ = -1;
        }
        if (fd_ >= 0 && worker::SendMessage(fd_, job)) return true;
        stop();
        restarted = true;
        return start() && worker::SendMessage(fd_, job);
    }

    enum class Wait { Message, OutOfTime, Cancelled };

    Wait waitForMessage(Clock::time_point deadline, int cancel = -1) {
        for (;;) {
            pollfd watched[2] = {{fd_, POLLIN, 0}, {cancel, POLLIN, 0}};
            const int ready = poll(watched, cancel >= 0 ? 2 : 1, MillisecondsUntil(deadline));
            if (ready > 0 && (watched[1].revents & POLLIN) != 0) return Wait::Cancelled;
            if (ready > 0) return Wait::Message;
            if (ready == 0 || errno != EINTR) return Wait::OutOfTime;
        }
    }

    // Ends the worker and its job process in the middle of a job, and then reads what the job
    // sent before it died, up to the end of the channel (both processes gone), so that every
    // temporary file it announced is known and can be removed: it announces each one before
    // creating it, and creates nothing after its death.
    void stopCollecting(JobAnswers& answers) {
        if (owner_ == getpid() && pid_ > 0) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kStartLimitMs);
            while (fd_ >= 0 && waitForMessage(limit) == Wait::Message) {
                std::vector<unsigned char> bytes;
                if (worker::ReceiveMessage(fd_, bytes) != worker::ReceiveStatus::Message) break;
                MessageReader message(std::move(bytes));
                if (message.kind() != MessageKind::TemporaryFile) continue;
                if (const auto path = message.text()) answers.temporaryFiles.push_back(*path);
            }
        }
        stop();
    }

    Step handleMessage(JobAnswers& answers) {
        std::vector<unsigned char> bytes;
        const worker::ReceiveStatus received = worker::ReceiveMessage(fd_, bytes);
        if (received == worker::ReceiveStatus::Closed) return Step::Closed;
        if (received != worker::ReceiveStatus::Message) return Step::Broken;
        MessageReader message(std::move(bytes));
        switch (message.kind().value_or(MessageKind::Ready)) {
            case MessageKind::TemporaryFile: {
                const auto path = message.text();
                if (!path || !message.complete()) return Step::Broken;
                answers.temporaryFiles.push_back(*path);
                return Step::Continue;
            }
            case MessageKind::DetectResult: {
                const auto serial = message.u32();
                const auto format = message.i32();
                if (!serial || !format || !message.complete()) return Step::Broken;
                if (*serial != serial_) return Step::Continue;  // of an earlier job
                answers.detected = *format;
                return Step::JobEnded;
            }
            case MessageKind::ConvertResult: {
                const auto serial = message.u32();
                const auto converted = message.u8();
                if (!serial || !converted || *converted > 1) return Step::Broken;
                std::optional<PreparedOutput> prepared;
                if (*converted == 1) {
                    const auto temporary = message.text();
                    const auto destination = message.text();
                    const auto target = message.text();
                    if (!temporary || !destination || !target) return Step::Broken;
                    prepared = PreparedOutput{*temporary, *destination, *target};
                } else {
                    const auto reason = message.u8();
                    if (!reason || *reason > kLastFailureReason) return Step::Broken;
                    if (*serial == serial_) answers.failure = static_cast<FailureReason>(*reason);
                }
                if (!message.complete()) return Step::Broken;
                if (*serial != serial_) return Step::Continue;
                answers.converted = prepared;
                return Step::JobEnded;
            }
            case MessageKind::JobEnded: {
                const auto serial = message.u32();
                const auto status = message.i32();
                const auto earlierJobs = message.u32();
                if (!serial || !status || !earlierJobs || !message.complete()) return Step::Broken;
                if (*serial != serial_) return Step::Continue;
                answers.status = *status;
                answers.earlierJobs = *earlierJobs;
                return Step::JobEnded;
            }
            default:
                return Step::Broken;
        }
    }

    static void classify(const JobAnswers& answers, ImageJobReport& report) {
        if (answers.answered()) {
            report.end = ImageJobEnd::Answered;
            return;
        }
        const bool signalled = WIFSIGNALED(answers.status);
        report.signal = signalled ? WTERMSIG(answers.status) : 0;
        report.end =
            signalled && report.signal == SIGALRM ? ImageJobEnd::TimedOut : ImageJobEnd::Crashed;
    }

    // Written by a job that died before renaming or removing them; the job is over, so nothing
    // writes to them any more.
    static void RemoveLeftovers(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) unlink(path.c_str());
    }

    bool start() {
        const std::string executable = ImageWorkerExecutable();
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return false;
        const pid_t child = OnLongLivedThread([&] { return spawn(executable, ends[1]); });
        close(ends[1]);
        if (child <= 0) {
            close(ends[0]);
            complainOnce("cannot start the image worker " + executable);
            return false;
        }
        pid_ = child;
        fd_ = ends[0];
        owner_ = getpid();
        if (!awaitReady()) {
            stop();
            complainOnce("the image worker " + executable + " did not report ready");
            return false;
        }
        return true;
    }

    // The worker gets its end of the socket pair as descriptor 3, /dev/null as input, output and
    // error, and no other descriptor of the program; every signal at its default and none
    // blocked. Decoders write warnings without end (libtiff a line per unknown tag): a pipe
    // nobody drains as the program's error stream would hold the job until its time ran out.
    static pid_t spawn(const std::string& executable, int workerEnd) {
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_adddup2(&actions, workerEnd, worker::kChannelDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&actions, worker::kChannelDescriptor + 1);
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

        const std::string parent = std::to_string(getpid());
        std::vector<char*> arguments{const_cast<char*>(executable.c_str()),
                                     const_cast<char*>("--image-worker"),
                                     const_cast<char*>(parent.c_str()), nullptr};
        pid_t child = 0;
        const int failed = posix_spawn(&child, executable.c_str(), &actions, &attributes,
                                       arguments.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        return failed == 0 ? child : 0;
    }

    bool awaitReady() {
        const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kStartLimitMs);
        if (waitForMessage(limit) != Wait::Message) return false;
        std::vector<unsigned char> bytes;
        if (worker::ReceiveMessage(fd_, bytes) != worker::ReceiveStatus::Message) return false;
        MessageReader message(std::move(bytes));
        const auto version = message.u32();
        return message.kind() == MessageKind::Ready && version == worker::kProtocolVersion &&
               message.complete();
    }

    void complainOnce(const std::string& what) {
        if (complained_) return;
        complained_ = true;
        std::fprintf(stderr, "kavenra: %s\n", what.c_str());
    }

    // Read without the lane's lock by ImageWorkerProcessId, while a job holds the lock.
    std::atomic<pid_t> pid_{0};
    int fd_ = -1;
    std::atomic<pid_t> owner_{0};
    std::uint32_t serial_ = 0;
    bool complained_ = false;
};

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

std::mutex reportMutex;
ImageJobReport lastReport;

void Record(const ImageJobReport& report) {
    const std::lock_guard<std::mutex> lock(reportMutex);
    lastReport = report;
}

// Runs a job, whose message gets the job's serial number and the caller's context before
// `fields`. A job process that crashes after finishing other jobs may owe its crash to one of
// them rather than to this file, so the job runs once more in a fresh job process; a file that
// crashes that one too has failed. The time limit holds for the whole call: the second run gets
// what the first left, and none when nothing is left.
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
    Record(report);
    return report;
}

bool HasEmbeddedNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

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

FREE_IMAGE_FORMAT DetectImageFormatIsolated(const std::string& path) {
    if (HasEmbeddedNul(path)) return FIF_UNKNOWN;
    JobAnswers answers;
    RunJob(
        WorkerLane::Intake, MessageKind::DetectJob, TimeLimitMs(kDetectionLimitMs), -1,
        [&](MessageWriter& job) { job.text(path); }, answers);
    return answers.detected ? static_cast<FREE_IMAGE_FORMAT>(*answers.detected) : FIF_UNKNOWN;
}

namespace {

IsolatedConversion PrepareOnLane(const ConversionJob& job, WorkerLane lane, int cancel) {
    IsolatedConversion result;
    if (HasEmbeddedNul(job.request.source) || HasEmbeddedNul(job.request.destination)) {
        return result;
    }
    JobAnswers answers;
    result.report = RunJob(
        lane, MessageKind::ConvertJob, TimeLimitMs(kConversionLimitMs), cancel,
        [&](MessageWriter& message) { message.job(job); }, answers);
    if (answers.converted) result.prepared = *answers.converted;
    switch (result.report.end) {
        case ImageJobEnd::Answered:
            if (!result.prepared) result.failure = answers.failure;
            break;
        case ImageJobEnd::TimedOut:
            result.failure = FailureReason::TookTooLong;
            break;
        case ImageJobEnd::Crashed:
            // Crashed twice, or on its first job: the file itself brought the decoder down.
            result.failure = FailureReason::Unsupported;
            break;
        case ImageJobEnd::Unavailable:
        case ImageJobEnd::Cancelled:
            break;
    }
    return result;
}

}  // namespace

IsolatedConversion PrepareConversionIsolated(const ConversionJob& job, WorkerLane lane) {
    return PrepareOnLane(job, lane, -1);
}

bool ConvertImageIsolated(const ConversionJob& job) {
    const IsolatedConversion result = PrepareConversionIsolated(job, WorkerLane::Intake);
    return result.prepared && CommitPreparedOutput(*result.prepared);
}

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
            shared->result = PrepareOnLane(job, lane, shared->cancel.fd());
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

ImageJobReport LastImageJobReport() {
    const std::lock_guard<std::mutex> lock(reportMutex);
    return lastReport;
}

pid_t ImageWorkerProcessId(WorkerLane lane) {
    return LaneOf(lane).process.pid();
}

void StopImageWorker() {
    for (Lane& lane : Lanes()) {
        const std::lock_guard<std::mutex> lock(lane.mutex);
        lane.process.stop();
    }
}

std::string ImageWorkerExecutable() {
    const char* named = std::getenv("KAVENRA_IMAGE_WORKER");
    if (named != nullptr && *named != '\0') return named;
    const std::string folder = ThisExecutableFolder();
    const std::string beside = folder + kWorkerName;
    if (IsExecutableFile(beside)) return beside;
    // The installed layout keeps helper programs out of the PATH.
    const std::string installed = folder + KAVENRA_WORKER_FROM_BINDIR + "/" + kWorkerName;
    if (IsExecutableFile(installed)) return installed;
#ifdef KAVENRA_IMAGE_WORKER_BUILD_PATH
    if (IsExecutableFile(KAVENRA_IMAGE_WORKER_BUILD_PATH)) return KAVENRA_IMAGE_WORKER_BUILD_PATH;
#endif
    return beside;
}

}  // namespace kavenra
