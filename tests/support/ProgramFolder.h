#pragma once

// The built program as a user has it: a copy of the runtime folder (the executable beside its
// side files and language databases) for an end-to-end test, and the texts its databases hold.

#include <QString>

namespace kavenra::testing {

// Copies every file and folder under `from` into `to`, which is created as needed.
bool CopyFolder(const QString& from, const QString& to);

// Copies the build's runtime folder to `folder`, with the databases as the build makes them in
// place of the runtime folder's own. False, with the reason in `error`, when the
// program has not been built or a file cannot be copied.
bool CopyRuntimeFolder(const QString& folder, QString* error);

// The language database that the settings file `settings` marks active, as a full path beside
// the settings file; empty when there is not exactly one.
QString ActiveLanguageDatabase(const QString& settings);

// The caption that a language database holds for a window's object; empty when it has none.
QString CaptionIn(const QString& languageDatabase, int form, const QString& key);

}  // namespace kavenra::testing
