#pragma once

#include <QString>
#include <string>

// Path of the active language's database as stored in `idiomas` ("" or "FALLO!" on failure).
std::string ActiveLanguageDatabase(const std::string& databaseFile);

// The text of one key of one window in the active language; "" for a missing key. Nothing is
// cached: every call asks the settings database which language is active.
QString LookupCaption(int form, const std::string& key);
