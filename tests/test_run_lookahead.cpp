// The batch run prepares the next entry on the other core while one converts. Seen from outside
// that must change nothing but the time: the same list with the same edits at the same ticks
// leaves byte for byte the same folders with the look-ahead on as with it off. And whatever a run
// abandons (Cancel, closing the window, a failed file) leaves neither a file nor a process at
// work behind.

#include "engine/convert/ImageConversion.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/run/ImageFileOperations.h"
#include "engine/run/RunConversions.h"
#include "support/DropFiles.h"
#include "support/FileContents.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/RunProbes.h"
#include "support/RunTicks.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form6_msgbox.h"
#include "ui/Unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

using kavenra::testing::DesktopOpenerRecorder;
using kavenra::testing::DropFiles;
using kavenra::testing::FolderContents;
using kavenra::testing::ImageJobsAtWork;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;
using kavenra::testing::TemporaryOutputsUnder;

using kavenra::testing::FileContents;

namespace {

// What happens between two ticks. Edits of a source file act on the entry of that tick.
enum class Edit {
    None,
    Width,                 // Edit1 gets another number
    LongestSide,           // the longest-side mode is chosen
    Filter,                // the options dialog's box filter is clicked
    JpegQuality,           // the options dialog's JPEG quality goes to its lowest
    DropFromOtherFolder,   // other/d.jpg is dropped, which proposes other/RES/ as destination
    ReplaceSource,         // another picture is renamed over the source
    RewriteSourceInPlace,  // the source is overwritten with another picture of the same size
    RemoveSource,          // the source is deleted
    ClearList,             // ListBox1 emptied, as the end of a counting pass would allow
    ClearWithLimpiar,      // a drop from the same folder, then "Limpiar" once its count ends
    RemoveFirstEntry,      // a drop of e.jpg, then the converted first entry taken off the list
};

QString text(const char* key) {
    return MainWindowFixture::Text(1, key);
}

QString underRoot(const QString& root, const QString& relative) {
    return root + QLatin1Char('/') + relative;
}

FREE_IMAGE_FORMAT formatByName(const QString& name) {
    if (name.endsWith(QLatin1String(".bmp"))) return FIF_BMP;
    if (name.endsWith(QLatin1String(".png"))) return FIF_PNG;
    return FIF_JPEG;
}

// A picture (a camera RAW file for ".dng"), or a folder for a path ending in "/". The same path
// and seed give the same bytes.
bool writePicture(const QString& path, unsigned seed) {
    if (path.endsWith(QLatin1Char('/'))) return QDir().mkpath(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    if (path.endsWith(QLatin1String(".dng"))) {
        kavenra::test::CameraRawSpec camera;
        camera.seed = seed;
        return kavenra::test::WriteMinimalDng(QFile::encodeName(path).toStdString(), camera);
    }
    return kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(), formatByName(path),
                                         320, 240, seed);
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

bool listFiles(const QStringList& paths) {
    return DropFiles(Form1->ListBox1, paths).dropped && MainWindowFixture::WaitForCountingPass();
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

bool isIdle() {
    return !Form1->Timer1->isActive() && Form1->Button3->isVisible() &&
           Form1->Button4->isHidden() && Form1->RunPosition() == 0;
}

bool showOptionsDialog() {
    Form1->Opcionesdecalidadyredimensionado1->trigger();
    return QTest::qWaitForWindowExposed(Form3);
}

QStringList msgBoxTexts(const ModalAnswerer& answers) {
    QStringList texts;
    for (const auto& box : answers.msgBoxes()) texts << box.text;
    return texts;
}

// The names in `folder`, hidden ones included.
QStringList folderListing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool allEnded(const QList<pid_t>& processes) {
    for (const pid_t pid : processes) {
        if (!kavenra::testing::WaitForProcessEnd(pid, 10000)) return false;
    }
    return true;
}

// The pass's folder without the temporary outputs of files prepared ahead.
QMap<QString, QByteArray> finalFiles(const QString& root) {
    QMap<QString, QByteArray> contents = FolderContents(root);
    for (const QString& temporary : TemporaryOutputsUnder(root)) contents.remove(temporary);
    return contents;
}

// Empty when both hold the same paths with the same bytes, else the first difference.
QString firstDifference(const QMap<QString, QByteArray>& expected,
                        const QMap<QString, QByteArray>& actual) {
    QStringList paths = expected.keys() + actual.keys();
    paths.sort();
    for (const QString& path : paths) {
        if (!actual.contains(path)) return path + QStringLiteral(" is missing");
        if (!expected.contains(path)) return path + QStringLiteral(" is too many");
        if (actual.value(path) != expected.value(path)) return path + QStringLiteral(" differs");
    }
    return {};
}

// What one pass of a row left: its folder after every tick and at the end (temporary files
// included there), the message boxes in order, and how many prepared results it took.
struct Pass {
    QList<QMap<QString, QByteArray>> afterTicks;
    QMap<QString, QByteArray> contents;
    QStringList messages;
    int takenFromAhead = 0;
};

}  // namespace

Q_DECLARE_METATYPE(Edit)

class TestRunLookAhead : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void sameFoldersWithAndWithoutLookAhead_data();
    void sameFoldersWithAndWithoutLookAhead();
    void abandonedLargeFileLeavesNothing_data();
    void abandonedLargeFileLeavesNothing();
    void failureDiscardsThePreparedNextFile_data();
    void failureDiscardsThePreparedNextFile();
    void resultWaitsWhileAMessageBoxIsOpen();

  private:
    void runPass(bool lookAhead, Pass& pass);
    void applyEdit(Edit edit, const QString& root, const QString& entry);

    // A picture large enough that converting it takes a good while: made once, copied per test.
    QTemporaryDir largeFolder_;
    QString largePicture_;
};

void TestRunLookAhead::initTestCase() {
    kavenra::test::InitialiseFreeImageOnce();
    QVERIFY(largeFolder_.isValid());
    largePicture_ = largeFolder_.filePath(QStringLiteral("large.png"));
    QVERIFY(kavenra::test::WriteImageFile(QFile::encodeName(largePicture_).toStdString(), FIF_PNG,
                                          4000, 3000, 11));
}

// ---------------------------------------------------------------------------------------------
// The same list, the same edits at the same ticks, with and without the look-ahead

void TestRunLookAhead::sameFoldersWithAndWithoutLookAhead_data() {
    // Paths relative to the pass's own folder. `entries` are listed in one drop, in order;
    // `others` exist beside them without being listed. Edit3 is set to `destination`.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("others");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<int>("beforeTick");
    // Files whose prepared result the pass with the look-ahead takes: every entry after the
    // first whose inputs still held at its tick.
    QTest::addColumn<int>("taken");

    const QStringList abc{"a.jpg", "b.jpg", "c.jpg"};
    const QString res = QStringLiteral("RES/");
    QTest::newRow("no edit") << abc << QStringList{} << res << Edit::None << 0 << 2;
    QTest::newRow("width edited before tick 2")
        << abc << QStringList{} << res << Edit::Width << 2 << 1;
    QTest::newRow("longest side chosen before tick 2")
        << abc << QStringList{} << res << Edit::LongestSide << 2 << 1;
    QTest::newRow("filter clicked before tick 2")
        << abc << QStringList{} << res << Edit::Filter << 2 << 1;
    QTest::newRow("JPEG quality lowered before tick 3")
        << abc << QStringList{} << res << Edit::JpegQuality << 3 << 1;
    QTest::newRow("drop from another folder before tick 2")
        << abc << QStringList{"other/d.jpg", "other/RES/"} << res << Edit::DropFromOtherFolder << 2
        << 2;
    QTest::newRow("drop from another folder without its RES/ before tick 2")
        << abc << QStringList{"other/d.jpg"} << res << Edit::DropFromOtherFolder << 2 << 0;
    QTest::newRow("next source replaced before tick 2")
        << abc << QStringList{} << res << Edit::ReplaceSource << 2 << 1;
    QTest::newRow("next source rewritten in place with the same size before tick 2")
        << QStringList{"a.bmp", "b.bmp", "c.bmp"} << QStringList{} << res
        << Edit::RewriteSourceInPlace << 2 << 1;
    QTest::newRow("next source removed before tick 3")
        << abc << QStringList{} << res << Edit::RemoveSource << 3 << 1;
    QTest::newRow("list cleared before tick 2")
        << abc << QStringList{} << res << Edit::ClearList << 2 << 0;
    QTest::newRow("list cleared with Limpiar before tick 3")
        << abc << QStringList{"e.jpg"} << res << Edit::ClearWithLimpiar << 3 << 1;
    QTest::newRow("converted entry taken off the list before tick 2")
        << abc << QStringList{"e.jpg"} << res << Edit::RemoveFirstEntry << 2 << 1;
    QTest::newRow("two sources of one output name")
        << QStringList{"x/a.jpg", "y/a.jpg", "x/b.jpg", "y/b.jpg"} << QStringList{} << res
        << Edit::None << 0 << 3;
    QTest::newRow("a RAW file and two JPEGs of one output name")
        << QStringList{"a.dng", "a.jpg", "y/a.jpg", "b.jpg"} << QStringList{} << res << Edit::None
        << 0 << 3;
    // Outputs that would land on a listed file fail (RES/a.jpg is one), each failure dropping
    // what was prepared behind it: nothing prepared ahead is taken.
    QTest::newRow("a source that is the previous entry's output")
        << QStringList{"a.jpg", "RES/a.jpg", "b.jpg"} << QStringList{} << res << Edit::None << 0
        << 0;
    QTest::newRow("an output that replaces the previous entry's source")
        << QStringList{"RES/a.jpg", "a.jpg", "b.jpg"} << QStringList{} << res << Edit::None << 0
        << 0;
    QTest::newRow("an output that would replace its own source, after a written one")
        << QStringList{"b.jpg", "RES/a.jpg", "c.jpg"} << QStringList{} << res << Edit::None << 0
        << 1;
}

void TestRunLookAhead::sameFoldersWithAndWithoutLookAhead() {
    QFETCH(int, taken);
    Pass fileByFile;
    runPass(false, fileByFile);
    if (QTest::currentTestFailed()) return;
    Pass lookingAhead;
    runPass(true, lookingAhead);
    if (QTest::currentTestFailed()) return;

    QCOMPARE(lookingAhead.messages, fileByFile.messages);
    QCOMPARE(lookingAhead.afterTicks.size(), fileByFile.afterTicks.size());
    for (int tick = 0; tick < fileByFile.afterTicks.size(); ++tick) {
        const QString difference =
            firstDifference(fileByFile.afterTicks[tick], lookingAhead.afterTicks[tick]);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("after tick %1: %2").arg(tick + 1).arg(difference)));
    }
    const QString difference = firstDifference(fileByFile.contents, lookingAhead.contents);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // The same folders could come from a look-ahead that never ran.
    QCOMPARE(fileByFile.takenFromAhead, 0);
    QCOMPARE(lookingAhead.takenFromAhead, taken);
}

// One run of the row in a window and a folder of its own, Timer1 held so that every edit lands
// before the same tick in both passes. A run stopped by a failed file is cancelled.
void TestRunLookAhead::runPass(bool lookAhead, Pass& pass) {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, others);
    QFETCH(QString, destination);
    QFETCH(Edit, edit);
    QFETCH(int, beforeTick);

    MainWindowFixture fixture;
    QVERIFY(fixture.isValid());
    const QString root = fixture.imageFolder();
    unsigned seed = 0;
    QStringList listed;
    for (const QString& entry : entries) {
        listed << underRoot(root, entry);
        QVERIFY2(writePicture(listed.last(), ++seed), qPrintable(entry));
    }
    for (const QString& other : others)
        QVERIFY2(writePicture(underRoot(root, other), ++seed), qPrintable(other));
    DesktopOpenerRecorder opener;
    ModalAnswerer answers;  // questions: yes; notices: their one button

    Form1->SetLookAhead(lookAhead);
    QVERIFY(listFiles(listed));
    QCOMPARE(Form1->ListBox1->count(), entries.size());
    Form1->Edit1->setText(QStringLiteral("160"));
    Form1->Edit2->setText(QStringLiteral("120"));
    Form1->Edit4->setText(QStringLiteral("100"));
    Form1->Edit3->setText(underRoot(root, destination));
    click(Form1->Button3);
    QVERIFY(Form1->Button4->isVisible());
    Form1->Timer1->stop();

    for (int tick = 1; !isIdle(); ++tick) {
        QVERIFY2(tick <= entries.size() + others.size() + 2, "the run does not end");
        if (tick == beforeTick) {
            // The edit must find the next entry prepared to the end, where taking it wrongly
            // would show in the bytes; its output waits under a temporary name.
            if (lookAhead) {
                QVERIFY(
                    QTest::qWaitFor([&] { return !TemporaryOutputsUnder(root).isEmpty(); }, 30000));
            }
            applyEdit(edit, root, entries.value(tick - 1));
            if (QTest::currentTestFailed()) return;
        }
        QVERIFY(kavenra::testing::RunOneTick());
        pass.afterTicks << finalFiles(root);
        if (!msgBoxTexts(answers).filter(text("Texto_fallo2")).isEmpty()) {
            click(Form1->Button4);
        }
    }

    pass.contents = FolderContents(root);
    pass.messages = msgBoxTexts(answers);
    pass.takenFromAhead = Form1->RunConversionsInUse().TakenFromAhead();
    QCOMPARE(TemporaryOutputsUnder(root), QStringList{});
    QVERIFY(ImageJobsAtWork(100).isEmpty());
}

void TestRunLookAhead::applyEdit(Edit edit, const QString& root, const QString& entry) {
    const QString source = underRoot(root, entry);
    switch (edit) {
        case Edit::None:
            return;
        case Edit::Width:
            Form1->Edit1->setText(QStringLiteral("200"));
            return;
        case Edit::LongestSide:
            click(Form1->CheckBox1);
            QVERIFY(Form1->CheckBox1->isChecked());
            return;
        case Edit::Filter:
            QVERIFY(showOptionsDialog());
            click(Form3->RadioButton1);
            QCOMPARE(Form3->FilterCode(), 1);
            return;
        case Edit::JpegQuality:
            QVERIFY(showOptionsDialog());
            QTest::keyClick(Form3->TrackBar1, Qt::Key_Home);
            QCOMPARE(Form3->JpegCode(), 1);
            return;
        case Edit::DropFromOtherFolder:
            QVERIFY(listFiles({underRoot(root, "other/d.jpg")}));
            QCOMPARE(Form1->Edit3->text(), underRoot(root, "other/RES/"));
            return;
        case Edit::ReplaceSource: {
            const QString replacement = underRoot(root, "replacement.jpg");
            QVERIFY(writePicture(replacement, 101));
            QVERIFY(std::rename(QFile::encodeName(replacement).constData(),
                                QFile::encodeName(source).constData()) == 0);
            return;
        }
        case Edit::RewriteSourceInPlace: {
            const std::string path = QFile::encodeName(source).toStdString();
            const kavenra::FileIdentity before = kavenra::IdentityOf(path);
            const QString other = underRoot(root, "other.bmp");
            QVERIFY(writePicture(other, 102));
            const QByteArray bytes = FileContents(other);
            QVERIFY(QFile::remove(other));
            QCOMPARE(bytes.size(), static_cast<qsizetype>(before.size));
            QVERIFY(bytes != FileContents(source));
            QVERIFY(writeBytes(source, bytes));
            const kavenra::FileIdentity after = kavenra::IdentityOf(path);
            QCOMPARE(after.inode, before.inode);
            QCOMPARE(after.size, before.size);
            // Only the modification time tells; the file was written well before this tick.
            QVERIFY(after.modifiedNs != before.modifiedNs);
            return;
        }
        case Edit::RemoveSource:
            QVERIFY(QFile::remove(source));
            return;
        case Edit::ClearList:
            Form1->ListBox1->clear();
            return;
        case Edit::ClearWithLimpiar:
            QVERIFY(listFiles({underRoot(root, "e.jpg")}));
            QVERIFY(Form1->Button2->isEnabled());
            click(Form1->Button2);
            QCOMPARE(Form1->ListBox1->count(), 0);
            return;
        case Edit::RemoveFirstEntry:
            QVERIFY(listFiles({underRoot(root, "e.jpg")}));
            QVERIFY(Form1->ListBox1->isEnabled());
            Form1->ListBox1->clearSelection();
            Form1->ListBox1->item(0)->setSelected(true);
            Form1->Eliminarimgen1->trigger();
            QCOMPARE(Form1->ListBox1->item(0)->text(), underRoot(root, "b.jpg"));
            return;
    }
}

// ---------------------------------------------------------------------------------------------
// Cancel and closing during a large file

void TestRunLookAhead::abandonedLargeFileLeavesNothing_data() {
    QTest::addColumn<bool>("byClosing");
    QTest::newRow("Cancel") << false;
    QTest::newRow("window closed") << true;
}

// Both files are large: the first converts in hand, the second ahead, when the run is ended. The
// order of events shows the file was abandoned mid-way: the job processes that were at work are
// gone as soon as Cancel or the close returns (a job process that finishes a file stays for the
// next one), and the first file's output is not there, neither then nor once a conversion of the
// same file started afterwards has finished.
void TestRunLookAhead::abandonedLargeFileLeavesNothing() {
    QFETCH(bool, byClosing);
    MainWindowFixture fixture;
    QVERIFY(fixture.isValid());
    const QString first = fixture.imagePath("large1.png");
    const QString second = fixture.imagePath("large2.png");
    QVERIFY(QFile::copy(largePicture_, first));
    QVERIFY(QFile::copy(largePicture_, second));
    QVERIFY(listFiles({first, second}));
    Form1->Edit1->setText(QStringLiteral("2000"));
    Form1->Edit2->setText(QStringLiteral("1500"));
    const QString destination = Form1->Edit3->text();
    QVERIFY(QDir().mkpath(destination));
    const QString existing = destination + "large1.png";
    QVERIFY(writePicture(existing, 5));
    const QByteArray existingBytes = FileContents(existing);
    DesktopOpenerRecorder opener;
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button2);  // use the existing folder

    click(Form1->Button3);
    QVERIFY(Form1->Button4->isVisible());
    QVERIFY(QTest::qWaitFor([] { return Form1->FileInHand(); }, 30000));
    QList<pid_t> atWork;
    QVERIFY(QTest::qWaitFor(
        [&] {
            atWork = ImageJobsAtWork(100);
            return !atWork.isEmpty();
        },
        30000));
    QVERIFY(Form1->FileInHand());
    QCOMPARE(answers.msgBoxes().size(), 1);

    if (byClosing) {
        answers.answerMsgBox(MsgBoxAnswer::Button2);  // stop the run and close
        QTimer safety;
        safety.setSingleShot(true);
        connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        safety.start(60000);
        QTimer::singleShot(0, Form1, [] { Form1->close(); });
        const int status = QCoreApplication::exec();
        // The program would end here. The test goes on, serving events again later, where
        // Timer1 must not start the list anew.
        Form1->Timer1->stop();
        QCOMPARE(status, 0);
        QVERIFY(!Form1->isVisible());
        QCOMPARE(answers.msgBoxes().size(), 2);
        QCOMPARE(answers.msgBoxes()[1].text, text("Texto_cerrar_en_curso"));
    } else {
        bool jobsEndedAtNotice = false;
        QStringList listingAtNotice;
        answers.answerMsgBox([&](TForm6* box) {
            jobsEndedAtNotice = allEnded(atWork);
            listingAtNotice = folderListing(destination);
            ModalAnswerer::Apply(box, MsgBoxAnswer::Button1);
        });
        click(Form1->Button4);
        QCOMPARE(answers.msgBoxes().size(), 2);
        QCOMPARE(answers.msgBoxes()[1].text, text("Texto_redimension4"));
        QVERIFY(jobsEndedAtNotice);
        QCOMPARE(listingAtNotice, QStringList{"large1.png"});
        QVERIFY(isIdle());
    }
    QVERIFY(!Form1->FileInHand());
    QVERIFY(allEnded(atWork));
    QCOMPARE(folderListing(destination), QStringList{"large1.png"});
    QVERIFY(FileContents(existing) == existingBytes);
    QVERIFY(ImageJobsAtWork().isEmpty());

    // The same conversion, from start to end: the abandoned one would have ended by now.
    const QString reference = fixture.imagePath("reference/large1.png");
    QVERIFY(QDir().mkpath(QFileInfo(reference).absolutePath()));
    kavenra::RunControls controls = Form1->ReadRunControls();
    controls.destinationFolder = kavenra::DestinationFolderOf(QFileInfo(reference).absolutePath());
    const std::optional<kavenra::ConversionJob> job =
        kavenra::JobForEntry(QFile::encodeName(first), controls);
    QVERIFY(job);
    QVERIFY(ConvertImage(*job).committed);
    QCOMPARE(folderListing(destination), QStringList{"large1.png"});
    QVERIFY(FileContents(existing) == existingBytes);
}

// ---------------------------------------------------------------------------------------------
// A failed file and the one prepared after it

void TestRunLookAhead::failureDiscardsThePreparedNextFile_data() {
    QTest::addColumn<QString>("failure");  // "removed", "text"
    QTest::addColumn<bool>("largeNext");
    QTest::newRow("source removed, the next file large") << "removed" << true;
    QTest::newRow("source removed, the next file small") << "removed" << false;
    QTest::newRow("text named .jpg, the next file large") << "text" << true;
    QTest::newRow("text named .jpg, the next file small") << "text" << false;
}

// The real timer runs. At the failure message the next entry, prepared ahead since the failed
// file's tick (and maybe done), has left no file and no job at work; nor once the run stopped.
void TestRunLookAhead::failureDiscardsThePreparedNextFile() {
    QFETCH(QString, failure);
    QFETCH(bool, largeNext);
    MainWindowFixture fixture;
    QVERIFY(fixture.isValid());
    const QString first = fixture.writeJpeg("a.jpg", 320, 240, 1);
    const QString broken = fixture.writeJpeg("b.jpg", 320, 240, 2);
    const QString next = fixture.imagePath("c.png");
    if (largeNext) {
        QVERIFY(QFile::copy(largePicture_, next));
    } else {
        QVERIFY(writePicture(next, 3));
    }
    QVERIFY(listFiles({first, broken, next}));
    if (failure == QLatin1String("removed")) {
        QVERIFY(QFile::remove(broken));
    } else {
        QVERIFY(writeBytes(broken, "no picture at all\n"));
    }
    Form1->Edit1->setText(QStringLiteral("160"));
    Form1->Edit2->setText(QStringLiteral("120"));
    const QString destination = Form1->Edit3->text();
    DesktopOpenerRecorder opener;
    ModalAnswerer answers;
    QStringList listingAtMessage;
    QList<pid_t> atWorkAtMessage{-1};
    answers.answerMsgBox([&](TForm6* box) {
        listingAtMessage = folderListing(destination);
        atWorkAtMessage = ImageJobsAtWork();
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button3);
    });
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the summary: the folder stays closed

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(1, 60000));

    const char* reason = failure == QLatin1String("removed") ? "Texto_motivo6" : "Texto_motivo1";
    QCOMPARE(answers.msgBoxes()[0].text,
             MainWindowFixture::FailureQuestion(QStringLiteral("b.jpg"), reason));
    QCOMPARE(listingAtMessage, QStringList{"a.jpg"});
    QCOMPARE(atWorkAtMessage, QList<pid_t>{});

    // "Stop": the run ends there, with its summary.
    QVERIFY(answers.waitForMsgBoxes(2));
    QVERIFY(answers.msgBoxes()[1].text.startsWith(text("Texto_resumen1")));
    QVERIFY(!Form1->FileInHand());
    QVERIFY(isIdle());
    QCOMPARE(folderListing(destination), QStringList{"a.jpg"});
    QVERIFY(ImageJobsAtWork().isEmpty());
}

// A result that arrives while a message box is open (here the warning of a letter typed into a
// dimension field during the file) is taken only once the box has closed: the rest of its tick
// may show a message itself, and there is only the one box.
void TestRunLookAhead::resultWaitsWhileAMessageBoxIsOpen() {
    MainWindowFixture fixture;
    QVERIFY(fixture.isValid());
    const QString source = fixture.imagePath("large.png");
    QVERIFY(QFile::copy(largePicture_, source));
    QVERIFY(listFiles({source}));
    Form1->Edit1->setText(QStringLiteral("800"));
    Form1->Edit2->setText(QStringLiteral("600"));
    const QString output = Form1->Edit3->text() + "large.png";
    ModalAnswerer answers;
    bool finishedWhileOpen = false;
    bool outputWhileOpen = true;
    int positionWhileOpen = -1;
    answers.answerMsgBox([&](TForm6* box) {
        // Events go on in the box's loop: the result arrives and must wait.
        finishedWhileOpen = QTest::qWaitFor(
            [] { return Form1->RunConversionsInUse().FileInHandFinished(); }, 120000);
        // The conversion's thread announces the result just after it is done: once that thread
        // has ended, the announcement is posted, and the events below deliver it to the window.
        const_cast<kavenra::RunConversions&>(Form1->RunConversionsInUse()).WaitForFileInHand();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        outputWhileOpen = QFileInfo::exists(output);
        positionWhileOpen = Form1->RunPosition();
        ModalAnswerer::Apply(box, MsgBoxAnswer::FirstVisibleButton);
    });
    click(Form1->Button3);
    Form1->Timer1->stop();
    Form1->Timer1Timer();
    QVERIFY(Form1->FileInHand());

    Form1->Edit1->setFocus();
    QTest::keyClick(Form1->Edit1, Qt::Key_X);

    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_caracter_no_valido"));
    QVERIFY(finishedWhileOpen);
    QVERIFY(!outputWhileOpen);
    QCOMPARE(positionWhileOpen, 0);
    QVERIFY(kavenra::testing::WaitForFileResult());
    QCOMPARE(Form1->RunPosition(), 1);
    QVERIFY(QFileInfo::exists(output));
    click(Form1->Button4);
}

KAVENRA_WINDOW_TEST_MAIN(TestRunLookAhead)
#include "test_run_lookahead.moc"
