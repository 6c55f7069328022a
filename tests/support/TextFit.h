#pragma once

// Measures shown texts against the room their controls give them: the font metrics of each
// control's own font, and the part of the control its style leaves for the text (indicators,
// frames and margins taken off). A text "fits" when it is drawn whole: a single-line text not
// wider than its room, a word-wrapped text not taller than its label and no word wider than it.
//
//   QList<TextFit> fits = MeasureWindow(Form3, QStringLiteral("Form3"));
//   for (const TextFit& fit : fits) if (!fit.fits()) qWarning("%s", qPrintable(fit.describe()));

#include <QList>
#include <QString>

class QComboBox;
class QGroupBox;
class QHeaderView;
class QLabel;
class QAbstractButton;
class QMenu;
class QMenuBar;
class QStatusBar;
class QWidget;

namespace kavenra::testing {

struct TextFit {
    QString place;      // where the text is shown: "Form3/RadioButton9", "Form1:title", ...
    QString text;       // the text as shown
    QString dimension;  // "width" or "height"
    int needed = 0;     // pixels the text takes
    int available = 0;  // pixels the control gives it

    bool fits() const { return needed <= available; }
    // "Form3/RadioButton9 width 301 > 268: PNG_Z_BEST_SPEED ..."
    QString describe() const;
};

// The caption bar is drawn by the window manager in a font this process does not know; the
// application font in bold stands in for it, and the window's icon and close box take this much
// of the bar's width.
constexpr int kCaptionBarReserve = 64;

// The window's title against its caption bar.
QList<TextFit> MeasureWindowTitle(const QWidget* window, const QString& place);

// One control: labels (single-line or word-wrapped), push buttons, check boxes, radio buttons,
// group box titles, combo box entries and the sections of a visible header. Other controls and
// empty texts give nothing.
QList<TextFit> MeasureControl(QWidget* control, const QString& place);

// The window's title and every control inside it, hidden ones included (they are shown at other
// moments), except the inner parts of Qt's compound controls. Places are "<name>/<object name>".
QList<TextFit> MeasureWindow(QWidget* window, const QString& name);

// Every title of a menu bar must lie on its one row, inside the bar.
QList<TextFit> MeasureMenuBar(QMenuBar* bar, const QString& place);

// A menu grows to its widest item and never cuts one; an item must not make the menu wider than
// widthBound. Each item is measured as the width the menu would take for that item alone.
QList<TextFit> MeasureMenu(QMenu* menu, int widthBound, const QString& place);

// A message of the status bar, which draws it on one line between its margins.
TextFit MeasureStatusText(const QStatusBar* bar, const QString& text, const QString& place);

}  // namespace kavenra::testing
