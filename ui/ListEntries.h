#pragma once

// The image list's entries as the file system names them. A file's name is a string of bytes
// that need not be UTF-8; the text a list shows cannot always say which bytes it came from
// (Qt shows every invalid byte as U+FFFD), so each entry keeps its path's exact bytes beside the
// readable text, and everything that opens, compares or converts an entry reads those.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <optional>

#include "engine/run/FolderFiles.h"

class QListWidget;
class QListWidgetItem;
class QUrl;

namespace kavenra {

// The path an entry names. An entry added as text alone (a list file's line) names the bytes
// that text encodes to.
QByteArray EntryPath(const QListWidgetItem& entry);

// Adds an entry for `path` at the end of `list`, shown in readable form. An image brought from
// below a dropped folder remembers the subfolder its output mirrors ("2024/june/"); one whose
// content was recognised remembers whether it is camera RAW.
void AppendEntry(QListWidget& list, const QByteArray& path, const QByteArray& subfolder = {},
                 std::optional<bool> cameraRaw = std::nullopt);

// Whether the entry's content was camera RAW when it was listed; nothing for an entry listed
// without a look at its content (a list file's line).
std::optional<bool> EntryIsCameraRaw(const QListWidgetItem& entry);

// The subfolder an entry's output mirrors; empty for one that goes straight into the destination.
QByteArray EntrySubfolder(const QListWidgetItem& entry);

// The row of the entry naming exactly `path`, or -1.
int EntryRow(const QListWidget& list, const QByteArray& path);

// The readable form of a path: invalid bytes shown as U+FFFD.
QString ShownPath(const QByteArray& path);

// The path a dropped address names. A local file's address carries its path percent-encoded
// byte for byte, whatever the bytes; any other address stays its text, which names no file.
QByteArray DroppedItemPath(const QUrl& url);

}  // namespace kavenra
