#pragma once

// What a batch run leaves in its folders and keeps running, looked at from outside the window:
// the files under a folder (hidden ones included, so a forgotten temporary output shows), and
// the image worker's job processes with the ones at work among them. A job process that waits
// for its next job uses no processor time; one that converts does.

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kavenra::testing {

// Everything under `root` by its path relative to `root`, hidden entries included: a file maps
// to its bytes, a folder (its path ending in "/") to an empty value.
QMap<QString, QByteArray> FolderContents(const QString& root);

// The temporary outputs (".kavenra-*.part") under `root`, by relative path.
QStringList TemporaryOutputsUnder(const QString& root);

// The job processes of this program's image workers, whatever their lane.
QList<pid_t> ImageJobProcesses();

// The job processes that used processor time while this thread slept `sampleMs` (without
// serving events). One that ended meanwhile is not among them.
QList<pid_t> ImageJobsAtWork(int sampleMs = 300);

}  // namespace kavenra::testing
