#include "ui/AppServices.h"
#include "ui/Forms.h"
#include "ui/Theme.h"
#include "ui/Unit1.h"

#include <exception>

namespace {

// The windows live from here until the message loop ends, and go before the application object.
int runApplication(KavenraApplication& application) {
    struct WindowsLifetime {
        WindowsLifetime() { CreateAllForms(); }
        ~WindowsLifetime() { DestroyAllForms(); }
    } windows;
    Form1->show();
    return application.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavenra"));
    SetApplicationTitle(QStringLiteral("Kavenra"));
    InstallWindowServices();
    if (!ApplyCarbonTheme()) ShowMessage(QStringLiteral("The visual style cannot be applied."));
    try {
        runApplication(application);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowUnknownException();
    }
    return 0;
}
