#pragma once

// Image files named by Qt paths: the bytes the file system and the engine take for a path, and
// the size an image file holds.

#include <QSize>
#include <QString>

#include <string>

namespace kavenra::test {

// A path as the engine and FreeImage take it: the file system's bytes.
std::string NativePath(const QString& path);

// The pixel size of an image file, or an invalid size when FreeImage cannot load it.
QSize ImageFileSize(const QString& path);

}  // namespace kavenra::test
