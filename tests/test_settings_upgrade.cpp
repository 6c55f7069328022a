// A settings database made from an older shipped file gains the columns added since, each with
// its initial value, and keeps every value stored before; one that cannot take them is left as it
// was. Stored codes that are unknown or damaged read as the initial value.

#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"

#include "store/SettingsColumns.h"

#include <sqlite3.h>

#include <QFile>
#include <QTest>

using kavenra::testing::DatabaseFolder;
using kavenra::testing::MessageRecorder;
using kavenra::testing::QueryColumn;
using kavenra::testing::RunSql;

namespace {

// The settings as the first versions shipped them, with a user's own choices in them.
const QString olderSettingsSql = QStringLiteral(
    "CREATE TABLE configuracion (filtro_redimension TEXT, jpeg TEXT, png TEXT, bmp TEXT,"
    " tga TEXT, tif TEXT, primera_ejecucion TEXT);"
    "INSERT INTO configuracion VALUES ('2', '3', '1', '1', '1', '2', '1');"
    "CREATE TABLE idiomas (id INTEGER NOT NULL, idioma TEXT, ruta TEXT,"
    " activo TEXT NOT NULL DEFAULT '0');"
    "INSERT INTO idiomas VALUES (0, 'Español', 'lang/Espanol.db', '0'),"
    " (1, 'English', 'lang/English.db', '1');");

const QString everyValue = QStringLiteral(
    "SELECT filtro_redimension || jpeg || png || bmp || tga || tif || primera_ejecucion"
    " FROM configuracion");

QStringList columnNames(const QString& file) {
    QStringList names;
    QueryColumn(file, QStringLiteral("SELECT name FROM pragma_table_info('configuracion')"),
                &names);
    return names;
}

QStringList addedValues(const QString& file) {
    QStringList values;
    QueryColumn(file,
                QStringLiteral("SELECT guardar_como || '/' || webp || '/' || webp_sin_perdida || "
                               "'/' || decodificacion_rapida || '/' || no_ampliar || '/' || "
                               "ajustar_dentro || '/' || incluir_subcarpetas || '/' || "
                               "quitar_ubicacion || '/' || conservar_fechas || '/' || limite_kb "
                               "FROM configuracion"),
                &values);
    return values;
}

}  // namespace

class TestSettingsUpgrade : public QObject {
    Q_OBJECT

  private slots:
    void olderDatabaseGainsTheColumns_data();
    void olderDatabaseGainsTheColumns();
    void databaseThatCannotTakeThemIsLeftAlone_data();
    void databaseThatCannotTakeThemIsLeftAlone();
    void storedCodes_data();
    void storedCodes();
};

void TestSettingsUpgrade::olderDatabaseGainsTheColumns_data() {
    QTest::addColumn<QString>("extraSql");
    // save as / quality / without loss / fast decoding / don't enlarge / fit within /
    // subfolders / no location / keep dates / size budget afterwards
    QTest::addColumn<QString>("added");
    QTest::newRow("the first versions' seven columns") << QString() << "0/80/0/0/0/0/0/0/0/0";
    QTest::newRow("one added column already there, with a choice in it")
        << "ALTER TABLE configuracion ADD COLUMN guardar_como TEXT;"
           "UPDATE configuracion SET guardar_como = '3';"
        << "3/80/0/0/0/0/0/0/0/0";
    QTest::newRow("the WebP columns there with choices, fast decoding not yet")
        << "ALTER TABLE configuracion ADD COLUMN guardar_como TEXT;"
           "ALTER TABLE configuracion ADD COLUMN webp TEXT;"
           "ALTER TABLE configuracion ADD COLUMN webp_sin_perdida TEXT;"
           "UPDATE configuracion SET guardar_como = '2', webp = '55', webp_sin_perdida = '1';"
        << "2/55/1/0/0/0/0/0/0/0";
    QTest::newRow("every earlier column there with choices, the last group's not yet")
        << "ALTER TABLE configuracion ADD COLUMN guardar_como TEXT;"
           "ALTER TABLE configuracion ADD COLUMN webp TEXT;"
           "ALTER TABLE configuracion ADD COLUMN webp_sin_perdida TEXT;"
           "ALTER TABLE configuracion ADD COLUMN decodificacion_rapida TEXT;"
           "UPDATE configuracion SET guardar_como = '4', webp = '20', webp_sin_perdida = '0',"
           " decodificacion_rapida = '1';"
        << "4/20/0/1/0/0/0/0/0/0";
}

void TestSettingsUpgrade::olderDatabaseGainsTheColumns() {
    QFETCH(QString, extraSql);
    QFETCH(QString, added);
    DatabaseFolder folder;
    const QString file = folder.filePath(QStringLiteral("KVConfig.db"));
    QCOMPARE(RunSql(file, olderSettingsSql + extraSql), QString());

    MessageRecorder messages;
    QVERIFY(kavenra::AddMissingSettingsColumns(file.toStdString()));
    QCOMPARE(messages.messages(), QStringList());
    QCOMPARE(columnNames(file), (QStringList{"filtro_redimension", "jpeg", "png", "bmp", "tga",
                                             "tif", "primera_ejecucion", "guardar_como", "webp",
                                             "webp_sin_perdida", "decodificacion_rapida",
                                             "no_ampliar", "ajustar_dentro", "incluir_subcarpetas",
                                             "quitar_ubicacion", "conservar_fechas", "limite_kb"}));
    QCOMPARE(addedValues(file), QStringList{added});
    QCOMPARE(folder.queryValue("KVConfig.db", everyValue), QStringLiteral("2311121"));
    QCOMPARE(folder.queryValue("KVConfig.db",
                               QStringLiteral("SELECT group_concat(activo, '') FROM idiomas")),
             QStringLiteral("01"));

    // Once there, nothing changes the next time.
    const QByteArray upgraded = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(kavenra::AddMissingSettingsColumns(file.toStdString()));
    QFile again(file);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), upgraded);
    QCOMPARE(messages.messages(), QStringList());
}

void TestSettingsUpgrade::databaseThatCannotTakeThemIsLeftAlone_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reported");  // the message shown, if any
    // Another program is writing the file: it reads, but takes no change.
    QTest::newRow("locked for writing") << "locked"
                                        << "database is locked";
    QTest::newRow("no database at all") << "garbage"
                                        << "file is not a database";
    QTest::newRow("missing file") << "missing"
                                  << "unable to open database file";
    // The reads that need the table report it at their own time.
    QTest::newRow("no configuracion table") << "no table" << QString();
}

void TestSettingsUpgrade::databaseThatCannotTakeThemIsLeftAlone() {
    QFETCH(QString, kind);
    QFETCH(QString, reported);
    DatabaseFolder folder;
    const QString file = folder.filePath(QStringLiteral("KVConfig.db"));
    if (kind == "garbage") {
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
    } else if (kind == "no table") {
        QCOMPARE(RunSql(file, QStringLiteral("CREATE TABLE idiomas (id INTEGER);")), QString());
    } else if (kind != "missing") {
        QCOMPARE(RunSql(file, olderSettingsSql), QString());
    }
    QByteArray before;
    if (QFile f(file); f.open(QIODevice::ReadOnly)) before = f.readAll();

    sqlite3* holder = nullptr;
    if (kind == "locked") {
        QCOMPARE(sqlite3_open(file.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    MessageRecorder messages;
    const bool added = kavenra::AddMissingSettingsColumns(file.toStdString());
    if (holder != nullptr) {
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    }
    QVERIFY(!added);
    QCOMPARE(messages.messages(), reported.isEmpty() ? QStringList() : QStringList{reported});
    QCOMPARE(QFile::exists(file), kind != "missing");
    if (QFile f(file); f.open(QIODevice::ReadOnly)) QCOMPARE(f.readAll(), before);
    if (kind == "locked") {
        QCOMPARE(columnNames(file).size(), 7);
        QCOMPARE(folder.queryValue("KVConfig.db", everyValue), QStringLiteral("2311121"));
    }
}

void TestSettingsUpgrade::storedCodes_data() {
    QTest::addColumn<bool>("stored");  // false: nothing could be read
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");  // within 0..4, 2 when unknown or damaged
    QTest::newRow("in range") << true << "3" << 3;
    QTest::newRow("first") << true << "0" << 0;
    QTest::newRow("last") << true << "4" << 4;
    QTest::newRow("above") << true << "5" << 2;
    QTest::newRow("negative") << true << "-1" << 2;
    QTest::newRow("empty (NULL)") << true << "" << 2;
    QTest::newRow("a word") << true << "webp" << 2;
    QTest::newRow("a blank before") << true << " 1" << 2;
    QTest::newRow("a fraction") << true << "1.5" << 2;
    QTest::newRow("a minus alone") << true << "-" << 2;
    QTest::newRow("beyond any integer") << true << "99999999999999999999" << 2;
    QTest::newRow("nothing read") << false << "" << 2;
}

void TestSettingsUpgrade::storedCodes() {
    QFETCH(bool, stored);
    QFETCH(QString, text);
    QFETCH(int, code);
    const std::optional<std::string> value =
        stored ? std::optional<std::string>(text.toStdString()) : std::nullopt;
    QCOMPARE(kavenra::SettingCodeOr(value, 0, 4, 2), code);
}

QTEST_GUILESS_MAIN(TestSettingsUpgrade)
#include "test_settings_upgrade.moc"
