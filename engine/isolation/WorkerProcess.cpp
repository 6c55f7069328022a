#include "engine/isolation/WorkerProcess.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

extern char** environ;

namespace kavenra {
namespace isolation {
namespace {

using worker::MessageKind;
using worker::MessageReader;
using worker::MessageWriter;

// The job stops itself at its limit; the program steps in only when even that fails.
constexpr std::uint32_t kBackstopGraceMs = 2'000;
constexpr std::uint32_t kStartLimitMs = 10'000;
constexpr const char* kWorkerName = "kavenra-imageworker";

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
}  // namespace

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// Runs one job and reports how it ended; `answers` holds what it sent. A job whose
// `cancel` descriptor becomes readable is stopped at once, as is one out of time.
ImageJobReport WorkerProcess::run(const MessageWriter& job, std::uint32_t timeLimitMs, int cancel,
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
            report.end = waited == Wait::Cancelled ? ImageJobEnd::Cancelled : ImageJobEnd::TimedOut;
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
void WorkerProcess::stop() {
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

// A worker that died since the last call shows only now, as a failed send: start another one
// and send again, once.
bool WorkerProcess::sendJob(const MessageWriter& job, bool& restarted) {
    if (owner_ != getpid()) {
        pid_ = 0;  // the worker of the process this one was forked from
        fd_ = -1;
    }
    if (fd_ >= 0 && worker::SendMessage(fd_, job)) return true;
    stop();
    restarted = true;
    return start() && worker::SendMessage(fd_, job);
}

WorkerProcess::Wait WorkerProcess::waitForMessage(Clock::time_point deadline, int cancel) {
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
void WorkerProcess::stopCollecting(JobAnswers& answers) {
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

Step WorkerProcess::handleMessage(JobAnswers& answers) {
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
            const auto format = message.u32();
            if (!serial || !format || !message.complete()) return Step::Broken;
            if (*serial != serial_) return Step::Continue;  // of an earlier job
            answers.detected = *format;
            return Step::JobEnded;
        }
        case MessageKind::EstimateResult: {
            const auto serial = message.u32();
            const auto known = message.u8();
            const auto bytes = message.u64();
            if (!serial || !known || *known > 1 || !bytes || !message.complete()) {
                return Step::Broken;
            }
            if (*serial != serial_) return Step::Continue;
            answers.estimated = *known == 1 ? std::optional<std::uint64_t>(*bytes) : std::nullopt;
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
                const auto overBudget = message.u8();
                if (!temporary || !destination || !target || !overBudget || *overBudget > 1)
                    return Step::Broken;
                prepared = PreparedOutput{*temporary, *destination, *target, *overBudget == 1};
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

void WorkerProcess::classify(const JobAnswers& answers, ImageJobReport& report) {
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
void WorkerProcess::RemoveLeftovers(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) unlink(path.c_str());
}

bool WorkerProcess::start() {
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
pid_t WorkerProcess::spawn(const std::string& executable, int workerEnd) {
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
    const int failed =
        posix_spawn(&child, executable.c_str(), &actions, &attributes, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return failed == 0 ? child : 0;
}

bool WorkerProcess::awaitReady() {
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kStartLimitMs);
    if (waitForMessage(limit) != Wait::Message) return false;
    std::vector<unsigned char> bytes;
    if (worker::ReceiveMessage(fd_, bytes) != worker::ReceiveStatus::Message) return false;
    MessageReader message(std::move(bytes));
    const auto version = message.u32();
    return message.kind() == MessageKind::Ready && version == worker::kProtocolVersion &&
           message.complete();
}

void WorkerProcess::complainOnce(const std::string& what) {
    if (complained_) return;
    complained_ = true;
    std::fprintf(stderr, "kavenra: %s\n", what.c_str());
}

}  // namespace isolation

std::string ImageWorkerExecutable() {
    const char* named = std::getenv("KAVENRA_IMAGE_WORKER");
    if (named != nullptr && *named != '\0') return named;
    const std::string folder = isolation::ThisExecutableFolder();
    const std::string beside = folder + isolation::kWorkerName;
    if (isolation::IsExecutableFile(beside)) return beside;
    // The installed layout keeps helper programs out of the PATH.
    const std::string installed =
        folder + KAVENRA_WORKER_FROM_BINDIR + "/" + isolation::kWorkerName;
    if (isolation::IsExecutableFile(installed)) return installed;
#ifdef KAVENRA_IMAGE_WORKER_BUILD_PATH
    if (isolation::IsExecutableFile(KAVENRA_IMAGE_WORKER_BUILD_PATH))
        return KAVENRA_IMAGE_WORKER_BUILD_PATH;
#endif
    return beside;
}

}  // namespace kavenra