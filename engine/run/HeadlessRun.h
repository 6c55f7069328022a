#pragma once

// A run without a window, for `kavenra --resize`: the files and folders named on the command
// line become the list a drop would make, and the same run driver as the window's (RunDriver:
// its workers, its names, its look-ahead) converts them one after the other. The caller reads
// what each file came to as it comes, and may stop the run at any moment from a signal handler's
// flag.

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "engine/run/CommandLineRequest.h"
#include "engine/run/RunDriver.h"

namespace kavenra {

// A named file or folder that brings nothing to convert, or a file of a named folder left out.
struct RefusedInput {
    enum class Why {
        NotFound,         // nothing of that name (the empty name included)
        NotAnImage,       // a file whose content is no supported image (or no regular file)
        NoImageInFolder,  // a folder without one supported image directly inside it
        Unreadable,       // a file this process may not open for reading
    };
    QByteArray path;  // as an absolute path; the empty name stays empty
    Why why = Why::NotFound;
};

// The list a drop of the named items would make, in their order: the images named, the images
// directly inside the folders named (hidden ones not, in the byte order of their names), or with
// `includeSubfolders` those of the folders' whole trees (FilesInTree), each once; relative names
// against `workingDirectory`. A tree's walk leaves out the run's output folder: `outputFolder`
// when given (relative to `workingDirectory`), else the proposed destination.
struct GatheredInputs {
    QByteArrayList entries;
    // Entries from below a named folder: the subfolder they mirror under the destination.
    QHash<QByteArray, QByteArray> subfolders;
    // What was named and brings nothing, and the files of named folders that may not be read:
    // each a failure of the run.
    std::vector<RefusedInput> refused;
    // The files of named folders whose content is no supported picture, left out as a drop leaves
    // them out: the user named the folder, not them.
    std::vector<RefusedInput> skipped;
    // The folder the window would propose for the last item named: "RES/" inside a folder, or
    // beside a file. Ends in "/"; empty when only empty names were given.
    QByteArray proposedDestination;
};

GatheredInputs GatherInputs(const QByteArrayList& inputs, const QByteArray& workingDirectory,
                            bool includeSubfolders = false, const QByteArray& outputFolder = {});
// The same with names given as text.
GatheredInputs GatherInputs(const QStringList& inputs, const QString& workingDirectory,
                            bool includeSubfolders = false, const QString& outputFolder = {});

// The window's controls as the request states them: its size, the destination folder (ending in
// "/" once here), the choices as the request makes them of `choices` (WithRequestedChoices).
RunControls ControlsForRequest(const CommandLineRequest& request, const GatheredInputs& inputs,
                               const QByteArray& destinationFolder, const RunChoices& choices);

class HeadlessRun {
  public:
    // After a failure the run goes on, or with GoOnPolicy::Stop ends; nobody is there to ask.
    explicit HeadlessRun(RunControls controls, GoOnPolicy afterFailure = GoOnPolicy::GoOn);

    enum class Step {
        File,         // one entry is done: `entry` and `outcome` tell how
        Done,         // the run has ended, every entry done or (stopped after a failure)
                      // `notReached` left: `summary` tells what the run did
        Interrupted,  // stopped: `entry` was in hand and is abandoned; `summary` is what was done
    };
    struct Result {
        Step step = Step::Done;
        QByteArray entry;
        FileOutcome outcome;
        RunSummary summary;
        int notReached = 0;
    };

    // Converts the next entry and waits for its outcome. When `stop` turns true while it waits,
    // the file in hand is abandoned (nothing of it stays) and the run ends.
    Result Next(const std::atomic<bool>& stop);

    // The entry Next() takes next, and how many there are.
    int Position() const { return driver_.Position(); }
    int Entries() const { return static_cast<int>(controls_.entries.size()); }
    QByteArray Upcoming() const;
    // How long the entries from Upcoming() on should take; nothing before a file is done.
    std::optional<qint64> SecondsLeft() const { return driver_.SecondsLeft(Position(), Entries()); }

  private:
    bool waitForResult(const std::atomic<bool>& stop);
    Result interrupted(const QByteArray& entry);

    RunControls controls_;
    GoOnPolicy afterFailure_;
    std::mutex mutex_;
    std::condition_variable resultReady_;
    bool signalled_ = false;
    RunDriver driver_;
    bool begun_ = false;
    std::optional<Result> end_;  // the run's end, once a file's failure stopped it
};

}  // namespace kavenra
