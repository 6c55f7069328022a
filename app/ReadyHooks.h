#pragma once

// What the program does once its main window is ready for the user (the start-up checks have
// run and the message loop is running): it lets the system close it cleanly, and, for automated
// checks of the built program, reports its state when asked to.
//
//   SIGTERM               closes the main window as the user would; the program ends with
//                         status 0. Before the main window is ready the signal keeps its usual
//                         effect.
//   KAVENRA_DUMP_STATE    when set to a file name, the main window's state (list, count,
//                         destination, a selection of translated texts, the window's size and
//                         where some controls lie in it) is written to that file as JSON, once,
//                         when the window is ready. Unset, nothing is written.

namespace kavenra::app {

void MainWindowReady();

}  // namespace kavenra::app
