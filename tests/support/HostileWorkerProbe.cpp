#include "support/HostileWorkerProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>
#include <algorithm>

#include <unistd.h>

#include "engine/isolation/ImageWorker.h"

namespace kavenra::testing {
namespace {

// State and parent of a process from /proc/<pid>/stat; the name field may hold blanks and
// parentheses, so the fields are taken after its last ")".
bool ReadStat(pid_t pid, char& state, pid_t& parent) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray stat = file.readAll();
    const int nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0) return false;
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    if (fields.size() < 2 || fields[0].isEmpty()) return false;
    state = fields[0][0];
    parent = static_cast<pid_t>(fields[1].toLongLong());
    return true;
}

}  // namespace

pid_t ImageJobProcess(pid_t worker) {
    if (worker <= 0) return 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toLongLong(&number));
        char state = 0;
        pid_t parent = 0;
        if (number && ReadStat(pid, state, parent) && parent == worker && state != 'Z') {
            return pid;
        }
    }
    return 0;
}

bool ProcessEnded(pid_t pid) {
    char state = 0;
    pid_t parent = 0;
    return !ReadStat(pid, state, parent) || state == 'Z' || state == 'X';
}

bool WaitForProcessEnd(pid_t pid, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!ProcessEnded(pid)) {
        if (clock.elapsed() > timeoutMs) return false;
        QThread::msleep(2);
    }
    return true;
}

bool WaitForProcessStop(pid_t pid, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        char state = 0;
        pid_t parent = 0;
        if (!ReadStat(pid, state, parent) || state == 'Z' || state == 'X') return false;
        if (state == 'T') return true;
        if (clock.elapsed() > timeoutMs) return false;
        QThread::msleep(1);
    }
}

pid_t WaitForStoppedImageJob(const std::function<pid_t()>& worker, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    do {
        const pid_t parentOfJob = worker();
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString& entry : entries) {
            bool number = false;
            const pid_t pid = static_cast<pid_t>(entry.toLongLong(&number));
            char state = 0;
            pid_t parent = 0;
            if (number && parentOfJob > 0 && ReadStat(pid, state, parent) &&
                parent == parentOfJob && state == 'T') {
                return pid;
            }
        }
        // The job reaches its save only if the program's own events go on meanwhile.
        QTest::qWait(2);
    } while (clock.elapsed() <= timeoutMs);
    return 0;
}

QList<int> OpenDescriptors(pid_t pid) {
    QList<int> descriptors;
    const QStringList entries =
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries) descriptors << entry.toInt();
    std::sort(descriptors.begin(), descriptors.end());
    return descriptors;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const QByteArray& value, bool restartWorker)
    : name_(name),
      previous_(qgetenv(name)),
      wasSet_(qEnvironmentVariableIsSet(name)),
      restartWorker_(restartWorker) {
    if (value.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, value);
    }
    if (restartWorker_) StopImageWorker();
}

ScopedEnvironment::~ScopedEnvironment() {
    if (wasSet_) {
        qputenv(name_.constData(), previous_);
    } else {
        qunsetenv(name_.constData());
    }
    if (restartWorker_) StopImageWorker();
}

namespace {

QString SaveHoldFlag() {
    return QDir::temp().filePath(QStringLiteral("kavenra-save-hold-%1").arg(getpid()));
}

}  // namespace

void LoadSaveHoldIntoWorkers() {
    qputenv("LD_PRELOAD", KAVENRA_TEST_SAVE_HOLD);
    qputenv("KAVENRA_TEST_SAVE_HOLD_FLAG", QFile::encodeName(SaveHoldFlag()));
    StopImageWorker();
}

SaveHold::SaveHold() {
    QFile flag(SaveHoldFlag());
    if (!flag.open(QIODevice::WriteOnly))
        qWarning("cannot hold saves: %s", qPrintable(flag.fileName()));
}

SaveHold::~SaveHold() {
    QFile::remove(SaveHoldFlag());
}

}  // namespace kavenra::testing
