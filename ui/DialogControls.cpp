#include "ui/DialogControls.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPalette>

namespace kavenra::dialogs {

QFont LayoutFont(QFont font) {
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
        font.setFamily(QStringLiteral("Tahoma"));
    } else {
        font.setFamily(QStringLiteral("DejaVu Sans"));
        font.setStretch(QFont::SemiCondensed);
    }
    font.setPixelSize(11);
    return font;
}

void ApplyLayoutFont(QWidget* window) {
    const QFont font = LayoutFont(window->font());
    window->setFont(font);
    for (QWidget* control : window->findChildren<QWidget*>()) control->setFont(font);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width) {
    return Place(new QLabel(text, parent), name, left, top, width, 13);
}

void SetShownHint(QWidget* control, const QString& hint) {
    control->setToolTip(hint);
    control->setStatusTip(hint);
}

QColor ReadableBlue(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0x5c, 0xa4, 0xff)
                                                             : QColor(0x00, 0x00, 0xff);
}

}  // namespace kavenra::dialogs
