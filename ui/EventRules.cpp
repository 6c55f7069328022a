#include "ui/EventRules.h"

#include "ui/AppServices.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <utility>

namespace {

// Runs a handler on one kind of event of one widget before the widget sees it. Owned by the
// widget, so it lives exactly as long as the widget does.
class HandlerFilter final : public QObject {
  public:
    using Handler = std::function<bool(QEvent*)>;

    HandlerFilter(QWidget* widget, QEvent::Type type, Handler handler)
        : QObject(widget), type_(type), handler_(std::move(handler)) {
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent() || event->type() != type_) return false;
        bool drop = false;
        bool failed = true;
        RunGuarded([&] {
            drop = handler_(event);
            failed = false;
        });
        // A handler that failed ends there, like the event it was called for.
        return drop || failed;
    }

  private:
    QEvent::Type type_;
    Handler handler_;
};

}  // namespace

bool IsCharacterKey(const QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return false;
        default:
            return !event->text().isEmpty();
    }
}

void OnEditChange(QLineEdit* edit, EventHandler handler) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, Guarded(std::move(handler)));
}

void OnCheckBoxClick(QAbstractButton* checkBox, EventHandler handler) {
    QObject::connect(checkBox, &QAbstractButton::toggled, checkBox, Guarded(std::move(handler)));
}

void OnRadioClick(QRadioButton* radioButton, EventHandler handler) {
    QObject::connect(radioButton, &QAbstractButton::toggled, radioButton,
                     Guarded([handler = std::move(handler)](bool checked) {
                         if (checked) handler();
                     }));
}

void OnClick(QAbstractButton* button, EventHandler handler) {
    QObject::connect(button, &QAbstractButton::clicked, button, Guarded(std::move(handler)));
}

void OnMenuClick(QAction* item, EventHandler handler) {
    QObject::connect(item, &QAction::triggered, item, Guarded(std::move(handler)));
}

void OnTimer(QTimer* timer, EventHandler handler) {
    QObject::connect(timer, &QTimer::timeout, timer, Guarded(std::move(handler)));
}

void OnKeyPress(QWidget* widget, std::function<void(QKeyEvent*)> handler) {
    new HandlerFilter(widget, QEvent::KeyPress, [handler = std::move(handler)](QEvent* event) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsCharacterKey(key)) handler(key);
        return false;
    });
}

void OnKeyPressFilter(QWidget* widget, std::function<bool(QKeyEvent*)> handler) {
    new HandlerFilter(widget, QEvent::KeyPress, [handler = std::move(handler)](QEvent* event) {
        auto* key = static_cast<QKeyEvent*>(event);
        return IsCharacterKey(key) && handler(key);
    });
}

void OnMousePress(QWidget* widget, EventHandler handler) {
    new HandlerFilter(widget, QEvent::MouseButtonPress, [handler = std::move(handler)](QEvent*) {
        handler();
        return false;
    });
}
