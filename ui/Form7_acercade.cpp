#include "ui/Form7_acercade.h"

#include "ui/DialogFrame.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
    SetFixedDialogFrame(this, 309, 323, QString::fromUtf8("Acerca de ..."));
}
