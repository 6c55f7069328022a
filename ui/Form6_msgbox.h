#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QLabel;
class QPushButton;
class QShowEvent;

// What a message is: it picks the picture, the buttons and the sound. The values are the numbers
// callers have always passed; any other number shows information.
enum class MessageKind : int {
    Information = 0,
    Question = 1,  // the affirmative/"No" pair; the answer is left in Respuesta
    Search = 2,
    Error = 3,
    Compass = 4,
};

// The kind a plain number stands for: 1 to 4 their own kind, every other value information.
MessageKind MessageKindOf(int kind);

// The captions of a question's two buttons, for a question that "Yes" and "No" would not answer
// plainly: each says what it does ("Go on", "Stop").
struct QuestionButtons {
    QString affirmative;  // Button2: Respuesta becomes true
    QString negative;     // Button3; the close box and Escape answer the same
};

// The program's own message box: one of five pictures in the top-left corner, a centred
// word-wrapped text and either one acknowledge button or the affirmative/"No" pair. One instance,
// Form6, serves every message; the answer to the last question stays in Respuesta.
class TForm6 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm6(QWidget* parent = nullptr);

    // Shows the message modally and returns once the window is closed; after a question read
    // Respuesta. Timers keep running while the box is open. The whole text is shown: a text
    // taller than the designed label makes the label and the window grow downward (buttons
    // moving with them), up to the screen's height; a text that fits keeps the designed size.
    void MsgBox(const QString& caption, const QString& text, MessageKind kind);
    // The same with a plain number, which may be any value (see MessageKindOf).
    void MsgBox(const QString& caption, const QString& text, int kind);
    // A question whose buttons carry the given captions; each button is as wide as its caption
    // needs (never narrower than designed), the pair centred where the designed pair is.
    void MsgBox(const QString& caption, const QString& text, const QuestionButtons& buttons);

    QLabel* Label1;
    QLabel* Image1_Informacion;
    QLabel* Image2_Question;
    QLabel* Image3_Busqueda;
    QLabel* Image4_Bomba;
    QLabel* Image5_Brujula;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;

    // The answer to the last question: true after its affirmative button only. Every question
    // starts from false, so "No", the close box and Escape all leave false, whatever an earlier
    // question was answered; a message that asks nothing leaves it as it was.
    bool Respuesta = false;

    void FormShow();
    void FormClose();
    void Button1Click();
    void Button2Click();
    void Button3Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

  private:
    void present(const QString& caption, const QString& text, MessageKind kind,
                 const QuestionButtons* buttons);
    void arrangeQuestionButtons();
    bool asksQuestion() const;
    void createControls();
    QLabel* createPicture(const QString& resource, int left, int top);
    QPushButton* createButton(int left, int top);
    QPushButton* firstVisibleButton() const;
    void fitToText();
    int largestGrowth() const;
};

extern TForm6* Form6;
