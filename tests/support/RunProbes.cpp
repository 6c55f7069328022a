#include "support/RunProbes.h"

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QThread>

namespace kavenra::testing {
namespace {

// The fields of /proc/<pid>/stat after the name, which may hold blanks and parentheses: [0] is
// the state, [1] the parent, [11] and [12] the user and system time in clock ticks.
QList<QByteArray> StatFields(pid_t pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray stat = file.readAll();
    const int nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0) return {};
    return stat.mid(nameEnd + 2).trimmed().split(' ');
}

bool Alive(const QList<QByteArray>& fields) {
    return !fields.isEmpty() && !fields[0].isEmpty() && fields[0][0] != 'Z' && fields[0][0] != 'X';
}

QList<pid_t> ChildrenOf(pid_t parent) {
    QList<pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toLongLong(&number));
        if (!number) continue;
        const QList<QByteArray> fields = StatFields(pid);
        if (fields.size() > 1 && Alive(fields) && fields[1].toLongLong() == parent) {
            children << pid;
        }
    }
    return children;
}

// -1 once the process has ended.
qint64 ProcessorTicks(pid_t pid) {
    const QList<QByteArray> fields = StatFields(pid);
    if (fields.size() <= 12 || !Alive(fields)) return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

// Clock ticks are 10 ms; a job process that only started in the sample may be charged one.
constexpr qint64 kTicksOfWork = 2;

}  // namespace

QMap<QString, QByteArray> FolderContents(const QString& root) {
    QMap<QString, QByteArray> contents;
    const QDir base(root);
    QDirIterator entries(root,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry = entries.nextFileInfo();
        const QString relative = base.relativeFilePath(entry.filePath());
        if (entry.isDir() && !entry.isSymLink()) {
            contents.insert(relative + QLatin1Char('/'), QByteArray());
            continue;
        }
        QFile file(entry.filePath());
        contents.insert(
            relative, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
    }
    return contents;
}

QStringList TemporaryOutputsUnder(const QString& root) {
    QStringList temporary;
    const QList<QString> paths = FolderContents(root).keys();
    for (const QString& path : paths) {
        const QString name = path.section(QLatin1Char('/'), -1);
        if (name.startsWith(QLatin1String(".kavenra-")) && name.endsWith(QLatin1String(".part"))) {
            temporary << path;
        }
    }
    return temporary;
}

QList<pid_t> ImageJobProcesses() {
    QList<pid_t> jobs;
    for (const pid_t worker : ChildrenOf(getpid())) jobs << ChildrenOf(worker);
    return jobs;
}

QList<pid_t> ImageJobsAtWork(int sampleMs) {
    QHash<pid_t, qint64> before;
    for (const pid_t job : ImageJobProcesses()) before.insert(job, ProcessorTicks(job));
    QThread::msleep(static_cast<unsigned long>(sampleMs));
    QList<pid_t> atWork;
    for (const pid_t job : ImageJobProcesses()) {
        const qint64 ticks = ProcessorTicks(job);
        if (ticks >= 0 && ticks - before.value(job, 0) >= kTicksOfWork) atWork << job;
    }
    return atWork;
}

}  // namespace kavenra::testing
