#include "support/TextFit.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

namespace kavenra::testing {
namespace {

// Room a word-wrapped label is measured in: far more than any label of the program.
constexpr int kUnboundedHeight = 10000;

// The status bar draws its message from 6 pixels after its left edge to 12 pixels before its
// right edge.
constexpr int kStatusMessageLeft = 6;
constexpr int kStatusMessageRightMargin = 12;

// A line edit keeps this many pixels free on each side of its text, inside its contents.
constexpr int kLineEditTextMargin = 2;

const QString kWidth = QStringLiteral("width");
const QString kHeight = QStringLiteral("height");

int textWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.size(Qt::TextShowMnemonic, text).width();
}

QString shownText(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    plain.remove(QLatin1Char('&'));
    plain.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return plain;
}

QList<TextFit> measureLabel(const QLabel* label, const QString& place) {
    const QString text = label->text();
    if (text.isEmpty() || !label->pixmap().isNull()) return {};
    const QFontMetrics metrics(label->font());
    const int margin = label->margin();
    const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    if (!label->wordWrap()) {
        return {{place, text, kWidth, metrics.horizontalAdvance(text), room.width()}};
    }
    const QRect wrapped =
        metrics.boundingRect(QRect(0, 0, room.width(), kUnboundedHeight),
                             static_cast<int>(label->alignment()) | Qt::TextWordWrap, text);
    return {{place, text, kWidth, wrapped.width(), room.width()},
            {place, text, kHeight, wrapped.height(), room.height()}};
}

QStyleOptionButton buttonOption(const QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    option.state |= button->isChecked() ? QStyle::State_On : QStyle::State_Off;
    return option;
}

// The label is centred in the button's contents, which the style gives after its frame and
// default-button indicator; the style's own button margin stays free around it.
QList<TextFit> measurePushButton(const QPushButton* button, const QString& place) {
    QStyleOptionButton option = buttonOption(button);
    option.features = QStyleOptionButton::None;
    if (button->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
    if (button->isFlat()) option.features |= QStyleOptionButton::Flat;
    const QStyle* style = button->style();
    const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    int needed = textWidth(QFontMetrics(button->font()), option.text);
    if (!option.icon.isNull()) needed += option.iconSize.width() + margin / 2;
    return {{place, shownText(option.text), kWidth, needed, contents.width() - margin}};
}

// The caption is drawn in the contents rectangle, right of the indicator and its spacing.
QList<TextFit> measureIndicatorButton(const QAbstractButton* button, bool radio,
                                      const QString& place) {
    const QStyleOptionButton option = buttonOption(button);
    const QRect contents = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
    int needed = textWidth(QFontMetrics(button->font()), option.text);
    if (!option.icon.isNull()) needed += option.iconSize.width() + 4;
    return {{place, shownText(option.text), kWidth, needed, contents.width()}};
}

// The title is drawn over the frame's top line: it must end before the frame's right edge by at
// least the distance at which it starts from the left one.
QList<TextFit> measureGroupBox(const QGroupBox* box, const QString& place) {
    if (box->title().isEmpty()) return {};
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable()) option.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (box->isFlat()) option.features |= QStyleOptionFrame::Flat;
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const int title = textWidth(QFontMetrics(box->font()), option.text);
    return {{place, shownText(option.text), kWidth, label.left() + qMax(title, label.width()),
             box->width() - label.left()}};
}

int lineEditTextRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    room = room.marginsRemoved(edit->textMargins());
    return room.width() - 2 * kLineEditTextMargin;
}

// Every entry, as it shows when chosen.
QList<TextFit> measureComboBox(const QComboBox* combo, const QString& place) {
    int room = 0;
    if (const QLineEdit* edit = combo->lineEdit()) {
        room = lineEditTextRoom(edit);
    } else {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = false;
        option.frame = combo->hasFrame();
        room =
            combo->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .width();
    }
    const QFontMetrics metrics(combo->font());
    QList<TextFit> fits;
    for (int i = 0; i < combo->count(); ++i) {
        const QString text = combo->itemText(i);
        fits.append({place + QStringLiteral("/item %1").arg(i), text, kWidth,
                     metrics.horizontalAdvance(text), room});
    }
    return fits;
}

// The header shortens a title that does not fit its section's label area with an ellipsis.
QList<TextFit> measureHeader(const QHeaderView* header, const QString& place) {
    if (header->isHidden() || !header->model()) return {};
    QList<TextFit> fits;
    for (int section = 0; section < header->count(); ++section) {
        const QString text =
            header->model()->headerData(section, header->orientation(), Qt::DisplayRole).toString();
        if (text.isEmpty()) continue;
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = header->orientation() == Qt::Horizontal
                          ? QRect(0, 0, header->sectionSize(section), header->height())
                          : QRect(0, 0, header->width(), header->sectionSize(section));
        option.section = section;
        option.text = text;
        option.textAlignment = header->defaultAlignment();
        option.orientation = header->orientation();
        const QRect room = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
        fits.append({place + QStringLiteral("/column %1").arg(section), text, kWidth,
                     textWidth(QFontMetrics(header->font()), text), room.width()});
    }
    return fits;
}

// Each tab's title within its tab, and every tab within the row the pages leave them.
QList<TextFit> measureTabs(const QTabWidget* pages, const QString& place) {
    const QTabBar* bar = pages->tabBar();
    QList<TextFit> fits;
    int rowEnd = 0;
    for (int tab = 0; tab < bar->count(); ++tab) {
        const QString text = bar->tabText(tab);
        if (text.isEmpty()) continue;
        QStyleOptionTab option;
        option.initFrom(bar);
        option.rect = bar->tabRect(tab);
        option.text = text;
        const QRect label = bar->style()->subElementRect(QStyle::SE_TabBarTabText, &option, bar);
        fits.append({place + QStringLiteral("/tab %1").arg(tab), shownText(text), kWidth,
                     textWidth(QFontMetrics(bar->font()), text), label.width()});
        rowEnd = qMax(rowEnd, bar->geometry().left() + option.rect.right() + 1);
    }
    if (rowEnd > 0) {
        fits.append({place + QStringLiteral("/tab row"), bar->tabText(bar->count() - 1), kWidth,
                     rowEnd, pages->width()});
    }
    return fits;
}

// Inner parts of Qt's compound controls (the line edit of a combo box, the viewport and scroll
// bars of a list) are measured with the control they belong to, or not at all.
bool isInnerPart(const QWidget* control, const QWidget* window) {
    if (control->objectName().startsWith(QLatin1String("qt_"))) return true;
    for (const QWidget* parent = control->parentWidget(); parent && parent != window;
         parent = parent->parentWidget()) {
        if (qobject_cast<const QComboBox*>(parent) ||
            qobject_cast<const QAbstractScrollArea*>(parent)) {
            return true;
        }
    }
    return false;
}

QString controlName(const QWidget* control, const QWidget* window) {
    if (!control->objectName().isEmpty()) return control->objectName();
    const QList<QWidget*> siblings = window->findChildren<QWidget*>();
    int index = 0;
    for (const QWidget* other : siblings) {
        if (other == control) break;
        if (other->metaObject() == control->metaObject()) ++index;
    }
    return QStringLiteral("%1#%2")
        .arg(QLatin1String(control->metaObject()->className()))
        .arg(index);
}

}  // namespace

QString TextFit::describe() const {
    return QStringLiteral("%1 %2 %3 %4 %5: \"%6\"")
        .arg(place, dimension)
        .arg(needed)
        .arg(fits() ? QStringLiteral("<=") : QStringLiteral(">"))
        .arg(available)
        .arg(text);
}

QList<TextFit> MeasureWindowTitle(const QWidget* window, const QString& place) {
    const QString title = window->windowTitle();
    if (title.isEmpty()) return {};
    QFont font = QApplication::font();
    font.setBold(true);
    return {{place, title, kWidth, QFontMetrics(font).horizontalAdvance(title),
             window->width() - kCaptionBarReserve}};
}

QList<TextFit> MeasureControl(QWidget* control, const QString& place) {
    control->ensurePolished();
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return measureLabel(label, place);
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        return button->text().isEmpty() ? QList<TextFit>{} : measurePushButton(button, place);
    }
    if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
        return box->text().isEmpty() ? QList<TextFit>{} : measureIndicatorButton(box, false, place);
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
        return radio->text().isEmpty() ? QList<TextFit>{}
                                       : measureIndicatorButton(radio, true, place);
    }
    if (const auto* tool = qobject_cast<const QToolButton*>(control)) {
        // Only pictures: the program's tool buttons show no text.
        if (tool->toolButtonStyle() != Qt::ToolButtonIconOnly && !tool->text().isEmpty()) {
            return {{place, tool->text(), kWidth,
                     textWidth(QFontMetrics(tool->font()), tool->text()), tool->width()}};
        }
        return {};
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
        return measureGroupBox(group, place);
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        return measureComboBox(combo, place);
    }
    if (const auto* table = qobject_cast<const QTableView*>(control)) {
        return measureHeader(table->horizontalHeader(), place);
    }
    if (const auto* pages = qobject_cast<const QTabWidget*>(control)) {
        return measureTabs(pages, place);
    }
    return {};
}

QList<TextFit> MeasureWindow(QWidget* window, const QString& name) {
    window->ensurePolished();
    QList<TextFit> fits = MeasureWindowTitle(window, name + QStringLiteral(":title"));
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (isInnerPart(control, window)) continue;
        if (qobject_cast<QMenu*>(control) || qobject_cast<QMenuBar*>(control)) continue;
        fits += MeasureControl(control, name + QLatin1Char('/') + controlName(control, window));
    }
    return fits;
}

QList<TextFit> MeasureMenuBar(QMenuBar* bar, const QString& place) {
    bar->ensurePolished();
    int rowEnd = bar->width();
    if (const auto* extension =
            bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
        extension && extension->isVisible()) {
        rowEnd = extension->x();
    }
    QList<TextFit> fits;
    for (QAction* title : bar->actions()) {
        if (title->isSeparator() || !title->isVisible()) continue;
        const QRect shown = bar->actionGeometry(title);
        const int end = shown.isEmpty() ? bar->sizeHint().width() : shown.right() + 1;
        fits.append({place + QLatin1Char('/') + title->objectName(), shownText(title->text()),
                     kWidth, end, rowEnd});
    }
    return fits;
}

QList<TextFit> MeasureMenu(QMenu* menu, int widthBound, const QString& place) {
    menu->ensurePolished();
    const QFontMetrics metrics(menu->font());
    QList<QAction*> items;
    int widest = 0;
    for (QAction* item : menu->actions()) {
        if (item->isSeparator() || !item->isVisible()) continue;
        items.append(item);
        widest = qMax(widest, textWidth(metrics, item->text()));
    }
    // Pictures, check marks, shortcuts, margins and frame: what the menu adds to its widest text.
    const int around = menu->sizeHint().width() - widest;
    QList<TextFit> fits;
    for (QAction* item : items) {
        fits.append({place + QLatin1Char('/') + item->objectName(), shownText(item->text()), kWidth,
                     around + textWidth(metrics, item->text()), widthBound});
    }
    return fits;
}

TextFit MeasureStatusText(const QStatusBar* bar, const QString& text, const QString& place) {
    return {place, text, kWidth, QFontMetrics(bar->font()).horizontalAdvance(text),
            bar->width() - kStatusMessageLeft - kStatusMessageRightMargin};
}

}  // namespace kavenra::testing
