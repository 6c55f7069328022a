#include "engine/run/FolderFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace kavenra {

namespace {

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
