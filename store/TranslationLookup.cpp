#include "store/TranslationLookup.h"

#include "store/DatabaseAccess.h"
#include "store/RenamedCaptionKeys.h"
#include "store/SideFiles.h"

#include <sys/stat.h>

#include <string_view>

std::string ActiveLanguageDatabase(const std::string& databaseFile) {
    return QuerySingleValue(databaseFile, "SELECT ruta FROM idiomas WHERE activo='1'");
}

namespace {

std::string& languageUntilChosen() {
    static std::string file;
    return file;
}

// The database of the language lookups speak now.
std::string spokenLanguageDatabase() {
    if (!languageUntilChosen().empty()) return languageUntilChosen();
    return kavenra::LanguageDatabaseFile(ActiveLanguageDatabase(kavenra::SettingsDatabaseFile()));
}

}  // namespace

void SpeakUntilChosen(const std::string& languageDatabaseFile) {
    languageUntilChosen() = languageDatabaseFile;
}

bool ActiveLanguageAvailable() {
    const std::string file = spokenLanguageDatabase();
    struct stat status {};
    return !file.empty() && stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

namespace {

// Keys are the program's own identifiers and go into the statement unescaped.
std::string captionStatement(int form, std::string_view key) {
    return "SELECT caption FROM traduccion WHERE form='" + std::to_string(form) + "' AND object='" +
           std::string(key) + "'";
}

}  // namespace

// The active language is asked for on every lookup, so a change of language applies to the very
// next text shown. A database that fails answers "FALLO!", not "": only a missing row sends the
// lookup on to the key's former name.
QString LookupCaption(int form, const std::string& key) {
    const std::string languageDatabase = spokenLanguageDatabase();
    std::string caption = QuerySingleValue(languageDatabase, captionStatement(form, key));
    const std::string_view formerKey = kavenra::FormerCaptionKey(form, key);
    if (caption.empty() && !formerKey.empty()) {
        caption = QuerySingleValue(languageDatabase, captionStatement(form, formerKey));
    }
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}
