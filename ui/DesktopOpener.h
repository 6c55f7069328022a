#pragma once

// Opening a folder in the file manager or a page in the web browser, the one thing of the shell
// the program hands over to the desktop. Tests replace it so nothing leaves the process.

#include <QUrl>

namespace kavenra {

class DesktopOpener {
  public:
    virtual ~DesktopOpener() = default;
    // Returns false when the desktop could not open the address.
    virtual bool openUrl(const QUrl& url) = 0;
};

// Replaces the opener; nullptr restores the real one (QDesktopServices). The opener must outlive
// its installation.
void SetDesktopOpener(DesktopOpener* opener);

}  // namespace kavenra

// Opens a folder (file: URL) or a web page with the desktop's handler.
bool OpenWithDesktop(const QUrl& url);

// Convenience for a local folder or file path.
bool OpenLocalPathWithDesktop(const QString& path);

// Opens a local folder in the file manager; when the desktop cannot (no xdg-open, say), the
// message box tells the user so in the active language, naming the folder. False then.
bool OpenLocalFolderOrReport(const QString& path);
