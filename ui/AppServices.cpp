#include "ui/AppServices.h"

#include "engine/run/BatchRun.h"
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
    const std::optional<std::int32_t> value = kavenra::ParseInt32(text);
    if (!value) {
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    return *value;
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
