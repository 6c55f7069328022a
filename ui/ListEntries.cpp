#include "ui/ListEntries.h"

#include <QFile>
#include <QListWidget>
#include <QUrl>

namespace kavenra {

namespace {

constexpr int pathRole = Qt::UserRole;
constexpr int subfolderRole = Qt::UserRole + 1;
constexpr int cameraRawRole = Qt::UserRole + 2;
}  // namespace

QByteArray EntryPath(const QListWidgetItem& entry) {
    const QVariant path = entry.data(pathRole);
    return path.isValid() ? path.toByteArray() : QFile::encodeName(entry.text());
}

void AppendEntry(QListWidget& list, const QByteArray& path, const QByteArray& subfolder,
                 std::optional<bool> cameraRaw) {
    auto* entry = new QListWidgetItem(ShownPath(path));
    entry->setData(pathRole, path);
    if (!subfolder.isEmpty()) entry->setData(subfolderRole, subfolder);
    if (cameraRaw) entry->setData(cameraRawRole, *cameraRaw);
    list.addItem(entry);
}

std::optional<bool> EntryIsCameraRaw(const QListWidgetItem& entry) {
    const QVariant raw = entry.data(cameraRawRole);
    if (!raw.isValid()) return std::nullopt;
    return raw.toBool();
}

QByteArray EntrySubfolder(const QListWidgetItem& entry) {
    return entry.data(subfolderRole).toByteArray();
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

}  // namespace kavenra
