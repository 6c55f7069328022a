#include "engine/run/RunConversions.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "engine/base/SystemText.h"
#include "engine/imaging/ReplacingSave.h"

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

std::string NumberedOutputPath(const std::string& path, int number) {
    const ExtensionSplit split = SplitExtension(path);
    return split.stem + " (" + std::to_string(number) + ")" + split.extension;
}

namespace {

// A numbered name is given up on past this: the entry fails rather than replace a file.
constexpr int kLastOutputNumber = 9999;

// The folders resolved (the file itself is no link by now: a save through one names its
// target), so that "RES/a.jpg" and "/home/x/RES/a.jpg" are one file.
std::string CanonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    if (!error) return canonical.string();
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool NameIsFree(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

}  // namespace

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

void RunConversions::BeginRun() {
    written_.clear();
}

// `target` itself unless this run wrote it; else its first numbered name that neither exists
// nor was written by this run (a numbered file the user removed meanwhile is not taken again).
std::optional<std::string> RunConversions::unwrittenTarget(const std::string& target) const {
    if (written_.count(CanonicalPath(target)) == 0) return target;
    for (int number = 2; number <= kLastOutputNumber; ++number) {
        const std::string numbered = NumberedOutputPath(target, number);
        if (NameIsFree(numbered) && written_.count(CanonicalPath(numbered)) == 0) return numbered;
    }
    return std::nullopt;
}

FileOutcome RunConversions::commit(const PreparedOutput& prepared) {
    const std::optional<std::string> target = unwrittenTarget(prepared.targetPath);
    if (!target) {
        DiscardPreparedOutput(prepared);
        return {false, FailureReason::NotWritable, {}};
    }
    PreparedOutput committed = prepared;
    committed.targetPath = *target;
    errno = 0;
    if (!CommitPreparedOutput(committed)) {
        const FailureReason reason = FailureReasonForErrno(errno);
        // The temporary file or the folder vanished: the output cannot be written there.
        return {
            false, reason == FailureReason::SourceGone ? FailureReason::NotWritable : reason, {}};
    }
    written_.insert(CanonicalPath(*target));
    return {true, FailureReason::None, *target != prepared.targetPath ? *target : std::string()};
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

std::optional<FileOutcome> RunConversions::TakeResult() {
    if (!inHand_ || !inHand_->task->Done()) return std::nullopt;
    const IsolatedConversion result = inHand_->task->Wait();
    const bool fromAhead = inHand_->startedAhead;
    FileOutcome outcome;
    if (result.prepared) {
        // A symbolic link at the destination that now leads elsewhere wants a save of its own.
        const bool sameTarget =
            !fromAhead || WrittenPath(result.prepared->destination) == result.prepared->targetPath;
        if (sameTarget) {
            outcome = commit(*result.prepared);
            if (outcome.committed) {
                inHand_.reset();
                ++(fromAhead ? takenFromAhead_ : convertedAtTick_);
                return outcome;
            }
        } else {
            DiscardPreparedOutput(*result.prepared);
        }
    }
    if (fromAhead) {
        // Whatever failed ahead may fail for reasons of that moment: the tick decides afresh.
        const ConversionJob job = inHand_->job;
        inHand_.reset();
        inHand_ = start(job, freeLane());
        return std::nullopt;
    }
    if (!result.prepared) outcome.reason = result.failure;
    if (IdentityOf(inHand_->job.request.source) != inHand_->sourceAtStart) {
        outcome.reason = FailureReason::SourceGone;
    }
    inHand_.reset();
    ++convertedAtTick_;
    return outcome;
}

void RunConversions::WaitForFileInHand() {
    if (inHand_) inHand_->task->WaitUntilDone();
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
