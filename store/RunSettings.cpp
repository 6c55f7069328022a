#include "store/RunSettings.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QtGlobal>

#include <limits>

#include "store/LanguageChoice.h"
#include "store/SettingsColumns.h"

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

int Code(const std::string& database, const char* column, int first, int last, int initial) {
    return SettingCodeOr(StoredSettingText(database, column), first, last, initial);
}

constexpr char kEnglishDatabase[] = "lang/English.db";

}  // namespace

std::string ReadableSettingsDatabase(const SideFileLocations& locations) {
    if (FileExists(locations.settingsDatabase) || locations.shippedSettingsDatabase.empty()) {
        return locations.settingsDatabase;
    }
    return locations.shippedSettingsDatabase;
}

FormatOptions StoredFormatOptions(const std::string& settingsDatabase) {
    const FormatOptions initial;
    FormatOptions codes;
    codes.filtro_redimension =
        Code(settingsDatabase, "filtro_redimension", 1, 6, initial.filtro_redimension);
    // The quality track bar takes any number, held at its ends.
    codes.jpeg = qBound(1,
                        Code(settingsDatabase, "jpeg", std::numeric_limits<int>::min(),
                             std::numeric_limits<int>::max(), initial.jpeg),
                        5);
    codes.png = Code(settingsDatabase, "png", 1, 4, initial.png);
    codes.bmp = Code(settingsDatabase, "bmp", 1, 2, initial.bmp);
    codes.tga = Code(settingsDatabase, "tga", 1, 2, initial.tga);
    codes.tif = Code(settingsDatabase, "tif", 1, 4, initial.tif);
    codes.guardar_como = Code(settingsDatabase, "guardar_como", 0, kLastSaveAs, 0);
    codes.webp = Code(settingsDatabase, "webp", 1, 100, initial.webp);
    codes.webp_sin_perdida = Code(settingsDatabase, "webp_sin_perdida", 0, 1, 0);
    codes.decodificacion_rapida = Code(settingsDatabase, "decodificacion_rapida", 0, 1, 0);
    codes.no_ampliar = Code(settingsDatabase, "no_ampliar", 0, 1, 0);
    codes.ajustar_dentro = Code(settingsDatabase, "ajustar_dentro", 0, 1, 0);
    codes.incluir_subcarpetas = Code(settingsDatabase, "incluir_subcarpetas", 0, 1, 0);
    codes.quitar_ubicacion = Code(settingsDatabase, "quitar_ubicacion", 0, 1, 0);
    codes.conservar_fechas = Code(settingsDatabase, "conservar_fechas", 0, 1, 0);
    codes.limite_kb = Code(settingsDatabase, "limite_kb", 0, kLargestSizeBudgetKb, 0);
    return codes;
}

std::string InterfaceLanguageDatabase(const std::string& settingsDatabase,
                                      const QString& localeCode) {
    const std::string english = LanguageDatabaseFile(kEnglishDatabase);
    const sqlite::Connection settings = OpenReadOnly(settingsDatabase);
    if (!settings) return english;
    const QList<ListedLanguage> languages = ReadListedLanguages(settings.get());
    const int entry = PreselectedLanguage(languages, IsFirstRun(settings.get()), localeCode);
    if (entry < 0 || entry >= languages.size()) return english;
    const std::string chosen = LanguageDatabaseFile(languages[entry].path.toStdString());
    return FileExists(chosen) ? chosen : english;
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
