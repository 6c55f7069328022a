// The batch run driven through the main window with real image files in temporary folders:
// Start and its checks, one file per tick, the stop at a failed file, Cancel, the completion.
// Where a test needs to stand between two ticks it holds Timer1 and calls Timer1Timer itself;
// elsewhere the real timer runs.

#include "engine/isolation/ImageWorker.h"
#include "engine/run/BatchRun.h"
#include "support/DropFiles.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/RunTicks.h"
#include "support/ScreenshotPixels.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form6_msgbox.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"

#include <signal.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
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

Q_DECLARE_METATYPE(MsgBoxAnswer)
using kavenra::testing::MsgBoxRecord;

using kavenra::test::ImageFileSize;

namespace {

QString text(const char* key) {
    return MainWindowFixture::Text(1, key);
}

bool listFiles(const QStringList& paths) {
    return DropFiles(Form1->ListBox1, paths).dropped && MainWindowFixture::WaitForCountingPass();
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

void setExplicitSize(const QString& width, const QString& height) {
    Form1->Edit1->setText(width);
    Form1->Edit2->setText(height);
}

// Presses Start and keeps Timer1 from ticking, so the test can call Timer1Timer itself.
void startHeld() {
    click(Form1->Button3);
    Form1->Timer1->stop();
}

bool isIdle() {
    return !Form1->Timer1->isActive() && Form1->Button3->isVisible() &&
           Form1->Button4->isHidden() && Form1->Panel3->isEnabled() &&
           Form1->ListBox1->isEnabled() && Form1->Button2->isEnabled() &&
           Form1->ProgressBar2->isHidden() && Form1->ProgressBar2->value() == 0 &&
           Form1->RunPosition() == 0;
}

bool isRunning() {
    return Form1->Button3->isHidden() && Form1->Button4->isVisible();
}

void expectWarning(const MsgBoxRecord& box, const char* key, int kind) {
    QCOMPARE(box.caption, text("Caption_Atencion"));
    QCOMPARE(box.text, text(key));
    QCOMPARE(box.shownKind, kind);
}

// A failed conversion's question: the file, the line with the reason, whether to go on, with
// buttons that say what they do.
void expectFailure(const MsgBoxRecord& box, const QString& fileName, const char* reasonKey) {
    QCOMPARE(box.caption, text("Caption_Atencion"));
    QCOMPARE(box.text, MainWindowFixture::FailureQuestion(fileName, reasonKey));
    QCOMPARE(box.shownKind, 1);
    QCOMPARE(box.buttonCaptions,
             (QStringList{text("Texto_boton_seguir"), text("Texto_boton_detener")}));
}

// A failed entry's line in the completion summary: its name and its reason.
QString failedLine(const QString& fileName, const char* reasonKey) {
    return fileName + QStringLiteral(" \u2014 ") + text(reasonKey);
}

// The completion summary of a run with failures: how many of how many were written, the failed
// entries with their reasons, and for a stopped run how many it did not reach.
QString expectedSummary(int written, int entries, const QStringList& failedLines, int notReached) {
    QString summary = text("Texto_resumen1") + QStringLiteral(" %1 %2").arg(written).arg(entries) +
                      "\n\n" + text("Texto_resumen2") +
                      QStringLiteral(" %1").arg(failedLines.size());
    for (const QString& line : failedLines) summary += QLatin1Char('\n') + line;
    summary += QLatin1Char('\n') + text("Texto_resumen5");
    if (notReached > 0)
        summary += "\n\n" + text("Texto_resumen8") + QStringLiteral(" %1").arg(notReached);
    return summary + "\n\n" + text("Texto_resumen6");
}

// The worker a run's file goes to when nothing else is in hand.
pid_t runWorker() {
    return kavenra::ImageWorkerProcessId(kavenra::WorkerLane::RunA);
}

// Whether Exiv2 finds any key naming where the picture was taken.
bool namesAPlace(const QString& path) {
    const auto keys = kavenra::test::MetadataKeysOf(kavenra::test::NativePath(path));
    if (!keys) return false;
    for (const std::string& key : *keys) {
        for (const char* word : {"GPS", "City", "Country", "Location"}) {
            if (key.find(word) != std::string::npos) return true;
        }
    }
    return false;
}

// The status bar while an entry converts: its name, then how far the run is.
QString convertingStatus(const QString& fileName, int position, int entries) {
    return text("Texto_redimension5") + " " + fileName + QStringLiteral(" \u2014 ") +
           text("Texto_progreso") + QStringLiteral(" %1 %2").arg(position).arg(entries);
}

}  // namespace

class TestBatchRun : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kavenra::testing::LoadSaveHoldIntoWorkers(); }
    void init() {
        // Every message and status text is completed with exactly the values it has places for.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^QString::arg")));
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
        opener_ = std::make_unique<DesktopOpenerRecorder>();
    }
    void cleanup() {
        fixture_.reset();
        opener_.reset();
    }

    void threeEntriesTakeFourTicks();
    void realTimerConvertsTheWholeList();
    void startChecks_data();
    void startChecks();
    void existingFolderIsUsedOnlyWhenConfirmed_data();
    void existingFolderIsUsedOnlyWhenConfirmed();
    void confirmedFolderWithoutParentStopsAtTheFirstFile();
    void stopAfterAFailureEndsTheRunWithItsSummary();
    void failedFileAsksWhetherToGoOn_data();
    void failedFileAsksWhetherToGoOn();
    void cancelBetweenTwoFiles();
    void fieldEditedBetweenTicksAppliesToTheNextFile();
    void modeIsChosenAnewOnEveryTick();
    void unconvertibleFieldFailsTheFile_data();
    void unconvertibleFieldFailsTheFile();
    void filesDroppedDuringARunAreConverted();
    void dropDuringARunRedirectsTheLaterFiles_data();
    void dropDuringARunRedirectsTheLaterFiles();
    void listClearedBetweenTicksEndsTheRun();
    void listClearedDuringACountingPassEndsThePass();
    void rawFilesKeepTheirOwnSize();
    void destinationTextNamesAFolder_data();
    void destinationTextNamesAFolder();
    void namesBeyondAsciiReachTheImageLibrary();
    void completionOpensTheFolderOnlyOnYes_data();
    void completionOpensTheFolderOnlyOnYes();
    void summaryNamesTheFirstFailuresWithTheirReasons();
    void closingDuringARunAsksFirst_data();
    void closingDuringARunAsksFirst();
    void storedChoicesActWithoutTheOptionsDialog_data();
    void storedChoicesActWithoutTheOptionsDialog();
    void newSettingsKeepPortraitsUprightAndSmallPicturesSmall();
    void screenshotsOfARun();

  private:
    std::unique_ptr<MainWindowFixture> fixture_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
};

void TestBatchRun::threeEntriesTakeFourTicks() {
    const QStringList inputs{fixture_->writeJpeg("a.jpg", 400, 300, 1),
                             fixture_->writeJpeg("b.jpg", 400, 300, 2),
                             fixture_->writeJpeg("c.jpg", 400, 300, 3)};
    QVERIFY(listFiles(inputs));
    setExplicitSize("64", "48");
    const QString destination = Form1->Edit3->text();
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);

    startHeld();
    QVERIFY(isRunning());
    QVERIFY(QDir(destination).exists());
    QVERIFY(Form1->ProgressBar2->isHidden());  // explicit size: shown from the first tick

    for (int tick = 1; tick <= 3; ++tick) {
        QVERIFY(kavenra::testing::RunOneTick());
        QCOMPARE(Form1->ProgressBar2->value(), tick);
        QCOMPARE(Form1->ProgressBar2->maximum(), 3);
        QVERIFY(Form1->ProgressBar2->isVisible());
        QVERIFY(!Form1->ListBox1->isEnabled() && !Form1->Button2->isEnabled() &&
                !Form1->Panel3->isEnabled());
        const QString name = QFileInfo(inputs[tick - 1]).fileName();
        // The time left is told once a file is done: how long, the clock decides.
        const QString status = Form1->StatusBar->currentMessage();
        if (tick == 1) {
            QCOMPARE(status, convertingStatus(name, 1, 3));
        } else {
            const QRegularExpression timeLeft(
                QStringLiteral("^%1, %2 \\d+:\\d\\d$")
                    .arg(QRegularExpression::escape(convertingStatus(name, tick, 3)),
                         QRegularExpression::escape(text("Texto_linea_restante"))));
            QVERIFY2(timeLeft.match(status).hasMatch(), qPrintable(status));
        }
        QCOMPARE(ImageFileSize(destination + name), QSize(64, 48));
    }
    QVERIFY(answers.msgBoxes().isEmpty());

    QVERIFY(kavenra::testing::RunOneTick());

    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].caption, text("Texto_redimension"));
    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_redimension2"));
    QCOMPARE(answers.msgBoxes()[0].shownKind, 1);
    QCOMPARE(Form1->StatusBar->currentMessage(), text("Texto_redimension"));
    QVERIFY(isIdle());
    QCOMPARE(Form1->ListBox1->count(), 3);  // the list stays
    QVERIFY(opener_->opened().isEmpty());
}

void TestBatchRun::realTimerConvertsTheWholeList() {
    QStringList inputs;
    for (int i = 0; i < 5; ++i)
        inputs << fixture_->writeJpeg(QStringLiteral("foto%1.jpg").arg(i), 320, 240, i + 1);
    QVERIFY(listFiles(inputs));
    click(Form1->RadioButton1);  // 320 x 240 preset
    click(Form1->CheckBox1);
    Form1->Edit4->setText(QStringLiteral("100"));
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    QSignalSpy ticks(Form1->Timer1, &QTimer::timeout);

    click(Form1->Button3);
    QVERIFY(Form1->ProgressBar2->isVisible());  // longest side: shown at Start
    QVERIFY(answers.waitForMsgBoxes(1));

    QCOMPARE(ticks.size(), 6);
    QVERIFY(isIdle());
    for (const QString& input : inputs)
        QCOMPARE(ImageFileSize(Form1->Edit3->text() + QFileInfo(input).fileName()), QSize(100, 75));
}

void TestBatchRun::startChecks_data() {
    QTest::addColumn<QString>("mode");  // "explicit", "longest", "keep"
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("longest");
    QTest::addColumn<bool>("hasDestination");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("warning");  // empty: the run starts

    QTest::newRow("explicit: width empty") << "explicit"
                                           << ""
                                           << "480"
                                           << "" << true << "1"
                                           << "Texto_advertencia1";
    QTest::newRow("explicit: height empty") << "explicit"
                                            << "640"
                                            << ""
                                            << "" << true << "1"
                                            << "Texto_advertencia1";
    QTest::newRow("explicit: everything wrong, first check wins") << "explicit"
                                                                  << ""
                                                                  << "x"
                                                                  << "" << false << "0"
                                                                  << "Texto_advertencia1";
    QTest::newRow("explicit: both fields tested for emptiness before digits")
        << "explicit"
        << "64a"
        << ""
        << "" << true << "1"
        << "Texto_advertencia1";
    QTest::newRow("explicit: width not digits") << "explicit"
                                                << "64a"
                                                << "480"
                                                << "" << true << "1"
                                                << "Texto_advertencia2";
    QTest::newRow("explicit: height not digits") << "explicit"
                                                 << "640"
                                                 << "4 8"
                                                 << "" << true << "1"
                                                 << "Texto_advertencia2";
    QTest::newRow("explicit: digits before destination") << "explicit"
                                                         << "64a"
                                                         << "480"
                                                         << "" << false << "0"
                                                         << "Texto_advertencia2";
    QTest::newRow("explicit: no destination") << "explicit"
                                              << "640"
                                              << "480"
                                              << "" << false << "1"
                                              << "Texto_advertencia3";
    QTest::newRow("explicit: destination before count") << "explicit"
                                                        << "640"
                                                        << "480"
                                                        << "" << false << "0"
                                                        << "Texto_advertencia3";
    QTest::newRow("explicit: count 0") << "explicit"
                                       << "640"
                                       << "480"
                                       << "" << true << "0"
                                       << "Texto_advertencia4";
    QTest::newRow("explicit: starts") << "explicit"
                                      << "640"
                                      << "480"
                                      << "" << true << "1"
                                      << "";
    QTest::newRow("explicit: starts, longest side ignored") << "explicit"
                                                            << "640"
                                                            << "480"
                                                            << "8o0" << true << "1"
                                                            << "";
    QTest::newRow("longest: empty") << "longest"
                                    << ""
                                    << ""
                                    << "" << false << "0"
                                    << "Texto_advertencia6";
    QTest::newRow("longest: not digits") << "longest"
                                         << ""
                                         << ""
                                         << "8o0" << true << "1"
                                         << "Texto_advertencia7";
    QTest::newRow("longest: digits before destination") << "longest"
                                                        << ""
                                                        << ""
                                                        << "8o0" << false << "0"
                                                        << "Texto_advertencia7";
    QTest::newRow("longest: no destination") << "longest"
                                             << "640"
                                             << "480"
                                             << "800" << false << "1"
                                             << "Texto_advertencia8";
    QTest::newRow("longest: destination before count") << "longest"
                                                       << ""
                                                       << ""
                                                       << "800" << false << "0"
                                                       << "Texto_advertencia8";
    QTest::newRow("longest: count 0") << "longest"
                                      << ""
                                      << ""
                                      << "800" << true << "0"
                                      << "Texto_advertencia4";
    QTest::newRow("longest: starts, size fields ignored") << "longest"
                                                          << ""
                                                          << "abc"
                                                          << "800" << true << "1"
                                                          << "";
    QTest::newRow("keep: no destination") << "keep"
                                          << ""
                                          << ""
                                          << "" << false << "1"
                                          << "Texto_advertencia8";
    QTest::newRow("keep: destination before count") << "keep"
                                                    << ""
                                                    << ""
                                                    << "" << false << "0"
                                                    << "Texto_advertencia8";
    QTest::newRow("keep: size fields not looked at") << "keep"
                                                     << "6a"
                                                     << ""
                                                     << "x" << false << "1"
                                                     << "Texto_advertencia8";
    QTest::newRow("keep: count 0") << "keep"
                                   << ""
                                   << ""
                                   << "" << true << "0"
                                   << "Texto_advertencia4";
    QTest::newRow("keep: starts with every field empty") << "keep"
                                                         << ""
                                                         << ""
                                                         << "" << true << "1"
                                                         << "";
}

// Label10's text is what Start tests, so the rows set it rather than listing files.
void TestBatchRun::startChecks() {
    QFETCH(QString, mode);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, longest);
    QFETCH(bool, hasDestination);
    QFETCH(QString, count);
    QFETCH(QString, warning);
    ModalAnswerer answers;  // the digit warnings of the fields themselves come first
    if (mode == QLatin1String("longest")) click(Form1->CheckBox1);
    if (mode == QLatin1String("keep")) {
        Form1->CheckBox2->setEnabled(true);
        click(Form1->CheckBox2);
    }
    setExplicitSize(width, height);
    Form1->Edit4->setText(longest);
    const QString destination = fixture_->imagePath("RES/");
    Form1->Edit3->setText(hasDestination ? destination : QString());
    Form1->Label10->setText(count);
    answers.clear();

    click(Form1->Button3);
    const bool started = Form1->Timer1->isActive();
    Form1->Timer1->stop();

    if (warning.isEmpty()) {
        QVERIFY(started);
        QVERIFY(isRunning());
        QVERIFY(answers.msgBoxes().isEmpty());
        QVERIFY(QDir(destination).exists());
        QCOMPARE(Form1->ProgressBar2->isVisible(), mode != QLatin1String("explicit"));
        return;
    }
    QCOMPARE(answers.msgBoxes().size(), 1);
    expectWarning(answers.msgBoxes()[0], warning.toLatin1().constData(), 3);
    QVERIFY(!started);
    QVERIFY(isIdle());
    QVERIFY(!QDir(destination).exists());
}

void TestBatchRun::existingFolderIsUsedOnlyWhenConfirmed_data() {
    QTest::addColumn<MsgBoxAnswer>("answer");
    QTest::addColumn<bool>("confirm");
    QTest::newRow("yes") << MsgBoxAnswer::Button2 << true;
    QTest::newRow("no") << MsgBoxAnswer::Button3 << false;
    // The answer an earlier question left must not replace the user's files.
    QTest::newRow("close box after an earlier yes") << MsgBoxAnswer::CloseBox << false;
    QTest::newRow("escape after an earlier yes") << MsgBoxAnswer::Escape << false;
}

void TestBatchRun::existingFolderIsUsedOnlyWhenConfirmed() {
    QFETCH(MsgBoxAnswer, answer);
    QFETCH(bool, confirm);
    const QString input = fixture_->writeJpeg("a.jpg", 200, 150);
    QVERIFY(listFiles({input}));
    setExplicitSize("100", "75");
    QVERIFY(QDir().mkpath(Form1->Edit3->text()));
    Form6->Respuesta = true;  // as an earlier question answered Yes leaves it
    ModalAnswerer answers;
    answers.answerMsgBox(answer);
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion, if it comes

    click(Form1->Button3);

    QCOMPARE(answers.msgBoxes().size(), 1);
    expectWarning(answers.msgBoxes()[0], "Texto_advertencia5", 1);
    QCOMPARE(answers.stuckAnswers(), 0);
    if (!confirm) {
        QVERIFY(isIdle());
        QVERIFY(!QFileInfo::exists(Form1->Edit3->text() + "a.jpg"));
        return;
    }
    QVERIFY(isRunning());
    QVERIFY(answers.waitForMsgBoxes(2));
    QCOMPARE(ImageFileSize(Form1->Edit3->text() + "a.jpg"), QSize(100, 75));
}

void TestBatchRun::confirmedFolderWithoutParentStopsAtTheFirstFile() {
    QVERIFY(
        listFiles({fixture_->writeJpeg("a.jpg", 80, 60), fixture_->writeJpeg("b.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    Form1->Edit3->setText(fixture_->imagePath("missing/RES/"));
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button2);
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // stop
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the summary: the folder stays closed

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(3));

    expectFailure(answers.msgBoxes()[1], "a.jpg", "Texto_motivo4");
    QCOMPARE(answers.msgBoxes()[2].text,
             expectedSummary(0, 2, {failedLine("a.jpg", "Texto_motivo4")}, 1));
    QVERIFY(isIdle());
    QVERIFY(!QFileInfo::exists(Form1->Edit3->text() + "b.jpg"));
}

// The real timer runs: a timer left on during the question would convert the third file. Stop
// ends the run there, with the summary a finished run shows.
void TestBatchRun::stopAfterAFailureEndsTheRunWithItsSummary() {
    const QString first = fixture_->writeJpeg("a.jpg", 120, 90);
    const QString broken = fixture_->writeJpeg("b.jpg", 120, 90);
    const QString third = fixture_->writeJpeg("c.jpg", 120, 90);
    QVERIFY(listFiles({first, broken, third}));
    QVERIFY(QFile::remove(broken));
    setExplicitSize("60", "45");
    const QString destination = Form1->Edit3->text();
    bool timerOffDuringMessage = false;
    int progressDuringMessage = 0;
    QString statusDuringSummary;
    ModalAnswerer answers;
    answers.answerMsgBox([&](TForm6* box) {
        timerOffDuringMessage = !Form1->Timer1->isActive();
        progressDuringMessage = Form1->ProgressBar2->value();
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button3);
    });
    answers.answerMsgBox([&](TForm6* box) {
        statusDuringSummary = Form1->StatusBar->currentMessage();
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button3);
    });

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(2));
    // What the run has posted meanwhile is delivered; with its timer off nothing else comes.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    expectFailure(answers.msgBoxes()[0], "b.jpg", "Texto_motivo6");
    QVERIFY(timerOffDuringMessage);
    QCOMPARE(progressDuringMessage, 2);
    const MsgBoxRecord& summary = answers.msgBoxes()[1];
    QCOMPARE(summary.caption, text("Texto_redimension"));
    QCOMPARE(summary.shownKind, 1);
    QCOMPARE(summary.text, expectedSummary(1, 3, {failedLine("b.jpg", "Texto_motivo6")}, 1));
    QCOMPARE(statusDuringSummary, text("Texto_redimension3"));
    QVERIFY(isIdle());
    QCOMPARE(Form1->StatusBar->currentMessage(), text("Texto_redimension3"));
    QVERIFY(QFileInfo::exists(destination + "a.jpg"));
    QVERIFY(!QFileInfo::exists(destination + "c.jpg"));
    // The failed entry is also selected in the list.
    const QList<QListWidgetItem*> selected = Form1->ListBox1->selectedItems();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0]->text(), broken);
    QVERIFY(opener_->opened().isEmpty());
}

void TestBatchRun::failedFileAsksWhetherToGoOn_data() {
    QTest::addColumn<MsgBoxAnswer>("answer");
    QTest::newRow("Go on: the other files follow, and the end says which failed and why")
        << MsgBoxAnswer::Button2;
    QTest::newRow("Stop: the run ends with its summary") << MsgBoxAnswer::Button3;
    QTest::newRow("close box after an earlier Yes: stops") << MsgBoxAnswer::CloseBox;
    QTest::newRow("Escape after an earlier Yes: stops") << MsgBoxAnswer::Escape;
}

// The real timer runs: after Yes the third file converts without another press.
void TestBatchRun::failedFileAsksWhetherToGoOn() {
    QFETCH(MsgBoxAnswer, answer);
    const bool goOn = answer == MsgBoxAnswer::Button2;
    Form6->Respuesta = true;  // as an earlier question answered Yes leaves it
    const QString broken = fixture_->writeJpeg("b.jpg", 120, 90);
    QVERIFY(listFiles(
        {fixture_->writeJpeg("a.jpg", 120, 90), broken, fixture_->writeJpeg("c.jpg", 120, 90)}));
    QVERIFY(QFile::remove(broken));
    setExplicitSize("60", "45");
    const QString destination = Form1->Edit3->text();
    ModalAnswerer answers;
    answers.answerMsgBox(answer);
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion: the folder stays closed

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(2));

    expectFailure(answers.msgBoxes()[0], "b.jpg", "Texto_motivo6");
    QCOMPARE(answers.stuckAnswers(), 0);
    QVERIFY(isIdle());
    const MsgBoxRecord& summary = answers.msgBoxes()[1];
    QCOMPARE(summary.caption, text("Texto_redimension"));
    QCOMPARE(summary.shownKind, 1);
    if (!goOn) {
        QCOMPARE(summary.text, expectedSummary(1, 3, {failedLine("b.jpg", "Texto_motivo6")}, 1));
        QVERIFY(!QFileInfo::exists(destination + "c.jpg"));
        return;
    }
    QCOMPARE(ImageFileSize(destination + "c.jpg"), QSize(60, 45));
    QCOMPARE(summary.text, expectedSummary(2, 3, {failedLine("b.jpg", "Texto_motivo6")}, 0));
    // Every failed entry can be seen: it stays selected in the list.
    const QList<QListWidgetItem*> selected = Form1->ListBox1->selectedItems();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0]->text(), broken);
}

void TestBatchRun::cancelBetweenTwoFiles() {
    QVERIFY(
        listFiles({fixture_->writeJpeg("a.jpg", 80, 60), fixture_->writeJpeg("b.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    bool runningDuringNotice = false;
    answers.answerMsgBox([&](TForm6* box) {
        runningDuringNotice = isRunning();
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button1);
    });
    startHeld();
    QVERIFY(kavenra::testing::RunOneTick());

    click(Form1->Button4);

    QCOMPARE(answers.msgBoxes().size(), 1);
    expectWarning(answers.msgBoxes()[0], "Texto_redimension4", 0);
    QVERIFY(runningDuringNotice);
    QCOMPARE(Form1->StatusBar->currentMessage(), text("Texto_redimension4"));
    QVERIFY(isIdle());
    QCOMPARE(ImageFileSize(Form1->Edit3->text() + "a.jpg"), QSize(40, 30));
    QVERIFY(!QFileInfo::exists(Form1->Edit3->text() + "b.jpg"));
    // An output gets its final name only when the window takes a result: with no file in hand
    // and the timer off, the events already posted are all that could still bring the second.
    QVERIFY(!Form1->FileInHand());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(!QFileInfo::exists(Form1->Edit3->text() + "b.jpg"));
}

void TestBatchRun::fieldEditedBetweenTicksAppliesToTheNextFile() {
    QStringList inputs;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        inputs << fixture_->writeJpeg(name, 1600, 1200);
    QVERIFY(listFiles(inputs));
    setExplicitSize("640", "480");
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    startHeld();

    QVERIFY(kavenra::testing::RunOneTick());
    Form1->Edit1->setText(QStringLiteral("800"));
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(kavenra::testing::RunOneTick());

    const QString destination = Form1->Edit3->text();
    QCOMPARE(ImageFileSize(destination + "a.jpg"), QSize(640, 480));
    QCOMPARE(ImageFileSize(destination + "b.jpg"), QSize(800, 480));
    QCOMPARE(ImageFileSize(destination + "c.jpg"), QSize(800, 480));
    QCOMPARE(answers.msgBoxes().size(), 1);
}

void TestBatchRun::modeIsChosenAnewOnEveryTick() {
    QVERIFY(listFiles(
        {fixture_->writeJpeg("a.jpg", 300, 200), fixture_->writeJpeg("b.jpg", 300, 200)}));
    setExplicitSize("30", "30");
    Form1->Edit4->setText(QStringLiteral("150"));
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    startHeld();

    QVERIFY(kavenra::testing::RunOneTick());
    click(Form1->CheckBox1);
    QVERIFY(kavenra::testing::RunOneTick());

    QCOMPARE(ImageFileSize(Form1->Edit3->text() + "a.jpg"), QSize(30, 30));
    QCOMPARE(ImageFileSize(Form1->Edit3->text() + "b.jpg"), QSize(150, 100));
}

void TestBatchRun::unconvertibleFieldFailsTheFile_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("width emptied") << "Edit1"
                                   << "";
    QTest::newRow("height with a letter") << "Edit2"
                                          << "4x";
    QTest::newRow("width beyond 32 bits") << "Edit1"
                                          << "99999999999";
    QTest::newRow("longest side emptied") << "Edit4"
                                          << "";
}

// Start accepts digits of any length; between ticks a field may be changed into anything. The
// file fails and the run stops with the run's own message, with no error box of the conversion.
void TestBatchRun::unconvertibleFieldFailsTheFile() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QVERIFY(
        listFiles({fixture_->writeJpeg("a.jpg", 80, 60), fixture_->writeJpeg("b.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    Form1->Edit4->setText(QStringLiteral("50"));
    if (field == QLatin1String("Edit4")) click(Form1->CheckBox1);
    ModalAnswerer answers;
    startHeld();
    QVERIFY(kavenra::testing::RunOneTick());
    Form1->findChild<QLineEdit*>(field)->setText(value);
    answers.clear();

    QVERIFY(kavenra::testing::RunOneTick());

    QVERIFY(answers.messageBoxes().isEmpty());
    const QList<MsgBoxRecord> boxes = answers.msgBoxes();
    QVERIFY(!boxes.isEmpty());
    expectFailure(boxes.last(), "b.jpg", nullptr);
    QCOMPARE(Form1->RunPosition(), 2);
    QVERIFY(!Form1->Timer1->isActive());
    QVERIFY(!QFileInfo::exists(Form1->Edit3->text() + "b.jpg"));
}

void TestBatchRun::filesDroppedDuringARunAreConverted() {
    QVERIFY(
        listFiles({fixture_->writeJpeg("a.jpg", 80, 60), fixture_->writeJpeg("b.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    startHeld();
    QVERIFY(kavenra::testing::RunOneTick());

    QVERIFY(DropFiles(Form1->ListBox1,
                      {fixture_->writeJpeg("c.jpg", 80, 60), fixture_->writeJpeg("d.jpg", 80, 60)})
                .dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QVERIFY(Form1->ListBox1->isEnabled());  // the pass's end enables it ...
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(!Form1->ListBox1->isEnabled());  // ... and the next tick disables it again
    QVERIFY(!Form1->Button3->isVisible());
    QCOMPARE(Form1->ProgressBar2->maximum(), 4);
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(kavenra::testing::RunOneTick());

    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_redimension2"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        QCOMPARE(ImageFileSize(Form1->Edit3->text() + name), QSize(40, 30));
}

void TestBatchRun::dropDuringARunRedirectsTheLaterFiles_data() {
    QTest::addColumn<bool>("newFolderExists");
    QTest::newRow("new folder exists") << true;
    QTest::newRow("new folder missing") << false;
}

// The destination is read for every file: a drop from another folder during a run sends the
// files after it, those listed before the drop included, to the folder it proposes. The run
// creates no folder of its own after Start, so a missing one fails the next file.
void TestBatchRun::dropDuringARunRedirectsTheLaterFiles() {
    QFETCH(bool, newFolderExists);
    QVERIFY(listFiles(
        {fixture_->writeJpeg("uno/a.jpg", 80, 60), fixture_->writeJpeg("uno/b.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    const QString first = Form1->Edit3->text();
    const QString second = fixture_->imagePath("dos/RES/");
    const QString dropped = fixture_->writeJpeg("dos/c.jpg", 80, 60);
    if (newFolderExists) QVERIFY(QDir().mkpath(second));
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    startHeld();
    QVERIFY(kavenra::testing::RunOneTick());

    QVERIFY(DropFiles(Form1->ListBox1, {dropped}).dropped);
    QCOMPARE(Form1->Edit3->text(), second);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QVERIFY(kavenra::testing::RunOneTick());

    QCOMPARE(ImageFileSize(first + "a.jpg"), QSize(40, 30));
    QVERIFY(!QFileInfo::exists(first + "b.jpg"));
    if (!newFolderExists) {
        QCOMPARE(answers.msgBoxes().size(), 2);
        expectFailure(answers.msgBoxes()[0], "b.jpg", "Texto_motivo4");
        QCOMPARE(answers.msgBoxes()[1].text,
                 expectedSummary(1, 3, {failedLine("b.jpg", "Texto_motivo4")}, 1));
        QVERIFY(isIdle());
        QVERIFY(!QDir(second).exists());
        return;
    }
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(kavenra::testing::RunOneTick());
    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_redimension2"));
    QVERIFY(isIdle());
    for (const char* name : {"b.jpg", "c.jpg"}) {
        QCOMPARE(ImageFileSize(second + name), QSize(40, 30));
        QVERIFY(!QFileInfo::exists(first + name));
    }
    QVERIFY(!QFileInfo::exists(second + "a.jpg"));
}

// A counting pass that ends during a run enables "Limpiar" until the next tick; a list cleared in
// that moment must end the run rather than be read past its end.
void TestBatchRun::listClearedBetweenTicksEndsTheRun() {
    QVERIFY(listFiles({fixture_->writeJpeg("a.jpg", 80, 60), fixture_->writeJpeg("b.jpg", 80, 60),
                       fixture_->writeJpeg("c.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);
    startHeld();
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(listFiles({fixture_->writeJpeg("d.jpg", 80, 60)}));
    QVERIFY(Form1->Button2->isEnabled());

    click(Form1->Button2);
    QVERIFY(kavenra::testing::RunOneTick());

    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_redimension2"));
    QVERIFY(isIdle());
}

// Cancel enables "Limpiar" whether or not a counting pass is running.
void TestBatchRun::listClearedDuringACountingPassEndsThePass() {
    QVERIFY(listFiles({fixture_->writeJpeg("a.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    startHeld();
    QVERIFY(DropFiles(Form1->ListBox1,
                      {fixture_->writeJpeg("b.jpg", 80, 60), fixture_->writeJpeg("c.jpg", 80, 60)})
                .dropped);
    Form1->Timer2->stop();
    Form1->Timer2Timer();
    Form1->Timer2Timer();
    click(Form1->Button4);
    QVERIFY(Form1->Button2->isEnabled());

    click(Form1->Button2);
    Form1->Timer2Timer();

    QCOMPARE(Form1->ValidatedCount, 0);
    QVERIFY(Form1->ProgressBar1->isHidden());
    QVERIFY(Form1->ListBox1->isEnabled() && Form1->Button2->isEnabled() &&
            Form1->Button3->isEnabled());
}

void TestBatchRun::rawFilesKeepTheirOwnSize() {
    QVERIFY(listFiles({fixture_->writeCameraRaw("IMG_0001.DNG", 1),
                       fixture_->writeCameraRaw("IMG_0002.DNG", 2)}));
    QVERIFY(Form1->CheckBox2->isEnabled());
    click(Form1->CheckBox2);
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(1));

    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_redimension2"));
    const kavenra::test::CameraRawSpec preview;
    for (const char* name : {"IMG_0001.jpg", "IMG_0002.jpg"}) {
        QCOMPARE(ImageFileSize(Form1->Edit3->text() + name),
                 QSize(preview.previewWidth, preview.previewHeight));
    }
}

void TestBatchRun::destinationTextNamesAFolder_data() {
    QTest::addColumn<bool>("absolute");  // else relative to the working folder
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("exists");
    QTest::newRow("absolute, without a final separator") << true << "salida" << false;
    QTest::newRow("absolute, with one") << true << "salida/" << false;
    QTest::newRow("absolute, an existing folder without one") << true << "salida" << true;
    QTest::newRow("relative, without a final separator") << false << "abc" << false;
    QTest::newRow("relative, with one") << false << "abc/" << false;
}

// The destination text names a folder whether or not it ends in "/": Start makes (or asks about)
// that folder, the outputs go inside it and nothing beside it, and the completion opens it.
void TestBatchRun::destinationTextNamesAFolder() {
    QFETCH(bool, absolute);
    QFETCH(QString, typed);
    QFETCH(bool, exists);
    const QString base = absolute ? fixture_->imageFolder() : QDir::currentPath();
    const QString folder = QDir::cleanPath(base + QLatin1Char('/') + typed);
    if (exists) QVERIFY(QDir().mkpath(folder));
    QVERIFY(listFiles({fixture_->writeJpeg("a.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    Form1->Edit3->setText(absolute ? fixture_->imagePath(typed) : typed);
    ModalAnswerer answers;
    if (exists) answers.answerMsgBox(MsgBoxAnswer::Button2);
    answers.answerMsgBox(MsgBoxAnswer::Button2);  // the completion: open the folder

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(exists ? 2 : 1));

    if (exists) expectWarning(answers.msgBoxes()[0], "Texto_advertencia5", 1);
    QCOMPARE(answers.msgBoxes().last().text, text("Texto_redimension2"));
    QCOMPARE(ImageFileSize(folder + "/a.jpg"), QSize(40, 30));
    QVERIFY(!QFileInfo::exists(folder + "a.jpg"));
    QCOMPARE(opener_->opened().size(), 1);
    QCOMPARE(QDir::cleanPath(opener_->opened()[0].toLocalFile()), folder);
}

void TestBatchRun::namesBeyondAsciiReachTheImageLibrary() {
    const QString input =
        fixture_->writeJpeg(QString::fromUtf8("verano/año ñandú 日本.jpg"), 80, 60);
    QVERIFY(!input.isEmpty());
    QVERIFY(listFiles({input}));
    QCOMPARE(Form1->ListBox1->count(), 1);
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(1));

    QCOMPARE(answers.msgBoxes()[0].text, text("Texto_redimension2"));
    QCOMPARE(ImageFileSize(fixture_->imagePath(QString::fromUtf8("verano/RES/año ñandú 日本.jpg"))),
             QSize(40, 30));
}

void TestBatchRun::completionOpensTheFolderOnlyOnYes_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestBatchRun::completionOpensTheFolderOnlyOnYes() {
    QFETCH(bool, yes);
    QVERIFY(listFiles({fixture_->writeJpeg("a.jpg", 80, 60)}));
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    answers.answerMsgBox(yes ? MsgBoxAnswer::Button2 : MsgBoxAnswer::Button3);

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(1));

    const QList<QUrl> expected{QUrl::fromLocalFile(Form1->Edit3->text())};
    QCOMPARE(opener_->opened(), yes ? expected : QList<QUrl>{});
}

// Beyond the first few, the summary counts the failed entries it does not name.
void TestBatchRun::summaryNamesTheFirstFailuresWithTheirReasons() {
    QStringList inputs;
    for (int i = 1; i <= 7; ++i) {
        inputs << fixture_->writeJpeg(QStringLiteral("f%1.jpg").arg(i), 80, 60, i);
    }
    QVERIFY(listFiles(inputs));
    for (const QString& input : inputs) QVERIFY(QFile::remove(input));
    setExplicitSize("40", "30");
    ModalAnswerer answers;
    for (int i = 0; i < 7; ++i) answers.answerMsgBox(MsgBoxAnswer::Button2);  // go on
    answers.answerMsgBox(MsgBoxAnswer::Button3);

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(8));

    QString expected = text("Texto_resumen1") + " 0 7\n\n" + text("Texto_resumen2") + " 7";
    for (int i = 1; i <= 5; ++i) {
        expected +=
            QLatin1Char('\n') + failedLine(QStringLiteral("f%1.jpg").arg(i), "Texto_motivo6");
    }
    expected += QLatin1Char('\n') + text("Texto_resumen4") + " 2\n" + text("Texto_resumen5") +
                "\n\n" + text("Texto_resumen6");
    QCOMPARE(answers.msgBoxes()[7].text, expected);
    QVERIFY(isIdle());
}

void TestBatchRun::closingDuringARunAsksFirst_data() {
    QTest::addColumn<MsgBoxAnswer>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("stop and close") << MsgBoxAnswer::Button2 << true;
    QTest::newRow("go on") << MsgBoxAnswer::Button3 << false;
    QTest::newRow("the close box goes on") << MsgBoxAnswer::CloseBox << false;
    QTest::newRow("Escape goes on") << MsgBoxAnswer::Escape << false;
}

// The file in hand is held at its temporary file while the window is closed. "Stop and close"
// ends the program with nothing of that file left; any other answer lets the run go on.
void TestBatchRun::closingDuringARunAsksFirst() {
    QFETCH(MsgBoxAnswer, answer);
    QFETCH(bool, closes);
    QVERIFY(listFiles({fixture_->writeJpeg("a.jpg", 1600, 1200)}));
    setExplicitSize("800", "600");
    const QString destination = Form1->Edit3->text();
    const auto leftInDestination = [&destination] {
        return QDir(destination).entryList(QDir::Files | QDir::Hidden | QDir::System);
    };
    ModalAnswerer answers;
    answers.answerMsgBox(answer);
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion, if it comes
    pid_t job = 0;
    const auto resume = qScopeGuard([&job] {
        if (job > 0) kill(job, SIGCONT);
    });
    {
        const kavenra::testing::SaveHold hold;
        click(Form1->Button3);
        job = kavenra::testing::WaitForStoppedImageJob(runWorker, 60000);
        QVERIFY(job > 0);
        QCOMPARE(leftInDestination().size(), 1);  // the temporary file, nothing under its name

        if (closes) {
            QTimer safety;
            safety.setSingleShot(true);
            connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
            safety.start(60000);
            QTimer::singleShot(0, Form1, [] { Form1->close(); });
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(!Form1->isVisible());
        } else {
            Form1->close();
            QVERIFY(Form1->isVisible());
            QVERIFY(isRunning());
        }
    }
    QCOMPARE(answers.msgBoxes().size(), 1);
    const MsgBoxRecord& question = answers.msgBoxes()[0];
    QCOMPARE(question.caption, text("Caption_Atencion"));
    QCOMPARE(question.text, text("Texto_cerrar_en_curso"));
    QCOMPARE(question.shownKind, 1);
    QCOMPARE(question.buttonCaptions,
             (QStringList{text("Texto_boton_cerrar"), text("Texto_boton_seguir")}));
    if (closes) {
        QVERIFY(kavenra::testing::WaitForProcessEnd(job, 60000));
        QTRY_COMPARE_WITH_TIMEOUT(leftInDestination(), QStringList(), 60000);
        return;
    }
    kill(job, SIGCONT);
    QVERIFY(answers.waitForMsgBoxes(2, 60000));
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes()[1].text, text("Texto_redimension2"));
    QCOMPARE(leftInDestination(), QStringList{"a.jpg"});
    QCOMPARE(ImageFileSize(destination + "a.jpg"), QSize(800, 600));
}

void TestBatchRun::storedChoicesActWithoutTheOptionsDialog_data() {
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<bool>("openedAndEscaped");
    QTest::addColumn<bool>("placeKept");
    const QStringList tiffWithoutPlace{QStringLiteral("guardar_como = '4'"),
                                       QStringLiteral("quitar_ubicacion = '1'")};
    QTest::newRow("never opened") << tiffWithoutPlace << false << false;
    QTest::newRow("opened and left with Escape") << tiffWithoutPlace << true << false;
    // The same file keeps its place when that is not asked: the check can see one.
    QTest::newRow("place not removed")
        << QStringList{QStringLiteral("guardar_como = '4'")} << false << true;
}

// Stored "Save as TIFF" and "Remove the location" act from the window's start, whether or not
// the options dialog is ever opened; leaving it with Escape changes nothing.
void TestBatchRun::storedChoicesActWithoutTheOptionsDialog() {
    QFETCH(QStringList, stored);
    QFETCH(bool, openedAndEscaped);
    QFETCH(bool, placeKept);
    // The settings as the user left them, before the program starts.
    fixture_.reset();
    fixture_ = std::make_unique<MainWindowFixture>(MainWindowFixture::Texts::KeyNames, stored);
    QVERIFY(fixture_->isValid());
    const QString source = fixture_->writeJpeg("photo.jpg", 120, 90);
    QVERIFY(kavenra::test::WriteLocatedPhotoMetadata(kavenra::test::NativePath(source)));
    QVERIFY(namesAPlace(source));
    QVERIFY(listFiles({source}));
    setExplicitSize("60", "45");
    if (openedAndEscaped) {
        Form1->Opcionesdecalidadyredimensionado1->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Form3));
        QTest::keyClick(Form3, Qt::Key_Escape);
        QVERIFY(!Form3->isVisible());
    }
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(1));

    const QString output = Form1->Edit3->text() + "photo.tif";
    QCOMPARE(FreeImage_GetFileType(kavenra::test::NativePath(output).c_str(), 0), FIF_TIFF);
    QCOMPARE(ImageFileSize(output), QSize(60, 45));
    QVERIFY(!QFileInfo::exists(Form1->Edit3->text() + "photo.jpg"));
    QCOMPARE(namesAPlace(output), placeKept);
}

// A new user's settings come from the shipped file: a 4:3 preset keeps a portrait upright, inside
// the box, and a picture already smaller than the box keeps its size.
void TestBatchRun::newSettingsKeepPortraitsUprightAndSmallPicturesSmall() {
    fixture_.reset();
    fixture_ = std::make_unique<MainWindowFixture>(MainWindowFixture::Texts::Shipped);
    QVERIFY(fixture_->isValid());
    const QString portrait = fixture_->writeJpeg("portrait.jpg", 900, 1200);
    const QString small = fixture_->writeJpeg("small.jpg", 200, 150);
    QVERIFY(listFiles({portrait, small}));
    click(Form1->RadioButton2);  // 640 x 480
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);

    click(Form1->Button3);
    QVERIFY(answers.waitForMsgBoxes(1));

    QCOMPARE(ImageFileSize(Form1->Edit3->text() + "portrait.jpg"), QSize(360, 480));
    QCOMPARE(ImageFileSize(Form1->Edit3->text() + "small.jpg"), QSize(200, 150));
}

// A run in English as a user follows it, saved for the eye (<build>/screenshots or the folder
// KAVENRA_SCREENSHOT_DIR names): the status bar telling how far it is and how long it has left,
// the question on closing the window, the question after a failed file and the summary of the
// run stopped there.
void TestBatchRun::screenshotsOfARun() {
    fixture_.reset();
    fixture_ = std::make_unique<MainWindowFixture>(MainWindowFixture::Texts::Shipped);
    QVERIFY(fixture_->isValid());
    QCOMPARE(kavenra::testing::RunSql(
                 QStringLiteral("KVConfig.db"),
                 QStringLiteral("UPDATE idiomas SET activo = CASE idioma WHEN 'English' THEN '1' "
                                "ELSE '0' END")),
             QString());
    TranslateAllForms();
    const QDir folder(kavenra::testing::ScreenshotFolder());
    QVERIFY(QDir().mkpath(folder.path()));
    const auto save = [&folder](const QImage& shot, const char* name) {
        const QString path = folder.absoluteFilePath(QLatin1String(name));
        QVERIFY2(shot.save(path), qPrintable(path));
        qInfo("saved %s", qPrintable(path));
    };
    const QString failing = fixture_->writeJpeg("IMG_0103.JPG", 1600, 1200, 3);
    QVERIFY(listFiles({fixture_->writeJpeg("IMG_0101.JPG", 1600, 1200, 1),
                       fixture_->writeJpeg("IMG_0102.JPG", 1600, 1200, 2), failing}));
    QVERIFY(QFile::remove(failing));
    click(Form1->RadioButton4);  // 1024 x 768
    Form1->SetLookAhead(false);
    ModalAnswerer answers;
    answers.answerMsgBox([&save](TForm6* box) {
        save(box->grab().toImage(), "run-close-question.png");
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button3);  // go on
    });
    answers.answerMsgBox([&save](TForm6* box) {
        save(box->grab().toImage(), "run-failure-question.png");
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button3);  // stop
    });
    answers.answerMsgBox([&save](TForm6* box) {
        save(box->grab().toImage(), "run-stopped-summary.png");
        ModalAnswerer::Apply(box, MsgBoxAnswer::Button3);
    });
    const auto heldJob = [] { return kavenra::testing::WaitForStoppedImageJob(runWorker, 60000); };
    pid_t second = 0;
    {
        const kavenra::testing::SaveHold hold;
        click(Form1->Button3);
        const pid_t first = heldJob();
        QVERIFY(first > 0);
        kill(first, SIGCONT);
        // Let go, the first file is written; the next one's save is held in its turn.
        QTRY_VERIFY_WITH_TIMEOUT(
            Form1->StatusBar->currentMessage().contains(QStringLiteral("2 of 3, about ")), 60000);
        second = heldJob();
        QVERIFY(second > 0);
        QVERIFY(Form1->StatusBar->currentMessage().contains(QStringLiteral("2 of 3, about ")));
        save(Form1->grab().toImage(), "run-progress.png");
        Form1->close();
        QVERIFY(Form1->isVisible());
    }
    kill(second, SIGCONT);
    QVERIFY(answers.waitForMsgBoxes(3, 60000));
    QVERIFY(isIdle());
    QCOMPARE(answers.msgBoxes()[2].buttonCaptions, (QStringList{"Yes", "No"}));
    QCOMPARE(answers.msgBoxes()[1].buttonCaptions, (QStringList{"Go on", "Stop"}));
}

KAVENRA_WINDOW_TEST_MAIN(TestBatchRun)
#include "test_batchrun.moc"
