#pragma once

#include <QDialog>
#include <QLabel>

class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

// A picture that acts like a link: hand cursor, tooltip, and a click when the left button is
// pressed and released over it.
class ClickablePicture : public QLabel {
    Q_OBJECT
  public:
    explicit ClickablePicture(QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool pressed_ = false;
};

// The list of the libraries the program is built on, each with its version and licence, under
// the program's own licence. Opened from the about box.
class CreditsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CreditsDialog(QWidget* parent = nullptr);

    QLabel* introduction;  // the program's licence, and that the list follows
    QPlainTextEdit* libraryList;
    QPushButton* closeButton;

    // One line a library: "name version: licence". Qt and SQLite first, then the image libraries.
    static QStringList LibraryLines();
};

// The about box: the program, its version and date, its author, the image library's version,
// its licence, the credits of the libraries, and a picture that opens the donation page. Shown
// modally.
class TForm7 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm7(QWidget* parent = nullptr);

    QPushButton* Button1;  // close
    QLabel* Label1;        // program and version
    QLabel* Label2;        // release date
    QLabel* Label3;        // author
    QLabel* ProgramIcon;
    QLabel* Comments;           // the author's contact address
    QLabel* Label4;             // image library credit, before the version
    QLabel* Label5;             // the image library's version, set at creation
    QLabel* Label6;             // second line of the image library credit
    ClickablePicture* Image15;  // the donation picture; its hint is its tooltip
    QLabel* Label7;             // the invitation to support the author
    QLabel* licenceLabel;       // the program's licence, in one line
    QPushButton* creditsButton;
    CreditsDialog* credits;

    // Shows the libraries and their licences; the about box stays open.
    void creditsButtonClick();

    // Puts the image library's version into Label5.
    void FormCreate();
    void Button1Click();
    // Opens the donation page with the desktop's web browser; the box stays open.
    void Image15Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void createControls();
    void createPictures();
    // Label5 follows Label4's text: at its place in the layout, or further right when the
    // credit (in this font or another language) is longer.
    void arrangeVersionLine();
};

extern TForm7* Form7;
