#pragma once

// Application-wide services every window stands on: the application title, the plain message
// display, the error box, the integer conversion that raises, and the general error display that
// catches an error escaping a handler, shows it and ends only that handler.

#include <QApplication>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <type_traits>
#include <utility>

// The title shown on the plain message display and the general error display. "Kavenra" unless
// changed.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

// The plain message display: the text in a box titled with the application title, one OK button.
// Blocks until the box is closed.
void ShowMessage(const QString& text);

// The error box (error picture, one OK button) with the given text and caption. Blocks until the
// box is closed.
void ApplicationMessageBox(const QString& text, const QString& caption);

// Raised by StrToInt for a text that is no signed 32-bit integer.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Decimal (or "$"/"0x" hexadecimal) text with optional leading blanks and sign to a signed 32-bit
// value. Throws EConvertError "'<text>' is not a valid integer value" for anything else,
// including an empty text and a value out of range.
std::int32_t StrToInt(const QString& text);

// Shows an error that escaped a handler: an error box titled with the application title holding
// the error's message. Unknown thrown values are shown with an empty message.
void ShowException(const std::exception& error);
void ShowUnknownException();

// Runs a handler; an error escaping it is shown with ShowException and goes no further. Use this
// (or Guarded) for everything Qt calls back, so that no exception ever travels through Qt.
void RunGuarded(const std::function<void()>& handler);

// Wraps a handler for QObject::connect: the returned callable accepts the signal's arguments,
// passes them on when the handler takes them (or calls it without arguments when it takes none)
// and reports an escaping error through the general error display.
//   connect(Edit1, &QLineEdit::textChanged, this, Guarded([this] { Edit1Change(); }));
template <class Handler>
auto Guarded(Handler handler) {
    return [handler = std::move(handler)](auto&&... args) mutable {
        RunGuarded([&] {
            if constexpr (std::is_invocable_v<Handler&, decltype(args)...>) {
                handler(std::forward<decltype(args)>(args)...);
            } else {
                handler();
            }
        });
    };
}

// The application object of the program: besides everything QApplication does, it catches an
// error escaping any event delivery (the last line of defence behind Guarded) and shows it with
// the general error display. Construct it instead of QApplication, in the program and in tests
// that want the process-wide error display.
class KavenraApplication : public QApplication {
  public:
    KavenraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Installs the window layer's services once a QApplication exists: the plain message display for
// the store's database errors and the compiled-in resources. Safe to call more than once.
void InstallWindowServices();
