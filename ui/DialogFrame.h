#pragma once

#include <QString>

class QDialog;

// The design's dialog border: a caption bar with the close box only (no minimise, maximise or
// help box), a client area of exactly the given size that cannot be resized, centred on the
// screen when first shown (a QDialog without a parent centres itself).
void SetFixedDialogFrame(QDialog* dialog, int clientWidth, int clientHeight,
                         const QString& caption);
