#include "app/ReadyHooks.h"
#include "store/SideFiles.h"
#include "ui/AppServices.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Theme.h"
#include "ui/Unit1.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

// The options a terminal user tries first. Answered before the application object exists: that
// needs a display, and the answer is a line of text.
bool answeredCommandLineOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kavenra %s\n", KAVENRA_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: kavenra [OPTION] [IMAGE|FOLDER|LIST FILE]...\n"
                "Resizes batches of images (BMP, JPEG, PNG, TARGA, TIFF, WebP, HEIC/HEIF, AVIF,\n"
                "camera RAW) in a window.\n"
                "\n"
                "Images and folders named are listed as if dropped on the window (a folder brings\n"
                "the images directly inside it); any other file is a list file, a text file whose\n"
                "lines are the images to list.\n"
                "\n"
                "  -h, --help     show this help and exit\n"
                "      --version  show the version and exit\n"
                "\n"
                "Settings: $XDG_CONFIG_HOME/kavenra/KVConfig.db when installed, or KVConfig.db\n"
                "beside the program in a portable folder. See kavenra(1).\n");
            return true;
        }
    }
    return false;
}

// Every text and setting comes from these files, so they are settled before any window exists.
// A first start that cannot make the user's settings says why; the start-up checks then stop the
// program as they do for any missing settings file.
void useProgramSideFiles() {
    const kavenra::SideFileLocations locations = kavenra::LocateSideFiles(
        QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString(),
        kavenra::ProcessConfigurationEnvironment());
    const kavenra::SettingsSeed seed = kavenra::SeedUserSettings(locations);
    if (seed.outcome == kavenra::SettingsSeed::Outcome::Failed) {
        std::fprintf(stderr, "kavenra: %s\n", seed.reason.c_str());
        ShowMessage(QString::fromStdString(seed.reason));
    }
    kavenra::UseSideFiles(locations);
}

// The windows live from here until the message loop ends, and go before the application object.
int runApplication(KavenraApplication& application) {
    struct WindowsLifetime {
        WindowsLifetime() { CreateAllForms(); }
        ~WindowsLifetime() { DestroyAllForms(); }
    } windows;
    // The first showing runs the start-up checks once the message loop runs; the window is ready
    // when they have ended.
    QObject::connect(Form1, &TForm1::StartupFinished, &application,
                     [] { kavenra::app::MainWindowReady(); });
    Form1->show();
    return application.exec();
}

}  // namespace

// An argument names an image or a folder, listed as if dropped on the window, or else a list
// file; Qt has taken out the options that are its own.
int main(int argc, char* argv[]) {
    if (answeredCommandLineOption(argc, argv)) return 0;
    KavenraApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavenra"));
    SetApplicationTitle(QStringLiteral("Kavenra"));
    // Lets the desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kavenra.Kavenra"));
    InstallWindowServices();
    if (!ApplyCarbonTheme()) ShowMessage(QStringLiteral("The visual style cannot be applied."));
    useProgramSideFiles();
    // Relative paths are the caller's: resolved before anything can change the directory.
    kavenra::startup::SetStartupArguments(kavenra::startup::ClassifyArguments(
        QCoreApplication::arguments().mid(1), QDir::currentPath()));
    try {
        runApplication(application);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowUnknownException();
    }
    return 0;
}
