// The databases the build ships in the runtime folder: the settings database as a fresh
// installation finds it, six complete language databases, the rule that a rebuild never
// replaces the settings database the user already has, and that it does bring the current texts.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "store/CaptionKeys.h"
#include "store/DatabaseAccess.h"
#include "store/TranslationLookup.h"
#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"

using namespace kavenra::testing;

namespace {

const QStringList kShippedLanguages{"Español", "English",  "Français",
                                    "Deutsch", "Italiano", "Português"};

QString RuntimeFile(const QString& relativePath) {
    return QDir(RuntimeFolder()).filePath(relativePath);
}

// A copy of the built databases after the first start's language dialog chose English, as the
// dialog writes it. (The runtime folder's copy may hold anything a developer's runs left.)
QString AfterChoosingEnglish() {
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        auto made = std::make_unique<QTemporaryDir>();
        const QString path = made->path();
        bool done = made->isValid() &&
                    QFile::copy(ShippedDataFolder() + "/KVConfig.db", path + "/KVConfig.db");
        done = done &&
               QFile::setPermissions(path + "/KVConfig.db",
                                     QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
               QDir(path).mkdir("lang");
        for (const QString& name : QDir(ShippedDataFolder() + "/lang").entryList(QDir::Files)) {
            done =
                done && QFile::copy(ShippedDataFolder() + "/lang/" + name, path + "/lang/" + name);
        }
        const QString error = RunSql(path + "/KVConfig.db",
                                     "UPDATE idiomas SET activo='0';"
                                     "UPDATE idiomas SET activo='1' WHERE id='1';"
                                     "UPDATE configuracion SET primera_ejecucion='1';");
        if (!done || !error.isEmpty())
            qWarning("cannot choose English in a copy: %s", qPrintable(error));
        return made;
    }();
    return folder->path();
}

// The databases the build made from the current sources, and a copy as the first start leaves it.
QList<QPair<QString, QString>> DataFolders() {
    return {{"built", ShippedDataFolder()}, {"after choosing English", AfterChoosingEnglish()}};
}

QStringList SettingsColumn(const QString& folder, const QString& sql) {
    QStringList values;
    QString error;
    if (!QueryColumn(QDir(folder).filePath("KVConfig.db"), sql, &values, &error)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(error));
    }
    return values;
}

QStringList ShippedColumn(const QString& sql) {
    return SettingsColumn(ShippedDataFolder(), sql);
}

void AddFolderRows() {
    QTest::addColumn<QString>("folder");
    for (const auto& [label, folder] : DataFolders()) {
        QTest::newRow(qPrintable(label)) << folder;
    }
}

// One row per language database of each data folder, with the Spanish one of the same folder.
void AddLanguageRows() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("spanishDatabase");
    // The language databases are the same files in both: the built ones stand for them.
    for (const auto& [label, folder] : DataFolders().mid(0, 1)) {
        const QStringList paths = SettingsColumn(folder, "SELECT ruta FROM idiomas");
        for (const QString& path : paths) {
            QTest::addRow("%s %s", qPrintable(label), qPrintable(path))
                << QDir(folder).filePath(path) << QDir(folder).filePath(paths.value(0));
        }
    }
}

// The captions of one language database, by "form:key".
QMultiMap<QString, QString> Captions(const QString& databaseFile) {
    QStringList rows;
    QueryColumn(databaseFile,
                "SELECT form || ':' || object || char(10) || ifnull(caption, '') FROM traduccion",
                &rows);
    QMultiMap<QString, QString> captions;
    for (const QString& row : rows) {
        const qsizetype split = row.indexOf('\n');
        captions.insert(row.left(split), row.mid(split + 1));
    }
    return captions;
}

// Items of a comma text as the options dialog's column titles read it: commas and blanks
// separate items, double quotes group an item that holds either.
QStringList CommaTextItems(const QString& text) {
    QStringList items;
    QString current;
    bool quoted = false;
    bool pending = false;
    for (const QChar c : text) {
        if (c == '"') {
            quoted = !quoted;
            pending = true;
        } else if (!quoted && (c == ',' || c == ' ')) {
            if (pending) {
                items << current;
            }
            current.clear();
            pending = false;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending) {
        items << current;
    }
    return items;
}

}  // namespace

class TestStoreData : public QObject {
    Q_OBJECT

  private slots:
    void settingsDatabaseIsUsable_data();
    void settingsDatabaseIsUsable();
    void builtSettingsAreThoseOfAFreshInstallation();
    void shippedSettingsAnswerTheProgramsStatements();
    void languageDatabaseIsComplete_data();
    void languageDatabaseIsComplete();
    void languageTextsFitTheirUse_data();
    void languageTextsFitTheirUse();
    void spanishTextsFollowTheWindowsLayout_data();
    void spanishTextsFollowTheWindowsLayout();
    void installKeepsDatabasesTheUserHas();
    void languageDatabasesAreTheCurrentOnes();
    void changelogIsInstalled();
};

void TestStoreData::settingsDatabaseIsUsable_data() {
    AddFolderRows();
}

// Holds also after the user has saved options or chosen another language.
void TestStoreData::settingsDatabaseIsUsable() {
    QFETCH(QString, folder);
    QVERIFY2(QFileInfo(QDir(folder).filePath("KVConfig.db")).isFile(), qPrintable(folder));
    const auto column = [&folder](const QString& sql) { return SettingsColumn(folder, sql); };

    QCOMPARE(column("SELECT count(*) FROM configuracion"), QStringList({"1"}));
    const QList<QPair<QString, QString>> ranges{{"filtro_redimension", "123456"},
                                                {"jpeg", "12345"},
                                                {"png", "1234"},
                                                {"bmp", "12"},
                                                {"tga", "12"},
                                                {"tif", "1234"},
                                                {"primera_ejecucion", "01"}};
    for (const auto& [name, codes] : ranges) {
        const QString value = column("SELECT " + name + " FROM configuracion").value(0);
        QVERIFY2(value.size() == 1 && codes.contains(value), qPrintable(name + "=" + value));
    }

    QCOMPARE(column("SELECT idioma FROM idiomas"), kShippedLanguages);
    // The language dialog derives a row's id from its position in this order.
    QCOMPARE(column("SELECT id FROM idiomas"), QStringList({"0", "1", "2", "3", "4", "5"}));
    QCOMPARE(column("SELECT count(*) FROM idiomas WHERE activo='1'"), QStringList({"1"}));

    const QStringList paths = column("SELECT ruta FROM idiomas");
    QCOMPARE(paths.size(), kShippedLanguages.size());
    QCOMPARE(QSet<QString>(paths.begin(), paths.end()).size(), paths.size());
    for (const QString& path : paths) {
        QVERIFY2(QDir::isRelativePath(path), qPrintable(path));
        QVERIFY2(QFileInfo(QDir(folder).filePath(path)).isFile(), qPrintable(path));
    }
}

// What a fresh installation finds: the options dialog's initial selections with fit within and
// don't enlarge on, the first run still to come and Spanish active.
void TestStoreData::builtSettingsAreThoseOfAFreshInstallation() {
    const QString folder = ShippedDataFolder();
    QCOMPARE(SettingsColumn(folder,
                            "SELECT filtro_redimension || jpeg || png || bmp || tga || "
                            "tif || primera_ejecucion FROM configuracion"),
             QStringList({InitialConfiguration().join(QString())}));
    QCOMPARE(SettingsColumn(folder,
                            "SELECT guardar_como || '/' || webp || '/' || webp_sin_perdida || "
                            "'/' || decodificacion_rapida || '/' || no_ampliar || '/' || "
                            "ajustar_dentro || '/' || incluir_subcarpetas || '/' || "
                            "quitar_ubicacion || '/' || conservar_fechas || '/' || limite_kb "
                            "FROM configuracion"),
             QStringList({ShippedAddedConfiguration().join('/')}));
    QCOMPARE(SettingsColumn(folder, "SELECT activo FROM idiomas"),
             QStringList({"1", "0", "0", "0", "0", "0"}));
}

// The program compares and writes every value as a quoted text literal.
void TestStoreData::shippedSettingsAnswerTheProgramsStatements() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QString error;
    QVERIFY2(folder.copyShippedDatabases(&error), qPrintable(error));
    MessageRecorder messages;
    const QStringList paths = ShippedColumn("SELECT ruta FROM idiomas");

    QCOMPARE(QString::fromStdString(ActiveLanguageDatabase("KVConfig.db")),
             folder.queryValue("KVConfig.db", "SELECT ruta FROM idiomas WHERE activo='1'"));
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE idiomas SET activo='0'"));
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE idiomas SET activo='1' WHERE id='3'"));
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE configuracion SET primera_ejecucion='1'"));
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE configuracion SET jpeg='2'"));

    QCOMPARE(QString::fromStdString(ActiveLanguageDatabase("KVConfig.db")), paths.value(3));
    QCOMPARE(folder.queryValue("KVConfig.db", "SELECT count(*) FROM idiomas WHERE activo='1'"),
             "1");
    QCOMPARE(QuerySingleValue("KVConfig.db", "SELECT primera_ejecucion FROM configuracion"),
             std::string("1"));
    QCOMPARE(QuerySingleValue("KVConfig.db", "SELECT jpeg FROM configuracion"), std::string("2"));
    QCOMPARE(LookupCaption(kavenra::kMessageBoxForm, "Button2"),
             folder.queryValue(paths.value(3),
                               "SELECT caption FROM traduccion WHERE object='Button2' AND "
                               "form='6'"));
    QCOMPARE(messages.messages(), QStringList());
}

void TestStoreData::languageDatabaseIsComplete_data() {
    AddLanguageRows();
}

void TestStoreData::languageDatabaseIsComplete() {
    QFETCH(QString, database);
    QVERIFY2(QFileInfo(database).isFile(), qPrintable(database));
    const QMultiMap<QString, QString> captions = Captions(database);
    QSet<QString> expected;
    for (const kavenra::CaptionKey& key : kavenra::AllCaptionKeys()) {
        const QString name = QString::number(key.form) + ':' +
                             QString::fromUtf8(key.key.data(), qsizetype(key.key.size()));
        expected.insert(name);
        QCOMPARE(captions.count(name), 1);
        QVERIFY2(!captions.value(name).trimmed().isEmpty(), qPrintable(name));
    }
    for (const QString& stored : captions.uniqueKeys()) {
        QVERIFY2(expected.contains(stored), qPrintable("stray key " + stored));
    }
}

void TestStoreData::languageTextsFitTheirUse_data() {
    AddLanguageRows();
}

void TestStoreData::languageTextsFitTheirUse() {
    QFETCH(QString, database);
    QFETCH(QString, spanishDatabase);
    const QMultiMap<QString, QString> captions = Captions(database);
    QVERIFY(!captions.isEmpty());

    // Two column titles; a title with a blank must be quoted.
    QCOMPARE(CommaTextItems(captions.value("3:ValueListEditor1")).size(), 2);
    // The file name follows directly.
    QVERIFY(captions.value("1:ImagenMsg1").endsWith(' '));
    // Each radio button names the save option it selects.
    const QList<QPair<QString, QString>> options{
        {"RadioButton6", "BMP_DEFAULT "},
        {"RadioButton7", "BMP_SAVE_RLE "},
        {"RadioButton9", "PNG_Z_BEST_SPEED "},
        {"RadioButton10", "PNG_Z_DEFAULT_COMPRESSION "},
        {"RadioButton11", "PNG_Z_BEST_COMPRESSION "},
        {"RadioButton12", "PNG_Z_NO_COMPRESSION "},
        {"RadioButton13", "TARGA_DEFAULT "},
        {"RadioButton14", "TARGA_SAVE_RLE "},
        {"RadioButton15", "TIFF_NONE "},
        {"RadioButton16", "TIFF_LZW "},
        {"RadioButton17", "TIFF_DEFLATE "},
        {"RadioButton18", "TIFF_JPEG "},
    };
    for (const auto& [key, flag] : options) {
        QVERIFY2(captions.value("3:" + key).startsWith(flag), qPrintable(key));
    }
    // SRC1 is shown at track bar position 5, which saves with the best quality.
    const QStringList qualities{"JPEG_QUALITYSUPERB", "JPEG_QUALITYGOOD", "JPEG_QUALITYNORMAL",
                                "JPEG_QUALITYAVERAGE", "JPEG_QUALITYBAD"};
    for (int i = 0; i < qualities.size(); ++i) {
        const QString key = QString("3:Label1_from_SRC%1").arg(i + 1);
        QVERIFY2(captions.value(key).contains("(" + qualities.at(i) + ")"), qPrintable(key));
    }
    QVERIFY(captions.value("6:Button1") != captions.value("6:Button2"));

    // A translation, not a copy of the Spanish texts.
    if (database != spanishDatabase) {
        const QMultiMap<QString, QString> spanish = Captions(spanishDatabase);
        int same = 0;
        for (auto it = captions.cbegin(); it != captions.cend(); ++it) {
            same += spanish.value(it.key()) == it.value() ? 1 : 0;
        }
        QVERIFY2(same < captions.size() / 4, qPrintable(QString::number(same)));
    }
}

void TestStoreData::spanishTextsFollowTheWindowsLayout_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("caption");

    QTest::newRow("menu Archivo") << "1:MainMenu1"
                                  << "Archivo";
    QTest::newRow("menu Salir") << "1:MainMenu1Sub1"
                                << "Salir";
    QTest::newRow("menu Opciones") << "1:MainMenu2"
                                   << "Opciones";
    QTest::newRow("menu options item") << "1:MainMenu2Sub1"
                                       << "Opciones de calidad y redimensionado";
    QTest::newRow("menu Lenguajes") << "1:MainMenu2Sub2"
                                    << "Lenguajes";
    QTest::newRow("menu Acerca de") << "1:MainMenu3"
                                    << "Acerca de ...";
    QTest::newRow("menu Changelog") << "1:MainMenu3Sub1"
                                    << "Changelog";
    QTest::newRow("menu about item") << "1:MainMenu3Sub2"
                                     << "Acerca de ...";
    QTest::newRow("popup item") << "1:PopupMenu1Sub1"
                                << "Quitar imágen/es";
    QTest::newRow("dimensions group") << "1:GroupBox1"
                                      << " Dimensiones ";
    QTest::newRow("presets group") << "1:GroupBox2"
                                   << " Por defecto ";
    QTest::newRow("width") << "1:Label1"
                           << "Ancho";
    QTest::newRow("height") << "1:Label2"
                            << "Alto";
    QTest::newRow("longest side") << "1:Label6"
                                  << "Lado más grande";
    QTest::newRow("destination") << "1:Label3"
                                 << "Carpeta de destino";
    QTest::newRow("start") << "1:Button3"
                           << "Comenzar";
    QTest::newRow("cancel") << "1:Button4"
                            << "Cancelar";
    QTest::newRow("clear") << "1:Button2"
                           << "Limpiar";
    QTest::newRow("RAW box, spelt right") << "1:CheckBox2"
                                          << "Mantener dimensiones en ficheros RAW";
    QTest::newRow("clear hint") << "1:Button2Hint"
                                << "Limpiar la lista de imágenes";
    QTest::newRow("list hint") << "1:ListBox1Hint"
                               << "Botón derecho para quitar imágenes de la lista";
    QTest::newRow("options caption") << "3:Form_Caption"
                                     << "Opciones";
    QTest::newRow("filter group") << "3:GroupBox2"
                                  << "Filtro de reescalado";
    QTest::newRow("ratio heading") << "3:Label7"
                                   << "Ratio de compresión";
    QTest::newRow("RAW heading") << "3:Label8"
                                 << "RAW Soportados - FreeImage Plugin";
    QTest::newRow("BMP RLE") << "3:RadioButton7"
                             << "BMP_SAVE_RLE    (Con compresión RLE)";
    QTest::newRow("PNG best speed, trailing blank")
        << "3:RadioButton9"
        << "PNG_Z_BEST_SPEED                    (Mala compresión) ";
    QTest::newRow("PNG default") << "3:RadioButton10"
                                 << "PNG_Z_DEFAULT_COMPRESSION      (Normal)";
    QTest::newRow("TGA RLE") << "3:RadioButton14"
                             << "TARGA_SAVE_RLE   (Con compresión RLE)";
    QTest::newRow("TIFF deflate") << "3:RadioButton17"
                                  << "TIFF_DEFLATE        (Compresión ZLIB)";
    QTest::newRow("TIFF JPEG") << "3:RadioButton18"
                               << "TIFF_JPEG              (Compresión JPEG)";
    QTest::newRow("folder chooser") << "5:Caption"
                                    << "Selección carpeta";
    QTest::newRow("folder accept") << "5:Button1"
                                   << "Aceptar";
    QTest::newRow("create folder") << "5:Button2"
                                   << "Crear carpeta";
    QTest::newRow("message box OK") << "6:Button1"
                                    << "Aceptar";
    QTest::newRow("message box yes") << "6:Button2"
                                     << "Sí";
    QTest::newRow("about caption") << "7:Caption"
                                   << "Acerca de ...";
    QTest::newRow("library credit") << "7:Label4"
                                    << "Utiliza la librería FreeImage versión";
}

void TestStoreData::spanishTextsFollowTheWindowsLayout() {
    QFETCH(QString, key);
    QFETCH(QString, caption);
    for (const auto& [label, folder] : DataFolders()) {
        const QString spanish = SettingsColumn(folder, "SELECT ruta FROM idiomas").value(0);
        QCOMPARE(Captions(QDir(folder).filePath(spanish)).value(key), caption);
    }
}

// Runs the build's install step on temporary folders: a database the user has (changed) stays
// as it is, a missing one is put in place.
void TestStoreData::installKeepsDatabasesTheUserHas() {
    const QString cmake = QStandardPaths::findExecutable("cmake");
    if (cmake.isEmpty()) {
        QSKIP("cmake is not installed");
    }
    QTemporaryDir fresh;
    QTemporaryDir runtime;
    QVERIFY(fresh.isValid() && runtime.isValid());
    const QString table = "CREATE TABLE t (value TEXT); INSERT INTO t VALUES ('%1');";
    QVERIFY(RunSql(fresh.filePath("KVConfig.db"), table.arg("fresh")).isEmpty());
    QVERIFY(QDir(fresh.path()).mkdir("lang"));
    QVERIFY(RunSql(fresh.filePath("lang/Espanol.db"), table.arg("fresh")).isEmpty());
    QVERIFY(RunSql(runtime.filePath("KVConfig.db"), table.arg("changed by the user")).isEmpty());

    QProcess install;
    install.start(cmake, {"-DFRESH_DIR=" + fresh.path(), "-DRUNTIME_DIR=" + runtime.path(),
                          "-DFILES=KVConfig.db,lang/Espanol.db", "-P",
                          QStringLiteral(KAVENRA_SOURCE_DIR "/data/InstallIfMissing.cmake")});
    QVERIFY(install.waitForFinished(60000));
    QCOMPARE(install.exitCode(), 0);

    QStringList values;
    QVERIFY(QueryColumn(runtime.filePath("KVConfig.db"), "SELECT value FROM t", &values));
    QCOMPARE(values, QStringList({"changed by the user"}));
    QVERIFY(QueryColumn(runtime.filePath("lang/Espanol.db"), "SELECT value FROM t", &values));
    QCOMPARE(values, QStringList({"fresh"}));
    QVERIFY(!QFileInfo::exists(runtime.filePath("lang/Espanol.db.partial")));
}

// The language databases are the program's own: a rebuild brings the current texts into a runtime
// folder that holds older copies, or a text added since would be missing there.
void TestStoreData::languageDatabasesAreTheCurrentOnes() {
#ifndef KAVENRA_BUILT_DATA_DIR
    QSKIP("the build's fresh databases are not known to this test");
#else
    const QStringList names = QDir(QStringLiteral(KAVENRA_BUILT_DATA_DIR "/lang"))
                                  .entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
    QCOMPARE(names.size(), kShippedLanguages.size());
    for (const QString& name : names) {
        QFile built(QStringLiteral(KAVENRA_BUILT_DATA_DIR "/lang/") + name);
        QFile installed(RuntimeFile(QStringLiteral("lang/") + name));
        QVERIFY2(built.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly),
                 qPrintable(name));
        QVERIFY2(installed.readAll() == built.readAll(), qPrintable(name));
    }
#endif
}

void TestStoreData::changelogIsInstalled() {
    QFile installed(RuntimeFile("CHANGELOG.txt"));
    QFile source(QStringLiteral(KAVENRA_SOURCE_DIR "/data/CHANGELOG.txt"));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(), source.readAll());
}

QTEST_GUILESS_MAIN(TestStoreData)
#include "test_store_data.moc"
