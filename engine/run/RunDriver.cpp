#include "engine/run/RunDriver.h"

#include <algorithm>
#include <utility>

#include "engine/run/TimeLeft.h"

namespace kavenra {

ShownNames NamesToShow(const QStringList& all) {
    ShownNames shown;
    shown.names = all.mid(0, kNamesShown);
    shown.more = std::max(0, static_cast<int>(all.size()) - kNamesShown);
    return shown;
}

RunDriver::RunDriver(std::function<void()> resultReady) : run_(std::move(resultReady)) {}

RunMode RunDriver::Start(const RunControls& controls, GoOnPolicy policy) {
    run_.Abandon();
    policy_ = policy;
    going_ = true;
    awaitsAnswer_ = false;
    entriesSeen_ = static_cast<int>(controls.entries.size());
    summarySoFar_ = RunSummary();
    clock_.start();
    return run_.Begin(controls);
}

RunDriver::Report RunDriver::Tick(const RunControls& controls) {
    Report report;
    if (!going_ || awaitsAnswer_) return report;
    entriesSeen_ = static_cast<int>(controls.entries.size());
    report.entries = entriesSeen_;
    report.position = run_.Position();
    ResizeRun::Tick tick = run_.TakeTick(controls);
    report.entry = tick.entry;
    switch (tick.step) {
        case ResizeRun::Step::Busy:
            break;
        case ResizeRun::Step::Complete:
            going_ = false;
            summarySoFar_ = tick.summary;
            report.event = Event::Finished;
            report.runEnds = true;
            report.summary = std::move(tick.summary);
            break;
        case ResizeRun::Step::Converting:
            entryInHand_ = tick.entry;
            report.event = Event::Converting;
            break;
        case ResizeRun::Step::Failed:
            return afterFile(tick.entry, tick.outcome, report.position);
    }
    return report;
}

RunDriver::Report RunDriver::TakeOutcome(const QByteArrayList& entries) {
    if (!going_ || !run_.FileInHand()) return {};
    const int position = run_.Position();
    std::optional<FileOutcome> outcome = run_.TakeOutcome(entries);
    if (!outcome) return {};
    entriesSeen_ = static_cast<int>(entries.size());
    return afterFile(entryInHand_, *outcome, position);
}

// A failure is what the policy makes of it; a written file, and a failure the run goes on
// after, are done.
RunDriver::Report RunDriver::afterFile(const QByteArray& entry, const FileOutcome& outcome,
                                       int position) {
    summarySoFar_ = run_.Summary();
    Report report;
    report.event = Event::FileDone;
    report.entry = entry;
    report.outcome = outcome;
    report.position = position;
    report.entries = entriesSeen_;
    if (outcome.committed || policy_ == GoOnPolicy::GoOn) return report;
    if (policy_ == GoOnPolicy::Ask) {
        awaitsAnswer_ = true;
        report.event = Event::Question;
        return report;
    }
    const Report end = finished(entriesSeen_);
    report.runEnds = true;
    report.summary = end.summary;
    report.notReached = end.notReached;
    return report;
}

RunDriver::Report RunDriver::Answer(bool goOn, int entries) {
    if (!awaitsAnswer_) return {};
    awaitsAnswer_ = false;
    if (goOn) return {};
    return finished(entries);
}

RunDriver::Report RunDriver::finished(int entries) {
    Report report;
    report.event = Event::Finished;
    report.runEnds = true;
    report.entries = entries;
    report.summary = summarySoFar_;
    report.notReached = std::max(0, entries - summarySoFar_.entries);
    Abandon();
    return report;
}

void RunDriver::Abandon() {
    run_.Abandon();
    going_ = false;
    awaitsAnswer_ = false;
}

std::optional<qint64> RunDriver::SecondsLeft(int position, int entries) const {
    if (!clock_.isValid()) return std::nullopt;
    return kavenra::SecondsLeft(clock_.elapsed(), position, entries);
}

}  // namespace kavenra
