#include "engine/run/RunConversions.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "engine/base/SystemText.h"
#include "engine/output/ReplacingSave.h"

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

std::vector<FileKey> SourceKeysOf(const std::string& path) {
    std::vector<FileKey> keys;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) keys.emplace_back(info.st_dev, info.st_ino);
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        keys.emplace_back(info.st_dev, info.st_ino);
    }
    return keys;
}

namespace {

// The longest file name the file systems the program writes to take, in bytes (NAME_MAX). The
// temporary file of a save has a short name of its own, whatever the output's.
constexpr std::size_t kLongestFileName = 255;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence that `lead` starts: 1 to 4, 0 for no lead byte.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Lead bytes and the right number of continuation bytes; overlong forms and surrogates are not
// looked for, since only the character boundaries matter here.
bool IsUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[at]));
        if (length == 0 || at + length > text.size()) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if (!IsContinuationByte(text[at + i])) return false;
        }
        at += length;
    }
    return true;
}

// The first `bytes` bytes of `text`, less the start of a character they would cut through when
// the text is UTF-8; a name in another encoding is cut where it is.
std::string CutToBytes(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    if (IsUtf8(text)) {
        while (end > 0 && IsContinuationByte(text[end])) --end;
    }
    return text.substr(0, end);
}

}  // namespace

std::string NumberedOutputPath(const std::string& path, int number) {
    const std::size_t nameStart = path.find_last_of('/') + 1;  // 0 without a folder
    const std::string folder = path.substr(0, nameStart);
    const ExtensionSplit split = SplitExtension(path.substr(nameStart));
    const std::string suffix = " (" + std::to_string(number) + ")";
    std::string stem = split.stem;
    std::string extension = split.extension;
    // An extension that leaves no room for a character of the name goes with the name.
    if (suffix.size() + extension.size() >= kLongestFileName) {
        stem += extension;
        extension.clear();
    }
    stem = CutToBytes(stem, kLongestFileName - suffix.size() - extension.size());
    return folder + stem + suffix + extension;
}

namespace {

// A numbered name is given up on past this: the entry fails rather than replace a file.
constexpr int kLastOutputNumber = 9999;

// The folder resolved, so that "RES/a.jpg" and "/home/x/RES/a.jpg" are one file; the file name
// itself is kept, for a symbolic link there is replaced by the output, not written through.
std::string CanonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    const std::filesystem::path folder =
        std::filesystem::weakly_canonical(absolute.parent_path(), error);
    if (error) return absolute.lexically_normal().string();
    return (folder / absolute.filename()).string();
}

// Gives the committed output its source's modification time. The output already stands under
// its name, so a file system that refuses the time (or a source gone meanwhile) leaves it as it
// is: the conversion itself succeeded.
void CopyModificationTime(const std::string& source, const std::string& output) {
    struct stat info {};
    if (stat(source.c_str(), &info) != 0) return;
    const struct timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
    (void)utimensat(AT_FDCWD, output.c_str(), times, 0);
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
    : resultReady_(std::move(resultReady)),
      laneOrders_{std::make_shared<LaneOrder>(), std::make_shared<LaneOrder>()} {}

RunConversions::~RunConversions() {
    AbandonAll();
}

namespace {

constexpr std::array<WorkerLane, 2> kRunLanes{WorkerLane::RunA, WorkerLane::RunB};

}  // namespace

std::unique_ptr<RunConversions::Conversion> RunConversions::start(const ConversionJob& job) {
    auto conversion = std::make_unique<Conversion>();
    conversion->job = job;
    // Taken before the worker reads the file: a file replaced from here on no longer matches.
    conversion->sourceAtStart = IdentityOf(job.request.source);
    conversion->lane = leastBusyLane();
    const std::size_t lane = conversion->lane == WorkerLane::RunA ? 0 : 1;
    conversion->task = std::make_unique<BackgroundConversion>(job, conversion->lane, resultReady_,
                                                              laneOrders_[lane]);
    return conversion;
}

bool RunConversions::stillHolds(const Conversion& conversion, const ConversionJob& job) const {
    return conversion.job == job && IdentityOf(job.request.source) == conversion.sourceAtStart;
}

// The lane with fewer conversions still to finish; the first on a tie.
WorkerLane RunConversions::leastBusyLane() const {
    std::array<int, 2> waiting{0, 0};
    const auto count = [&](const Conversion* conversion) {
        if (conversion && !conversion->task->Done()) {
            ++waiting[conversion->lane == WorkerLane::RunA ? 0 : 1];
        }
    };
    count(inHand_.get());
    for (const auto& ahead : ahead_) count(ahead.get());
    return waiting[1] < waiting[0] ? kRunLanes[1] : kRunLanes[0];
}

void RunConversions::BeginRun() {
    written_.clear();
}

void RunConversions::SetSources(std::set<FileKey> sources) {
    sources_ = std::move(sources);
}

// Whether the file that now holds `target`'s name (a link itself, not what it points to) is read
// by this run. The conversion's own source is looked at afresh.
bool RunConversions::replacesSource(const std::string& target, const std::string& source) const {
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) return false;
    const FileKey held(info.st_dev, info.st_ino);
    if (sources_.count(held) != 0) return true;
    for (const FileKey& read : SourceKeysOf(source)) {
        if (read == held) return true;
    }
    return false;
}

// `target` itself unless this run wrote it; else its first numbered name this run has not
// written. What holds that name from before the run is replaced, as `target` itself would be.
std::optional<std::string> RunConversions::unwrittenTarget(const std::string& target) const {
    if (written_.count(CanonicalPath(target)) == 0) return target;
    for (int number = 2; number <= kLastOutputNumber; ++number) {
        const std::string numbered = NumberedOutputPath(target, number);
        if (written_.count(CanonicalPath(numbered)) == 0) return numbered;
    }
    return std::nullopt;
}

FileOutcome RunConversions::commit(const PreparedOutput& prepared, const std::string& source) {
    const std::optional<std::string> target = unwrittenTarget(prepared.targetPath);
    if (!target) {
        DiscardPreparedOutput(prepared);
        return {false, FailureReason::NotWritable, {}, {}, false};
    }
    if (replacesSource(*target, source)) {
        DiscardPreparedOutput(prepared);
        return {false, FailureReason::ReplacesSource, {}, {}, false};
    }
    PreparedOutput committed = prepared;
    committed.targetPath = *target;
    errno = 0;
    if (!CommitPreparedOutput(committed)) {
        const FailureReason reason = FailureReasonForErrno(errno);
        // The temporary file or the folder vanished: the output cannot be written there.
        return {false,
                reason == FailureReason::SourceGone ? FailureReason::NotWritable : reason,
                {},
                {},
                false};
    }
    written_.insert(CanonicalPath(*target));
    return {true, FailureReason::None, *target != prepared.targetPath ? *target : std::string(),
            *target, prepared.overBudget};
}

void RunConversions::Begin(const ConversionJob& job, bool keepDates) {
    keepDatesInHand_ = keepDates;
    if (!ahead_.empty() && stillHolds(*ahead_.front(), job)) {
        inHand_ = std::move(ahead_.front());
        ahead_.pop_front();
        // Its completion may have been announced while it was ahead, when nobody asked.
        if (inHand_->task->Done() && resultReady_) resultReady_();
        return;
    }
    AbandonAhead();
    inHand_ = start(job);
}

void RunConversions::PrepareAhead(const std::vector<ConversionJob>& jobs) {
    std::size_t kept = 0;
    while (kept < jobs.size() && kept < ahead_.size() && stillHolds(*ahead_[kept], jobs[kept])) {
        ++kept;
    }
    abandonAheadFrom(kept);
    for (std::size_t next = kept; next < jobs.size(); ++next) {
        ahead_.push_back(start(jobs[next]));
        ahead_.back()->startedAhead = true;
    }
}

std::optional<FileOutcome> RunConversions::TakeResult() {
    if (!inHand_ || !inHand_->task->Done()) return std::nullopt;
    const IsolatedConversion result = inHand_->task->Wait();
    const bool fromAhead = inHand_->startedAhead;
    FileOutcome outcome;
    if (result.prepared) {
        outcome = commit(*result.prepared, inHand_->job.request.source);
        if (outcome.committed) {
            if (keepDatesInHand_)
                CopyModificationTime(inHand_->job.request.source, outcome.writtenAs);
            inHand_.reset();
            ++(fromAhead ? takenFromAhead_ : convertedAtTick_);
            return outcome;
        }
    }
    // Decided at this tick, on the list as it stands: converting again would meet it again.
    const bool finalFailure = outcome.reason == FailureReason::ReplacesSource;
    if (fromAhead && !finalFailure) {
        // Whatever failed ahead may fail for reasons of that moment: the tick decides afresh.
        const ConversionJob job = inHand_->job;
        inHand_.reset();
        inHand_ = start(job);
        return std::nullopt;
    }
    if (!result.prepared) outcome.reason = result.failure;
    if (!finalFailure && IdentityOf(inHand_->job.request.source) != inHand_->sourceAtStart) {
        outcome.reason = FailureReason::SourceGone;
    }
    inHand_.reset();
    ++(fromAhead ? takenFromAhead_ : convertedAtTick_);
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
    abandonAheadFrom(0);
}

// The last first: a file queued behind another on its lane never gets a turn it would lose.
void RunConversions::abandonAheadFrom(std::size_t first) {
    while (ahead_.size() > first) {
        ahead_.back()->task->Abandon();
        ahead_.pop_back();
    }
}

void RunConversions::AbandonAll() {
    AbandonAhead();
    if (!inHand_) return;
    inHand_->task->Abandon();
    inHand_.reset();
}

}  // namespace kavenra
