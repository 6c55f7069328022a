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

const char* const exitSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">
  <rect x="2" y="1.5" width="8" height="13" rx="0.8" fill="#8a6a48" stroke="#4a3522"/>
  <rect x="3.5" y="3" width="5" height="10" fill="#b08a5e"/>
  <circle cx="7.6" cy="8.2" r="0.7" fill="#f2d27a"/>
  <path d="M9 8h5.2M11.8 5.4L14.4 8l-2.6 2.6" fill="none" stroke="#e0483c" stroke-width="1.8"
        stroke-linecap="round" stroke-linejoin="round"/>
</svg>)";

const char* const optionsSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">
  <path fill="#9fb4c8" stroke="#45576a" stroke-width="0.7" d="M6.9 1h2.2l.4 2 1.3.6 1.7-1.1
    1.5 1.5-1.1 1.7.6 1.3 2 .4v2.2l-2 .4-.6 1.3 1.1 1.7-1.5 1.5-1.7-1.1-1.3.6-.4 2H6.9l-.4-2
    -1.3-.6-1.7 1.1-1.5-1.5 1.1-1.7-.6-1.3-2-.4V6.9l2-.4.6-1.3-1.1-1.7 1.5-1.5 1.7 1.1 1.3-.6z"/>
  <circle cx="8" cy="8" r="2.3" fill="#2b3440" stroke="#45576a" stroke-width="0.7"/>
</svg>)";

const char* const languagesSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">
  <circle cx="8" cy="8" r="6.6" fill="#3d8fd6" stroke="#1c4f7d"/>
  <g fill="none" stroke="#d8ecff" stroke-width="0.8">
    <ellipse cx="8" cy="8" rx="2.8" ry="6.6"/>
    <path d="M1.4 8h13.2M2.5 4.6h11M2.5 11.4h11M8 1.4v13.2"/>
  </g>
</svg>)";

const char* const changelogSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">
  <path d="M3 1.5h7l3 3v10H3z" fill="#f4f4f0" stroke="#6b6b66"/>
  <path d="M10 1.5v3h3" fill="#d6d6d0" stroke="#6b6b66"/>
  <path d="M5 7h6M5 9h6M5 11h4.5" stroke="#3d8fd6" stroke-width="1"/>
</svg>)";

const char* const aboutSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">
  <circle cx="8" cy="8" r="6.8" fill="#3d8fd6" stroke="#1c4f7d"/>
  <circle cx="8" cy="4.6" r="1.1" fill="#ffffff"/>
  <path d="M8 7v5" stroke="#ffffff" stroke-width="2" stroke-linecap="round"/>
</svg>)";

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

QIcon ExitPicture() {
    return menuPicture(exitSvg);
}

QIcon OptionsPicture() {
    return menuPicture(optionsSvg);
}

QIcon LanguagesPicture() {
    return menuPicture(languagesSvg);
}

QIcon ChangelogPicture() {
    return menuPicture(changelogSvg);
}

QIcon AboutPicture() {
    return menuPicture(aboutSvg);
}

QIcon RemoveEntriesPicture() {
    return menuPicture(removeSvg);
}

QIcon FolderPicture() {
    return iconFromSvg(folderSvg, {24, 48});
}

}  // namespace kavenra::mainwindow
