#include "ui/Form2_changelog.h"

#include "ui/DialogFrame.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    SetFixedDialogFrame(this, 558, 554, QString::fromUtf8("CHANGELOG"));
}
