#include "support/DatabaseFixture.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <memory>

#include "store/CaptionKeys.h"
#include "store/SqliteHandles.h"

namespace kavenra::testing {
namespace {

using Connection = kavenra::sqlite::Connection;
using Statement = kavenra::sqlite::Statement;

Connection Open(const QString& databaseFile, QString* error) {
    sqlite3* raw = nullptr;
    const int result = sqlite3_open(QFile::encodeName(databaseFile).constData(), &raw);
    Connection connection(raw);
    if (result != SQLITE_OK) {
        if (error) {
            *error = QString::fromUtf8(sqlite3_errmsg(raw));
        }
        return nullptr;
    }
    return connection;
}

QString SqlValue(const QString& value) {
    return value.isNull() ? QStringLiteral("NULL") : SqlText(value);
}

bool MakeParentFolder(const QString& file) {
    return QDir().mkpath(QFileInfo(file).absolutePath());
}

}  // namespace

QStringList InitialConfiguration() {
    return {"5", "5", "3", "2", "2", "4", "0"};
}

QStringList AddedConfiguration() {
    return {"0", "80", "0", "0", "0", "0", "0", "0", "0", "0"};
}

QStringList ShippedAddedConfiguration() {
    return {"0", "80", "0", "0", "1", "1", "0", "0", "0", "0"};
}

QString SqlText(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString RunSql(const QString& databaseFile, const QString& sql) {
    QString error;
    Connection connection = Open(databaseFile, &error);
    if (!connection) {
        return error;
    }
    char* rawError = nullptr;
    const int result =
        sqlite3_exec(connection.get(), sql.toUtf8().constData(), nullptr, nullptr, &rawError);
    if (result != SQLITE_OK) {
        error = rawError ? QString::fromUtf8(rawError) : QString::fromUtf8(sqlite3_errstr(result));
        sqlite3_free(rawError);
        return error;
    }
    return QString();
}

bool QueryColumn(const QString& databaseFile, const QString& sql, QStringList* values,
                 QString* error) {
    values->clear();
    Connection connection = Open(databaseFile, error);
    if (!connection) {
        return false;
    }
    sqlite3_stmt* raw = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(connection.get(), text.constData(), static_cast<int>(text.size()), &raw,
                           nullptr) != SQLITE_OK) {
        if (error) {
            *error = QString::fromUtf8(sqlite3_errmsg(connection.get()));
        }
        return false;
    }
    Statement statement(raw);
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const auto* value = sqlite3_column_text(statement.get(), 0);
        values->append(value ? QString::fromUtf8(reinterpret_cast<const char*>(value)) : QString());
    }
    if (result != SQLITE_DONE) {
        if (error) {
            *error = QString::fromUtf8(sqlite3_errmsg(connection.get()));
        }
        return false;
    }
    return true;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const QString& folder)
    : previous_(QDir::currentPath()) {
    changed_ = !folder.isEmpty() && QDir::setCurrent(folder);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    if (changed_) {
        QDir::setCurrent(previous_);
    }
}

DatabaseFolder::DatabaseFolder()
    : folder_(QDir::tempPath() + QStringLiteral("/kavenra-db-XXXXXX")),
      workingDirectory_(folder_.isValid() ? folder_.path() : QString()) {}

DatabaseFolder::~DatabaseFolder() = default;

bool DatabaseFolder::isValid() const {
    return folder_.isValid() && workingDirectory_.isValid();
}

QString DatabaseFolder::path() const {
    return folder_.path();
}

QString DatabaseFolder::filePath(const QString& relativePath) const {
    return folder_.filePath(relativePath);
}

bool DatabaseFolder::writeSettings(const QList<LanguageRow>& languages,
                                   const QStringList& configuration) {
    QStringList configurationValues;
    for (const QString& value : configuration) {
        configurationValues << SqlValue(value);
    }
    for (const QString& value : AddedConfiguration().mid(configuration.size() - 7)) {
        configurationValues << SqlValue(value);
    }
    QString sql = QStringLiteral(
                      "CREATE TABLE configuracion (filtro_redimension TEXT, jpeg TEXT, png TEXT,"
                      " bmp TEXT, tga TEXT, tif TEXT, primera_ejecucion TEXT,"
                      " guardar_como TEXT, webp TEXT, webp_sin_perdida TEXT,"
                      " decodificacion_rapida TEXT, no_ampliar TEXT, ajustar_dentro TEXT,"
                      " incluir_subcarpetas TEXT, quitar_ubicacion TEXT, conservar_fechas TEXT,"
                      " limite_kb TEXT);"
                      "INSERT INTO configuracion VALUES (%1);"
                      "CREATE TABLE idiomas (id INTEGER, idioma TEXT, ruta TEXT, activo TEXT);")
                      .arg(configurationValues.join(QLatin1Char(',')));
    for (int id = 0; id < languages.size(); ++id) {
        const LanguageRow& row = languages.at(id);
        sql += QStringLiteral("INSERT INTO idiomas VALUES (%1, %2, %3, '%4');")
                   .arg(id)
                   .arg(SqlValue(row.name), SqlValue(row.path), row.active ? "1" : "0");
    }
    const QString file = filePath(QStringLiteral("KVConfig.db"));
    QFile::remove(file);
    const QString error = RunSql(file, "BEGIN;" + sql + "COMMIT;");
    if (!error.isEmpty()) {
        qWarning("writeSettings: %s", qPrintable(error));
    }
    return error.isEmpty();
}

bool DatabaseFolder::writeLanguage(const QString& relativePath, const QList<CaptionRow>& rows) {
    QString sql = QStringLiteral("CREATE TABLE traduccion (form TEXT, object TEXT, caption TEXT);");
    for (const CaptionRow& row : rows) {
        sql += QStringLiteral("INSERT INTO traduccion VALUES ('%1', %2, %3);")
                   .arg(row.form)
                   .arg(SqlText(row.key), SqlValue(row.caption));
    }
    const QString file = filePath(relativePath);
    QFile::remove(file);
    if (!MakeParentFolder(file)) {
        return false;
    }
    const QString error = RunSql(file, "BEGIN;" + sql + "COMMIT;");
    if (!error.isEmpty()) {
        qWarning("writeLanguage: %s", qPrintable(error));
    }
    return error.isEmpty();
}

// The texts the program completes with values (QString::arg), and how many: their rows keep
// the places, after the key, so that a test sees the values the program put in.
static int ArgumentsOf(const QString& key) {
    static const QHash<QString, int> kArguments{
        {QStringLiteral("Texto_fallo1"), 1},           {QStringLiteral("Texto_resumen1"), 2},
        {QStringLiteral("Texto_resumen2"), 1},         {QStringLiteral("Texto_resumen3"), 1},
        {QStringLiteral("Texto_resumen7"), 1},         {QStringLiteral("Texto_resumen4"), 1},
        {QStringLiteral("Texto_lista1"), 1},           {QStringLiteral("ImagenMsg5"), 2},
        {QStringLiteral("Texto_fuera_no_existe"), 1},  {QStringLiteral("Texto_fuera_no_imagen"), 1},
        {QStringLiteral("Texto_fuera_no_legible"), 1}, {QStringLiteral("Texto_fuera_carpeta"), 1},
        {QStringLiteral("Texto_resumen_omitidos"), 1}, {QStringLiteral("Texto_progreso"), 2},
        {QStringLiteral("Texto_linea_restante"), 1},   {QStringLiteral("Texto_resumen8"), 1},
        {QStringLiteral("Texto_notificacion_fallida"), 1},
    };
    return kArguments.value(key);
}

bool DatabaseFolder::writeCompleteLanguage(const QString& relativePath, const QString& prefix) {
    QList<CaptionRow> rows;
    for (const CaptionKey& known : AllCaptionKeys()) {
        const QString key = QString::fromUtf8(known.key.data(), known.key.size());
        QString caption = prefix + QString::number(known.form) + ':' + key;
        for (int place = 1; place <= ArgumentsOf(key); ++place) {
            caption += QStringLiteral(" %") + QString::number(place);
        }
        rows.append({known.form, key, caption});
    }
    return writeLanguage(relativePath, rows);
}

bool DatabaseFolder::copyShippedDatabases(QString* error) {
    const QDir shipped(ShippedDataFolder());
    QStringList files{QStringLiteral("KVConfig.db")};
    QStringList paths;
    QString queryError;
    if (!QueryColumn(shipped.filePath(files.first()), QStringLiteral("SELECT ruta FROM idiomas"),
                     &paths, &queryError)) {
        if (error) {
            *error = QStringLiteral("shipped KVConfig.db: ") + queryError;
        }
        return false;
    }
    files += paths;
    for (const QString& file : files) {
        const QString source = shipped.filePath(file);
        const QString target = filePath(file);
        QFile::remove(target);
        if (!MakeParentFolder(target) || !QFile::copy(source, target)) {
            if (error) {
                *error = QStringLiteral("cannot copy ") + source;
            }
            return false;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    }
    return true;
}

QString DatabaseFolder::queryValue(const QString& relativePath, const QString& sql) const {
    QStringList values;
    QueryColumn(filePath(relativePath), sql, &values);
    return values.value(0);
}

QString RuntimeFolder() {
    return QStringLiteral(KAVENRA_RUNTIME_DIR);
}

QString ShippedDataFolder() {
    return QStringLiteral(KAVENRA_BUILT_DATA_DIR);
}

}  // namespace kavenra::testing
