#include "engine/RunConversions.h"

#include <sys/stat.h>

#include <utility>

#include "engine/ReplacingSave.h"

namespace kavenra {

FileIdentity IdentityOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {};
    FileIdentity identity;
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return identity;
}

struct RunConversions::Conversion {
    ConversionJob job;
    FileIdentity sourceAtStart;
    WorkerLane lane = WorkerLane::RunA;
    bool startedAhead = false;
    std::unique_ptr<BackgroundConversion> task;
};

RunConversions::RunConversions(std::function<void()> resultReady)
    : resultReady_(std::move(resultReady)) {}

RunConversions::~RunConversions() {
    AbandonAll();
}

std::unique_ptr<RunConversions::Conversion> RunConversions::start(const ConversionJob& job,
                                                                  WorkerLane lane) {
    auto conversion = std::make_unique<Conversion>();
    conversion->job = job;
    // Taken before the worker reads the file: a file replaced from here on no longer matches.
    conversion->sourceAtStart = IdentityOf(job.request.source);
    conversion->lane = lane;
    conversion->task = std::make_unique<BackgroundConversion>(job, lane, resultReady_);
    return conversion;
}

bool RunConversions::stillHolds(const Conversion& conversion, const ConversionJob& job) const {
    return conversion.job.request == job.request && conversion.job.settings == job.settings &&
           IdentityOf(job.request.source) == conversion.sourceAtStart;
}

WorkerLane RunConversions::freeLane() const {
    const Conversion* busy = inHand_ ? inHand_.get() : ahead_.get();
    if (busy == nullptr) return WorkerLane::RunA;
    return busy->lane == WorkerLane::RunA ? WorkerLane::RunB : WorkerLane::RunA;
}

void RunConversions::Begin(const ConversionJob& job) {
    if (ahead_ && stillHolds(*ahead_, job)) {
        inHand_ = std::move(ahead_);
        // Its completion may have been announced while it was ahead, when nobody asked.
        if (inHand_->task->Done() && resultReady_) resultReady_();
        return;
    }
    AbandonAhead();
    inHand_ = start(job, freeLane());
}

void RunConversions::PrepareAhead(const ConversionJob& job) {
    if (ahead_ && stillHolds(*ahead_, job)) return;
    AbandonAhead();
    ahead_ = start(job, freeLane());
    ahead_->startedAhead = true;
}

std::optional<bool> RunConversions::TakeResult() {
    if (!inHand_ || !inHand_->task->Done()) return std::nullopt;
    const IsolatedConversion result = inHand_->task->Wait();
    const bool fromAhead = inHand_->startedAhead;
    if (result.prepared) {
        // A symbolic link at the destination that now leads elsewhere wants a save of its own.
        const bool sameTarget =
            !fromAhead || WrittenPath(result.prepared->destination) == result.prepared->targetPath;
        if (sameTarget && CommitPreparedOutput(*result.prepared)) {
            inHand_.reset();
            ++(fromAhead ? takenFromAhead_ : convertedAtTick_);
            return true;
        }
        if (!sameTarget) DiscardPreparedOutput(*result.prepared);
    }
    if (fromAhead) {
        // Whatever failed ahead may fail for reasons of that moment: the tick decides afresh.
        const ConversionJob job = inHand_->job;
        inHand_.reset();
        inHand_ = start(job, freeLane());
        return std::nullopt;
    }
    inHand_.reset();
    ++convertedAtTick_;
    return false;
}

bool RunConversions::HasFileInHand() const {
    return inHand_ != nullptr;
}

bool RunConversions::FileInHandFinished() const {
    return inHand_ && inHand_->task->Done();
}

void RunConversions::AbandonAhead() {
    if (!ahead_) return;
    ahead_->task->Abandon();
    ahead_.reset();
}

void RunConversions::AbandonAll() {
    AbandonAhead();
    if (!inHand_) return;
    inHand_->task->Abandon();
    inHand_.reset();
}

}  // namespace kavenra
