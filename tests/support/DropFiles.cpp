#include "support/DropFiles.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>
#include <QWindow>

namespace kavenra::testing {

DropResult DropUrls(QWidget* over, const QList<QUrl>& urls) {
    DropResult result;
    QWidget* topLevel = over->window();
    QWindow* platformWindow = topLevel->windowHandle();
    if (!platformWindow) return result;

    // File managers offer the addresses as plain text too, which fields would gladly take.
    QMimeData data;
    data.setUrls(urls);
    QStringList lines;
    for (const QUrl& url : urls) lines << url.toString();
    data.setText(lines.join(QLatin1Char('\n')));
    const QPointF position = over->mapTo(topLevel, over->rect().center());
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

    QDragEnterEvent enter(position.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(platformWindow, &enter);
    result.entered = enter.isAccepted();
    if (!result.entered) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(platformWindow, &leave);
        return result;
    }
    QDragMoveEvent move(position.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(platformWindow, &move);

    QDropEvent drop(position, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(platformWindow, &drop);
    result.dropped = drop.isAccepted();
    result.action = drop.dropAction();
    return result;
}

DropResult DropFiles(QWidget* over, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    return DropUrls(over, urls);
}

QUrl LocalFileUrl(const QByteArray& path) {
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

DropResult DropPaths(QWidget* over, const QByteArrayList& paths) {
    QList<QUrl> urls;
    for (const QByteArray& path : paths) urls << LocalFileUrl(path);
    return DropUrls(over, urls);
}

}  // namespace kavenra::testing
