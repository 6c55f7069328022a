#include "app/HeadlessResize.h"

#include "app/DesktopNotification.h"
#include "app/ProgramSideFiles.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <variant>

#include "engine/output/ReplacingSaveLeftovers.h"
#include "engine/run/BatchRun.h"
#include "engine/run/CommandLineRequest.h"
#include "engine/run/HeadlessRun.h"
#include "engine/run/ImageFileOperations.h"
#include "engine/run/InputFiles.h"
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
        case RefusedInput::Why::Unreadable:
            return "not-readable";
    }
    return "not-found";
}

QString Shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString Shown(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// A name that is no UTF-8 reads with U+FFFD in its place; its exact bytes are kept beside it.
bool ReadsExactly(const QByteArray& path) {
    return QString::fromUtf8(path).toUtf8() == path;
}

// A path in a JSON line: readable under `key`, and, when the text cannot say which bytes it came
// from, those bytes in base64 under `key` + "_base64", so that a script can name the very file.
void PutPath(QJsonObject& line, const QString& key, const QByteArray& path) {
    line.insert(key, Shown(path));
    if (!ReadsExactly(path)) {
        line.insert(key + QStringLiteral("_base64"), QString::fromLatin1(path.toBase64()));
    }
}

// A file as a line on standard error names it: its own bytes, which the terminal shows as it
// shows them anywhere else; the empty name in quotes, so that it is seen.
QByteArray Named(const QByteArray& path) {
    return path.isEmpty() ? QByteArrayLiteral("\"\"") : path;
}

// Everything the run tells: failure lines, the progress line and the summary on standard error in
// the interface language, or one JSON object per file on standard output.
class Report {
  public:
    Report(const InterfaceTexts& texts, bool json)
        : texts_(texts), json_(json), progress_(!json && isatty(STDERR_FILENO) == 1) {}

    void Refused(const RefusedInput& refused) {
        ++total_;
        ++failed_;
        failedNames_ << FileNamePart(Shown(Named(refused.path)));
        Told(refused.path, "failed", RefusalWord(refused.why), RefusalText(refused.why));
    }

    // A file of a named folder that is no picture: named, counted apart, and no failure.
    void Skipped(const RefusedInput& skipped) {
        ++skipped_;
        Told(skipped.path, "skipped", RefusalWord(skipped.why), RefusalText(skipped.why));
    }

    // Every file of the run failed for one reason before any was converted: the output folder.
    void AllFailed(const QByteArrayList& entries, FailureReason reason) {
        for (const QByteArray& entry : entries) {
            ++total_;
            ++failed_;
            failedNames_ << FileNamePart(Shown(entry));
            if (json_) Told(entry, "failed", ReasonWord(reason), ReasonText(entry, reason));
        }
    }

    void ToConvert(int entries) { total_ += entries; }

    // The line that stands while a file converts: how far, which file, how long still.
    void Converting(int position, int entries, const QByteArray& entry,
                    std::optional<qint64> secondsLeft) {
        if (!progress_) return;
        QString line = QStringLiteral("[%1/%2] %3")
                           .arg(position + 1)
                           .arg(entries)
                           .arg(FileNamePart(Shown(entry)));
        if (const std::optional<qint64> left = secondsLeft) {
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
                QJsonObject line;
                PutPath(line, QStringLiteral("input"), entry);
                line.insert(QStringLiteral("status"), QStringLiteral("written"));
                PutPath(line, QStringLiteral("output"),
                        QByteArray::fromStdString(outcome.writtenAs));
                if (outcome.overBudget) line.insert(QStringLiteral("over_budget"), true);
                Json(line);
            }
            return;
        }
        ++failed_;
        failedNames_ << FileNamePart(Shown(entry));
        Told(entry, "failed", ReasonWord(outcome.reason), ReasonText(entry, outcome.reason));
    }

    void Interrupted(const QByteArray& entry) {
        const QString message = texts_.Text(kMainWindowForm, "Texto_redimension4");
        if (json_ && !entry.isEmpty()) {
            QJsonObject line;
            PutPath(line, QStringLiteral("input"), entry);
            line.insert(QStringLiteral("status"), QStringLiteral("failed"));
            line.insert(QStringLiteral("reason"), QStringLiteral("interrupted"));
            line.insert(QStringLiteral("message"), message);
            Json(line);
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
        if (skipped_ > 0)
            Line(texts_.Text(kMainWindowForm, "Texto_resumen_omitidos").arg(skipped_));
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
        DesktopNotice notice;
        notice.summary = texts_.Text(kMainWindowForm, "Texto_redimension");
        QStringList lines;
        if (interrupted) lines << texts_.Text(kMainWindowForm, "Texto_redimension4");
        if (!fatal_.isEmpty()) lines << fatal_;
        lines << texts_.Text(kMainWindowForm, "Texto_resumen1").arg(written_).arg(total_);
        if (skipped_ > 0)
            lines << texts_.Text(kMainWindowForm, "Texto_resumen_omitidos").arg(skipped_);
        if (!failedNames_.isEmpty()) {
            lines << texts_.Text(kMainWindowForm, "Texto_resumen2").arg(failedNames_.size());
            const ShownNames shown = NamesToShow(failedNames_);
            lines += shown.names;
            if (shown.more > 0) {
                lines << texts_.Text(kMainWindowForm, "Texto_resumen4").arg(shown.more);
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
            case RefusedInput::Why::Unreadable:
                return texts_.Text(kMainWindowForm, "Texto_motivo8");
        }
        return {};
    }

    // One file's outcome other than written: a JSON line, or a line on standard error.
    void Told(const QByteArray& path, const char* status, const char* reason,
              const QString& message) {
        if (json_) {
            QJsonObject line;
            PutPath(line, QStringLiteral("input"), path);
            line.insert(QStringLiteral("status"), QLatin1String(status));
            line.insert(QStringLiteral("reason"), QLatin1String(reason));
            line.insert(QStringLiteral("message"), message);
            return Json(line);
        }
        Line("kavenra: " + Named(path) + ": " + message.toLocal8Bit());
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
    void Line(const QString& text) { Line(text.toLocal8Bit()); }
    void Line(const QByteArray& bytes) {
        if (progressShown_) std::fputs("\r\033[K", stderr);
        progressShown_ = false;
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fputc('\n', stderr);
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
    int total_ = 0;
    int written_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
    QStringList renamed_;
    QStringList failedNames_;
    QStringList overBudget_;
    QString fatal_;
};

// A mistake is told with the way to the usage, not with the whole of it: the message must stay
// in sight.
std::variant<CommandLineRequest, int> ReadRequest(const QByteArrayList& arguments) {
    auto read = ReadCommandLineRequest(arguments);
    if (auto* error = std::get_if<UsageError>(&read)) {
        std::fprintf(stderr, "kavenra: %s\n%s\n", error->message.c_str(), kResizeHelpHint);
        return ExitStatus(ResizeExit::UsageError);
    }
    return std::get<CommandLineRequest>(std::move(read));
}

// The settings the window would use, never written: a script may run while the window is open.
SideFileLocations ProgramSideFiles() {
    const SideFileLocations locations = ProgramSideFileLocations();
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
    std::fprintf(stderr, "kavenra: --keep-raw-size takes camera RAW files only; not RAW: %s\n%s\n",
                 others.join(QStringLiteral(", ")).toLocal8Bit().constData(), kResizeHelpHint);
    return false;
}

// Why a folder cannot be made, from the system's answer.
FailureReason FolderFailure(int error) {
    switch (error) {
        case ENOTDIR:
        case EEXIST:
            return FailureReason::DestinationNotFolder;
        case ENAMETOOLONG:
            return FailureReason::PathTooLong;
        case ENOSPC:
        case EDQUOT:
            return FailureReason::DiskFull;
        default:
            return FailureReason::NotWritable;
    }
}

// Makes `folder` with its parents, one at a time, so that the first that fails tells why.
std::optional<FailureReason> MakeFolderPath(const QByteArray& folder) {
    for (qsizetype end = folder.indexOf('/', 1);; end = folder.indexOf('/', end + 1)) {
        const QByteArray step = end < 0 ? folder : folder.left(end);
        struct stat status {};
        if (!step.isEmpty() && stat(step.constData(), &status) != 0) {
            if (errno != ENOENT) return FolderFailure(errno);
            if (mkdir(step.constData(), 0777) != 0 && errno != EEXIST) return FolderFailure(errno);
            if (stat(step.constData(), &status) != 0) return FolderFailure(errno);
        }
        if (!step.isEmpty() && !S_ISDIR(status.st_mode)) return FailureReason::DestinationNotFolder;
        if (end < 0 || end + 1 >= folder.size()) break;
    }
    if (access(folder.constData(), W_OK | X_OK) != 0) return FolderFailure(errno);
    return std::nullopt;
}

// The output folder, made with its parents when missing; the run's files go through text, so a
// folder whose name is no UTF-8 cannot be given to it. Every file of the run fails, each named,
// when it cannot be made or written to.
bool MakeOutputFolder(const QByteArray& folder, const QByteArrayList& entries,
                      const InterfaceTexts& texts, Report& report) {
    std::optional<FailureReason> failure;
    QString why;
    if (!ReadsExactly(folder)) {
        failure = FailureReason::NotWritable;
        why = QStringLiteral("its name is no UTF-8 text; name another with --output");
    } else {
        failure = MakeFolderPath(folder);
        if (failure) why = texts.Text(kMainWindowForm, kFailureReasonKeys[std::size_t(*failure)]);
    }
    if (!failure) return true;
    report.Fatal(Shown(folder) + QStringLiteral(": ") +
                 texts.Text(kFolderChooserForm, "MsgBox_Error") + QLatin1Char(' ') + why);
    report.AllFailed(entries, *failure);
    return false;
}

int Convert(const CommandLineRequest& request, const GatheredInputs& inputs,
            const QByteArray& destination, const RunChoices& stored, Report& report) {
    RemoveAbandonedTemporaryFiles(destination.toStdString());
    const StopSignals stopSignals;
    // Nobody is there to ask whether to go on after a failure: the request has said it.
    HeadlessRun run(ControlsForRequest(request, inputs, destination, stored),
                    request.stopOnFailure ? GoOnPolicy::Stop : GoOnPolicy::GoOn);
    report.ToConvert(run.Entries());
    for (;;) {
        if (run.Position() < run.Entries()) {
            report.Converting(run.Position(), run.Entries(), run.Upcoming(), run.SecondsLeft());
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
                break;
        }
    }
}

// Everything after a request that reads well; the status to exit with.
int Resize(const CommandLineRequest& request, const RunChoices& stored, const InterfaceTexts& texts,
           Report& report) {
    const bool includeSubfolders = WithRequestedChoices(request, stored).includeSubfolders;
    const QByteArray workingDirectory = WorkingDirectoryPath();
    const QByteArray output = AbsoluteInputPath(request.output, workingDirectory);
    const GatheredInputs gathered =
        GatherInputs(request.inputs, workingDirectory, includeSubfolders, output);
    for (const RefusedInput& refused : gathered.refused) report.Refused(refused);
    for (const RefusedInput& skipped : gathered.skipped) report.Skipped(skipped);
    if (gathered.entries.isEmpty() || (request.stopOnFailure && !gathered.refused.empty())) {
        report.Summary();
        return ExitStatus(ResizeExit::SomeFailed);
    }
    if (request.keepRawSize && !AllCameraRaw(gathered.entries)) {
        return ExitStatus(ResizeExit::UsageError);
    }
    const QByteArray destination = output.isEmpty() ? gathered.proposedDestination : output;
    if (!MakeOutputFolder(destination, gathered.entries, texts, report)) {
        report.Summary();
        return ExitStatus(ResizeExit::SomeFailed);
    }
    return Convert(request, gathered, destination, stored, report);
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

int TellNoDisplay() {
    const std::string settings = ReadableSettingsDatabase(ProgramSideFiles());
    const InterfaceTexts texts(InterfaceLanguageDatabase(settings, LocaleLanguageCode()));
    constexpr char kKey[] = "Texto_sin_pantalla";
    QString message = texts.Text(kMainWindowForm, kKey);
    if (message == QLatin1String(kKey)) {
        message = QStringLiteral(
            "There is no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
            "set). Images are resized without a window with --resize, for example: kavenra "
            "--resize --longest 1600 FILE... (kavenra --resize --help tells more).");
    }
    std::fprintf(stderr, "kavenra: %s\n", message.toLocal8Bit().constData());
    // As a start of the window that cannot go on.
    return 1;
}

int RunHeadlessResize(const QByteArrayList& arguments) {
    auto read = ReadRequest(arguments);
    if (const int* status = std::get_if<int>(&read)) return *status;
    const CommandLineRequest& request = std::get<CommandLineRequest>(read);

    const RunSettings settings =
        ReadRunSettings(ReadableSettingsDatabase(ProgramSideFiles()), LocaleLanguageCode());
    const InterfaceTexts texts(settings.languageDatabase);
    Report report(texts, request.json);
    const int status = Resize(request, settings.choices, texts, report);
    if (request.notify) {
        Notify(report.Notice(status == 128 + SIGINT || status == 128 + SIGTERM), texts);
    }
    return status;
}

}  // namespace kavenra::app
