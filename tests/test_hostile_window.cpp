// The regression set of corrupt and hostile files against the real main window: dropped on it,
// and converted through a list file given at start-up and through runs started with
// "Comenzar". The window survives every file; each bad file is refused at the drop or fails its
// run with the designed message; good files convert in the runs that follow a bad one.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "engine/isolation/WorkerLanes.h"
#include "engine/run/ImageFileOperations.h"
#include "support/DropFiles.h"
#include "support/HostileFiles.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "ui/Form6_msgbox.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

using kavenra::testing::DesktopOpenerRecorder;
using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;

using kavenra::test::NativePath;

namespace {

QString text(const char* key) {
    return MainWindowFixture::Text(1, key);
}

QSize HeaderSize(const QString& path) {
    const kavenra::BitmapHandle header =
        kavenra::test::LoadImageFile(NativePath(path), FIF_LOAD_NOPIXELS);
    if (!header) return {};
    return QSize(int(FreeImage_GetWidth(header.get())), int(FreeImage_GetHeight(header.get())));
}

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QStringList ListEntries() {
    QStringList entries;
    for (int row = 0; row < Form1->ListBox1->count(); ++row) {
        entries << Form1->ListBox1->item(row)->text();
    }
    return entries;
}

bool WriteListFile(const QString& path, const QStringList& lines) {
    QFile file(path);
    const QByteArray content = lines.join('\n').toUtf8() + '\n';
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

enum class RunEnd { Completed, Failed, Nothing };

}  // namespace

class HostileWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainWindowFixture> fixture_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
    QTemporaryDir craftedFolder_;  // the crafted files of the one-run-a-file rows

    // The regression set, copied into the fixture's image folder so that the destination the
    // window proposes beside the files is writable.
    QStringList copyHostileFiles() {
        QStringList sources = kavenra::testing::GdkPixbufHostileFiles();
        sources << kavenra::testing::CommittedHostileFiles();
        QStringList copies;
        for (const QString& source : sources) {
            // One folder per source folder: names repeat across them.
            const QString folder =
                fixture_->imagePath("hostile/" + QFileInfo(QFileInfo(source).path()).fileName());
            QDir().mkpath(folder);
            const QString copy = folder + "/" + QFileInfo(source).fileName();
            if (QFile::copy(source, copy)) copies << copy;
        }
        const QString crafted = fixture_->imagePath("hostile/crafted");
        QDir().mkpath(crafted);
        return copies + kavenra::testing::WriteCraftedHostileFiles(crafted);
    }

    // Presses "Comenzar" in the explicit-size mode and lets the run go until its first message:
    // the failure of a file, or the completion question (answered "No"). At a failure the user
    // stops the run, and its summary follows (answered "No" too).
    RunEnd runToTheEnd(ModalAnswerer& answers) {
        Form1->Edit1->setText("64");
        Form1->Edit2->setText("48");
        const int before = answers.msgBoxes().size();
        // "No" to the completion question, "Stop" to a failure's question whether to go on. An
        // answer a completed run leaves unused is the same one the next run's boxes take.
        for (int box = 0; box < 2; ++box) {
            answers.answerMsgBox([](TForm6* shown) {
                ModalAnswerer::Apply(shown, shown->Button3->isVisible()
                                                ? MsgBoxAnswer::Button3
                                                : MsgBoxAnswer::FirstVisibleButton);
            });
        }
        click(Form1->Button3);
        // Every conversion ends within the worker's time limit, however busy the machine: the
        // wait is for that event, bounded only so that a run that never ends fails the test.
        if (!answers.waitForMsgBoxes(before + 1, kavenra::isolation::kConversionLimitMs + 60000)) {
            return RunEnd::Nothing;
        }
        // The summary follows the failure's question at once: each is looked at in its place.
        const auto box = answers.msgBoxes().at(before);
        if (box.text == text("Texto_redimension2")) return RunEnd::Completed;
        if (!box.text.startsWith(text("Texto_fallo1")) || box.shownKind != 1) {
            return RunEnd::Nothing;
        }
        if (!answers.waitForMsgBoxes(before + 2)) return RunEnd::Nothing;
        return answers.msgBoxes().at(before + 1).text.startsWith(text("Texto_resumen1")) &&
                       Form1->Button3->isVisible()
                   ? RunEnd::Failed
                   : RunEnd::Nothing;
    }

    void loadList(const QString& listFile, const QStringList& entries) {
        QVERIFY(WriteListFile(listFile, entries));
        kavenra::startup::LoadListFiles(*Form1, {QFile::encodeName(listFile)});
        QCOMPARE(ListEntries(), entries);
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
        opener_ = std::make_unique<DesktopOpenerRecorder>();
    }
    void cleanup() {
        fixture_.reset();
        opener_.reset();
        kavenra::startup::SetListFileArguments({});
    }

    // Each file dropped on its own: refused with "ImagenMsg3" or listed with "ImagenMsg2", as
    // the type test answers; a good photo dropped last is listed as any other.
    void droppedOneByOne() {
        const QStringList files = copyHostileFiles();
        QStringList expected;
        int refused = 0;
        for (const QString& file : files) {
            QVERIFY(DropFiles(Form1->ListBox1, {file}).dropped);
            const bool supported = IsSupportedImage(NativePath(file));
            QCOMPARE(Form1->StatusBar->currentMessage(),
                     text(supported ? "ImagenMsg2" : "ImagenMsg3"));
            if (supported) expected << file;
            refused += supported ? 0 : 1;
            QVERIFY(MainWindowFixture::WaitForCountingPass());
        }
        const QString good = fixture_->writeJpeg("good.jpg", 120, 90);
        QVERIFY(DropFiles(Form1->ListBox1, {good}).dropped);
        QVERIFY(MainWindowFixture::WaitForCountingPass());
        expected << good;

        QCOMPARE(ListEntries(), expected);
        QCOMPARE(Form1->Label10->text(), QString::number(expected.size()));
        QVERIFY(Form1->isVisible());
        qInfo("%lld files dropped, %d refused, %lld listed", qlonglong(files.size()), refused,
              qlonglong(expected.size() - 1));
    }

    // All of them in one drop, the good photo in the middle.
    void droppedAtOnce() {
        QStringList files = copyHostileFiles();
        const QString good = fixture_->writeJpeg("good.jpg", 120, 90);
        files.insert(files.size() / 2, good);
        QVERIFY(DropFiles(Form1->ListBox1, files).dropped);
        QVERIFY(MainWindowFixture::WaitForCountingPass());
        QStringList expected;
        for (const QString& file : files) {
            if (IsSupportedImage(NativePath(file))) expected << file;
        }
        QCOMPARE(ListEntries(), expected);
        QVERIFY(expected.contains(good));
        QVERIFY(!Form1->CheckBox2->isEnabled());
    }

    // A list file given at start-up, its type test bypassed: the good photo before the bad file
    // is converted, the bad one fails the run with its message and the one after it waits, as
    // designed. Once the bad entry is removed, the next run converts both good photos.
    void listFileAtStartUp() {
        // Outside the fixture's folder, which goes with the windows made before the list was.
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString first = folder.filePath("first.jpg");
        const QString bad = folder.filePath("bad.jpg");
        const QString last = folder.filePath("last.jpg");
        QVERIFY(kavenra::test::WriteImageFile(NativePath(first), FIF_JPEG, 160, 120, 1));
        QVERIFY(kavenra::test::WriteImageFile(NativePath(last), FIF_JPEG, 160, 120, 2));
        QFile badFile(bad);
        QVERIFY(badFile.open(QIODevice::WriteOnly));
        badFile.write(kavenra::testing::ManyComponentJpeg());
        badFile.close();
        const QString listFile = folder.filePath("list.txt");
        QVERIFY(WriteListFile(listFile, {first, bad, last}));
        ModalAnswerer answers;
        fixture_.reset();
        kavenra::startup::SetListFileArguments({QFile::encodeName(listFile)});
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
        QCOMPARE(answers.msgBoxes().size() + answers.messageBoxes().size(), 0);
        QCOMPARE(ListEntries(), (QStringList{first, bad, last}));
        const QString destination = Form1->Edit3->text();
        QCOMPARE(destination, folder.filePath("RES/"));

        QCOMPARE(runToTheEnd(answers), RunEnd::Failed);
        QCOMPARE(answers.msgBoxes().at(0).text,
                 MainWindowFixture::FailureQuestion(QFileInfo(bad).fileName(), "Texto_motivo1"));
        QCOMPARE(Listing(destination), QStringList{"first.jpg"});
        QCOMPARE(HeaderSize(destination + "first.jpg"), QSize(64, 48));

        QVERIFY(QDir(destination).removeRecursively());  // no question about an existing folder
        Form1->ListBox1->item(1)->setSelected(true);
        Form1->Eliminarimgen1Click();
        QCOMPARE(ListEntries(), (QStringList{first, last}));
        QCOMPARE(runToTheEnd(answers), RunEnd::Completed);
        QCOMPARE(Listing(destination), (QStringList{"first.jpg", "last.jpg"}));
        QCOMPARE(HeaderSize(destination + "last.jpg"), QSize(64, 48));
        QVERIFY(Form1->isVisible());
    }

    // Every file of the set in a run of its own behind a good photo: the good one is converted
    // in each run, the bad file fails with the designed message or converts into a complete
    // file, and the destination never keeps a partial one; the last run, of a good photo alone,
    // still converts.
    // One row a file, so that each row's time is bounded by the worker's own limit on its
    // conversion, however many files the regression set holds and however busy the machine.
    void everyFileInARunOfItsOwn_data() {
        QTest::addColumn<QString>("source");
        QVERIFY(craftedFolder_.isValid());
        QStringList sources = kavenra::testing::GdkPixbufHostileFiles();
        sources << kavenra::testing::CommittedHostileFiles();
        sources << kavenra::testing::WriteCraftedHostileFiles(craftedFolder_.path());
        for (const QString& source : sources) {
            const QFileInfo info(source);
            QTest::newRow(qPrintable(QFileInfo(info.path()).fileName() + '/' + info.fileName()))
                << source;
        }
    }
    void everyFileInARunOfItsOwn() {
        QFETCH(QString, source);
        // Copied into the fixture's image folder, so that the destination the window proposes
        // beside the file is writable.
        const QString file = fixture_->imagePath("hostile/" + QFileInfo(source).fileName());
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(QFile::copy(source, file));
        const QString name = QFileInfo(file).fileName();
        const QString good = fixture_->writeJpeg("good.jpg", 160, 120);
        const QString listFile = fixture_->imagePath("list.txt");
        const QString destination = fixture_->imagePath("RES/");
        ModalAnswerer answers;
        loadList(listFile, {good, file});
        QCOMPARE(Form1->Edit3->text(), destination);
        const RunEnd end = runToTheEnd(answers);
        QVERIFY2(end != RunEnd::Nothing, qPrintable(name));
        QCOMPARE(HeaderSize(destination + "good.jpg"), QSize(64, 48));
        const QStringList written = Listing(destination);
        if (end == RunEnd::Failed) {
            QCOMPARE(written, QStringList{"good.jpg"});
        } else {
            QVERIFY2(!kavenra::testing::KnownToHarmTheLibrary(name), qPrintable(name));
            QCOMPARE(written.size(), 2);
            for (const QString& output : written) {
                QVERIFY2(!HeaderSize(destination + output).isEmpty(), qPrintable(output));
            }
        }
        // The window goes on working after the file.
        QVERIFY(QDir(destination).removeRecursively());
        loadList(listFile, {good});
        QCOMPARE(runToTheEnd(answers), RunEnd::Completed);
        QCOMPARE(HeaderSize(destination + "good.jpg"), QSize(64, 48));
        QVERIFY(Form1->isVisible());
    }
};

KAVENRA_WINDOW_TEST_MAIN(HostileWindowTest)
#include "test_hostile_window.moc"
