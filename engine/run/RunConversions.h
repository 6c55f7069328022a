#pragma once

// The conversions of a batch run, off the window's thread: the file in hand, and the next few
// prepared ahead while it converts, both cores kept busy: each file goes to the lane with less
// work waiting, and each lane converts its files in list order. A file prepared ahead is taken only
// when everything its tick would use still holds (the same job, which holds the entry, the
// destination, the mode and sizes and the settings, and the same source file as stat sees it);
// its output stays under a temporary name until its own tick commits it. A failure met ahead is
// never taken: the entry converts again at its own tick, so the failure reported is the one a
// file-by-file run meets; only an output that would replace a source (below) fails at once, for
// that is decided at the commit, at the entry's own tick, as a file-by-file run decides it.
// Whatever a run abandons leaves no file behind.
//
// A run never replaces a file it wrote itself: two entries with one output name (photos of two
// cameras, or a RAW file and a JPEG of the same name) would otherwise leave only the last. The
// later output is committed as "name (n).ext" instead, with the lowest n from 2 whose name this
// run has not written; whatever held that name before the run is replaced, as files of the
// entries' own names are (the user was told so at Start). So the n-th entry of one name gets
// "(n)", and the same list run again into the same folder replaces the same files rather than
// adding copies. An entry whose own name is one this run gave to an earlier entry (a listed
// "a (2).jpg" after the second "a.jpg") is numbered in turn ("a (2) (2).jpg"); no file the run
// wrote is ever replaced. This is decided at the commit, in the order of the entries, so the
// look-ahead names files exactly as a file-by-file run does.
//
// A run never replaces a file it reads either: an output whose name (numbered or not) holds the
// source of its own conversion or of any entry of the run, listed before or after it, fails with
// ReplacesSource and leaves that file as it was. Files are told by device and inode, so that
// another spelling of the folder (".", a link to it, a relative path) or a hard link is the same
// file; a symbolic link at the output's name is replaced itself and so is no source unless it is
// listed.

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/ConversionJob.h"
#include "engine/isolation/BackgroundConversion.h"

namespace kavenra {

// A file as stat sees it (a symbolic link followed): enough to tell that it was replaced or
// written since.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;

    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
               a.size == b.size && a.modifiedNs == b.modifiedNs;
    }
    friend bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }
};

FileIdentity IdentityOf(const std::string& path);

// A file as the file system tells it apart from every other: its device and inode.
using FileKey = std::pair<dev_t, ino_t>;

// What an entry naming `path` reads: the file as stat sees it and, when `path` is a symbolic
// link, the link itself; nothing when nothing is there.
std::vector<FileKey> SourceKeysOf(const std::string& path);

// "name (n).ext" beside `path`: the number goes before the last extension of the file name, or
// after a name without one (a leading dot starts no extension). A name that would grow beyond
// 255 bytes loses the end of its stem, cut before a whole UTF-8 character (a name that is no
// UTF-8 is cut at the byte); an extension too long to leave room is cut with the stem.
std::string NumberedOutputPath(const std::string& path, int number);

// What became of one file of a run.
struct FileOutcome {
    bool committed = false;  // its output now stands under its name
    // Why it was not: what the conversion met, a save's own failure, or SourceGone when the
    // source is no longer the file it was when its conversion began; None when nothing tells.
    FailureReason reason = FailureReason::None;
    // Where it was written when a file this run wrote held its name (its numbered name); empty
    // otherwise.
    std::string renamedTo;
    // The path its output now stands under, whatever the name (a changed format's extension, a
    // numbered name); empty when nothing was committed.
    std::string writtenAs;
    // Written at the lowest quality, and still over the size budget.
    bool overBudget = false;
};

class RunConversions {
  public:
    // `resultReady` is called on a conversion's own thread whenever the file in hand may have a
    // result: hand it over to the owner's thread, which then asks TakeResult().
    explicit RunConversions(std::function<void()> resultReady);
    ~RunConversions();
    RunConversions(const RunConversions&) = delete;
    RunConversions& operator=(const RunConversions&) = delete;

    // A new run: files written before may be replaced again.
    void BeginRun();

    // The files the run reads (SourceKeysOf every entry), besides the source of each conversion,
    // which is always one: no output replaces any of them.
    void SetSources(std::set<FileKey> sources);

    // Converts `job` as the file in hand: the first one prepared ahead when it matches, else
    // afresh (everything prepared ahead is abandoned first). With `keepDates` its committed
    // output gets its source's modification time.
    void Begin(const ConversionJob& job, bool keepDates = false);

    // Prepares `jobs`, the entries that follow the file in hand in their order, ahead: those
    // already prepared or under way as the same job with their source unchanged go on, the
    // others start. Whatever was prepared ahead from the first job that no longer matches on is
    // abandoned.
    void PrepareAhead(const std::vector<ConversionJob>& jobs);
    void PrepareAhead(const ConversionJob& job) { PrepareAhead(std::vector<ConversionJob>{job}); }

    // The outcome of the file in hand once there is one. Empty while it still converts (also
    // when a failure met ahead made it start again). After an outcome, nothing is in hand.
    std::optional<FileOutcome> TakeResult();

    // Blocks until the file in hand has a result waiting to be taken.
    void WaitForFileInHand();

    bool HasFileInHand() const;
    // The files being prepared ahead, or prepared and waiting for their tick.
    std::size_t FilesAhead() const { return ahead_.size(); }
    // True once the file in hand has a result waiting to be taken.
    bool FileInHandFinished() const;

    // Ends the conversions of the files prepared ahead, and removes whatever they made.
    void AbandonAhead();
    // Ends every conversion at once and removes whatever they made.
    void AbandonAll();

    // Files whose prepared output was taken, and files converted at their own tick.
    int TakenFromAhead() const { return takenFromAhead_; }
    int ConvertedAtTick() const { return convertedAtTick_; }

  private:
    struct Conversion;
    std::unique_ptr<Conversion> start(const ConversionJob& job);
    bool stillHolds(const Conversion& conversion, const ConversionJob& job) const;
    WorkerLane leastBusyLane() const;
    void abandonAheadFrom(std::size_t first);
    std::optional<std::string> unwrittenTarget(const std::string& target) const;
    bool replacesSource(const std::string& target, const std::string& source) const;
    FileOutcome commit(const PreparedOutput& prepared, const std::string& source);

    std::function<void()> resultReady_;
    std::unique_ptr<Conversion> inHand_;
    bool keepDatesInHand_ = false;
    std::deque<std::unique_ptr<Conversion>> ahead_;  // in list order
    std::array<std::shared_ptr<LaneOrder>, 2> laneOrders_;
    int takenFromAhead_ = 0;
    int convertedAtTick_ = 0;
    // The files this run committed, as canonical paths: another spelling of a folder (relative,
    // through a link) names the same file.
    std::set<std::string> written_;
    std::set<FileKey> sources_;
};

}  // namespace kavenra
