#pragma once

// What a folder named to the program brings: the files directly inside it, as the file system
// names them (bytes, not text: a name need not be UTF-8).

#include <QByteArray>
#include <QByteArrayList>

#include <vector>

namespace kavenra {

// True for a full path that names a folder (or a link to one).
bool IsFolderPath(const QByteArray& path);

// The regular files directly inside `folder`, links to them included, hidden ones not, as full
// paths in the byte order of their names, which no locale changes. Pipes, sockets and devices
// hold no image file and are left out. A folder that cannot be read brings nothing.
QByteArrayList FilesInFolder(const QByteArray& folder);

// A file of a folder's tree and the folder it lies in, relative to the tree's top: "" for the
// top itself, else the names down to it, each followed by "/" ("2024/june/").
struct TreeFile {
    QByteArray path;
    QByteArray subfolder;
};

// The files of FilesInFolder in `folder` and in every folder below it, each folder's own files
// before its subfolders', the subfolders in the byte order of their names. Hidden folders are
// left out, and so are links to folders: a tree walked through its links could hold itself, and a
// folder reached by two ways (a bind mount) is walked once. So is every folder below the top that
// is one of `outputFolders` (told by device and inode, however they are spelled), with everything
// under it: a run's destination inside the tree holds its earlier outputs, which a walk would
// bring back as inputs to write into themselves. The top itself is always walked.
std::vector<TreeFile> FilesInTree(const QByteArray& folder,
                                  const QByteArrayList& outputFolders = {});

// The files a folder dropped or named brings: with `includeSubfolders` those of its whole tree
// (FilesInTree, `outputFolders` left out), else those directly inside it (FilesInFolder).
std::vector<TreeFile> FilesOfFolder(const QByteArray& folder, bool includeSubfolders,
                                    const QByteArrayList& outputFolders);

}  // namespace kavenra
