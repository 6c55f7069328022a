#pragma once

// The main window's small pictures: the popup item's 16 x 16 picture and the folder button's
// 24 x 24 picture. Drawn from vector sources held in the code, so they need no resource file and
// stay sharp on screens with a device pixel ratio above 1.

#include <QIcon>

namespace kavenra::mainwindow {

QIcon RemoveEntriesPicture();  // "Quitar imágen/es", picture 5 of the window's picture list
QIcon FolderPicture();         // the destination folder button

}  // namespace kavenra::mainwindow
