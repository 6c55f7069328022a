#pragma once

// How long the rest of a run should take, told the same way in the window's status bar and on
// the terminal.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace kavenra {

// The seconds the files still to do should take, judged from the time the `done` files before
// them took: each file left is given their average. Nothing before the first file is done, for a
// negative time, or when nothing is left.
std::optional<qint64> SecondsLeft(qint64 elapsedMs, int done, int total);

// A duration as a clock shows it: "0:07", "1:05", "1:02:05".
QString ClockDuration(qint64 seconds);

}  // namespace kavenra
