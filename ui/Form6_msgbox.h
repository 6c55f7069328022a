#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QLabel;
class QPushButton;
class QShowEvent;

// The program's own message box: one of five pictures in the top-left corner, a centred
// word-wrapped text and either one acknowledge button or the affirmative/"No" pair. One instance,
// Form6, serves every message; the answer to the last question stays in Respuesta.
class TForm6 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm6(QWidget* parent = nullptr);

    // Shows the message modally and returns once the window is closed. kind 1 asks a question
    // (read Respuesta afterwards), 2 and 4 are plain boxes with other pictures, 3 is an error, 0
    // and every other value information. Timers keep running while the box is open.
    void MsgBox(const QString& caption, const QString& text, int kind);

    QLabel* Label1;
    QLabel* Image1_Informacion;
    QLabel* Image2_Question;
    QLabel* Image3_Busqueda;
    QLabel* Image4_Bomba;
    QLabel* Image5_Brujula;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;

    // True after the affirmative button of a question, false after "No"; nothing else changes it.
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
    void createControls();
    QLabel* createPicture(const QString& resource, int left, int top);
    QPushButton* createButton(int left, int top);
    QPushButton* firstVisibleButton() const;
};

extern TForm6* Form6;
