#pragma once

// Access keys (Alt+letter) for menus whose texts come from a language database. The databases
// hold the texts as a user reads them; each language would otherwise need its own letters chosen
// by hand, kept apart from the other items of the same menu, and kept so by every translator.

#include <QString>

class QWidget;

namespace kavenra {

// Gives every item of a menu bar or menu, and of every submenu below it, one access key, distinct
// from the other items of the same menu: the first letter of a word where it is still free, else
// any free letter of the text, else none. Keys already there are dropped first, so that a menu
// translated again gets the keys of its new texts. A literal "&&" stays as it is.
void AssignAccessKeys(QWidget* menuBarOrMenu);

// A menu text as a user reads it: access key marks removed, "&&" read as "&".
QString WithoutAccessKey(const QString& text);

}  // namespace kavenra
