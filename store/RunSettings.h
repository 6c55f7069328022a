#pragma once

// What a run without a window takes from the user's settings: the options dialog's choices and
// the interface language its messages speak. Everything is read through read-only connections, so a
// run from a script never writes, migrates or creates the settings file, even one of an older
// version or one the window has open at the same moment.

#include <QString>

#include <string>

#include "engine/base/RunChoices.h"
#include "store/SideFiles.h"
#include "store/SqliteHandles.h"

namespace kavenra {

// The user's settings when the file is there; else the shipped ones, which a first start of the
// window would copy (a user who never opened the window still gets the shipped defaults).
std::string ReadableSettingsDatabase(const SideFileLocations& locations);

// The language database the messages come from: the active language once the user has chosen
// one, before that the language of the user's locale when one is shipped for it, else English,
// as the language dialog would preselect; English too when the chosen file is missing.
std::string InterfaceLanguageDatabase(const std::string& settingsDatabase,
                                      const QString& localeCode);

// Everything a run without a window reads from the settings, read once through one connection:
// the choices as the options dialog would show them (ReadStoredCodes) and the language database
// as InterfaceLanguageDatabase finds it.
struct RunSettings {
    RunChoices choices;
    std::string languageDatabase;
};
RunSettings ReadRunSettings(const std::string& settingsDatabase, const QString& localeCode);

// The texts of one language database, looked up by window and key.
class InterfaceTexts {
  public:
    explicit InterfaceTexts(const std::string& languageDatabase);

    // The caption stored for `key`; the key itself when the database lacks it, so that a message
    // is never silently empty.
    QString Text(int form, const char* key) const;

  private:
    sqlite::Connection connection_;
};

}  // namespace kavenra
