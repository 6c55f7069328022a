#pragma once

// The three workers, one a lane, and the one way a job is run on them: under the lane's lock,
// with the caller's context and time limit, and once more after a crash that an earlier file may
// have caused; and the memory budget the conversions of every lane reserve from before they run.
// Internal to the isolation layer.

#include <cstdint>
#include <functional>
#include <optional>

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

// The memory all conversions of every lane together may hold: ConversionMemoryBound
// (engine/base/MemoryBound.h), or the tighter KAVENRA_IMAGE_MEMORY_BUDGET_MB when that is set
// (for tests), read at every call.
std::uint64_t MemoryBudgetBytes();

// A share of that budget, held while its conversion runs and given back when destroyed.
class MemoryReservation {
  public:
    MemoryReservation() = default;
    explicit MemoryReservation(std::uint64_t bytes) : bytes_(bytes) {}
    ~MemoryReservation();
    MemoryReservation(MemoryReservation&& other) noexcept;
    MemoryReservation& operator=(MemoryReservation&&) = delete;
    MemoryReservation(const MemoryReservation&) = delete;
    MemoryReservation& operator=(const MemoryReservation&) = delete;

  private:
    std::uint64_t bytes_ = 0;
};

// Reserves `bytes` of a budget of `budgetBytes` (no more than it), waiting while the
// reservations held leave too little; requests are served in the order they came, so a large
// one is not passed over for ever. `waited` tells whether it had to wait. Empty when a readable
// `cancel` descriptor stopped the wait, or no wait could be set up. Reservations are held only
// while a worker job runs, and every job ends within its time limit, so every wait ends.
std::optional<MemoryReservation> ReserveMemory(std::uint64_t bytes, std::uint64_t budgetBytes,
                                               int cancel, bool& waited);

// Runs a job, whose message gets the job's serial number and the caller's context before
// `fields`. A job process that crashes after finishing other jobs may owe its crash to one of
// them rather than to this file, so the job runs once more in a fresh job process; a file that
// crashes that one too has failed. The time limit holds for the whole call: the second run gets
// what the first left, and none when nothing is left. A readable `cancel` descriptor stops it.
ImageJobReport RunJob(WorkerLane lane, worker::MessageKind kind, std::uint32_t timeLimitMs,
                      int cancel, const std::function<void(worker::MessageWriter&)>& fields,
                      JobAnswers& answers);

}  // namespace kavenra::isolation
