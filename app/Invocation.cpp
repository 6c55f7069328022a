#include "app/Invocation.h"

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

Invocation Resize(const QStringList& arguments, int resizeAt) {
    Invocation invocation;
    invocation.kind = Invocation::Kind::Resize;
    invocation.arguments = arguments;
    invocation.arguments.removeAt(resizeAt);
    for (const QString& argument : invocation.arguments) {
        if (argument == kEndOfOptions) break;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            invocation.kind = Invocation::Kind::ResizeHelp;
        }
    }
    return invocation;
}

}  // namespace

Invocation ReadInvocation(const QStringList& arguments) {
    const int resizeAt = arguments.indexOf(QLatin1String(kResizeOption));
    const int endAt = arguments.indexOf(kEndOfOptions);
    if (resizeAt >= 0 && (endAt < 0 || resizeAt < endAt)) return Resize(arguments, resizeAt);
    Invocation invocation;
    invocation.arguments = arguments;
    for (int at = 0; at < arguments.size(); ++at) {
        const QString& argument = arguments[at];
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
            if (!argument.contains(QLatin1Char('='))) ++at;
        } else if (!Among(name, kQtSwitches) && invocation.kind == Invocation::Kind::Window) {
            invocation.kind = Invocation::Kind::UnknownOption;
            invocation.unknownOption = argument;
        }
    }
    return invocation;
}

QStringList WindowItemArguments(QStringList arguments) {
    const int endAt = arguments.indexOf(kEndOfOptions);
    if (endAt >= 0) arguments.removeAt(endAt);
    return arguments;
}

}  // namespace kavenra::app
