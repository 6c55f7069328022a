#include "ui/MainWindowImages.h"

#include <QByteArray>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <initializer_list>

namespace kavenra::mainwindow {
namespace {

// Renders one vector source at each of the given square sizes into one icon.
QIcon iconFromSvg(const char* svg, std::initializer_list<int> sizes) {
    QSvgRenderer renderer{QByteArray(svg)};
    QIcon icon;
    for (const int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon menuPicture(const char* svg) {
    return iconFromSvg(svg, {16, 32});
}

const char* const removeSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">
  <circle cx="8" cy="8" r="6.8" fill="#d9453b" stroke="#7c1f19"/>
  <path d="M5.2 5.2l5.6 5.6M10.8 5.2l-5.6 5.6" stroke="#ffffff" stroke-width="1.8"
        stroke-linecap="round"/>
</svg>)";

const char* const folderSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">
  <path d="M2 5.5a1 1 0 0 1 1-1h6l2 2.2h10a1 1 0 0 1 1 1V19a1 1 0 0 1-1 1H3a1 1 0 0 1-1-1z"
        fill="#d9a521" stroke="#7a5a10"/>
  <path d="M2.6 9.2h18.8V19a.6.6 0 0 1-.6.6H3.2a.6.6 0 0 1-.6-.6z" fill="#f5c542"/>
  <path d="M15.5 12.5l3 2.5-3 2.5" fill="none" stroke="#7a5a10" stroke-width="1.4"
        stroke-linecap="round" stroke-linejoin="round"/>
</svg>)";

}  // namespace

QIcon RemoveEntriesPicture() {
    return menuPicture(removeSvg);
}

QIcon FolderPicture() {
    return iconFromSvg(folderSvg, {24, 48});
}

}  // namespace kavenra::mainwindow
