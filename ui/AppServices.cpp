#include "ui/AppServices.h"

#include "store/MessageDisplay.h"

#include <QMessageBox>

#include <cstdio>
#include <limits>

namespace {

QString& applicationTitle() {
    static QString title = QStringLiteral("Kavenra");
    return title;
}

// True when boxes can be shown: a QApplication (not just a QCoreApplication) is running.
bool windowsAvailable() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void showBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    if (!windowsAvailable()) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

class WindowMessageDisplay final : public kavenra::MessageDisplay {
  public:
    void showMessage(const std::string& utf8Text) override {
        ShowMessage(QString::fromStdString(utf8Text));
    }
};

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9') value = u - u'0';
    if (u >= u'a' && u <= u'f') value = u - u'a' + 10;
    if (u >= u'A' && u <= u'F') value = u - u'A' + 10;
    return value < base ? value : -1;
}

// Parses the whole text; false when anything is left over, nothing was given or it overflows.
bool parseInteger(const QString& text, std::int32_t& result) {
    int pos = 0;
    const int length = static_cast<int>(text.size());
    while (pos < length && text[pos] == QLatin1Char(' ')) ++pos;
    bool negative = false;
    if (pos < length && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    int base = 10;
    if (pos < length && text[pos] == QLatin1Char('$')) {
        base = 16;
        ++pos;
    } else if (pos + 1 < length && text[pos] == QLatin1Char('0') &&
               (text[pos + 1] == QLatin1Char('x') || text[pos + 1] == QLatin1Char('X'))) {
        base = 16;
        pos += 2;
    }
    if (pos >= length) return false;
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::int64_t{std::numeric_limits<std::int32_t>::max()};
    std::int64_t value = 0;
    for (; pos < length; ++pos) {
        const int digit = digitValue(text[pos], base);
        if (digit < 0) return false;
        value = value * base + digit;
        if (value > limit) return false;
    }
    result = static_cast<std::int32_t>(negative ? -value : value);
    return true;
}

}  // namespace

void SetApplicationTitle(const QString& title) {
    applicationTitle() = title;
}

QString ApplicationTitle() {
    return applicationTitle();
}

void ShowMessage(const QString& text) {
    showBox(QMessageBox::NoIcon, ApplicationTitle(), text);
}

void ApplicationMessageBox(const QString& text, const QString& caption) {
    showBox(QMessageBox::Critical, caption, text);
}

std::int32_t StrToInt(const QString& text) {
    std::int32_t value = 0;
    if (!parseInteger(text, value)) {
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    return value;
}

void ShowException(const std::exception& error) {
    showBox(QMessageBox::Critical, ApplicationTitle(), QString::fromUtf8(error.what()));
}

void ShowUnknownException() {
    showBox(QMessageBox::Critical, ApplicationTitle(), QString());
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowUnknownException();
    }
}

KavenraApplication::KavenraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KavenraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowUnknownException();
    }
    return false;
}

void InitialiseKavenraResources();  // ui/Resources.cpp

void InstallWindowServices() {
    static WindowMessageDisplay display;
    InitialiseKavenraResources();
    kavenra::SetMessageDisplay(&display);
}
