#pragma once

// Acts the moment a file appears in a folder: what a test needs to catch a save in the middle,
// while its temporary file exists.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

namespace kavenra::testing {

// Calls `action` on a thread of its own with the path of every entry created in `folder` whose
// name starts with `prefix`, from construction until destruction.
class CreationWatch {
  public:
    CreationWatch(const QString& folder, const QString& prefix,
                  std::function<void(const QString& path)> action);
    ~CreationWatch();
    CreationWatch(const CreationWatch&) = delete;
    CreationWatch& operator=(const CreationWatch&) = delete;

  private:
    void watch();

    QString folder_;
    QByteArray prefix_;
    std::function<void(const QString&)> action_;
    int inotify_ = -1;
    std::atomic<bool> stop_{false};
    std::thread watcher_;
};

// The set bits of a process's pending signals (shared and its own), 0 when it is gone.
unsigned long long PendingSignals(pid_t pid);

}  // namespace kavenra::testing
