#pragma once

// Looks at the image worker from outside, the way a test needs to: its job's process, whether a
// process has ended, what descriptors it holds; and environment settings the worker reads when
// it starts.

#include <sys/types.h>

#include <QByteArray>
#include <QList>

#include <functional>

namespace kavenra::testing {

// The process running the worker's current job (its child); 0 when there is none.
pid_t ImageJobProcess(pid_t worker);

// True once `pid` has ended: gone, or a zombie nobody has reaped yet.
bool ProcessEnded(pid_t pid);
bool WaitForProcessEnd(pid_t pid, int timeoutMs);

// Waits until `pid` is stopped by a signal; false when it ended instead or `timeoutMs` passed.
bool WaitForProcessStop(pid_t pid, int timeoutMs);

// Waits until a job process of the worker that `worker` names (asked anew each time: the worker
// may be restarted meanwhile) is stopped by a signal, and returns it; 0 when `timeoutMs` passed.
// The event loop runs meanwhile.
// A job that ended before, not yet gone, is no answer.
pid_t WaitForStoppedImageJob(const std::function<pid_t()>& worker, int timeoutMs);

// The descriptor numbers `pid` holds open, sorted.
QList<int> OpenDescriptors(pid_t pid);

// Sets (or, with a null value, removes) an environment variable for its lifetime. With
// `restartWorker` the image worker is stopped on both ends, so that the next call starts one
// that reads the variable.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const QByteArray& value, bool restartWorker = false);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    QByteArray name_;
    QByteArray previous_;
    bool wasSet_;
    bool restartWorker_;
};

// Saves held at their temporary file (tests/preload): after LoadSaveHoldIntoWorkers, which
// restarts the worker (call it before the worker's first start, e.g. in initTestCase), the job of
// a save that runs while a SaveHold lives stops itself the moment its temporary output file has
// its permissions, before writing to it, until it gets SIGCONT. Find the job with
// ImageJobProcess and wait for WaitForProcessStop before looking.
void LoadSaveHoldIntoWorkers();

class SaveHold {
  public:
    SaveHold();
    ~SaveHold();
    SaveHold(const SaveHold&) = delete;
    SaveHold& operator=(const SaveHold&) = delete;
};

}  // namespace kavenra::testing
