#include "engine/isolation/ImageWorker.h"

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
    if (answers.detected) result.format = static_cast<FREE_IMAGE_FORMAT>(*answers.detected);
    return result;
}

FREE_IMAGE_FORMAT DetectImageFormatIsolated(const std::string& path) {
    return DetectIsolated(path).format;
}

IsolatedConversion PrepareConversionIsolated(const ConversionJob& job, WorkerLane lane,
                                             int cancel) {
    IsolatedConversion result;
    if (HasEmbeddedNul(job.request.source) || HasEmbeddedNul(job.request.destination)) {
        return result;
    }
    JobAnswers answers;
    result.report = RunJob(
        lane, MessageKind::ConvertJob, TimeLimitMs(isolation::kConversionLimitMs), cancel,
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

}  // namespace kavenra
