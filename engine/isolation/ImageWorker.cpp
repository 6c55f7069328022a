#include "engine/isolation/ImageWorker.h"

#include <algorithm>
#include <chrono>

#include "engine/base/SystemText.h"
#include "engine/isolation/ImageDetection.h"
#include "engine/isolation/WorkerLanes.h"

namespace kavenra {

using isolation::JobAnswers;
using isolation::RunJob;
using isolation::TimeLimitMs;
using worker::MessageKind;
using worker::MessageWriter;

IsolatedDetection DetectIsolated(const std::string& path) {
    IsolatedDetection result;
    if (HasEmbeddedNul(path)) return result;
    JobAnswers answers;
    result.report = RunJob(
        WorkerLane::Intake, MessageKind::DetectJob, TimeLimitMs(isolation::kDetectionLimitMs), -1,
        [&](MessageWriter& job) { job.text(path); }, answers);
    if (answers.detected) result.format = ImageFormat::FromNumber(*answers.detected);
    return result;
}

ImageFormat DetectImageFormatIsolated(const std::string& path) {
    return DetectIsolated(path).format;
}

namespace {

FailureReason FailureOfEnd(ImageJobEnd end) {
    switch (end) {
        case ImageJobEnd::TimedOut:
            return FailureReason::TookTooLong;
        case ImageJobEnd::Crashed:
            // Crashed twice, or on its first job: the file itself brought the decoder down.
            return FailureReason::Unsupported;
        case ImageJobEnd::Answered:
        case ImageJobEnd::Unavailable:
        case ImageJobEnd::Cancelled:
            break;
    }
    return FailureReason::None;
}

// What the conversion of `job` will hold, read from its source's header in the lane's worker;
// empty inside when the header does not tell. `report` says how the call ended.
std::optional<std::optional<std::uint64_t>> EstimateIsolated(const ConversionJob& job,
                                                             WorkerLane lane, int cancel,
                                                             std::uint32_t timeLimitMs,
                                                             ImageJobReport& report) {
    JobAnswers answers;
    report = RunJob(
        lane, MessageKind::EstimateJob, timeLimitMs, cancel,
        [&](MessageWriter& message) { message.job(job); }, answers);
    return answers.estimated;
}

}  // namespace

IsolatedConversion PrepareConversionIsolated(const ConversionJob& job, WorkerLane lane,
                                             int cancel) {
    IsolatedConversion result;
    if (HasEmbeddedNul(job.request.source) || HasEmbeddedNul(job.request.destination)) {
        return result;
    }
    const std::uint32_t timeLimitMs = TimeLimitMs(isolation::kConversionLimitMs);
    const isolation::Clock::time_point started = isolation::Clock::now();
    ImageJobReport estimateReport;
    const auto estimated = EstimateIsolated(job, lane, cancel, timeLimitMs, estimateReport);
    if (!estimated) {
        result.report = estimateReport;
        result.failure = FailureOfEnd(estimateReport.end);
        return result;
    }
    // The wait for memory that follows is no part of the conversion's time.
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(isolation::Clock::now() - started);
    const std::uint32_t timeLeftMs = static_cast<std::uint32_t>(
        std::max<std::int64_t>(0, std::int64_t{timeLimitMs} - spent.count()));
    const std::uint64_t budget = isolation::MemoryBudgetBytes();
    const std::uint64_t need = estimated->value_or(budget);
    if (need > budget) {
        result.report = estimateReport;
        result.failure = FailureReason::TooLarge;
        return result;
    }
    const std::optional<isolation::MemoryReservation> reservation =
        isolation::ReserveMemory(need, budget, cancel, result.waitedForMemory);
    if (!reservation) {
        result.report = estimateReport;
        result.report.end = ImageJobEnd::Cancelled;
        return result;
    }
    JobAnswers answers;
    result.report = RunJob(
        lane, MessageKind::ConvertJob, timeLeftMs, cancel,
        [&](MessageWriter& message) { message.job(job).u64(need); }, answers);
    result.report.restarted = result.report.restarted || estimateReport.restarted;
    result.report.retried = result.report.retried || estimateReport.retried;
    if (answers.converted) result.prepared = *answers.converted;
    result.failure = result.report.end == ImageJobEnd::Answered
                         ? (result.prepared ? FailureReason::None : answers.failure)
                         : FailureOfEnd(result.report.end);
    return result;
}

}  // namespace kavenra
