#pragma once

// A conversion in a lane's worker that runs while its owner goes on: the run's file in hand and
// the file prepared ahead.

#include <functional>
#include <memory>
#include <thread>

#include "engine/isolation/ImageWorker.h"

namespace kavenra {

// One conversion running in a lane's worker while its owner goes on. `finished` is called on the
// conversion's own thread once the result is there: hand it over to the owner's thread. An
// output that is never taken with Wait() is removed when the conversion is abandoned or
// destroyed.
class BackgroundConversion {
  public:
    BackgroundConversion(ConversionJob job, WorkerLane lane, std::function<void()> finished);
    ~BackgroundConversion();
    BackgroundConversion(const BackgroundConversion&) = delete;
    BackgroundConversion& operator=(const BackgroundConversion&) = delete;

    bool Done() const;
    // Blocks until Done(); the result stays to be taken with Wait().
    void WaitUntilDone();
    // Waits for the result and hands it over; the prepared output is then the caller's.
    IsolatedConversion Wait();
    // Stops the job if it still runs (its processes are ended and every temporary file it made is
    // removed) and discards an output not yet taken; returns once all that is done.
    void Abandon();

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace kavenra
