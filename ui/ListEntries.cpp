#include "ui/ListEntries.h"

#include <QFile>
#include <QListWidget>
#include <QUrl>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace kavenra {

namespace {

constexpr int pathRole = Qt::UserRole;

struct FolderCloser {
    void operator()(DIR* folder) const { closedir(folder); }
};
using FolderHandle = std::unique_ptr<DIR, FolderCloser>;

bool isRegularFile(const QByteArray& path) {
    struct stat status {};
    return stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// The folder as the start of the paths inside it, whether or not it came with a final "/".
QByteArray folderPrefix(const QByteArray& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

}  // namespace

QByteArray EntryPath(const QListWidgetItem& entry) {
    const QVariant path = entry.data(pathRole);
    return path.isValid() ? path.toByteArray() : QFile::encodeName(entry.text());
}

void AppendEntry(QListWidget& list, const QByteArray& path) {
    auto* entry = new QListWidgetItem(ShownPath(path));
    entry->setData(pathRole, path);
    list.addItem(entry);
}

int EntryRow(const QListWidget& list, const QByteArray& path) {
    for (int row = 0; row < list.count(); ++row) {
        if (EntryPath(*list.item(row)) == path) return row;
    }
    return -1;
}

QString ShownPath(const QByteArray& path) {
    return QFile::decodeName(path);
}

QByteArray DroppedItemPath(const QUrl& url) {
    if (!url.isLocalFile()) return url.toString().toUtf8();
    // A file on another host keeps the form Qt gives it, which names no local path either.
    if (!url.host().isEmpty()) return QFile::encodeName(url.toLocalFile());
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

bool IsFolderPath(const QByteArray& path) {
    struct stat status {};
    return path.startsWith('/') && stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QByteArrayList FilesInFolder(const QByteArray& folder) {
    QByteArrayList names;
    if (const FolderHandle listing{opendir(folder.constData())}) {
        while (const dirent* item = readdir(listing.get())) {
            if (item->d_name[0] != '.') names << QByteArray(item->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    const QByteArray prefix = folderPrefix(folder);
    QByteArrayList files;
    for (const QByteArray& name : names) {
        if (isRegularFile(prefix + name)) files << prefix + name;
    }
    return files;
}

}  // namespace kavenra
