#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Settings and language databases in temporary folders, written and read with SQLite directly
// (never through the store under test).

namespace kavenra::testing {

// One row of `idiomas`; its id is its position in the list.
struct LanguageRow {
    QString name;
    QString path;  // `ruta`, as stored
    bool active = false;
};

// One row of `traduccion`.
struct CaptionRow {
    int form;
    QString key;
    QString caption;
};

// The `configuracion` row of a fresh installation: filter, jpeg, png, bmp, tga, tif, first run
// (the seven columns of the first versions) ...
QStringList InitialConfiguration();
// ... and the columns added since, in table order (save as, WebP quality, WebP without loss,
// fast decoding, don't enlarge, fit within, subfolders, remove location, keep dates, size
// budget), as an older user's file gains them: every choice as it behaved before.
QStringList AddedConfiguration();
// The same columns as a fresh installation has them: fit within and don't enlarge on.
QStringList ShippedAddedConfiguration();

// Runs SQL (one or more statements) on a database file, creating the file when missing.
// Returns the library's error message, or an empty text on success.
QString RunSql(const QString& databaseFile, const QString& sql);

// Column 0 of every row of a query, in the library's order; a NULL value gives a null QString.
// Returns false and leaves a message in *error when the query fails.
bool QueryColumn(const QString& databaseFile, const QString& sql, QStringList* values,
                 QString* error = nullptr);

// Text literal for SQL: quoted, with single quotes doubled.
QString SqlText(const QString& text);

// Makes a folder the working directory while it lives and restores the previous one after.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const QString& folder);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;
    bool isValid() const { return changed_; }

  private:
    QString previous_;
    bool changed_ = false;
};

// A temporary folder that is the working directory while the fixture lives, so that
// "KVConfig.db" and relative `ruta` values resolve into it. Removed afterwards.
//
//   DatabaseFolder folder;
//   QVERIFY(folder.writeSettings({{"Español", "es.db", true}, {"English", "en.db", false}}));
//   QVERIFY(folder.writeLanguage("es.db", {{1, "Caption_Atencion", "Atención"}}));
//
// or, with the databases the build ships:  QVERIFY(folder.copyShippedDatabases());
class DatabaseFolder {
  public:
    DatabaseFolder();
    ~DatabaseFolder();
    DatabaseFolder(const DatabaseFolder&) = delete;
    DatabaseFolder& operator=(const DatabaseFolder&) = delete;

    bool isValid() const;
    QString path() const;
    QString filePath(const QString& relativePath) const;

    // KVConfig.db with `configuracion` (one row: the seven values given, then those of
    // AddedConfiguration() that `configuration` does not give) and `idiomas`.
    bool writeSettings(const QList<LanguageRow>& languages,
                       const QStringList& configuration = InitialConfiguration());
    // A language database holding exactly the given rows (subfolders are created).
    bool writeLanguage(const QString& relativePath, const QList<CaptionRow>& rows);
    // A language database with a row for every known (form, key): caption is
    // prefix + form + ":" + key, so every lookup can be traced to its row.
    bool writeCompleteLanguage(const QString& relativePath, const QString& prefix);
    // KVConfig.db and every language database it names, copied from ShippedDataFolder() (the
    // databases the build installs). Returns false with a message in *error when one is missing.
    bool copyShippedDatabases(QString* error = nullptr);

    // Column 0 of the first row of a query on a database of the folder ("" when there is none).
    QString queryValue(const QString& relativePath, const QString& sql) const;

  private:
    QTemporaryDir folder_;
    ScopedWorkingDirectory workingDirectory_;
};

// Path of the runtime folder, which holds the program, its worker and changelog, and the
// databases a developer's own runs use and change: only for what is run from there.
QString RuntimeFolder();

// The databases as the build makes them from their sources, in a build folder no run of the
// program writes: what the tests read, whatever the runtime folder's settings now say.
QString ShippedDataFolder();

}  // namespace kavenra::testing

// Usable as columns of data-driven tests.
Q_DECLARE_METATYPE(kavenra::testing::LanguageRow)
Q_DECLARE_METATYPE(kavenra::testing::CaptionRow)
