// File names are bytes, and need not be UTF-8: a picture named in Latin-1 by an old camera or an
// old system is dropped, listed and converted through the main window like any other, its output
// taking the very same name. Two such names that differ only in bytes that are no UTF-8 read alike
// on screen yet stay two entries and two outputs.

#include "support/DropFiles.h"
#include "support/ImageFactory.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/RunTicks.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSize>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <FreeImage.h>

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <unistd.h>

using kavenra::testing::DesktopOpenerRecorder;
using kavenra::testing::DropPaths;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;

namespace {

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

bool isIdle() {
    return !Form1->Timer1->isActive() && Form1->Button3->isVisible() && Form1->RunPosition() == 0;
}

// The pixel size of the image file at exactly these bytes, invalid when there is none.
QSize imageSizeAt(const QByteArray& path) {
    const kavenra::BitmapHandle bitmap = kavenra::test::LoadImageFile(path.toStdString());
    if (!bitmap) return {};
    return QSize(int(FreeImage_GetWidth(bitmap.get())), int(FreeImage_GetHeight(bitmap.get())));
}

// The names in a folder as the file system holds them; Qt's own listing passes over names that
// are no UTF-8.
QByteArrayList namesIn(const QByteArray& folder) {
    QByteArrayList names;
    if (DIR* listing = opendir(folder.constData())) {
        while (const dirent* item = readdir(listing)) {
            const QByteArray name(item->d_name);
            if (name != "." && name != "..") names << name;
        }
        closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class TestRunByteNames : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
        opener_ = std::make_unique<DesktopOpenerRecorder>();
    }
    void cleanup() {
        // The temporary folder's removal goes through Qt, which cannot name these files.
        for (const QByteArray& path : made_) unlink(path.constData());
        made_.clear();
        fixture_.reset();
        opener_.reset();
    }

    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
    void sameBytesDroppedAgainAreListedOnce();

  private:
    std::unique_ptr<MainWindowFixture> fixture_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
    QByteArrayList made_;
};

void TestRunByteNames::namesThatAreNotUtf8_data() {
    QTest::addColumn<QString>(
        "how");  // dropped as files, as their folder, or read from a list file
    QTest::addColumn<QByteArrayList>("names");  // in byte order, each with its own picture size

    // 0xE9 and 0xE8 are Latin-1 "é" and "è": lone bytes that no UTF-8 text holds.
    const QByteArray e9("caf\xE9.jpg");
    const QByteArray e8("caf\xE8.jpg");
    QTest::newRow("file dropped") << "files" << QByteArrayList{e9};
    QTest::newRow("two files whose names read alike") << "files" << QByteArrayList{e8, e9};
    QTest::newRow("folder dropped") << "folder" << QByteArrayList{e9};
    QTest::newRow("folder of two files whose names read alike")
        << "folder" << QByteArrayList{e8, e9};
    QTest::newRow("list file at start-up") << "list file" << QByteArrayList{e8, e9};
}

// Every entry is listed once, converted to the longest side of 100 under its own name in the
// proposed destination, and its source stays as it was.
void TestRunByteNames::namesThatAreNotUtf8() {
    QFETCH(QString, how);
    QFETCH(QByteArrayList, names);

    const QString folderText = fixture_->imagePath(QStringLiteral("fotos"));
    QVERIFY(QDir().mkpath(folderText));
    const QByteArray folder = QFile::encodeName(folderText) + '/';
    const QList<QSize> sizes{{400, 300}, {300, 400}};
    const QList<QSize> outputs{{100, 75}, {75, 100}};
    QByteArrayList sources;
    QList<kavenra::test::Bytes> before;
    for (int i = 0; i < names.size(); ++i) {
        sources << folder + names[i];
        made_ << sources[i] << folder + "RES/" + names[i];
        QVERIFY(kavenra::test::WriteImageFile(sources[i].toStdString(), FIF_JPEG, sizes[i].width(),
                                              sizes[i].height(), 3));
        before << kavenra::test::ReadFileBytes(sources[i].toStdString());
    }

    if (how == QLatin1String("list file")) {
        const QString listFile = fixture_->imagePath(QStringLiteral("list.txt"));
        QFile list(listFile);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(sources.join('\n') + '\n');
        list.close();
        kavenra::startup::LoadListFiles(*Form1, {QFile::encodeName(listFile)});
    } else {
        QVERIFY(DropPaths(Form1->ListBox1,
                          how == QLatin1String("folder") ? QByteArrayList{folder} : sources)
                    .dropped);
        QVERIFY(MainWindowFixture::WaitForCountingPass());
    }
    QCOMPARE(Form1->ListBox1->count(), names.size());
    QCOMPARE(Form1->Edit3->text(), folderText + QStringLiteral("/RES/"));

    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion's question
    click(Form1->CheckBox1);
    Form1->Edit4->setText(QStringLiteral("100"));
    click(Form1->Button3);
    QVERIFY(Form1->Button4->isVisible());
    Form1->Timer1->stop();
    for (int tick = 0; tick <= names.size(); ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes().size(), 1);  // no failure before the completion

    const QByteArray destination = folder + "RES/";
    QCOMPARE(namesIn(destination), names);
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(imageSizeAt(destination + names[i]), outputs[i]);
        QVERIFY(kavenra::test::ReadFileBytes(sources[i].toStdString()) == before[i]);
    }
}

// The duplicate test compares bytes too: the same file dropped again, alone or with its folder,
// is named as already listed and not added.
void TestRunByteNames::sameBytesDroppedAgainAreListedOnce() {
    const QByteArray folder = QFile::encodeName(fixture_->imageFolder()) + '/';
    const QByteArray source = folder + "caf\xE9.jpg";
    made_ << source;
    QVERIFY(kavenra::test::WriteImageFile(source.toStdString(), FIF_JPEG, 40, 30));
    QVERIFY(DropPaths(Form1->ListBox1, {source}).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QVERIFY(DropPaths(Form1->ListBox1, {source, folder}).dropped);
    QCOMPARE(Form1->StatusBar->currentMessage(),
             MainWindowFixture::Text(1, "ImagenMsg1") + QFile::decodeName("caf\xE9.jpg"));
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(Form1->ListBox1->count(), 1);
}

KAVENRA_WINDOW_TEST_MAIN(TestRunByteNames)
#include "test_run_byte_names.moc"
