#include "engine/run/FolderFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

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

// The names in `folder`, hidden ones not, in byte order.
QByteArrayList VisibleNames(const QByteArray& folder) {
    QByteArrayList names;
    if (const FolderHandle listing{opendir(folder.constData())}) {
        while (const dirent* item = readdir(listing.get())) {
            if (item->d_name[0] != '.') names << QByteArray(item->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A folder itself, not a link to one.
bool IsRealFolder(const QByteArray& path, struct stat& status) {
    return lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

using FolderIdentity = std::pair<dev_t, ino_t>;

// `walked` starts with the folders that are left out.
void WalkTree(const QByteArray& folder, const QByteArray& subfolder,
              std::set<FolderIdentity>& walked, std::vector<TreeFile>& files) {
    struct stat status {};
    if (stat(folder.constData(), &status) != 0 ||
        (!walked.insert({status.st_dev, status.st_ino}).second && !subfolder.isEmpty())) {
        return;
    }
    for (const QByteArray& file : FilesInFolder(folder)) files.push_back({file, subfolder});
    const QByteArray prefix = folderPrefix(folder);
    for (const QByteArray& name : VisibleNames(folder)) {
        struct stat inner {};
        if (IsRealFolder(prefix + name, inner)) {
            WalkTree(prefix + name, subfolder + name + '/', walked, files);
        }
    }
}

}  // namespace

std::vector<TreeFile> FilesInTree(const QByteArray& folder, const QByteArrayList& outputFolders) {
    std::set<FolderIdentity> walked;
    for (const QByteArray& output : outputFolders) {
        struct stat status {};
        if (!output.isEmpty() && stat(output.constData(), &status) == 0 &&
            S_ISDIR(status.st_mode)) {
            walked.insert({status.st_dev, status.st_ino});
        }
    }
    std::vector<TreeFile> files;
    WalkTree(folder, QByteArray(), walked, files);
    return files;
}

bool IsFolderPath(const QByteArray& path) {
    struct stat status {};
    return path.startsWith('/') && stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QByteArrayList FilesInFolder(const QByteArray& folder) {
    const QByteArrayList names = VisibleNames(folder);
    const QByteArray prefix = folderPrefix(folder);
    QByteArrayList files;
    for (const QByteArray& name : names) {
        if (isRegularFile(prefix + name)) files << prefix + name;
    }
    return files;
}

std::vector<TreeFile> FilesOfFolder(const QByteArray& folder, bool includeSubfolders,
                                    const QByteArrayList& outputFolders) {
    if (includeSubfolders) return FilesInTree(folder, outputFolders);
    std::vector<TreeFile> files;
    for (const QByteArray& file : FilesInFolder(folder)) files.push_back({file, {}});
    return files;
}

}  // namespace kavenra
