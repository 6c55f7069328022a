#include "support/DatabaseProbe.h"

#include <QCoreApplication>
#include <QProcess>

namespace kavenra::testing {
namespace {

const char kProbeVariable[] = "KAVENRA_TEST_PROBE";
constexpr int kProbeTimeoutMs = 60000;

}  // namespace

QByteArray ProbeName() {
    return qgetenv(kProbeVariable);
}

ProbeResult RunProbe(const QByteArray& probe, const QString& workingDirectory,
                     const QProcessEnvironment& extraEnvironment) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extraEnvironment);
    environment.insert(QString::fromLatin1(kProbeVariable), QString::fromUtf8(probe));

    QProcess child;
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(workingDirectory);
    child.start(QCoreApplication::applicationFilePath(), QStringList());

    ProbeResult result;
    result.started = child.waitForStarted(kProbeTimeoutMs);
    if (!result.started) {
        return result;
    }
    if (!child.waitForFinished(kProbeTimeoutMs)) {
        child.kill();
        child.waitForFinished();
    }
    result.exitedNormally = child.exitStatus() == QProcess::NormalExit;
    result.exitCode = child.exitCode();
    result.standardOutput = QString::fromUtf8(child.readAllStandardOutput());
    result.standardError = QString::fromUtf8(child.readAllStandardError());
    return result;
}

}  // namespace kavenra::testing
