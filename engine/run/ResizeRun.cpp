#include "engine/run/ResizeRun.h"

#include <QFile>

#include <set>
#include <string>
#include <utility>

namespace kavenra {

namespace {

// The entry's file name kept byte for byte, in its mirrored subfolder of the destination.
std::string destinationBytes(const QByteArray& destinationFolder, const QByteArray& subfolder,
                             const QByteArray& entry) {
    const QByteArray fileName = entry.mid(entry.lastIndexOf('/') + 1);
    return (destinationFolder + subfolder + fileName).toStdString();
}

// A mirrored subfolder is made when its first file is about to be written there.
void MakeSubfolderFor(const QByteArray& entry, const RunControls& controls) {
    const QByteArray subfolder = controls.outputSubfolders.value(entry);
    if (!subfolder.isEmpty()) CreateOutputSubfolder(controls.destinationFolder, subfolder);
}

}  // namespace

std::optional<ConversionJob> JobForEntry(const QByteArray& entry, const RunControls& controls) {
    // Emptied during the run: the field names no folder at all.
    if (controls.destinationFolder.isEmpty()) return std::nullopt;
    ConversionJob job;
    job.request.source = entry.toStdString();
    job.request.destination =
        destinationBytes(controls.destinationFolder, controls.outputSubfolders.value(entry), entry);
    job.options = controls.options;
    switch (TickMode(controls.longestSide, controls.options.keepDimensions)) {
        case RunMode::LongestSide:
            if (!controls.longest) return std::nullopt;
            job.request.mode = SizingMode::LongestSide;
            job.request.longestSide = *controls.longest;
            break;
        case RunMode::KeepDimensions:
            // The sizes are not read: the conversion keeps each bitmap's own size.
            job.request.mode = SizingMode::ExplicitSize;
            break;
        case RunMode::ExplicitSize:
            if (!controls.width || !controls.height) return std::nullopt;
            job.request.mode = SizingMode::ExplicitSize;
            job.request.width = *controls.width;
            job.request.height = *controls.height;
            break;
    }
    return job;
}

ResizeRun::ResizeRun(std::function<void()> resultReady) : conversions_(std::move(resultReady)) {}

RunMode ResizeRun::Begin(const RunControls& controls) {
    conversions_.BeginRun();
    summary_ = RunSummary();
    sourceKeys_.clear();
    sourceEntries_.clear();
    noteSources(controls.entries);
    return StartChecksMode(controls.longestSide, controls.options.keepDimensions);
}

ResizeRun::Tick ResizeRun::TakeTick(const RunControls& controls) {
    Tick tick;
    if (conversions_.HasFileInHand()) return tick;
    noteSources(controls.entries);
    // ">=": entries cleared between two ticks must end the run, not read past the list.
    if (position_ >= controls.entries.size()) {
        tick.summary = std::move(summary_);
        Abandon();
        tick.step = Step::Complete;
        return tick;
    }
    tick.entry = controls.entries.at(position_);
    const std::optional<ConversionJob> job = JobForEntry(tick.entry, controls);
    if (!job) {
        conversions_.AbandonAhead();
        ++position_;
        tick.step = Step::Failed;
        record(tick.entry, tick.outcome);
        return tick;
    }
    entryInHand_ = tick.entry;
    MakeSubfolderFor(tick.entry, controls);
    conversions_.Begin(*job, controls.keepDates);
    prepareAhead(controls);
    tick.step = Step::Converting;
    return tick;
}

// The next entries as the controls stand now, up to the first that asks for no conversion; each
// one's tick takes its result only if they still do.
void ResizeRun::prepareAhead(const RunControls& controls) {
    std::vector<ConversionJob> jobs;
    for (int next = position_ + 1;
         lookAhead_ && next < controls.entries.size() && jobs.size() < kFilesPreparedAhead;
         ++next) {
        std::optional<ConversionJob> job = JobForEntry(controls.entries.at(next), controls);
        if (!job) break;
        MakeSubfolderFor(controls.entries.at(next), controls);
        jobs.push_back(std::move(*job));
    }
    conversions_.PrepareAhead(jobs);
}

std::optional<FileOutcome> ResizeRun::TakeOutcome(const QByteArrayList& entries) {
    noteSources(entries);
    return TakeOutcome();
}

// Each entry is looked at once in a run, when it is first listed; the file of the entry in hand
// is looked at afresh at its commit.
void ResizeRun::noteSources(const QByteArrayList& entries) {
    if (entries == sourceEntries_) return;
    std::set<FileKey> sources;
    for (const QByteArray& entry : entries) {
        auto known = sourceKeys_.find(entry);
        if (known == sourceKeys_.end()) {
            known = sourceKeys_.insert(entry, SourceKeysOf(entry.toStdString()));
        }
        sources.insert(known->begin(), known->end());
    }
    sourceEntries_ = entries;
    conversions_.SetSources(std::move(sources));
}

std::optional<FileOutcome> ResizeRun::TakeOutcome() {
    std::optional<FileOutcome> outcome = conversions_.TakeResult();
    if (!outcome) return std::nullopt;
    if (!outcome->committed) conversions_.AbandonAhead();
    ++position_;
    record(entryInHand_, *outcome);
    return outcome;
}

void ResizeRun::record(const QByteArray& entry, const FileOutcome& outcome) {
    ++summary_.entries;
    if (!outcome.committed) {
        summary_.failures.push_back({entry, outcome.reason});
    } else if (!outcome.renamedTo.empty()) {
        summary_.renamings.push_back({entry, outcome.renamedTo});
    }
    if (outcome.committed && outcome.overBudget) summary_.overBudget.push_back(entry);
}

void ResizeRun::Abandon() {
    conversions_.AbandonAll();
    position_ = 0;
    summary_ = RunSummary();
    sourceKeys_.clear();
    sourceEntries_.clear();
    conversions_.SetSources({});
}

void ResizeRun::SetLookAhead(bool on) {
    lookAhead_ = on;
    if (!on) conversions_.AbandonAhead();
}

}  // namespace kavenra
