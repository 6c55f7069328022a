#pragma once

// A test that stands between two ticks of the batch run holds Timer1 and runs each tick itself.
// A tick hands its entry to the image worker and returns; the rest of the tick runs when the
// result arrives. These run one whole tick.

namespace kavenra::testing {

// Runs Timer1Timer and then the event loop until the entry it handed over (if any) has been
// handled, message boxes of that tick included. False when that took more than a minute.
bool RunOneTick();

// Lets the event loop run until no entry is in hand; false after `timeoutMs`.
bool WaitForFileResult(int timeoutMs = 60000);

}  // namespace kavenra::testing
