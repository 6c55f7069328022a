#include "ui/DialogFrame.h"

#include <QDialog>

void SetFixedDialogFrame(QDialog* dialog, int clientWidth, int clientHeight,
                         const QString& caption) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(clientWidth, clientHeight);
    dialog->setWindowTitle(caption);
}
