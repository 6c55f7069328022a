#pragma once

// FreeImage calls on input files run in the image worker, a small process of the program's own
// (kavenra-imageworker), so that a file that crashes a decoder, eats all memory or never ends
// costs one failed call and never the program. The worker is started on first use, kept between
// calls and started afresh after it dies. It never reads an input file itself: its job process,
// forked from it, serves the calls one after the other and is replaced by a fresh one after a
// call that failed, crashed or ran out of time. Every call runs under an address-space limit, a
// time limit, and the caller's working directory, umask and file-size limit. A call whose job
// process crashed after serving earlier calls runs once more in a fresh one, so that damage an
// earlier file did unseen cannot fail a good file.
//
// Where the worker is found: the file named by KAVENRA_IMAGE_WORKER when set, else
// kavenra-imageworker beside the running executable, else the one this build made.
//
// Limits (the environment can only tighten them, for tests):
//   address space  half the machine's memory (or of the cgroup's limit), at most 16 GiB;
//                  KAVENRA_IMAGE_WORKER_MEMORY_MB, read when the worker starts
//   time           20 s for a detection, 120 s for a conversion;
//                  KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS, read at every call

#include <FreeImage.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "engine/ImageConversion.h"

namespace kavenra {

// FreeImage_GetFileType(path, 0) in the worker; FIF_UNKNOWN also when the worker gave no answer.
FREE_IMAGE_FORMAT DetectImageFormatIsolated(const std::string& path);

// ConvertImageFile in the worker. The settings are read from CurrentConversionSettings() in this
// process when the worker's conversion asks for each, at the same steps as in-process. False also
// when the worker gave no answer; a temporary file that the worker left behind is removed.
bool ConvertImageIsolated(const ConversionRequest& request);

// How the last call ended.
enum class ImageJobEnd {
    Answered,     // the job ran to its end and answered
    Crashed,      // the job's process died before answering (a signal, or exit without answer)
    TimedOut,     // the job ran out of time and was stopped
    Unavailable,  // no worker could be started, or it died itself or broke the protocol
};

struct ImageJobReport {
    ImageJobEnd end = ImageJobEnd::Answered;
    int signal = 0;          // the signal that ended a crashed job, if any
    bool restarted = false;  // the call had to start a worker first
    bool retried = false;    // the call ran a second time after a crash, this is the second
};

ImageJobReport LastImageJobReport();

// The worker's process id; 0 while none runs.
pid_t ImageWorkerProcessId();

// Ends the worker, if one runs; the next call starts a new one (which reads its environment
// afresh).
void StopImageWorker();

// The executable the next start would run.
std::string ImageWorkerExecutable();

}  // namespace kavenra
