#include "ModalAnswerer.h"

#include "ui/Form6_msgbox.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdio>

namespace kavenra::testing {
namespace {

// Ticks a window may stay open after its answer before it gets the default answer.
constexpr int stuckTicks = 40;

QWidget* focusTarget(QWidget* window) {
    QWidget* focused = window->focusWidget();
    return focused ? focused : window;
}

void pressFirstVisibleButton(TForm6* form) {
    for (QPushButton* button : {form->Button1, form->Button2, form->Button3}) {
        if (!button->isHidden()) {
            button->click();
            return;
        }
    }
    form->close();
}

MsgBoxRecord describe(TForm6* form) {
    MsgBoxRecord record;
    record.caption = form->windowTitle();
    record.text = form->Label1->text();
    record.button1Caption = form->Button1->text();
    const QList<QLabel*> pictures = {form->Image1_Informacion, form->Image2_Question,
                                     form->Image3_Busqueda, form->Image4_Bomba,
                                     form->Image5_Brujula};
    int visibleIndex = -1;
    for (int i = 0; i < pictures.size(); ++i) {
        if (pictures[i]->isHidden()) continue;
        record.pictures.append(pictures[i]->objectName());
        record.picturePositions.append(pictures[i]->pos());
        visibleIndex = i;
    }
    record.shownKind = record.pictures.size() == 1 ? visibleIndex : -1;
    for (QPushButton* button : {form->Button1, form->Button2, form->Button3}) {
        if (button->isHidden()) continue;
        record.buttons.append(button->objectName());
        record.buttonCaptions.append(button->text());
    }
    if (QWidget* focused = form->focusWidget()) record.focusedButton = focused->objectName();
    return record;
}

}  // namespace

ModalAnswerer::ModalAnswerer(int pollIntervalMs) {
    qApp->installEventFilter(this);
    timer_.setInterval(pollIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() {
    if (qApp) qApp->removeEventFilter(this);
}

void ModalAnswerer::answerMsgBox(MsgBoxAnswer answer) {
    msgBoxScript_.enqueue([answer](TForm6* form) { Apply(form, answer); });
}

void ModalAnswerer::answerMsgBox(std::function<void(TForm6*)> action) {
    msgBoxScript_.enqueue(std::move(action));
}

void ModalAnswerer::answerMessageBox(std::function<void(QMessageBox*)> action) {
    messageBoxScript_.enqueue(std::move(action));
}

void ModalAnswerer::answerDialog(std::function<void(QDialog*)> action) {
    dialogScript_.enqueue(std::move(action));
}

QStringList ModalAnswerer::messageBoxTexts() const {
    QStringList texts;
    for (const MessageBoxRecord& record : messageBoxes_) texts.append(record.text);
    return texts;
}

void ModalAnswerer::clear() {
    msgBoxes_.clear();
    messageBoxes_.clear();
    dialogs_.clear();
    stuckAnswers_ = 0;
}

bool ModalAnswerer::waitForMsgBoxes(int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return msgBoxes_.size() >= count; }, timeoutMs);
}

bool ModalAnswerer::waitForMessageBoxes(int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return messageBoxes_.size() >= count; }, timeoutMs);
}

void ModalAnswerer::Apply(TForm6* form, MsgBoxAnswer answer) {
    switch (answer) {
        case MsgBoxAnswer::FirstVisibleButton:
            pressFirstVisibleButton(form);
            break;
        case MsgBoxAnswer::Button1:
            form->Button1->click();
            break;
        case MsgBoxAnswer::Button2:
            form->Button2->click();
            break;
        case MsgBoxAnswer::Button3:
            form->Button3->click();
            break;
        case MsgBoxAnswer::CloseBox:
            form->close();
            break;
        case MsgBoxAnswer::Enter:
            QTest::keyClick(focusTarget(form), Qt::Key_Return);
            break;
        case MsgBoxAnswer::Space:
            QTest::keyClick(focusTarget(form), Qt::Key_Space);
            break;
        case MsgBoxAnswer::Escape:
            QTest::keyClick(focusTarget(form), Qt::Key_Escape);
            break;
    }
}

// Every showing of a window gets a new serial, so the same window shown again (the single
// message box, a QMessageBox at a reused address) counts as a new box.
bool ModalAnswerer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
        showSerial_[watched] = ++nextSerial_;
    }
    return false;
}

void ModalAnswerer::poll() {
    QWidget* window = QApplication::activeModalWidget();
    if (!window || !window->isVisible()) return;
    const quint64 serial = showSerial_.value(window);
    if (window == answeredWindow_ && serial == answeredSerial_) {
        if (++ticksSinceAnswer_ >= stuckTicks) {
            ticksSinceAnswer_ = 0;
            ++stuckAnswers_;
            qWarning("ModalAnswerer: '%s' stayed open after its answer; closing it",
                     qPrintable(window->windowTitle()));
            answerByDefault(window);
        }
        return;
    }
    answeredWindow_ = window;
    answeredSerial_ = serial;
    ticksSinceAnswer_ = 0;
    if (auto* form = qobject_cast<TForm6*>(window)) {
        answerMsgBoxWindow(form);
    } else if (auto* box = qobject_cast<QMessageBox*>(window)) {
        answerMessageBoxWindow(box);
    } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
        answerOtherDialog(dialog);
    } else {
        window->close();
    }
}

void ModalAnswerer::answerMsgBoxWindow(TForm6* form) {
    const MsgBoxRecord record = describe(form);
    msgBoxes_.append(record);
    echo(QStringLiteral("MSGBOX|%1|%2|%3")
             .arg(record.caption, record.text, record.buttonCaptions.join(QLatin1Char(','))));
    if (msgBoxScript_.isEmpty()) {
        pressFirstVisibleButton(form);
    } else {
        msgBoxScript_.dequeue()(form);
    }
}

void ModalAnswerer::answerMessageBoxWindow(QMessageBox* box) {
    MessageBoxRecord record{box->windowTitle(), box->text(), box->icon(), {}};
    for (QAbstractButton* button : box->buttons()) record.buttons.append(button->text());
    messageBoxes_.append(record);
    echo(QStringLiteral("MESSAGEBOX|%1|%2").arg(record.title, record.text));
    if (messageBoxScript_.isEmpty()) {
        answerByDefault(box);
    } else {
        messageBoxScript_.dequeue()(box);
    }
}

void ModalAnswerer::answerOtherDialog(QDialog* dialog) {
    dialogs_.append({QString::fromLatin1(dialog->metaObject()->className()), dialog->objectName(),
                     dialog->windowTitle()});
    echo(QStringLiteral("DIALOG|%1|%2")
             .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle()));
    if (dialogScript_.isEmpty()) {
        dialog->reject();
    } else {
        dialogScript_.dequeue()(dialog);
    }
}

void ModalAnswerer::answerByDefault(QWidget* window) {
    if (auto* form = qobject_cast<TForm6*>(window)) {
        pressFirstVisibleButton(form);
    } else if (auto* box = qobject_cast<QMessageBox*>(window)) {
        QAbstractButton* button = box->defaultButton();
        if (!button && !box->buttons().isEmpty()) button = box->buttons().constFirst();
        if (button) {
            button->click();
        } else {
            box->reject();
        }
    } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
    } else {
        window->close();
    }
}

void ModalAnswerer::echo(const QString& line) const {
    if (!echo_) return;
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void PrepareWindowTestApplication() {
    QApplication::setApplicationName(QStringLiteral("Kavenra"));
    SetApplicationTitle(QStringLiteral("Kavenra"));
    InstallWindowServices();
    ApplyCarbonTheme();
}

}  // namespace kavenra::testing
