#include "ui/Form2_changelog.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("CHANGELOG"));
    setFixedSize(558, 554);
}
