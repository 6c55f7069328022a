#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;
class QShowEvent;

// The changelog viewer: the text of "CHANGELOG.txt" among the side files, read anew every
// time the window goes from hidden to shown. Shown without blocking the main window.
class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;  // read-only, selectable
    QPushButton* Button1;   // "OK"

    // Replaces Memo1's text with the file's lines. A file that cannot be read raises an error
    // naming it, and Memo1 keeps its text.
    void FormShow();
    void Button1Click();

  protected:
    void showEvent(QShowEvent* event) override;
};

extern TForm2* Form2;

namespace kavenra {

// The text of a file's bytes: a byte-order mark selects UTF-8, UTF-16LE or UTF-16BE and is
// dropped; without one the bytes are the system's 8-bit text (UTF-8 here). Lines end at CR, LF
// or CR LF and come back joined by "\n", without a line break after the last line.
QString DecodeTextLines(const QByteArray& bytes);

// The lines of a text file; throws std::runtime_error "Cannot open file "<absolute path>".
// <reason>" when it cannot be read.
QString ReadTextFileLines(const QString& path);

}  // namespace kavenra
