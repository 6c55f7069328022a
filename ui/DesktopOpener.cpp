#include "ui/DesktopOpener.h"

#include <QDesktopServices>

namespace {

class SystemDesktopOpener final : public kavenra::DesktopOpener {
  public:
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

kavenra::DesktopOpener* installedOpener = nullptr;

kavenra::DesktopOpener& currentOpener() {
    static SystemDesktopOpener systemOpener;
    return installedOpener ? *installedOpener : systemOpener;
}

}  // namespace

namespace kavenra {

void SetDesktopOpener(DesktopOpener* opener) {
    installedOpener = opener;
}

}  // namespace kavenra

bool OpenWithDesktop(const QUrl& url) {
    return currentOpener().openUrl(url);
}

bool OpenLocalPathWithDesktop(const QString& path) {
    return OpenWithDesktop(QUrl::fromLocalFile(path));
}
