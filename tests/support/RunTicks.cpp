#include "support/RunTicks.h"

#include "ui/Unit1.h"

#include <QTest>

namespace kavenra::testing {

bool RunOneTick() {
    Form1->Timer1Timer();
    return WaitForFileResult();
}

bool WaitForFileResult(int timeoutMs) {
    return QTest::qWaitFor([] { return !Form1->FileInHand(); }, timeoutMs);
}

}  // namespace kavenra::testing
