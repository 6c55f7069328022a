#pragma once

// The three workers, one a lane, and the one way a job is run on them: under the lane's lock,
// with the caller's context and time limit, and once more after a crash that an earlier file may
// have caused. Internal to the isolation layer.

#include <cstdint>
#include <functional>

#include "engine/isolation/ImageWorker.h"
#include "engine/isolation/ImageWorkerProtocol.h"
#include "engine/isolation/WorkerProcess.h"

namespace kavenra::isolation {

// A detection takes milliseconds and runs while a drop holds the window; a file that keeps one
// longer (a cut camera file whose parser loops over entries the file does not hold) fails.
constexpr std::uint32_t kDetectionLimitMs = 2'000;
constexpr std::uint32_t kConversionLimitMs = 120'000;

// `standard`, or the tighter KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS when that is set (for tests).
std::uint32_t TimeLimitMs(std::uint32_t standard);

// Runs a job, whose message gets the job's serial number and the caller's context before
// `fields`. A job process that crashes after finishing other jobs may owe its crash to one of
// them rather than to this file, so the job runs once more in a fresh job process; a file that
// crashes that one too has failed. The time limit holds for the whole call: the second run gets
// what the first left, and none when nothing is left. A readable `cancel` descriptor stops it.
ImageJobReport RunJob(WorkerLane lane, worker::MessageKind kind, std::uint32_t timeLimitMs,
                      int cancel, const std::function<void(worker::MessageWriter&)>& fields,
                      JobAnswers& answers);

}  // namespace kavenra::isolation
