// The run's owner without any window: what an entry asks for under the controls of one moment,
// and what the ticks decide for a list of real files (converted, failed at once, failed in the
// worker, complete), in the order a window sees them.

#include "engine/run/ImageFileOperations.h"
#include "engine/run/ResizeRun.h"
#include "support/FileContents.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/OrdinaryUser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kavenra;
using kavenra::test::NativePath;

namespace {

// The fields read as the window reads them at each tick.
RunControls ExplicitSize(const QString& width, const QString& height) {
    RunControls controls;
    controls.width = ParseInt32(width);
    controls.height = ParseInt32(height);
    controls.destinationFolder = QByteArrayLiteral("/out/RES/");
    return controls;
}

// Hands the conversions' "a result may be there" over to the waiting test, as the window's
// queued call does.
class ResultSignal {
  public:
    std::function<void()> callback() {
        return [this] {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++signals_;
            changed_.notify_all();
        };
    }
    // The outcome of the file in hand, waiting for the signals that announce it; with `entries`,
    // taken with the list as they have it.
    std::optional<FileOutcome> outcome(ResizeRun& run, const QByteArrayList* entries = nullptr) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait_for(lock, std::chrono::seconds(60), [&] { return signals_ > 0; });
                signals_ = 0;
            }
            std::optional<FileOutcome> taken =
                entries ? run.TakeOutcome(*entries) : run.TakeOutcome();
            if (taken) return taken;
        }
        return std::nullopt;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int signals_ = 0;
};

std::optional<FileOutcome> RunControlled(const RunControls& controls);

// One entry run to its outcome, to the longest side of 20 into `destination`.
std::optional<FileOutcome> RunOneEntry(const QString& entry, const QString& destination) {
    RunControls controls;
    controls.entries = QByteArrayList{QFile::encodeName(entry)};
    controls.longestSide = true;
    controls.longest = 20;
    controls.destinationFolder = DestinationFolderOf(destination);
    return RunControlled(controls);
}

// The first entry of `controls` run to its outcome.
std::optional<FileOutcome> RunControlled(const RunControls& controls) {
    ResultSignal results;
    ResizeRun run(results.callback());
    run.Begin(controls);
    const ResizeRun::Tick tick = run.TakeTick(controls);
    if (tick.step == ResizeRun::Step::Failed) return tick.outcome;
    if (tick.step != ResizeRun::Step::Converting) return std::nullopt;
    return results.outcome(run);
}

QString FileKind(const QString& path) {
    struct stat info {};
    if (lstat(NativePath(path).c_str(), &info) != 0) return QStringLiteral("none");
    if (S_ISLNK(info.st_mode)) return QStringLiteral("link");
    if (S_ISDIR(info.st_mode)) return QStringLiteral("folder");
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("fifo");
    return S_ISREG(info.st_mode) ? QStringLiteral("file") : QStringLiteral("other");
}

}  // namespace

class ResizeRunTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kavenra::test::InitialiseFreeImageOnce(); }

    void jobForEntry_data() {
        QTest::addColumn<bool>("longestSide");
        QTest::addColumn<bool>("keepDimensions");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("longest");
        QTest::addColumn<bool>("hasJob");
        QTest::addColumn<int>("mode");  // SizingMode
        QTest::addColumn<int>("wantWidth");
        QTest::addColumn<int>("wantHeight");
        QTest::addColumn<int>("wantLongest");
        QTest::newRow("explicit size") << false << false << "800"
                                       << "600"
                                       << "" << true << 0 << 800 << 600 << 0;
        QTest::newRow("explicit size, hexadecimal and blanks") << false << false << " $20"
                                                               << "0x10"
                                                               << "" << true << 0 << 32 << 16 << 0;
        QTest::newRow("explicit size, height emptied during the run")
            << false << false << "800"
            << ""
            << "" << false << 0 << 0 << 0 << 0;
        QTest::newRow("explicit size, beyond 32 bits") << false << false << "4294967296"
                                                       << "600"
                                                       << "" << false << 0 << 0 << 0 << 0;
        QTest::newRow("longest side wins over the RAW box")
            << true << true << "x"
            << "y"
            << "1024" << true << 1 << 0 << 0 << 1024;
        QTest::newRow("longest side with a letter") << true << false << "800"
                                                    << "600"
                                                    << "10x" << false << 0 << 0 << 0 << 0;
        QTest::newRow("RAW box reads no size field") << false << true << "x"
                                                     << ""
                                                     << "" << true << 0 << 0 << 0 << 0;
    }

    // The mode comes from the boxes as they are at this moment, and only the fields that mode
    // reads must hold integers.
    void jobForEntry() {
        QFETCH(bool, longestSide);
        QFETCH(bool, keepDimensions);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, longest);
        QFETCH(bool, hasJob);
        QFETCH(int, mode);
        QFETCH(int, wantWidth);
        QFETCH(int, wantHeight);
        QFETCH(int, wantLongest);
        RunControls controls = ExplicitSize(width, height);
        controls.longestSide = longestSide;
        controls.options.keepDimensions = keepDimensions;
        controls.longest = ParseInt32(longest);
        controls.options.jpegQuality = 25;

        const std::optional<ConversionJob> job =
            JobForEntry(QFile::encodeName(QStringLiteral("/photos/día 1/IMG_0001.JPG")), controls);
        QCOMPARE(job.has_value(), hasJob);
        if (!job) return;
        QCOMPARE(int(job->request.mode), mode);
        QCOMPARE(job->request.width, wantWidth);
        QCOMPARE(job->request.height, wantHeight);
        QCOMPARE(job->request.longestSide, wantLongest);
        QCOMPARE(job->options.keepDimensions, keepDimensions);
        QCOMPARE(job->options.jpegQuality, 25);
        QCOMPARE(QString::fromUtf8(job->request.source.c_str()),
                 QStringLiteral("/photos/día 1/IMG_0001.JPG"));
        // The file name inside the destination folder.
        QCOMPARE(QString::fromUtf8(job->request.destination.c_str()),
                 QStringLiteral("/out/RES/IMG_0001.JPG"));
    }

    void destinationTextNamesAFolder_data() {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QByteArray>("subfolder");
        QTest::addColumn<QString>("output");  // empty: no job
        QTest::newRow("with a final separator") << "/out/RES/" << QByteArray() << "/out/RES/x.jpg";
        QTest::newRow("without one")
            << "/home/u/pictures/web" << QByteArray() << "/home/u/pictures/web/x.jpg";
        QTest::newRow("relative, without one") << "abc" << QByteArray() << "abc/x.jpg";
        QTest::newRow("the root") << "/" << QByteArray() << "/x.jpg";
        QTest::newRow("a mirrored subfolder, without one")
            << "/out/web" << QByteArray("2024/june/") << "/out/web/2024/june/x.jpg";
        QTest::newRow("emptied during the run") << "" << QByteArray() << "";
    }

    // The destination text always names a folder: one separator between it and the name.
    void destinationTextNamesAFolder() {
        QFETCH(QString, destination);
        QFETCH(QByteArray, subfolder);
        QFETCH(QString, output);
        RunControls controls = ExplicitSize(QStringLiteral("800"), QStringLiteral("600"));
        controls.destinationFolder = DestinationFolderOf(destination);
        const QByteArray entry("/photos/x.jpg");
        if (!subfolder.isEmpty()) controls.outputSubfolders.insert(entry, subfolder);
        const std::optional<ConversionJob> job = JobForEntry(entry, controls);
        QCOMPARE(job.has_value(), !output.isEmpty());
        if (job) QCOMPARE(QString::fromStdString(job->request.destination), output);
        if (subfolder.isEmpty() && !output.isEmpty())
            QCOMPARE(DestinationPath(destination, QStringLiteral("/photos/x.jpg")), output);
    }

    // A file name need not be UTF-8: the job names the entry's bytes as they are, and its output
    // the same file name in the destination, not a readable respelling of either.
    void jobKeepsTheEntrysBytes() {
        RunControls controls = ExplicitSize(QStringLiteral("800"), QStringLiteral("600"));
        controls.destinationFolder = DestinationFolderOf(QStringLiteral("/out/día/"));
        const QByteArray entry("/photos/caf\xE9 \xFF.jpg");
        const std::optional<ConversionJob> job = JobForEntry(entry, controls);
        QVERIFY(job);
        QCOMPARE(QByteArray::fromStdString(job->request.source), entry);
        QCOMPARE(QByteArray::fromStdString(job->request.destination),
                 QByteArray("/out/d\xC3\xAD"
                            "a/caf\xE9 \xFF.jpg"));
    }

    // A list of a good file, one that is no picture, and another good file: each tick's
    // decision and each outcome in the order the window meets them, the position after each,
    // and a run that stands at the first entry again once complete.
    void ticksAndOutcomesOfARun() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString good = folder.filePath("good.png");
        const QString text = folder.filePath("notes.png");
        const QString second = folder.filePath("second.png");
        QVERIFY(kavenra::test::WriteImageFile(NativePath(good), FIF_PNG, 64, 48));
        QVERIFY(kavenra::test::WriteImageFile(NativePath(second), FIF_PNG, 48, 64));
        QVERIFY(kavenra::testing::WriteFileContents(text, "not a picture\n"));
        QVERIFY(QDir(folder.path()).mkpath("RES"));

        const QString res = folder.filePath("RES") + QLatin1Char('/');
        QCOMPARE(FirstStartWarning(RunMode::ExplicitSize, {"32", "24", "", res, "3"}), nullptr);
        RunControls controls = ExplicitSize(QStringLiteral("32"), QStringLiteral("24"));
        controls.entries = QByteArrayList{QFile::encodeName(good), QFile::encodeName(text),
                                          QFile::encodeName(second)};
        controls.destinationFolder = DestinationFolderOf(res);

        ResultSignal results;
        ResizeRun run(results.callback());
        QCOMPARE(run.Begin(controls), RunMode::ExplicitSize);

        ResizeRun::Tick tick = run.TakeTick(controls);
        QCOMPARE(tick.step, ResizeRun::Step::Converting);
        QCOMPARE(tick.entry, QFile::encodeName(good));
        QCOMPARE(run.TakeTick(controls).step, ResizeRun::Step::Busy);
        std::optional<FileOutcome> outcome = results.outcome(run);
        QVERIFY(outcome);
        QVERIFY(outcome->committed);
        QCOMPARE(run.Position(), 1);
        QCOMPARE(kavenra::test::ImageFileSize(res + "good.png"), QSize(32, 24));

        tick = run.TakeTick(controls);
        QCOMPARE(tick.step, ResizeRun::Step::Converting);
        outcome = results.outcome(run);
        QVERIFY(outcome);
        QVERIFY(!outcome->committed);
        QCOMPARE(outcome->reason, FailureReason::Unsupported);
        QCOMPARE(run.Position(), 2);
        QVERIFY(!QFile::exists(res + "notes.png"));

        // A field emptied before the last tick: that entry fails at once, in this process.
        controls.height = ParseInt32(QString());
        tick = run.TakeTick(controls);
        QCOMPARE(tick.step, ResizeRun::Step::Failed);
        QCOMPARE(tick.entry, QFile::encodeName(second));
        QVERIFY(!tick.outcome.committed);
        QVERIFY(!run.FileInHand());
        QCOMPARE(run.Position(), 3);

        QCOMPARE(run.TakeTick(controls).step, ResizeRun::Step::Complete);
        QCOMPARE(run.Position(), 0);
        QCOMPARE(QDir(res).entryList(QDir::Files | QDir::Hidden), QStringList{"good.png"});
    }

    // Start's checks follow the boxes; the run itself never looks at a field it does not use.
    // The options dialog's size and date choices, through the worker and the commit of a run.
    void choicesOfARun_data() {
        QTest::addColumn<int>("sourceWidth");
        QTest::addColumn<int>("sourceHeight");
        QTest::addColumn<bool>("longestSide");
        QTest::addColumn<int>("width");   // or the longest side
        QTest::addColumn<int>("height");  // explicit size only
        QTest::addColumn<int>("noEnlarge");
        QTest::addColumn<int>("fitWithin");
        QTest::addColumn<QSize>("expected");

        QTest::newRow("small picture, enlarged")
            << 60 << 40 << true << 90 << 0 << 0 << 0 << QSize(90, 60);
        QTest::newRow("small picture, not enlarged")
            << 60 << 40 << true << 90 << 0 << 1 << 0 << QSize(60, 40);
        QTest::newRow("small picture within a box, not enlarged")
            << 60 << 40 << false << 90 << 90 << 1 << 0 << QSize(60, 40);
        QTest::newRow("larger picture, not enlarged, still shrunk")
            << 160 << 120 << true << 80 << 0 << 1 << 0 << QSize(80, 60);
        QTest::newRow("box, stretched")
            << 160 << 120 << false << 60 << 60 << 0 << 0 << QSize(60, 60);
        QTest::newRow("box, fitted") << 160 << 120 << false << 60 << 60 << 0 << 1 << QSize(60, 45);
        QTest::newRow("portrait fitted in a landscape box")
            << 90 << 160 << false << 80 << 40 << 0 << 1 << QSize(23, 40);
        QTest::newRow("small picture fitted, enlarged")
            << 40 << 20 << false << 100 << 100 << 0 << 1 << QSize(100, 50);
        QTest::newRow("small picture fitted, not enlarged")
            << 40 << 20 << false << 100 << 100 << 1 << 1 << QSize(40, 20);
    }

    // The output is written in the chosen format (PNG from a JPEG) whatever its size.
    void choicesOfARun() {
        QFETCH(int, sourceWidth);
        QFETCH(int, sourceHeight);
        QFETCH(bool, longestSide);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, noEnlarge);
        QFETCH(int, fitWithin);
        QFETCH(QSize, expected);

        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString source = folder.filePath("photo.jpg");
        QVERIFY(
            kavenra::test::WriteImageFile(NativePath(source), FIF_JPEG, sourceWidth, sourceHeight));
        QVERIFY(QDir(folder.path()).mkpath("RES"));
        RunControls controls = ExplicitSize(QString::number(width), QString::number(height));
        controls.longestSide = longestSide;
        controls.longest = width;
        controls.entries = QByteArrayList{QFile::encodeName(source)};
        const QString res = folder.filePath("RES") + QLatin1Char('/');
        controls.destinationFolder = DestinationFolderOf(res);
        controls.options.saveAs = OutputChoice::Png;
        controls.options.noEnlarge = noEnlarge == 1;
        controls.options.fitWithin = fitWithin == 1;

        const std::optional<FileOutcome> outcome = RunControlled(controls);
        QVERIFY(outcome);
        QVERIFY(outcome->committed);
        const QString output = res + "photo.png";
        QCOMPARE(FreeImage_GetFileType(NativePath(output).c_str(), 0), FIF_PNG);
        QCOMPARE(kavenra::test::ImageFileSize(output), expected);
    }

    void keepDates_data() {
        QTest::addColumn<int>("keepDates");
        QTest::newRow("kept") << 1;
        QTest::newRow("not kept") << 0;
    }

    // The committed output takes its source's modification time to the nanosecond; without the
    // choice it has the time it was written.
    void keepDates() {
        QFETCH(int, keepDates);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString source = folder.filePath("old.png");
        QVERIFY(kavenra::test::WriteImageFile(NativePath(source), FIF_PNG, 64, 48));
        // 2001-09-09, long before any output of this test is written.
        const struct timespec past[2] = {{1000000000, 0}, {1000000000, 123456789}};
        QCOMPARE(utimensat(AT_FDCWD, NativePath(source).c_str(), past, 0), 0);
        QVERIFY(QDir(folder.path()).mkpath("RES"));
        RunControls controls = ExplicitSize(QStringLiteral("32"), QStringLiteral("24"));
        controls.entries = QByteArrayList{QFile::encodeName(source)};
        const QString res = folder.filePath("RES") + QLatin1Char('/');
        controls.destinationFolder = DestinationFolderOf(res);
        controls.keepDates = keepDates == 1;

        const std::optional<FileOutcome> outcome = RunControlled(controls);
        QVERIFY(outcome);
        QVERIFY(outcome->committed);
        struct stat written {};
        QCOMPARE(stat(NativePath(res + "old.png").c_str(), &written), 0);
        if (keepDates == 1) {
            QCOMPARE(qint64(written.st_mtim.tv_sec), qint64(1000000000));
            QCOMPARE(qint64(written.st_mtim.tv_nsec), qint64(123456789));
        } else {
            QVERIFY(written.st_mtim.tv_sec > 1000000000);
        }
        // Nothing but the output is left in the folder.
        QCOMPARE(QDir(res).entryList(QDir::Files | QDir::Hidden), QStringList{"old.png"});
    }

    void startWarnings_data() {
        QTest::addColumn<bool>("longestSide");
        QTest::addColumn<bool>("keepDimensions");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("longest");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("warning");
        QTest::newRow("explicit, empty width") << false << false << ""
                                               << ""
                                               << "/o/"
                                               << "1"
                                               << "Texto_advertencia1";
        QTest::newRow("explicit, no digits") << false << false << "8a"
                                             << ""
                                             << "/o/"
                                             << "1"
                                             << "Texto_advertencia2";
        QTest::newRow("longest, empty") << true << false << "800"
                                        << ""
                                        << "/o/"
                                        << "1"
                                        << "Texto_advertencia6";
        QTest::newRow("RAW, no destination") << false << true << ""
                                             << ""
                                             << ""
                                             << "1"
                                             << "Texto_advertencia8";
        QTest::newRow("nothing listed") << false << false << "800"
                                        << ""
                                        << "/o/"
                                        << "0"
                                        << "Texto_advertencia4";
        QTest::newRow("all well") << true << false << ""
                                  << "640"
                                  << "/o/"
                                  << "2"
                                  << "";
    }
    void startWarnings() {
        QFETCH(bool, longestSide);
        QFETCH(bool, keepDimensions);
        QFETCH(QString, width);
        QFETCH(QString, longest);
        QFETCH(QString, destination);
        QFETCH(QString, count);
        QFETCH(QString, warning);
        const StartFields fields{width, QStringLiteral("600"), longest, destination, count};
        const char* found = FirstStartWarning(StartChecksMode(longestSide, keepDimensions), fields);
        QCOMPARE(QString::fromLatin1(found ? found : ""), warning);
    }

    // Why a file failed, when the cause lies in where it is read from or written to: the reason
    // the run reports, with nothing written into or through whatever holds the output's name
    // and nothing left in the folder.
    void reasonOfAFailedEntry_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("reason");  // FailureReason
        QTest::newRow("source not readable") << "unreadable" << int(FailureReason::Unreadable);
        QTest::newRow("destination is a regular file")
            << "destination file" << int(FailureReason::DestinationNotFolder);
        QTest::newRow("destination inside a regular file")
            << "destination in file" << int(FailureReason::DestinationNotFolder);
        QTest::newRow("output name held by a folder")
            << "folder" << int(FailureReason::OutputNameTaken);
        QTest::newRow("output name held by a named pipe")
            << "fifo" << int(FailureReason::OutputNameTaken);
        QTest::newRow("output name a link to /dev/null")
            << "link to device" << int(FailureReason::OutputNameTaken);
        QTest::newRow("output name a link to a named pipe")
            << "link to fifo" << int(FailureReason::OutputNameTaken);
        QTest::newRow("output name a link to a folder")
            << "link to folder" << int(FailureReason::OutputNameTaken);
    }
    void reasonOfAFailedEntry() {
        QFETCH(QString, cause);
        QFETCH(int, reason);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString source = folder.filePath("in/a.png");
        const QString res = folder.filePath("RES/");
        QVERIFY(QDir(folder.path()).mkpath("in") && QDir(folder.path()).mkpath("RES"));
        QVERIFY(kavenra::test::WriteImageFile(NativePath(source), FIF_PNG, 64, 48));
        QVERIFY(kavenra::testing::WriteFileContents(folder.filePath("notes.txt"), "notes\n"));
        const QString output = res + "a.png";
        QString destination = res;
        QString kindAfter = QStringLiteral("none");
        if (cause == "destination file") destination = folder.filePath("notes.txt/");
        if (cause == "destination in file") destination = folder.filePath("notes.txt/RES/");
        if (cause == "folder") {
            QVERIFY(QDir(res).mkdir("a.png"));
            kindAfter = "folder";
        }
        if (cause == "fifo" || cause == "link to fifo") {
            const QString fifo = cause == "fifo" ? output : folder.filePath("pipe");
            QCOMPARE(mkfifo(NativePath(fifo).c_str(), 0666), 0);
            kindAfter = cause == "fifo" ? "fifo" : "link";
        }
        if (cause == "link to fifo") {
            QCOMPARE(
                symlink(NativePath(folder.filePath("pipe")).c_str(), NativePath(output).c_str()),
                0);
        }
        if (cause == "link to folder") {
            QCOMPARE(symlink(NativePath(folder.filePath("in")).c_str(), NativePath(output).c_str()),
                     0);
            kindAfter = "link";
        }
        if (cause == "link to device") {
            QCOMPARE(symlink("/dev/null", NativePath(output).c_str()), 0);
            kindAfter = "link";
        }

        std::optional<FileOutcome> outcome;
        if (cause == "unreadable") {
            // The superuser reads any file: the entry is run as an ordinary user.
            QVERIFY(kavenra::testing::HandOverToOrdinaryUser(folder.path()));
            QCOMPARE(chmod(NativePath(source).c_str(), 0), 0);
            QVERIFY(kavenra::testing::RunAsOrdinaryUser([&] {
                const std::optional<FileOutcome> asUser = RunOneEntry(source, destination);
                QVERIFY(asUser);
                QVERIFY(!asUser->committed);
                QCOMPARE(int(asUser->reason), reason);
            }));
        } else {
            outcome = RunOneEntry(source, destination);
            QVERIFY(outcome);
            QVERIFY(!outcome->committed);
            QCOMPARE(int(outcome->reason), reason);
        }
        QCOMPARE(FileKind(output), kindAfter);
        QCOMPARE(QFileInfo(folder.filePath("notes.txt")).size(), qint64(6));
        if (cause == "folder")
            QCOMPARE(QDir(output).entryList(QDir::NoDotAndDotDot), QStringList());
        // A link to a folder is listed with the folders.
        const bool listedAsFile = kindAfter != "none" && kindAfter != "folder" &&
                                  cause != QLatin1String("link to folder");
        QCOMPARE(QDir(res).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 listedAsFile ? QStringList{"a.png"} : QStringList());
    }

    void sourceListedAtTheOutcomeIsKept_data() {
        QTest::addColumn<bool>("listed");
        QTest::newRow("listed after the tick") << true;
        QTest::newRow("not listed") << false;
    }

    // The list as the outcome takes it counts, entries added after the file's tick included; a
    // file that is no entry is an earlier output like any other, and is replaced.
    void sourceListedAtTheOutcomeIsKept() {
        QFETCH(bool, listed);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(QDir(folder.path()).mkpath("in") && QDir(folder.path()).mkpath("d"));
        const QString source = folder.filePath("in/a.png");
        const QString later = folder.filePath("d/a.png");
        QVERIFY(kavenra::test::WriteImageFile(NativePath(source), FIF_PNG, 64, 48));
        QVERIFY(kavenra::test::WriteImageFile(NativePath(later), FIF_PNG, 32, 24));
        const QByteArray before = kavenra::testing::FileContents(later);
        RunControls controls;
        controls.entries = QByteArrayList{QFile::encodeName(source)};
        controls.longestSide = true;
        controls.longest = 20;
        controls.destinationFolder = DestinationFolderOf(folder.filePath("d/"));

        ResultSignal results;
        ResizeRun run(results.callback());
        run.Begin(controls);
        QCOMPARE(run.TakeTick(controls).step, ResizeRun::Step::Converting);
        const QByteArrayList now =
            listed ? controls.entries + QByteArrayList{QFile::encodeName(later)} : controls.entries;
        const std::optional<FileOutcome> outcome = results.outcome(run, &now);
        QVERIFY(outcome);
        QCOMPARE(outcome->committed, !listed);
        QCOMPARE(int(outcome->reason),
                 int(listed ? FailureReason::ReplacesSource : FailureReason::None));
        if (listed) {
            QCOMPARE(kavenra::testing::FileContents(later), before);
        } else {
            QCOMPARE(kavenra::test::ImageFileSize(later), QSize(20, 15));
        }
        QCOMPARE(QDir(folder.filePath("d")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"a.png"});
    }

    // Without a list, a conversion's own source is still one: no output replaces it.
    void aConversionNeverReplacesItsOwnSource() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString source = folder.filePath("a.png");
        QVERIFY(kavenra::test::WriteImageFile(NativePath(source), FIF_PNG, 64, 48));
        const QByteArray before = kavenra::testing::FileContents(source);
        ConversionJob job;
        job.request = RequestFromEntryArguments(NativePath(source), NativePath(source), 1, 0, 20);
        const FileOutcome outcome = ConvertImage(job);
        QVERIFY(!outcome.committed);
        QCOMPARE(int(outcome.reason), int(FailureReason::ReplacesSource));
        QCOMPARE(kavenra::testing::FileContents(source), before);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.png"});
    }
};

QTEST_GUILESS_MAIN(ResizeRunTest)
#include "test_resize_run.moc"
