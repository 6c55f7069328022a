#include "store/RunSettings.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QtGlobal>

#include <limits>

#include "store/LanguageChoice.h"
#include "store/StoredOptions.h"

namespace kavenra {
namespace {

bool FileExists(const std::string& path) {
    struct stat status {};
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

sqlite::Connection OpenReadOnly(const std::string& databaseFile) {
    if (!FileExists(databaseFile)) return {};
    sqlite3* opened = nullptr;
    const int result =
        sqlite3_open_v2(databaseFile.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
    sqlite::Connection connection(opened);
    if (result != SQLITE_OK) connection.reset();
    return connection;
}

constexpr char kEnglishDatabase[] = "lang/English.db";

std::string LanguageDatabaseOf(sqlite3* settings, const QString& localeCode) {
    const std::string english = LanguageDatabaseFile(kEnglishDatabase);
    if (settings == nullptr) return english;
    const QList<ListedLanguage> languages = ReadListedLanguages(settings);
    const int entry = PreselectedLanguage(languages, IsFirstRun(settings), localeCode);
    if (entry < 0 || entry >= languages.size()) return english;
    const std::string chosen = LanguageDatabaseFile(languages[entry].path.toStdString());
    return FileExists(chosen) ? chosen : english;
}

}  // namespace

std::string ReadableSettingsDatabase(const SideFileLocations& locations) {
    if (FileExists(locations.settingsDatabase) || locations.shippedSettingsDatabase.empty()) {
        return locations.settingsDatabase;
    }
    return locations.shippedSettingsDatabase;
}

std::string InterfaceLanguageDatabase(const std::string& settingsDatabase,
                                      const QString& localeCode) {
    const sqlite::Connection settings = OpenReadOnly(settingsDatabase);
    return LanguageDatabaseOf(settings.get(), localeCode);
}

RunSettings ReadRunSettings(const std::string& settingsDatabase, const QString& localeCode) {
    const sqlite::Connection settings = OpenReadOnly(settingsDatabase);
    RunSettings read;
    read.choices = ChoicesFromCodes(ReadStoredCodes(settings.get()));
    read.languageDatabase = LanguageDatabaseOf(settings.get(), localeCode);
    return read;
}

InterfaceTexts::InterfaceTexts(const std::string& languageDatabase)
    : connection_(OpenReadOnly(languageDatabase)) {}

QString InterfaceTexts::Text(int form, const char* key) const {
    if (connection_) {
        sqlite3_stmt* prepared = nullptr;
        sqlite3_prepare_v2(connection_.get(),
                           "SELECT caption FROM traduccion WHERE form=?1 AND object=?2", -1,
                           &prepared, nullptr);
        const sqlite::Statement statement(prepared);
        if (statement) {
            sqlite3_bind_text(statement.get(), 1, std::to_string(form).c_str(), -1,
                              SQLITE_TRANSIENT);
            sqlite3_bind_text(statement.get(), 2, key, -1, SQLITE_STATIC);
            if (sqlite3_step(statement.get()) == SQLITE_ROW) {
                const unsigned char* caption = sqlite3_column_text(statement.get(), 0);
                if (caption != nullptr && *caption != '\0') {
                    return QString::fromUtf8(reinterpret_cast<const char*>(caption));
                }
            }
        }
    }
    return QString::fromLatin1(key);
}

}  // namespace kavenra
