#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

// Paths that end the process (a missing database file ends it with status 1) are tested in a
// child: the test program starts itself again with a probe name in its environment, and its
// main() runs that probe instead of the test cases.
//
//   int main(int argc, char** argv) {
//       if (!kavenra::testing::ProbeName().isEmpty()) return RunMyProbe(...);
//       ...QTest::qExec...
//   }

namespace kavenra::testing {

struct ProbeResult {
    bool started = false;
    bool exitedNormally = false;
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

// The probe this process was started for; empty in a normal test run.
QByteArray ProbeName();

// Starts this test program again, in `workingDirectory`, to run `probe`; waits for it to end.
ProbeResult RunProbe(const QByteArray& probe, const QString& workingDirectory,
                     const QProcessEnvironment& extraEnvironment = QProcessEnvironment());

}  // namespace kavenra::testing
