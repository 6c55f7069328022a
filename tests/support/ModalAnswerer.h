#pragma once

// Answers every modal window a test opens, records what each showed, and so keeps a test from
// hanging on a box nobody expected.
//
// While a ModalAnswerer lives, a timer (running in every nested modal loop) looks at
// QApplication::activeModalWidget(). Each new showing of a modal window is recorded and answered
// once:
//   - the message box Form6 (TForm6): with the next scripted MsgBoxAnswer or action, else by
//     pressing its first visible button;
//   - a QMessageBox (ShowMessage, ApplicationMessageBox, the general error display): by pressing
//     its default (or first) button; the next scripted MessageBox action runs instead when given;
//   - any other QDialog (language dialog, folder chooser, input box, ...): with the next scripted
//     dialog action, else reject().
// A window that is still open a while after its answer (an action that did not close it) gets
// the default answer, so a test never blocks for good; stuckAnswers() counts those rescues, and a
// warning is logged, so a test can tell that its own answer did not work.
//
//   kavenra::testing::ModalAnswerer answers;
//   answers.answerMsgBox(MsgBoxAnswer::Button2);        // the first question: the affirmative
//   answers.answerMsgBox(MsgBoxAnswer::CloseBox);       // the second: the close box
//   QTest::mouseClick(Form1->Button3, Qt::LeftButton);  // the handler shows the boxes
//   QCOMPARE(answers.msgBoxes().size(), 2);
//   QCOMPARE(answers.msgBoxes()[0].text, QString("..."));
//   QCOMPARE(answers.messageBoxTexts(), QStringList{"Error al leer ..."});
//
// Messages shown from a timer come later: QVERIFY(answers.waitForMsgBoxes(1));
// Keep one ModalAnswerer alive at a time (two would both answer the same window).
//
// KAVENRA_WINDOW_TEST_MAIN(TestClass) is QTEST_MAIN with the program's application object
// (its general error display included), the window services and the Carbon theme.

#include <QDialog>
#include <QHash>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class TForm6;

namespace kavenra::testing {

enum class MsgBoxAnswer {
    FirstVisibleButton,  // what a user pressing the obvious button does; the default
    Button1,
    Button2,   // the affirmative answer of a question
    Button3,   // "No"
    CloseBox,  // the caption bar's close box (also the platform's close keystroke)
    Enter,     // Return key to the focused control
    Space,     // space bar to the focused control
    Escape,    // Escape to the focused control
};

// What Form6 showed when it was answered.
struct MsgBoxRecord {
    QString caption;
    QString text;
    // 0 information, 1 question, 2 search, 3 error, 4 compass, from the one visible picture;
    // -1 when no or several pictures were visible.
    int shownKind = -1;
    QStringList pictures;  // object names of the visible pictures
    QList<QPoint> picturePositions;
    QStringList buttons;         // object names of the visible buttons, in tab order
    QStringList buttonCaptions;  // their captions, same order
    QString button1Caption;      // Button1's caption, also when hidden
    QString focusedButton;       // object name of the control holding the focus
};

// What a QMessageBox showed.
struct MessageBoxRecord {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;  // button texts
};

// Any other modal dialog.
struct DialogRecord {
    QString className;
    QString objectName;
    QString title;
};

class ModalAnswerer final : public QObject {
    Q_OBJECT
  public:
    explicit ModalAnswerer(int pollIntervalMs = 5);
    ~ModalAnswerer() override;

    // Scripted answers, used in order, one per showing of that kind of window.
    void answerMsgBox(MsgBoxAnswer answer);
    void answerMsgBox(std::function<void(TForm6*)> action);
    void answerMessageBox(std::function<void(QMessageBox*)> action);
    void answerDialog(std::function<void(QDialog*)> action);

    const QList<MsgBoxRecord>& msgBoxes() const { return msgBoxes_; }
    const QList<MessageBoxRecord>& messageBoxes() const { return messageBoxes_; }
    const QList<DialogRecord>& dialogs() const { return dialogs_; }
    QStringList messageBoxTexts() const;
    int pendingMsgBoxAnswers() const { return static_cast<int>(msgBoxScript_.size()); }
    // Windows that stayed open after their answer and were closed by the default answer.
    int stuckAnswers() const { return stuckAnswers_; }
    void clear();

    // Runs the event loop until that many message boxes (Form6) / QMessageBoxes have been
    // answered in all; false on time-out.
    bool waitForMsgBoxes(int count, int timeoutMs = 10000);
    bool waitForMessageBoxes(int count, int timeoutMs = 10000);

    // Also prints one line per answered window on standard output, flushed at once; for child
    // processes whose output the parent test reads.
    void setEcho(bool echo) { echo_ = echo; }

    // Carries out one answer on an open Form6; usable inside a scripted action.
    static void Apply(TForm6* form, MsgBoxAnswer answer);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void poll();
    void answerMsgBoxWindow(TForm6* form);
    void answerMessageBoxWindow(QMessageBox* box);
    void answerOtherDialog(QDialog* dialog);
    void answerByDefault(QWidget* window);
    void echo(const QString& line) const;

    QTimer timer_;
    QQueue<std::function<void(TForm6*)>> msgBoxScript_;
    QQueue<std::function<void(QMessageBox*)>> messageBoxScript_;
    QQueue<std::function<void(QDialog*)>> dialogScript_;
    QList<MsgBoxRecord> msgBoxes_;
    QList<MessageBoxRecord> messageBoxes_;
    QList<DialogRecord> dialogs_;
    QHash<QObject*, quint64> showSerial_;
    quint64 nextSerial_ = 0;
    QPointer<QWidget> answeredWindow_;
    quint64 answeredSerial_ = 0;
    int ticksSinceAnswer_ = 0;
    int stuckAnswers_ = 0;
    bool echo_ = false;
};

// Creates the program's application object for a test and installs the window services and
// the theme. Used by KAVENRA_WINDOW_TEST_MAIN.
void PrepareWindowTestApplication();

}  // namespace kavenra::testing

#include "ui/AppServices.h"

#include <QTest>

#define KAVENRA_WINDOW_TEST_MAIN(TestObject)              \
    int main(int argc, char* argv[]) {                    \
        KavenraApplication application(argc, argv);       \
        kavenra::testing::PrepareWindowTestApplication(); \
        TestObject test;                                  \
        QTEST_SET_MAIN_SOURCE_PATH                        \
        return QTest::qExec(&test, argc, argv);           \
    }
