#pragma once

// What a folder named to the program brings: the files directly inside it, as the file system
// names them (bytes, not text: a name need not be UTF-8).

#include <QByteArray>
#include <QByteArrayList>

namespace kavenra {

// True for a full path that names a folder (or a link to one).
bool IsFolderPath(const QByteArray& path);

// The regular files directly inside `folder`, links to them included, hidden ones not, as full
// paths in the byte order of their names, which no locale changes. Pipes, sockets and devices
// hold no image file and are left out. A folder that cannot be read brings nothing.
QByteArrayList FilesInFolder(const QByteArray& folder);

}  // namespace kavenra
