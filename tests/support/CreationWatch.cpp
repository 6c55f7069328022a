#include "support/CreationWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>

namespace kavenra::testing {

CreationWatch::CreationWatch(const QString& folder, const QString& prefix,
                             std::function<void(const QString& path)> action)
    : folder_(folder), prefix_(QFile::encodeName(prefix)), action_(std::move(action)) {
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(inotify_, QFile::encodeName(folder).constData(), IN_CREATE);
    watcher_ = std::thread([this] { watch(); });
}

CreationWatch::~CreationWatch() {
    stop_ = true;
    watcher_.join();
    close(inotify_);
}

void CreationWatch::watch() {
    alignas(inotify_event) char buffer[4096];
    while (!stop_) {
        const ssize_t length = read(inotify_, buffer, sizeof buffer);
        if (length <= 0) {
            usleep(200);
            continue;
        }
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && QByteArray(event->name).startsWith(prefix_)) {
                action_(folder_ + QLatin1Char('/') + QFile::decodeName(event->name));
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

unsigned long long PendingSignals(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    unsigned long long pending = 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:")) {
            pending |= line.mid(7).trimmed().toULongLong(nullptr, 16);
        }
    }
    return pending;
}

}  // namespace kavenra::testing
