#include "engine/ImageWorker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/ConversionSettings.h"
#include "engine/ImageWorkerProtocol.h"

extern char** environ;

namespace kavenra {
namespace {

using Clock = std::chrono::steady_clock;
using worker::MessageKind;
using worker::MessageReader;
using worker::MessageWriter;

constexpr std::uint32_t kDetectionLimitMs = 20'000;
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

std::string BesideThisExecutable() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    const std::string self(buffer, static_cast<std::size_t>(length));
    return self.substr(0, self.find_last_of('/') + 1) + kWorkerName;
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

std::int32_t ReadSetting(worker::Setting setting, bool& known) {
    const ConversionSettingsSource& settings = CurrentConversionSettings();
    known = true;
    switch (setting) {
        case worker::Setting::Filter:
            return settings.filterCode();
        case worker::Setting::KeepDimensions:
            return settings.keepDimensions() ? 1 : 0;
        case worker::Setting::Jpeg:
            return settings.jpegCode();
        case worker::Setting::Png:
            return settings.pngCode();
        case worker::Setting::Bmp:
            return settings.bmpCode();
        case worker::Setting::Tga:
            return settings.tgaCode();
        case worker::Setting::Tif:
            return settings.tifCode();
    }
    known = false;
    return 0;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// What one job sent before it ended.
struct JobAnswers {
    std::optional<std::int32_t> detected;
    std::optional<bool> converted;
    std::vector<std::string> temporaryFiles;
    int status = 0;                 // how the job process ended, when it died with the job
    std::uint32_t earlierJobs = 0;  // jobs that job process had finished before this one

    bool answered() const { return detected.has_value() || converted.has_value(); }
};

enum class Step { Continue, JobEnded, Broken };

class WorkerProcess {
  public:
    ~WorkerProcess() { stop(); }

    pid_t pid() const { return owner_ == getpid() ? pid_ : 0; }

    // The serial number the next job is to carry.
    std::uint32_t nextSerial() { return ++serial_; }

    // Runs one job and reports how it ended; `answers` holds what it sent.
    ImageJobReport run(const MessageWriter& job, std::uint32_t timeLimitMs, JobAnswers& answers) {
        ImageJobReport report;
        if (!sendJob(job, report.restarted)) {
            report.end = ImageJobEnd::Unavailable;
            return report;
        }
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(timeLimitMs + kBackstopGraceMs);
        for (;;) {
            if (!waitForMessage(deadline)) {
                stop();
                report.end = ImageJobEnd::TimedOut;
                break;
            }
            const Step step = handleMessage(answers);
            if (step == Step::Continue) continue;
            if (step == Step::Broken) {
                stop();
                report.end = ImageJobEnd::Unavailable;
            } else {
                classify(answers, report);
            }
            break;
        }
        if (!answers.answered()) RemoveLeftovers(answers.temporaryFiles);
        return report;
    }

    // Only the process that started the worker ends it: a forked copy of the program that exits
    // must leave its parent's worker alone.
    void stop() {
        if (owner_ != getpid()) return;
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        if (pid_ > 0) {
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

    bool waitForMessage(Clock::time_point deadline) {
        for (;;) {
            pollfd channel{fd_, POLLIN, 0};
            const int ready = poll(&channel, 1, MillisecondsUntil(deadline));
            if (ready > 0) return true;
            if (ready == 0) return false;
            if (errno != EINTR) return false;
        }
    }

    Step handleMessage(JobAnswers& answers) {
        std::vector<unsigned char> bytes;
        if (worker::ReceiveMessage(fd_, bytes) != worker::ReceiveStatus::Message) {
            return Step::Broken;
        }
        MessageReader message(std::move(bytes));
        switch (message.kind().value_or(MessageKind::Ready)) {
            case MessageKind::SettingQuestion: {
                const auto setting = message.u8();
                bool known = false;
                const std::int32_t value =
                    setting ? ReadSetting(static_cast<worker::Setting>(*setting), known) : 0;
                if (!known || !message.complete()) return Step::Broken;
                // A job that died meanwhile shows as the end of the job that follows.
                worker::SendMessage(fd_, MessageWriter(MessageKind::SettingAnswer).i32(value));
                return Step::Continue;
            }
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
                if (!serial || !converted || !message.complete()) return Step::Broken;
                if (*serial != serial_) return Step::Continue;
                answers.converted = *converted == 1;
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
        const pid_t child = spawn(executable, ends[1]);
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

    // The worker gets its end of the socket pair as descriptor 3, /dev/null as input, the
    // program's output and error streams, and no other descriptor of the program; every signal
    // at its default and none blocked.
    static pid_t spawn(const std::string& executable, int workerEnd) {
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_adddup2(&actions, workerEnd, worker::kChannelDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&actions, worker::kChannelDescriptor + 1);
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

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
        if (!waitForMessage(Clock::now() + std::chrono::milliseconds(kStartLimitMs))) return false;
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

    pid_t pid_ = 0;
    int fd_ = -1;
    pid_t owner_ = 0;
    std::uint32_t serial_ = 0;
    bool complained_ = false;
};

std::mutex workerMutex;
WorkerProcess& Worker() {
    static WorkerProcess process;
    return process;
}
ImageJobReport lastReport;

// Runs a job, whose message gets the job's serial number and the caller's context before
// `fields`. A job process that crashes after finishing other jobs may owe its crash to one of
// them rather than to this file, so the job runs once more in a fresh job process; a file that
// crashes that one too has failed.
void RunJob(MessageKind kind, std::uint32_t timeLimitMs,
            const std::function<void(MessageWriter&)>& fields, JobAnswers& answers) {
    const std::lock_guard<std::mutex> lock(workerMutex);
    for (int attempt = 1;; ++attempt) {
        MessageWriter job(kind);
        job.u32(Worker().nextSerial()).context(CurrentJobContext(timeLimitMs));
        fields(job);
        // Only paths far beyond PATH_MAX make a job this large; no file has such a name.
        if (job.bytes().size() > worker::kMaxMessageBytes) {
            lastReport = {};
            return;
        }
        answers = {};
        const bool restartedBefore = attempt > 1 && lastReport.restarted;
        lastReport = Worker().run(job, timeLimitMs, answers);
        lastReport.restarted = lastReport.restarted || restartedBefore;
        lastReport.retried = attempt > 1;
        const bool crashedAfterOthers = lastReport.end == ImageJobEnd::Crashed &&
                                        lastReport.signal != 0 && answers.earlierJobs > 0;
        if (!crashedAfterOthers || attempt == 2) return;
    }
}

bool HasEmbeddedNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

}  // namespace

FREE_IMAGE_FORMAT DetectImageFormatIsolated(const std::string& path) {
    if (HasEmbeddedNul(path)) return FIF_UNKNOWN;
    JobAnswers answers;
    RunJob(
        MessageKind::DetectJob, TimeLimitMs(kDetectionLimitMs),
        [&](MessageWriter& job) { job.text(path); }, answers);
    return answers.detected ? static_cast<FREE_IMAGE_FORMAT>(*answers.detected) : FIF_UNKNOWN;
}

bool ConvertImageIsolated(const ConversionRequest& request) {
    if (HasEmbeddedNul(request.source) || HasEmbeddedNul(request.destination)) return false;
    JobAnswers answers;
    RunJob(
        MessageKind::ConvertJob, TimeLimitMs(kConversionLimitMs),
        [&](MessageWriter& job) {
            job.text(request.source)
                .text(request.destination)
                .u8(request.keepAspect)
                .i32(request.height)
                .i32(request.widthOrLongest);
        },
        answers);
    return answers.converted.value_or(false);
}

ImageJobReport LastImageJobReport() {
    const std::lock_guard<std::mutex> lock(workerMutex);
    return lastReport;
}

pid_t ImageWorkerProcessId() {
    const std::lock_guard<std::mutex> lock(workerMutex);
    return Worker().pid();
}

void StopImageWorker() {
    const std::lock_guard<std::mutex> lock(workerMutex);
    Worker().stop();
}

std::string ImageWorkerExecutable() {
    const char* named = std::getenv("KAVENRA_IMAGE_WORKER");
    if (named != nullptr && *named != '\0') return named;
    const std::string beside = BesideThisExecutable();
    if (IsExecutableFile(beside)) return beside;
#ifdef KAVENRA_IMAGE_WORKER_BUILD_PATH
    if (IsExecutableFile(KAVENRA_IMAGE_WORKER_BUILD_PATH)) return KAVENRA_IMAGE_WORKER_BUILD_PATH;
#endif
    return beside;
}

}  // namespace kavenra
