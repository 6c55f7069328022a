// The built program run from a script: `kavenra --resize ...` with no display at all converts what
// it is given through the same run and workers as the window, takes the options it is not given
// from the user's settings without ever writing them, tells each failure in the interface
// language, and ends with a status a script can act on. Every run here uses a copy of the
// program folder, so its settings are the copy's.

#include "support/DamagedJpeg.h"
#include "support/DatabaseFixture.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageMetadata.h"
#include "support/NotificationRecorder.h"
#include "support/OrdinaryUser.h"
#include "support/ProgramFolder.h"
#include "support/ProgramRun.h"

#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

using namespace kavenra::testing;

namespace {

constexpr int kTimeoutMs = 120000;

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

bool WriteImage(const QString& path, FREE_IMAGE_FORMAT format, int width, int height) {
    kavenra::test::InitialiseFreeImageOnce();
    QDir().mkpath(QFileInfo(path).path());
    return kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(), format, width,
                                         height);
}

bool WriteText(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// "name WxH FORMAT" for an image the library reads, "name unreadable" otherwise.
QString Described(const QString& path) {
    const std::string bytes = QFile::encodeName(path).toStdString();
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(bytes.c_str(), 0);
    const kavenra::BitmapHandle bitmap = kavenra::test::LoadImageFile(bytes);
    const QString name = QFileInfo(path).fileName();
    if (!bitmap) return name + QStringLiteral(" unreadable");
    return QStringLiteral("%1 %2x%3 %4")
        .arg(name)
        .arg(FreeImage_GetWidth(bitmap.get()))
        .arg(FreeImage_GetHeight(bitmap.get()))
        .arg(QString::fromLatin1(FreeImage_GetFormatFromFIF(format)));
}

// Every file under `folder`, hidden ones included, described, by path relative to `base`.
QStringList OutputsUnder(const QString& folder, const QString& base) {
    QStringList outputs;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = QDir(base).relativeFilePath(QFileInfo(path).path());
        outputs << relative + QLatin1Char('/') + Described(path);
    }
    outputs.sort();
    return outputs;
}

// The content of every file under `folder` by path, hidden ones included.
QMap<QString, QByteArray> DigestsUnder(const QString& folder) {
    QMap<QString, QByteArray> digests;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        digests.insert(path, Digest(path));
    }
    return digests;
}

// The JSON lines of a run by input path.
QMap<QString, QJsonObject> JsonLines(const QByteArray& output) {
    QMap<QString, QJsonObject> lines;
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        lines.insert(object.value(QStringLiteral("input")).toString(), object);
    }
    return lines;
}

bool MakeLink(const QString& pointsTo, const QString& link) {
    return symlink(QFile::encodeName(pointsTo).constData(), QFile::encodeName(link).constData()) ==
           0;
}

// Makes a folder whose absolute path is exactly `length` bytes long, under `base` (shorter).
QString MakeFolderOfLength(const QString& base, int length) {
    QString folder = base;
    while (folder.size() < length) {
        const int room = length - static_cast<int>(folder.size()) - 1;
        // No name of one byte at the end: every name but the last leaves room for the next.
        const int name = room > 200 ? std::min(200, room - 2) : room;
        folder += QLatin1Char('/') + QString(name, QLatin1Char('p'));
    }
    return QDir().mkpath(folder) ? folder : QString();
}

QStringList TemporaryFilesUnder(const QString& folder) {
    QStringList found;
    QDirIterator files(folder, {QStringLiteral(".kavenra-*")}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) found << files.next();
    return found;
}

}  // namespace

class TestHeadless : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();

    void convertsWhatIsNamed_data();
    void convertsWhatIsNamed();
    void optionsNotGivenAreTheStoredOnes_data();
    void optionsNotGivenAreTheStoredOnes();
    void badInputIsToldWithItsStatus_data();
    void badInputIsToldWithItsStatus();
    void jsonTellsEachFile();
    void jsonNamesEveryFileLeftOut_data();
    void jsonNamesEveryFileLeftOut();
    void anUnreadableFileIsNamedSo();
    void namesThatAreNoUtf8();
    void damageAndFormatBoundsAreNamed();
    void keepDatesGivesEachOutputItsSourcesTime_data();
    void keepDatesGivesEachOutputItsSourcesTime();
    void fastDecodingKeepsTheExactRunsSize();
    void subfoldersAreMirrored();
    void sizeBudget_data();
    void sizeBudget();
    void locationIsRemoved_data();
    void locationIsRemoved();
    void messagesSpeakTheInterfaceLanguage_data();
    void messagesSpeakTheInterfaceLanguage();
    void progressShowsOnATerminalOnly();
    void notifiesTheOutcome_data();
    void notifiesTheOutcome();
    void noDesktopToNotifyIsNoFailure_data();
    void noDesktopToNotifyIsNoFailure();
    void shippedSettingsFitAndNeverEnlarge_data();
    void shippedSettingsFitAndNeverEnlarge();
    void aStoppedRunLeavesNothingHalfWritten_data();
    void aStoppedRunLeavesNothingHalfWritten();
    void anOutputNeverReplacesASource_data();
    void anOutputNeverReplacesASource();
    void aLinkAtTheOutputNameIsReplacedItself_data();
    void aLinkAtTheOutputNameIsReplacedItself();
    void repeatedTreeRunsLeaveTheirOutputsOut_data();
    void repeatedTreeRunsLeaveTheirOutputsOut();
    void outputsReachTheDiskBeforeTheyAreReported();
    void aPathBeyondTheSystemsLimitIsNamed_data();
    void aPathBeyondTheSystemsLimitIsNamed();

  private:
    ProgramStart start(const QStringList& arguments) const;
    FinishedRun run(const QStringList& arguments, const QMap<QString, QString>& environment = {});
    QString settings() const { return program_.filePath(QStringLiteral("KVConfig.db")); }
    QString work(const QString& name) const { return work_->filePath(name); }

    QTemporaryDir program_;
    QTemporaryDir home_;
    QByteArray pristineSettings_;
    std::unique_ptr<QTemporaryDir> work_;
};

void TestHeadless::initTestCase() {
    QVERIFY(program_.isValid() && home_.isValid());
    QString error;
    QVERIFY2(CopyRuntimeFolder(program_.path(), &error), qPrintable(error));
    QFile shipped(settings());
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    pristineSettings_ = shipped.readAll();
}

// A fresh folder of photos and the settings as shipped, for every case.
void TestHeadless::init() {
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
    QFile::remove(settings());
    QVERIFY(WriteText(settings(), pristineSettings_));
    QVERIFY(WriteImage(work("photos/a.jpg"), FIF_JPEG, 400, 300));
    QVERIFY(WriteImage(work("photos/b.png"), FIF_PNG, 200, 400));
    QVERIFY(WriteImage(work("photos/.hidden.jpg"), FIF_JPEG, 40, 30));
    QVERIFY(WriteImage(work("photos/sub/c.jpg"), FIF_JPEG, 100, 100));
    QVERIFY(WriteText(work("photos/notes.txt"), "not a picture\n"));
    QVERIFY(WriteImage(work("single.bmp"), FIF_BMP, 64, 48));
    QVERIFY(WriteImage(work("-dash.jpg"), FIF_JPEG, 160, 120));
    QVERIFY(WriteText(work("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0 cut short", 14)));
    QVERIFY(WriteText(work("empty/notes.txt"), "nothing to see\n"));
    QVERIFY(QDir().mkpath(work("raw")));
    kavenra::test::CameraRawSpec camera;
    camera.previewWidth = 320;
    camera.previewHeight = 240;
    QVERIFY(kavenra::test::WriteFileBytes(QFile::encodeName(work("raw/camera.dng")).toStdString(),
                                          kavenra::test::MakeMinimalDng(camera)));
}

ProgramStart TestHeadless::start(const QStringList& arguments) const {
    ProgramStart start;
    start.executable = program_.filePath(QStringLiteral("kavenra"));
    start.arguments = arguments;
    start.workingDirectory = work_->path();
    start.environment = {{QStringLiteral("HOME"), home_.path()},
                         {QStringLiteral("LANG"), QStringLiteral("C")},
                         {QStringLiteral("LC_ALL"), QString()},
                         {QStringLiteral("LC_MESSAGES"), QString()}};
    return start;
}

FinishedRun TestHeadless::run(const QStringList& arguments,
                              const QMap<QString, QString>& environment) {
    ProgramStart program = start(arguments);
    for (auto it = environment.cbegin(); it != environment.cend(); ++it) {
        program.environment.insert(it.key(), it.value());
    }
    return RunWithoutDisplay(program);
}

void TestHeadless::convertsWhatIsNamed_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("outputFolder");
    QTest::addColumn<QStringList>("outputs");

    QTest::newRow("a folder: its images, into its RES")
        << QStringList{"--resize", "--longest", "80", "photos"} << "photos/RES"
        << QStringList{"photos/RES/a.jpg 80x60 JPEG", "photos/RES/b.png 40x80 PNG"};
    QTest::newRow("a file at an explicit size into a new nested folder")
        << QStringList{"--resize", "single.bmp", "--size=32x24", "--output", "out/deep"} << "out"
        << QStringList{"out/deep/single.bmp 32x24 BMP"};
    QTest::newRow("another format")
        << QStringList{"--resize", "--longest", "80", "--format", "webp", "photos/a.jpg"}
        << "photos/RES" << QStringList{"photos/RES/a.webp 80x60 WebP"};
    QTest::newRow("the last item names RES, each image once")
        << QStringList{"--resize", "--longest", "80", "photos/a.jpg", "photos/a.jpg", "single.bmp"}
        << "RES" << QStringList{"RES/a.jpg 80x60 JPEG", "RES/single.bmp 80x60 BMP"};
    QTest::newRow("a name like an option after --")
        << QStringList{"--resize", "--longest", "80", "--output", "o", "--", "-dash.jpg"} << "o"
        << QStringList{"o/-dash.jpg 80x60 JPEG"};
    QTest::newRow("camera RAW at its own size")
        << QStringList{"--resize", "--keep-raw-size", "raw"} << "raw/RES"
        << QStringList{"raw/RES/camera.jpg 320x240 JPEG"};
    QTest::newRow("--no-enlarge: a smaller picture keeps its size, in the asked format")
        << QStringList{"--resize", "--longest", "1000",        "--no-enlarge",
                       "--format", "png",       "photos/a.jpg"}
        << "photos/RES" << QStringList{"photos/RES/a.png 400x300 PNG"};
    QTest::newRow("--fit: each picture inside the box in proportion")
        << QStringList{"--resize", "--size", "100x100", "--fit", "photos"} << "photos/RES"
        << QStringList{"photos/RES/a.jpg 100x75 JPEG", "photos/RES/b.png 50x100 PNG"};
    QTest::newRow("--resize after the names")
        << QStringList{"single.bmp", "--resize", "--size", "16x16"} << "RES"
        << QStringList{"RES/single.bmp 16x16 BMP"};
    // Formats by their usual extensions, in any case.
    QTest::newRow("--format jpg") << QStringList{"--resize", "--longest", "80",
                                                 "--format", "jpg",       "single.bmp"}
                                  << "RES" << QStringList{"RES/single.jpg 80x60 JPEG"};
    QTest::newRow("--format TIF") << QStringList{"--resize", "--longest", "80", "--format=TIF",
                                                 "single.bmp"}
                                  << "RES" << QStringList{"RES/single.tif 80x60 TIFF"};
}

void TestHeadless::convertsWhatIsNamed() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, outputFolder);
    QFETCH(QStringList, outputs);
    // Each row names every size choice it wants: the stored ones are an older user's, both off.
    QCOMPARE(RunSql(settings(), "UPDATE configuracion SET no_ampliar='0', ajustar_dentro='0'"),
             QString());
    const FinishedRun result = run(arguments);
    const QString errors = QString::fromLocal8Bit(result.standardError);
    QVERIFY2(result.finished && result.exitCode == 0, qPrintable(errors));
    QCOMPARE(OutputsUnder(work(outputFolder), work_->path()), outputs);
    QVERIFY2(errors.contains(
                 QStringLiteral("Resizing finished: %1 of %1 images written.").arg(outputs.size())),
             qPrintable(errors));
    // Not a terminal: no progress line.
    QVERIFY2(!errors.contains(QLatin1Char('\r')) && !errors.contains(QStringLiteral("[1/")),
             qPrintable(errors));
    QVERIFY(result.standardOutput.isEmpty());
    // Nothing of a window's start: no settings made for the user.
    QVERIFY(QDir(home_.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestHeadless::optionsNotGivenAreTheStoredOnes_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");

    const QString png = QStringLiteral("UPDATE configuracion SET guardar_como='2'");
    QTest::newRow("stored: save as PNG") << png << QStringList{} << "a.png 80x60 PNG";
    QTest::newRow("stored PNG, asked JPEG")
        << png << QStringList{"--format", "jpeg"} << "a.jpg 80x60 JPEG";
    QTest::newRow("stored TIFF, asked the original's format")
        << QStringLiteral("UPDATE configuracion SET guardar_como='4'")
        << QStringList{"--format", "same"} << "a.jpg 80x60 JPEG";
    QTest::newRow("a damaged stored value reads as the dialog's initial one")
        << QStringLiteral("UPDATE configuracion SET guardar_como='lots'") << QStringList{}
        << "a.jpg 80x60 JPEG";
    // An older version's file lacks the columns added since: read as their initial values, and
    // left without them, for the window's start adds them.
    QTest::newRow("an older settings file")
        << QStringLiteral(
               "CREATE TABLE older AS SELECT filtro_redimension, jpeg, png, bmp, tga, "
               "tif, primera_ejecucion FROM configuracion; DROP TABLE configuracion; "
               "ALTER TABLE older RENAME TO configuracion")
        << QStringList{} << "a.jpg 80x60 JPEG";
}

void TestHeadless::optionsNotGivenAreTheStoredOnes() {
    QFETCH(QString, stored);
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QCOMPARE(RunSql(settings(), stored), QString());
    const QByteArray before = Digest(settings());
    const QDateTime modifiedBefore = QFileInfo(settings()).lastModified();
    const QStringList settingsFolderBefore = QDir(program_.path()).entryList(QDir::Files);

    const FinishedRun result =
        run(QStringList{"--resize", "--longest", "80", "photos/a.jpg"} + options);
    QVERIFY2(result.finished && result.exitCode == 0, result.standardError.constData());
    QCOMPARE(OutputsUnder(work("photos/RES"), work("photos/RES")), QStringList{"./" + output});

    QCOMPARE(Digest(settings()), before);
    QCOMPARE(QFileInfo(settings()).lastModified(), modifiedBefore);
    // No journal or lock file was made beside it either.
    QCOMPARE(QDir(program_.path()).entryList(QDir::Files), settingsFolderBefore);
}

void TestHeadless::badInputIsToldWithItsStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("outputs");  // under the work folder

    const QStringList none;
    // A usage error says what is wrong and where to read more, not the whole usage.
    const QStringList usage{"Try 'kavenra --resize --help' for more information."};
    QTest::newRow("unknown option")
        << QStringList{"--resize", "--longest", "80", "--bogus", "photos"} << 2
        << QStringList{"kavenra: unknown option --bogus\n"} + usage << none;
    QTest::newRow("a mistyped option")
        << QStringList{"--resize", "--longest", "80", "--fats", "photos"} << 2
        << QStringList{"unknown option --fats; did you mean --fast?"} + usage << none;
    QTest::newRow("a mistyped size")
        << QStringList{"--resize", "--longst", "80", "photos"} << 2
        << QStringList{"unknown option --longst; did you mean --longest?"} + usage << none;
    QTest::newRow("unknown option, no --resize")
        << QStringList{"--bogus", "photos"} << 2
        << QStringList{"kavenra: unknown option --bogus\n",
                       "Try 'kavenra --help' for more information."}
        << none;
    QTest::newRow("--resize mistyped")
        << QStringList{"--resise", "--longest", "80", "photos"} << 2
        << QStringList{"unknown option --resise; did you mean --resize?",
                       "Try 'kavenra --help' for more information."}
        << none;
    QTest::newRow("an option of --resize without it")
        << QStringList{"--longest", "80", "photos"} << 2
        << QStringList{"kavenra: --longest needs --resize"} + usage << none;
    QTest::newRow("an empty name: nothing, not the working folder")
        << QStringList{"--resize", "--longest", "80", ""} << 1
        << QStringList{"kavenra: \"\": Reason: the file or folder does not exist.",
                       "Resizing finished: 0 of 1 images written."}
        << none;
    QTest::newRow("an empty name with --recursive, beside a good one")
        << QStringList{"--resize", "--longest", "80", "--recursive", "", "single.bmp"} << 1
        << QStringList{"kavenra: \"\": Reason: the file or folder does not exist.",
                       "Resizing finished: 1 of 2 images written."}
        << QStringList{"RES/single.bmp 80x60 BMP"};
    QTest::newRow("a size of 0") << QStringList{"--resize", "--longest", "0", "photos"} << 2
                                 << QStringList{"--longest: \"0\""} + usage << none;
    QTest::newRow("a size that is no size") << QStringList{"--resize", "--size", "80x", "photos"}
                                            << 2 << QStringList{"--size: \"80x\""} + usage << none;
    QTest::newRow("JPEG quality out of range")
        << QStringList{"--resize", "--longest", "80", "--jpeg-quality", "6", "photos"} << 2
        << QStringList{"--jpeg-quality: \"6\" is not 1 to 5 (1 the smallest files, 5 the best "
                       "quality)"} +
               usage
        << none;
    QTest::newRow("no size") << QStringList{"--resize", "photos"} << 2
                             << QStringList{"no size"} + usage << none;
    QTest::newRow("two sizes") << QStringList{"--resize", "--longest", "8", "--size", "8x8", "x"}
                               << 2 << QStringList{"exclude each other"} + usage << none;
    QTest::newRow("its own size for a file that is no camera RAW")
        << QStringList{"--resize", "--keep-raw-size", "raw", "single.bmp"} << 2
        << QStringList{"--keep-raw-size takes camera RAW files only; not RAW: " + QString()} + usage
        << none;
    QTest::newRow("nothing named") << QStringList{"--resize", "--longest", "80"} << 2
                                   << QStringList{"no image or folder"} + usage << none;
    QTest::newRow("a missing file among good ones")
        << QStringList{"--resize", "--longest", "80", "missing.jpg", "photos/a.jpg"} << 1
        << QStringList{"missing.jpg: Reason: the file or folder does not exist.",
                       "Resizing finished: 1 of 2 images written."}
        << QStringList{"photos/RES/a.jpg 80x60 JPEG"};
    QTest::newRow("a folder without images")
        << QStringList{"--resize", "--longest", "80", "empty"} << 1
        << QStringList{"empty: Reason: the folder holds no supported image."} << none;
    QTest::newRow("a file that is no image")
        << QStringList{"--resize", "--longest", "80", "photos/notes.txt"} << 1
        << QStringList{"notes.txt: Reason: not a supported picture, or a damaged one."} << none;
    // Each file of a named folder that is no picture is named, and counted apart; the run
    // still wrote every picture.
    QTest::newRow("a folder with a file that is no picture")
        << QStringList{"--resize", "--longest", "80", "photos"} << 0
        << QStringList{"photos/notes.txt: Reason: not a supported picture, or a damaged one.",
                       "Resizing finished: 2 of 2 images written.",
                       "Files left out as not supported pictures: 1"}
        << QStringList{"photos/RES/a.jpg 80x60 JPEG", "photos/RES/b.png 40x80 PNG"};
    QTest::newRow("an output folder that cannot be made")
        << QStringList{"--resize", "--longest", "80", "--output", "single.bmp/out", "photos"} << 1
        << QStringList{"single.bmp/out: The folder could not be created.",
                       "Reason: the destination is a file, not a folder.",
                       "Resizing finished: 0 of 2 images written."}
        << none;
    QTest::newRow("a file that fails, the others go on")
        << QStringList{"--resize", "--longest",  "80",           "--output", "o",
                       "--",       "broken.jpg", "photos/a.jpg", "-dash.jpg"}
        << 1 << QStringList{"broken.jpg: Reason: ", "Resizing finished: 2 of 3 images written."}
        << QStringList{"o/-dash.jpg 80x60 JPEG", "o/a.jpg 80x60 JPEG"};
    QTest::newRow("stop on failure")
        << QStringList{"--resize",          "--longest", "80",           "--output",   "o",
                       "--stop-on-failure", "--",        "photos/a.jpg", "broken.jpg", "-dash.jpg"}
        << 1 << QStringList{"broken.jpg: Reason: ", "Resizing finished: 1 of 3 images written."}
        << QStringList{"o/a.jpg 80x60 JPEG"};
}

void TestHeadless::badInputIsToldWithItsStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, told);
    QFETCH(QStringList, outputs);
    // The sizes each row expects are stretched and enlarged ones: an older user's choices.
    QCOMPARE(RunSql(settings(), "UPDATE configuracion SET no_ampliar='0', ajustar_dentro='0'"),
             QString());
    const FinishedRun result = run(arguments);
    const QString errors = QString::fromLocal8Bit(result.standardError);
    QVERIFY2(result.finished, qPrintable(errors));
    QVERIFY2(result.exitCode == exitCode, qPrintable(errors));
    for (const QString& text : told) QVERIFY2(errors.contains(text), qPrintable(errors));
    QVERIFY2(!errors.contains(QStringLiteral("Usage:")), qPrintable(errors));
    QStringList written;
    for (const QString& output : OutputsUnder(work_->path(), work_->path())) {
        if (output.contains(QStringLiteral("RES/")) || output.startsWith(QStringLiteral("o/"))) {
            written << output;
        }
    }
    QCOMPARE(written, outputs);
    QVERIFY(TemporaryFilesUnder(work_->path()).isEmpty());
}

void TestHeadless::keepDatesGivesEachOutputItsSourcesTime_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("kept");
    QTest::newRow("--keep-dates") << QStringList{"--keep-dates"} << true;
    QTest::newRow("without it") << QStringList{} << false;
}

void TestHeadless::keepDatesGivesEachOutputItsSourcesTime() {
    QFETCH(QStringList, options);
    QFETCH(bool, kept);
    // 2001-09-09: long before anything this run writes.
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1000000000);
    for (const char* name : {"photos/a.jpg", "photos/b.png"}) {
        QFile source(work(name));
        QVERIFY(source.open(QIODevice::ReadWrite));
        QVERIFY(source.setFileTime(past, QFileDevice::FileModificationTime));
    }
    const FinishedRun result = run(QStringList{"--resize", "--longest", "80", "photos"} + options);
    QVERIFY2(result.finished && result.exitCode == 0, result.standardError.constData());
    for (const char* name : {"photos/RES/a.jpg", "photos/RES/b.png"}) {
        const QDateTime written = QFileInfo(work(name)).lastModified();
        QVERIFY2(kept ? written == past : written > past, name);
    }
}

void TestHeadless::jsonTellsEachFile() {
    const FinishedRun result =
        run({"--resize", "--longest", "80", "--json", "--output", "o", "photos/a.jpg", "broken.jpg",
             "missing.jpg", "photos/notes.txt", "single.bmp"});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.standardError.isEmpty(), result.standardError.constData());
    QMap<QString, QJsonObject> lines;
    for (const QByteArray& line : result.standardOutput.split('\n')) {
        if (line.isEmpty()) continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        QVERIFY2(document.isObject(), line.constData());
        const QJsonObject object = document.object();
        lines[QFileInfo(object.value("input").toString()).fileName()] = object;
    }
    QCOMPARE(lines.keys(),
             (QStringList{"a.jpg", "broken.jpg", "missing.jpg", "notes.txt", "single.bmp"}));
    QCOMPARE(lines["a.jpg"].value("status").toString(), QStringLiteral("written"));
    QCOMPARE(lines["a.jpg"].value("input").toString(), work("photos/a.jpg"));
    QCOMPARE(lines["a.jpg"].value("output").toString(), work("o/a.jpg"));
    QCOMPARE(lines["single.bmp"].value("output").toString(), work("o/single.bmp"));
    QCOMPARE(lines["missing.jpg"].value("status").toString(), QStringLiteral("failed"));
    QCOMPARE(lines["missing.jpg"].value("reason").toString(), QStringLiteral("not-found"));
    QCOMPARE(lines["notes.txt"].value("reason").toString(), QStringLiteral("not-an-image"));
    // Named, it is a failure; found in a named folder, it would be left out.
    QCOMPARE(lines["notes.txt"].value("status").toString(), QStringLiteral("failed"));
    // A file that looks like a JPEG and ends at once fails in its conversion, which says why.
    QCOMPARE(lines["broken.jpg"].value("status").toString(), QStringLiteral("failed"));
    QVERIFY(QStringList({"unsupported", "incomplete"})
                .contains(lines["broken.jpg"].value("reason").toString()));
    QVERIFY(lines["broken.jpg"].value("message").toString().startsWith("Reason: "));
    QCOMPARE(Described(work("o/a.jpg")), QStringLiteral("a.jpg 80x60 JPEG"));
}

// With --json every file a run was given has its line, whatever kept it from being written: the
// files of a named folder that are no picture ("skipped", no failure) and, when the output
// folder cannot be made, every picture, with the reason.
void TestHeadless::jsonNamesEveryFileLeftOut_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");  // "name status reason", in the order told

    QTest::newRow("a folder with a text")
        << QStringList{"--output", "o"} << 0
        << QStringList{"notes.txt skipped not-an-image", "a.jpg written -", "b.png written -"};
    QTest::newRow("an output below a file")
        << QStringList{"--output", "single.bmp/out"} << 1
        << QStringList{"notes.txt skipped not-an-image", "a.jpg failed not-a-folder",
                       "b.png failed not-a-folder"};
    // The system makes no folder there, whoever asks.
    QTest::newRow("an output the system refuses")
        << QStringList{"--output", "/proc/kavenra-test/out"} << 1
        << QStringList{"notes.txt skipped not-an-image", "a.jpg failed not-writable",
                       "b.png failed not-writable"};
}

void TestHeadless::jsonNamesEveryFileLeftOut() {
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    const FinishedRun result =
        run(QStringList{"--resize", "--longest", "80", "--json"} + options + QStringList{"photos"});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QStringList told;
    for (const QByteArray& line : result.standardOutput.split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        QVERIFY2(!object.isEmpty(), line.constData());
        QVERIFY2(object.value("message").toString().startsWith("Reason: ") ||
                     object.value("status") == QLatin1String("written"),
                 line.constData());
        told << QStringLiteral("%1 %2 %3")
                    .arg(QFileInfo(object.value("input").toString()).fileName(),
                         object.value("status").toString(),
                         object.value("reason").toString(QStringLiteral("-")));
    }
    QCOMPARE(told, lines);
}

// A picture this user may not read fails as such, named or found in a folder, and not as no
// picture: its content was never seen. The run is the ordinary user's, whom file modes hold back.
void TestHeadless::anUnreadableFileIsNamedSo() {
    QVERIFY(WriteImage(work("locked/x.jpg"), FIF_JPEG, 40, 30));
    QVERIFY(WriteImage(work("locked/y.jpg"), FIF_JPEG, 40, 30));
    QVERIFY(WriteImage(work("shut.jpg"), FIF_JPEG, 40, 30));
    for (const QString& folder : {work_->path(), program_.path(), home_.path()}) {
        QVERIFY(HandOverToOrdinaryUser(folder));
    }
    for (const char* name : {"locked/x.jpg", "shut.jpg"}) {
        QVERIFY(QFile::setPermissions(work(name), QFileDevice::WriteOwner));
    }
    QVERIFY(RunAsOrdinaryUser([this] {
        const FinishedRun json =
            run({"--resize", "--longest", "20", "--json", "--output", "o", "shut.jpg", "locked"});
        QVERIFY(json.finished);
        QCOMPARE(json.exitCode, 1);
        QStringList told;
        for (const QByteArray& line : json.standardOutput.split('\n')) {
            if (line.isEmpty()) continue;
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            told << QFileInfo(object.value("input").toString()).fileName() + QLatin1Char(' ') +
                        object.value("reason").toString(object.value("status").toString());
        }
        QCOMPARE(told,
                 (QStringList{"shut.jpg not-readable", "x.jpg not-readable", "y.jpg written"}));
        const FinishedRun text = run({"--resize", "--longest", "20", "--output", "t", "shut.jpg"});
        QVERIFY2(
            text.standardError.contains("shut.jpg: Reason: the file cannot be read (permission)."),
            text.standardError.constData());
    }));
}

// A name that is no UTF-8 names its file, read and written under the very bytes; a JSON line
// keeps the readable name and the exact bytes in base64 beside it, from which a script gets the
// file back.
void TestHeadless::namesThatAreNoUtf8() {
    const QByteArray folder = QFile::encodeName(work_->path());
    const QByteArray source = folder + "/caf\xE9.jpg";
    const QByteArray output = folder + "/o/caf\xE9.jpg";
    // Qt cannot name these files to remove them with the folder.
    const std::unique_ptr<const QByteArray, void (*)(const QByteArray*)> removal(
        &source, [](const QByteArray* path) {
            unlink(path->constData());
            unlink((path->left(path->lastIndexOf('/')) + "/o/caf\xE9.jpg").constData());
        });
    kavenra::test::InitialiseFreeImageOnce();
    QVERIFY(kavenra::test::WriteImageFile(source.toStdString(), FIF_JPEG, 80, 60));

    const FinishedRun result = RunWithoutDisplay(WithByteArguments(
        start({"--resize", "--longest", "20", "--json", "--output", "o"}), {"caf\xE9.jpg"}));

    QVERIFY2(result.finished && result.exitCode == 0, result.standardError.constData());
    const QJsonObject line = QJsonDocument::fromJson(result.standardOutput.trimmed()).object();
    QCOMPARE(line.value("status").toString(), QStringLiteral("written"));
    QCOMPARE(line.value("input").toString(), QFile::decodeName(source));
    QCOMPARE(QByteArray::fromBase64(line.value("input_base64").toString().toLatin1()), source);
    QCOMPARE(QByteArray::fromBase64(line.value("output_base64").toString().toLatin1()), output);
    const kavenra::BitmapHandle written = kavenra::test::LoadImageFile(output.toStdString());
    QVERIFY(written);
    QCOMPARE(FreeImage_GetWidth(written.get()), 20u);
    // A name that is UTF-8 needs no second form.
    const FinishedRun plain = run({"--resize", "--longest", "20", "--json", "single.bmp"});
    QVERIFY(!plain.standardOutput.contains("_base64"));
}

// A JPEG whose picture data is damaged, and a size beyond what JPEG holds, each fail with their
// own reason, in the JSON line's word and in the message beside it, and leave no output.
void TestHeadless::damageAndFormatBoundsAreNamed() {
    const kavenra::test::Bytes damaged = kavenra::test::DamagedJpeg(
        kavenra::test::ReadFileBytes(QFile::encodeName(work("photos/a.jpg")).toStdString()),
        "marker in the data");
    QVERIFY(!damaged.empty());
    QVERIFY(kavenra::test::WriteFileBytes(QFile::encodeName(work("damaged.jpg")).toStdString(),
                                          damaged));
    // 70000x1 is asked as it is, stretched and enlarged, as an older user's choices do.
    QCOMPARE(RunSql(settings(), "UPDATE configuracion SET no_ampliar='0', ajustar_dentro='0'"),
             QString());
    const FinishedRun result = run({"--resize", "--size", "70000x1", "--json", "--output", "o",
                                    "damaged.jpg", "photos/a.jpg"});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QMap<QString, QJsonObject> lines;
    for (const QByteArray& line : result.standardOutput.split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        lines[QFileInfo(object.value("input").toString()).fileName()] = object;
    }
    QCOMPARE(lines.keys(), (QStringList{"a.jpg", "damaged.jpg"}));
    QCOMPARE(lines["damaged.jpg"].value("status").toString(), QStringLiteral("failed"));
    QCOMPARE(lines["damaged.jpg"].value("reason").toString(), QStringLiteral("damaged"));
    QCOMPARE(lines["damaged.jpg"].value("message").toString(),
             QStringLiteral("Reason: the picture's data is damaged."));
    QCOMPARE(lines["a.jpg"].value("status").toString(), QStringLiteral("failed"));
    QCOMPARE(lines["a.jpg"].value("reason").toString(), QStringLiteral("too-large-for-format"));
    QCOMPARE(lines["a.jpg"].value("message").toString(),
             QStringLiteral("Reason: the picture is larger than its output format can hold."));
    QVERIFY(!QFileInfo::exists(work("o")) ||
            QDir(work("o")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// --fast decodes a large JPEG at a reduced scale: the output has the exact run's size, and its
// pixels stay close to the exact run's; a PNG beside it is decoded whole either way.
void TestHeadless::fastDecodingKeepsTheExactRunsSize() {
    QVERIFY(WriteImage(work("camera/big.jpg"), FIF_JPEG, 2400, 1600));
    QVERIFY(WriteImage(work("camera/big.png"), FIF_PNG, 2400, 1600));
    for (const QString& mode : {QStringLiteral("exact"), QStringLiteral("fast")}) {
        QStringList arguments{"--resize", "--longest", "300", "--output", mode, "camera"};
        if (mode == QLatin1String("fast")) arguments << QStringLiteral("--fast");
        const FinishedRun result = run(arguments);
        QVERIFY2(result.exitCode == 0, result.standardError.constData());
        QCOMPARE(OutputsUnder(work(mode), work(mode)),
                 (QStringList{"./big.jpg 300x200 JPEG", "./big.png 300x200 PNG"}));
    }
    const auto load = [&](const QString& path) {
        return kavenra::test::LoadImageFile(QFile::encodeName(work(path)).toStdString());
    };
    const kavenra::BitmapHandle exactJpeg = load("exact/big.jpg");
    const kavenra::BitmapHandle fastJpeg = load("fast/big.jpg");
    const double psnr = kavenra::test::PeakSignalToNoise(*exactJpeg, *fastJpeg);
    QVERIFY2(psnr >= 45.0, qPrintable(QString::number(psnr)));
    // Not the same decode: the option did take effect.
    QVERIFY(!kavenra::test::SamePixels(*exactJpeg, *fastJpeg));
    QVERIFY(kavenra::test::SamePixels(*load("exact/big.png"), *load("fast/big.png")));
}

// A phone's folder tree: each image's output in the mirror of its folder, hidden folders left out.
void TestHeadless::subfoldersAreMirrored() {
    QVERIFY(WriteImage(work("DCIM/2024/june/x.jpg"), FIF_JPEG, 160, 120));
    QVERIFY(WriteImage(work("DCIM/2024/x.jpg"), FIF_JPEG, 160, 120));
    QVERIFY(WriteImage(work("DCIM/.thumbnails/t.jpg"), FIF_JPEG, 16, 12));
    const FinishedRun result = run({"--resize", "--longest", "80", "--recursive", "DCIM"});
    QVERIFY2(result.exitCode == 0, result.standardError.constData());
    QCOMPARE(OutputsUnder(work("DCIM/RES"), work("DCIM/RES")),
             (QStringList{"2024/june/x.jpg 80x60 JPEG", "2024/x.jpg 80x60 JPEG"}));
    // Without the flag, as stored: the folder's own images alone, here none.
    const FinishedRun flat = run({"--resize", "--longest", "80", "--output", "flat", "DCIM"});
    QCOMPARE(flat.exitCode, 1);
    QVERIFY(!QFileInfo::exists(work("flat/2024")));
}

void TestHeadless::sizeBudget_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("kilobytes");
    QTest::addColumn<bool>("withMetadata");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("overBudget");

    QTest::newRow("JPEG within 60 KB") << "same" << 60 << false << "photo.jpg" << false;
    // What Exiv2 carries in after the encode counts against the budget too.
    QTest::newRow("JPEG with its metadata") << "same" << 60 << true << "photo.jpg" << false;
    QTest::newRow("WebP within 30 KB") << "webp" << 30 << false << "photo.webp" << false;
    QTest::newRow("too small a budget") << "same" << 1 << false << "photo.jpg" << true;
}

// "At most N KB": the file fits, or, when even the lowest quality does not, it is written at that
// quality and the run says so; a PNG has no quality to lower and is written as without a budget.
void TestHeadless::sizeBudget() {
    QFETCH(QString, format);
    QFETCH(int, kilobytes);
    QFETCH(bool, withMetadata);
    QFETCH(QString, output);
    QFETCH(bool, overBudget);
    QVERIFY(WriteImage(work("budget/photo.jpg"), FIF_JPEG, 1600, 1200));
    QVERIFY(WriteImage(work("budget/other.png"), FIF_PNG, 400, 300));
    if (withMetadata) {
        QVERIFY(kavenra::test::WriteLocatedPhotoMetadata(
            QFile::encodeName(work("budget/photo.jpg")).toStdString()));
    }
    const FinishedRun result =
        run({"--resize", "--longest", "1200", "--format", format, "--max-kb",
             QString::number(kilobytes), "--json", "--output", "out", "budget"});
    QVERIFY2(result.finished && result.exitCode == 0, result.standardError.constData());
    const QString written = work("out/" + output);
    QCOMPARE(Described(written),
             QStringLiteral("%1 1200x900 %2").arg(output, format == "webp" ? "WebP" : "JPEG"));
    const qint64 size = QFileInfo(written).size();
    QVERIFY2(overBudget == (size > kilobytes * 1024), qPrintable(QString::number(size)));
    QVERIFY(result.standardOutput.contains(overBudget ? "\"over_budget\":true" : "\"status\""));
    QCOMPARE(result.standardOutput.count("over_budget"), overBudget ? 1 : 0);

    // Without the JSON lines, the summary names the file that could not fit.
    const FinishedRun told = run({"--resize", "--longest", "1200", "--format", format, "--max-kb",
                                  QString::number(kilobytes), "--output", "told", "budget"});
    const QString errors = QString::fromUtf8(told.standardError);
    QCOMPARE(errors.contains(QStringLiteral("Over the size budget even at the lowest quality")),
             overBudget);
    // The PNG beside it, kept a PNG, is the same as without a budget.
    if (format != QLatin1String("same")) return;
    const FinishedRun plain = run({"--resize", "--longest", "1200", "--output", "plain", "budget"});
    QVERIFY(plain.exitCode == 0);
    QCOMPARE(Digest(work("told/other.png")), Digest(work("plain/other.png")));
}

void TestHeadless::locationIsRemoved_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("output");
    QTest::newRow("JPEG") << "same"
                          << "located.jpg";
    QTest::newRow("as PNG") << "png"
                            << "located.png";
    QTest::newRow("as TIFF") << "tiff"
                             << "located.tif";
    QTest::newRow("as WebP") << "webp"
                             << "located.webp";
}

// Read back with Exiv2: no GPS tag and no place name in any output, everything else kept.
void TestHeadless::locationIsRemoved() {
    QFETCH(QString, format);
    QFETCH(QString, output);
    const QByteArray source = QFile::encodeName(work("gps/located.jpg"));
    QVERIFY(WriteImage(work("gps/located.jpg"), FIF_JPEG, 160, 120));
    QVERIFY(kavenra::test::WriteLocatedPhotoMetadata(source.toStdString()));
    for (const bool strip : {false, true}) {
        const QString folder = strip ? QStringLiteral("stripped") : QStringLiteral("kept");
        QStringList arguments{"--resize", "--longest", "80",   "--format",
                              format,     "--output",  folder, "gps/located.jpg"};
        if (strip) arguments << QStringLiteral("--strip-location");
        const FinishedRun result = run(arguments);
        QVERIFY2(result.exitCode == 0, result.standardError.constData());
        const std::optional<std::vector<std::string>> keys = kavenra::test::MetadataKeysOf(
            QFile::encodeName(work(folder + QLatin1Char('/') + output)).toStdString());
        QVERIFY(keys);
        QStringList located;
        for (const std::string& key : *keys) {
            const QString name = QString::fromStdString(key);
            if (name.contains(QStringLiteral("GPS")) || name.contains(QStringLiteral("City")) ||
                name.contains(QStringLiteral("Location"))) {
                located << name;
            }
        }
        // The fixture's location reaches the output when nobody asks for it to go.
        QVERIFY2(strip == located.isEmpty(), qPrintable(located.join(QLatin1Char(' '))));
        if (strip) {
            QVERIFY(std::count(keys->begin(), keys->end(), "Exif.Image.Model") == 1);
            QFile written(work(folder + QLatin1Char('/') + output));
            QVERIFY(written.open(QIODevice::ReadOnly));
            QVERIFY(!written.readAll().contains(kavenra::test::kLocatedCity));
        }
    }
}

void TestHeadless::messagesSpeakTheInterfaceLanguage_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("summary");

    QTest::newRow("chosen: German, whatever the locale")
        << QStringLiteral(
               "UPDATE idiomas SET activo=(id=3); "
               "UPDATE configuracion SET primera_ejecucion='1'")
        << "fr_FR.UTF-8"
        << "Grund: die Datei oder der Ordner existiert nicht."
        << "1 von 2";
    QTest::newRow("never chosen: the locale's") << QString() << "fr_FR.UTF-8"
                                                << "Raison : le fichier ou le dossier n'existe pas."
                                                << "1 images sur 2";
    QTest::newRow("never chosen, a locale without texts: English")
        << QString() << "ja_JP.UTF-8"
        << "Reason: the file or folder does not exist."
        << "1 of 2";
}

void TestHeadless::messagesSpeakTheInterfaceLanguage() {
    QFETCH(QString, stored);
    QFETCH(QString, locale);
    QFETCH(QString, reason);
    QFETCH(QString, summary);
    if (!stored.isEmpty()) QCOMPARE(RunSql(settings(), stored), QString());
    const FinishedRun result = run({"--resize", "--longest", "80", "missing.jpg", "photos/a.jpg"},
                                   {{QStringLiteral("LANG"), locale}});
    const QString errors = QString::fromUtf8(result.standardError);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(errors.contains(QStringLiteral("missing.jpg: ") + reason), qPrintable(errors));
    QVERIFY2(errors.contains(summary), qPrintable(errors));
}

// The progress line is for a person watching: on a terminal it counts the files, names the one
// converting and, from the second file on, the time left; every other line stands whole.
void TestHeadless::progressShowsOnATerminalOnly() {
    int terminal = -1;
    int terminalSide = -1;
    QVERIFY(openpty(&terminal, &terminalSide, nullptr, nullptr, nullptr) == 0);
    QProcess process;
    const ProgramStart program =
        start({"--resize", "--longest", "80", "photos", "missing.jpg", "single.bmp"});
    process.setProcessEnvironment(EnvironmentWithoutDisplay(program));
    process.setWorkingDirectory(program.workingDirectory);
    process.setChildProcessModifier([terminalSide] { dup2(terminalSide, STDERR_FILENO); });
    process.start(program.executable, program.arguments);
    QVERIFY(process.waitForFinished(kTimeoutMs));
    ::close(terminalSide);
    QByteArray shown;
    char buffer[4096];
    for (ssize_t got = 0; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, got);
    }
    ::close(terminal);
    const QString text = QString::fromUtf8(shown);
    QCOMPARE(process.exitCode(), 1);
    for (const QString& expected :
         {QStringLiteral("[1/3] a.jpg"), QStringLiteral("[2/3] b.png  about 0:0"),
          QStringLiteral("[3/3] single.bmp  about 0:0"),
          QStringLiteral("missing.jpg: Reason: the file or folder does not exist.\r\n"),
          QStringLiteral("\r\x1b[KResizing finished: 3 of 4 images written.\r\n")}) {
        QVERIFY2(text.contains(expected), qPrintable(text.toUtf8().toPercentEncoding(" /:[]")));
    }
}

void TestHeadless::notifiesTheOutcome_data() {
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("body");
    QTest::addColumn<uchar>("urgency");

    QTest::newRow("every file written") << QStringList{"photos/a.jpg", "photos/b.png"} << 0
                                        << "Resizing finished: 2 of 2 images written." << uchar(1);
    // A file of the folder that is no picture is told, and is no failure.
    QTest::newRow("every picture written, a text left out")
        << QStringList{"photos"} << 0
        << "Resizing finished: 2 of 2 images written.\nFiles left out as not supported pictures: 1"
        << uchar(1);
    QTest::newRow("some not")
        << QStringList{"--", "-dash.jpg", "missing.jpg", "broken.jpg"} << 1
        << "Resizing finished: 1 of 3 images written.\nNot converted (2):\nmissing.jpg\nbroken.jpg"
        << uchar(2);
    QTest::newRow("nothing to convert")
        << QStringList{"empty"} << 1
        << "Resizing finished: 0 of 1 images written.\nFiles left out as not supported pictures: "
           "1\nNot converted (1):\nempty"
        << uchar(2);
}

// The action a file manager offers runs with --notify: the outcome comes in the desktop's
// notification, as the desktop's notification service receives it on the user's session bus.
void TestHeadless::notifiesTheOutcome() {
    QFETCH(QStringList, inputs);
    QFETCH(int, exitCode);
    QFETCH(QString, body);
    QFETCH(uchar, urgency);
    QTemporaryDir busFolder;
    QVERIFY(busFolder.isValid());
    SessionBusDaemon bus;
    QString error;
    QVERIFY2(bus.start(busFolder.path(), &error), qPrintable(error));
    NotificationServiceRecorder service;
    QVERIFY2(service.start(bus.address(), NotificationServiceRecorder::Answer::Accept, &error),
             qPrintable(error));

    const FinishedRun result = run(QStringList{"--resize", "--longest", "80", "--notify"} + inputs,
                                   {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address()},
                                    {QStringLiteral("XDG_RUNTIME_DIR"), busFolder.path()}});
    QVERIFY2(result.finished && result.exitCode == exitCode, result.standardError.constData());
    const QList<ReceivedNotice> received = service.received();
    QCOMPARE(received.size(), 1);
    QCOMPARE(received[0].summary, QStringLiteral("Resizing finished"));
    QCOMPARE(received[0].body, body);
    QCOMPARE(received[0].hints.value(QStringLiteral("urgency")).value<uchar>(), urgency);
    QCOMPARE(received[0].icon, QStringLiteral("org.kavenra.Kavenra"));
}

void TestHeadless::noDesktopToNotifyIsNoFailure_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("line");
    QTest::newRow("English") << "C"
                             << "kavenra: the desktop notification could not be shown: ";
    QTest::newRow("French")
        << "fr_FR.UTF-8"
        << QString::fromUtf8("kavenra: la notification du bureau n'a pas pu être affichée : ");
}

// Without a desktop to tell, the run is the same and says so on the terminal, in the run's
// language like every other line.
void TestHeadless::noDesktopToNotifyIsNoFailure() {
    QFETCH(QString, locale);
    QFETCH(QString, line);
    QTemporaryDir nowhere;
    QVERIFY(nowhere.isValid());
    const FinishedRun result =
        run({"--resize", "--longest", "80", "--notify", "photos"},
            {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + nowhere.filePath("bus")},
             {QStringLiteral("XDG_RUNTIME_DIR"), nowhere.path()},
             {QStringLiteral("LANG"), locale}});
    const QString errors = QString::fromUtf8(result.standardError);
    QVERIFY2(result.finished && result.exitCode == 0, qPrintable(errors));
    QVERIFY2(errors.contains(line), qPrintable(errors));
    QCOMPARE(OutputsUnder(work("photos/RES"), work("photos")),
             (QStringList{"RES/a.jpg 80x60 JPEG", "RES/b.png 40x80 PNG"}));
}

void TestHeadless::shippedSettingsFitAndNeverEnlarge_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("outputs");
    QTest::newRow("a box: each picture inside it, in proportion")
        << QStringList{"--resize", "--size", "100x100", "photos"}
        << QStringList{"photos/RES/a.jpg 100x75 JPEG", "photos/RES/b.png 50x100 PNG"};
    QTest::newRow("a size beyond the picture: its own size")
        << QStringList{"--resize", "--longest", "1000", "photos/a.jpg"}
        << QStringList{"photos/RES/a.jpg 400x300 JPEG"};
}

// A new user's settings, as shipped, fit each picture within the size and never enlarge one: the
// command line reads them as the window does.
void TestHeadless::shippedSettingsFitAndNeverEnlarge() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, outputs);
    const FinishedRun result = run(arguments);
    QVERIFY2(result.finished && result.exitCode == 0, result.standardError.constData());
    QCOMPARE(OutputsUnder(work("photos/RES"), work_->path()), outputs);
}

void TestHeadless::aStoppedRunLeavesNothingHalfWritten_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl+C") << int(SIGINT) << 130;
    QTest::newRow("kill") << int(SIGTERM) << 143;
}

// An earlier run's outputs are replaced by a later run only with complete files: a run stopped
// in the middle leaves each of them either as it was or new and whole, and no temporary file.
void TestHeadless::aStoppedRunLeavesNothingHalfWritten() {
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    // The second run stretches each picture to the size it names, as an older user's settings do.
    QCOMPARE(RunSql(settings(), "UPDATE configuracion SET no_ampliar='0', ajustar_dentro='0'"),
             QString());
    constexpr int kFiles = 10;
    for (int i = 0; i < kFiles; ++i) {
        QVERIFY(WriteImage(work(QStringLiteral("big/p%1.bmp").arg(i)), FIF_BMP, 3000, 2000));
    }
    const FinishedRun earlier = run({"--resize", "--longest", "64", "--format", "png", "big"});
    QVERIFY2(earlier.exitCode == 0, earlier.standardError.constData());
    QMap<QString, QByteArray> before;
    for (int i = 0; i < kFiles; ++i) {
        const QString output = work(QStringLiteral("big/RES/p%1.png").arg(i));
        before[output] = Digest(output);
        QVERIFY(!before[output].isEmpty());
    }

    QProcess process;
    const ProgramStart program = start({"--resize", "--size", "2900x1900", "--filter", "lanczos",
                                        "--format", "png", "--png-compression", "1", "big"});
    process.setProcessEnvironment(EnvironmentWithoutDisplay(program));
    process.setWorkingDirectory(program.workingDirectory);
    process.start(program.executable, program.arguments);
    QVERIFY(process.waitForStarted(kTimeoutMs));
    // Stopped once the first new output stands and before the last does.
    const QString first = work(QStringLiteral("big/RES/p0.png"));
    QVERIFY(QTest::qWaitFor([&] { return Digest(first) != before[first]; }, kTimeoutMs));
    ::kill(static_cast<pid_t>(process.processId()), signal);
    QVERIFY(process.waitForFinished(kTimeoutMs));
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == exitCode, qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("Resizing cancelled.")), qPrintable(errors));

    int replaced = 0;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (Digest(it.key()) == it.value()) continue;
        ++replaced;
        QCOMPARE(Described(it.key()), QFileInfo(it.key()).fileName() + " 2900x1900 PNG");
    }
    QVERIFY(replaced >= 1);
    QVERIFY2(replaced < kFiles, "the run ended before it could be stopped");
    QCOMPARE(TemporaryFilesUnder(work("big")), QStringList());
}

void TestHeadless::anOutputNeverReplacesASource_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("failed");   // inputs, relative to the work folder
    QTest::addColumn<QStringList>("written");  // new files, described

    const QStringList both{"photos/a.jpg", "photos/b.png"};
    QTest::newRow("the files named, into their own folder")
        << QStringList{"--output", "photos", "photos/a.jpg", "photos/b.png"} << both
        << QStringList{};
    QTest::newRow("their folder") << QStringList{"--output", "photos", "photos"} << both
                                  << QStringList{};
    QTest::newRow("their folder spelled ./photos/.")
        << QStringList{"--output", "./photos/.", "photos"} << both << QStringList{};
    QTest::newRow("a link to their folder")
        << QStringList{"--output", "photos-link", "photos"} << both << QStringList{};
    QTest::newRow("the whole tree into itself")
        << QStringList{"--recursive", "--output", "photos", "photos"}
        << QStringList{"photos/a.jpg", "photos/b.png", "photos/sub/c.jpg"} << QStringList{};
    QTest::newRow("saved as PNG: only the PNG would replace itself")
        << QStringList{"--format", "png", "--output", "photos", "photos"}
        << QStringList{"photos/b.png"} << QStringList{"a.png 80x60 PNG"};
    QTest::newRow("a source listed after the file whose output would replace it")
        << QStringList{"--output", "photos", "other/b.png", "photos/b.png"}
        << QStringList{"other/b.png", "photos/b.png"} << QStringList{};
    QTest::newRow("a hard link to a source at the output name")
        << QStringList{"--output", "hard", "photos/a.jpg", "photos/b.png"}
        << QStringList{"photos/a.jpg"} << QStringList{"b.png 40x80 PNG"};
}

// A file the run reads is never written over, however its folder is named: that file fails with
// its own reason, and the other files go on.
void TestHeadless::anOutputNeverReplacesASource() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, written);
    QVERIFY(MakeLink(QStringLiteral("photos"), work("photos-link")));
    QVERIFY(WriteImage(work("other/b.png"), FIF_PNG, 64, 48));
    QVERIFY(QDir().mkpath(work("hard")));
    QCOMPARE(::link(QFile::encodeName(work("photos/a.jpg")).constData(),
                    QFile::encodeName(work("hard/a.jpg")).constData()),
             0);
    const QMap<QString, QByteArray> before = DigestsUnder(work_->path());

    const FinishedRun result = run(QStringList{"--resize", "--longest", "80"} + arguments);
    const QString errors = QString::fromLocal8Bit(result.standardError);
    QVERIFY2(result.finished && result.exitCode == 1, qPrintable(errors));
    for (const QString& input : failed) {
        QVERIFY2(errors.contains(QStringLiteral("kavenra: %1: Reason: the output would replace "
                                                "its source.\n")
                                     .arg(work(input))),
                 qPrintable(errors));
    }
    QVERIFY2(errors.contains(QStringLiteral("Resizing finished: %1 of %2 images written.")
                                 .arg(written.size())
                                 .arg(written.size() + failed.size())),
             qPrintable(errors));
    QMap<QString, QByteArray> after = DigestsUnder(work_->path());
    for (auto file = before.cbegin(); file != before.cend(); ++file) {
        QVERIFY2(after.take(file.key()) == file.value(), qPrintable(file.key()));
    }
    QStringList made;
    for (const QString& path : after.keys()) made << Described(path);
    QCOMPARE(made, written);

    const FinishedRun json = run(QStringList{"--resize", "--longest", "80", "--json"} + arguments);
    const QMap<QString, QJsonObject> lines = JsonLines(json.standardOutput);
    for (const QString& input : failed) {
        QCOMPARE(lines.value(work(input)).value("reason").toString(),
                 QStringLiteral("replaces-source"));
        QCOMPARE(lines.value(work(input)).value("message").toString(),
                 QStringLiteral("Reason: the output would replace its source."));
    }
}

void TestHeadless::aLinkAtTheOutputNameIsReplacedItself_data() {
    QTest::addColumn<QString>("linkTo");   // from the output folder
    QTest::addColumn<QString>("outcome");  // the JSON status, or the reason of a failure
    QTest::newRow("a link to nothing") << "../nowhere/a.jpg"
                                       << "written";
    QTest::newRow("a link to a file elsewhere") << "../keep/a.jpg"
                                                << "written";
    QTest::newRow("a link to the source itself") << "../photos/a.jpg"
                                                 << "written";
    QTest::newRow("a link to a folder") << "../photos/sub"
                                        << "name-taken";
}

// The output replaces the name it goes under, never what a link there points to: a planted link
// in a shared folder reaches no file of the user's.
void TestHeadless::aLinkAtTheOutputNameIsReplacedItself() {
    QFETCH(QString, linkTo);
    QFETCH(QString, outcome);
    QVERIFY(WriteImage(work("keep/a.jpg"), FIF_JPEG, 40, 30));
    QVERIFY(QDir().mkpath(work("o")));
    QVERIFY(MakeLink(linkTo, work("o/a.jpg")));
    const QMap<QString, QByteArray> before = DigestsUnder(work_->path());

    const FinishedRun result =
        run({"--resize", "--longest", "80", "--json", "--output", "o", "photos/a.jpg"});
    QVERIFY2(result.finished, result.standardError.constData());
    const QJsonObject line = JsonLines(result.standardOutput).value(work("photos/a.jpg"));
    const bool written = outcome == QLatin1String("written");
    QCOMPARE(line.value(written ? "status" : "reason").toString(), outcome);
    QCOMPARE(result.exitCode, written ? 0 : 1);
    // Nothing but the name itself changed.
    QCOMPARE(QFileInfo(work("o/a.jpg")).isSymLink(), !written);
    if (written) QCOMPARE(Described(work("o/a.jpg")), QStringLiteral("a.jpg 80x60 JPEG"));
    QVERIFY(!QFileInfo::exists(work("nowhere")));
    QMap<QString, QByteArray> after = DigestsUnder(work_->path());
    after.remove(work("o/a.jpg"));
    QMap<QString, QByteArray> unchanged = before;
    unchanged.remove(work("o/a.jpg"));
    QCOMPARE(after, unchanged);
}

void TestHeadless::repeatedTreeRunsLeaveTheirOutputsOut_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("outputFolder");
    QTest::addColumn<bool>("throughLink");  // named through "web-link", a link to it
    QTest::newRow("into RES inside the tree") << QStringList{} << "DCIM/RES" << false;
    QTest::newRow("into a folder named inside the tree")
        << QStringList{"--output", "DCIM/web"} << "DCIM/web" << false;
    QTest::newRow("into a folder inside the tree, named through a link")
        << QStringList{"--output", "web-link/"} << "DCIM/web" << true;
}

// A tree run again into a folder inside it does not take its earlier outputs as inputs: every run
// converts the same files into the same mirror.
void TestHeadless::repeatedTreeRunsLeaveTheirOutputsOut() {
    QFETCH(QStringList, options);
    QFETCH(QString, outputFolder);
    QFETCH(bool, throughLink);
    if (throughLink) {
        QVERIFY(QDir().mkpath(work(outputFolder)));
        QVERIFY(MakeLink(outputFolder, work("web-link")));
    }
    QVERIFY(WriteImage(work("DCIM/x.jpg"), FIF_JPEG, 160, 120));
    QVERIFY(WriteImage(work("DCIM/2024/y.jpg"), FIF_JPEG, 160, 120));
    const QStringList mirror{"./x.jpg 80x60 JPEG", "2024/y.jpg 80x60 JPEG"};
    for (int repeat = 1; repeat <= 3; ++repeat) {
        const FinishedRun result = run(QStringList{"--resize", "--longest", "80", "--recursive"} +
                                       options + QStringList{"DCIM"});
        const QString errors = QString::fromLocal8Bit(result.standardError);
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(errors));
        QVERIFY2(errors.contains(QStringLiteral("Resizing finished: 2 of 2 images written.")),
                 qPrintable(errors));
        QCOMPARE(OutputsUnder(work(outputFolder), work(outputFolder)), mirror);
    }
}

namespace {

// One line of the recorder's log: "fsync PATH" or "rename FROM TO".
struct Recorded {
    QString call;
    QString path;
    QString to;
};

QList<Recorded> ReadSyncLog(const QString& path) {
    QFile log(path);
    QList<Recorded> calls;
    if (!log.open(QIODevice::ReadOnly)) return calls;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 2) continue;
        calls.append({QString::fromUtf8(fields[0]), QString::fromUtf8(fields[1]),
                      fields.size() > 2 ? QString::fromUtf8(fields[2]) : QString()});
    }
    return calls;
}

// The path as the system names an open file: its folder resolved.
QString SystemPath(const QString& path) {
    const QFileInfo file(path);
    return QFileInfo(file.path()).canonicalFilePath() + QLatin1Char('/') + file.fileName();
}

}  // namespace

// A replacing save is on the disk before the run reports it: the new content is flushed before
// the rename puts it under the name, and the folder after, once per output.
void TestHeadless::outputsReachTheDiskBeforeTheyAreReported() {
    QVERIFY(WriteImage(work("o/a.jpg"), FIF_JPEG, 16, 12));  // replaced
    QTemporaryDir logFolder;
    QVERIFY(logFolder.isValid());
    const QString log = logFolder.filePath(QStringLiteral("calls"));
    const FinishedRun result =
        run({"--resize", "--longest", "80", "--output", "o", "photos"},
            {{QStringLiteral("LD_PRELOAD"), QStringLiteral(KAVENRA_TEST_SYNC_RECORDER)},
             {QStringLiteral("KAVENRA_TEST_SYNC_LOG"), log}});
    QVERIFY2(result.finished && result.exitCode == 0, result.standardError.constData());
    QCOMPARE(OutputsUnder(work("o"), work("o")),
             (QStringList{"./a.jpg 80x60 JPEG", "./b.png 40x80 PNG"}));

    const QList<Recorded> calls = ReadSyncLog(log);
    const QString folder = QFileInfo(work("o")).canonicalFilePath();
    QList<int> renames;
    for (int at = 0; at < calls.size(); ++at) {
        if (calls[at].call == QLatin1String("rename")) renames << at;
    }
    QCOMPARE(renames.size(), 2);
    for (int index = 0; index < renames.size(); ++index) {
        const Recorded& rename = calls[renames[index]];
        QVERIFY2(QFileInfo(rename.path).fileName().startsWith(QStringLiteral(".kavenra-")),
                 qPrintable(rename.path));
        const QString temporary = SystemPath(rename.path);
        const auto syncs = [&](const QString& path, int from, int to) {
            int count = 0;
            for (int at = from; at < to; ++at) {
                if (calls[at].call == QLatin1String("fsync") && calls[at].path == path) ++count;
            }
            return count;
        };
        // Its content once before the rename, nowhere after it; the folder before the next
        // output's rename.
        QCOMPARE(syncs(temporary, 0, renames[index]), 1);
        QCOMPARE(syncs(temporary, renames[index], static_cast<int>(calls.size())), 0);
        const int next =
            index + 1 < renames.size() ? renames[index + 1] : static_cast<int>(calls.size());
        QVERIFY2(syncs(folder, renames[index], next) >= 1, qPrintable(rename.to));
    }
    QCOMPARE(QStringList({SystemPath(calls[renames[0]].to), SystemPath(calls[renames[1]].to)}),
             QStringList({folder + "/a.jpg", folder + "/b.png"}));
}

void TestHeadless::aPathBeyondTheSystemsLimitIsNamed_data() {
    QTest::addColumn<QString>("subfolder");  // of the source in its tree, mirrored
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("outputLength");  // of the output folder's absolute path; 0: short
    // Paths hold at most 4095 bytes, names 255.
    QTest::newRow("a mirrored folder beyond the limit") << QString(200, QLatin1Char('x')) << "a.jpg"
                                                        << "same" << 3950;
    QTest::newRow("a folder at the limit: no room for the file")
        << QString() << "photo-with-a-long-name-0001.jpg"
        << "same" << 4080;
    QTest::newRow("a long name that takes the path beyond the limit")
        << QString() << QString(200, QLatin1Char('n')) + ".jpg"
        << "same" << 3900;
    QTest::newRow("a name beyond 255 bytes in the output's format")
        << QString() << QString(251, QLatin1Char('n')) + ".jpg"
        << "webp" << 0;
}

// Whatever step meets the system's limit (the mirrored folder, the save, the commit under the
// output's name), the file fails with that reason, on its line and in its JSON.
void TestHeadless::aPathBeyondTheSystemsLimitIsNamed() {
    QFETCH(QString, subfolder);
    QFETCH(QString, fileName);
    QFETCH(QString, format);
    QFETCH(int, outputLength);
    const QString source =
        work("tree/" + (subfolder.isEmpty() ? QString() : subfolder + "/") + fileName);
    QVERIFY(WriteImage(source, FIF_JPEG, 160, 120));
    const QString output =
        outputLength > 0 ? MakeFolderOfLength(work("o"), outputLength) : work("o");
    QVERIFY(!output.isEmpty() && QDir().mkpath(output));
    const QStringList arguments{"--resize", "--longest", "80",   "--recursive", "--format",
                                format,     "--output",  output, "tree"};

    const FinishedRun result = run(arguments);
    const QString errors = QString::fromLocal8Bit(result.standardError);
    QVERIFY2(result.finished && result.exitCode == 1, qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("%1: Reason: the output's path is longer than the "
                                            "system allows.\n")
                                 .arg(fileName)),
             qPrintable(errors.right(300)));
    const FinishedRun json = run(arguments + QStringList{"--json"});
    QCOMPARE(JsonLines(json.standardOutput).value(source).value("reason").toString(),
             QStringLiteral("name-too-long"));
    QCOMPARE(TemporaryFilesUnder(work("o")), QStringList());
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_e2e_headless.moc"
