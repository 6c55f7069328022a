#include "ui/Form5_seleccioncarpeta.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Selección carpeta"));
    setFixedSize(319, 358);
}
