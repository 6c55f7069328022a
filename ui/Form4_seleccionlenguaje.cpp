#include "ui/Form4_seleccionlenguaje.h"

#include "ui/DialogFrame.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    SetFixedDialogFrame(this, 464, 174, QString::fromUtf8("Languaje selection"));
}
