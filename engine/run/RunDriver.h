#pragma once

// One batch run, as the main window and the command line both drive it: the loop over the list
// (ResizeRun: the ticks, the look-ahead, the outputs' names), what happens after a file fails,
// the summary and the progress. The caller hands it the controls at each tick and each outcome's
// arrival, and shows what it reports; it decides nothing of the run itself. A question the run
// asks (go on after a failure?) is a report like any other, which the caller answers.

#include <QByteArray>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <optional>

#include "engine/run/ResizeRun.h"

namespace kavenra {

// What the run does once a file has failed.
enum class GoOnPolicy {
    Ask,   // it holds and asks the caller (Report::Event::Question), who answers with Answer()
    GoOn,  // it goes on with the next entry
    Stop,  // it ends after that file; the entries not reached are counted
};

// A summary names this many files of each kind, and counts the rest.
constexpr int kNamesShown = 5;

struct ShownNames {
    QStringList names;  // the first kNamesShown
    int more = 0;       // those left unnamed
};
ShownNames NamesToShow(const QStringList& all);

class RunDriver {
  public:
    // `resultReady` is called on a conversion's own thread whenever the file in hand may have a
    // result: hand it over to the caller's thread, which then calls TakeOutcome().
    explicit RunDriver(std::function<void()> resultReady);

    // A new run from the first entry, its progress timed from now. Returns the mode whose checks
    // Start applied.
    RunMode Start(const RunControls& controls, GoOnPolicy policy);

    enum class Event {
        Idle,        // nothing came of it: a file is still in hand, a question waits for its
                     // answer, no run is going, or (after Answer) the run goes on
        Converting,  // `entry` went to the workers; its outcome comes to TakeOutcome()
        FileDone,    // `entry` came to `outcome`
        Question,    // `entry` failed (`outcome`): the run holds until Answer()
        Finished,    // the run has ended, complete or stopped: see `summary` and `notReached`
    };
    struct Report {
        Event event = Event::Idle;
        QByteArray entry;
        FileOutcome outcome;
        int position = 0;  // the list position of `entry`
        int entries = 0;   // the entries listed when the run last read the controls
        // For Finished, and for a FileDone after which the run ends (`runEnds`).
        bool runEnds = false;
        RunSummary summary;
        int notReached = 0;  // entries a stopped run left undone
    };

    // One tick: the next entry as the controls say now, or the end of the run.
    Report Tick(const RunControls& controls);

    // The outcome of the file in hand once it has one (Idle until then). Entries listed since the
    // tick count among the files the run reads, which no output replaces.
    Report TakeOutcome(const QByteArrayList& entries);

    // The answer to a Question: going on gives Idle (the next tick takes the next entry);
    // stopping gives Finished, counting as not reached what `entries` lists beyond the run.
    Report Answer(bool goOn, int entries);

    // Ends the run at once: every conversion stops and whatever it made is removed. The summary
    // of what was done before stays readable until the next Start.
    void Abandon();

    // What the run has done so far, as its summary would say it.
    const RunSummary& Summary() const { return summarySoFar_; }
    bool Going() const { return going_; }
    bool AwaitsAnswer() const { return awaitsAnswer_; }
    bool FileInHand() const { return run_.FileInHand(); }
    int Position() const { return run_.Position(); }

    // How long the entries from `position` on should take, judged from those done.
    std::optional<qint64> SecondsLeft(int position, int entries) const;

    void SetLookAhead(bool on) { run_.SetLookAhead(on); }
    const RunConversions& Conversions() const { return run_.Conversions(); }

  private:
    Report afterFile(const QByteArray& entry, const FileOutcome& outcome, int entries);
    Report finished(int entries);

    ResizeRun run_;
    GoOnPolicy policy_ = GoOnPolicy::Ask;
    bool going_ = false;
    bool awaitsAnswer_ = false;
    bool endAtNextTick_ = false;
    int entriesSeen_ = 0;
    QByteArray entryInHand_;
    RunSummary summarySoFar_;
    QElapsedTimer clock_;
};

}  // namespace kavenra
