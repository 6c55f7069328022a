#pragma once

// What the program was started for, read from its arguments before anything else exists: the
// answers to --help and --version and a mistyped option need no display, and neither does a run
// with --resize.

#include <QString>
#include <QStringList>

namespace kavenra::app {

struct Invocation {
    enum class Kind {
        Window,         // the window, with the images, folders and list files named
        Resize,         // a run without a window: `arguments` are those after --resize
        Help,           // the program's help
        ResizeHelp,     // --resize's own usage
        Version,        //
        UnknownOption,  // `unknownOption` is no option of the program's nor of Qt's
    };
    Kind kind = Kind::Window;
    QStringList arguments;
    QString unknownOption;
};

// `arguments` without the program's name. "--" ends the options: what follows is a name, even
// "--resize". Qt's own options (-platform xcb, -style ...) belong to the window.
Invocation ReadInvocation(const QStringList& arguments);

// The window's arguments as Qt leaves them: the first "--" only marks where names begin.
QStringList WindowItemArguments(QStringList arguments);

}  // namespace kavenra::app
