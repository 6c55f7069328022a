#include "app/HeadlessResize.h"
#include "app/Invocation.h"
#include "app/ProgramSideFiles.h"
#include "app/ReadyHooks.h"
#include "engine/run/CommandLineRequest.h"
#include "engine/run/InputFiles.h"
#include "store/SideFiles.h"
#include "ui/AppServices.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Theme.h"
#include "ui/Unit1.h"

#include <QByteArrayList>
#include <QFile>

#include <cstdio>
#include <exception>

namespace {

constexpr char kHelpHint[] = "Try 'kavenra --help' for more information.";

// Read before any application object exists: only the window needs a display. The bytes as the
// system passed them: a name that is no text in the locale's encoding still names its file.
QByteArrayList ProgramArguments(int argc, char* argv[]) {
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i) arguments << QByteArray(argv[i]);
    return arguments;
}

void PrintHelp() {
    std::printf(
        "Usage: kavenra [IMAGE|FOLDER|LIST FILE]...\n"
        "       kavenra --resize SIZE [OPTION]... IMAGE|FOLDER...\n"
        "Resizes batches of images (BMP, JPEG, PNG, TARGA, TIFF, WebP, HEIC/HEIF, AVIF,\n"
        "camera RAW) in a window, or without one with --resize.\n"
        "\n"
        "Images and folders named are listed as if dropped on the window (a folder brings\n"
        "the images directly inside it); a list file is a text file whose lines are the\n"
        "images to list. A file that is neither, or is missing, is named in the window's\n"
        "status bar. After \"--\" every argument is a name.\n"
        "\n"
        "      --resize   convert without a window; kavenra --resize --help tells how\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "\n"
        "Settings: $XDG_CONFIG_HOME/kavenra/KVConfig.db when installed, or KVConfig.db\n"
        "beside the program in a portable folder. See kavenra(1).\n");
}

// The answers that need nothing but the arguments; -1 when the program goes on.
int AnsweredInvocation(const kavenra::app::Invocation& invocation) {
    using Kind = kavenra::app::Invocation::Kind;
    switch (invocation.kind) {
        case Kind::Help:
            PrintHelp();
            return 0;
        case Kind::ResizeHelp:
            std::fputs(kavenra::CommandLineUsage().c_str(), stdout);
            return 0;
        case Kind::Version:
            std::printf("kavenra %s\n", KAVENRA_VERSION);
            return 0;
        case Kind::UnknownOption:
            std::fprintf(
                stderr, "kavenra: unknown option %s%s\n%s\n",
                invocation.unknownOption.toLocal8Bit().constData(),
                invocation.meantOption.isEmpty()
                    ? ""
                    : qPrintable(QStringLiteral("; did you mean %1?").arg(invocation.meantOption)),
                kHelpHint);
            return static_cast<int>(kavenra::app::ResizeExit::UsageError);
        case Kind::ResizeOption:
            std::fprintf(stderr,
                         "kavenra: %s needs --resize, which runs without a window: kavenra "
                         "--resize %s ... FILE...\n%s\n",
                         qPrintable(invocation.unknownOption), qPrintable(invocation.unknownOption),
                         kavenra::kResizeHelpHint);
            return static_cast<int>(kavenra::app::ResizeExit::UsageError);
        case Kind::Window:
        case Kind::Resize:
            break;
    }
    return -1;
}

// A run for a script: the core application alone, which needs no display.
int RunWithoutWindow(int argc, char* argv[], const QByteArrayList& arguments) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kavenra"));
    return kavenra::app::RunHeadlessResize(arguments);
}

// Qt would abort the program without a display; it is told instead, in the user's language.
int RefuseWindowWithoutDisplay(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kavenra"));
    return kavenra::app::TellNoDisplay();
}

// The arguments Qt left after taking out its own options, as bytes.
QByteArrayList ArgumentsLeftByQt(int argc, char* argv[]) {
    return ProgramArguments(argc, argv);
}

// Every text and setting comes from these files, so they are settled before any window exists.
// A first start that cannot make the user's settings says why; the start-up checks then stop the
// program as they do for any missing settings file.
void useProgramSideFiles() {
    const kavenra::SideFileLocations locations = kavenra::app::ProgramSideFileLocations();
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

// An argument names a list file, or else an item listed as if dropped on the window, which the
// drop refuses and names when it brings no picture; Qt takes out the options that are its own.
int main(int argc, char* argv[]) {
    const kavenra::app::Invocation invocation =
        kavenra::app::ReadInvocation(ProgramArguments(argc, argv));
    if (const int answered = AnsweredInvocation(invocation); answered >= 0) return answered;
    if (invocation.kind == kavenra::app::Invocation::Kind::Resize) {
        return RunWithoutWindow(argc, argv, invocation.arguments);
    }
    if (!kavenra::app::DisplayAvailable(invocation)) return RefuseWindowWithoutDisplay(argc, argv);
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
        kavenra::app::WindowItemArguments(ArgumentsLeftByQt(argc, argv)),
        kavenra::WorkingDirectoryPath()));
    try {
        runApplication(application);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowUnknownException();
    }
    return 0;
}
