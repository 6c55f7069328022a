#include "ui/DesktopOpener.h"

#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/Form6_msgbox.h"

#include <QDir>

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

bool OpenLocalFolderOrReport(const QString& path) {
    if (OpenLocalPathWithDesktop(path)) return true;
    Form6->MsgBox(LookupCaption(kavenra::kMainWindowForm, "Caption_Atencion"),
                  LookupCaption(kavenra::kMainWindowForm, "Texto_abrir_carpeta") +
                      QLatin1Char('\n') + QDir::toNativeSeparators(path),
                  MessageKind::Error);
    return false;
}
