#include "engine/run/HeadlessRun.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include <chrono>
#include <set>
#include <utility>

#include "engine/run/BatchRun.h"
#include "engine/run/FolderFiles.h"
#include "engine/run/Procesosimagen.h"

namespace kavenra {
namespace {

bool Exists(const QByteArray& path) {
    struct stat status {};
    return lstat(path.constData(), &status) == 0;
}

bool IsImageFile(const QByteArray& path) {
    struct stat status {};
    return stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           IsSupportedImage(path.toStdString());
}

QByteArray AbsolutePath(const QString& input, const QString& workingDirectory) {
    return QFile::encodeName(QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(input)));
}

class EntryList {
  public:
    explicit EntryList(GatheredInputs& gathered) : gathered_(gathered) {}

    void takeFile(const QByteArray& path) {
        if (!Exists(path)) return refuse(path, RefusedInput::Why::NotFound);
        if (!IsImageFile(path)) return refuse(path, RefusedInput::Why::NotAnImage);
        add(path);
    }

    // Files that are no image are left out of a folder without a word, as from a drop.
    void takeFolder(const QByteArray& folder, bool includeSubfolders,
                    const QByteArray& outputFolder) {
        std::vector<TreeFile> files;
        if (includeSubfolders) {
            files = FilesInTree(folder, {outputFolder});
        } else {
            for (const QByteArray& file : FilesInFolder(folder)) files.push_back({file, {}});
        }
        bool any = false;
        for (const TreeFile& file : files) {
            if (!IsSupportedImage(file.path.toStdString())) continue;
            any = true;
            add(file.path, file.subfolder);
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

// The integer fields' text of a size the request states; a mode it does not use keeps them empty.
QString Number(int value) {
    return QString::number(value);
}

}  // namespace

GatheredInputs GatherInputs(const QStringList& inputs, const QString& workingDirectory,
                            bool includeSubfolders, const QString& outputFolder) {
    GatheredInputs gathered;
    if (!inputs.isEmpty()) {
        const QByteArray last = AbsolutePath(inputs.last(), workingDirectory);
        const QString shown = QFile::decodeName(last);
        gathered.proposedDestination =
            ProposedDestination(IsFolderPath(last) ? shown + QLatin1Char('/') : shown);
    }
    const QByteArray leftOut =
        QFile::encodeName(outputFolder.isEmpty() ? gathered.proposedDestination
                                                 : QDir(workingDirectory).filePath(outputFolder));
    EntryList list(gathered);
    for (const QString& input : inputs) {
        const QByteArray path = AbsolutePath(input, workingDirectory);
        if (IsFolderPath(path)) {
            list.takeFolder(path, includeSubfolders, leftOut);
        } else {
            list.takeFile(path);
        }
    }
    return gathered;
}

RunControls ControlsForRequest(const CommandLineRequest& request, const GatheredInputs& inputs,
                               const QString& destinationFolder, const FormatOptions& stored) {
    RunControls controls;
    controls.entries = inputs.entries;
    controls.outputSubfolders = inputs.subfolders;
    controls.longestSide = request.longest.has_value();
    controls.keepDimensions = request.keepRawSize;
    if (request.size) {
        controls.width = Number(request.size->width());
        controls.height = Number(request.size->height());
    }
    if (request.longest) controls.longestSideText = Number(*request.longest);
    controls.destination = OutputFolderText(destinationFolder);
    controls.entryCount = QString::number(inputs.entries.size());
    controls.codes = WithRequestedOptions(request, stored);
    return controls;
}

HeadlessRun::HeadlessRun(RunControls controls)
    : controls_(std::move(controls)), run_([this] {
          const std::lock_guard<std::mutex> lock(mutex_);
          signalled_ = true;
          resultReady_.notify_one();
      }) {}

QByteArray HeadlessRun::Upcoming() const {
    const int at = run_.Position();
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
    result.summary = run_.Summary();
    run_.Abandon();
    return result;
}

HeadlessRun::Result HeadlessRun::Next(const std::atomic<bool>& stop) {
    if (!begun_) {
        run_.Begin(controls_);
        begun_ = true;
    }
    if (stop.load()) return interrupted(Upcoming());
    ResizeRun::Tick tick = run_.TakeTick(controls_);
    Result result;
    result.entry = tick.entry;
    switch (tick.step) {
        case ResizeRun::Step::Busy:
        case ResizeRun::Step::Converting:
            break;
        case ResizeRun::Step::Complete:
            result.step = Step::Done;
            result.summary = std::move(tick.summary);
            return result;
        case ResizeRun::Step::Failed:
            result.step = Step::File;
            result.outcome = tick.outcome;
            return result;
    }
    for (;;) {
        if (std::optional<FileOutcome> outcome = run_.TakeOutcome()) {
            result.step = Step::File;
            result.outcome = std::move(*outcome);
            return result;
        }
        if (!waitForResult(stop)) return interrupted(result.entry);
    }
}

}  // namespace kavenra
