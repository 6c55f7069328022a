#include "engine/run/HeadlessRun.h"

#include <QFile>

#include <chrono>
#include <set>
#include <utility>

#include "engine/run/BatchRun.h"
#include "engine/run/FolderFiles.h"
#include "engine/run/InputFiles.h"

namespace kavenra {
namespace {

RefusedInput::Why RefusalOf(InputKind kind) {
    switch (kind) {
        case InputKind::NotFound:
            return RefusedInput::Why::NotFound;
        case InputKind::Unreadable:
            return RefusedInput::Why::Unreadable;
        default:
            return RefusedInput::Why::NotAnImage;
    }
}

class EntryList {
  public:
    explicit EntryList(GatheredInputs& gathered) : gathered_(gathered) {}

    void takeFile(const QByteArray& path, InputKind kind) {
        if (kind != InputKind::Image) return refuse(path, RefusalOf(kind));
        add(path);
    }

    // The files of a folder that are no picture are left out and named; one that may not be read
    // might be a picture, and fails.
    void takeFolder(const QByteArray& folder, bool includeSubfolders,
                    const QByteArray& outputFolder) {
        bool any = false;
        for (const TreeFile& file : FilesOfFolder(folder, includeSubfolders, {outputFolder})) {
            const InputKind kind = ClassifyInputPath(file.path);
            if (kind == InputKind::Image) {
                any = true;
                add(file.path, file.subfolder);
            } else if (kind == InputKind::Unreadable) {
                refuse(file.path, RefusedInput::Why::Unreadable);
            } else {
                gathered_.skipped.push_back({file.path, RefusedInput::Why::NotAnImage});
            }
        }
        if (!any) refuse(folder, RefusedInput::Why::NoImageInFolder);
    }

  private:
    void add(const QByteArray& path, const QByteArray& subfolder = {}) {
        if (!listed_.insert(path).second) return;
        gathered_.entries << path;
        if (!subfolder.isEmpty()) gathered_.subfolders.insert(path, subfolder);
    }
    void refuse(const QByteArray& path, RefusedInput::Why why) {
        gathered_.refused.push_back({path, why});
    }

    GatheredInputs& gathered_;
    std::set<QByteArray> listed_;
};

}  // namespace

// The window's proposal, on bytes: the last item's folder, or that folder itself, and "RES/".
// Empty names name no place.
QByteArray ProposedDestinationOf(const QByteArrayList& inputs, const QByteArray& workingDirectory) {
    for (auto input = inputs.crbegin(); input != inputs.crend(); ++input) {
        const QByteArray path = AbsoluteInputPath(*input, workingDirectory);
        if (path.isEmpty()) continue;
        const QByteArray item = IsFolderPath(path) ? path + '/' : path;
        return item.left(item.lastIndexOf('/') + 1) + "RES/";
    }
    return {};
}

GatheredInputs GatherInputs(const QByteArrayList& inputs, const QByteArray& workingDirectory,
                            bool includeSubfolders, const QByteArray& outputFolder) {
    GatheredInputs gathered;
    gathered.proposedDestination = ProposedDestinationOf(inputs, workingDirectory);
    // A tree's walk leaves out the folder the outputs go to, and the outputs of earlier runs.
    const QByteArray leftOut = outputFolder.isEmpty()
                                   ? gathered.proposedDestination
                                   : AbsoluteInputPath(outputFolder, workingDirectory);
    EntryList list(gathered);
    for (const QByteArray& input : inputs) {
        const QByteArray path = AbsoluteInputPath(input, workingDirectory);
        const InputKind kind = ClassifyInputPath(path);
        if (kind == InputKind::Folder) {
            list.takeFolder(path, includeSubfolders, leftOut);
        } else {
            list.takeFile(path, kind);
        }
    }
    return gathered;
}

GatheredInputs GatherInputs(const QStringList& inputs, const QString& workingDirectory,
                            bool includeSubfolders, const QString& outputFolder) {
    QByteArrayList names;
    for (const QString& input : inputs) names << QFile::encodeName(input);
    return GatherInputs(names, QFile::encodeName(workingDirectory), includeSubfolders,
                        QFile::encodeName(outputFolder));
}

RunControls ControlsForRequest(const CommandLineRequest& request, const GatheredInputs& inputs,
                               const QByteArray& destinationFolder, const RunChoices& choices) {
    RunControls controls;
    controls.entries = inputs.entries;
    controls.outputSubfolders = inputs.subfolders;
    controls.longestSide = request.longest.has_value();
    if (request.size) {
        controls.width = request.size->width();
        controls.height = request.size->height();
    }
    controls.longest = request.longest;
    if (!destinationFolder.isEmpty()) {
        controls.destinationFolder =
            destinationFolder.endsWith('/') ? destinationFolder : destinationFolder + '/';
    }
    const RunChoices requested = WithRequestedChoices(request, choices);
    controls.options = requested.conversion;
    controls.keepDates = requested.keepDates;
    return controls;
}

HeadlessRun::HeadlessRun(RunControls controls, GoOnPolicy afterFailure)
    : controls_(std::move(controls)), afterFailure_(afterFailure), driver_([this] {
          const std::lock_guard<std::mutex> lock(mutex_);
          signalled_ = true;
          resultReady_.notify_one();
      }) {}

QByteArray HeadlessRun::Upcoming() const {
    const int at = driver_.Position();
    return at < controls_.entries.size() ? controls_.entries.at(at) : QByteArray();
}

// A signal handler can only set the flag, so the wait looks at it often; a result wakes it at
// once.
bool HeadlessRun::waitForResult(const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    resultReady_.wait_for(lock, std::chrono::milliseconds(50), [this] { return signalled_; });
    signalled_ = false;
    return !stop.load();
}

HeadlessRun::Result HeadlessRun::interrupted(const QByteArray& entry) {
    Result result;
    result.step = Step::Interrupted;
    result.entry = entry;
    result.summary = driver_.Summary();
    driver_.Abandon();
    return result;
}

HeadlessRun::Result HeadlessRun::Next(const std::atomic<bool>& stop) {
    if (end_) return *end_;
    if (!begun_) {
        driver_.Start(controls_, afterFailure_);
        begun_ = true;
    }
    if (stop.load()) return interrupted(Upcoming());
    RunDriver::Report report = driver_.Tick(controls_);
    while (report.event == RunDriver::Event::Converting || report.event == RunDriver::Event::Idle) {
        if (!driver_.FileInHand()) break;
        if (!waitForResult(stop)) return interrupted(report.entry);
        const RunDriver::Report outcome = driver_.TakeOutcome(controls_.entries);
        if (outcome.event != RunDriver::Event::Idle) report = outcome;
    }
    Result result;
    result.entry = report.entry;
    result.outcome = report.outcome;
    result.summary = report.summary;
    result.notReached = report.notReached;
    const bool fileDone =
        report.event == RunDriver::Event::FileDone || report.event == RunDriver::Event::Question;
    result.step = fileDone ? Step::File : Step::Done;
    if (!fileDone && report.event != RunDriver::Event::Finished) result.summary = driver_.Summary();
    if (result.step == Step::File && report.runEnds) {
        end_ = result;
        end_->step = Step::Done;
    }
    return result;
}

}  // namespace kavenra
