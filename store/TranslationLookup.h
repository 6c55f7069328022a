#pragma once

#include <QString>
#include <string>

// Path of the active language's database as stored in `idiomas` ("" or "FALLO!" on failure).
std::string ActiveLanguageDatabase(const std::string& databaseFile);

// The language database lookups speak until a language is chosen, in place of the one marked
// active: the first-run question, and the window behind it, speak the language the question
// preselects, and nothing is stored before the user chooses. Empty: the active language.
void SpeakUntilChosen(const std::string& languageDatabaseFile);

// True when the language lookups speak has its database there, so that a lookup can be made: a
// lookup in a missing database ends the program.
bool ActiveLanguageAvailable();

// The text of one key of one window in the active language; "" for a missing key. A key that was
// renamed is read under its former name when the database holds only that (RenamedCaptionKeys.h).
// Nothing is cached: every call asks the settings database which language is active.
QString LookupCaption(int form, const std::string& key);
