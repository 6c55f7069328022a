#include "ui/Theme.h"

#include "ui/Resources.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>
#include <QSvgRenderer>

namespace {

QPalette carbonPalette() {
    const QColor window(0x2b, 0x2d, 0x30);
    const QColor base(0x1e, 0x1f, 0x22);
    const QColor alternateBase(0x26, 0x28, 0x2b);
    const QColor button(0x3a, 0x3d, 0x41);
    const QColor text(0xdf, 0xe1, 0xe5);
    const QColor disabledText(0x7a, 0x7e, 0x85);
    const QColor highlight(0x35, 0x74, 0xf0);
    const QColor link(0x6c, 0xa8, 0xff);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, alternateBase);
    palette.setColor(QPalette::ToolTipBase, QColor(0x3c, 0x3f, 0x44));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4d, 0x52));
    palette.setColor(QPalette::Midlight, QColor(0x3f, 0x42, 0x46));
    palette.setColor(QPalette::Mid, QColor(0x33, 0x35, 0x39));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x19, 0x1b));
    palette.setColor(QPalette::Shadow, QColor(0x0e, 0x0f, 0x10));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, link);
    palette.setColor(QPalette::LinkVisited, link.darker(120));

    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabledText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x31, 0x33, 0x37));
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x4a, 0x4d, 0x52));
    return palette;
}

// Only the touches the palette cannot express; Fusion draws the rest.
const char* const carbonStyleSheet = R"(
QToolTip {
    color: #dfe1e5;
    background-color: #3c3f44;
    border: 1px solid #55595f;
    padding: 3px;
}
QGroupBox {
    border: 1px solid #44474c;
    border-radius: 4px;
    margin-top: 7px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 3px;
    color: #9fb4d8;
}
QLineEdit {
    border: 1px solid #4a4d52;
    border-radius: 3px;
    padding: 0 3px;
    background-color: #1e1f22;
    selection-background-color: #3574f0;
}
QLineEdit:focus {
    border-color: #3574f0;
}
QLineEdit:disabled {
    border-color: #3a3d41;
    background-color: #2b2d30;
}
QListView, QTreeView, QTableView, QPlainTextEdit, QTextEdit {
    border: 1px solid #44474c;
}
QCheckBox::indicator, QRadioButton::indicator {
    width: 12px;
    height: 12px;
    border: 1px solid #6b7078;
    background-color: #1e1f22;
}
QCheckBox::indicator {
    border-radius: 3px;
}
QRadioButton::indicator {
    border-radius: 7px;
}
QCheckBox::indicator:hover, QRadioButton::indicator:hover {
    border-color: #8fb4ff;
}
QCheckBox::indicator:checked {
    border-color: #3574f0;
    background-color: #3574f0;
    image: url(:/kavenra/images/check.svg);
}
QRadioButton::indicator:checked {
    border-color: #3574f0;
    background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
        stop: 0 #ffffff, stop: 0.38 #ffffff, stop: 0.5 #3574f0, stop: 1 #3574f0);
}
QCheckBox::indicator:disabled, QRadioButton::indicator:disabled {
    border-color: #44474c;
    background-color: #2b2d30;
}
QCheckBox::indicator:checked:disabled, QRadioButton::indicator:checked:disabled {
    background-color: #4a4d52;
}
QStatusBar {
    border-top: 1px solid #1a1b1d;
}
QProgressBar {
    border: 1px solid #44474c;
    border-radius: 3px;
    background-color: #1e1f22;
    text-align: center;
}
QProgressBar::chunk {
    background-color: #3574f0;
    border-radius: 2px;
}
)";

// The windows are laid out for Tahoma at 8 points; where it is missing, the closest common sans
// faces keep the texts inside their controls.
QFont designFont() {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans")});
    font.setPointSize(8);
    return font;
}

// Rendered from the vector artwork at the sizes window managers and task bars ask for, so the
// icon does not depend on an SVG icon-engine plug-in being installed.
QIcon programIcon() {
    QSvgRenderer renderer(kavenra::resource::ProgramIcon);
    QIcon icon;
    if (!renderer.isValid()) return icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

bool ApplyCarbonTheme() {
    InitialiseKavenraResources();
    QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!style) return false;
    QApplication::setStyle(style);
    QApplication::setPalette(carbonPalette());
    QApplication::setFont(designFont());
    qApp->setStyleSheet(QString::fromLatin1(carbonStyleSheet));
    QApplication::setWindowIcon(programIcon());
    return true;
}
