#pragma once

// The built program in a process of its own, as a user starts it, until its main window is ready
// (the state report it writes when KAVENRA_DUMP_STATE names a file), and its end when the system
// closes it. The network and the first-run questions are the test's to arrange; the update check
// is told the machine is offline.

#include <QByteArrayList>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kavenra::testing {

struct ProgramStart {
    QString executable;
    QStringList arguments;
    QString workingDirectory;
    // Set in the program's environment over the test's own; an empty value removes the variable.
    QMap<QString, QString> environment;
};

class ProgramRun {
  public:
    ProgramRun();
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Starts the program and waits for its state report. False, with what the program said, when
    // it ends or stays silent first.
    bool startUntilReady(const ProgramStart& start, QString* error);
    QJsonObject state() const { return state_; }
    // The executables of the program's child processes: the image workers it started.
    QStringList childExecutables() const;

    // Closes it as the system does (SIGTERM); its exit code, or -1 when it did not end normally.
    int closeAndWait();

  private:
    QTemporaryDir reportFolder_;
    QProcess process_;
    QJsonObject state_;
};

// What a run of the program that needs no window left behind.
struct FinishedRun {
    bool finished = false;  // ended by itself within the time allowed, not by a signal
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs the program with no display at all (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset,
// as in a script or a text console) and waits for its end.
FinishedRun RunWithoutDisplay(const ProgramStart& start);

// The environment of such a run: the test's own, without any display, with `start`'s on top.
QProcessEnvironment EnvironmentWithoutDisplay(const ProgramStart& start);

// `start` run through /bin/sh, with `arguments` added after its own as the very bytes given:
// QProcess passes its arguments as UTF-8 text, and a file's name need not be.
ProgramStart WithByteArguments(ProgramStart start, const QByteArrayList& arguments);

// The texts of a JSON array of strings.
QStringList JsonStrings(const QJsonValue& value);

// Installs the build into `prefix` as `cmake --install` does for a user. False, with cmake's
// output, when it fails.
bool InstallBuildInto(const QString& prefix, QString* error);

}  // namespace kavenra::testing
