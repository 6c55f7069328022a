// The program's start: the command line sorted into list files and images or folders, the main
// window's creation with the list files, and its first showing with the start-up checks, the
// first-run language dialog, the translation, the update prompt and then the command line's
// images and folders. The windows run in this process on prepared working directories; the paths
// that end the process run in a child process (this program started again in a probe mode), whose
// message boxes are answered and printed by the modal answerer. The geometry these checks leave on
// a real window system is the display test's.

#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"
#include "support/DatabaseProbe.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/LoopbackHttpServer.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"

#include "net/Internet.h"
#include "ui/AppServices.h"
#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

#include <FreeImage.h>
#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <thread>

using namespace kavenra::testing;
namespace startup = kavenra::startup;

namespace {

const QString kNotFound =
    QStringLiteral("Error al leer de la base de datos, fichero no encontrado");
const char kLibraryDirVariable[] = "KAVENRA_PROBE_LIBRARY_DIR";
const char kReportedVersionVariable[] = "KAVENRA_PROBE_REPORTED_VERSION";

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnvironment() {
        if (had_) {
            qputenv(name_, previous_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

QByteArrayList encoded(const QStringList& paths) {
    QByteArrayList bytes;
    for (const QString& path : paths) bytes << QFile::encodeName(path);
    return bytes;
}

QStringList listEntries() {
    QStringList entries;
    for (int i = 0; i < Form1->ListBox1->count(); ++i) entries << Form1->ListBox1->item(i)->text();
    return entries;
}

// The main window's first showing: its handler runs from the message loop once the showing is
// complete, as in the program.
void showMainWindow() {
    Form1->show();
    QCoreApplication::sendPostedEvents(Form1, QEvent::MetaCall);
}

// The start of the program in a child: the windows created and the main window shown, as the
// program entry does it, with every box answered and printed.
int runStartupProbe(const QByteArray& probe) {
    ModalAnswerer answers;
    answers.setEcho(true);
    if (probe == "library-version") {
        CreateAllForms();
        startup::CheckImageLibraryVersion(qEnvironmentVariable(kReportedVersionVariable),
                                          startup::RequiredImageLibraryVersion());
        std::printf("ACCEPTED\n");
        DestroyAllForms();
        return 0;
    }
    if (probe == "library-file-removed") {
        // Only ever the copy the test made for this child.
        const QString folder = qEnvironmentVariable(kLibraryDirVariable);
        const QString library = startup::ImageLibraryFile();
        if (folder.isEmpty() || !library.startsWith(folder + QLatin1Char('/'))) {
            std::printf("LIBRARY|not the copy: %s\n", qPrintable(library));
            return 3;
        }
        if (!QFile::remove(library)) return 4;
    }
    CreateAllForms();
    QObject::connect(Form1, &TForm1::StartupFinished, [] {
        std::printf("STARTED|%s\n", qPrintable(Form1->GroupBox1->title()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    Form1->show();
    const int status = QCoreApplication::exec();
    DestroyAllForms();
    return status;
}

QStringList outputLines(const ProbeResult& result) {
    return result.standardOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listFiles_data();
    void listFiles();
    void commandLineSorted_data();
    void commandLineSorted();
    void listFileContent_data();
    void listFileContent();
    void aPipeIsReadAsAList();
    void commandLineImagesListedAfterTheChecks_data();
    void commandLineImagesListedAfterTheChecks();
    void imageLibraryFileAndVersion();

    void firstRunFlag_data();
    void firstRunFlag();
    void firstRunDialogClosedStoresNothing();
    void firstRunSpeaksThePreselectedLanguage_data();
    void firstRunSpeaksThePreselectedLanguage();
    void failedFirstRunQuerySkipsDialog();
    void olderSettingsGainTheAddedColumns_data();
    void olderSettingsGainTheAddedColumns();
    void checksNotRepeatedOnSecondShow();
    void updatePrompt_data();
    void updatePrompt();
    void modalWindowsComeAfterTheShowing_data();
    void modalWindowsComeAfterTheShowing();

    void fatalChecksEndTheProcess_data();
    void fatalChecksEndTheProcess();
    void missingLibraryFileEndsTheProcess();
    void libraryVersionCheck_data();
    void libraryVersionCheck();

  private:
    bool prepareFolder(const QString& firstRun);
    QString writeFile(const QString& name, const QByteArray& content);
    QString writeImage(const QString& name, FREE_IMAGE_FORMAT format);

    std::unique_ptr<DatabaseFolder> folder_;
    std::unique_ptr<QTemporaryDir> files_;
    std::unique_ptr<ModalAnswerer> answers_;
};

void TestStartup::initTestCase() {
    // No check of this test may go to the network unless it points the update check at its own
    // loopback server.
    qputenv("KAVENRA_ASSUME_ONLINE", "0");
}

void TestStartup::init() {
    // A text completed with fewer values than it has places, or more, is a fault wherever it is.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^QString::arg")));
    folder_ = std::make_unique<DatabaseFolder>();
    QVERIFY(folder_->isValid());
    files_ = std::make_unique<QTemporaryDir>();
    QVERIFY(files_->isValid());
    answers_ = std::make_unique<ModalAnswerer>();
    StartupChecksRun = false;
}

void TestStartup::cleanup() {
    DestroyAllForms();
    startup::SetStartupArguments({});
    answers_.reset();
    files_.reset();
    folder_.reset();
}

// Two languages, "Uno" active, whose texts start with "U" and "D".
bool TestStartup::prepareFolder(const QString& firstRun) {
    QStringList configuration = InitialConfiguration();
    configuration.last() = firstRun;
    return folder_->writeSettings({{QStringLiteral("Uno"), QStringLiteral("lang/uno.db"), true},
                                   {QStringLiteral("Dos"), QStringLiteral("lang/dos.db"), false}},
                                  configuration) &&
           folder_->writeCompleteLanguage(QStringLiteral("lang/uno.db"), QStringLiteral("U")) &&
           folder_->writeCompleteLanguage(QStringLiteral("lang/dos.db"), QStringLiteral("D"));
}

QString TestStartup::writeFile(const QString& name, const QByteArray& content) {
    const QString path = files_->filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return {};
    return file.fileName();
}

// An image in the format given, whatever the name says (FIF_RAW: a minimal camera RAW file).
QString TestStartup::writeImage(const QString& name, FREE_IMAGE_FORMAT format) {
    kavenra::test::InitialiseFreeImageOnce();
    const QString path = files_->filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const std::string file = QFile::encodeName(path).toStdString();
    const bool written = format == FIF_RAW ? kavenra::test::WriteMinimalDng(file)
                                           : kavenra::test::WriteImageFile(file, format, 32, 24);
    return written ? path : QString();
}

// ---------------------------------------------------------------------------------------------
// The main window's creation

void TestStartup::listFiles_data() {
    // Each argument is a file content, or "<missing>" / "<folder>" for a name that is no
    // readable file. The expected error names the failing argument as %1.
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("error");

    QTest::newRow("no arguments") << QList<QByteArray>{} << QStringList{} << ""
                                  << "0"
                                  << "";
    QTest::newRow("LF lines") << QList<QByteArray>{"/img/a.jpg\n/img/b.png\n"}
                              << QStringList{"/img/a.jpg", "/img/b.png"} << "/img/RES/"
                              << "2"
                              << "";
    QTest::newRow("CR LF lines, last without a break")
        << QList<QByteArray>{"/img/a.jpg\r\n/img/b.png\r\n/img/c.tif"}
        << QStringList{"/img/a.jpg", "/img/b.png", "/img/c.tif"} << "/img/RES/"
        << "3"
        << "";
    QTest::newRow("CR lines") << QList<QByteArray>{"/x/a.jpg\r/x/b.jpg\r"}
                              << QStringList{"/x/a.jpg", "/x/b.jpg"} << "/x/RES/"
                              << "2"
                              << "";
    QTest::newRow("mixed breaks and a blank line inside")
        << QList<QByteArray>{"/x/a.jpg\n\r/x/b.jpg\r\n\n/x/c.jpg"}
        << QStringList{"/x/a.jpg", "", "/x/b.jpg", "", "/x/c.jpg"} << "/x/RES/"
        << "5"
        << "";
    QTest::newRow("UTF-8 without a mark") << QList<QByteArray>{"/fotos/año/ñu.jpg\n"}
                                          << QStringList{"/fotos/año/ñu.jpg"} << "/fotos/año/RES/"
                                          << "1"
                                          << "";
    QTest::newRow("UTF-8 with a mark")
        << QList<QByteArray>{QByteArray("\xEF\xBB\xBF") + "/fotos/año/ñu.jpg\r\n"}
        << QStringList{"/fotos/año/ñu.jpg"} << "/fotos/año/RES/"
        << "1"
        << "";
    const QString wide = QString::fromUtf8("/фото/ü/a.jpg\r\n/фото/ü/b.jpg");
    QByteArray littleEndian("\xFF\xFE");
    QByteArray bigEndian("\xFE\xFF");
    for (const QChar c : wide) {
        const char16_t u = c.unicode();
        littleEndian.append(char(u & 0xFF)).append(char(u >> 8));
        bigEndian.append(char(u >> 8)).append(char(u & 0xFF));
    }
    QTest::newRow("UTF-16LE with a mark")
        << QList<QByteArray>{littleEndian} << QStringList{"/фото/ü/a.jpg", "/фото/ü/b.jpg"}
        << "/фото/ü/RES/"
        << "2"
        << "";
    QTest::newRow("UTF-16BE with a mark")
        << QList<QByteArray>{bigEndian} << QStringList{"/фото/ü/a.jpg", "/фото/ü/b.jpg"}
        << "/фото/ü/RES/"
        << "2"
        << "";
    QTest::newRow("first line without a folder")
        << QList<QByteArray>{"a.jpg\n/img/b.jpg\n"} << QStringList{"a.jpg", "/img/b.jpg"} << "RES/"
        << "2"
        << "";
    QTest::newRow("entries kept as written, no test of any kind")
        << QList<QByteArray>{"/n/o.jpg\n/n/o.jpg\nnot an image\n"}
        << QStringList{"/n/o.jpg", "/n/o.jpg", "not an image"} << "/n/RES/"
        << "3"
        << "";
    QTest::newRow("two files: the second one's lines")
        << QList<QByteArray>{"/one/a.jpg\n/one/b.jpg\n/one/c.jpg\n", "/two/z.jpg\n"}
        << QStringList{"/two/z.jpg"} << "/two/RES/"
        << "1"
        << "";
    QTest::newRow("unreadable file: error, later files unread")
        << QList<QByteArray>{"/one/a.jpg\n", "<missing>", "/three/c.jpg\n"}
        << QStringList{"/one/a.jpg"} << "/one/RES/"
        << "1"
        << "Cannot open file \"%1\". No such file or directory";
    QTest::newRow("a folder named as a list file")
        << QList<QByteArray>{"<folder>", "/three/c.jpg\n"} << QStringList{} << ""
        << "0"
        << "Cannot open file \"%1\". file to open is a directory";
    QTest::newRow("file with no lines: list emptied, error, later files unread")
        << QList<QByteArray>{"/one/a.jpg\n", "", "/three/c.jpg\n"} << QStringList{} << ""
        << "0"
        << "The list file \"%1\" holds no lines.";
}

void TestStartup::listFiles() {
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(QStringList, entries);
    QFETCH(QString, destination);
    QFETCH(QString, count);
    QFETCH(QString, error);

    QStringList paths;
    QString failing;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString name = QStringLiteral("list%1.txt").arg(i);
        QString path;
        if (arguments[i] == "<missing>") {
            path = files_->filePath(name);
        } else if (arguments[i] == "<folder>") {
            path = files_->filePath(name);
            QVERIFY(QDir().mkdir(path));
        } else {
            path = writeFile(name, arguments[i]);
            QVERIFY(!path.isEmpty());
        }
        if (failing.isEmpty() && (arguments[i].isEmpty() || arguments[i].startsWith('<'))) {
            failing = path;
        }
        paths << path;
    }
    startup::SetListFileArguments(encoded(paths));
    CreateAllForms();

    QCOMPARE(listEntries(), entries);
    QCOMPARE(Form1->Edit3->text(), destination);
    QCOMPARE(Form1->Label10->text(), count);
    // The list files are taken as they are: no counting pass, the RAW mode stays off.
    QVERIFY(!Form1->Timer2->isActive());
    QVERIFY(!Form1->CheckBox2->isEnabled());
    if (error.isEmpty()) {
        QVERIFY(answers_->messageBoxes().isEmpty());
    } else {
        QCOMPARE(answers_->messageBoxTexts(), QStringList{error.arg(failing)});
        QCOMPARE(answers_->messageBoxes().first().title, QStringLiteral("Kavenra"));
        QCOMPARE(answers_->messageBoxes().first().icon, QMessageBox::Critical);
    }
    // The error ends the main window's creation handler only: every window exists.
    QVERIFY(Form1 && Form2 && Form3 && Form4 && Form5 && Form6 && Form7);
}

void TestStartup::commandLineSorted_data() {
    // Arguments and expected paths: "%W" is the working directory given, "%R" the folder above it.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("listFiles");
    QTest::addColumn<QStringList>("droppedItems");

    QTest::newRow("no arguments") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("image by content, named as text")
        << QStringList{"photo.txt"} << QStringList{} << QStringList{"%W/photo.txt"};
    QTest::newRow("camera RAW by content")
        << QStringList{"camera.bin"} << QStringList{} << QStringList{"%W/camera.bin"};
    QTest::newRow("text file of names: a list file")
        << QStringList{"names.txt"} << QStringList{"%W/names.txt"} << QStringList{};
    QTest::newRow("text of names with no extension: a list file")
        << QStringList{"names"} << QStringList{"%W/names"} << QStringList{};
    // What is no list is dropped, and the drop names it as left out; it is never read as a list.
    QTest::newRow("text named like an image: dropped, never a list")
        << QStringList{"list.jpg"} << QStringList{} << QStringList{"%W/list.jpg"};
    QTest::newRow("text named like a picture of another kind: dropped")
        << QStringList{"drawing.svg"} << QStringList{} << QStringList{"%W/drawing.svg"};
    QTest::newRow("GIF, which the intake refuses: dropped")
        << QStringList{"anim.gif"} << QStringList{} << QStringList{"%W/anim.gif"};
    QTest::newRow("random bytes: dropped")
        << QStringList{"noise.dat"} << QStringList{} << QStringList{"%W/noise.dat"};
    QTest::newRow("folder") << QStringList{"pics"} << QStringList{} << QStringList{"%W/pics"};
    QTest::newRow("folder with a final separator")
        << QStringList{"pics/"} << QStringList{} << QStringList{"%W/pics"};
    QTest::newRow("relative path through . and .. and a doubled separator")
        << QStringList{"./pics/../pics//a.png"} << QStringList{} << QStringList{"%W/pics/a.png"};
    QTest::newRow("absolute path elsewhere, cleaned")
        << QStringList{"%W/../elsewhere/./b.png"} << QStringList{}
        << QStringList{"%R/elsewhere/b.png"};
    QTest::newRow("missing file: dropped")
        << QStringList{"nothing.jpg"} << QStringList{} << QStringList{"%W/nothing.jpg"};
    QTest::newRow("missing folder: dropped")
        << QStringList{"gone/"} << QStringList{} << QStringList{"%W/gone"};
    // Made absolute, it would name the working directory and bring all its pictures.
    QTest::newRow("empty argument: dropped as it is")
        << QStringList{""} << QStringList{} << QStringList{""};
    // "album" links to a folder beside the working directory: resolving the link would give
    // "%R/elsewhere" and "%R/names.txt".
    QTest::newRow("link to a folder kept as named")
        << QStringList{"album"} << QStringList{} << QStringList{"%W/album"};
    QTest::newRow(".. after a link taken by name, not through the link")
        << QStringList{"album/../names.txt"} << QStringList{"%W/names.txt"} << QStringList{};
    QTest::newRow("each kind in the order given")
        << QStringList{"names.txt", "photo.txt",          "nothing.jpg",
                       "pics",      "%R/elsewhere/b.png", "names"}
        << QStringList{"%W/names.txt", "%W/names"}
        << QStringList{"%W/photo.txt", "%W/nothing.jpg", "%W/pics", "%R/elsewhere/b.png"};
}

// What an argument names decides what it is: the content of a regular file, and a picture's name
// for a file that is no list. Relative paths belong to the working directory given, not to the
// process's.
void TestStartup::commandLineSorted() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, listFiles);
    QFETCH(QStringList, droppedItems);
    QVERIFY(!writeImage(QStringLiteral("work/photo.txt"), FIF_JPEG).isEmpty());
    QVERIFY(!writeImage(QStringLiteral("work/camera.bin"), FIF_RAW).isEmpty());
    QVERIFY(!writeImage(QStringLiteral("work/anim.gif"), FIF_GIF).isEmpty());
    QVERIFY(!writeImage(QStringLiteral("work/pics/a.png"), FIF_PNG).isEmpty());
    QVERIFY(!writeImage(QStringLiteral("elsewhere/b.png"), FIF_PNG).isEmpty());
    QVERIFY(!writeFile(QStringLiteral("work/list.jpg"), "/x/a.jpg\n").isEmpty());
    QVERIFY(!writeFile(QStringLiteral("work/drawing.svg"), "<svg/>\n").isEmpty());
    QVERIFY(!writeFile(QStringLiteral("work/names.txt"), "/x/a.jpg\n").isEmpty());
    QVERIFY(!writeFile(QStringLiteral("work/names"), "/x/a.jpg\r\n/x/b.jpg\r\n").isEmpty());
    QByteArray noise;
    for (int i = 0; i < 3000; ++i) noise.append(char((i * 7919 + 13) % 251));
    QVERIFY(!writeFile(QStringLiteral("work/noise.dat"), noise).isEmpty());
    QVERIFY(QFile::link(QStringLiteral("../elsewhere"),
                        files_->filePath(QStringLiteral("work/album"))));
    const QString work = files_->filePath(QStringLiteral("work"));
    QVERIFY(QDir::currentPath() != work);
    const auto placed = [&](QStringList paths) {
        paths.replaceInStrings(QStringLiteral("%W"), work);
        paths.replaceInStrings(QStringLiteral("%R"), files_->path());
        return encoded(paths);
    };

    const startup::StartupArguments sorted =
        startup::ClassifyArguments(placed(arguments), QFile::encodeName(work));

    QCOMPARE(sorted.listFiles, placed(listFiles));
    QCOMPARE(sorted.droppedItems, placed(droppedItems));
}

void TestStartup::listFileContent_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("list");
    // "%E" stands for an existing file whose name is no UTF-8, made by the test.

    QTest::newRow("names, LF") << QByteArray("/img/a.jpg\n/img/b.png\n") << true;
    QTest::newRow("names, CR LF, tabs and blanks")
        << QByteArray("/img/a b.jpg\r\n\r\n/img/\tc.jpg") << true;
    QTest::newRow("UTF-8 names") << QByteArray("/fotos/año/ñu.jpg\n") << true;
    QTest::newRow("a sentence is a relative name") << QByteArray("this is not a photo\n") << true;
    QTest::newRow("empty: a list of no lines") << QByteArray() << true;
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF/a.jpg\n") << true;
    QTest::newRow("UTF-16LE mark") << QByteArray("\xFF\xFE/\0a\0\n\0", 8) << true;
    QTest::newRow("UTF-16BE mark") << QByteArray("\xFE\xFF\0/\0a\0\n", 8) << true;
    QTest::newRow("a name that is no UTF-8, of an existing file") << QByteArray("%E\n") << true;
    QTest::newRow("a line that is no UTF-8 and names nothing")
        << QByteArray("/img/caf\xE9-gone.jpg\n") << false;
    QTest::newRow("a NUL byte") << QByteArray("/img/a.jpg\n\0\n", 13) << false;
    QTest::newRow("a control character") << QByteArray("/img/a.jpg\x1B[31m\n") << false;
    QTest::newRow("DEL") << QByteArray("/img/a\x7F.jpg\n") << false;
    QTest::newRow("UTF-16 without its mark") << QByteArray("/\0a\0\n\0", 6) << false;
    QTest::newRow("UTF-16LE with a lone surrogate") << QByteArray(
                                                           "\xFF\xFE/\0\x00\xD8"
                                                           "a\0",
                                                           8)
                                                    << false;
    QTest::newRow("UTF-8 mark, then bytes that are no UTF-8")
        << QByteArray("\xEF\xBB\xBF/a\xE9.jpg\n") << false;
    QByteArray jpegStart("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11);
    QTest::newRow("the start of a JPEG") << jpegStart << false;
    QByteArray noise;
    for (int i = 0; i < 3000; ++i) noise.append(char((i * 7919 + 13) % 251));
    QTest::newRow("3000 random bytes") << noise << false;
}

// A list is text whose lines name paths; anything else, a picture or random bytes, is never read
// as one.
void TestStartup::listFileContent() {
    QFETCH(QByteArray, content);
    QFETCH(bool, list);
    const QByteArray existing = QFile::encodeName(files_->path()) + "/caf\xE9.jpg";
    // Qt cannot name the file to remove it with its folder.
    const std::unique_ptr<const QByteArray, void (*)(const QByteArray*)> removal(
        &existing, [](const QByteArray* path) { ::unlink(path->constData()); });
    const int fd = ::open(existing.constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    content.replace("%E", existing);

    QCOMPARE(startup::IsListFileText(content), list);
}

// A shell's process substitution hands over a pipe, which can be read once: it is a list file,
// and its lines are the list.
void TestStartup::aPipeIsReadAsAList() {
    const QByteArray pipe = QFile::encodeName(files_->filePath(QStringLiteral("names")));
    QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
    const startup::StartupArguments sorted = startup::ClassifyArguments({pipe}, "/");
    QCOMPARE(sorted.listFiles, QByteArrayList{pipe});
    std::thread writer([&pipe] {
        const int fd = ::open(pipe.constData(), O_WRONLY);
        if (fd < 0) return;
        const char names[] = "/img/a.jpg\n/img/b.jpg\n";
        const ssize_t written = ::write(fd, names, sizeof(names) - 1);
        (void)written;
        ::close(fd);
    });
    const QByteArrayList entries = startup::ReadListFileEntries(pipe);
    writer.join();
    QCOMPARE(entries, (QByteArrayList{"/img/a.jpg", "/img/b.jpg"}));
}

void TestStartup::commandLineImagesListedAfterTheChecks_data() {
    QTest::addColumn<QByteArray>("listFile");  // "<none>": no list file among the arguments
    QTest::addColumn<QStringList>("lines");    // what the list holds after the creation
    QTest::addColumn<QString>("error");        // %1: the list file
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<QString>("leftOut");  // what the check's end says was left out

    QTest::newRow("no list file") << QByteArray("<none>") << QStringList{} << "" << false << "";
    QTest::newRow("list file") << QByteArray("/l/one.jpg\n/l/two.jpg\n")
                               << QStringList{"/l/one.jpg", "/l/two.jpg"} << "" << false << "";
    QTest::newRow("list file, first run in another language")
        << QByteArray("/l/one.jpg\n") << QStringList{"/l/one.jpg"} << "" << true << "";
    // Said in the window's status bar, not in a box before the window shows.
    QTest::newRow("missing list file") << QByteArray("<missing>") << QStringList{} << "" << false
                                       << "1:Texto_fuera_no_existe list.txt";
    QTest::newRow("list file with no lines")
        << QByteArray() << QStringList{} << "The list file \"%1\" holds no lines." << false << "";
}

// The list files fill the list at the creation; the images and folders come as one drop at the
// end of the first showing, after the checks, so their status texts speak the language the first
// run chose, and the window is ready with them listed. A list file that cannot be read ends the
// creation's loading, not the drop; a name that is missing is refused by the drop, and the end of
// the list's check names it.
void TestStartup::commandLineImagesListedAfterTheChecks() {
    QFETCH(QByteArray, listFile);
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    QFETCH(bool, firstRun);
    QFETCH(QString, leftOut);
    QVERIFY(prepareFolder(firstRun ? QStringLiteral("0") : QStringLiteral("1")));
    const QString a = writeImage(QStringLiteral("shots/a.jpg"), FIF_JPEG);
    const QString b = writeImage(QStringLiteral("album/b.png"), FIF_PNG);
    const QString c = writeImage(QStringLiteral("album/c.jpg"), FIF_JPEG);
    const QString d = writeImage(QStringLiteral("shots/d.png"), FIF_PNG);
    QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty() && !d.isEmpty());
    QStringList arguments{QStringLiteral("shots/a.jpg")};
    const QString list = files_->filePath(QStringLiteral("list.txt"));
    if (listFile != "<none>") {
        if (listFile != "<missing>")
            QCOMPARE(writeFile(QStringLiteral("list.txt"), listFile), list);
        arguments << QStringLiteral("list.txt");
    }
    arguments << QStringLiteral("album") << QStringLiteral("shots/d.png");
    startup::SetStartupArguments(
        startup::ClassifyArguments(encoded(arguments), QFile::encodeName(files_->path())));
    answers_->answerDialog([](QDialog*) { Form4->Button1->click(); });

    CreateAllForms();
    QCOMPARE(listEntries(), lines);
    QVERIFY(!Form1->Timer2->isActive());
    if (error.isEmpty()) {
        QVERIFY(answers_->messageBoxes().isEmpty());
    } else {
        QCOMPARE(answers_->messageBoxTexts(), QStringList{error.arg(list)});
    }
    QStringList listedWhenReady;
    connect(Form1, &TForm1::StartupFinished, this, [&] { listedWhenReady = listEntries(); });

    showMainWindow();

    const QStringList expected = lines + QStringList{a, b, c, d};
    QCOMPARE(listedWhenReady, expected);
    QCOMPARE(listEntries(), expected);
    QCOMPARE(answers_->dialogs().size(), firstRun ? 1 : 0);
    const QString language = firstRun ? QStringLiteral("D") : QStringLiteral("U");
    QCOMPARE(Form1->StatusBar->currentMessage(), language + QStringLiteral("1:ImagenMsg2"));
    QCOMPARE(Form1->Label10->text(), QString::number(expected.size()));
    QCOMPARE(Form1->Edit3->text(), files_->filePath(QStringLiteral("shots/RES/")));
    QVERIFY(Form1->Timer2->isActive());
    QVERIFY(QTest::qWaitFor([] { return !Form1->Timer2->isActive(); }, 10000));
    QVERIFY(!Form1->CheckBox2->isEnabled());
    QCOMPARE(Form1->StatusBar->currentMessage(),
             leftOut.isEmpty()
                 ? language + QStringLiteral("1:Texto_lista1 %1").arg(expected.size())
                 : language + QStringLiteral("1:ImagenMsg5 %1 ").arg(expected.size()) + language +
                       leftOut);
    QCOMPARE(answers_->messageBoxes().size(), error.isEmpty() ? 0 : 1);

    // A later showing lists nothing again.
    Form1->hide();
    showMainWindow();
    QCOMPARE(listEntries(), expected);
}

void TestStartup::imageLibraryFileAndVersion() {
    const QString library = startup::ImageLibraryFile();
    QVERIFY2(QFileInfo(library).isFile(), qPrintable(library));
    QVERIFY2(QFileInfo(library).fileName().startsWith(QLatin1String("libfreeimage")),
             qPrintable(library));
    QCOMPARE(startup::RequiredImageLibraryVersion(), QStringLiteral("%1.%2.%3")
                                                         .arg(FREEIMAGE_MAJOR_VERSION)
                                                         .arg(FREEIMAGE_MINOR_VERSION)
                                                         .arg(FREEIMAGE_RELEASE_SERIAL));
    // The library this process runs with is the one it was built for, so the check passes.
    QCOMPARE(QString::fromLatin1(FreeImage_GetVersion()), startup::RequiredImageLibraryVersion());
}

// ---------------------------------------------------------------------------------------------
// The main window's first showing

void TestStartup::firstRunFlag_data() {
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("dialogShown");
    QTest::newRow("0: first run") << "0" << true;
    QTest::newRow("1") << "1" << false;
    QTest::newRow("0 with a leading blank") << " 0" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("00") << "00" << false;
}

// At the first run the language dialog comes modally before any window is translated; its OK
// stores the choice, and the translation that follows speaks the chosen language.
void TestStartup::firstRunFlag() {
    QFETCH(QString, flag);
    QFETCH(bool, dialogShown);
    QVERIFY(prepareFolder(flag));
    CreateAllForms();
    const QString layoutTitle = Form1->GroupBox1->title();

    QString titleWhileAsked;
    QStringList questionWhileAsked;
    bool modal = false;
    answers_->answerDialog([&](QDialog* dialog) {
        titleWhileAsked = Form1->GroupBox1->title();
        questionWhileAsked =
            QStringList{Form4->windowTitle(), Form4->Label1->text(), Form4->Button1->text()};
        modal = dialog->isModal() && QApplication::activeModalWidget() == Form4;
        QCOMPARE(Form4->ComboBox1->currentIndex(), 1);
        Form4->Button1->click();
    });
    showMainWindow();

    QVERIFY(StartupChecksRun);
    if (dialogShown) {
        QCOMPARE(answers_->dialogs().size(), 1);
        QCOMPARE(answers_->dialogs().first().className, QStringLiteral("TForm4"));
        QVERIFY(modal);
        // The question and the window behind it speak the language the dialog preselects.
        QVERIFY(titleWhileAsked != layoutTitle);
        QCOMPARE(titleWhileAsked, QStringLiteral("D1:GroupBox1"));
        QCOMPARE(questionWhileAsked, (QStringList{"D4:Caption", "D4:Label1", "D4:Button1"}));
        QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("D1:GroupBox1"));
        QCOMPARE(folder_->queryValue(QStringLiteral("KVConfig.db"),
                                     QStringLiteral("SELECT primera_ejecucion FROM configuracion")),
                 QStringLiteral("1"));
    } else {
        QVERIFY(answers_->dialogs().isEmpty());
        QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("U1:GroupBox1"));
    }
    QVERIFY(!Form4->isVisible());
    QVERIFY(answers_->messageBoxes().isEmpty());
    QVERIFY(answers_->msgBoxes().isEmpty());
}

void TestStartup::firstRunDialogClosedStoresNothing() {
    QVERIFY(prepareFolder(QStringLiteral("0")));
    CreateAllForms();
    answers_->answerDialog([](QDialog* dialog) { dialog->close(); });
    showMainWindow();
    QCOMPARE(answers_->dialogs().size(), 1);
    QCOMPARE(folder_->queryValue(QStringLiteral("KVConfig.db"),
                                 QStringLiteral("SELECT primera_ejecucion FROM configuracion")),
             QStringLiteral("0"));
    QCOMPARE(folder_->queryValue(QStringLiteral("KVConfig.db"),
                                 QStringLiteral("SELECT group_concat(activo, '') FROM idiomas")),
             QStringLiteral("10"));
    // The start goes on in the language already active.
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("U1:GroupBox1"));
    QVERIFY(StartupChecksRun);
}

void TestStartup::firstRunSpeaksThePreselectedLanguage_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("spoken");  // the texts' first letter
    QTest::addColumn<bool>("chosen");
    QTest::newRow("French locale, chosen") << QByteArray("fr_FR.UTF-8") << "F" << true;
    QTest::newRow("French locale, closed") << QByteArray("fr_FR.UTF-8") << "F" << false;
    QTest::newRow("German locale, chosen") << QByteArray("de_AT.UTF-8") << "G" << true;
    QTest::newRow("no texts for the locale: English") << QByteArray("ja_JP.UTF-8") << "N" << true;
    QTest::newRow("C locale: English") << QByteArray("C") << "N" << false;
}

// With Spanish marked active in the file, as it ships: the first-run question, and the window
// behind it, speak the locale's language when there are texts for it, else English. OK keeps it;
// closing the question puts the file's marks back and the start goes on in Spanish.
void TestStartup::firstRunSpeaksThePreselectedLanguage() {
    QFETCH(QByteArray, locale);
    QFETCH(QString, spoken);
    QFETCH(bool, chosen);
    const ScopedEnvironment all("LC_ALL", locale);
    QStringList configuration = InitialConfiguration();
    configuration.last() = QStringLiteral("0");
    QVERIFY(folder_->writeSettings(
        {{QString::fromUtf8("Español"), QStringLiteral("lang/Espanol.db"), true},
         {QStringLiteral("English"), QStringLiteral("lang/English.db"), false},
         {QString::fromUtf8("Français"), QStringLiteral("lang/Francais.db"), false},
         {QStringLiteral("Deutsch"), QStringLiteral("lang/Deutsch.db"), false}},
        configuration));
    for (const auto& [database, prefix] :
         {std::pair{"lang/Espanol.db", "S"}, std::pair{"lang/English.db", "N"},
          std::pair{"lang/Francais.db", "F"}, std::pair{"lang/Deutsch.db", "G"}}) {
        QVERIFY(folder_->writeCompleteLanguage(QLatin1String(database), QLatin1String(prefix)));
    }
    CreateAllForms();
    QStringList whileAsked;
    answers_->answerDialog([&](QDialog* dialog) {
        whileAsked = QStringList{Form1->GroupBox1->title(), Form1->Button3->text(),
                                 Form4->windowTitle(),      Form4->Label1->text(),
                                 Form4->Button1->text(),    Form4->ComboBox1->currentText()};
        if (chosen) {
            Form4->Button1->click();
        } else {
            dialog->close();
        }
    });
    showMainWindow();

    QCOMPARE(answers_->dialogs().size(), 1);
    const QStringList names{QString::fromUtf8("Español"), QStringLiteral("English"),
                            QString::fromUtf8("Français"), QStringLiteral("Deutsch")};
    const QString preselected = names[QStringLiteral("SNFG").indexOf(spoken)];
    QCOMPARE(whileAsked,
             (QStringList{spoken + "1:GroupBox1", spoken + "1:Button3", spoken + "4:Caption",
                          spoken + "4:Label1", spoken + "4:Button1", preselected}));
    const QString after = chosen ? spoken : QStringLiteral("S");
    QCOMPARE(Form1->GroupBox1->title(), after + "1:GroupBox1");
    QString marks = QStringLiteral("0000");
    marks[QStringLiteral("SNFG").indexOf(after)] = QLatin1Char('1');
    QCOMPARE(folder_->queryValue(QStringLiteral("KVConfig.db"),
                                 QStringLiteral("SELECT group_concat(activo, '') FROM idiomas")),
             marks);
    QCOMPARE(folder_->queryValue(QStringLiteral("KVConfig.db"),
                                 QStringLiteral("SELECT primera_ejecucion FROM configuracion")),
             chosen ? QStringLiteral("1") : QStringLiteral("0"));
    QVERIFY(answers_->messageBoxes().isEmpty());
}

void TestStartup::failedFirstRunQuerySkipsDialog() {
    QVERIFY(prepareFolder(QStringLiteral("0")));
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("DROP TABLE configuracion"))
                .isEmpty());
    CreateAllForms();
    showMainWindow();
    QVERIFY(answers_->dialogs().isEmpty());
    // The store's three notices of a statement it cannot prepare.
    QCOMPARE(answers_->messageBoxTexts().size(), 3);
    QCOMPARE(answers_->messageBoxTexts().value(1), QStringLiteral("Error Preparando consulta"));
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("U1:GroupBox1"));
}

void TestStartup::olderSettingsGainTheAddedColumns_data() {
    QTest::addColumn<bool>("lockedForWriting");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("added");  // save as / WebP quality / without loss afterwards
    QTest::newRow("brought up to date") << false << QStringList() << "0/80/0";
    // Another program writing the file: reported, and the start goes on with what is stored.
    QTest::newRow("locked for writing")
        << true << QStringList{QStringLiteral("database is locked")} << QString();
}

// A settings file made from an older shipped one, with the first versions' seven columns.
void TestStartup::olderSettingsGainTheAddedColumns() {
    QFETCH(bool, lockedForWriting);
    QFETCH(QStringList, messages);
    QFETCH(QString, added);
    QVERIFY(prepareFolder(QStringLiteral("1")));
    const QString file = folder_->filePath(QStringLiteral("KVConfig.db"));
    QCOMPARE(
        RunSql(file, QStringLiteral("UPDATE configuracion SET jpeg = '2', tif = '1';"
                                    "ALTER TABLE configuracion DROP COLUMN guardar_como;"
                                    "ALTER TABLE configuracion DROP COLUMN webp;"
                                    "ALTER TABLE configuracion DROP COLUMN webp_sin_perdida;")),
        QString());
    sqlite3* holder = nullptr;
    if (lockedForWriting) {
        QCOMPARE(sqlite3_open(file.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    CreateAllForms();
    showMainWindow();
    if (holder != nullptr) {
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    }
    QVERIFY(StartupChecksRun);
    QCOMPARE(answers_->messageBoxTexts(), messages);
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("U1:GroupBox1"));
    QCOMPARE(folder_->queryValue(QStringLiteral("KVConfig.db"),
                                 QStringLiteral("SELECT filtro_redimension || jpeg || png || bmp "
                                                "|| tga || tif || primera_ejecucion "
                                                "FROM configuracion")),
             QStringLiteral("5232211"));
    QCOMPARE(folder_->queryValue(
                 QStringLiteral("KVConfig.db"),
                 QStringLiteral("SELECT guardar_como || '/' || webp || '/' || webp_sin_perdida "
                                "FROM configuracion")),
             added);
}

void TestStartup::checksNotRepeatedOnSecondShow() {
    QVERIFY(prepareFolder(QStringLiteral("1")));
    CreateAllForms();
    showMainWindow();
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("U1:GroupBox1"));

    // What would make a check act now: the first run again, another language, an update.
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("UPDATE configuracion SET primera_ejecucion = '0';"
                                  "UPDATE idiomas SET activo = CASE id WHEN 1 THEN '1' ELSE '0' "
                                  "END"))
                .isEmpty());
    LoopbackHttpServer server;
    QVERIFY(server.start());
    server.serve("/versiones/version_actual.txt", 200, "9.9");
    const ScopedEnvironment host("KAVENRA_WEB_HOST", server.hostAndPort());
    const ScopedEnvironment online("KAVENRA_ASSUME_ONLINE", "1");

    Form1->hide();
    showMainWindow();
    QVERIFY(answers_->dialogs().isEmpty());
    QVERIFY(answers_->msgBoxes().isEmpty());
    QVERIFY(server.requests().isEmpty());
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("U1:GroupBox1"));
}

void TestStartup::updatePrompt_data() {
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("published");
    QTest::addColumn<int>("answer");  // MsgBoxAnswer of the prompt
    QTest::addColumn<bool>("prompted");
    QTest::addColumn<bool>("opened");

    const int yes = int(MsgBoxAnswer::Button2);
    const int no = int(MsgBoxAnswer::Button3);
    const int closeBox = int(MsgBoxAnswer::CloseBox);
    QTest::newRow("same version: no prompt")
        << true << 200 << QByteArray("2.0") << yes << false << false;
    QTest::newRow("newer version, yes: download page")
        << true << 200 << QByteArray("2.1") << yes << true << true;
    QTest::newRow("newer version, no") << true << 200 << QByteArray("2.1") << no << true << false;
    QTest::newRow("newer version, close box")
        << true << 200 << QByteArray("2.1") << closeBox << true << false;
    QTest::newRow("error page: no prompt") << true << 404 << QByteArray() << yes << false << false;
    QTest::newRow("offline: no request")
        << false << 200 << QByteArray("2.1") << yes << false << false;
}

void TestStartup::updatePrompt() {
    QFETCH(bool, online);
    QFETCH(int, status);
    QFETCH(QByteArray, published);
    QFETCH(int, answer);
    QFETCH(bool, prompted);
    QFETCH(bool, opened);

    LoopbackHttpServer server;
    QVERIFY(server.start());
    if (status == 200) server.serve("/versiones/version_actual.txt", 200, published);
    const ScopedEnvironment host("KAVENRA_WEB_HOST", server.hostAndPort());
    const ScopedEnvironment assumeOnline("KAVENRA_ASSUME_ONLINE", online ? "1" : "0");
    DesktopOpenerRecorder opener;
    SoundRecorder sounds;
    QVERIFY(prepareFolder(QStringLiteral("1")));
    CreateAllForms();

    QString titleWhenPrompted;
    answers_->answerMsgBox([&](TForm6* form) {
        titleWhenPrompted = Form1->GroupBox1->title();
        ModalAnswerer::Apply(form, MsgBoxAnswer(answer));
    });
    showMainWindow();

    QCOMPARE(server.requests().size(), online ? 1 : 0);
    if (online) {
        QCOMPARE(server.requests().first().path, QByteArray("/versiones/version_actual.txt"));
    }
    QCOMPARE(answers_->msgBoxes().size(), prompted ? 1 : 0);
    if (prompted) {
        const MsgBoxRecord& prompt = answers_->msgBoxes().first();
        QCOMPARE(prompt.caption, QStringLiteral("U1:ActualizacionCaption"));
        QCOMPARE(prompt.text, QStringLiteral("U1:ActualizacionTexto"));
        QCOMPARE(prompt.shownKind, 1);
        QCOMPARE(prompt.buttonCaptions, (QStringList{"U6:Button2", "U6:Button3"}));
        // The prompt comes after the translation of the windows.
        QCOMPARE(titleWhenPrompted, QStringLiteral("U1:GroupBox1"));
    }
    const QList<QUrl> expected =
        opened ? QList<QUrl>{QUrl(QString::fromStdString(DownloadPageUrl()))} : QList<QUrl>{};
    QCOMPARE(opener.opened(), expected);
    if (opened) QCOMPARE(expected.first().path(), QStringLiteral("/descargas.html"));
    QVERIFY(StartupChecksRun);
}

void TestStartup::modalWindowsComeAfterTheShowing_data() {
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<bool>("newerVersion");
    QTest::newRow("first run") << true << false;
    QTest::newRow("update prompt") << false << true;
    QTest::newRow("first run, then update prompt") << true << true;
    QTest::newRow("neither") << false << false;
}

// A modal window opened inside the show event runs before the native window is shown at the
// window's size, and the window system then leaves the window at its native default size. So
// nothing of the checks runs inside the showing, each modal window finds the main window shown at
// its fixed size, and the window is reported ready once, after the last of them.
void TestStartup::modalWindowsComeAfterTheShowing() {
    QFETCH(bool, firstRun);
    QFETCH(bool, newerVersion);
    LoopbackHttpServer server;
    QVERIFY(server.start());
    server.serve("/versiones/version_actual.txt", 200, newerVersion ? "9.9" : "2.0");
    const ScopedEnvironment host("KAVENRA_WEB_HOST", server.hostAndPort());
    const ScopedEnvironment online("KAVENRA_ASSUME_ONLINE", "1");
    QVERIFY(prepareFolder(firstRun ? QStringLiteral("0") : QStringLiteral("1")));
    CreateAllForms();
    QSignalSpy finished(Form1, &TForm1::StartupFinished);

    struct Seen {
        QString window;
        bool shown;
        QSize nativeSize;
        int finishedBefore;
    };
    QList<Seen> seen;
    const auto look = [&](const QString& window) {
        const QWindow* native = Form1->windowHandle();
        seen << Seen{window, native && native->isVisible(), native ? native->size() : QSize(),
                     int(finished.count())};
    };
    answers_->answerDialog([&](QDialog*) {
        look(QStringLiteral("language dialog"));
        Form4->Button1->click();
    });
    answers_->answerMsgBox([&](TForm6* form) {
        look(QStringLiteral("update prompt"));
        ModalAnswerer::Apply(form, MsgBoxAnswer::Button3);
    });

    Form1->show();
    QVERIFY(!StartupChecksRun);
    QVERIFY(answers_->dialogs().isEmpty());
    QVERIFY(answers_->msgBoxes().isEmpty());
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral(" Dimensiones "));
    QCOMPARE(finished.count(), 0);

    QCoreApplication::sendPostedEvents(Form1, QEvent::MetaCall);
    QStringList expected;
    if (firstRun) expected << QStringLiteral("language dialog");
    if (newerVersion) expected << QStringLiteral("update prompt");
    QStringList windows;
    for (const Seen& one : seen) windows << one.window;
    QCOMPARE(windows, expected);
    const QSize designed = Form1->minimumSize();
    QCOMPARE(Form1->maximumSize(), designed);
    QCOMPARE(Form1->ClientArea->size(), QSize(554, 544));
    for (const Seen& one : seen) {
        QVERIFY2(one.shown, qPrintable(one.window));
        QCOMPARE(one.nativeSize, designed);
        QCOMPARE(one.finishedBefore, 0);
    }
    QVERIFY(StartupChecksRun);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(Form1->size(), designed);
    QCOMPARE(Form1->windowHandle()->size(), designed);
    QCOMPARE(Form1->GroupBox1->title(),
             firstRun ? QStringLiteral("D1:GroupBox1") : QStringLiteral("U1:GroupBox1"));

    // Later showings run no checks and report nothing more.
    Form1->hide();
    showMainWindow();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(answers_->dialogs().size() + answers_->msgBoxes().size(), expected.size());
}

// ---------------------------------------------------------------------------------------------
// Checks that end the process, in a child

void TestStartup::fatalChecksEndTheProcess_data() {
    QTest::addColumn<bool>("withLanguages");
    QTest::newRow("no side files at all") << false;
    QTest::newRow("language databases but no KVConfig.db") << true;
}

// The message box that would say "Can't locate KVConfig.db configuration file." looks up its
// button caption first; that lookup's notice is all the user sees before the end.
void TestStartup::fatalChecksEndTheProcess() {
    QFETCH(bool, withLanguages);
    if (withLanguages) {
        QVERIFY(prepareFolder(QStringLiteral("1")));
        QVERIFY(QFile::remove(folder_->filePath(QStringLiteral("KVConfig.db"))));
    }
    const ProbeResult result = RunProbe("start", folder_->path());
    QVERIFY(result.started);
    QVERIFY2(result.exitedNormally, qPrintable(result.standardError));
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(outputLines(result), QStringList{QStringLiteral("MESSAGEBOX|Kavenra|") + kNotFound});
    QVERIFY(!QFileInfo::exists(folder_->filePath(QStringLiteral("KVConfig.db"))));
}

// The library is loaded from a copy that the child deletes before its first showing: the check
// looks for the very file the loader mapped.
void TestStartup::missingLibraryFileEndsTheProcess() {
    const QString library = startup::ImageLibraryFile();
    QVERIFY(QFileInfo(library).isFile());
    QTemporaryDir libraries;
    QVERIFY(libraries.isValid());
    const QString copy = libraries.filePath(QFileInfo(library).fileName());
    QVERIFY(QFile::copy(QFileInfo(library).canonicalFilePath(), copy));
    QVERIFY(prepareFolder(QStringLiteral("1")));

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), libraries.path());
    environment.insert(QString::fromLatin1(kLibraryDirVariable), libraries.path());
    const ProbeResult result = RunProbe("library-file-removed", folder_->path(), environment);
    QVERIFY(result.started);
    QVERIFY2(result.exitedNormally, qPrintable(result.standardError));
    QCOMPARE(outputLines(result),
             QStringList{QStringLiteral("MSGBOX|Warning|Can't locate FreeImage.dll|U6:Button1")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(!QFileInfo::exists(copy));

    // With the library in place the same start goes through.
    const ProbeResult normal = RunProbe("start", folder_->path());
    QCOMPARE(outputLines(normal), QStringList{QStringLiteral("STARTED|U1:GroupBox1")});
    QCOMPARE(normal.exitCode, 0);
}

void TestStartup::libraryVersionCheck_data() {
    // "%1" stands for the required version.
    QTest::addColumn<QString>("reported");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the required version") << "%1" << true;
    QTest::newRow("an older version") << "3.0.0" << false;
    QTest::newRow("a newer version") << "9.0.0" << false;
    QTest::newRow("the required version and more") << "%1.1" << false;
    QTest::newRow("a trailing blank") << "%1 " << false;
    QTest::newRow("nothing reported") << "" << false;
}

// The check compares texts exactly. Another version is answered by the warning (a kind 3 box: its
// one button) naming the required version, then the plain notice with the reported one, and the
// end with status 1, before anything else of the start.
void TestStartup::libraryVersionCheck() {
    QFETCH(QString, reported);
    QFETCH(bool, accepted);
    const QString required = startup::RequiredImageLibraryVersion();
    // Only the rows that name it hold the place: QString::arg on the others would leave a
    // version text built with a missing argument, and say so.
    reported.replace(QStringLiteral("%1"), required);
    QVERIFY(prepareFolder(QStringLiteral("1")));

    QProcessEnvironment environment;
    environment.insert(QString::fromLatin1(kReportedVersionVariable), reported);
    const ProbeResult result = RunProbe("library-version", folder_->path(), environment);
    QVERIFY(result.started);
    QVERIFY2(result.exitedNormally, qPrintable(result.standardError));
    if (accepted) {
        QCOMPARE(outputLines(result), QStringList{QStringLiteral("ACCEPTED")});
        QCOMPARE(result.exitCode, 0);
        return;
    }
    QCOMPARE(outputLines(result),
             (QStringList{QStringLiteral("MSGBOX|Warning|FreeImage version its not compatible, "
                                         "Required ") +
                              required + QStringLiteral("|U6:Button1"),
                          QStringLiteral("MESSAGEBOX|Kavenra|") + reported}));
    QCOMPARE(result.exitCode, 1);
}

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    PrepareWindowTestApplication();
    if (!ProbeName().isEmpty()) return runStartupProbe(ProbeName());
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
