// The image list of the main window, fed by drops delivered as the desktop delivers them, with
// real image files: the type and duplicate tests, dropped folders, the proposed destination, the
// counting pass that decides whether the RAW mode may be chosen, removal and clearing.

#include "support/DropFiles.h"
#include "support/ImageFactory.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/OrdinaryUser.h"
#include "ui/Unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

using kavenra::testing::DropFiles;
using kavenra::testing::DropUrls;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::RerunRowAsOrdinaryUser;
using kavenra::testing::RowNeedsAnotherUser;

namespace {

QStringList listed() {
    QStringList entries;
    for (int i = 0; i < Form1->ListBox1->count(); ++i) entries << Form1->ListBox1->item(i)->text();
    return entries;
}

QString status() {
    return Form1->StatusBar->currentMessage();
}

// The entries a run would read now, as text.
QStringList entriesARunReads() {
    QStringList entries;
    for (const QByteArray& entry : Form1->ReadRunControls().entries)
        entries << QFile::decodeName(entry);
    return entries;
}

// Drops and lets the counting pass finish on its own timer.
bool dropAndCount(const QStringList& paths) {
    if (!DropFiles(Form1->ListBox1, paths).dropped) return false;
    return MainWindowFixture::WaitForCountingPass();
}

// Stops the pass's timer so that a test can take its ticks one at a time.
void holdCountingPass() {
    Form1->Timer2->stop();
}

QList<int> selectedRows() {
    QList<int> rows;
    for (int i = 0; i < Form1->ListBox1->count(); ++i) {
        if (Form1->ListBox1->item(i)->isSelected()) rows << i;
    }
    return rows;
}

// The middle of an entry, or a place below the last one for -1, in the list's viewport.
QPoint entryPlace(int row) {
    QListWidget* list = Form1->ListBox1;
    if (row >= 0) return list->visualItemRect(list->item(row)).center();
    const QRect last = list->visualItemRect(list->item(list->count() - 1));
    return QPoint(last.center().x(), last.bottom() + 2 * last.height());
}

// A right click as the window system delivers it: press and release on the window, which makes
// the context menu request out of the press.
void rightClickEntry(int row) {
    const QPoint place = Form1->ListBox1->viewport()->mapTo(Form1, entryPlace(row));
    QTest::mouseClick(Form1->windowHandle(), Qt::RightButton, Qt::NoModifier, place);
}

// Answers the next file dialog as a user who opens `folder` and types `names` (quoted, as the
// dialog writes several) or, with none, takes the folder itself; records what it offered.
struct FileDialogSeen {
    QString title;
    QString directory;
    QStringList nameFilters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
};

void chooseInFileDialog(ModalAnswerer& answers, FileDialogSeen& seen, const QString& folder,
                        const QStringList& names) {
    answers.answerDialog([&seen, folder, names](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files) {
            dialog->reject();
            return;
        }
        seen = {files->windowTitle(), files->directory().absolutePath(), files->nameFilters(),
                files->fileMode()};
        files->setDirectory(folder);
        QStringList quoted;
        for (const QString& name : names) quoted << QLatin1Char('"') + name + QLatin1Char('"');
        if (auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            edit->setText(names.size() == 1 ? names.first() : quoted.join(QLatin1Char(' ')));
        }
        static_cast<QDialog*>(files)->accept();
    });
}

bool idleControlsEnabled() {
    return Form1->ListBox1->isEnabled() && Form1->Button2->isEnabled() &&
           Form1->Button3->isEnabled();
}

bool busyControlsDisabled() {
    return !Form1->ListBox1->isEnabled() && !Form1->Button2->isEnabled() &&
           !Form1->Button3->isEnabled();
}

}  // namespace

class TestMainWindowIntake : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
    }
    void cleanup() { fixture_.reset(); }

    void threeJpegsAreListedInDropOrder();
    void dropLandsOnTheWindowWhateverControlIsUnder_data();
    void dropLandsOnTheWindowWhateverControlIsUnder();
    void dragWithoutFilesIsRefused();
    void duplicateInASecondDropIsSkipped();
    void duplicateWithinOneDropIsSkipped();
    void pathsDifferingInCaseAreBothListed();
    void refusedItemsAreReportedAndNotListed_data();
    void refusedItemsAreReportedAndNotListed();
    void allRefusedDropOnEmptyListStillPasses();
    void destinationFollowsTheLastItem();
    void droppedFolders_data();
    void droppedFolders();
    void unreadableFolderIsRefused();
    void leftOutItemsAreNamedWithTheirReasons_data();
    void leftOutItemsAreNamedWithTheirReasons();
    void addMenuTakesWhatADropTakes_data();
    void addMenuTakesWhatADropTakes();
    void addDialogsOfferTheSupportedImages();
    void cancelledAddDialogChangesNothing();
    void addShortcutsOpenTheirDialogs_data();
    void addShortcutsOpenTheirDialogs();

    void countingPassTakesOneTickMoreThanEntries();
    void countingPassShowsItsBusyState();
    void entriesDroppedDuringAPassAreCounted();
    void onlyRawListsEnableTheRawMode();
    void rawModeFixturesFromCameras();

    void removingSelectedEntries_data();
    void removingSelectedEntries();
    void removingTheOnlyJpegLeavesRawModeDisabled();
    void popupMenuOffersRemoval();
    void popupRemovesTheSelectionNotTheClickedEntry_data();
    void popupRemovesTheSelectionNotTheClickedEntry();
    void clearEmptiesEverything();
    void aRunReadsTheListAsItIsNow_data();
    void aRunReadsTheListAsItIsNow();

  private:
    void writeDropFolders();

    std::unique_ptr<MainWindowFixture> fixture_;
};

void TestMainWindowIntake::threeJpegsAreListedInDropOrder() {
    const QString c = fixture_->writeJpeg("c.jpg", 40, 30);
    const QString a = fixture_->writeJpeg("a.jpg", 40, 30);
    const QString b = fixture_->writeJpeg("b.jpg", 40, 30);

    const auto drop = DropFiles(Form1->ListBox1, {c, a, b});

    QVERIFY(drop.dropped);
    // Copy, never move: a file manager that was told "moved" would delete the originals.
    QCOMPARE(drop.action, Qt::CopyAction);
    QCOMPARE(listed(), (QStringList{c, a, b}));
    QCOMPARE(Form1->Label10->text(), QStringLiteral("3"));
    QCOMPARE(Form1->Edit3->text(), fixture_->imageFolder() + QStringLiteral("/RES/"));
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg2"));
    QVERIFY(Form1->Timer2->isActive());

    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QVERIFY(!Form1->CheckBox2->isEnabled());
    QVERIFY(idleControlsEnabled());
    QVERIFY(Form1->ProgressBar1->isHidden());
    // The pass ends with the count, not with what it was doing.
    QCOMPARE(status(), MainWindowFixture::Text(1, "Texto_lista1") + " 3");
}

void TestMainWindowIntake::dropLandsOnTheWindowWhateverControlIsUnder_data() {
    QTest::addColumn<QString>("control");
    for (const char* name : {"ListBox1", "Edit1", "Edit3", "Label8", "Button3", "GroupBox2"}) {
        QTest::newRow(name) << name;
    }
}

// Fields and lists accept drops of their own in Qt; none may take a file away from the window.
void TestMainWindowIntake::dropLandsOnTheWindowWhateverControlIsUnder() {
    QFETCH(QString, control);
    QWidget* over = Form1->findChild<QWidget*>(control);
    QVERIFY(over);
    const QString photo = fixture_->writeJpeg("photo.jpg", 32, 24);
    ModalAnswerer answers;  // a field taking the address as text would warn about it

    QVERIFY(DropFiles(over, {photo}).dropped);

    QCOMPARE(listed(), QStringList{photo});
    QCOMPARE(Form1->Edit1->text(), QString());
    QCOMPARE(Form1->Edit3->text(), fixture_->imageFolder() + QStringLiteral("/RES/"));
    QVERIFY(answers.msgBoxes().isEmpty());
}

void TestMainWindowIntake::dragWithoutFilesIsRefused() {
    QMimeData text;
    text.setText(QStringLiteral("/tmp/a.jpg"));
    QDragEnterEvent textEnter(QPoint(100, 300), Qt::CopyAction, &text, Qt::LeftButton,
                              Qt::NoModifier);
    QCoreApplication::sendEvent(Form1->windowHandle(), &textEnter);
    QVERIFY(!textEnter.isAccepted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(Form1->windowHandle(), &leave);
    QCOMPARE(Form1->ListBox1->count(), 0);
}

void TestMainWindowIntake::duplicateInASecondDropIsSkipped() {
    const QString a = fixture_->writeJpeg("a.jpg", 40, 30);
    QVERIFY(dropAndCount({a}));

    QVERIFY(DropFiles(Form1->ListBox1, {a}).dropped);

    QCOMPARE(listed(), QStringList{a});
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg1") + QStringLiteral("a.jpg"));
    QCOMPARE(Form1->Label10->text(), QStringLiteral("1"));
    QVERIFY(Form1->Timer2->isActive());  // a drop always starts a pass
}

void TestMainWindowIntake::duplicateWithinOneDropIsSkipped() {
    const QString a = fixture_->writeJpeg("a.jpg", 40, 30);
    const QString b = fixture_->writeJpeg("b.jpg", 40, 30);

    QVERIFY(DropFiles(Form1->ListBox1, {a, b, a}).dropped);

    QCOMPARE(listed(), (QStringList{a, b}));
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg1") + QStringLiteral("a.jpg"));
}

void TestMainWindowIntake::pathsDifferingInCaseAreBothListed() {
    const QString lower = fixture_->writeJpeg("foto.jpg", 40, 30, 1);
    const QString upper = fixture_->writeJpeg("FOTO.jpg", 40, 30, 2);

    QVERIFY(dropAndCount({lower}));
    QVERIFY(dropAndCount({upper}));

    QCOMPARE(listed(), (QStringList{lower, upper}));
    QCOMPARE(Form1->Label10->text(), QStringLiteral("2"));
}

void TestMainWindowIntake::refusedItemsAreReportedAndNotListed_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text named like a picture") << "notes.png" << QByteArray("not an image\n");
    QTest::newRow("empty file") << "empty.jpg" << QByteArray();
    QTest::newRow("GIF") << "anim.gif" << QByteArray();
    QTest::newRow("folder with an image only in a sub-folder") << "Vacaciones" << QByteArray();
}

void TestMainWindowIntake::refusedItemsAreReportedAndNotListed() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QString path;
    if (name.endsWith(QLatin1String(".gif"))) {
        path = fixture_->imagePath(name);
        QVERIFY(
            kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(), FIF_GIF, 20, 20));
    } else if (!name.contains(QLatin1Char('.'))) {
        path = fixture_->imagePath(name);
        QVERIFY(QDir().mkpath(path));
        QVERIFY(!fixture_->writeJpeg(name + QStringLiteral("/sub/inside.jpg"), 20, 20).isEmpty());
    } else {
        path = fixture_->writeText(name, content);
    }
    const QString good = fixture_->writeJpeg("good.jpg", 20, 20);

    QVERIFY(DropFiles(Form1->ListBox1, {good, path}).dropped);

    QCOMPARE(listed(), QStringList{good});
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg3"));
    QCOMPARE(Form1->Label10->text(), QStringLiteral("1"));
}

void TestMainWindowIntake::allRefusedDropOnEmptyListStillPasses() {
    const QString notes = fixture_->writeText("docs/notes.txt", "hello");
    QSignalSpy ticks(Form1->Timer2, &QTimer::timeout);

    const auto drop = DropUrls(Form1->ListBox1, {QUrl(QStringLiteral("https://example.org/a.jpg")),
                                                 QUrl::fromLocalFile(notes)});

    QVERIFY(drop.dropped);
    QCOMPARE(Form1->ListBox1->count(), 0);
    QCOMPARE(Form1->Label10->text(), QStringLiteral("0"));
    QCOMPARE(Form1->Edit3->text(), fixture_->imageFolder() + QStringLiteral("/docs/RES/"));
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg3"));
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(ticks.size(), 1);
    // 0 RAW files out of 0 entries: every entry is RAW.
    QVERIFY(Form1->CheckBox2->isEnabled());
}

// The proposal replaces what the field held, a folder the user typed included, and follows the
// last item whatever its outcome.
void TestMainWindowIntake::destinationFollowsTheLastItem() {
    const QString first = fixture_->writeJpeg("uno/a.jpg", 20, 20);
    const QString refused = fixture_->writeText("dos/b.txt", "b");
    Form1->Edit3->setText(QStringLiteral("/somewhere/else/"));

    QVERIFY(DropFiles(Form1->ListBox1, {first, refused}).dropped);

    QCOMPARE(Form1->Edit3->text(), fixture_->imageFolder() + QStringLiteral("/dos/RES/"));
    QCOMPARE(listed(), QStringList{first});
}

// Folders for the drops below, in the image folder:
//   mixed/     JPEG and PNG files whose names sort differently by code point, case-insensitively
//              and naturally, a JPEG named ".dat", a link to a JPEG elsewhere, a GIF, a text, a
//              hidden JPEG, a sub-folder with a JPEG and a link to the RAW folder
//   raws/      two camera RAW files
//   noimages/  a text, a hidden JPEG and a sub-folder with a JPEG
//   empty/     nothing
//   loose/     a JPEG of its own
void TestMainWindowIntake::writeDropFolders() {
    const auto written = [](const QString& path) { return !path.isEmpty(); };
    QVERIFY(written(fixture_->writeJpeg("mixed/b.jpg", 24, 16, 1)));
    QVERIFY(written(fixture_->writePng("mixed/B.png", 24, 16, 2)));
    QVERIFY(written(fixture_->writePng("mixed/a10.png", 24, 16, 3)));
    QVERIFY(written(fixture_->writePng("mixed/a9.png", 24, 16, 4)));
    QVERIFY(written(fixture_->writeJpeg("mixed/scan.dat", 24, 16, 5)));
    QVERIFY(written(fixture_->writeText("mixed/zeta.txt", "not an image\n")));
    QVERIFY(written(fixture_->writeJpeg("mixed/.hidden.jpg", 24, 16, 6)));
    QVERIFY(written(fixture_->writeJpeg("mixed/sub/inner.jpg", 24, 16, 7)));
    QVERIFY(kavenra::test::WriteImageFile(
        QFile::encodeName(fixture_->imagePath("mixed/anim.gif")).toStdString(), FIF_GIF, 20, 20));
    QVERIFY(written(fixture_->writeCameraRaw("raws/IMG_1.DNG", 1)));
    QVERIFY(written(fixture_->writeCameraRaw("raws/IMG_2.DNG", 2)));
    QVERIFY(written(fixture_->writeText("noimages/readme.txt", "hello")));
    QVERIFY(written(fixture_->writeJpeg("noimages/.cover.jpg", 24, 16, 8)));
    QVERIFY(written(fixture_->writeJpeg("noimages/sub/inner.jpg", 24, 16, 9)));
    QVERIFY(QDir().mkpath(fixture_->imagePath("empty")));
    QVERIFY(written(fixture_->writeJpeg("loose/c.jpg", 24, 16, 10)));
    QVERIFY(QFile::link(QStringLiteral("../loose/c.jpg"), fixture_->imagePath("mixed/link.jpg")));
    QVERIFY(QFile::link(QStringLiteral("../raws"), fixture_->imagePath("mixed/dirlink")));
}

void TestMainWindowIntake::droppedFolders_data() {
    // Paths are relative to the image folder. "message" is the status bar's text key, followed by
    // a file name for the duplicate message. "leftOut" is what the end of the check names after
    // the count, each reason's key followed by its names; empty when nothing was left out.
    QTest::addColumn<QStringList>("before");  // dropped and counted first
    QTest::addColumn<QStringList>("drop");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("rawMode");
    QTest::addColumn<QString>("leftOut");

    const QStringList mixed{"mixed/B.png", "mixed/a10.png",  "mixed/a9.png",
                            "mixed/b.jpg", "mixed/link.jpg", "mixed/scan.dat"};
    const QStringList raws{"raws/IMG_1.DNG", "raws/IMG_2.DNG"};
    const QString mixedLeftOut = QStringLiteral("T1:Texto_fuera_no_imagen anim.gif, zeta.txt");
    const QString noImagesLeftOut =
        QStringLiteral("T1:Texto_fuera_no_imagen readme.txt; T1:Texto_fuera_carpeta noimages");
    QTest::newRow("mixed folder: its images directly inside, in code-point order")
        << QStringList{} << QStringList{"mixed"} << mixed << "ImagenMsg2"
        << "mixed/RES/" << false << mixedLeftOut;
    QTest::newRow("folder of RAW files only")
        << QStringList{} << QStringList{"raws"} << raws << "ImagenMsg2"
        << "raws/RES/" << true << "";
    QTest::newRow("folder, then a file: the file's destination")
        << QStringList{} << QStringList{"raws", "loose/c.jpg"} << raws + QStringList{"loose/c.jpg"}
        << "ImagenMsg2"
        << "loose/RES/" << false << "";
    QTest::newRow("file, then a folder: the folder's destination")
        << QStringList{} << QStringList{"loose/c.jpg", "raws"} << QStringList{"loose/c.jpg"} + raws
        << "ImagenMsg2"
        << "raws/RES/" << false << "";
    QTest::newRow("folder whose images are all listed")
        << QStringList{"raws"} << QStringList{"raws"} << raws << "ImagenMsg1 IMG_2.DNG"
        << "raws/RES/" << true << "";
    QTest::newRow("folder with one image listed: the others after it")
        << QStringList{"raws/IMG_2.DNG"} << QStringList{"raws"}
        << QStringList{"raws/IMG_2.DNG", "raws/IMG_1.DNG"} << "ImagenMsg1 IMG_2.DNG"
        << "raws/RES/" << true << "";
    QTest::newRow("folder and one of its files in one drop")
        << QStringList{} << QStringList{"raws", "raws/IMG_1.DNG"} << raws << "ImagenMsg1 IMG_1.DNG"
        << "raws/RES/" << true << "";
    QTest::newRow("folder without images directly inside: refused")
        << QStringList{} << QStringList{"noimages"} << QStringList{} << "ImagenMsg3"
        << "noimages/RES/" << true << noImagesLeftOut;
    QTest::newRow("empty folder: refused")
        << QStringList{} << QStringList{"empty"} << QStringList{} << "ImagenMsg3"
        << "empty/RES/" << true << "T1:Texto_fuera_carpeta empty";
    QTest::newRow("file, then a folder without images")
        << QStringList{} << QStringList{"loose/c.jpg", "noimages"} << QStringList{"loose/c.jpg"}
        << "ImagenMsg3"
        << "noimages/RES/" << false << noImagesLeftOut;
    QTest::newRow("folder named with a final separator")
        << QStringList{} << QStringList{"raws/"} << raws << "ImagenMsg2"
        << "raws/RES/" << true << "";
    QTest::newRow("link to a folder: its files under the link's name")
        << QStringList{} << QStringList{"mixed/dirlink"}
        << QStringList{"mixed/dirlink/IMG_1.DNG", "mixed/dirlink/IMG_2.DNG"} << "ImagenMsg2"
        << "mixed/dirlink/RES/" << true << "";
    QTest::newRow("two folders: what each left out, together")
        << QStringList{} << QStringList{"mixed", "noimages"} << mixed << "ImagenMsg3"
        << "noimages/RES/" << false
        << "T1:Texto_fuera_no_imagen anim.gif, zeta.txt, readme.txt; "
           "T1:Texto_fuera_carpeta noimages";
}

// A folder brings the supported images directly inside it, each through the tests of a dropped
// file; the files that are no supported image are left out, and the end of the check names them.
void TestMainWindowIntake::droppedFolders() {
    QFETCH(QStringList, before);
    QFETCH(QStringList, drop);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    QFETCH(QString, destination);
    QFETCH(bool, rawMode);
    QFETCH(QString, leftOut);
    writeDropFolders();
    if (QTest::currentTestFailed()) return;
    const QString root = fixture_->imageFolder() + QLatin1Char('/');
    const auto inFolder = [&](const QStringList& relative) {
        QStringList paths;
        for (const QString& path : relative) paths << root + path;
        return paths;
    };
    if (!before.isEmpty()) QVERIFY(dropAndCount(inFolder(before)));
    QSignalSpy ticks(Form1->Timer2, &QTimer::timeout);

    QVERIFY(DropFiles(Form1->ListBox1, inFolder(drop)).dropped);

    QCOMPARE(listed(), inFolder(entries));
    QCOMPARE(Form1->Label10->text(), QString::number(entries.size()));
    QCOMPARE(Form1->Edit3->text(), root + destination);
    const QString key = message.section(QLatin1Char(' '), 0, 0);
    const QString rest = message.section(QLatin1Char(' '), 1);
    // The duplicate's text ends in its own separator; a count follows its text after a space.
    const QString separator =
        rest.isEmpty() || key == QLatin1String("ImagenMsg1") ? QString() : QStringLiteral(" ");
    QCOMPARE(status(), MainWindowFixture::Text(1, qPrintable(key)) + separator + rest);
    // One pass for the whole drop: one tick per entry and the last one.
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(ticks.size(), entries.size() + 1);
    // Its end says how many are listed, and which files of the dropped folders were left out
    // (the fixture's texts hold their places after the key).
    QCOMPARE(status(), leftOut.isEmpty()
                           ? MainWindowFixture::Text(1, "Texto_lista1") +
                                 QStringLiteral(" %1").arg(entries.size())
                           : MainWindowFixture::Text(1, "ImagenMsg5") +
                                 QStringLiteral(" %1 ").arg(entries.size()) + leftOut);
    QCOMPARE(Form1->StatusBar->toolTip().isEmpty(), leftOut.isEmpty());
    QCOMPARE(Form1->CheckBox2->isEnabled(), rawMode);
}

// Without permission to read it, a folder brings nothing and is refused like a file of no
// supported type; the rest of the drop is taken.
void TestMainWindowIntake::unreadableFolderIsRefused() {
    if (RowNeedsAnotherUser()) {
        // The superuser reads any folder: the drop is an ordinary user's.
        QVERIFY(RerunRowAsOrdinaryUser());
        return;
    }
    QVERIFY(!fixture_->writeJpeg("locked/a.jpg", 20, 20).isEmpty());
    const QString folder = fixture_->imagePath("locked");
    const QString c = fixture_->writeJpeg("c.jpg", 20, 20);
    QVERIFY(QFile::setPermissions(folder, QFileDevice::WriteOwner));
    const bool readable = QDir(folder).entryList(QDir::Files).contains(QStringLiteral("a.jpg"));
    if (readable) {
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFAIL("the folder is readable without read permission");
    }

    const auto drop = DropFiles(Form1->ListBox1, {c, folder});

    QVERIFY(QFile::setPermissions(
        folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY(drop.dropped);
    QCOMPARE(listed(), QStringList{c});
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg3"));
    QCOMPARE(Form1->Edit3->text(), folder + QStringLiteral("/RES/"));
    // Its content was never seen: the reason is that it cannot be read.
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg5") + QStringLiteral(" 1 ") +
                           MainWindowFixture::Text(1, "Texto_fuera_no_legible") +
                           QStringLiteral(" locked"));
}

void TestMainWindowIntake::leftOutItemsAreNamedWithTheirReasons_data() {
    // Names are relative to the image folder, or an address; "%R/" in the details stands for the
    // image folder. The fixture's texts keep their places after their keys.
    QTest::addColumn<QStringList>("drop");
    QTest::addColumn<QString>("leftOut");
    QTest::addColumn<QStringList>("details");
    QTest::addColumn<bool>("ordinaryUser");  // the row needs a user that file modes hold back

    QTest::newRow("a missing file")
        << QStringList{"good.jpg", "gone.jpg"} << "T1:Texto_fuera_no_existe gone.jpg"
        << QStringList{"%R/gone.jpg: T1:Texto_motivo_no_existe"} << false;
    QTest::newRow("a text named like a picture")
        << QStringList{"notes.png", "good.jpg"} << "T1:Texto_fuera_no_imagen notes.png"
        << QStringList{"%R/notes.png: T1:Texto_motivo1"} << false;
    QTest::newRow("an address that is no local file")
        << QStringList{"https://example.org/a.jpg"} << "T1:Texto_fuera_no_existe a.jpg"
        << QStringList{"https://example.org/a.jpg: T1:Texto_motivo_no_existe"} << false;
    QTest::newRow("a file that may not be read")
        << QStringList{"secret.jpg"} << "T1:Texto_fuera_no_legible secret.jpg"
        << QStringList{"%R/secret.jpg: T1:Texto_motivo8"} << true;
    QTest::newRow("each reason in its group, in a fixed order")
        << QStringList{"notes.png", "gone.jpg", "texts"}
        << "T1:Texto_fuera_no_existe gone.jpg; T1:Texto_fuera_no_imagen notes.png, t1.txt, t2.txt "
           "T1:Texto_resumen4 3; T1:Texto_fuera_carpeta texts"
        << QStringList{"%R/notes.png: T1:Texto_motivo1",
                       "%R/gone.jpg: T1:Texto_motivo_no_existe",
                       "%R/texts/t1.txt: T1:Texto_motivo1",
                       "%R/texts/t2.txt: T1:Texto_motivo1",
                       "%R/texts/t3.txt: T1:Texto_motivo1",
                       "%R/texts/t4.txt: T1:Texto_motivo1",
                       "%R/texts/t5.txt: T1:Texto_motivo1",
                       "%R/texts: T1:Texto_motivo_carpeta_vacia"}
        << false;
    QStringList many;
    for (int i = 1; i <= 30; ++i)
        many << QStringLiteral("%R/many/n%1.txt: T1:Texto_motivo1").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("a long list ends in how many more")
        << QStringList{"many"}
        << "T1:Texto_fuera_no_imagen n01.txt, n02.txt, n03.txt T1:Texto_resumen4 30; "
           "T1:Texto_fuera_carpeta many"
        << many + QStringList{"T1:Texto_resumen4 4"} << false;
}

// The end of the list's check names what was left out, grouped by reason, and its tooltip holds
// each item's whole path and reason; the next status text takes the details away.
void TestMainWindowIntake::leftOutItemsAreNamedWithTheirReasons() {
    QFETCH(QStringList, drop);
    QFETCH(QString, leftOut);
    QFETCH(QStringList, details);
    QFETCH(bool, ordinaryUser);
    if (ordinaryUser && RowNeedsAnotherUser()) {
        QVERIFY(RerunRowAsOrdinaryUser());
        return;
    }
    const QString root = fixture_->imageFolder();
    const QString good = fixture_->writeJpeg("good.jpg", 20, 20);
    QVERIFY(!fixture_->writeText("notes.png", "not an image\n").isEmpty());
    for (int i = 1; i <= 5; ++i) {
        QVERIFY(!fixture_->writeText(QStringLiteral("texts/t%1.txt").arg(i), "text").isEmpty());
    }
    for (int i = 1; i <= 33; ++i) {
        const QString name = QStringLiteral("many/n%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(!fixture_->writeText(name, "text").isEmpty());
    }
    const QString secret = fixture_->writeJpeg("secret.jpg", 20, 20);
    QVERIFY(QFile::setPermissions(secret, QFileDevice::WriteOwner));
    QList<QUrl> urls;
    for (const QString& item : drop) {
        urls << (item.contains(QLatin1Char(':'))
                     ? QUrl(item)
                     : QUrl::fromLocalFile(root + QLatin1Char('/') + item));
    }

    QVERIFY(DropUrls(Form1->ListBox1, urls).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());

    const int entries = Form1->ListBox1->count();
    QCOMPARE(status(), MainWindowFixture::Text(1, "ImagenMsg5") +
                           QStringLiteral(" %1 ").arg(entries) + leftOut);
    details.replaceInStrings(QStringLiteral("%R/"), root + QLatin1Char('/'));
    QCOMPARE(Form1->StatusBar->toolTip().split(QLatin1Char('\n')), details);

    QVERIFY(dropAndCount({good}));
    QCOMPARE(Form1->StatusBar->toolTip(), QString());
}

// "Add images" and "Add folder" hand what was chosen to the path of a drop: the same entries,
// status text, count, destination and counting pass.
void TestMainWindowIntake::addMenuTakesWhatADropTakes_data() {
    QTest::addColumn<QString>("item");         // the menu item's object name
    QTest::addColumn<QStringList>("names");    // typed into the dialog, in the image folder's "in"
    QTest::addColumn<QStringList>("entries");  // relative to the image folder
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("destination");

    QTest::newRow("one image") << "Anadirimagenes1" << QStringList{"b.jpg"}
                               << QStringList{"in/listed.jpg", "in/b.jpg"} << "ImagenMsg2"
                               << "in/RES/";
    QTest::newRow("two images") << "Anadirimagenes1" << QStringList{"b.jpg", "a.png"}
                                << QStringList{"in/listed.jpg", "in/b.jpg", "in/a.png"}
                                << "ImagenMsg2"
                                << "in/RES/";
    // The filter hides it, but a typed name is taken and tested by content like a dropped one.
    QTest::newRow("no image, typed") << "Anadirimagenes1" << QStringList{"notes.txt"}
                                     << QStringList{"in/listed.jpg"} << "ImagenMsg3"
                                     << "in/RES/";
    QTest::newRow("already listed") << "Anadirimagenes1" << QStringList{"listed.jpg"}
                                    << QStringList{"in/listed.jpg"} << "ImagenMsg1 listed.jpg"
                                    << "in/RES/";
    // The folder's files in byte order; the one listed already is the last one taken.
    QTest::newRow("folder") << "Anadircarpeta1" << QStringList{}
                            << QStringList{"in/listed.jpg", "in/a.png", "in/b.jpg"}
                            << "ImagenMsg1 listed.jpg"
                            << "in/RES/";
}

void TestMainWindowIntake::addMenuTakesWhatADropTakes() {
    QFETCH(QString, item);
    QFETCH(QStringList, names);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    QFETCH(QString, destination);
    const QString root = fixture_->imageFolder() + QLatin1Char('/');
    QVERIFY(!fixture_->writeJpeg("in/b.jpg", 24, 16, 1).isEmpty());
    QVERIFY(!fixture_->writePng("in/a.png", 24, 16, 2).isEmpty());
    QVERIFY(!fixture_->writeText("in/notes.txt", "not an image\n").isEmpty());
    QVERIFY(dropAndCount({fixture_->writeJpeg("in/listed.jpg", 24, 16, 3)}));
    Form1->Edit3->setText(QStringLiteral("/somewhere/else/"));
    QSignalSpy ticks(Form1->Timer2, &QTimer::timeout);

    ModalAnswerer answers;
    FileDialogSeen seen;
    chooseInFileDialog(answers, seen, root + QStringLiteral("in"), names);
    Form1->findChild<QAction*>(item)->trigger();

    QCOMPARE(answers.dialogs().size(), 1);
    QCOMPARE(seen.mode, item == QLatin1String("Anadircarpeta1") ? QFileDialog::Directory
                                                                : QFileDialog::ExistingFiles);
    QStringList expected;
    for (const QString& entry : entries) expected << root + entry;
    QCOMPARE(listed(), expected);
    QCOMPARE(Form1->Label10->text(), QString::number(entries.size()));
    QCOMPARE(Form1->Edit3->text(), root + destination);
    const QString key = message.section(QLatin1Char(' '), 0, 0);
    QCOMPARE(status(), MainWindowFixture::Text(1, qPrintable(key)) + message.section(' ', 1));
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(ticks.size(), entries.size() + 1);
}

// The dialogs are titled by their menu items, offer every format the type test takes (upper-case
// names included, as cameras write them) and open where the last addition came from.
void TestMainWindowIntake::addDialogsOfferTheSupportedImages() {
    const QString root = fixture_->imageFolder() + QLatin1Char('/');
    QVERIFY(!fixture_->writeJpeg("first/b.jpg", 24, 16, 1).isEmpty());
    QVERIFY(QDir().mkpath(root + QStringLiteral("second")));

    ModalAnswerer answers;
    FileDialogSeen seen;
    chooseInFileDialog(answers, seen, root + QStringLiteral("first"), {QStringLiteral("b.jpg")});
    Form1->Anadirimagenes1Click();
    // The untranslated window's own texts, without access key and ellipsis.
    QCOMPARE(seen.title, QString::fromUtf8("Añadir imágenes"));
    QCOMPARE(seen.nameFilters.size(), 1);
    const QString filter = seen.nameFilters.first();
    QVERIFY2(filter.startsWith(MainWindowFixture::Text(1, "Texto_filtro_imagenes") + " ("),
             qPrintable(filter));
    for (const char* pattern :
         {"*.jpg", "*.JPG", "*.jpeg", "*.png", "*.tif", "*.tiff", "*.bmp", "*.tga", "*.webp",
          "*.heic", "*.HEIC", "*.heif", "*.avif", "*.dng", "*.CR2", "*.nef"}) {
        QVERIFY2(
            filter.contains(QLatin1Char(' ') + QLatin1String(pattern) + QLatin1Char(' ')) ||
                filter.contains(QLatin1Char('(') + QLatin1String(pattern) + QLatin1Char(' ')) ||
                filter.contains(QLatin1Char(' ') + QLatin1String(pattern) + QLatin1Char(')')),
            pattern);
    }
    QVERIFY(MainWindowFixture::WaitForCountingPass());

    answers.clear();
    chooseInFileDialog(answers, seen, root + QStringLiteral("second"), {});
    Form1->Anadircarpeta1Click();
    QCOMPARE(seen.title, QString::fromUtf8("Añadir carpeta"));
    QCOMPARE(QDir(seen.directory), QDir(root + QStringLiteral("first")));
}

void TestMainWindowIntake::cancelledAddDialogChangesNothing() {
    const QString a = fixture_->writeJpeg("a.jpg", 24, 16, 1);
    QVERIFY(dropAndCount({a}));
    Form1->Edit3->setText(QStringLiteral("/kept/"));
    const QString before = status();

    ModalAnswerer answers;  // rejects every dialog
    Form1->Anadirimagenes1Click();
    Form1->Anadircarpeta1Click();

    QCOMPARE(answers.dialogs().size(), 2);
    QCOMPARE(listed(), QStringList{a});
    QCOMPARE(Form1->Edit3->text(), QStringLiteral("/kept/"));
    QCOMPARE(status(), before);
    QVERIFY(!Form1->Timer2->isActive());
}

void TestMainWindowIntake::addShortcutsOpenTheirDialogs_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("mode");
    QTest::newRow("Ctrl+O") << int(Qt::ControlModifier) << int(QFileDialog::ExistingFiles);
    QTest::newRow("Ctrl+Shift+O") << int(Qt::ControlModifier | Qt::ShiftModifier)
                                  << int(QFileDialog::Directory);
}

void TestMainWindowIntake::addShortcutsOpenTheirDialogs() {
    QFETCH(int, modifiers);
    QFETCH(int, mode);
    Form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
    ModalAnswerer answers;
    FileDialogSeen seen;
    answers.answerDialog([&seen](QDialog* dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(dialog)) seen.mode = files->fileMode();
        dialog->reject();
    });

    QTest::keyClick(Form1->Edit1, Qt::Key_O, Qt::KeyboardModifiers(modifiers));

    QCOMPARE(answers.dialogs().size(), 1);
    QCOMPARE(int(seen.mode), mode);
}

void TestMainWindowIntake::countingPassTakesOneTickMoreThanEntries() {
    const QString a = fixture_->writeJpeg("a.jpg", 20, 20);
    const QString b = fixture_->writeJpeg("b.jpg", 20, 20);
    const QString c = fixture_->writeJpeg("c.jpg", 20, 20);
    QSignalSpy ticks(Form1->Timer2, &QTimer::timeout);

    QVERIFY(dropAndCount({a, b, c}));

    QCOMPARE(ticks.size(), 4);
    QCOMPARE(Form1->ValidatedCount, 0);
    QCOMPARE(Form1->RawCount, 0);
    QCOMPARE(Form1->ProgressBar1->value(), 0);
}

void TestMainWindowIntake::countingPassShowsItsBusyState() {
    const QString a = fixture_->writeJpeg("a.jpg", 20, 20);
    const QString b = fixture_->writeJpeg("b.jpg", 20, 20);
    QVERIFY(DropFiles(Form1->ListBox1, {a, b}).dropped);
    holdCountingPass();
    QVERIFY(idleControlsEnabled());

    Form1->Timer2Timer();
    QVERIFY(busyControlsDisabled());
    QVERIFY(Form1->ProgressBar1->isVisible());
    QCOMPARE(Form1->ProgressBar1->maximum(), 2);
    QCOMPARE(Form1->ProgressBar1->value(), 1);
    QCOMPARE(status(), MainWindowFixture::Text(1, "Texto_validar_imagenes"));
    // The dimension controls and the menus stay usable.
    QVERIFY(Form1->GroupBox1->isEnabled());
    QVERIFY(Form1->MainMenu1->isEnabled());

    Form1->Timer2Timer();
    QCOMPARE(Form1->ProgressBar1->value(), 2);
    QVERIFY(busyControlsDisabled());

    Form1->Timer2Timer();
    QVERIFY(idleControlsEnabled());
    QVERIFY(Form1->ProgressBar1->isHidden());
    QCOMPARE(Form1->ProgressBar1->value(), 0);
}

// The end test compares with the list as it is now, and every pass starts from the first entry.
void TestMainWindowIntake::entriesDroppedDuringAPassAreCounted() {
    const QString raw1 = fixture_->writeCameraRaw("one.dng", 1);
    const QString raw2 = fixture_->writeCameraRaw("two.dng", 2);
    const QString raw3 = fixture_->writeCameraRaw("three.dng", 3);
    QVERIFY(DropFiles(Form1->ListBox1, {raw1, raw2}).dropped);
    holdCountingPass();
    Form1->Timer2Timer();
    Form1->Timer2Timer();
    QCOMPARE(Form1->ValidatedCount, 2);

    QVERIFY(DropFiles(Form1->ListBox1, {raw3}).dropped);
    QVERIFY(Form1->Timer2->isActive());
    QVERIFY(MainWindowFixture::WaitForCountingPass());

    QVERIFY(Form1->CheckBox2->isEnabled());
    QCOMPARE(Form1->ValidatedCount, 0);
}

void TestMainWindowIntake::onlyRawListsEnableTheRawMode() {
    const QString raw1 = fixture_->writeCameraRaw("IMG_0001.DNG", 1);
    const QString raw2 = fixture_->writeCameraRaw("IMG_0002.DNG", 2);
    QVERIFY(dropAndCount({raw1, raw2}));
    QCOMPARE(listed(), (QStringList{raw1, raw2}));
    QVERIFY(Form1->CheckBox2->isEnabled());
    QTest::mouseClick(Form1->CheckBox2, Qt::LeftButton, Qt::NoModifier,
                      Form1->CheckBox2->rect().center());
    QVERIFY(Form1->CheckBox2->isChecked());

    QVERIFY(dropAndCount({fixture_->writeJpeg("a.jpg", 20, 20)}));

    QVERIFY(!Form1->CheckBox2->isEnabled());
    QVERIFY(Form1->CheckBox2->isChecked());
}

void TestMainWindowIntake::rawModeFixturesFromCameras() {
    const QDir cameras(QStringLiteral(KAVENRA_FIXTURES_DIR "/camera-raw"));
    if (!cameras.exists()) QSKIP("no camera RAW samples beside the project");
    QStringList files;
    for (const QString& name : cameras.entryList({"*.cr2", "*.nef", "*.raf", "*.rw2"}, QDir::Files))
        files << cameras.filePath(name);
    QVERIFY(files.size() >= 4);

    QVERIFY(dropAndCount(files));

    QCOMPARE(Form1->ListBox1->count(), files.size());
    QVERIFY(Form1->CheckBox2->isEnabled());
}

void TestMainWindowIntake::removingSelectedEntries_data() {
    QTest::addColumn<bool>("byDeleteKey");
    QTest::newRow("the popup's item") << false;
    QTest::newRow("the Delete key") << true;
}

void TestMainWindowIntake::removingSelectedEntries() {
    QFETCH(bool, byDeleteKey);
    if (byDeleteKey) {
        Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
    }
    const auto remove = [byDeleteKey] {
        if (!byDeleteKey) return Form1->Eliminarimgen1->trigger();
        Form1->ListBox1->setFocus();
        QTest::keyClick(Form1->ListBox1, Qt::Key_Delete);
    };
    QStringList files;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        files << fixture_->writeJpeg(name, 20, 20);
    QVERIFY(dropAndCount(files));
    const QString destination = Form1->Edit3->text();
    const bool rawModeEnabled = Form1->CheckBox2->isEnabled();
    Form1->ListBox1->item(1)->setSelected(true);
    Form1->ListBox1->item(2)->setSelected(true);  // two neighbours: the walk must not skip one

    remove();

    QCOMPARE(listed(), (QStringList{files[0], files[3]}));
    QCOMPARE(Form1->Label10->text(), QStringLiteral("2"));
    QCOMPARE(Form1->Edit3->text(), destination);
    QVERIFY(!Form1->Timer2->isActive());

    Form1->ListBox1->selectAll();
    remove();

    QCOMPARE(Form1->ListBox1->count(), 0);
    QCOMPARE(Form1->Label10->text(), QStringLiteral("0"));
    QCOMPARE(Form1->Edit3->text(), QString());
    QCOMPARE(Form1->CheckBox2->isEnabled(), rawModeEnabled);
}

// The list a run's tick reads is the list of that moment, whatever changed it since the last
// tick read it.
void TestMainWindowIntake::aRunReadsTheListAsItIsNow_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("a second drop") << "drop";
    QTest::newRow("selected entries removed") << "remove";
    QTest::newRow("the list cleared") << "clear";
}

void TestMainWindowIntake::aRunReadsTheListAsItIsNow() {
    QFETCH(QString, change);
    QStringList files;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) files << fixture_->writeJpeg(name, 20, 20);
    QVERIFY(dropAndCount(files));
    QCOMPARE(entriesARunReads(), files);

    QStringList expected = files;
    if (change == QLatin1String("drop")) {
        const QString more = fixture_->writeJpeg("d.jpg", 20, 20);
        QVERIFY(dropAndCount({more}));
        expected << more;
    } else if (change == QLatin1String("remove")) {
        Form1->ListBox1->item(1)->setSelected(true);
        Form1->Eliminarimgen1->trigger();
        expected.removeAt(1);
    } else {
        Form1->Button2Click();
        expected.clear();
    }
    QCOMPARE(listed(), expected);
    QCOMPARE(entriesARunReads(), expected);
}

void TestMainWindowIntake::removingTheOnlyJpegLeavesRawModeDisabled() {
    const QString raw = fixture_->writeCameraRaw("x.dng");
    const QString jpeg = fixture_->writeJpeg("y.jpg", 20, 20);
    QVERIFY(dropAndCount({raw, jpeg}));
    QVERIFY(!Form1->CheckBox2->isEnabled());

    Form1->ListBox1->item(1)->setSelected(true);
    Form1->Eliminarimgen1->trigger();

    QCOMPARE(listed(), QStringList{raw});
    QVERIFY(!Form1->CheckBox2->isEnabled());
}

void TestMainWindowIntake::popupMenuOffersRemoval() {
    QVERIFY(dropAndCount({fixture_->writeJpeg("a.jpg", 20, 20)}));
    QWidget* viewport = Form1->ListBox1->viewport();
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(10, 5),
                              viewport->mapToGlobal(QPoint(10, 5)));

    QCoreApplication::sendEvent(viewport, &request);

    QTRY_VERIFY(Form1->PopupMenu1->isVisible());
    QCOMPARE(Form1->PopupMenu1->actions(), QList<QAction*>{Form1->Eliminarimgen1});
    QVERIFY(!Form1->Eliminarimgen1->icon().isNull());
    Form1->PopupMenu1->hide();
}

void TestMainWindowIntake::popupRemovesTheSelectionNotTheClickedEntry_data() {
    QTest::addColumn<QList<int>>("selected");  // chosen with left clicks, Ctrl for the others
    QTest::addColumn<int>("rightClicked");     // -1: below the last entry
    QTest::addColumn<QList<int>>("remaining");
    QTest::newRow("unselected entry") << QList<int>{1, 3} << 0 << QList<int>{0, 2};
    QTest::newRow("selected entry") << QList<int>{1, 3} << 3 << QList<int>{0, 2};
    QTest::newRow("below the entries") << QList<int>{1, 3} << -1 << QList<int>{0, 2};
    QTest::newRow("nothing selected") << QList<int>{} << 2 << QList<int>{0, 1, 2, 3};
}

// The right button opens the popup over the selection as the user left it; by itself the list
// would first select the entry under the pointer, and the popup would remove that one.
void TestMainWindowIntake::popupRemovesTheSelectionNotTheClickedEntry() {
    QFETCH(QList<int>, selected);
    QFETCH(int, rightClicked);
    QFETCH(QList<int>, remaining);
    QStringList files;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        files << fixture_->writeJpeg(name, 20, 20);
    QVERIFY(dropAndCount(files));
    QWidget* viewport = Form1->ListBox1->viewport();
    for (int i = 0; i < selected.size(); ++i) {
        QTest::mouseClick(viewport, Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          entryPlace(selected[i]));
    }
    QCOMPARE(selectedRows(), selected);
    const int current = Form1->ListBox1->currentRow();

    rightClickEntry(rightClicked);

    QTRY_VERIFY(Form1->PopupMenu1->isVisible());
    QCOMPARE(selectedRows(), selected);
    QCOMPARE(Form1->ListBox1->currentRow(), current);
    QTest::mouseClick(Form1->PopupMenu1, Qt::LeftButton, Qt::NoModifier,
                      Form1->PopupMenu1->actionGeometry(Form1->Eliminarimgen1).center());

    QTRY_VERIFY(!Form1->PopupMenu1->isVisible());
    QStringList expected;
    for (const int row : remaining) expected << files[row];
    QCOMPARE(listed(), expected);
    QCOMPARE(Form1->Label10->text(), QString::number(remaining.size()));
}

void TestMainWindowIntake::clearEmptiesEverything() {
    const QString raw = fixture_->writeCameraRaw("x.dng");
    QVERIFY(dropAndCount({raw}));
    QTest::mouseClick(Form1->CheckBox2, Qt::LeftButton, Qt::NoModifier,
                      Form1->CheckBox2->rect().center());
    QVERIFY(Form1->CheckBox2->isChecked());
    QSignalSpy rawModeChanges(Form1->CheckBox2, &QCheckBox::toggled);

    QTest::mouseClick(Form1->Button2, Qt::LeftButton);

    QCOMPARE(Form1->ListBox1->count(), 0);
    QCOMPARE(Form1->Label10->text(), QStringLiteral("0"));
    QCOMPARE(Form1->Edit3->text(), QString());
    QVERIFY(!Form1->CheckBox2->isChecked());
    QVERIFY(!Form1->CheckBox2->isEnabled());
    QCOMPARE(rawModeChanges.size(), 1);
    QVERIFY(Form1->Panel1->isVisible());
}

KAVENRA_WINDOW_TEST_MAIN(TestMainWindowIntake)
#include "test_mainwindow_intake.moc"
