#pragma once

// A conversion in a lane's worker that runs while its owner goes on: the run's file in hand and
// the files prepared ahead.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "engine/isolation/ImageWorker.h"

namespace kavenra {

// The conversions started on one lane, served in the order they were started: each runs once
// those before it have ended or were abandoned. The file a run needs first is then converted
// first, and a conversion waiting for its turn has not yet reserved any memory, so files queued
// behind a large one never hold memory another lane could use.
class LaneOrder {
  public:
    // A place at the end of the line.
    std::uint64_t Join();
    // Blocks until every place before `place` has left, or until `abandoned` is true (then
    // false). Wake() makes a waiter look at `abandoned` again.
    bool AwaitTurn(std::uint64_t place, const std::atomic<bool>& abandoned);
    // `place` is done with the lane, whether it had its turn or not.
    void Leave(std::uint64_t place);
    void Wake();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t nextPlace_ = 0;
    std::uint64_t serving_ = 0;
    std::set<std::uint64_t> leftEarly_;  // places behind `serving_` that left before their turn
};

// One conversion running in a lane's worker while its owner goes on. `finished` is called on the
// conversion's own thread once the result is there: hand it over to the owner's thread. An
// output that is never taken with Wait() is removed when the conversion is abandoned or
// destroyed. With an `order`, the conversion waits for its turn on the lane first.
class BackgroundConversion {
  public:
    BackgroundConversion(ConversionJob job, WorkerLane lane, std::function<void()> finished,
                         std::shared_ptr<LaneOrder> order = nullptr);
    ~BackgroundConversion();
    BackgroundConversion(const BackgroundConversion&) = delete;
    BackgroundConversion& operator=(const BackgroundConversion&) = delete;

    bool Done() const;
    // Blocks until Done(); the result stays to be taken with Wait().
    void WaitUntilDone();
    // Waits for the result and hands it over; the prepared output is then the caller's.
    IsolatedConversion Wait();
    // Stops the job if it still runs or waits for its turn (its processes are ended and every
    // temporary file it made is removed) and discards an output not yet taken; returns once all
    // that is done.
    void Abandon();

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace kavenra
