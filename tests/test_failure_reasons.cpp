// Why a file failed, as the batch run's failure message says it: the message's text and one line
// with the reason, for real files meeting each cause in the real image worker, shown by the real
// window. The fixture's language names every text's key, so the line shows which reason came.

#include "engine/formats/FreeImageBitmap.h"
#include "support/DamagedJpeg.h"
#include "support/DropFiles.h"
#include "support/FileSizeLimit.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/OrdinaryUser.h"
#include "ui/Form6_msgbox.h"
#include "ui/Unit1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <optional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;
using kavenra::testing::RerunRowAsOrdinaryUser;
using kavenra::testing::RowNeedsAnotherUser;
using kavenra::testing::ScopedEnvironment;

using kavenra::testing::FileSizeLimit;

using kavenra::test::NativePath;

namespace {

QString text(const char* key) {
    return MainWindowFixture::Text(1, key);
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

bool listFiles(const QStringList& paths) {
    return DropFiles(Form1->ListBox1, paths).dropped && MainWindowFixture::WaitForCountingPass();
}

bool overwrite(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// One flat grey colour: large in pixels, small on disk, quick to make.
bool writeFlatGreyPng(const QString& path, int width, int height) {
    const kavenra::BitmapHandle grey(FreeImage_Allocate(width, height, 8));
    if (!grey) return false;
    RGBQUAD* palette = FreeImage_GetPalette(grey.get());
    for (int i = 0; i < 256; ++i) {
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
    }
    return kavenra::test::SaveBitmapFile(*grey, FIF_PNG, NativePath(path), PNG_Z_BEST_SPEED);
}

}  // namespace

class TestFailureReasons : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kavenra::test::InitialiseFreeImageOnce(); }

    void failureMessageNamesTheReason_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reasonKey");
        QTest::newRow("text named .jpg") << "text"
                                         << "Texto_motivo1";
        QTest::newRow("larger than the worker's memory") << "memory"
                                                         << "Texto_motivo2";
        QTest::newRow("longer than the time limit") << "time"
                                                    << "Texto_motivo3";
        QTest::newRow("read-only file in a read-only folder") << "permission"
                                                              << "Texto_motivo4";
        QTest::newRow("no room for the output") << "full"
                                                << "Texto_motivo5";
        QTest::newRow("source deleted after listing") << "vanished"
                                                      << "Texto_motivo6";
        QTest::newRow("JPEG cut short after listing") << "cut"
                                                      << "Texto_motivo7";
        QTest::newRow("JPEG whose picture data is damaged") << "damaged"
                                                            << "Texto_motivo12";
        QTest::newRow("wider than a JPEG holds") << "beyond format"
                                                 << "Texto_motivo13";
    }

    void failureMessageNamesTheReason() {
        QFETCH(QString, cause);
        QFETCH(QString, reasonKey);
        if (cause == "permission" && RowNeedsAnotherUser()) {
            // The superuser writes any file: the row is an ordinary user's.
            QVERIFY(RerunRowAsOrdinaryUser());
            return;
        }
        MainWindowFixture fixture;
        QVERIFY(fixture.isValid());
        QString source;
        if (cause == "memory") {
            // 81 MB as loaded: far beyond a 300 MB address space once the worker's own is in.
            source = fixture.imagePath("big.png");
            QVERIFY(writeFlatGreyPng(source, 9000, 9000));
        } else if (cause == "time") {
            source = fixture.imagePath("large.png");
            QVERIFY(kavenra::test::WriteImageFile(NativePath(source), FIF_PNG, 2400, 1800, 5));
        } else {
            source = fixture.writeJpeg("a.jpg", 400, 300);
        }
        QVERIFY(listFiles({source}));
        if (cause == "time") {
            Form1->Edit1->setText("2399");
            Form1->Edit2->setText("1799");
        } else if (cause == "beyond format") {
            Form1->Edit1->setText("70000");
            Form1->Edit2->setText("1");
        } else {
            Form1->Edit1->setText("200");
            Form1->Edit2->setText("150");
        }

        ModalAnswerer answers;
        int failureBox = 0;
        if (cause == "text") QVERIFY(overwrite(source, "no picture at all\n"));
        if (cause == "vanished") QVERIFY(QFile::remove(source));
        if (cause == "cut") QVERIFY(QFile::resize(source, QFileInfo(source).size() / 2));
        if (cause == "damaged") {
            const kavenra::test::Bytes damaged = kavenra::test::DamagedJpeg(
                kavenra::test::ReadFileBytes(NativePath(source)), "marker in the data");
            QVERIFY(!damaged.empty());
            QVERIFY(kavenra::test::WriteFileBytes(NativePath(source), damaged));
        }
        if (cause == "permission") {
            // An existing folder: the question whether to use it comes first.
            const QString destination = fixture.imagePath("locked/");
            QVERIFY(QDir().mkpath(destination));
            QVERIFY(overwrite(destination + "a.jpg", "earlier output"));
            QCOMPARE(chmod(NativePath(destination + "a.jpg").c_str(), 0444), 0);
            QCOMPARE(chmod(NativePath(destination).c_str(), 0555), 0);
            Form1->Edit3->setText(destination);
            answers.answerMsgBox(MsgBoxAnswer::Button2);
            failureBox = 1;
        }
        std::optional<ScopedEnvironment> memory;
        std::optional<ScopedEnvironment> time;
        std::optional<FileSizeLimit> room;
        if (cause == "memory") memory.emplace("KAVENRA_IMAGE_WORKER_MEMORY_MB", "300", true);
        if (cause == "time") time.emplace("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS", "150");
        if (cause == "full") room.emplace(4096);

        answers.answerMsgBox(MsgBoxAnswer::Button3);  // not going on: the run waits for Cancel
        click(Form1->Button3);
        const bool shown = answers.waitForMsgBoxes(failureBox + 1, 60000);
        room.reset();
        time.reset();
        memory.reset();
        QVERIFY(shown);

        const auto& box = answers.msgBoxes()[failureBox];
        QCOMPARE(box.caption, text("Caption_Atencion"));
        QCOMPARE(box.text, MainWindowFixture::FailureQuestion(QFileInfo(source).fileName(),
                                                              qPrintable(reasonKey)));
        QCOMPARE(box.shownKind, 1);
        click(Form1->Button4);
        QVERIFY(answers.waitForMsgBoxes(failureBox + 2));
        if (cause == "permission") {
            QCOMPARE(chmod(NativePath(fixture.imagePath("locked/")).c_str(), 0755), 0);
        }
    }
};

QTEST_MAIN(TestFailureReasons)
#include "test_failure_reasons.moc"
