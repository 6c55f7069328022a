// Two entries of one run whose outputs have the same name (photos of two cameras, a RAW file and
// a JPEG written as JPEG) must both be kept: the later output gets the first free numbered name
// and the status bar says so. Files that were there before the run, earlier runs' outputs among
// them, are replaced as before. Driven through the main window with real files.

#include "engine/run/RunConversions.h"
#include "support/DropFiles.h"
#include "support/FileContents.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/RunTicks.h"
#include "ui/Unit1.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
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

// The status text a tick leaves: "=entry" for the entry's name shown while it converts, which
// stays when the output takes its own name; "+output" for the numbered name it was written
// under because a file of this run held its own.
QString statusFor(const QString& coded) {
    const QString name = coded.mid(1);
    return text(coded.startsWith('+') ? "Texto_redimension6" : "Texto_redimension5") + ' ' + name;
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
    void aNewRunForgetsWhatTheLastOneWrote();

  private:
    // An image of the given size; ".nef" and ".dng" names get a camera RAW file whose preview,
    // the picture converted, is 160 x 120.
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
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("numbered");
    QTest::newRow("before the extension") << "RES/a.jpg" << 2 << "RES/a (2).jpg";
    QTest::newRow("before the last of two") << "RES/a.tar.gz" << 3 << "RES/a.tar (3).gz";
    QTest::newRow("no extension, a dot in the folder") << "my.photos/a" << 2 << "my.photos/a (2)";
    QTest::newRow("hidden name without extension") << "RES/.a" << 2 << "RES/.a (2)";
    QTest::newRow("hidden name with extension") << "RES/.a.png" << 2 << "RES/.a (2).png";
    QTest::newRow("a numbered name numbered again") << "a (2).jpg" << 12 << "a (2) (12).jpg";
}

void TestRunSameName::numberedName() {
    QFETCH(QString, path);
    QFETCH(int, number);
    QFETCH(QString, numbered);
    QCOMPARE(QString::fromStdString(kavenra::NumberedOutputPath(path.toStdString(), number)),
             numbered);
}

void TestRunSameName::laterOutputsOfOneNameAreNumbered_data() {
    // `entries` (path relative to the image folder, and the size of the picture) are listed in
    // order and converted to a longest side of 100 into RES/, which holds `before` (10 x 10
    // pictures) when the run starts. `respelled` is the same folder spelled otherwise, set as
    // the destination from the second tick on. `statuses`: the status bar after each tick (see
    // statusFor); `outputs`: the size of every file in RES/ at the end.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("respelled");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<SizesByName>("outputs");

    // Converted to the longest side of 100, the other side being floor(100 * shorter / longer)
    // + 1: three pictures told apart by their output's size.
    const QSize wide(400, 300);      // 100 x 75
    const QSize tall(200, 400);      // 50 x 100
    const QSize panorama(400, 200);  // 100 x 50
    const QSize raw(160, 120);       // its preview: 100 x 76
    const QSize untouched(10, 10);

    QTest::newRow("one photo name from two cameras' folders")
        << QStringList{"cam1/DSC_0001.jpg", "cam2/DSC_0001.jpg"} << QList<QSize>{wide, tall}
        << QStringList{} << QString() << QStringList{"=DSC_0001.jpg", "+DSC_0001 (2).jpg"}
        << SizesByName{{"DSC_0001.jpg", {100, 75}}, {"DSC_0001 (2).jpg", {50, 100}}};
    QTest::newRow("a RAW file, then a JPEG of its name")
        << QStringList{"a.nef", "a.jpg"} << QList<QSize>{raw, panorama} << QStringList{}
        << QString() << QStringList{"=a.nef", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {100, 50}}};
    QTest::newRow("a JPEG, then a RAW file of its name")
        << QStringList{"a.jpg", "a.dng"} << QList<QSize>{panorama, raw} << QStringList{}
        << QString() << QStringList{"=a.jpg", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 50}}, {"a (2).jpg", {100, 75}}};
    QTest::newRow("a third of one name")
        << QStringList{"x/a.jpg", "y/a.jpg", "z/a.jpg"} << QList<QSize>{wide, tall, panorama}
        << QStringList{} << QString() << QStringList{"=a.jpg", "+a (2).jpg", "+a (3).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}, {"a (3).jpg", {100, 50}}};
    QTest::newRow("a file from before the run is replaced")
        << QStringList{"x/a.jpg", "y/b.jpg"} << QList<QSize>{wide, tall}
        << QStringList{"a.jpg", "b.jpg"} << QString() << QStringList{"=a.jpg", "=b.jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"b.jpg", {50, 100}}};
    QTest::newRow("a numbered name from before the run is skipped, not replaced")
        << QStringList{"x/a.jpg", "y/a.jpg"} << QList<QSize>{wide, tall}
        << QStringList{"a.jpg", "a (2).jpg"} << QString() << QStringList{"=a.jpg", "+a (3).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", untouched}, {"a (3).jpg", {50, 100}}};
    QTest::newRow("an entry of a numbered name after its numbered output")
        << QStringList{"x/a.jpg", "y/a.jpg", "w/a (2).jpg"} << QList<QSize>{wide, tall, panorama}
        << QStringList{} << QString() << QStringList{"=a.jpg", "+a (2).jpg", "+a (2) (2).jpg"}
        << SizesByName{
               {"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}, {"a (2) (2).jpg", {100, 50}}};
    QTest::newRow("the destination spelled otherwise from the second file")
        << QStringList{"x/a.jpg", "y/a.jpg"} << QList<QSize>{wide, tall} << QStringList{}
        << QStringLiteral("x/../RES/") << QStringList{"=a.jpg", "+a (2).jpg"}
        << SizesByName{{"a.jpg", {100, 75}}, {"a (2).jpg", {50, 100}}};
}

void TestRunSameName::laterOutputsOfOneNameAreNumbered() {
    QFETCH(QStringList, entries);
    QFETCH(QList<QSize>, sizes);
    QFETCH(QStringList, before);
    QFETCH(QString, respelled);
    QFETCH(QStringList, statuses);
    QFETCH(SizesByName, outputs);

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
        QCOMPARE(Form1->StatusBar->currentMessage(), statusFor(statuses[tick - 1]));
    }
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes().last().text, text("Texto_redimension2"));

    QCOMPARE(namesIn(destination), outputs.keys());
    for (auto output = outputs.cbegin(); output != outputs.cend(); ++output)
        QCOMPARE(ImageFileSize(destination + output.key()), output.value());
    // A numbered name that was taken before the run keeps its file byte for byte.
    for (auto file = kept.cbegin(); file != kept.cend(); ++file) {
        if (outputs.value(file.key()) == QSize(10, 10))
            QCOMPARE(FileContents(destination + file.key()), file.value());
    }
}

// For the next run, what a run wrote is a file from before: the name an entry asks for is
// replaced, and a numbered name from the last run is taken like any other existing file, so the
// next free number follows it.
void TestRunSameName::aNewRunForgetsWhatTheLastOneWrote() {
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
    QCOMPARE(namesIn(destination), (QStringList{"a (2).jpg", "a (3).jpg", "a.jpg"}));
    QCOMPARE(ImageFileSize(destination + "a.jpg"), QSize(50, 100));
    QCOMPARE(ImageFileSize(destination + "a (2).jpg"), QSize(100, 75));
    QCOMPARE(ImageFileSize(destination + "a (3).jpg"), QSize(100, 50));
}

KAVENRA_WINDOW_TEST_MAIN(TestRunSameName)
#include "test_run_samename.moc"
