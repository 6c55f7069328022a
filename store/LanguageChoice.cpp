#include "store/LanguageChoice.h"

#include <QFileInfo>

#include "store/SqliteHandles.h"

namespace kavenra {

namespace {

QString columnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

}  // namespace

// What the preselection needs besides the names: read quietly, since the listing has just
// reported whatever is wrong with the database; an unreadable part counts as absent.
QList<ListedLanguage> ReadListedLanguages(sqlite3* connection) {
    QList<ListedLanguage> languages;
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(connection, "SELECT idioma, ruta, activo FROM idiomas", -1, &prepared,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return languages;
    }
    const kavenra::sqlite::Statement statement(prepared);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        languages.append({columnText(statement.get(), 0), columnText(statement.get(), 1),
                          columnText(statement.get(), 2) == QLatin1String("1")});
    }
    return languages;
}

bool IsFirstRun(sqlite3* connection) {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(connection, "SELECT primera_ejecucion FROM configuracion", -1, &prepared,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return false;
    }
    const kavenra::sqlite::Statement statement(prepared);
    return sqlite3_step(statement.get()) == SQLITE_ROW &&
           columnText(statement.get(), 0) == QLatin1String("0");
}

QString LocaleLanguageCode() {
    QString locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty()) break;
    }
    const QString code = locale.section(QLatin1Char('.'), 0, 0)
                             .section(QLatin1Char('@'), 0, 0)
                             .section(QLatin1Char('_'), 0, 0)
                             .toLower();
    if (code == QLatin1String("c") || code == QLatin1String("posix")) return {};
    return code;
}

int LanguageEntryForCode(const QList<ListedLanguage>& languages, const QString& code) {
    struct Shipped {
        const char* code;
        const char* name;
        const char* database;
    };
    static constexpr Shipped shipped[] = {
        {"es", "Español", "Espanol"},   {"en", "English", "English"},
        {"fr", "Français", "Francais"}, {"de", "Deutsch", "Deutsch"},
        {"it", "Italiano", "Italiano"}, {"pt", "Português", "Portugues"},
    };
    for (const Shipped& language : shipped) {
        if (code != QLatin1String(language.code)) continue;
        for (int entry = 0; entry < languages.size(); ++entry) {
            const ListedLanguage& listed = languages[entry];
            if (listed.name.compare(QString::fromUtf8(language.name), Qt::CaseInsensitive) == 0 ||
                QFileInfo(listed.path)
                        .completeBaseName()
                        .compare(QLatin1String(language.database), Qt::CaseInsensitive) == 0) {
                return entry;
            }
        }
    }
    return -1;
}

int PreselectedLanguage(const QList<ListedLanguage>& languages, bool firstRun,
                        const QString& localeCode) {
    constexpr int offeredEntry = 1;
    int entry = -1;
    if (firstRun) {
        entry = LanguageEntryForCode(languages, localeCode);
    } else {
        for (int row = 0; row < languages.size() && entry < 0; ++row) {
            if (languages[row].active) entry = row;
        }
    }
    return entry >= 0 ? entry : offeredEntry;
}

}  // namespace kavenra
