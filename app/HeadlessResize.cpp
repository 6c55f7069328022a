#include "app/HeadlessResize.h"

#include "app/DesktopNotification.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <variant>

#include "engine/imaging/ReplacingSaveLeftovers.h"
#include "engine/run/BatchRun.h"
#include "engine/run/CommandLineRequest.h"
#include "engine/run/HeadlessRun.h"
#include "engine/run/Procesosimagen.h"
#include "engine/run/TimeLeft.h"
#include "store/CaptionKeys.h"
#include "store/LanguageChoice.h"
#include "store/RunSettings.h"
#include "store/SideFiles.h"

namespace kavenra::app {
namespace {

// Set by the signal handler; the run looks at it while it waits for a file.
std::atomic<bool> stopRequested{false};
volatile sig_atomic_t stopSignal = 0;

extern "C" void RequestStop(int signal) {
    stopSignal = signal;
    stopRequested.store(true);
}

// Ctrl+C and a polite kill end the run cleanly: the file in hand is abandoned and removed, and
// the program then exits as the signal would have ended it, so that the shell sees 130 or 143.
class StopSignals {
  public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInterrupt_);
        sigaction(SIGTERM, &action, &previousTerminate_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

int ExitStatus(ResizeExit exit) {
    return static_cast<int>(exit);
}

// The words a script matches in the JSON lines; the message beside them is the user's language.
const char* ReasonWord(FailureReason reason) {
    switch (reason) {
        case FailureReason::None:
            return "unknown";
        case FailureReason::Unsupported:
            return "unsupported";
        case FailureReason::TooLarge:
            return "too-large";
        case FailureReason::TookTooLong:
            return "timed-out";
        case FailureReason::NotWritable:
            return "not-writable";
        case FailureReason::DiskFull:
            return "disk-full";
        case FailureReason::SourceGone:
            return "source-gone";
        case FailureReason::Incomplete:
            return "incomplete";
        case FailureReason::Unreadable:
            return "not-readable";
        case FailureReason::DestinationNotFolder:
            return "not-a-folder";
        case FailureReason::OutputNameTaken:
            return "name-taken";
        case FailureReason::ReplacesSource:
            return "replaces-source";
        case FailureReason::Damaged:
            return "damaged";
        case FailureReason::TooLargeForFormat:
            return "too-large-for-format";
        case FailureReason::PathTooLong:
            return "name-too-long";
    }
    return "unknown";
}

const char* RefusalWord(RefusedInput::Why why) {
    switch (why) {
        case RefusedInput::Why::NotFound:
            return "not-found";
        case RefusedInput::Why::NotAnImage:
            return "not-an-image";
        case RefusedInput::Why::NoImageInFolder:
            return "no-image-in-folder";
    }
    return "not-found";
}

QString Shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString Shown(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Everything the run tells: failure lines, the progress line and the summary on standard error in
// the interface language, or one JSON object per file on standard output.
class Report {
  public:
    Report(const InterfaceTexts& texts, bool json)
        : texts_(texts), json_(json), progress_(!json && isatty(STDERR_FILENO) == 1) {
        clock_.start();
    }

    void Refused(const RefusedInput& refused) {
        ++total_;
        ++failed_;
        failedNames_ << FileNamePart(Shown(refused.path));
        const QString message = RefusalText(refused.why);
        if (json_)
            return Json({{"input", Shown(refused.path)},
                         {"status", "failed"},
                         {"reason", RefusalWord(refused.why)},
                         {"message", message}});
        Line(QStringLiteral("kavenra: ") + Shown(refused.path) + QStringLiteral(": ") + message);
    }

    void ToConvert(int entries) { total_ += entries; }

    // The line that stands while a file converts: how far, which file, how long still.
    void Converting(int position, int entries, const QByteArray& entry) {
        if (!progress_) return;
        QString line = QStringLiteral("[%1/%2] %3")
                           .arg(position + 1)
                           .arg(entries)
                           .arg(FileNamePart(Shown(entry)));
        if (const std::optional<qint64> left = SecondsLeft(clock_.elapsed(), position, entries)) {
            line += QStringLiteral("  ") +
                    texts_.Text(kMainWindowForm, "Texto_linea_restante").arg(ClockDuration(*left));
        }
        std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
        std::fflush(stderr);
        progressShown_ = true;
    }

    void File(const QByteArray& entry, const FileOutcome& outcome) {
        if (outcome.committed) {
            ++written_;
            if (!outcome.renamedTo.empty()) renamed_ << RenamingText(entry, outcome.renamedTo);
            if (outcome.overBudget) overBudget_ << Shown(entry);
            if (json_) {
                QJsonObject line{{"input", Shown(entry)},
                                 {"status", "written"},
                                 {"output", Shown(outcome.writtenAs)}};
                if (outcome.overBudget) line.insert(QStringLiteral("over_budget"), true);
                Json(line);
            }
            return;
        }
        ++failed_;
        failedNames_ << FileNamePart(Shown(entry));
        const QString message = ReasonText(entry, outcome.reason);
        if (json_)
            return Json({{"input", Shown(entry)},
                         {"status", "failed"},
                         {"reason", ReasonWord(outcome.reason)},
                         {"message", message}});
        Line(QStringLiteral("kavenra: ") + Shown(entry) + QStringLiteral(": ") + message);
    }

    void Interrupted(const QByteArray& entry) {
        const QString message = texts_.Text(kMainWindowForm, "Texto_redimension4");
        if (json_ && !entry.isEmpty()) {
            Json({{"input", Shown(entry)},
                  {"status", "failed"},
                  {"reason", "interrupted"},
                  {"message", message}});
        }
        Line(message);
    }

    // A run that could not start at all.
    void Fatal(const QString& message) {
        fatal_ = message;
        Line(message);
    }

    void Summary() {
        if (json_) return;
        Line(texts_.Text(kMainWindowForm, "Texto_resumen1").arg(written_).arg(total_));
        if (!renamed_.isEmpty()) {
            Line(texts_.Text(kMainWindowForm, "Texto_resumen3").arg(renamed_.size()));
            for (const QString& renaming : renamed_) Line(QStringLiteral("  ") + renaming);
        }
        if (!overBudget_.isEmpty()) {
            Line(texts_.Text(kMainWindowForm, "Texto_resumen7").arg(overBudget_.size()));
            for (const QString& over : overBudget_) Line(QStringLiteral("  ") + over);
        }
    }

    bool AllWritten() const { return failed_ == 0 && written_ == total_; }

    // The outcome as the desktop tells it: what was written, and which files were not.
    DesktopNotice Notice(bool interrupted) const {
        constexpr int kNamesShown = 5;
        DesktopNotice notice;
        notice.summary = texts_.Text(kMainWindowForm, "Texto_redimension");
        QStringList lines;
        if (interrupted) lines << texts_.Text(kMainWindowForm, "Texto_redimension4");
        if (!fatal_.isEmpty()) lines << fatal_;
        lines << texts_.Text(kMainWindowForm, "Texto_resumen1").arg(written_).arg(total_);
        if (!failedNames_.isEmpty()) {
            lines << texts_.Text(kMainWindowForm, "Texto_resumen2").arg(failedNames_.size());
            lines += failedNames_.mid(0, kNamesShown);
            if (failedNames_.size() > kNamesShown) {
                lines << texts_.Text(kMainWindowForm, "Texto_resumen4")
                             .arg(failedNames_.size() - kNamesShown);
            }
        }
        notice.body = lines.join(QLatin1Char('\n'));
        notice.urgency = AllWritten() && !interrupted ? NotificationUrgency::Normal
                                                      : NotificationUrgency::Critical;
        return notice;
    }

  private:
    QString RefusalText(RefusedInput::Why why) const {
        switch (why) {
            case RefusedInput::Why::NotFound:
                return texts_.Text(kMainWindowForm, "Texto_motivo_no_existe");
            case RefusedInput::Why::NotAnImage:
                return texts_.Text(kMainWindowForm, "Texto_motivo1");
            case RefusedInput::Why::NoImageInFolder:
                return texts_.Text(kMainWindowForm, "Texto_motivo_carpeta_vacia");
        }
        return {};
    }

    QString ReasonText(const QByteArray& entry, FailureReason reason) const {
        const auto index = static_cast<std::size_t>(reason);
        if (index < kFailureReasonKeys.size() && kFailureReasonKeys[index]) {
            return texts_.Text(kMainWindowForm, kFailureReasonKeys[index]);
        }
        return texts_.Text(kMainWindowForm, "Texto_fallo1").arg(FileNamePart(Shown(entry)));
    }

    static QString RenamingText(const QByteArray& entry, const std::string& writtenAs) {
        return Shown(entry) + QStringLiteral(" \u2192 ") + Shown(writtenAs);
    }

    // A whole line on standard error, after the progress line is cleared.
    void Line(const QString& text) {
        if (progressShown_) std::fputs("\r\033[K", stderr);
        progressShown_ = false;
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    }

    void Json(const QJsonObject& object) {
        std::fprintf(stdout, "%s\n",
                     QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
    }

    const InterfaceTexts& texts_;
    const bool json_;
    const bool progress_;
    bool progressShown_ = false;
    QElapsedTimer clock_;
    int total_ = 0;
    int written_ = 0;
    int failed_ = 0;
    QStringList renamed_;
    QStringList failedNames_;
    QStringList overBudget_;
    QString fatal_;
};

std::variant<CommandLineRequest, int> ReadRequest(const QStringList& arguments) {
    auto read = ReadCommandLineRequest(arguments);
    if (auto* error = std::get_if<UsageError>(&read)) {
        std::fprintf(stderr, "kavenra: %s\n\n%s", error->message.c_str(),
                     CommandLineUsage().c_str());
        return ExitStatus(ResizeExit::UsageError);
    }
    return std::get<CommandLineRequest>(std::move(read));
}

// The settings the window would use, never written: a script may run while the window is open.
SideFileLocations ProgramSideFiles() {
    const SideFileLocations locations = LocateSideFiles(
        QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString(),
        ProcessConfigurationEnvironment());
    UseSideFiles(locations);
    return locations;
}

// The window offers to keep each file's own size only for a list of camera RAW files alone; the
// command line holds to the same, rather than copy other pictures at their size.
bool AllCameraRaw(const QByteArrayList& entries) {
    QStringList others;
    for (const QByteArray& entry : entries) {
        if (!IsRawImage(entry.toStdString())) others << Shown(entry);
    }
    if (others.isEmpty()) return true;
    std::fprintf(stderr, "kavenra: --keep-raw-size takes camera RAW files only; not RAW: %s\n",
                 others.join(QStringLiteral(", ")).toLocal8Bit().constData());
    return false;
}

// The output folder, made with its parents when missing. False, with the reason told, when it
// cannot be made or is no folder.
bool MakeOutputFolder(const QString& folder, const InterfaceTexts& texts, Report& report) {
    if (QDir().mkpath(folder) && QFileInfo(folder).isDir() && QFileInfo(folder).isWritable()) {
        return true;
    }
    report.Fatal(QDir::toNativeSeparators(folder) + QStringLiteral(": ") +
                 texts.Text(kFolderChooserForm, "MsgBox_Error"));
    return false;
}

int Convert(const CommandLineRequest& request, const GatheredInputs& inputs,
            const QString& destination, const FormatOptions& stored, Report& report) {
    RemoveAbandonedTemporaryFiles(QFile::encodeName(destination).toStdString());
    const StopSignals stopSignals;
    HeadlessRun run(ControlsForRequest(request, inputs, destination, stored));
    report.ToConvert(run.Entries());
    for (;;) {
        if (run.Position() < run.Entries()) {
            report.Converting(run.Position(), run.Entries(), run.Upcoming());
        }
        const HeadlessRun::Result result = run.Next(stopRequested);
        switch (result.step) {
            case HeadlessRun::Step::Done:
                report.Summary();
                return ExitStatus(report.AllWritten() ? ResizeExit::AllWritten
                                                      : ResizeExit::SomeFailed);
            case HeadlessRun::Step::Interrupted:
                report.Interrupted(result.entry);
                report.Summary();
                return 128 + static_cast<int>(stopSignal);
            case HeadlessRun::Step::File:
                report.File(result.entry, result.outcome);
                if (!result.outcome.committed && request.stopOnFailure) {
                    report.Summary();
                    return ExitStatus(ResizeExit::SomeFailed);
                }
                break;
        }
    }
}

// Everything after a request that reads well; the status to exit with.
int Resize(const CommandLineRequest& request, const std::string& settings,
           const InterfaceTexts& texts, Report& report) {
    const FormatOptions codes = WithRequestedOptions(request, StoredFormatOptions(settings));
    const GatheredInputs gathered =
        GatherInputs(request.inputs, QDir::currentPath(), codes.incluir_subcarpetas == 1);
    for (const RefusedInput& refused : gathered.refused) report.Refused(refused);
    if (gathered.entries.isEmpty() || (request.stopOnFailure && !gathered.refused.empty())) {
        report.Summary();
        return ExitStatus(ResizeExit::SomeFailed);
    }
    if (request.keepRawSize && !AllCameraRaw(gathered.entries)) {
        return ExitStatus(ResizeExit::UsageError);
    }
    const QString destination =
        request.output.isEmpty()
            ? gathered.proposedDestination
            : QDir::cleanPath(QDir::current().absoluteFilePath(request.output));
    if (!MakeOutputFolder(destination, texts, report)) return ExitStatus(ResizeExit::SomeFailed);
    return Convert(request, gathered, destination, StoredFormatOptions(settings), report);
}

// A failed notification costs the run nothing: the terminal, if any, has had every line. The
// line is in the run's language; the reason after it is the bus's own.
void Notify(const DesktopNotice& notice, const InterfaceTexts& texts) {
    const NotificationResult result = SendDesktopNotification(notice);
    if (result.shown()) return;
    const QString line =
        texts.Text(kMainWindowForm, "Texto_notificacion_fallida").arg(result.detail);
    std::fprintf(stderr, "kavenra: %s\n", line.toLocal8Bit().constData());
}

}  // namespace

int RunHeadlessResize(const QStringList& arguments) {
    auto read = ReadRequest(arguments);
    if (const int* status = std::get_if<int>(&read)) return *status;
    const CommandLineRequest& request = std::get<CommandLineRequest>(read);

    const std::string settings = ReadableSettingsDatabase(ProgramSideFiles());
    const InterfaceTexts texts(InterfaceLanguageDatabase(settings, LocaleLanguageCode()));
    Report report(texts, request.json);
    const int status = Resize(request, settings, texts, report);
    if (request.notify) {
        Notify(report.Notice(status == 128 + SIGINT || status == 128 + SIGTERM), texts);
    }
    return status;
}

}  // namespace kavenra::app
