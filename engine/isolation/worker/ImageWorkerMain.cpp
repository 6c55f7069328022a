// kavenra-imageworker: runs the program's FreeImage calls on input files. This process never
// opens an input file: it forks a job process, which serves the program's jobs one after the
// other, and forks the next one whenever a job process retires (after a failed job or a long
// series) or dies. So every job process starts from the same clean state, whatever an earlier
// file did to the one before.
//
// Started by the program (engine/isolation/WorkerProcess.cpp) as
//   kavenra-imageworker --image-worker <program's process id>
// with its end of a SOCK_SEQPACKET socket pair as descriptor 3. It ends when the program closes
// the socket or dies.

#include <FreeImage.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <string>

#include "engine/base/ConversionOptions.h"
#include "engine/base/MemoryBound.h"
#include "engine/base/SystemText.h"
#include "engine/convert/ConversionEstimate.h"
#include "engine/convert/ImageAdmission.h"
#include "engine/convert/ImageConversion.h"
#include "engine/isolation/ImageWorkerProtocol.h"
#include "engine/output/ReplacingSave.h"

namespace {

using kavenra::worker::kChannelDescriptor;
using kavenra::worker::MessageKind;
using kavenra::worker::MessageReader;
using kavenra::worker::MessageWriter;

constexpr int kChannel = kChannelDescriptor;

// Exit statuses of a job process: the program closed the channel, or broke the protocol or
// vanished in the middle of a job.
constexpr int kProgramGone = 4;
constexpr int kChannelLost = 3;

[[noreturn]] void EndJob(int status) {
    _exit(status);
}

// Dies with the process that started it, even when that one is killed outright.
bool FollowParent(pid_t expectedParent) {
    return prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == expectedParent;
}

bool Send(const MessageWriter& message) {
    return kavenra::worker::SendMessage(kChannel, message);
}

void ReportTemporaryFile(const std::string& path) {
    if (!Send(MessageWriter(MessageKind::TemporaryFile).text(path))) EndJob(kChannelLost);
}

// The caller's context; false when its working directory is gone, so that relative paths would
// name other files here than there.
bool TakeOverContext(const kavenra::worker::JobContext& context) {
    const std::uint64_t milliseconds = std::max<std::uint32_t>(context.timeLimitMs, 1);
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(milliseconds / 1000);
    timer.it_value.tv_usec = static_cast<suseconds_t>(milliseconds % 1000 * 1000);
    setitimer(ITIMER_REAL, &timer, nullptr);  // SIGALRM, at its default, ends the job
    umask(static_cast<mode_t>(context.umask & 0777));
    rlimit fileSize{};
    getrlimit(RLIMIT_FSIZE, &fileSize);
    const rlim_t wanted = context.fileSizeLimit == UINT64_MAX
                              ? RLIM_INFINITY
                              : static_cast<rlim_t>(context.fileSizeLimit);
    fileSize.rlim_cur =
        fileSize.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, fileSize.rlim_max);
    setrlimit(RLIMIT_FSIZE, &fileSize);
    return chdir(context.workingDirectory.c_str()) == 0;
}

bool Usable(const std::string& path, bool relativePathsUsable) {
    return !kavenra::HasEmbeddedNul(path) && (relativePathsUsable || path.rfind('/', 0) == 0);
}

// What the worker and its job process share: the job in hand, so that the worker can end it in
// the program's eyes when the job process dies with it, and how many jobs the job process had
// finished before.
struct SharedJobState {
    std::atomic<std::uint32_t> serialInHand{0};
    std::atomic<std::uint32_t> jobsFinished{0};
};

// A job process retires after this many jobs, or once it holds this much more address space
// than it started with, so that whatever a long series leaves behind does not pile up.
constexpr std::uint32_t kJobsPerProcess = 256;
constexpr std::uint64_t kGrowthPerProcess = std::uint64_t{1} << 30;

std::uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

void StopTimer() {
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
}

// Runs a detection; true when the file was recognised.
bool Detect(std::uint32_t serial, MessageReader& job) {
    const auto context = job.context();
    const auto path = job.text();
    if (!context || !path || !job.complete()) EndJob(kChannelLost);
    const bool relativeUsable = TakeOverContext(*context);
    const kavenra::ImageFormat format = Usable(*path, relativeUsable)
                                            ? kavenra::DetectFileFormat(*path)
                                            : kavenra::ImageFormat::Unknown;
    StopTimer();
    Send(MessageWriter(MessageKind::DetectResult).u32(serial).u32(format.id()));
    return format.known();
}

// Reads what a conversion would hold in memory from its source's header.
void Estimate(std::uint32_t serial, MessageReader& message) {
    const auto context = message.context();
    const auto job = message.job();
    if (!context || !job || !message.complete()) EndJob(kChannelLost);
    const bool relativeUsable = TakeOverContext(*context);
    // A path the conversion cannot use fails it before anything is loaded.
    const std::optional<std::uint64_t> bytes = Usable(job->request.source, relativeUsable)
                                                   ? kavenra::EstimateConversionMemory(*job)
                                                   : std::optional<std::uint64_t>(0);
    StopTimer();
    Send(MessageWriter(MessageKind::EstimateResult)
             .u32(serial)
             .u8(bytes ? 1 : 0)
             .u64(bytes.value_or(0)));
}

// The memory a conversion may hold: what the program reserved for it, and no more than this
// process's address space leaves. Never 0, which would mean no bound at all: a file that needs
// nothing by its estimate and then declares a picture (replaced meanwhile) is too large.
kavenra::ConversionLimits LimitsOf(std::uint64_t reserved) {
    const std::optional<std::uint64_t> left = kavenra::AddressSpaceLeft();
    const std::uint64_t bound = left ? std::min(*left, reserved) : reserved;
    return kavenra::ConversionLimits{std::max<std::uint64_t>(bound, 1)};
}

// Runs a conversion into a temporary file, which the program names when its run reaches the
// file; true when the output was prepared.
bool Convert(std::uint32_t serial, MessageReader& message) {
    const auto context = message.context();
    const auto job = message.job();
    const auto reserved = message.u64();
    if (!context || !job || !reserved || !message.complete()) EndJob(kChannelLost);
    const bool relativeUsable = TakeOverContext(*context);
    kavenra::Preparation preparation;
    if (Usable(job->request.source, relativeUsable) &&
        Usable(job->request.destination, relativeUsable)) {
        preparation = kavenra::PrepareImageFile(*job, LimitsOf(*reserved));
    }
    StopTimer();
    const std::optional<kavenra::PreparedOutput>& prepared = preparation.prepared;
    MessageWriter result(MessageKind::ConvertResult);
    result.u32(serial).u8(prepared ? 1 : 0);
    if (prepared) {
        result.text(prepared->temporaryPath).text(prepared->destination).text(prepared->targetPath);
        result.u8(prepared->overBudget ? 1 : 0);
    } else {
        result.u8(static_cast<std::uint8_t>(preparation.failure));
    }
    Send(result);
    return prepared.has_value();
}

// The serial number of a job message; empty for any other message.
std::optional<std::uint32_t> JobSerial(MessageReader& message) {
    const std::optional<MessageKind> kind = message.kind();
    if (kind != MessageKind::DetectJob && kind != MessageKind::ConvertJob &&
        kind != MessageKind::EstimateJob) {
        return std::nullopt;
    }
    return message.u32();
}

// Serves jobs one after the other, on a heap and with code already warm from the jobs before.
// A job whose file was not what it should be may have left this process damaged in ways no
// check sees, so the process retires after it and the next job gets a fresh one.
[[noreturn]] void ServeJobs(pid_t worker, SharedJobState& shared) {
    if (!FollowParent(worker)) EndJob(kChannelLost);
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the file-size limit fails with EFBIG instead
    kavenra::SetTemporaryFileObserver(ReportTemporaryFile);
    // Freed bitmaps stay with the process for the next job instead of going back to the system
    // and coming back as fresh pages, each one a page fault: what a long-running program gets
    // from its warm heap. The retirement below bounds what is kept.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const std::uint64_t startingSize = AddressSpaceInUse();
    std::uint32_t finished = 0;
    for (;;) {
        std::vector<unsigned char> bytes;
        const auto received = kavenra::worker::ReceiveMessage(kChannel, bytes);
        if (received == kavenra::worker::ReceiveStatus::Closed) EndJob(kProgramGone);
        if (received != kavenra::worker::ReceiveStatus::Message) EndJob(kChannelLost);
        MessageReader job(std::move(bytes));
        const std::optional<std::uint32_t> serial = JobSerial(job);
        if (!serial) EndJob(kChannelLost);
        shared.jobsFinished = finished;
        shared.serialInHand = *serial;
        // An estimate reads no more than the conversion that follows it reads first, in this
        // same process: it is part of that conversion, not a job of its own that could have
        // left this process damaged for another file.
        if (job.kind() == MessageKind::EstimateJob) {
            Estimate(*serial, job);
            shared.serialInHand = 0;
            continue;
        }
        const bool succeeded =
            job.kind() == MessageKind::DetectJob ? Detect(*serial, job) : Convert(*serial, job);
        shared.serialInHand = 0;
        ++finished;
        if (!succeeded || finished >= kJobsPerProcess ||
            AddressSpaceInUse() > startingSize + kGrowthPerProcess) {
            EndJob(0);
        }
    }
}

int WaitFor(pid_t job) {
    int status = 0;
    while (waitpid(job, &status, 0) < 0) {
        if (errno != EINTR) return W_EXITCODE(127, 0);
    }
    return status;
}

// Keeps one job process at work, starting the next as soon as one ends, so that its start costs
// no call anything. When a job process dies with a job in hand, the program hears of the end of
// that job here.
int Serve() {
    const pid_t self = getpid();
    void* page = mmap(nullptr, sizeof(SharedJobState), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return 1;
    auto* shared = new (page) SharedJobState;
    for (;;) {
        shared->serialInHand = 0;
        shared->jobsFinished = 0;
        const pid_t jobs = fork();
        if (jobs == 0) ServeJobs(self, *shared);
        if (jobs < 0) return 1;
        const int status = WaitFor(jobs);
        if (WIFEXITED(status) && WEXITSTATUS(status) == kProgramGone) return 0;
        const std::uint32_t serial = shared->serialInHand;
        if (serial == 0) continue;
        const MessageWriter ended =
            MessageWriter(MessageKind::JobEnded).u32(serial).i32(status).u32(shared->jobsFinished);
        if (!Send(ended)) return 0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--image-worker") != 0) {
        std::fprintf(stderr, "%s is started by Kavenra; it is not meant to be run by hand.\n",
                     argv[0]);
        return 2;
    }
    const pid_t program = static_cast<pid_t>(std::strtol(argv[2], nullptr, 10));
    if (!FollowParent(program)) return 0;
    // The program owns a prepared output until it commits it, after the job process that wrote it
    // may have retired: its temporary file is abandoned only once the program is gone.
    kavenra::SetTemporaryFileOwner(program);
    signal(SIGPIPE, SIG_IGN);
    // No conversion may hold more than every conversion together may (MemoryBound.h): this
    // bounds what a picture whose header tells nothing takes, for which the program reserves
    // the whole bound.
    const std::uint64_t bound = kavenra::ConversionMemoryBound();
    const rlimit addressSpace{bound, bound};
    setrlimit(RLIMIT_AS, &addressSpace);
    // A job that a hostile file crashes leaves no core file of its bitmaps behind.
    const rlimit noCoreFile{0, 0};
    setrlimit(RLIMIT_CORE, &noCoreFile);
    FreeImage_Initialise(FALSE);
    if (!Send(MessageWriter(MessageKind::Ready).u32(kavenra::worker::kProtocolVersion))) return 0;
    return Serve();
}
