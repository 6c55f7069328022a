#include "ui/Form3_opcionesdeformato.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Opciones"));
    setFixedSize(620, 477);
}
