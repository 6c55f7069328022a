#pragma once

// The translation of the windows: every caption, hint, menu text and column title that a window
// shows permanently is set from the active language in one pass, at start-up and after the user
// has chosen another language. Texts shown only at a moment are looked up when they are shown.

#include <QString>
#include <QStringList>

#include <string_view>

// Looks up each key of the window translation (store/CaptionKeys.h), in the list's order, and
// sets its target: the main window, the options dialog, the folder chooser and the about box must
// exist. A missing key sets the empty text and a failed lookup "FALLO!", exactly as they come;
// nothing outside the list changes.
void TranslateAllForms();

namespace kavenra {

// Sets the target of one key of the window translation to a text; false when the pair is not
// one of the list (nothing is changed then).
bool SetTranslationTarget(int form, std::string_view key, const QString& text);

// The items of a comma text, the form in which a list of short texts is stored in one column:
// items are separated by a comma or by blanks (any character up to the space), blanks around an
// item are dropped, and an item in double quotes may hold commas and blanks, with "" standing
// for one quote inside it. Two commas in a row give an empty item, and so does a comma at the
// end.
//   Extension,Description          -> Extension | Description
//   "File type", "What it is"      -> File type | What it is
QStringList CommaTextItems(const QString& text);

}  // namespace kavenra
