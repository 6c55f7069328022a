#pragma once

// The batch run: where it stands in the list, the file in hand and the one prepared ahead, what
// each tick does. The main window hands it, at Start and at every tick, what its controls say at
// that moment (RunControls), and shows what comes back; it decides nothing of the run itself.
//
// Each tick reads the controls anew, so a change to the list, the sizes, the mode, the
// destination or the options made during a run applies from the next file on; a file prepared
// ahead is taken only when its tick would have asked for exactly the same conversion
// (RunConversions.h).

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/ConversionJob.h"
#include "engine/run/BatchRun.h"
#include "engine/run/RunConversions.h"

namespace kavenra {

// What the main window's controls say at one moment, as numbers and paths.
struct RunControls {
    QByteArrayList entries;    // the image list, in its order: each path's exact bytes
    bool longestSide = false;  // the longest-side box
    // The size fields' numbers; empty when the field holds no 32-bit integer at this moment.
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> height;
    std::optional<std::int32_t> longest;
    // The destination folder's path, ending in "/"; empty when the field names none.
    QByteArray destinationFolder;
    // The options dialog's choices, with the keep-RAW-dimensions box in the conversion's.
    ConversionOptions options;
    bool keepDates = false;
    // Entries brought by a folder's subfolders: the folder they mirror under the destination
    // ("2024/june/"). An entry without one goes straight into the destination.
    QHash<QByteArray, QByteArray> outputSubfolders;
};

// The conversion an entry asks for under `controls`: inside the destination folder, the entry's
// subfolder, if any, and its file name (its bytes as they are, valid UTF-8 or not), the mode
// chosen from the boxes, the size fields' numbers. Empty when there is no destination or a field
// the mode reads holds no number at this moment (emptied or edited during the run).
std::optional<ConversionJob> JobForEntry(const QByteArray& entry, const RunControls& controls);

// What a run did to the entries it could not write under their own name, in list order: the
// completion message tells how many and which.
struct RunSummary {
    struct Failure {
        QByteArray entry;
        FailureReason reason = FailureReason::None;
    };
    struct Renaming {
        QByteArray entry;
        std::string writtenAs;  // the path of the file written instead
    };
    int entries = 0;  // entries the run went through
    std::vector<Failure> failures;
    std::vector<Renaming> renamings;
    std::vector<QByteArray> overBudget;  // written, but over the size budget

    int written() const { return entries - static_cast<int>(failures.size()); }
    bool allAsAsked() const { return failures.empty() && renamings.empty() && overBudget.empty(); }
};

class ResizeRun {
  public:
    // `resultReady` is called on a conversion's own thread whenever the file in hand may have a
    // result: hand it over to the window's thread, which then calls TakeOutcome().
    explicit ResizeRun(std::function<void()> resultReady);

    // A new run from the first entry: files written before may be replaced again. Returns the mode
    // whose checks Start applied.
    RunMode Begin(const RunControls& controls);

    // What one tick did.
    enum class Step {
        Busy,        // a file is still in hand: nothing was done
        Complete,    // every entry is done: the run has ended and stands at the first entry again;
                     // `summary` tells what it did
        Converting,  // the entry at Position() is converting: its outcome comes to TakeOutcome()
        Failed,      // the entry at the old position failed at once (no job): see `outcome`
    };
    struct Tick {
        Step step = Step::Busy;
        QByteArray entry;     // the entry taken, for Converting and Failed
        FileOutcome outcome;  // for Failed
        RunSummary summary;   // for Complete
    };
    Tick TakeTick(const RunControls& controls);

    // The outcome of the file in hand once it has one; the run then stands at the next entry, and
    // a next tick goes on with it. A failure abandons whatever was prepared ahead: the user is
    // asked first whether to go on. Empty while the file still converts. Every entry of the list
    // is a file the run reads, which no output replaces (RunConversions.h): the list as the last
    // tick read it, or as `entries` has it now, entries added since included.
    std::optional<FileOutcome> TakeOutcome();
    std::optional<FileOutcome> TakeOutcome(const QByteArrayList& entries);

    // Ends the run at once: every conversion stops, whatever it made is removed, and the run stands
    // at the first entry again.
    void Abandon();

    // The list position of the next entry to convert; 0 whenever no run is going.
    int Position() const { return position_; }
    bool FileInHand() const { return conversions_.HasFileInHand(); }

    // Off, every entry converts at its own tick only; on (the default), the next entries are
    // prepared while one converts: enough to keep both lanes at work when files are small, where
    // the handing over of one file's result takes about as long as a conversion.
    static constexpr std::size_t kFilesPreparedAhead = 3;
    void SetLookAhead(bool on);
    const RunConversions& Conversions() const { return conversions_; }

    // What the run has done so far.
    const RunSummary& Summary() const { return summary_; }

  private:
    void prepareAhead(const RunControls& controls);
    void noteSources(const QByteArrayList& entries);
    void record(const QByteArray& entry, const FileOutcome& outcome);

    RunConversions conversions_;
    int position_ = 0;
    bool lookAhead_ = true;
    QByteArray entryInHand_;
    RunSummary summary_;
    // The entries the run's sources were last taken from, and what each one reads.
    QByteArrayList sourceEntries_;
    QHash<QByteArray, std::vector<FileKey>> sourceKeys_;
};

}  // namespace kavenra
