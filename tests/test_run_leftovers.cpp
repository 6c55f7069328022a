// A run's start clears its destination folder of the temporary files that saves of a program
// which died half-way left there, through the main window's Start: only once the run starts, and
// only those whose program is gone.

#include "support/DropFiles.h"
#include "support/FileContents.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "ui/Unit1.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;

using kavenra::testing::WriteFileContents;

namespace {

// A process id that named a process a moment ago and names none now.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

}  // namespace

class TestRunLeftovers : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
    }
    void cleanup() { fixture_.reset(); }

    void startClearsTheFolder_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("existing folder confirmed: the run starts") << true;
        QTest::newRow("existing folder declined: no run") << false;
    }

    void startClearsTheFolder() {
        QFETCH(bool, confirm);
        const QString input = fixture_->writeJpeg("a.jpg", 200, 150);
        QVERIFY(DropFiles(Form1->ListBox1, {input}).dropped &&
                MainWindowFixture::WaitForCountingPass());
        Form1->Edit1->setText("100");
        Form1->Edit2->setText("75");
        const QString folder = Form1->Edit3->text();
        QVERIFY(QDir().mkpath(folder));
        const QString ended =
            QStringLiteral(".kavenra-%1-0123456789abcdef.part").arg(EndedProcess());
        const QString running = QStringLiteral(".kavenra-%1-fedcba9876543210.part").arg(getpid());
        for (const QString& name : {ended, running, QStringLiteral("earlier.jpg")}) {
            QVERIFY(WriteFileContents(folder + name, "content\n"));
        }
        ModalAnswerer answers;
        answers.answerMsgBox(confirm ? MsgBoxAnswer::Button2 : MsgBoxAnswer::Button3);

        click(Form1->Button3);
        Form1->Timer1->stop();

        QCOMPARE(answers.msgBoxes().size(), 1);
        QStringList expected{running, "earlier.jpg"};
        if (!confirm) expected << ended;
        expected.sort();
        QCOMPARE(Listing(folder), expected);
        if (confirm) click(Form1->Button4);  // the run ends before the window goes
    }

  private:
    std::unique_ptr<MainWindowFixture> fixture_;
};

KAVENRA_WINDOW_TEST_MAIN(TestRunLeftovers)
#include "test_run_leftovers.moc"
