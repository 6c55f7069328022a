#pragma once

// What the program was started for, read from its arguments before anything else exists: the
// answers to --help and --version and a mistyped option need no display, and neither does a run
// with --resize. The arguments are the system's bytes: a file's name need not be UTF-8.

#include <QByteArrayList>
#include <QString>

namespace kavenra::app {

struct Invocation {
    enum class Kind {
        Window,         // the window, with the images, folders and list files named
        Resize,         // a run without a window: `arguments` are those after --resize
        Help,           // the program's help
        ResizeHelp,     // --resize's own usage
        Version,        //
        UnknownOption,  // `unknownOption` is no option of the program's nor of Qt's
        ResizeOption,   // `unknownOption` is an option of --resize, given without it
    };
    Kind kind = Kind::Window;
    QByteArrayList arguments;
    QString unknownOption;
    // For an unknown option, the option it most likely meant; empty when none is close.
    QString meantOption;
    // Qt's -platform or -display was given: the window's display is named on the command line.
    bool displayNamed = false;
};

// `arguments` without the program's name. "--" ends the options: what follows is a name, even
// "--resize". Qt's own options (-platform xcb, -style ...) belong to the window.
Invocation ReadInvocation(const QByteArrayList& arguments);

// The window's arguments as Qt leaves them: the first "--" only marks where names begin.
QByteArrayList WindowItemArguments(QByteArrayList arguments);

// Whether the window has anything to show on: a display named by -platform or -display, or by
// QT_QPA_PLATFORM (offscreen, vnc and the like are displays of their own), or an X or Wayland
// display in the environment. Without one Qt would abort the program.
bool DisplayAvailable(const Invocation& invocation);

}  // namespace kavenra::app
