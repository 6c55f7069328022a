#include "app/Invocation.h"

#include <QProcessEnvironment>

#include <array>

#include "engine/run/CommandLineRequest.h"

namespace kavenra::app {
namespace {

const QString kEndOfOptions = QStringLiteral("--");

// The options QGuiApplication and QApplication take out of the arguments themselves, as
// documented for them; those in the first list take the next argument as their value. Qt reads
// each with one dash or two.
constexpr std::array<const char*, 14> kQtOptionsWithValue = {"platform",
                                                             "platformpluginpath",
                                                             "platformtheme",
                                                             "plugin",
                                                             "qwindowgeometry",
                                                             "qwindowicon",
                                                             "qwindowtitle",
                                                             "display",
                                                             "geometry",
                                                             "style",
                                                             "stylesheet",
                                                             "session",
                                                             "name",
                                                             "title"};
constexpr std::array<const char*, 6> kQtSwitches = {"reverse", "widgetcount", "nograb",
                                                    "dograb",  "sync",        "qmljsdebugger"};

// The option's name without its dashes and without an "=value".
QString QtName(const QString& argument) {
    QString name = argument.mid(argument.startsWith(kEndOfOptions) ? 2 : 1);
    return name.left(name.indexOf(QLatin1Char('=')));
}

// Qt takes the window's display from either.
bool NamesDisplay(const QString& name) {
    return name == QLatin1String("platform") || name == QLatin1String("display");
}

template <std::size_t N>
bool Among(const QString& name, const std::array<const char*, N>& names) {
    for (const char* known : names) {
        if (name == QLatin1String(known)) return true;
    }
    return false;
}

bool IsOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

Invocation Resize(const QByteArrayList& arguments, int resizeAt) {
    Invocation invocation;
    invocation.kind = Invocation::Kind::Resize;
    invocation.arguments = arguments;
    invocation.arguments.removeAt(resizeAt);
    for (const QByteArray& argument : invocation.arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") {
            invocation.kind = Invocation::Kind::ResizeHelp;
        }
    }
    return invocation;
}

// An option the window does not know: one of --resize's, given without it, or a slip of the
// program's own (or of --resize's, which is where most options are).
void TakeUnknownOption(Invocation& invocation, const QString& argument) {
    if (invocation.kind != Invocation::Kind::Window) return;
    const QString name = argument.left(argument.indexOf(QLatin1Char('=')));
    invocation.unknownOption = name;
    if (ResizeOptionNames().contains(name)) {
        invocation.kind = Invocation::Kind::ResizeOption;
        return;
    }
    invocation.kind = Invocation::Kind::UnknownOption;
    const QStringList known = QStringList{QLatin1String(kResizeOption), QStringLiteral("--help"),
                                          QStringLiteral("--version")} +
                              ResizeOptionNames();
    invocation.meantOption = NearestOption(name, known);
}

}  // namespace

Invocation ReadInvocation(const QByteArrayList& arguments) {
    const int resizeAt = arguments.indexOf(QByteArray(kResizeOption));
    const int endAt = arguments.indexOf(QByteArray("--"));
    if (resizeAt >= 0 && (endAt < 0 || resizeAt < endAt)) return Resize(arguments, resizeAt);
    Invocation invocation;
    invocation.arguments = arguments;
    for (int at = 0; at < arguments.size(); ++at) {
        // Options are ASCII; only names are bytes of any kind, and they stay bytes.
        const QString argument = QString::fromUtf8(arguments[at]);
        if (argument == kEndOfOptions) break;
        if (!IsOption(argument)) continue;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            invocation.kind = Invocation::Kind::Help;
            return invocation;
        }
        if (argument == QLatin1String("--version")) {
            invocation.kind = Invocation::Kind::Version;
            return invocation;
        }
        const QString name = QtName(argument);
        if (Among(name, kQtOptionsWithValue)) {
            // Qt reads the display only from the next argument, never after "=".
            if (!argument.contains(QLatin1Char('='))) {
                if (NamesDisplay(name) && at + 1 < arguments.size()) invocation.displayNamed = true;
                ++at;
            }
        } else if (!Among(name, kQtSwitches)) {
            TakeUnknownOption(invocation, argument);
        }
    }
    return invocation;
}

QByteArrayList WindowItemArguments(QByteArrayList arguments) {
    const int endAt = arguments.indexOf(QByteArray("--"));
    if (endAt >= 0) arguments.removeAt(endAt);
    return arguments;
}

bool DisplayAvailable(const Invocation& invocation) {
    if (invocation.displayNamed) return true;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!environment.value(QLatin1String(variable)).isEmpty()) return true;
    }
    return false;
}

}  // namespace kavenra::app
