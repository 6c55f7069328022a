#include "ui/Form3_opcionesdeformato.h"

#include "ui/DialogFrame.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    SetFixedDialogFrame(this, 620, 477, QString::fromUtf8("Opciones"));
}
