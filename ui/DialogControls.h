#pragma once

// Small building blocks shared by the options dialog, the folder chooser, the about box and the
// changelog viewer: the layout's font, controls placed at fixed bounds under their names and hints.

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPalette;
class QWidget;

namespace kavenra::dialogs {

// Tahoma at 8 points (11 pixels at 96 dots per inch). Without Tahoma, the semi-condensed face of
// DejaVu Sans comes closest to its width, so captions fit the layout's fixed bounds.
QFont LayoutFont(QFont font);

// Sets the layout font on the window and on every control in it: under an application style
// sheet, Qt does not pass a window's font on to the children of styled group boxes.
void ApplyLayoutFont(QWidget* window);

// Names the control and gives it its bounds, relative to its parent.
template <class Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(left, top, width, height);
    return control;
}

// A one-line label 13 pixels high.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width);

// A hint the user sees: tooltip, and status tip for windows with a status bar.
void SetShownHint(QWidget* control, const QString& hint);

// Blue text that stays readable on the theme's window colour.
QColor ReadableBlue(const QPalette& palette);

}  // namespace kavenra::dialogs
