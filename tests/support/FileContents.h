#pragma once

// A whole file's bytes, read or written in one call.

#include <QByteArray>
#include <QString>

namespace kavenra::testing {

// The file's bytes; empty when it cannot be read.
QByteArray FileContents(const QString& path);

// Replaces the file's content with `bytes`, creating the file; false when not all were written.
bool WriteFileContents(const QString& path, const QByteArray& bytes);

}  // namespace kavenra::testing
