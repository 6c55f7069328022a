#pragma once

// Looks at the image worker from outside, the way a test needs to: its job's process, whether a
// process has ended, what descriptors it holds; and environment settings the worker reads when
// it starts.

#include <sys/types.h>

#include <QByteArray>
#include <QList>

namespace kavenra::testing {

// The process running the worker's current job (its child); 0 when there is none.
pid_t ImageJobProcess(pid_t worker);

// True once `pid` has ended: gone, or a zombie nobody has reaped yet.
bool ProcessEnded(pid_t pid);
bool WaitForProcessEnd(pid_t pid, int timeoutMs);

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

}  // namespace kavenra::testing
