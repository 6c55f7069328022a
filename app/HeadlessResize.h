#pragma once

// `kavenra --resize ...`: a run without a window and without a display, for scripts and file
// managers. Needs a QCoreApplication (for the program's own folder) and nothing of the GUI.

#include <QByteArrayList>

namespace kavenra::app {

// The exit statuses a script can tell apart.
enum class ResizeExit : int {
    AllWritten = 0,
    SomeFailed = 1,  // some file failed, or the run could not start (no output folder)
    UsageError = 2,
    Interrupted = 130,  // SIGINT, as shells report it; SIGTERM gives 143
};

// Converts what the arguments after --resize name (as the system passed them: names are bytes),
// reporting on standard error (or, with --json, on standard output), and returns the exit status.
int RunHeadlessResize(const QByteArrayList& arguments);

// The window was asked for where there is no display: says so on standard error, in the
// interface language when its texts are at hand, with the way to resize without one; the status
// to exit with.
int TellNoDisplay();

}  // namespace kavenra::app
