// kavenra-imageworker: runs the program's FreeImage calls on input files, one job at a time, each
// in a fresh process forked from this one. This process itself never opens an input file, so it
// stays as clean as it started, whatever a file does to the job that reads it.
//
// Started by the program (engine/ImageWorker.cpp) as
//   kavenra-imageworker --image-worker <program's process id>
// with its end of a SOCK_SEQPACKET socket pair as descriptor 3. It ends when the program closes
// the socket or dies.

#include <FreeImage.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "engine/ConversionSettings.h"
#include "engine/ImageAdmission.h"
#include "engine/ImageConversion.h"
#include "engine/ImageWorkerProtocol.h"
#include "engine/ReplacingSave.h"

namespace {

using kavenra::worker::kChannelDescriptor;
using kavenra::worker::MessageKind;
using kavenra::worker::MessageReader;
using kavenra::worker::MessageWriter;
using kavenra::worker::Setting;

constexpr int kChannel = kChannelDescriptor;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// Exit statuses of a job that could not answer; the program sees them as a job that crashed.
constexpr int kChannelLost = 3;

[[noreturn]] void EndJob(int status) {
    _exit(status);
}

// Dies with the process that started it, even when that one is killed outright.
bool FollowParent(pid_t expectedParent) {
    return prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == expectedParent;
}

std::uint64_t ReadNumber(const std::string& path) {
    std::ifstream file(path);
    std::uint64_t value = 0;
    return file >> value ? value : 0;
}

// The memory limit of this process's cgroup (version 2), 0 when there is none.
std::uint64_t CgroupMemoryLimit() {
    std::ifstream membership("/proc/self/cgroup");
    std::string line;
    while (std::getline(membership, line)) {
        if (line.rfind("0::", 0) == 0) {
            return ReadNumber("/sys/fs/cgroup" + line.substr(3) + "/memory.max");
        }
    }
    return 0;
}

// Half the memory this process may use, at most 16 GiB, and no more than the environment allows.
std::uint64_t AddressSpaceLimit() {
    std::uint64_t memory = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                           static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const std::uint64_t cgroup = CgroupMemoryLimit();
    if (cgroup > 0) memory = std::min(memory, cgroup);
    std::uint64_t limit = std::clamp<std::uint64_t>(memory / 2, kGiB / 2, 16 * kGiB);
    if (const char* text = std::getenv("KAVENRA_IMAGE_WORKER_MEMORY_MB")) {
        char* end = nullptr;
        const unsigned long long megabytes = std::strtoull(text, &end, 10);
        if (*text != '\0' && *end == '\0' && megabytes > 0) {
            limit = std::min<std::uint64_t>(limit, megabytes << 20);
        }
    }
    return limit;
}

bool Send(const MessageWriter& message) {
    return kavenra::worker::SendMessage(kChannel, message);
}

// The settings the conversion reads, each asked of the program at the moment it is needed.
class ProgramSettings final : public kavenra::ConversionSettingsSource {
  public:
    int filterCode() const override { return ask(Setting::Filter); }
    int jpegCode() const override { return ask(Setting::Jpeg); }
    int pngCode() const override { return ask(Setting::Png); }
    int bmpCode() const override { return ask(Setting::Bmp); }
    int tgaCode() const override { return ask(Setting::Tga); }
    int tifCode() const override { return ask(Setting::Tif); }
    bool keepDimensions() const override { return ask(Setting::KeepDimensions) != 0; }

  private:
    static int ask(Setting setting) {
        if (!Send(MessageWriter(MessageKind::SettingQuestion)
                      .u8(static_cast<std::uint8_t>(setting)))) {
            EndJob(kChannelLost);
        }
        std::vector<unsigned char> bytes;
        if (kavenra::worker::ReceiveMessage(kChannel, bytes) !=
            kavenra::worker::ReceiveStatus::Message) {
            EndJob(kChannelLost);
        }
        MessageReader answer(std::move(bytes));
        const auto value = answer.i32();
        if (answer.kind() != MessageKind::SettingAnswer || !value || !answer.complete()) {
            EndJob(kChannelLost);
        }
        return *value;
    }
};

void ReportTemporaryFile(const std::string& path) {
    if (!Send(MessageWriter(MessageKind::TemporaryFile).text(path))) EndJob(kChannelLost);
}

// The caller's context; false when its working directory is gone, so that relative paths would
// name other files here than there.
bool TakeOverContext(const kavenra::worker::JobContext& context) {
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the file-size limit fails with EFBIG instead
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
    return path.find('\0') == std::string::npos && (relativePathsUsable || path.rfind('/', 0) == 0);
}

[[noreturn]] void DetectJob(MessageReader& job) {
    job.u32();  // the serial number, for the worker
    const auto context = job.context();
    const auto path = job.text();
    if (!context || !path || !job.complete()) EndJob(kChannelLost);
    const bool relativeUsable = TakeOverContext(*context);
    const FREE_IMAGE_FORMAT format =
        Usable(*path, relativeUsable) ? kavenra::DetectFileFormat(*path) : FIF_UNKNOWN;
    Send(MessageWriter(MessageKind::DetectResult).i32(format));
    EndJob(0);
}

[[noreturn]] void ConvertJob(MessageReader& job) {
    job.u32();  // the serial number, for the worker
    const auto context = job.context();
    const auto source = job.text();
    const auto destination = job.text();
    const auto keepAspect = job.u8();
    const auto height = job.i32();
    const auto widthOrLongest = job.i32();
    if (!context || !source || !destination || !keepAspect || !height || !widthOrLongest ||
        !job.complete()) {
        EndJob(kChannelLost);
    }
    const bool relativeUsable = TakeOverContext(*context);
    bool converted = false;
    if (Usable(*source, relativeUsable) && Usable(*destination, relativeUsable)) {
        kavenra::SetTemporaryFileObserver(ReportTemporaryFile);
        const kavenra::ConversionRequest request{*source, *destination, *keepAspect, *height,
                                                 *widthOrLongest};
        const kavenra::ConversionLimits limits{kavenra::AddressSpaceLeft().value_or(0)};
        const ProgramSettings settings;
        converted = kavenra::ConvertImageFile(request, settings, limits);
    }
    Send(MessageWriter(MessageKind::ConvertResult).u8(converted ? 1 : 0));
    EndJob(0);
}

[[noreturn]] void RunJob(std::vector<unsigned char> bytes, pid_t worker) {
    if (!FollowParent(worker)) EndJob(kChannelLost);
    MessageReader job(std::move(bytes));
    if (job.kind() == MessageKind::DetectJob) DetectJob(job);
    if (job.kind() == MessageKind::ConvertJob) ConvertJob(job);
    EndJob(kChannelLost);
}

// The serial number of a job message; empty for any other message.
std::optional<std::uint32_t> JobSerial(const std::vector<unsigned char>& bytes) {
    MessageReader message(bytes);
    if (message.kind() != MessageKind::DetectJob && message.kind() != MessageKind::ConvertJob) {
        return std::nullopt;
    }
    return message.u32();
}

int WaitFor(pid_t job) {
    int status = 0;
    while (waitpid(job, &status, 0) < 0) {
        if (errno != EINTR) return W_EXITCODE(127, 0);
    }
    return status;
}

int Serve() {
    const pid_t self = getpid();
    for (;;) {
        std::vector<unsigned char> bytes;
        const auto received = kavenra::worker::ReceiveMessage(kChannel, bytes);
        if (received == kavenra::worker::ReceiveStatus::Closed) return 0;
        if (received != kavenra::worker::ReceiveStatus::Message) return 1;
        // A job that died between asking for a setting and reading the answer leaves the answer
        // behind; it precedes the next job and is no job itself.
        const std::optional<std::uint32_t> serial = JobSerial(bytes);
        if (!serial) continue;
        const pid_t job = fork();
        if (job == 0) RunJob(std::move(bytes), self);
        const int status = job > 0 ? WaitFor(job) : W_EXITCODE(127, 0);
        if (!Send(MessageWriter(MessageKind::JobEnded).u32(*serial).i32(status))) return 0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--image-worker") != 0) {
        std::fprintf(stderr, "%s is started by Kavenra; it is not meant to be run by hand.\n",
                     argv[0]);
        return 2;
    }
    if (!FollowParent(static_cast<pid_t>(std::strtol(argv[2], nullptr, 10)))) return 0;
    signal(SIGPIPE, SIG_IGN);
    const rlimit addressSpace{AddressSpaceLimit(), AddressSpaceLimit()};
    setrlimit(RLIMIT_AS, &addressSpace);
    // A job that a hostile file crashes leaves no core file of its bitmaps behind.
    const rlimit noCoreFile{0, 0};
    setrlimit(RLIMIT_CORE, &noCoreFile);
    FreeImage_Initialise(FALSE);
    if (!Send(MessageWriter(MessageKind::Ready).u32(kavenra::worker::kProtocolVersion))) return 0;
    return Serve();
}
