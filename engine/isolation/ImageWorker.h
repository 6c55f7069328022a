#pragma once

// FreeImage calls on input files run in the image worker, a small process of the program's own
// (kavenra-imageworker), so that a file that crashes a decoder, eats all memory or never ends
// costs one failed call and never the program. The worker is started on first use, kept between
// calls and started afresh after it dies. It never reads an input file itself: its job process,
// forked from it, serves the calls one after the other and is replaced by a fresh one after a
// call that failed, crashed or ran out of time. Every call runs under an address-space limit, a
// time limit, and the caller's working directory, umask and file-size limit. A call whose job
// process crashed after serving earlier calls runs once more in a fresh one, so that damage an
// earlier file did unseen cannot fail a good file. libheif's calls, for HEIF and AVIF, run there
// too.
//
// A program has three workers, one a lane (WorkerLane), so that calls on different lanes run side
// by side. The worker's own output and error streams go nowhere: decoders' warnings must never
// hold a job on a pipe nobody reads.
//
// Where the worker is found: the file named by KAVENRA_IMAGE_WORKER when set, else
// kavenra-imageworker beside the running executable, else the one this build made.
//
// Limits (the environment can only tighten them, for tests):
//   memory         one bound for every conversion of every lane together: half the machine's
//                  memory (or of the cgroup's limit), at least 512 MiB, at most 8 GiB
//                  (engine/base/MemoryBound.h). A conversion first reads in the worker what its
//                  source's header declares it will hold, then reserves that much of the bound
//                  and waits, in turn, while the conversions running leave too little; a
//                  picture that needs more than the whole bound fails TooLarge at once, one whose
//                  header tells nothing reserves all of it. The conversion is refused TooLarge
//                  should it find more declared than it reserved, and each worker's address
//                  space is held to the bound as well. So the pictures being converted never
//                  take more than the bound together, two lanes at work or three.
//                  KAVENRA_IMAGE_WORKER_MEMORY_MB tightens the bound (the worker reads it when
//                  it starts, the program at every call); KAVENRA_IMAGE_MEMORY_BUDGET_MB tightens
//                  what conversions reserve from, alone, read at every call
//   time           2 s for a detection (a real one takes milliseconds, and a drop waits for it),
//                  120 s for a conversion, each for the whole call, the conversion's estimate
//                  included and its wait for memory not: a retry after a crash gets only what
//                  the first run left; KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS, read at every call

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <FreeImage.h>

#include "engine/base/ConversionJob.h"
#include "engine/formats/ImageFormat.h"

namespace kavenra {

// Each lane is a worker of its own, so calls on different lanes run side by side.
enum class WorkerLane : std::size_t {
    Intake,  // detections and the conversions asked for one at a time
    RunA,    // a run's conversions, in turn with RunB
    RunB,
};
constexpr std::size_t kWorkerLaneCount = 3;

// How the last call ended.
enum class ImageJobEnd {
    Answered,     // the job ran to its end and answered
    Crashed,      // the job's process died before answering (a signal, or exit without answer)
    TimedOut,     // the job ran out of time and was stopped
    Unavailable,  // no worker could be started, or it died itself or broke the protocol
    Cancelled,    // the caller abandoned the job, which was stopped
};

struct ImageJobReport {
    ImageJobEnd end = ImageJobEnd::Answered;
    int signal = 0;          // the signal that ended a crashed job, if any
    bool restarted = false;  // the call had to start a worker first
    bool retried = false;    // the call ran a second time after a crash, this is the second
};

// A conversion in the worker: its output under a temporary name, not yet committed, or nothing
// when it failed (a temporary file the worker left behind is removed).
struct IsolatedConversion {
    std::optional<PreparedOutput> prepared;
    ImageJobReport report;
    FailureReason failure = FailureReason::None;  // why, when it failed
    bool waitedForMemory = false;  // other conversions held too much of the memory bound
};

// PrepareImageFile in the worker of `lane`. A `cancel` descriptor that becomes readable stops the
// job at once (its processes are ended and every temporary file it made is removed).
IsolatedConversion PrepareConversionIsolated(const ConversionJob& job,
                                             WorkerLane lane = WorkerLane::Intake, int cancel = -1);

// A detection in the worker: DetectFileFormat's answer, ImageFormat::Unknown also when the worker
// gave none, and how the call ended.
struct IsolatedDetection {
    ImageFormat format = ImageFormat::Unknown;
    ImageJobReport report;
};
IsolatedDetection DetectIsolated(const std::string& path);

// Conversions waiting, at this moment, for others to give back memory.
std::size_t ConversionsWaitingForMemory();

// The process id of a lane's worker; 0 while none runs.
pid_t ImageWorkerProcessId(WorkerLane lane = WorkerLane::Intake);

// Ends every lane's worker; the next call starts a new one (which reads its environment afresh).
void StopImageWorker();

// The executable the next start would run.
std::string ImageWorkerExecutable();

}  // namespace kavenra
