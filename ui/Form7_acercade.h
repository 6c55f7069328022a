#pragma once

#include <QDialog>

// The about box.
class TForm7 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm7(QWidget* parent = nullptr);
};

extern TForm7* Form7;
