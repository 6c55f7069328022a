#pragma once

// Which interface language a user has, or would be offered: the rows of `idiomas`, the
// language of the user's locale, and the entry the language dialog preselects.

#include <sqlite3.h>

#include <QList>
#include <QString>

namespace kavenra {

// One row of `idiomas`, in table order: its name, its database and whether it is active.
struct ListedLanguage {
    QString name;
    QString path;
    bool active = false;
};

// The two-letter language of the user's messages: LC_ALL, else LC_MESSAGES, else LANG, the
// first that is set and not empty ("de_DE.UTF-8" gives "de"); empty for "C", "POSIX" or none.
QString LocaleLanguageCode();

// The entry of the list a language code stands for, found by the entry's name or its
// database's file name (Deutsch / lang/Deutsch.db for "de", Português / Portugues.db for "pt",
// ...); -1 when none is shipped for it.
int LanguageEntryForCode(const QList<ListedLanguage>& languages, const QString& code);

// The entry the dialog selects when it opens. At the first run the user's locale's language
// when the list has it, else entry 1 as the dialog always offered; later the active language,
// so that OK keeps it (entry 1 when none is active). -1 when that entry does not exist.
int PreselectedLanguage(const QList<ListedLanguage>& languages, bool firstRun,
                        const QString& localeCode);

// The rows of `idiomas`, read quietly: an unreadable table counts as empty.
QList<ListedLanguage> ReadListedLanguages(sqlite3* connection);

// True while no language has been chosen (the first-run flag is still '0').
bool IsFirstRun(sqlite3* connection);

}  // namespace kavenra
