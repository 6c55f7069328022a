#pragma once

// Drops as the desktop delivers them: a drag enter, a drag move and a drop with URLs in their
// MIME data, sent to the top-level window's platform window at the place of a given control.
// Qt then finds the drop target under that place exactly as for a drag from a file manager, so a
// child that accepted drops itself would take the drop away from the window.

#include <QByteArrayList>
#include <QList>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace kavenra::testing {

struct DropResult {
    bool entered = false;                      // the drag enter was accepted
    bool dropped = false;                      // the drop was accepted
    Qt::DropAction action = Qt::IgnoreAction;  // the action reported back to the source
};

// Drops `urls` on the centre of `over` (any visible widget of a shown window), offering copy,
// move and link, with the addresses as text/uri-list and as plain text, as a file manager does.
DropResult DropUrls(QWidget* over, const QList<QUrl>& urls);

// The same with local files (or folders), in the given order.
DropResult DropFiles(QWidget* over, const QStringList& paths);

// The address a file manager gives a local path named by its bytes, UTF-8 or not: each byte
// that an address cannot hold as it is comes percent-encoded.
QUrl LocalFileUrl(const QByteArray& path);

// Drops local files (or folders) named by their bytes, in the given order.
DropResult DropPaths(QWidget* over, const QByteArrayList& paths);

}  // namespace kavenra::testing
