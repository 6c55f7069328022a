#include "ui/Form4_seleccionlenguaje.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Languaje selection"));
    setFixedSize(464, 174);
}
