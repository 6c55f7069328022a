#include "ProgramRun.h"

#include "LoopbackHttpServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace kavenra::testing {
namespace {

constexpr int kProgramTimeoutMs = 60000;

}  // namespace

QProcessEnvironment EnvironmentWithoutDisplay(const ProgramStart& start) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(variable));
    }
    for (auto it = start.environment.cbegin(); it != start.environment.cend(); ++it) {
        if (it.value().isEmpty()) {
            environment.remove(it.key());
        } else {
            environment.insert(it.key(), it.value());
        }
    }
    return environment;
}

// Each byte as printf's octal escape, so that the shell sees no byte of the name itself.
ProgramStart WithByteArguments(ProgramStart start, const QByteArrayList& arguments) {
    QString script = QStringLiteral("exec \"$0\" \"$@\"");
    for (const QByteArray& argument : arguments) {
        QString escaped;
        for (const char byte : argument) {
            escaped += QStringLiteral("\\%1").arg(uint(static_cast<unsigned char>(byte)), 3, 8,
                                                  QLatin1Char('0'));
        }
        script += QStringLiteral(" \"$(printf '%1')\"").arg(escaped);
    }
    start.arguments = QStringList{QStringLiteral("-c"), script, start.executable} + start.arguments;
    start.executable = QStringLiteral("/bin/sh");
    return start;
}

FinishedRun RunWithoutDisplay(const ProgramStart& start) {
    QProcess process;
    process.setProcessEnvironment(EnvironmentWithoutDisplay(start));
    process.setWorkingDirectory(start.workingDirectory);
    process.start(start.executable, start.arguments);
    FinishedRun run;
    if (!process.waitForStarted(kProgramTimeoutMs)) return run;
    if (!process.waitForFinished(10 * kProgramTimeoutMs)) {
        process.kill();
        process.waitForFinished(kProgramTimeoutMs);
    } else {
        run.finished = process.exitStatus() == QProcess::NormalExit;
        run.exitCode = process.exitCode();
    }
    run.standardOutput = process.readAllStandardOutput();
    run.standardError = process.readAllStandardError();
    return run;
}

ProgramRun::ProgramRun() = default;

ProgramRun::~ProgramRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(kProgramTimeoutMs);
    }
}

bool ProgramRun::startUntilReady(const ProgramStart& start, QString* error) {
    const QString stateFile = reportFolder_.filePath(QStringLiteral("state.json"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KAVENRA_TEST_PROBE"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("KAVENRA_ASSUME_ONLINE"), QStringLiteral("0"));
    // Should the online test ever be asked, nothing listens there.
    environment.insert(QStringLiteral("KAVENRA_WEB_HOST"),
                       QStringLiteral("127.0.0.1:%1").arg(LoopbackHttpServer::unusedPort()));
    environment.insert(QStringLiteral("KAVENRA_DUMP_STATE"), stateFile);
    for (auto it = start.environment.cbegin(); it != start.environment.cend(); ++it) {
        if (it.value().isEmpty()) {
            environment.remove(it.key());
        } else {
            environment.insert(it.key(), it.value());
        }
    }
    process_.setProcessEnvironment(environment);
    process_.setWorkingDirectory(start.workingDirectory);
    process_.start(start.executable, start.arguments);
    if (!process_.waitForStarted(kProgramTimeoutMs)) {
        *error = process_.errorString();
        return false;
    }
    const bool ended = !QTest::qWaitFor(
        [&] { return QFileInfo::exists(stateFile) || process_.state() == QProcess::NotRunning; },
        kProgramTimeoutMs);
    QFile report(stateFile);
    if (ended || process_.state() != QProcess::Running || !report.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no state report; exit code %1, stderr: %2")
                     .arg(process_.exitCode())
                     .arg(QString::fromUtf8(process_.readAllStandardError()));
        return false;
    }
    state_ = QJsonDocument::fromJson(report.readAll()).object();
    return true;
}

int ProgramRun::closeAndWait() {
    process_.terminate();
    if (!process_.waitForFinished(kProgramTimeoutMs) ||
        process_.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process_.exitCode();
}

QStringList ProgramRun::childExecutables() const {
    const qint64 parent = process_.processId();
    QStringList executables;
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString folder = processes.next();
        QFile stat(folder + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        // The parent's id is the second field after the command, which ends with the last ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == parent) {
            executables << QFileInfo(folder + QStringLiteral("/exe")).symLinkTarget();
        }
    }
    return executables;
}

QStringList JsonStrings(const QJsonValue& value) {
    QStringList texts;
    for (const QJsonValue& item : value.toArray()) texts << item.toString();
    return texts;
}

bool InstallBuildInto(const QString& prefix, QString* error) {
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(KAVENRA_CMAKE_COMMAND),
                {QStringLiteral("--install"), QStringLiteral(KAVENRA_BUILD_DIR),
                 QStringLiteral("--prefix"), prefix});
    if (!cmake.waitForFinished(kProgramTimeoutMs) || cmake.exitStatus() != QProcess::NormalExit ||
        cmake.exitCode() != 0) {
        *error = QString::fromLocal8Bit(cmake.readAll()) + cmake.errorString();
        return false;
    }
    return true;
}

}  // namespace kavenra::testing
