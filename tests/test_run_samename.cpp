// Two entries of one run whose outputs have the same name (photos of two cameras, a RAW file and
// a JPEG written as JPEG, a PNG and a TIFF of one name saved as JPEG) must both be kept: the later
// output gets the first free numbered name and the status bar says so. Files that were there before
// the run, earlier runs' outputs among them, numbered ones too, are replaced. Driven through the
// main window with real files.

#include "engine/run/RunConversions.h"
#include "support/DropFiles.h"
#include "support/FileContents.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/RunTicks.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Unit1.h"

#include <FreeImage.h>

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QSize>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <memory>

using kavenra::testing::DesktopOpenerRecorder;
using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;

using kavenra::test::ImageFileSize;

using kavenra::testing::FileContents;

namespace {

QString text(const char* key) {
    return MainWindowFixture::Text(1, key);
}

// What a file's outcome says, coded: "=output" for a file written under its own name; "+output"
// for the numbered name it was written under because a file of this run held its own, which the
// completion message lists after the entry's name.
QString renamingLine(const QString& entry, const QString& coded) {
    return QFileInfo(entry).fileName() + QStringLiteral(" \u2192 ") + coded.mid(1);
}

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

bool isIdle() {
    return !Form1->Timer1->isActive() && Form1->Button3->isVisible() && Form1->RunPosition() == 0;
}

using SizesByName = QMap<QString, QSize>;

}  // namespace

class TestRunSameName : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
        opener_ = std::make_unique<DesktopOpenerRecorder>();
    }
    void cleanup() {
        fixture_.reset();
        opener_.reset();
    }

    void numberedName_data();
    void numberedName();
    void laterOutputsOfOneNameAreNumbered_data();
    void laterOutputsOfOneNameAreNumbered();
    void aSecondRunReplacesTheFirstOnesFiles();
    void aDroppedTreeIsMirrored_data();
    void aDroppedTreeIsMirrored();

  private:
    // An image of the given size, a JPEG file unless its name ends in ".png" or ".tif"; ".nef"
    // and ".dng" names get a camera RAW file whose preview, the picture converted, is 160 x 120.
    QString writeSource(const QString& name, QSize size);
    // Lists `entries`, chooses the longest side of 100 and presses Start with Timer1 held;
    // `answers` confirm an existing folder and decline opening it at the end.
    void startRun(const QStringList& entries, const QString& destination, ModalAnswerer& answers);

    std::unique_ptr<MainWindowFixture> fixture_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
};

QString TestRunSameName::writeSource(const QString& name, QSize size) {
    if (name.endsWith(QLatin1String(".nef")) || name.endsWith(QLatin1String(".dng")))
        return fixture_->writeCameraRaw(name);
    if (name.endsWith(QLatin1String(".png")))
        return fixture_->writePng(name, size.width(), size.height(), size.width() + size.height());
    if (name.endsWith(QLatin1String(".tif"))) {
        const QString path = fixture_->imagePath(name);
        const bool written = kavenra::test::WriteImageFile(kavenra::test::NativePath(path),
                                                           FIF_TIFF, size.width(), size.height());
        return written ? path : QString();
    }
    return fixture_->writeJpeg(name, size.width(), size.height(), size.width() + size.height());
}

void TestRunSameName::startRun(const QStringList& entries, const QString& destination,
                               ModalAnswerer& answers) {
    QVERIFY(DropFiles(Form1->ListBox1, entries).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(Form1->ListBox1->count(), entries.size());
    if (!Form1->CheckBox1->isChecked()) click(Form1->CheckBox1);
    Form1->Edit4->setText(QStringLiteral("100"));
    Form1->Edit3->setText(destination);
    if (QFileInfo(destination).isDir()) answers.answerMsgBox(MsgBoxAnswer::Button2);
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion's question
    click(Form1->Button3);
    QVERIFY(Form1->Button4->isVisible());
    Form1->Timer1->stop();
}

void TestRunSameName::numberedName_data() {
    // Paths as bytes: names need not be UTF-8.
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("numbered");
    const auto row = [](const char* name, const QByteArray& path, int number,
                        const QByteArray& numbered) {
        QTest::newRow(name) << path << number << numbered;
    };
    row("before the extension", "RES/a.jpg", 2, "RES/a (2).jpg");
    row("before the last of two", "RES/a.tar.gz", 3, "RES/a.tar (3).gz");
    row("no extension, a dot in the folder", "my.photos/a", 2, "my.photos/a (2)");
    row("hidden name without extension", "RES/.a", 2, "RES/.a (2)");
    row("hidden name with extension", "RES/.a.png", 2, "RES/.a (2).png");
    row("a numbered name numbered again", "a (2).jpg", 12, "a (2) (12).jpg");

    // A file name holds at most 255 bytes; the folder's path does not count.
    const QByteArray a(1, 'a');
    const QByteArray e = "\xC3\xA9";             // é, 2 bytes
    const QByteArray sun = "\xE6\x97\xA5";       // 日, 3 bytes
    const QByteArray face = "\xF0\x9F\x98\x80";  // 😀, 4 bytes
    const QByteArray latin1 = "\xE9";            // é in Latin-1: no UTF-8
    row("250 bytes, room for the number", "RES/" + a.repeated(246) + ".jpg", 2,
        "RES/" + a.repeated(246) + " (2).jpg");
    row("252 bytes", "RES/" + a.repeated(248) + ".jpg", 2, "RES/" + a.repeated(247) + " (2).jpg");
    row("255 bytes", a.repeated(251) + ".jpg", 2, a.repeated(247) + " (2).jpg");
    row("255 bytes, a number of two digits", a.repeated(251) + ".jpg", 12,
        a.repeated(246) + " (12).jpg");
    row("250 bytes of 2-byte characters", "RES/" + e.repeated(123) + ".jpg", 2,
        "RES/" + e.repeated(123) + " (2).jpg");
    row("252 bytes of 2-byte characters, cut before a whole one", e.repeated(124) + ".jpg", 2,
        e.repeated(123) + " (2).jpg");
    row("255 bytes of 3-byte characters, cut before a whole one", sun.repeated(83) + "xy.jpg", 2,
        sun.repeated(82) + " (2).jpg");
    row("252 bytes of 4-byte characters, cut before a whole one", face.repeated(62) + ".jpg", 2,
        face.repeated(61) + " (2).jpg");
    row("252 bytes that are no UTF-8, cut at the byte", latin1.repeated(248) + ".jpg", 2,
        latin1.repeated(247) + " (2).jpg");
    row("an extension that leaves no room", "RES/a." + QByteArray(253, 'x'), 2,
        "RES/a." + QByteArray(249, 'x') + " (2)");
}

void TestRunSameName::numberedName() {
    QFETCH(QByteArray, path);
    QFETCH(int, number);
    QFETCH(QByteArray, numbered);
    const QByteArray made =
        QByteArray::fromStdString(kavenra::NumberedOutputPath(path.toStdString(), number));
    QCOMPARE(made, numbered);
    QVERIFY(made.mid(made.lastIndexOf('/') + 1).size() <= 255);
}

void TestRunSameName::laterOutputsOfOneNameAreNumbered_data() {
    // `entries` (path relative to the image folder, and the size of the picture) are listed in
    // order and converted to a longest side of 100 into RES/, which holds `before` (10 x 10
    // pictures) when the run starts. `respelled` is the same folder spelled otherwise, set as
    // the destination from the second tick on. `statuses`: the status bar after each tick (see
    // renamingLine); `outputs`: the size of every file in RES/ at the end.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("respelled");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<SizesByName>("outputs");
    // The options dialog's "Save as" code (0: the original's format).
    QTest::addColumn<int>("saveAs");

    // Converted to the longest side of 100, the other side being 100 * shorter / longer to the
    // nearest pixel: three pictures told apart by their output's size.
    const QSize wide(400, 300);      // 100 x 75
    const QSize tall(200, 400);      // 50 x 100
    const QSize panorama(400, 200);  // 100 x 50
    const QSize raw(160, 120);       // its preview: 100 x 75
    const QSize untouched(10, 10);

    QTest::newRow("one photo name from two cameras' folders")
        << QStringList{"cam1/DSC_0001.jpg", "cam2/DSC_0001.jpg"} << QList<QSize>{wide, tall}
        << QStringList{} << QString() << QStringList{"=DSC_0001.jpg", "+DSC_0001 (2).jpg"}
        << SizesByName{{"DSC_0001.jpg", {100, 75}}, {"DSC_0001 (2).jpg", {50, 100}}} << 0;
    QTest::newRow("a RAW file, then a JPEG of its name")
        << QStringList{"a.nef", "a.jpg"} << QList<QSize>{raw, panorama} << QStringList{}
        << QString() << QStringList{"=a.nef", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {100, 50}}} << 0;
    QTest::newRow("a JPEG, then a RAW file of its name")
        << QStringList{"a.jpg", "a.dng"} << QList<QSize>{panorama, raw} << QStringList{}
        << QString() << QStringList{"=a.jpg", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 50}}, {"a (2).jpg", {100, 75}}} << 0;
    QTest::newRow("a third of one name")
        << QStringList{"x/a.jpg", "y/a.jpg", "z/a.jpg"} << QList<QSize>{wide, tall, panorama}
        << QStringList{} << QString() << QStringList{"=a.jpg", "+a (2).jpg", "+a (3).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}, {"a (3).jpg", {100, 50}}}
        << 0;
    QTest::newRow("a file from before the run is replaced")
        << QStringList{"x/a.jpg", "y/b.jpg"} << QList<QSize>{wide, tall}
        << QStringList{"a.jpg", "b.jpg"} << QString() << QStringList{"=a.jpg", "=b.jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"b.jpg", {50, 100}}} << 0;
    QTest::newRow("a numbered name from before the run is replaced")
        << QStringList{"x/a.jpg", "y/a.jpg"} << QList<QSize>{wide, tall}
        << QStringList{"a.jpg", "a (2).jpg"} << QString() << QStringList{"=a.jpg", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}} << 0;
    QTest::newRow("a numbered name from before the run, beside a name of its own")
        << QStringList{"x/a.jpg", "y/b.jpg"} << QList<QSize>{wide, tall} << QStringList{"a (2).jpg"}
        << QString() << QStringList{"=a.jpg", "=b.jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", untouched}, {"b.jpg", {50, 100}}} << 0;
    QTest::newRow("an entry of a numbered name before the second of its name")
        << QStringList{"w/a (2).jpg", "x/a.jpg", "y/a.jpg"} << QList<QSize>{panorama, wide, tall}
        << QStringList{} << QString() << QStringList{"=a (2).jpg", "=a.jpg", "+a (3).jpg"}
        << SizesByName{{"a (2).jpg", {100, 50}}, {"a.jpg", {100, 75}}, {"a (3).jpg", {50, 100}}}
        << 0;
    QTest::newRow("an entry of a numbered name after its numbered output")
        << QStringList{"x/a.jpg", "y/a.jpg", "w/a (2).jpg"} << QList<QSize>{wide, tall, panorama}
        << QStringList{} << QString() << QStringList{"=a.jpg", "+a (2).jpg", "+a (2) (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}, {"a (2) (2).jpg", {100, 50}}}
        << 0;
    // Outputs in another format than their inputs' take that format's name: inputs of different
    // names may then share one.
    QTest::newRow("a PNG and a TIFF of one name, saved as JPEG")
        << QStringList{"a.png", "a.tif"} << QList<QSize>{wide, tall} << QStringList{} << QString()
        << QStringList{"=a.jpg", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}} << 1;
    QTest::newRow("JPEG files saved as PNG")
        << QStringList{"x/a.jpg", "y/b.jpg", "z/a.jpg"} << QList<QSize>{wide, tall, panorama}
        << QStringList{"a.jpg"} << QString() << QStringList{"=a.png", "=b.png", "+a (2).png"}
        << SizesByName{{"a.jpg", {10, 10}},
                       {"a.png", {100, 75}},
                       {"b.png", {50, 100}},
                       {"a (2).png", {100, 50}}}
        << 2;
    // 248 bytes of two-byte characters and ".jpg": " (2)" fits only with the last character cut.
    const QString longStem = QString(124, QChar(0xE9));
    const QString longName = longStem + ".jpg";
    const QString longNumbered = longStem.chopped(1) + " (2).jpg";
    QTest::newRow("a long name cut to make room for its number")
        << QStringList{"x/" + longName, "y/" + longName} << QList<QSize>{wide, tall}
        << QStringList{} << QString() << QStringList{"=" + longName, "+" + longNumbered}
        << SizesByName{{longName, {100, 75}}, {longNumbered, {50, 100}}} << 0;
    QTest::newRow("the destination spelled otherwise from the second file")
        << QStringList{"x/a.jpg", "y/a.jpg"} << QList<QSize>{wide, tall} << QStringList{}
        << QStringLiteral("x/../RES/") << QStringList{"=a.jpg", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}} << 0;
}

void TestRunSameName::laterOutputsOfOneNameAreNumbered() {
    QFETCH(QStringList, entries);
    QFETCH(QList<QSize>, sizes);
    QFETCH(QStringList, before);
    QFETCH(QString, respelled);
    QFETCH(QStringList, statuses);
    QFETCH(SizesByName, outputs);
    QFETCH(int, saveAs);

    const QList<QRadioButton*> saveAsButtons{Form3->saveAsOriginalButton, Form3->saveAsJpegButton,
                                             Form3->saveAsPngButton, Form3->saveAsWebpButton,
                                             Form3->saveAsTiffButton};
    saveAsButtons[saveAs]->setChecked(true);
    QStringList listed;
    for (int i = 0; i < entries.size(); ++i) {
        listed << writeSource(entries[i], sizes[i]);
        QVERIFY2(!listed.last().isEmpty(), qPrintable(entries[i]));
    }
    const QString destination = fixture_->imagePath(QStringLiteral("RES/"));
    QMap<QString, QByteArray> kept;
    for (const QString& name : before) {
        QVERIFY(!fixture_->writeJpeg("RES/" + name, 10, 10).isEmpty());
        kept.insert(name, FileContents(destination + name));
    }
    ModalAnswerer answers;
    startRun(listed, destination, answers);
    if (QTest::currentTestFailed()) return;

    for (int tick = 1; tick <= entries.size(); ++tick) {
        if (tick == 2 && !respelled.isEmpty())
            Form1->Edit3->setText(fixture_->imagePath(respelled));
        QVERIFY(kavenra::testing::RunOneTick());
        // The file's name, then how far the run is.
        const QString status = Form1->StatusBar->currentMessage();
        QVERIFY2(
            status.startsWith(text("Texto_redimension5") + ' ' +
                              QFileInfo(entries[tick - 1]).fileName() + QStringLiteral(" \u2014 ")),
            qPrintable(status));
    }
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());
    QStringList renamed;
    for (int i = 0; i < entries.size(); ++i) {
        if (statuses[i].startsWith('+')) renamed << renamingLine(entries[i], statuses[i]);
    }
    const QString completion = answers.msgBoxes().last().text;
    if (renamed.isEmpty()) {
        QCOMPARE(completion, text("Texto_redimension2"));
    } else {
        // The fixture's texts hold their places after the key.
        QVERIFY2(
            completion.contains(text("Texto_resumen3") +
                                QStringLiteral(" %1\n").arg(renamed.size()) + renamed.join('\n')),
            qPrintable(completion));
    }

    QCOMPARE(namesIn(destination), outputs.keys());
    for (auto output = outputs.cbegin(); output != outputs.cend(); ++output) {
        QCOMPARE(ImageFileSize(destination + output.key()), output.value());
        // The content is what the name says.
        const QString extension = QFileInfo(output.key()).suffix();
        const FREE_IMAGE_FORMAT format =
            FreeImage_GetFileType(kavenra::test::NativePath(destination + output.key()).c_str(), 0);
        QCOMPARE(format, extension == "png" ? FIF_PNG : FIF_JPEG);
    }
    // A numbered name that was taken before the run keeps its file byte for byte.
    for (auto file = kept.cbegin(); file != kept.cend(); ++file) {
        if (outputs.value(file.key()) == QSize(10, 10))
            QCOMPARE(FileContents(destination + file.key()), file.value());
    }
}

// For the next run, what a run wrote is a file from before: the same list run again into the
// same folder replaces the same files, numbered ones included, rather than adding copies.
void TestRunSameName::aSecondRunReplacesTheFirstOnesFiles() {
    const QStringList listed{writeSource("x/a.jpg", {400, 300}),
                             writeSource("y/a.jpg", {400, 300})};
    const QString destination = fixture_->imagePath(QStringLiteral("RES/"));
    ModalAnswerer answers;
    for (int run = 1; run <= 2; ++run) {
        if (run == 2) {
            click(Form1->Button2);  // Limpiar, so the same entries can be listed again
            // Other pictures for the second run, to tell which run wrote each file.
            QVERIFY(!writeSource("x/a.jpg", {200, 400}).isEmpty());
            QVERIFY(!writeSource("y/a.jpg", {400, 200}).isEmpty());
        }
        startRun(listed, destination, answers);
        if (QTest::currentTestFailed()) return;
        for (int tick = 1; tick <= listed.size() + 1; ++tick)
            QVERIFY(kavenra::testing::RunOneTick());
        QVERIFY(isIdle());
    }
    QCOMPARE(Form1->StatusBar->currentMessage(), text("Texto_redimension"));
    QCOMPARE(namesIn(destination), (QStringList{"a (2).jpg", "a.jpg"}));
    QCOMPARE(ImageFileSize(destination + "a.jpg"), QSize(50, 100));
    QCOMPARE(ImageFileSize(destination + "a (2).jpg"), QSize(100, 50));
}

void TestRunSameName::aDroppedTreeIsMirrored_data() {
    QTest::addColumn<bool>("subfolders");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QStringList>("outputs");
    QTest::newRow("with its subfolders")
        << true << 3 << QStringList{"2024/a.jpg", "2024/june/b.jpg", "a.jpg"};
    QTest::newRow("its own images alone") << false << 1 << QStringList{"a.jpg"};
}

// The options dialog's "include subfolders" brings a dropped folder's whole tree; one name in two
// of its folders is two outputs in two mirrored folders, neither numbered.
void TestRunSameName::aDroppedTreeIsMirrored() {
    QFETCH(bool, subfolders);
    QFETCH(int, listed);
    QFETCH(QStringList, outputs);
    Form3->subfoldersBox->setChecked(subfolders);
    for (const char* name :
         {"DCIM/a.jpg", "DCIM/2024/a.jpg", "DCIM/2024/june/b.jpg", "DCIM/.thumbnails/c.jpg"}) {
        QVERIFY(!fixture_->writeJpeg(QLatin1String(name), 200, 150).isEmpty());
    }
    QVERIFY(DropFiles(Form1->ListBox1, {fixture_->imagePath(QStringLiteral("DCIM"))}).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(Form1->ListBox1->count(), listed);
    const QString destination = fixture_->imagePath(QStringLiteral("DCIM/RES/"));
    QCOMPARE(Form1->Edit3->text(), destination);
    if (!Form1->CheckBox1->isChecked()) click(Form1->CheckBox1);
    Form1->Edit4->setText(QStringLiteral("100"));
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion's question
    click(Form1->Button3);
    Form1->Timer1->stop();
    for (int tick = 0; tick <= listed; ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes().last().text, text("Texto_redimension2"));
    QStringList written;
    QDirIterator files(destination, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) written << QDir(destination).relativeFilePath(files.next());
    written.sort();
    QCOMPARE(written, outputs);
    for (const QString& output : outputs) {
        QCOMPARE(ImageFileSize(destination + output), QSize(100, 75));
    }
}

KAVENRA_WINDOW_TEST_MAIN(TestRunSameName)
#include "test_run_samename.moc"
