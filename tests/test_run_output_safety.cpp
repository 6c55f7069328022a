// What a run driven through the main window may write over: never a file of its own list, however
// the destination names the folder, and never what a link at an output's name points to; a tree
// dropped with its subfolders leaves out the folders its outputs go to; a path beyond the system's
// limit is named as such. Real files in temporary folders, the run held between its ticks.

#include "support/DropFiles.h"
#include "support/FileContents.h"
#include "support/ImageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/RunTicks.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/ListEntries.h"
#include "ui/Unit1.h"

#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QSize>
#include <QTest>
#include <QTimer>

#include <memory>

using kavenra::testing::DesktopOpenerRecorder;
using kavenra::testing::DropFiles;
using kavenra::testing::FileContents;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;
using kavenra::testing::MsgBoxRecord;

using kavenra::test::ImageFileSize;

namespace {

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

bool isIdle() {
    return !Form1->Timer1->isActive() && Form1->Button3->isVisible() && Form1->RunPosition() == 0;
}

bool MakeLink(const QString& pointsTo, const QString& link) {
    return symlink(QFile::encodeName(pointsTo).constData(), QFile::encodeName(link).constData()) ==
           0;
}

// The content of every file under `folder`, by path relative to it.
QMap<QString, QByteArray> FilesUnder(const QString& folder) {
    QMap<QString, QByteArray> files;
    const QDir top(folder);
    const auto walk = [&](const auto& self, const QString& at) -> void {
        const QFileInfoList entries =
            QDir(at).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QFileInfo& entry : entries) {
            if (entry.isSymLink()) continue;
            if (entry.isDir()) {
                self(self, entry.filePath());
            } else {
                files.insert(top.relativeFilePath(entry.filePath()),
                             FileContents(entry.filePath()));
            }
        }
    };
    walk(walk, folder);
    return files;
}

// The list's entries, relative to `folder`.
QStringList ListedUnder(const QString& folder) {
    QStringList listed;
    for (int row = 0; row < Form1->ListBox1->count(); ++row) {
        listed << QDir(folder).relativeFilePath(
            QFile::decodeName(kavenra::EntryPath(*Form1->ListBox1->item(row))));
    }
    listed.sort();
    return listed;
}

}  // namespace

class TestRunOutputSafety : public QObject {
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

    void anOutputNeverReplacesASource_data();
    void anOutputNeverReplacesASource();
    void aSourceListedDuringTheRunIsKept();
    void aLinkAtTheOutputNameIsReplacedItself_data();
    void aLinkAtTheOutputNameIsReplacedItself();
    void aDroppedTreeLeavesItsOutputFoldersOut_data();
    void aDroppedTreeLeavesItsOutputFoldersOut();
    void aNameBeyondTheSystemsLimitIsNamed();

  private:
    QString at(const QString& relative) const { return fixture_->imagePath(relative); }
    // Lists `entries` (relative to the image folder), sets the size 40 x 30 and `destination`,
    // and presses Start with Timer1 held, a folder that exists confirmed.
    void startRun(const QStringList& entries, const QString& destination, ModalAnswerer& answers);

    std::unique_ptr<MainWindowFixture> fixture_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
};

void TestRunOutputSafety::startRun(const QStringList& entries, const QString& destination,
                                   ModalAnswerer& answers) {
    QStringList paths;
    for (const QString& entry : entries) paths << at(entry);
    QVERIFY(DropFiles(Form1->ListBox1, paths).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(Form1->ListBox1->count(), entries.size());
    Form1->Edit1->setText(QStringLiteral("40"));
    Form1->Edit2->setText(QStringLiteral("30"));
    Form1->Edit3->setText(destination);
    if (QFileInfo(destination).isDir()) answers.answerMsgBox(MsgBoxAnswer::Button2);
    click(Form1->Button3);
    QVERIFY(Form1->Button4->isVisible());
    Form1->Timer1->stop();
}

void TestRunOutputSafety::anOutputNeverReplacesASource_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("destination");  // relative to the image folder
    QTest::addColumn<QStringList>("failed");   // names, in the order the run meets them
    QTest::addColumn<QStringList>("written");  // in the destination

    const QStringList own{"d/a.jpg", "d/b.jpg"};
    QTest::newRow("into their own folder")
        << own << "d/" << QStringList{"a.jpg", "b.jpg"} << QStringList{};
    QTest::newRow("their folder typed without a final separator")
        << own << "d" << QStringList{"a.jpg", "b.jpg"} << QStringList{};
    QTest::newRow("their folder spelled d/./")
        << own << "d/./" << QStringList{"a.jpg", "b.jpg"} << QStringList{};
    QTest::newRow("a link to their folder")
        << own << "d-link/" << QStringList{"a.jpg", "b.jpg"} << QStringList{};
    QTest::newRow("a source listed after the file whose output would replace it")
        << QStringList{"x/a.jpg", "d/a.jpg", "x/c.jpg"} << "d/" << QStringList{"a.jpg", "a.jpg"}
        << QStringList{"c.jpg"};
}

// Each file whose output would land on a file of the list fails with its own reason, the user goes
// on, and the other files are written; not one listed file changes.
void TestRunOutputSafety::anOutputNeverReplacesASource() {
    QFETCH(QStringList, entries);
    QFETCH(QString, destination);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, written);
    for (const QString& entry : entries) QVERIFY(!fixture_->writeJpeg(entry, 80, 60).isEmpty());
    QVERIFY(MakeLink(at("d"), at("d-link")));
    const QMap<QString, QByteArray> before = FilesUnder(fixture_->imageFolder());

    ModalAnswerer answers;
    startRun(entries, at(destination), answers);
    if (QTest::currentTestFailed()) return;
    for (int i = 0; i < failed.size(); ++i) answers.answerMsgBox(MsgBoxAnswer::Button2);
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion: the folder stays closed
    for (int tick = 0; tick <= entries.size(); ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());

    const QList<MsgBoxRecord> boxes = answers.msgBoxes();
    QCOMPARE(boxes.size(), 1 + failed.size() + 1);
    for (int i = 0; i < failed.size(); ++i) {
        QCOMPARE(boxes[1 + i].text,
                 MainWindowFixture::FailureQuestion(failed[i], "Texto_motivo11"));
    }
    QMap<QString, QByteArray> after = FilesUnder(fixture_->imageFolder());
    for (auto file = before.cbegin(); file != before.cend(); ++file) {
        QVERIFY2(after.take(file.key()) == file.value(), qPrintable(file.key()));
    }
    QStringList made;
    for (const QString& path : after.keys()) made << QFileInfo(path).fileName();
    QCOMPARE(made, written);
    for (const QString& name : written) {
        QCOMPARE(ImageFileSize(at(destination) + QLatin1Char('/') + name), QSize(40, 30));
    }
}

// Each tick reads the list anew: a file dropped during the run is one of its sources from then on,
// also for the files listed before it.
void TestRunOutputSafety::aSourceListedDuringTheRunIsKept() {
    QVERIFY(!fixture_->writeJpeg("x/a.jpg", 80, 60).isEmpty());
    const QString later = fixture_->writeJpeg("d/a.jpg", 64, 48);
    const QByteArray kept = FileContents(later);
    ModalAnswerer answers;
    startRun({"x/a.jpg"}, at("d/"), answers);
    if (QTest::currentTestFailed()) return;
    answers.answerMsgBox(MsgBoxAnswer::Button2);  // x/a.jpg fails: go on
    answers.answerMsgBox(MsgBoxAnswer::Button2);  // d/a.jpg fails: go on
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    QVERIFY(DropFiles(Form1->ListBox1, {later}).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    Form1->Edit3->setText(at("d/"));  // the drop proposed d/RES/; the user keeps d/
    for (int tick = 0; tick <= 2; ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());

    const QList<MsgBoxRecord> boxes = answers.msgBoxes();
    QCOMPARE(boxes.size(), 4);
    QCOMPARE(boxes[1].text, MainWindowFixture::FailureQuestion("a.jpg", "Texto_motivo11"));
    QCOMPARE(boxes[2].text, MainWindowFixture::FailureQuestion("a.jpg", "Texto_motivo11"));
    QCOMPARE(FileContents(later), kept);
}

void TestRunOutputSafety::aLinkAtTheOutputNameIsReplacedItself_data() {
    QTest::addColumn<QString>("linkTo");  // relative to the image folder
    QTest::newRow("a link to a file elsewhere") << "keep/a.jpg";
    QTest::newRow("a link to the source itself") << "in/a.jpg";
}

// The output takes the place of the link at its name; the file the link pointed to stays as it was.
void TestRunOutputSafety::aLinkAtTheOutputNameIsReplacedItself() {
    QFETCH(QString, linkTo);
    QVERIFY(!fixture_->writeJpeg("in/a.jpg", 80, 60).isEmpty());
    QVERIFY(!fixture_->writeJpeg("keep/a.jpg", 16, 12).isEmpty());
    QVERIFY(QDir().mkpath(at("out")));
    QVERIFY(MakeLink(at(linkTo), at("out/a.jpg")));
    const QByteArray pointedTo = FileContents(at(linkTo));
    ModalAnswerer answers;
    startRun({"in/a.jpg"}, at("out/"), answers);
    if (QTest::currentTestFailed()) return;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    for (int tick = 0; tick <= 1; ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes().last().text, MainWindowFixture::Text(1, "Texto_redimension2"));
    QVERIFY(!QFileInfo(at("out/a.jpg")).isSymLink());
    QCOMPARE(ImageFileSize(at("out/a.jpg")), QSize(40, 30));
    QCOMPARE(FileContents(at(linkTo)), pointedTo);
}

void TestRunOutputSafety::aDroppedTreeLeavesItsOutputFoldersOut_data() {
    QTest::addColumn<QString>("field");  // the destination field before the drop
    QTest::addColumn<QStringList>("listed");
    const QStringList own{"DCIM/2024/RES/r.jpg", "DCIM/2024/b.jpg", "DCIM/a.jpg"};
    QTest::newRow("the RES folder the drop proposes")
        << QString() << own + QStringList{"DCIM/web/w.jpg"};
    QTest::newRow("the folder in the destination field") << "DCIM/web/" << own;
    QTest::newRow("the folder in the destination field, through a link") << "web-link" << own;
}

// An earlier run's outputs inside a dropped tree are not listed again: neither those in the RES
// folder the drop proposes nor those in the folder the destination field names. A folder of the
// same name deeper in the tree is another folder, and is walked.
void TestRunOutputSafety::aDroppedTreeLeavesItsOutputFoldersOut() {
    QFETCH(QString, field);
    QFETCH(QStringList, listed);
    for (const char* name : {"DCIM/a.jpg", "DCIM/2024/b.jpg", "DCIM/RES/a.jpg",
                             "DCIM/RES/2024/b.jpg", "DCIM/web/w.jpg", "DCIM/2024/RES/r.jpg"}) {
        QVERIFY(!fixture_->writeJpeg(QLatin1String(name), 40, 30).isEmpty());
    }
    QVERIFY(MakeLink(at("DCIM/web"), at("web-link")));
    Form3->subfoldersBox->setChecked(true);
    Form1->Edit3->setText(field.isEmpty() ? QString() : at(field));
    QVERIFY(DropFiles(Form1->ListBox1, {at("DCIM")}).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(ListedUnder(fixture_->imageFolder()), listed);
    QCOMPARE(Form1->Edit3->text(), at("DCIM/RES/"));
}

// A name that grows beyond 255 bytes with the output format's extension: the failure says why.
void TestRunOutputSafety::aNameBeyondTheSystemsLimitIsNamed() {
    const QString name = QString(251, QLatin1Char('n')) + QStringLiteral(".jpg");
    QVERIFY(!fixture_->writeJpeg("in/" + name, 80, 60).isEmpty());
    Form3->saveAsWebpButton->setChecked(true);  // save as WebP: ".webp"
    ModalAnswerer answers;
    startRun({"in/" + name}, at("out/"), answers);
    if (QTest::currentTestFailed()) return;
    answers.answerMsgBox(MsgBoxAnswer::Button2);
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    for (int tick = 0; tick <= 1; ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes().first().text,
             MainWindowFixture::FailureQuestion(name, "Texto_motivo14"));
    QCOMPARE(QDir(at("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

KAVENRA_WINDOW_TEST_MAIN(TestRunOutputSafety)
#include "test_run_output_safety.moc"
