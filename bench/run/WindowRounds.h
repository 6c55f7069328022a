#pragma once

// What the run benchmarks share: one run through the real main window, timed from the press of
// Start to the completion question, with the window's longest unserved gap and the peak memory
// of the image workers; and the small arithmetic of their figures.

#include <QString>

#include <atomic>
#include <thread>

#include <chrono>
#include <cstdint>
#include <vector>

namespace kavenra::testing {
class DatabaseFolder;
}

namespace kavenra::bench {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration);
double Median(std::vector<double> values);

// This process's resident memory in bytes.
std::uint64_t OwnResidentBytes();

struct RoundFigures {
    double wallMs = 0;
    double longestGapMs = 0;
    std::uint64_t peakBytes = 0;
    int taken = 0;
    int convertedAtTick = 0;
};

// Samples the memory of what converts every 20 ms and keeps the peak: for the run every image
// worker and its job process together, for the bare loop this process. Sparse enough to take
// next to nothing from the conversions.
class MemoryPeak {
  public:
    explicit MemoryPeak(bool workers) : workers_(workers), thread_([this] { sample(); }) {}
    ~MemoryPeak() { stop(); }
    std::uint64_t stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return peak_;
    }

  private:
    void sample();

    bool workers_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> peak_{0};
    std::thread thread_;
};

// The program's windows made as at a start, over a copy of the databases the program ships (so
// every text of a tick is a real lookup) in `databases`, with no update check on the network; the
// main window shown. False, with the reason printed, when that fails.
bool ShowProgramWindows(kavenra::testing::DatabaseFolder& databases);

// One run of the listed entries through the window into `outFolder` (emptied first), with the
// look-ahead on or off. Ends the process when the run does not complete.
RoundFigures WindowRound(const QString& outFolder, bool lookAhead);

}  // namespace kavenra::bench
