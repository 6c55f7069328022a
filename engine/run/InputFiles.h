#pragma once

// What a path named to the program holds, told apart the way its user needs to hear it: a file
// that is not there, one that may not be read, one whose content is no picture the program reads,
// or a picture. Paths are bytes, as the file system names them; none need be UTF-8.

#include <QByteArray>

namespace kavenra {

enum class InputKind {
    Image,       // a regular file (or a link to one) whose content is a supported picture
    Folder,      // a folder, or a link to one
    NotFound,    // nothing of that name (a dangling link, an empty or relative name included)
    Unreadable,  // a regular file that this process may not open for reading
    NotAnImage,  // anything else: other content, a pipe, a device, a socket
};

// By content, through the image worker; `path` is absolute. A file that cannot be opened is told
// as such, rather than as no picture: its content was never seen. `cameraRaw`, when given, tells
// whether the picture is camera RAW, from the same look at its content.
InputKind ClassifyInputPath(const QByteArray& path, bool* cameraRaw = nullptr);

// `input` against `workingDirectory` when relative, with ".", ".." and doubled separators gone
// (symbolic links kept as named), byte for byte. The empty name stays empty: it names nothing,
// and made absolute it would name the working directory itself.
QByteArray AbsoluteInputPath(const QByteArray& input, const QByteArray& workingDirectory);

// The process's working directory as the system names it; empty when it cannot tell.
QByteArray WorkingDirectoryPath();

}  // namespace kavenra
