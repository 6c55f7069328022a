#pragma once

#include <QDialog>

// The message box.
class TForm6 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm6(QWidget* parent = nullptr);
};

extern TForm6* Form6;
