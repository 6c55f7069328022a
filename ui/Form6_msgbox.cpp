#include "ui/Form6_msgbox.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("MsgBox"));
    setFixedSize(417, 104);
}
