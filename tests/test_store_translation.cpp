// Translation lookup: ActiveLanguageDatabase and LookupCaption on real settings and language
// databases, and the list of keys a language database must hold.

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "store/CaptionKeys.h"
#include "store/DatabaseAccess.h"
#include "store/RenamedCaptionKeys.h"
#include "store/TranslationLookup.h"
#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"
#include "support/DatabaseProbe.h"

using namespace kavenra::testing;

namespace {

const char kNotFound[] = "Error al leer de la base de datos, fichero no encontrado";

QString KeyText(const kavenra::CaptionKey& key) {
    return QString::fromUtf8(key.key.data(), static_cast<qsizetype>(key.key.size()));
}

int RunTranslationProbe() {
    const QString caption = LookupCaption(kavenra::kMainWindowForm, "Caption_Atencion");
    std::printf("lookup returned: %s\n", caption.toUtf8().constData());
    return 0;
}

}  // namespace

class TestStoreTranslation : public QObject {
    Q_OBJECT

  private slots:
    void activeLanguageDatabase_data();
    void activeLanguageDatabase();
    void activeLanguageDatabaseReportsFailingQuery();

    void lookupFindsEveryKey();
    void lookupDecodesUtf8();
    void lookupGivesEmptyTextForMissingRow_data();
    void lookupGivesEmptyTextForMissingRow();
    void lookupBuildsStatementFromFormAndKey_data();
    void lookupBuildsStatementFromFormAndKey();
    void lookupUsesFirstActiveRow();
    void lookupResolvesRutaAgainstWorkingDirectory();
    void lookupFollowsLanguageChangeAtOnce();
    void lookupEndsProcessWithoutLanguageDatabase_data();
    void lookupEndsProcessWithoutLanguageDatabase();

    void captionKeysAreUniqueAndSafeInStatements();
    void lookupReadsARenamedKeyUnderItsFormerName_data();
    void lookupReadsARenamedKeyUnderItsFormerName();
    void renamedKeysAreKnownUnderOneOfTheirNames();
};

void TestStoreTranslation::activeLanguageDatabase_data() {
    QTest::addColumn<QList<LanguageRow>>("languages");
    QTest::addColumn<QString>("expected");

    QTest::newRow("the active row")
        << QList<LanguageRow>{{"Español", "lang/es.db", false}, {"English", "lang/en.db", true}}
        << "lang/en.db";
    QTest::newRow("two active rows: the first in table order")
        << QList<LanguageRow>{{"Zulu", "z.db", true}, {"Afrikaans", "a.db", true}} << "z.db";
    QTest::newRow("no active row")
        << QList<LanguageRow>{{"Español", "es.db", false}, {"English", "en.db", false}} << "";
    QTest::newRow("active row without a path")
        << QList<LanguageRow>{{"Español", QString(), true}} << "";
    QTest::newRow("path stored exactly, absolute or with blanks")
        << QList<LanguageRow>{{"English", "/opt/my lang/en.db", true}} << "/opt/my lang/en.db";
}

void TestStoreTranslation::activeLanguageDatabase() {
    QFETCH(QList<LanguageRow>, languages);
    QFETCH(QString, expected);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings(languages));
    MessageRecorder messages;

    QCOMPARE(QString::fromStdString(ActiveLanguageDatabase("KVConfig.db")), expected);
    QCOMPARE(messages.messages(), QStringList());
}

void TestStoreTranslation::activeLanguageDatabaseReportsFailingQuery() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QCOMPARE(RunSql(folder.filePath("KVConfig.db"), "CREATE TABLE configuracion (jpeg TEXT);"),
             QString());
    MessageRecorder messages;

    QCOMPARE(ActiveLanguageDatabase("KVConfig.db"), std::string("FALLO!"));
    QCOMPARE(messages.messages(), QStringList({"1", "Error Preparando consulta",
                                               "SELECT ruta FROM idiomas WHERE activo='1'"}));
}

void TestStoreTranslation::lookupFindsEveryKey() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings({{"Español", "lang/es.db", true}}));
    QVERIFY(folder.writeCompleteLanguage("lang/es.db", "es:"));
    MessageRecorder messages;

    // Every key answers with its own row: no key is looked up under another form or name.
    for (const kavenra::CaptionKey& key : kavenra::AllCaptionKeys()) {
        const QString expected = "es:" + QString::number(key.form) + ':' + KeyText(key);
        // A text completed with values keeps its places after the key.
        QCOMPARE(LookupCaption(key.form, std::string(key.key)).section(QLatin1Char(' '), 0, 0),
                 expected);
    }
    QCOMPARE(messages.messages(), QStringList());
}

void TestStoreTranslation::lookupDecodesUtf8() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings({{"Español", "es.db", true}}));
    const QString text = QStringLiteral("¿Sí? Ñandú, Größe, 日本語 ✓ 🙂");
    QVERIFY(folder.writeLanguage("es.db", {{kavenra::kMessageBoxForm, "Button2", text}}));

    QCOMPARE(LookupCaption(kavenra::kMessageBoxForm, "Button2"), text);
}

void TestStoreTranslation::lookupGivesEmptyTextForMissingRow_data() {
    QTest::addColumn<int>("form");
    QTest::addColumn<QString>("key");

    QTest::newRow("key stored only under another form: about box") << 7 << "Button1";
    QTest::newRow("key stored only under another form: message box") << 6 << "Button1";
    QTest::newRow("unknown key") << 3 << "Button9";
    QTest::newRow("caption stored as NULL") << 1 << "Label1";
}

void TestStoreTranslation::lookupGivesEmptyTextForMissingRow() {
    QFETCH(int, form);
    QFETCH(QString, key);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings({{"Español", "es.db", true}}));
    QVERIFY(folder.writeLanguage("es.db", {{3, "Button1", "Guardar"}, {1, "Label1", QString()}}));
    MessageRecorder messages;

    const QString caption = LookupCaption(form, key.toStdString());

    QVERIFY(caption.isEmpty());
    QCOMPARE(messages.messages(), QStringList());
    QCOMPARE(LookupCaption(3, "Button1"), QStringLiteral("Guardar"));
}

void TestStoreTranslation::lookupBuildsStatementFromFormAndKey_data() {
    QTest::addColumn<int>("form");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("statement");

    QTest::newRow("main window") << 1 << "Caption_Atencion"
                                 << "SELECT caption FROM traduccion WHERE form='1' AND "
                                    "object='Caption_Atencion'";
    QTest::newRow("two digits") << 12 << "Label1_from_SRC3"
                                << "SELECT caption FROM traduccion WHERE form='12' AND "
                                   "object='Label1_from_SRC3'";
    QTest::newRow("negative number keeps its sign")
        << -3 << "Label7"
        << "SELECT caption FROM traduccion WHERE form='-3' AND object='Label7'";
}

// A language database that cannot be read shows the statement it was given, which makes the
// exact text visible; the lookup then yields "FALLO!".
void TestStoreTranslation::lookupBuildsStatementFromFormAndKey() {
    QFETCH(int, form);
    QFETCH(QString, key);
    QFETCH(QString, statement);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings({{"Español", "es.db", true}}));
    QFile broken(folder.filePath("es.db"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("this is no database, just some text that is long enough\n");
    broken.close();
    MessageRecorder messages;

    QCOMPARE(LookupCaption(form, key.toStdString()), QStringLiteral("FALLO!"));
    QCOMPARE(messages.messages(), QStringList({"26", "Error Preparando consulta", statement}));
}

void TestStoreTranslation::lookupUsesFirstActiveRow() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    // Table order, not alphabetical order or id order, decides.
    QVERIFY(RunSql(folder.filePath("KVConfig.db"),
                   "CREATE TABLE idiomas (id INTEGER, idioma TEXT, ruta TEXT, activo TEXT);"
                   "INSERT INTO idiomas VALUES (5, 'Deutsch', 'de.db', '1');"
                   "INSERT INTO idiomas VALUES (0, 'English', 'en.db', '1');")
                .isEmpty());
    QVERIFY(folder.writeLanguage("de.db", {{6, "Button2", "Ja"}}));
    QVERIFY(folder.writeLanguage("en.db", {{6, "Button2", "Yes"}}));

    QCOMPARE(LookupCaption(6, "Button2"), QStringLiteral("Ja"));
}

void TestStoreTranslation::lookupResolvesRutaAgainstWorkingDirectory() {
    DatabaseFolder first;
    QVERIFY(first.isValid());
    QVERIFY(first.writeSettings({{"Español", "lang/current.db", true}}));
    QVERIFY(first.writeLanguage("lang/current.db", {{1, "Label1", "Ancho"}}));
    QTemporaryDir second;
    QVERIFY(second.isValid());
    QVERIFY(QFile::copy(first.filePath("KVConfig.db"), second.filePath("KVConfig.db")));
    QVERIFY(QDir(second.path()).mkdir("lang"));
    QVERIFY(RunSql(second.filePath("lang/current.db"),
                   "CREATE TABLE traduccion (form TEXT, object TEXT, caption TEXT);"
                   "INSERT INTO traduccion VALUES ('1', 'Label1', 'Width');")
                .isEmpty());

    QCOMPARE(LookupCaption(1, "Label1"), QStringLiteral("Ancho"));
    {
        ScopedWorkingDirectory inSecond(second.path());
        QVERIFY(inSecond.isValid());
        QCOMPARE(LookupCaption(1, "Label1"), QStringLiteral("Width"));
    }
    QCOMPARE(LookupCaption(1, "Label1"), QStringLiteral("Ancho"));
}

void TestStoreTranslation::lookupFollowsLanguageChangeAtOnce() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings(
        {{"Español", "es.db", true}, {"English", "en.db", false}, {"Deutsch", "de.db", false}}));
    QVERIFY(folder.writeCompleteLanguage("es.db", "es:"));
    QVERIFY(folder.writeCompleteLanguage("en.db", "en:"));
    QVERIFY(folder.writeCompleteLanguage("de.db", "de:"));
    QCOMPARE(LookupCaption(1, "Texto_advertencia4"), QStringLiteral("es:1:Texto_advertencia4"));

    // The language dialog's statements, with the quoted id it writes.
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE idiomas SET activo='0'"));
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE idiomas SET activo='1' WHERE id='1'"));

    QCOMPARE(LookupCaption(1, "Texto_advertencia4"), QStringLiteral("en:1:Texto_advertencia4"));
    QCOMPARE(LookupCaption(5, "MsgBox_Carpeta2"), QStringLiteral("en:5:MsgBox_Carpeta2"));
}

void TestStoreTranslation::lookupEndsProcessWithoutLanguageDatabase_data() {
    QTest::addColumn<QList<LanguageRow>>("languages");
    QTest::addColumn<bool>("withSettings");
    QTest::addColumn<QStringList>("messagesBefore");

    const QList<LanguageRow> none;
    QTest::newRow("ruta names no file")
        << QList<LanguageRow>{{"Español", "lang/missing.db", true}} << true << QStringList();
    QTest::newRow("empty ruta") << QList<LanguageRow>{{"Español", "", true}} << true
                                << QStringList();
    QTest::newRow("no active language")
        << QList<LanguageRow>{{"Español", "es.db", false}} << true << QStringList();
    QTest::newRow("no settings database") << none << false << QStringList();
    QTest::newRow("no idiomas table") << none << true
                                      << QStringList{"1", "Error Preparando consulta",
                                                     "SELECT ruta FROM idiomas WHERE activo='1'"};
}

void TestStoreTranslation::lookupEndsProcessWithoutLanguageDatabase() {
    QFETCH(QList<LanguageRow>, languages);
    QFETCH(bool, withSettings);
    QFETCH(QStringList, messagesBefore);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    if (withSettings && !languages.isEmpty()) {
        QVERIFY(folder.writeSettings(languages));
        QVERIFY(folder.writeCompleteLanguage("es.db", "es:"));
    } else if (withSettings) {
        QVERIFY(RunSql(folder.filePath("KVConfig.db"), "CREATE TABLE configuracion (a TEXT);")
                    .isEmpty());
    }

    const ProbeResult result = RunProbe("lookup", folder.path());

    QVERIFY(result.started);
    QVERIFY(result.exitedNormally);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(!result.standardOutput.contains("lookup returned"), qPrintable(result.standardOutput));
    const QStringList lines = result.standardError.split('\n', Qt::SkipEmptyParts);
    const qsizetype notFound = lines.indexOf(kNotFound);
    QVERIFY2(notFound >= 0, qPrintable(result.standardError));
    QCOMPARE(lines.mid(notFound - messagesBefore.size(), messagesBefore.size()), messagesBefore);
}

void TestStoreTranslation::captionKeysAreUniqueAndSafeInStatements() {
    const std::vector<kavenra::CaptionKey> keys = kavenra::AllCaptionKeys();
    QCOMPARE(keys.size(), kavenra::kWindowTranslationKeys.size() + kavenra::kShownTextKeys.size() +
                              kavenra::kTerminalTextKeys.size());
    const QSet<int> forms{1, 3, 4, 5, 6, 7};
    const QRegularExpression identifier("^[A-Za-z0-9_]+$");
    QSet<QString> seen;
    for (const kavenra::CaptionKey& key : keys) {
        const QString name = QString::number(key.form) + ':' + KeyText(key);
        QVERIFY2(!seen.contains(name), qPrintable("twice in the list: " + name));
        seen.insert(name);
        QVERIFY2(forms.contains(key.form), qPrintable(name));
        // Keys go into the statement unescaped.
        QVERIFY2(identifier.match(KeyText(key)).hasMatch(), qPrintable(name));
        QVERIFY(kavenra::IsKnownCaptionKey(key.form, key.key));
    }
    QVERIFY(!kavenra::IsKnownCaptionKey(7, "ValueListEditor1"));
    QVERIFY(!kavenra::IsKnownCaptionKey(3, "Label1_from_SRC6"));
}

// A language database made before a key was renamed (a user's own translation) holds the text only
// under the former name; a newer one under the present name, which wins when both are there.
void TestStoreTranslation::lookupReadsARenamedKeyUnderItsFormerName_data() {
    QTest::addColumn<int>("form");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("formerKey");
    QTest::addColumn<bool>("storePresent");
    QTest::addColumn<bool>("storeFormer");
    QTest::addColumn<QString>("expected");
    for (const kavenra::RenamedCaptionKey& renamed : kavenra::kRenamedCaptionKeys) {
        const QString key = QString::fromUtf8(renamed.key.data(), renamed.key.size());
        const QString former =
            QString::fromUtf8(renamed.formerKey.data(), renamed.formerKey.size());
        QTest::addRow("only the former name: %s", qPrintable(key))
            << renamed.form << key << former << false << true << "former";
    }
    const kavenra::RenamedCaptionKey& first = kavenra::kRenamedCaptionKeys.front();
    const QString key = QString::fromUtf8(first.key.data(), first.key.size());
    const QString former = QString::fromUtf8(first.formerKey.data(), first.formerKey.size());
    QTest::newRow("both names: the present one")
        << first.form << key << former << true << true << "present";
    QTest::newRow("only the present name")
        << first.form << key << former << true << false << "present";
    QTest::newRow("neither name") << first.form << key << former << false << false << "";
    // The former name belongs to its own window: another window's row under it is not taken.
    QTest::newRow("the former name under another window")
        << first.form << key << former << false << false << "";
}

void TestStoreTranslation::lookupReadsARenamedKeyUnderItsFormerName() {
    QFETCH(int, form);
    QFETCH(QString, key);
    QFETCH(QString, formerKey);
    QFETCH(bool, storePresent);
    QFETCH(bool, storeFormer);
    QFETCH(QString, expected);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings({{"Español", "es.db", true}}));
    QList<CaptionRow> rows{{kavenra::kMainWindowForm, "Caption_Atencion", "Atención"}};
    if (storePresent) rows.append({form, key, "present"});
    if (storeFormer) rows.append({form, formerKey, "former"});
    if (QTest::currentDataTag() == QByteArray("the former name under another window")) {
        rows.append({kavenra::kMainWindowForm, formerKey, "main window"});
    }
    QVERIFY(folder.writeLanguage("es.db", rows));
    MessageRecorder messages;

    QCOMPARE(LookupCaption(form, key.toStdString()), expected);
    // The former name is no key of the program any more: asked for itself, it is not renamed.
    QCOMPARE(LookupCaption(form, formerKey.toStdString()),
             storeFormer ? QStringLiteral("former") : QString());
    QCOMPARE(messages.messages(), QStringList());
}

// Every renamed key is a key of the program under exactly one of its names: the present one once
// the controls carry their new names. A name in the table that is neither (a typing error) would
// never be looked up; one that is both would read a text under the wrong key.
void TestStoreTranslation::renamedKeysAreKnownUnderOneOfTheirNames() {
    QSet<QString> seen;
    for (const kavenra::RenamedCaptionKey& renamed : kavenra::kRenamedCaptionKeys) {
        const QString name = QString::number(renamed.form) + ':' +
                             QString::fromUtf8(renamed.key.data(), renamed.key.size());
        QVERIFY2(!seen.contains(name), qPrintable("twice in the table: " + name));
        seen.insert(name);
        QVERIFY2(kavenra::IsKnownCaptionKey(renamed.form, renamed.key) !=
                     kavenra::IsKnownCaptionKey(renamed.form, renamed.formerKey),
                 qPrintable(name));
        QCOMPARE(kavenra::FormerCaptionKey(renamed.form, renamed.key), renamed.formerKey);
        QVERIFY(kavenra::FormerCaptionKey(renamed.form, renamed.formerKey).empty());
    }
    QVERIFY(kavenra::FormerCaptionKey(kavenra::kMainWindowForm, "CheckBox1").empty());
}

int main(int argc, char** argv) {
    if (!ProbeName().isEmpty()) {
        return RunTranslationProbe();
    }
    QCoreApplication application(argc, argv);
    TestStoreTranslation test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_store_translation.moc"
