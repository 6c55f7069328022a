#include "ui/Form7_acercade.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Acerca de ..."));
    setFixedSize(309, 323);
}
