#include "ui/Form5_seleccioncarpeta.h"

#include "ui/DialogFrame.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    SetFixedDialogFrame(this, 319, 358, QString::fromUtf8("Selección carpeta"));
}
