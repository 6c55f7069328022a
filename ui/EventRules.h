#pragma once

// The window framework's event rules, realised once with Qt and used by every window. Every
// handler runs through the general error display (RunGuarded): an error escaping it is shown in
// an error box and ends only that handler.
//
//   change event (Edit1Change)        OnEditChange: QLineEdit::textChanged, so it fires on a real
//                                     change only, typed or set from code
//   check-box click (CheckBox1Click)  OnCheckBoxClick: toggled, on every state change by the user
//                                     or from code
//   radio-button click                OnRadioClick: toggled(true), when the button becomes
//                                     selected; radio buttons exclude each other within their
//                                     parent widget only (Qt's auto-exclusivity)
//   button / menu item click          OnClick, OnMenuClick
//   key press (Edit1KeyPress)         OnKeyPress: an event filter on KeyPress, which runs before
//                                     the key changes the text; like the framework's key-press
//                                     event it is for keys that type a character (letters,
//                                     digits, Backspace, Enter, Esc, Ctrl+letter), not for arrows,
//                                     Delete, Tab, function or lone modifier keys;
//                                     OnKeyPressFilter may drop the key
//   click in an edit (Edit1Click)     OnMousePress: an event filter on the mouse press
//   timer tick (Timer1Timer)          OnTimer: QTimer::timeout

#include <functional>

class QAbstractButton;
class QAction;
class QKeyEvent;
class QLineEdit;
class QRadioButton;
class QTimer;
class QWidget;

using EventHandler = std::function<void()>;

void OnEditChange(QLineEdit* edit, EventHandler handler);
void OnCheckBoxClick(QAbstractButton* checkBox, EventHandler handler);
void OnRadioClick(QRadioButton* radioButton, EventHandler handler);
void OnClick(QAbstractButton* button, EventHandler handler);
void OnMenuClick(QAction* item, EventHandler handler);
void OnTimer(QTimer* timer, EventHandler handler);

// Runs before the widget sees a character key (and so before any text change it causes). The
// key then goes on to the widget unless the handler failed.
void OnKeyPress(QWidget* widget, std::function<void(QKeyEvent*)> handler);

// Like OnKeyPress; the handler returns true to drop the key so the widget never sees it.
void OnKeyPressFilter(QWidget* widget, std::function<bool(QKeyEvent*)> handler);

// True for a key that types a character, the keys OnKeyPress reports.
bool IsCharacterKey(const QKeyEvent* event);

// Runs when a mouse button is pressed on the widget, before the widget reacts to it.
void OnMousePress(QWidget* widget, EventHandler handler);
