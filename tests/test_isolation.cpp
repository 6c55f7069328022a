// The image worker seen from the program: detection and conversion answer as FreeImage in this
// process would; the worker is started once, kept, and replaced when it dies; its job process
// serves calls in a row and is replaced after a failed one; a job that crashes, is killed or
// overruns its time costs only its own call (after one more try in a fresh job process when the
// crash may be an earlier file's, within what is left of the call's time) and leaves no file
// behind; a program killed in the middle of a save leaves a temporary file that the next run's
// sweep removes; the memory limit refuses a picture before it is decoded, and conversions on
// several lanes share one memory bound, waiting for each other rather than exceed it; the
// caller's settings,
// working directory and descriptors reach the worker as they should, and nothing else does, its
// error stream included.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/base/MemoryBound.h"
#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ConversionEstimate.h"
#include "engine/isolation/BackgroundConversion.h"
#include "engine/isolation/ImageDetection.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/output/ReplacingSave.h"
#include "engine/output/ReplacingSaveLeftovers.h"
#include "engine/run/ImageFileOperations.h"
#include "support/AdmissionFixtures.h"
#include "support/ConversionWorkspace.h"
#include "support/CreationWatch.h"
#include "support/FileContents.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFileInspection.h"
#include "support/ImageFiles.h"
#include "support/WarningTiff.h"

using namespace kavenra;
using namespace kavenra::test;
using kavenra::testing::CreationWatch;
using kavenra::testing::ImageJobProcess;
using kavenra::testing::LoadSaveHoldIntoWorkers;
using kavenra::testing::OpenDescriptors;
using kavenra::testing::PendingSignals;
using kavenra::testing::ProcessEnded;
using kavenra::testing::SaveHold;
using kavenra::testing::ScopedEnvironment;
using kavenra::testing::TiffWithUnknownTags;
using kavenra::testing::WaitForProcessEnd;
using kavenra::testing::WaitForProcessStop;

using kavenra::testing::FileContents;
using kavenra::testing::WriteFileContents;

namespace {

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Width and height from the header, as FreeImage reads it.
QSize HeaderSize(const QString& path) {
    const BitmapHandle header = LoadImageFile(NativePath(path), FIF_LOAD_NOPIXELS);
    if (!header) return {};
    return QSize(int(FreeImage_GetWidth(header.get())), int(FreeImage_GetHeight(header.get())));
}

// A grey picture of one flat colour: large in pixels, small on disk, quick to make.
bool WriteFlatGreyPng(const QString& path, int width, int height) {
    const BitmapHandle grey(FreeImage_Allocate(width, height, 8));
    if (!grey) return false;
    RGBQUAD* palette = FreeImage_GetPalette(grey.get());
    for (int i = 0; i < 256; ++i) {
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
    }
    return SaveBitmapFile(*grey, FIF_PNG, NativePath(path), PNG_Z_BEST_SPEED);
}

// Sends a signal to the worker's job process the moment a file whose name starts with `prefix`
// appears in `folder`, at most `times` times: a job that dies in the middle of its save.
class KillOnCreation {
  public:
    KillOnCreation(const QString& folder, const QString& prefix, pid_t worker, int signalNumber,
                   int times)
        : watch_(folder, prefix, [this, worker, signalNumber, times](const QString&) {
              const std::lock_guard<std::mutex> lock(mutex_);
              const pid_t job = ImageJobProcess(worker);
              if (job <= 0 || !WaitForProcessStop(job, 60000)) return;
              if (kills_ < times) {
                  kill(job, signalNumber);
                  ++kills_;
              }
              kill(job, SIGCONT);
          }) {}

    int kills() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return kills_;
    }

  private:
    mutable std::mutex mutex_;
    int kills_ = 0;
    SaveHold hold_;        // the job waits at its temporary file until the watch has acted
    CreationWatch watch_;  // last: it calls back into the members above until destroyed
};

}  // namespace

class IsolationTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // The job process of `lane`'s worker once it has stopped at its save's temporary file (a
    // SaveHold lives); 0 when it does not get there.
    static pid_t heldJobProcess(WorkerLane lane) {
        pid_t job = 0;
        const bool held = QTest::qWaitFor(
            [&] {
                const pid_t worker = ImageWorkerProcessId(lane);
                job = worker > 0 ? ImageJobProcess(worker) : 0;
                return job > 0 && WaitForProcessStop(job, 100);
            },
            60000);
        return held ? job : 0;
    }

    QString makePng(const QString& name, int width, int height) {
        return WriteImageFile(NativePath(in(name)), FIF_PNG, width, height, 1, PNG_Z_BEST_SPEED)
                   ? in(name)
                   : QString();
    }

  private slots:
    void initTestCase() {
        InitialiseFreeImageOnce();
        LoadSaveHoldIntoWorkers();
    }

    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    void detectionAnswersAsTheLibrary_data() {
        QTest::addColumn<QString>("content");
        QTest::newRow("BMP") << "bmp";
        QTest::newRow("JPEG") << "jpeg";
        QTest::newRow("PNG") << "png";
        QTest::newRow("TARGA") << "tga";
        QTest::newRow("TIFF") << "tif";
        QTest::newRow("camera RAW") << "raw";
        QTest::newRow("GIF") << "gif";
        QTest::newRow("PPM") << "ppm";
        QTest::newRow("text") << "text";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("missing file") << "missing";
        QTest::newRow("folder") << "folder";
    }

    // The same answer as FreeImage_GetFileType in this process; and the path is the caller's:
    // a relative path names the same file in the worker.
    void detectionAnswersAsTheLibrary() {
        QFETCH(QString, content);
        static const QHash<QString, FREE_IMAGE_FORMAT> formats = {
            {"bmp", FIF_BMP},  {"jpeg", FIF_JPEG}, {"png", FIF_PNG},   {"tga", FIF_TARGA},
            {"tif", FIF_TIFF}, {"gif", FIF_GIF},   {"ppm", FIF_PPMRAW}};
        const QString path = in("subject");
        if (formats.contains(content))
            QVERIFY(WriteImageFile(NativePath(path), formats[content], 24, 16));
        if (content == "raw") QVERIFY(WriteMinimalDng(NativePath(path)));
        if (content == "text") QVERIFY(WriteFileContents(path, "not a picture\n"));
        if (content == "empty") QVERIFY(WriteFileContents(path, ""));
        if (content == "folder") QVERIFY(QDir().mkpath(path));

        const FREE_IMAGE_FORMAT expected = FreeImage_GetFileType(NativePath(path).c_str(), 0);
        const IsolatedDetection detection = DetectIsolated(NativePath(path));
        QCOMPARE(detection.format, expected);
        QCOMPARE(detection.report.end, ImageJobEnd::Answered);

        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work->filePath("in")));
        const ImageFormat relative = DetectImageFormat("subject");
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(relative, expected);
    }

    void onlyRegularFilesAreRead_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe nobody writes to") << "fifo";
        QTest::newRow("endless device") << "/dev/zero";
        QTest::newRow("link to a named pipe") << "link";
    }

    // A pipe would hold the reads for good, a device feed them without end: they are answered
    // as nothing FreeImage recognises. A job that read them would end at its time limit, never
    // with an answer.
    void onlyRegularFilesAreRead() {
        QFETCH(QString, kind);
        QString path = kind.startsWith('/') ? kind : in("pipe.png");
        if (kind != "/dev/zero") QCOMPARE(mkfifo(NativePath(in("pipe.png")).c_str(), 0600), 0);
        if (kind == "link") {
            QVERIFY(QFile::link(in("pipe.png"), in("link.png")));
            path = in("link.png");
        }
        const IsolatedDetection detection = DetectIsolated(NativePath(path));
        QCOMPARE(detection.format, FIF_UNKNOWN);
        QCOMPARE(detection.report.end, ImageJobEnd::Answered);
        const WorkerConversion conversion = convertInWorker(path, out("picture.png"));
        QVERIFY(!conversion.committed);
        QCOMPARE(conversion.report.end, ImageJobEnd::Answered);
        QCOMPARE(Listing(outFolder()), QStringList{});
    }

    void workerIsStartedOnceAndKept() {
        const QString source = makePng("picture.png", 64, 48);
        StopImageWorker();
        QCOMPARE(ImageWorkerProcessId(), pid_t(0));

        const IsolatedDetection detection = DetectIsolated(NativePath(source));
        QCOMPARE(detection.format, FIF_PNG);
        QVERIFY(detection.report.restarted);
        const pid_t worker = ImageWorkerProcessId();
        QVERIFY(worker > 0);
        const WorkerConversion conversion = convertInWorker(source, out("picture.png"));
        QVERIFY(conversion.committed);
        QVERIFY(!conversion.report.restarted);
        QVERIFY(IsRawImage(NativePath(source)) == false);
        QCOMPARE(ImageWorkerProcessId(), worker);
    }

    // Killed from outside between two calls: the next call starts another worker and still
    // answers, and the dead one is reaped.
    void deadWorkerIsReplacedAndReaped() {
        const QString source = makePng("picture.png", 64, 48);
        QVERIFY(IsSupportedImage(NativePath(source)));
        const pid_t first = ImageWorkerProcessId();
        QVERIFY(first > 0);
        QCOMPARE(kill(first, SIGKILL), 0);
        QVERIFY(WaitForProcessEnd(first, 5000));

        const WorkerConversion conversion = convertInWorker(source, out("picture.png"));
        QVERIFY(conversion.committed);
        QCOMPARE(HeaderSize(out("picture.png")), QSize(40, 30));
        QVERIFY(conversion.report.restarted);
        const pid_t second = ImageWorkerProcessId();
        QVERIFY(second > 0 && second != first);
        QVERIFY2(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(first)),
                 "the dead worker was not reaped");
    }

    // The job process serves call after call while they succeed, and is replaced after a call
    // that failed, whose file may have damaged it unseen; the worker itself stays.
    void jobProcessIsReplacedAfterAFailedCall() {
        const QString picture = makePng("picture.png", 64, 48);
        const QString text = in("notes.png");
        QVERIFY(WriteFileContents(text, "not a picture\n"));
        QVERIFY(IsSupportedImage(NativePath(picture)));
        const pid_t worker = ImageWorkerProcessId();
        const pid_t first = ImageJobProcess(worker);
        QVERIFY(first > 0);

        QVERIFY(convertInWorker(picture, out("a.png")).committed);
        QVERIFY(IsSupportedImage(NativePath(picture)));
        QCOMPARE(ImageJobProcess(worker), first);

        QVERIFY(!convertInWorker(text, out("b.png")).committed);
        QVERIFY(WaitForProcessEnd(first, 5000));
        QVERIFY(IsSupportedImage(NativePath(picture)));
        const pid_t second = ImageJobProcess(worker);
        QVERIFY(second > 0 && second != first);
        QCOMPARE(ImageWorkerProcessId(), worker);
    }

    void dyingJobProcess_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("everyTime");     // also in the second attempt
        QTest::addColumn<bool>("freshProcess");  // the job process had served no call before

        QTest::newRow("segmentation fault, twice") << int(SIGSEGV) << true << false;
        QTest::newRow("abort, twice") << int(SIGABRT) << true << false;
        QTest::newRow("killed, twice") << int(SIGKILL) << true << false;
        QTest::newRow("bus error, once") << int(SIGBUS) << false << false;
        QTest::newRow("segmentation fault in a fresh process") << int(SIGSEGV) << false << true;
    }

    // The job process dies in the middle of its save. After earlier calls the death may be
    // theirs: the call runs once more in a fresh job process, and fails only when that one dies
    // too; a fresh process's death fails the call at once. Nothing is left in the output folder,
    // the worker stays, and the next calls are served as before.
    void dyingJobProcess() {
        QFETCH(int, signalNumber);
        QFETCH(bool, everyTime);
        QFETCH(bool, freshProcess);
        const QString source = makePng("picture.png", 1600, 1200);
        const QString text = in("notes.txt");
        QVERIFY(WriteFileContents(text, "not a picture\n"));
        // A failed call retires the job process: the next call gets a fresh one.
        QCOMPARE(IsSupportedImage(NativePath(freshProcess ? text : source)), !freshProcess);
        const pid_t worker = ImageWorkerProcessId();
        WorkerConversion conversion;
        int kills = 0;
        {
            KillOnCreation killer(outFolder(), ".kavenra-", worker, signalNumber,
                                  everyTime ? 2 : 1);
            conversion = convertInWorker(source, out("picture.png"), 0, 1200, 1600);
            kills = killer.kills();
        }
        const bool converted = conversion.committed;
        const ImageJobReport report = conversion.report;
        const bool secondAttempt = !freshProcess;
        QCOMPARE(report.retried, secondAttempt);
        QCOMPARE(kills, secondAttempt && everyTime ? 2 : 1);
        QCOMPARE(converted, secondAttempt && !everyTime);
        if (!converted) {
            QCOMPARE(report.end, ImageJobEnd::Crashed);
            QCOMPARE(report.signal, signalNumber);
            QCOMPARE(Listing(outFolder()), QStringList{});
        } else {
            QCOMPARE(Listing(outFolder()), QStringList{"picture.png"});
            QCOMPARE(HeaderSize(out("picture.png")), QSize(1600, 1200));
        }
        QCOMPARE(ImageWorkerProcessId(), worker);

        options.pngLevel = PngLevelOfCode(4);
        QVERIFY(convertInWorker(source, out("again.png")).committed);
        QCOMPARE(
            QString::fromStdString(DescribeEncoding(ReadFileBytes(NativePath(out("again.png"))))),
            QString("PNG level hint 0, stored"));
        QCOMPARE(DetectImageFormat(NativePath(source)), FIF_PNG);
        QCOMPARE(ImageWorkerProcessId(), worker);
    }

    // A committed fuzzing reproducer that crashes FreeImage's PSD loader on Debian 12: the crash
    // is the job's, the program hears of a failed file, and the same worker converts the next.
    void fileThatCrashesTheLibraryFailsOnlyItsCall() {
        const QString crasher =
            QStringLiteral(KAVENRA_SOURCE_DIR "/tests/data/hostile/psd-crash-segfault.psd");
        QCOMPARE(DetectImageFormat(NativePath(crasher)), FIF_PSD);
        const pid_t worker = ImageWorkerProcessId();

        const WorkerConversion conversion = convertInWorker(crasher, out("crash.psd"));
        QVERIFY(!conversion.committed);
        QCOMPARE(conversion.report.end, ImageJobEnd::Crashed);
        QCOMPARE(conversion.report.signal, int(SIGSEGV));
        QCOMPARE(conversion.failure, FailureReason::Unsupported);
        QCOMPARE(Listing(outFolder()), QStringList{});

        QVERIFY(convertInWorker(makePng("picture.png", 64, 48), out("picture.png")).committed);
        QCOMPARE(ImageWorkerProcessId(), worker);
    }

    // Killed halfway through writing: the temporary file it announced is removed by the program
    // and the file it was to replace keeps its content.
    void jobKilledWhileSavingLeavesNoTrace() {
        const QString source = makePng("large.png", 2400, 1800);
        const QByteArray precious = "the earlier result\n";
        QVERIFY(WriteFileContents(out("large.png"), precious));
        QVERIFY(IsSupportedImage(NativePath(source)));
        const pid_t worker = ImageWorkerProcessId();
        KillOnCreation killer(outFolder(), ".kavenra-", worker, SIGKILL, 2);

        const WorkerConversion conversion =
            convertInWorker(source, out("large.png"), 0, 1800, 2400);
        QVERIFY(!conversion.committed);
        QCOMPARE(killer.kills(), 2);  // the first attempt and the one in a fresh job process
        QCOMPARE(conversion.report.end, ImageJobEnd::Crashed);
        QCOMPARE(Listing(outFolder()), QStringList{"large.png"});
        QCOMPARE(FileContents(out("large.png")), precious);
    }

    // The program itself killed in the middle of a save: its worker goes with it, and the
    // temporary file it was writing stays, named after the program. The next run's sweep of the
    // folder removes it, and leaves the earlier file and the temporary file of a program that
    // still runs.
    void programKilledWhileSavingLeavesWhatTheNextRunRemoves() {
        const QString source = makePng("large.png", 2400, 1800);
        const QByteArray precious = "the earlier result\n";
        QVERIFY(WriteFileContents(out("large.png"), precious));
        options.pngLevel = PngLevelOfCode(3);  // the slowest compression: a long write
        int go[2];
        QCOMPARE(pipe(go), 0);
        const pid_t program = fork();
        if (program == 0) {
            char byte = 0;
            if (read(go[0], &byte, 1) == 1)
                convertInWorker(source, out("large.png"), 0, 1800, 2400);
            _exit(0);
        }
        close(go[0]);
        std::atomic<pid_t> worker{0};
        std::atomic<pid_t> job{0};
        {
            const CreationWatch watch(outFolder(), ".kavenra-", [&](const QString&) {
                if (worker != 0) return;
                worker = ImageJobProcess(program);
                job = ImageJobProcess(worker);
                kill(program, SIGKILL);
            });
            QCOMPARE(write(go[1], "x", 1), ssize_t(1));
            close(go[1]);
            waitpid(program, nullptr, 0);
        }
        QVERIFY(worker > 0 && job > 0);
        QVERIFY(WaitForProcessEnd(worker, 5000));
        QVERIFY(WaitForProcessEnd(job, 5000));

        const QStringList left = Listing(outFolder());
        QCOMPARE(left.size(), 2);
        QVERIFY2(left[0].startsWith(QStringLiteral(".kavenra-%1-").arg(program)),
                 qPrintable(left.join(", ")));
        QCOMPARE(left[1], QString("large.png"));
        const QString running = QStringLiteral(".kavenra-%1-0123456789abcdef.part").arg(getpid());
        QVERIFY(WriteFileContents(out(running), "half\n"));

        QCOMPARE(RemoveAbandonedTemporaryFiles(NativePath(outFolder() + '/')), 1);
        QCOMPARE(Listing(outFolder()), (QStringList{running, "large.png"}));
        QCOMPARE(FileContents(out("large.png")), precious);
    }

    // A retry after a crash has what the first attempt left of the call's time. Here the first
    // attempt is held (stopped) until its own time has run out, its timer's signal waiting, and
    // is then killed: the crash would earn a retry in a fresh job process, but no time is left,
    // so the call ends out of time without a second attempt.
    void retryHasOnlyTheTimeLeft() {
        const QString source = makePng("picture.png", 1600, 1200);
        // A job process that has served a call: its crash may be that call's, so it may retry.
        QVERIFY(IsSupportedImage(NativePath(source)));
        const pid_t worker = ImageWorkerProcessId();
        std::atomic<int> attempts{0};
        WorkerConversion conversion;
        {
            const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS", "4000");
            const SaveHold hold;
            const CreationWatch watch(outFolder(), ".kavenra-", [&](const QString&) {
                const pid_t job = ImageJobProcess(worker);
                if (job <= 0 || !WaitForProcessStop(job, 60000)) return;
                if (attempts++ > 0) {
                    kill(job, SIGCONT);
                    return;
                }
                const unsigned long long alarm = 1ULL << (SIGALRM - 1);
                while (!ProcessEnded(job) && (PendingSignals(job) & alarm) == 0) usleep(1000);
                kill(job, SIGKILL);
            });
            conversion = convertInWorker(source, out("picture.png"), 0, 1200, 1600);
        }
        QVERIFY(!conversion.committed);
        QCOMPARE(attempts.load(), 1);
        QCOMPARE(conversion.report.end, ImageJobEnd::TimedOut);
        QCOMPARE(conversion.failure, FailureReason::TookTooLong);
        QVERIFY(!conversion.report.retried);
        QCOMPARE(Listing(outFolder()), QStringList{});
        QCOMPARE(ImageWorkerProcessId(), worker);
        QVERIFY(convertInWorker(makePng("small.png", 64, 48), out("small.png")).committed);
    }

    // Decoders write warnings on their error stream, libtiff a line for every tag it does not
    // know. With the program's error stream a pipe nobody reads (a small one, soon full), ten
    // such files still convert: the worker's error stream is not the program's.
    void undrainedErrorStreamHoldsNoConversion() {
        constexpr int kFiles = 10;
        for (int i = 0; i < kFiles; ++i) {
            QVERIFY(WriteFileBytes(NativePath(in(QString("warns%1.tif").arg(i))),
                                   TiffWithUnknownTags(40, 30, 60)));
        }
        int undrained[2];
        QCOMPARE(pipe2(undrained, O_CLOEXEC), 0);
        fcntl(undrained[1], F_SETPIPE_SZ, 4096);
        const int programErrors = dup(STDERR_FILENO);
        QVERIFY(programErrors >= 0);
        StopImageWorker();  // the next worker starts with the error stream below
        int converted = 0;
        {
            const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS", "5000");
            dup2(undrained[1], STDERR_FILENO);
            for (int i = 0; i < kFiles; ++i) {
                const QString name = QString("warns%1.tif").arg(i);
                converted += convertInWorker(in(name), out(name)).committed ? 1 : 0;
            }
            dup2(programErrors, STDERR_FILENO);
        }
        close(programErrors);
        close(undrained[0]);
        close(undrained[1]);
        StopImageWorker();
        QCOMPARE(converted, kFiles);
        QCOMPARE(HeaderSize(out("warns9.tif")), QSize(40, 30));
    }

    // The job's own timer ends it (its alarm, not the caller's later backstop, and not a job that
    // ran to its end); the worker survives and serves the next call. However fast the machine,
    // the job overruns: it is held at its save until its alarm is pending, then let go.
    void overrunningJobIsStopped() {
        const QString source = makePng("large.png", 240, 180);
        QVERIFY(IsSupportedImage(NativePath(source)));
        const pid_t worker = ImageWorkerProcessId();
        options.filter = FilterOfCode(6);  // Lanczos
        options.pngLevel = PngLevelOfCode(3);
        WorkerConversion conversion;
        {
            const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS", "150");
            const SaveHold hold;
            const CreationWatch watch(outFolder(), ".kavenra-", [&](const QString&) {
                const pid_t job = ImageJobProcess(worker);
                if (job <= 0 || !WaitForProcessStop(job, 60000)) return;
                const unsigned long long alarm = 1ULL << (SIGALRM - 1);
                while (!ProcessEnded(job) && (PendingSignals(job) & alarm) == 0) usleep(1000);
                kill(job, SIGCONT);
            });
            conversion = convertInWorker(source, out("large.png"), 0, 179, 239);
        }
        QVERIFY(!conversion.committed);
        QCOMPARE(conversion.report.end, ImageJobEnd::TimedOut);
        QCOMPARE(conversion.report.signal, SIGALRM);
        QCOMPARE(ImageWorkerProcessId(), worker);
        QCOMPARE(Listing(outFolder()), QStringList{});

        QVERIFY(convertInWorker(makePng("small.png", 64, 48), out("small.png")).committed);
    }

    // A tighter address-space limit than the picture's declared size needs: refused from its
    // header (the job answers; it does not crash on a failed allocation), while the worker with
    // the machine's limit converts the same file.
    void memoryLimitRefusesBeforeDecoding() {
        const QString source = in("flat.png");
        // 81 MB as loaded, and four times that should the rescale make colour of it.
        QVERIFY(WriteFlatGreyPng(source, 9000, 9000));
        {
            const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_MEMORY_MB", "300", true);
            const WorkerConversion conversion = convertInWorker(source, out("flat.png"), 1, 0, 100);
            QVERIFY(!conversion.committed);
            QCOMPARE(conversion.report.end, ImageJobEnd::Answered);
            QCOMPARE(conversion.failure, FailureReason::TooLarge);
            QVERIFY(IsSupportedImage(NativePath(source)));  // detection reads no pixels
        }
        QVERIFY(convertInWorker(source, out("flat.png"), 1, 0, 100).committed);
        QCOMPARE(HeaderSize(out("flat.png")), QSize(100, 100));
    }

    void conversionsShareOneMemoryBound_data() {
        QTest::addColumn<bool>("roomForBoth");
        QTest::newRow("room for one: the second waits for the first") << false;
        QTest::newRow("room for both: side by side") << true;
    }

    // Two run lanes convert at once only while what they hold together fits the bound: the
    // first conversion, held at its save (and so holding its share), keeps the second waiting
    // when there is no room for both, and not when there is.
    void conversionsShareOneMemoryBound() {
        QFETCH(bool, roomForBoth);
        const QString first = makePng("first.png", 1600, 1200);
        const QString second = makePng("second.png", 1200, 1600);
        const ConversionJob firstJob = job(first, out("first.png"));
        const ConversionJob secondJob = job(second, out("second.png"));
        const std::optional<std::uint64_t> need = EstimateConversionMemory(firstJob);
        QVERIFY(need && *need > 0);
        QCOMPARE(EstimateConversionMemory(secondJob), need);
        const std::uint64_t oneMb = (*need >> 20) + 1;
        const std::uint64_t budgetMb = roomForBoth ? 2 * oneMb : oneMb;
        QVERIFY(roomForBoth || (budgetMb << 20) < 2 * *need);
        const ScopedEnvironment budget("KAVENRA_IMAGE_MEMORY_BUDGET_MB",
                                       QByteArray::number(quint64(budgetMb)));

        std::optional<SaveHold> hold(std::in_place);
        BackgroundConversion firstRun(firstJob, WorkerLane::RunA, {});
        const pid_t firstJobProcess = heldJobProcess(WorkerLane::RunA);
        QVERIFY(firstJobProcess > 0);
        BackgroundConversion secondRun(secondJob, WorkerLane::RunB, {});
        pid_t secondJobProcess = 0;
        if (roomForBoth) {
            secondJobProcess = heldJobProcess(WorkerLane::RunB);
            QVERIFY(secondJobProcess > 0);
            QCOMPARE(ConversionsWaitingForMemory(), std::size_t(0));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(ConversionsWaitingForMemory(), std::size_t(1), 60000);
            QVERIFY(!secondRun.Done());
            QCOMPARE(Listing(outFolder()).size(), 1);  // the first one's temporary file
        }
        hold.reset();
        kill(firstJobProcess, SIGCONT);
        if (secondJobProcess > 0) kill(secondJobProcess, SIGCONT);

        const IsolatedConversion firstResult = firstRun.Wait();
        const IsolatedConversion secondResult = secondRun.Wait();
        QVERIFY(firstResult.prepared && secondResult.prepared);
        QVERIFY(!firstResult.waitedForMemory);
        QCOMPARE(secondResult.waitedForMemory, !roomForBoth);
        QCOMPARE(ConversionsWaitingForMemory(), std::size_t(0));
        QVERIFY(CommitPreparedOutput(*firstResult.prepared));
        QVERIFY(CommitPreparedOutput(*secondResult.prepared));
        QCOMPARE(Listing(outFolder()), (QStringList{"first.png", "second.png"}));
        QCOMPARE(HeaderSize(out("first.png")), QSize(40, 30));
        QCOMPARE(HeaderSize(out("second.png")), QSize(30, 40));
    }

    // A conversion waiting for memory is cancelled at once, and leaves the budget as it was.
    void waitForMemoryEndsWithACancel() {
        const QString first = makePng("first.png", 1600, 1200);
        const QString second = makePng("second.png", 1600, 1200);
        const std::optional<std::uint64_t> need =
            EstimateConversionMemory(job(first, out("first.png")));
        QVERIFY(need);
        const ScopedEnvironment budget("KAVENRA_IMAGE_MEMORY_BUDGET_MB",
                                       QByteArray::number(quint64((*need >> 20) + 1)));
        std::optional<SaveHold> hold(std::in_place);
        BackgroundConversion firstRun(job(first, out("first.png")), WorkerLane::RunA, {});
        const pid_t firstJobProcess = heldJobProcess(WorkerLane::RunA);
        QVERIFY(firstJobProcess > 0);
        {
            BackgroundConversion secondRun(job(second, out("second.png")), WorkerLane::RunB, {});
            QTRY_COMPARE_WITH_TIMEOUT(ConversionsWaitingForMemory(), std::size_t(1), 60000);
            secondRun.Abandon();
            QVERIFY(secondRun.Done());
        }
        QCOMPARE(ConversionsWaitingForMemory(), std::size_t(0));
        hold.reset();
        kill(firstJobProcess, SIGCONT);
        const IsolatedConversion firstResult = firstRun.Wait();
        QVERIFY(firstResult.prepared);
        DiscardPreparedOutput(*firstResult.prepared);
        // What the first one held is free again: a conversion that needs all of it runs at once.
        const IsolatedConversion again =
            PrepareConversionIsolated(job(second, out("second.png")), WorkerLane::RunB);
        QVERIFY(again.prepared);
        QVERIFY(!again.waitedForMemory);
        DiscardPreparedOutput(*again.prepared);
        QCOMPARE(Listing(outFolder()), QStringList{});
    }

    void pictureBeyondTheWholeBoundFailsAtOnce_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QByteArray>("budgetMb");  // empty: the bound as it stands
        QTest::newRow("a photo beyond a budget of 1 MB") << "photo" << QByteArray("1");
        // The bound is at most 8 GiB on any machine: no environment is needed to stay below what
        // this picture takes, and a machine with less memory has a lower bound still.
        QTest::newRow("a PNG of 40000 x 40000 under the bound") << "declared" << QByteArray();
    }

    // A picture that needs more than every conversion together may hold fails TooLarge from
    // its header, without waiting for anything and before a pixel is decoded.
    void pictureBeyondTheWholeBoundFailsAtOnce() {
        QFETCH(QString, picture);
        QFETCH(QByteArray, budgetMb);
        // Half the machine's memory, at most 8 GiB: a 24 GiB machine's bound is 8 GiB.
        QCOMPARE(ConversionMemoryBoundFor(std::uint64_t{24} << 30), std::uint64_t{8} << 30);
        QCOMPARE(ConversionMemoryBoundFor(std::uint64_t{8} << 30), std::uint64_t{4} << 30);
        QVERIFY(ConversionMemoryBound() <= std::uint64_t{8} << 30);
        QString source;
        if (picture == "photo") {
            source = makePng("photo.png", 1600, 1200);
        } else {
            // 40000 x 40000 RGB: 4.8 GB as loaded, from a file of a few hundred bytes.
            source = in("declared.png");
            const BitmapHandle small(FreeImage_Allocate(16, 16, 24));
            QVERIFY(small);
            const Bytes png = WithPngSize(EncodeImage(*small, FIF_PNG), 40000, 40000);
            QVERIFY(png.size() < 4096);
            QVERIFY(WriteFileBytes(NativePath(source), png));
            const std::optional<std::uint64_t> need =
                EstimateConversionMemory(job(source, out("declared.png")));
            QVERIFY(need && *need > std::uint64_t{8} << 30);
        }
        std::optional<ScopedEnvironment> budget;
        if (!budgetMb.isEmpty()) budget.emplace("KAVENRA_IMAGE_MEMORY_BUDGET_MB", budgetMb);

        const IsolatedConversion result =
            PrepareConversionIsolated(job(source, out(picture + ".png")), WorkerLane::RunA);
        QVERIFY(!result.prepared);
        QCOMPARE(result.failure, FailureReason::TooLarge);
        QCOMPARE(result.report.end, ImageJobEnd::Answered);
        QVERIFY(!result.waitedForMemory);
        QCOMPARE(Listing(outFolder()), QStringList{});
    }

    // The settings travel with the job as one value: what the caller set is what the output shows.
    void settingsAreTakenOnceAtTheCall() {
        const QString source = in("photo.jpg");
        QVERIFY(WriteImageFile(NativePath(source), FIF_JPEG, 80, 60));
        options.jpegQuality = JpegQualityOfCode(1);
        options.filter = FilterOfCode(1);
        QVERIFY(convertInWorker(source, out("photo.jpg")).committed);
        QCOMPARE(
            QString::fromStdString(DescribeEncoding(ReadFileBytes(NativePath(out("photo.jpg"))))),
            QString("JPEG quality 10"));
    }

    // Relative paths are the caller's; once the caller's folder is gone they name nothing, in
    // the worker as they would in this process.
    void relativePathsFollowTheCallersFolder() {
        QVERIFY(!makePng("picture.png", 64, 48).isEmpty());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work->path()));
        const bool converted = ConvertImage("in/picture.png", "out/picture.png", 1, 0, 40);
        QVERIFY(QDir().mkpath("gone"));
        QVERIFY(QDir::setCurrent(work->filePath("gone")));
        QVERIFY(QDir(work->path()).rmdir("gone"));
        const bool convertedFromNowhere =
            ConvertImage("../in/picture.png", "picture.png", 1, 0, 40);
        QVERIFY(QDir::setCurrent(previous));

        QVERIFY(converted);
        QCOMPARE(HeaderSize(out("picture.png")), QSize(40, 30));
        QVERIFY(!convertedFromNowhere);
    }

    // The worker holds its channel and the standard streams, none of the program's other
    // descriptors, even those not marked close-on-exec.
    void programDescriptorsStayOutOfTheWorker() {
        int inheritable[2];
        QCOMPARE(pipe(inheritable), 0);
        StopImageWorker();
        QVERIFY(IsSupportedImage(NativePath(makePng("picture.png", 32, 24))));
        const QList<int> held = OpenDescriptors(ImageWorkerProcessId());
        close(inheritable[0]);
        close(inheritable[1]);
        QCOMPARE(held, (QList<int>{0, 1, 2, 3}));
    }

    // A program that dies, even by SIGKILL, takes its worker with it.
    void workerEndsWithTheProgram() {
        const std::string source = NativePath(makePng("picture.png", 32, 24));
        int report[2];
        QCOMPARE(pipe(report), 0);
        const pid_t program = fork();
        if (program == 0) {
            IsSupportedImage(source);
            const pid_t worker = ImageWorkerProcessId();
            (void)!write(report[1], &worker, sizeof worker);
            pause();
            _exit(0);
        }
        close(report[1]);
        pid_t worker = 0;
        QCOMPARE(read(report[0], &worker, sizeof worker), ssize_t(sizeof worker));
        close(report[0]);
        QVERIFY(worker > 0);
        QVERIFY(!ProcessEnded(worker));
        kill(program, SIGKILL);
        waitpid(program, nullptr, 0);
        QVERIFY(WaitForProcessEnd(worker, 5000));
    }

    void unusableWorkerFailsEachCall_data() {
        QTest::addColumn<QByteArray>("executable");
        QTest::newRow("missing") << QByteArray("/nonexistent/kavenra-imageworker");
        QTest::newRow("not a worker: ends without a word") << QByteArray("/bin/true");
        QTest::newRow("not executable: a folder") << QByteArray("/tmp");
    }

    // No answer without a worker, no crash either; the right worker serves again afterwards.
    void unusableWorkerFailsEachCall() {
        QFETCH(QByteArray, executable);
        const QString source = makePng("picture.png", 32, 24);
        {
            const ScopedEnvironment wrong("KAVENRA_IMAGE_WORKER", executable, true);
            const IsolatedDetection detection = DetectIsolated(NativePath(source));
            QCOMPARE(detection.format, FIF_UNKNOWN);
            QCOMPARE(detection.report.end, ImageJobEnd::Unavailable);
            QVERIFY(!convertInWorker(source, out("picture.png")).committed);
            QCOMPARE(Listing(outFolder()), QStringList{});
        }
        QVERIFY(convertInWorker(source, out("picture.png")).committed);
    }
};

QTEST_GUILESS_MAIN(IsolationTest)
#include "test_isolation.moc"
