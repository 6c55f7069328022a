// The language dialog on real settings databases: the listing and its preselection, storing the
// choice with the first-run flag, the translation that follows, the messages of every failure,
// the refused choice without an entry, and the menu's way in.

#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"
#include "support/ModalAnswerer.h"
#include "support/ScreenshotPixels.h"
#include "ui/AccessKeys.h"

#include "store/TranslationLookup.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/Forms.h"
#include "ui/Unit1.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace kavenra::testing;

namespace {

const QString kWelcome =
    QStringLiteral("Welcome, please select your language, only this first time use");
const QString kCaution = QString::fromUtf8("Atención");
const QString kAccessError = QStringLiteral("Se ha producido un error al acceder a la BDD");
const QString kListingError = QStringLiteral("Error SQL listando idiomas de la base de datos");

// The variables that name the user's locale, in the order they take precedence.
const char* const kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

QList<LanguageRow> threeLanguages() {
    return {{QStringLiteral("Español"), QStringLiteral("lang/es.db"), true},
            {QStringLiteral("English"), QStringLiteral("lang/en.db"), false},
            {QStringLiteral("Deutsch"), QStringLiteral("lang/de.db"), false}};
}

QStringList entries(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
}

QStringList messageBoxSummary(const ModalAnswerer& answers) {
    QStringList summary;
    for (const MessageBoxRecord& box : answers.messageBoxes()) {
        summary << (box.title + QStringLiteral(" | ") + box.text);
    }
    return summary;
}

}  // namespace

class TestLanguage : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void listsLanguagesAndPreselectsSecond();
    void okActivatesSecondEntryAndTranslates();
    void firstEntryActivatesIdZero();
    void failedFirstStatementLeavesTwoActiveRows();
    void nullLanguageNameIsAnEmptyEntry();
    void failedStatementsAreEachReported();
    void listingFailures_data();
    void listingFailures();
    void okWithoutEntryIsRefused_data();
    void okWithoutEntryIsRefused();
    void typedNameOfAnEntryChoosesIt();
    void closeBoxStoresNothing();
    void menuShowsDialogModelessWithItsOwnLabel();
    void preselection_data();
    void preselection();
    void returnTakesThePreselectedLanguage();

  private:
    bool prepare(const QList<LanguageRow>& languages);
    QStringList activeFlags() const;
    QString firstRunFlag() const;
    void showDialog();
    void pressOk();

    std::unique_ptr<DatabaseFolder> folder_;
    std::unique_ptr<ModalAnswerer> answers_;
    QMap<QByteArray, QByteArray> savedLocale_;
};

void TestLanguage::init() {
    // The preselection at the first run follows the locale: the same one for every case unless
    // a case sets its own.
    for (const char* variable : kLocaleVariables) {
        if (qEnvironmentVariableIsSet(variable)) savedLocale_[variable] = qgetenv(variable);
        qunsetenv(variable);
    }
    qputenv("LC_ALL", "C");
    folder_ = std::make_unique<DatabaseFolder>();
    QVERIFY(folder_->isValid());
    answers_ = std::make_unique<ModalAnswerer>();
    CreateAllForms();
}

void TestLanguage::cleanup() {
    DestroyAllForms();
    answers_.reset();
    folder_.reset();
    for (const char* variable : kLocaleVariables) {
        if (savedLocale_.contains(variable)) {
            qputenv(variable, savedLocale_.value(variable));
        } else {
            qunsetenv(variable);
        }
    }
    savedLocale_.clear();
}

// Settings with the given languages, the first run not yet done, and a complete database for
// every language whose texts start with the first two letters of its name.
bool TestLanguage::prepare(const QList<LanguageRow>& languages) {
    if (!folder_->writeSettings(languages)) return false;
    for (const LanguageRow& language : languages) {
        if (language.path.isEmpty()) continue;
        if (!folder_->writeCompleteLanguage(language.path, language.name.left(2))) return false;
    }
    return true;
}

QStringList TestLanguage::activeFlags() const {
    QStringList flags;
    QueryColumn(folder_->filePath(QStringLiteral("KVConfig.db")),
                QStringLiteral("SELECT activo FROM idiomas ORDER BY id"), &flags);
    return flags;
}

QString TestLanguage::firstRunFlag() const {
    return folder_->queryValue(QStringLiteral("KVConfig.db"),
                               QStringLiteral("SELECT primera_ejecucion FROM configuracion"));
}

void TestLanguage::showDialog() {
    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
}

void TestLanguage::pressOk() {
    QTest::mouseClick(Form4->Button1, Qt::LeftButton);
}

void TestLanguage::listsLanguagesAndPreselectsSecond() {
    QVERIFY(prepare(threeLanguages()));
    showDialog();
    QCOMPARE(entries(Form4->ComboBox1), (QStringList{"Español", "English", "Deutsch"}));
    QCOMPARE(Form4->ComboBox1->currentIndex(), 1);
    QCOMPARE(Form4->ComboBox1->currentText(), QStringLiteral("English"));
    QCOMPARE(Form4->Label1->text(), kWelcome);
    QVERIFY(Form4->ComboBox1->isEditable());
    QCOMPARE(Form4->ComboBox1->geometry(), QRect(112, 76, 145, 21));
    QCOMPARE(Form4->Button1->geometry(), QRect(182, 128, 75, 25));
    QCOMPARE(Form4->Image1->geometry(), QRect(346, 8, 90, 89));
    QVERIFY(!Form4->Image1->pixmap().isNull());
    QCOMPARE(Form4->focusWidget(), Form4->ComboBox1);
    QTest::keyClick(Form4->ComboBox1, Qt::Key_Tab);
    QCOMPARE(Form4->focusWidget(), Form4->Button1);

    // Every showing rebuilds the list and preselects the second entry again.
    Form4->ComboBox1->setCurrentIndex(2);
    Form4->hide();
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("INSERT INTO idiomas VALUES (3, 'Italiano', 'it.db', '0')"))
                .isEmpty());
    showDialog();
    QCOMPARE(Form4->ComboBox1->count(), 4);
    QCOMPARE(Form4->ComboBox1->currentIndex(), 1);
    QVERIFY(answers_->messageBoxes().isEmpty());
}

void TestLanguage::okActivatesSecondEntryAndTranslates() {
    QVERIFY(prepare(threeLanguages()));
    QCOMPARE(firstRunFlag(), QStringLiteral("0"));
    showDialog();
    pressOk();
    QCOMPARE(activeFlags(), (QStringList{"0", "1", "0"}));
    QCOMPARE(firstRunFlag(), QStringLiteral("1"));
    QVERIFY(!Form4->isVisible());
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("En1:GroupBox1"));
    QCOMPARE(kavenra::WithoutAccessKey(Form1->Lenguajes1->text()),
             QStringLiteral("En1:MainMenu2Sub2"));
    QCOMPARE(Form3->windowTitle(), QStringLiteral("En3:Form_Caption"));
    QCOMPARE(Form7->Label7->text(), QStringLiteral("En7:Label7"));
    // Lookups made after the choice follow it too.
    QCOMPARE(LookupCaption(1, "Caption_Atencion"), QStringLiteral("En1:Caption_Atencion"));
    QVERIFY(answers_->messageBoxes().isEmpty());
}

void TestLanguage::firstEntryActivatesIdZero() {
    QList<LanguageRow> languages = threeLanguages();
    languages[0].active = false;
    languages[2].active = true;
    QVERIFY(prepare(languages));
    showDialog();
    Form4->ComboBox1->setCurrentIndex(0);
    pressOk();
    QCOMPARE(activeFlags(), (QStringList{"1", "0", "0"}));
    QCOMPARE(Form1->Button3->text(), QStringLiteral("Es1:Button3"));
}

// A trigger refuses to switch the active language off, so the first statement fails while the
// second one succeeds: two rows are active, and lookups take the first in table order.
void TestLanguage::failedFirstStatementLeavesTwoActiveRows() {
    QVERIFY(prepare(threeLanguages()));
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("CREATE TRIGGER keep_active BEFORE UPDATE ON idiomas "
                                  "WHEN OLD.activo = '1' AND NEW.activo = '0' "
                                  "BEGIN SELECT RAISE(ABORT, 'language locked'); END"))
                .isEmpty());
    showDialog();
    StandardErrorCapture errors;
    pressOk();
    QCOMPARE(activeFlags(), (QStringList{"1", "1", "0"}));
    QCOMPARE(firstRunFlag(), QStringLiteral("1"));
    QCOMPARE(messageBoxSummary(*answers_),
             (QStringList{QStringLiteral("Kavenra | language locked"),
                          kCaution + QStringLiteral(" | ") + kAccessError}));
    QVERIFY(errors.lines().contains(QStringLiteral("SQL error: language locked")));
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("Es1:GroupBox1"));
    QCOMPARE(LookupCaption(1, "Caption_Atencion"), QStringLiteral("Es1:Caption_Atencion"));
    QVERIFY(!Form4->isVisible());
}

void TestLanguage::nullLanguageNameIsAnEmptyEntry() {
    QVERIFY(prepare(threeLanguages()));
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("UPDATE idiomas SET idioma = NULL WHERE id = 2"))
                .isEmpty());
    showDialog();
    QCOMPARE(entries(Form4->ComboBox1), (QStringList{"Español", "English", ""}));
    Form4->ComboBox1->setCurrentIndex(2);
    pressOk();
    QCOMPARE(activeFlags(), (QStringList{"0", "0", "1"}));
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("De1:GroupBox1"));
}

// Without the configuration table the third statement fails: its message, then the dialog's
// own, and the choice and the translation still happen.
void TestLanguage::failedStatementsAreEachReported() {
    QVERIFY(prepare(threeLanguages()));
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("DROP TABLE configuracion"))
                .isEmpty());
    showDialog();
    Form4->ComboBox1->setCurrentIndex(1);
    StandardErrorCapture errors;
    pressOk();
    QVERIFY(errors.lines().contains(QStringLiteral("SQL error: no such table: configuracion")));
    QCOMPARE(messageBoxSummary(*answers_),
             (QStringList{QStringLiteral("Kavenra | no such table: configuracion"),
                          kCaution + QStringLiteral(" | ") + kAccessError}));
    QCOMPARE(activeFlags(), (QStringList{"0", "1", "0"}));
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("En1:GroupBox1"));
    QVERIFY(!Form4->isVisible());
}

void TestLanguage::listingFailures_data() {
    QTest::addColumn<QString>("setup");  // SQL for KVConfig.db, or a special word
    QTest::addColumn<QStringList>("expectedEntries");
    QTest::addColumn<QStringList>("expectedBoxes");
    QTest::addColumn<QString>("expectedErrorLine");

    const QString caution = kCaution + QStringLiteral(" | ");
    QTest::newRow("settings database cannot be opened")
        << "directory" << QStringList{}
        << QStringList{caution + "Error al abrir base de datos",
                       "Kavenra | unable to open database file", caution + kListingError}
        << "No se puede abrir base de datos: unable to open database file";
    QTest::newRow("no languages table")
        << "DROP TABLE idiomas" << QStringList{}
        << QStringList{caution + "Error SQL", caution + kListingError}
        << "SQL error: no such table: idiomas";
    QTest::newRow("no idioma column")
        << "ALTER TABLE idiomas RENAME COLUMN idioma TO nombre" << QStringList{}
        << QStringList{caution + "Error SQL", caution + kListingError}
        << "SQL error: no such column: idioma";
    // The third row's value cannot be computed: the rows before it are listed.
    QTest::newRow("failure after two rows")
        << "ALTER TABLE idiomas RENAME TO filas;"
           "CREATE VIEW idiomas AS SELECT CASE WHEN id < 2 THEN idioma "
           "ELSE abs(-9223372036854775806 - id) END AS idioma FROM filas"
        << QStringList{"Español", "English"}
        << QStringList{caution + "Error SQL", caution + kListingError}
        << "SQL error: integer overflow";
    QTest::newRow("settings database missing: created empty")
        << "missing" << QStringList{} << QStringList{caution + "Error SQL", caution + kListingError}
        << "SQL error: no such table: idiomas";
}

void TestLanguage::listingFailures() {
    QFETCH(QString, setup);
    QFETCH(QStringList, expectedEntries);
    QFETCH(QStringList, expectedBoxes);
    QFETCH(QString, expectedErrorLine);
    QVERIFY(prepare(threeLanguages()));
    const QString settings = folder_->filePath(QStringLiteral("KVConfig.db"));
    if (setup == QLatin1String("directory") || setup == QLatin1String("missing")) {
        QVERIFY(QFile::remove(settings));
        if (setup == QLatin1String("directory")) QVERIFY(QDir().mkdir(settings));
    } else {
        QCOMPARE(RunSql(settings, setup), QString());
    }

    StandardErrorCapture errors;
    showDialog();
    QCOMPARE(messageBoxSummary(*answers_), expectedBoxes);
    QCOMPARE(entries(Form4->ComboBox1), expectedEntries);
    QCOMPARE(Form4->ComboBox1->currentIndex(), -1);
    QVERIFY2(errors.lines().contains(expectedErrorLine), qPrintable(errors.text()));
    for (const MessageBoxRecord& box : answers_->messageBoxes()) {
        QCOMPARE(box.icon, box.title == kCaution ? QMessageBox::Critical : QMessageBox::NoIcon);
    }
    if (setup == QLatin1String("missing")) QVERIFY(QFileInfo(settings).isFile());
}

void TestLanguage::okWithoutEntryIsRefused_data() {
    QTest::addColumn<int>("languageCount");
    QTest::addColumn<QString>("typed");  // typed into the entry field after the listing
    QTest::newRow("one language: nothing preselected") << 1 << "";
    QTest::newRow("typed text that names no entry") << 3 << "Klingon";
    QTest::newRow("entry field cleared") << 3 << "-";
}

// The choice is refused: nothing is written, the active language stays, the dialog says a
// language must be chosen and stays open; choosing an entry then works.
void TestLanguage::okWithoutEntryIsRefused() {
    QFETCH(int, languageCount);
    QFETCH(QString, typed);
    QVERIFY(prepare(threeLanguages().mid(0, languageCount)));
    showDialog();
    if (typed == QLatin1String("-")) {
        Form4->ComboBox1->lineEdit()->selectAll();
        QTest::keyClick(Form4->ComboBox1->lineEdit(), Qt::Key_Backspace);
    } else if (!typed.isEmpty()) {
        Form4->ComboBox1->lineEdit()->selectAll();
        QTest::keyClicks(Form4->ComboBox1->lineEdit(), typed);
    }
    const QString beforeTitle = Form1->GroupBox1->title();
    pressOk();
    // The program's own message box, in the active language like every other.
    QCOMPARE(answers_->messageBoxes().size(), 0);
    QCOMPARE(answers_->msgBoxes().size(), 1);
    QCOMPARE(answers_->msgBoxes()[0].caption, QStringLiteral("Es1:Caption_Atencion"));
    QCOMPARE(answers_->msgBoxes()[0].text, QStringLiteral("Es4:MsgBox_Idioma"));
    QCOMPARE(answers_->msgBoxes()[0].shownKind, static_cast<int>(MessageKind::Error));
    QCOMPARE(activeFlags(), (QStringList{"1", "0", "0"}.mid(0, languageCount)));
    QCOMPARE(firstRunFlag(), QStringLiteral("0"));
    QVERIFY(Form4->isVisible());
    QCOMPARE(Form1->GroupBox1->title(), beforeTitle);
    QCOMPARE(Form4->ComboBox1->count(), languageCount);

    Form4->ComboBox1->setCurrentIndex(0);
    pressOk();
    QCOMPARE(activeFlags().value(0), QStringLiteral("1"));
    QCOMPARE(firstRunFlag(), QStringLiteral("1"));
    QVERIFY(!Form4->isVisible());
}

void TestLanguage::typedNameOfAnEntryChoosesIt() {
    QVERIFY(prepare(threeLanguages()));
    showDialog();
    Form4->ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(Form4->ComboBox1->lineEdit(), QStringLiteral("Deutsch"));
    // Return takes it at once, and the typed text never becomes an entry.
    QTest::keyClick(Form4->ComboBox1->lineEdit(), Qt::Key_Return);
    QVERIFY(!Form4->isVisible());
    QCOMPARE(Form4->ComboBox1->count(), 3);
    QCOMPARE(activeFlags(), (QStringList{"0", "0", "1"}));
}

void TestLanguage::closeBoxStoresNothing() {
    QVERIFY(prepare(threeLanguages()));
    const QString beforeTitle = Form1->GroupBox1->title();
    showDialog();
    Form4->close();
    QCOMPARE(activeFlags(), (QStringList{"1", "0", "0"}));
    QCOMPARE(firstRunFlag(), QStringLiteral("0"));
    QCOMPARE(Form1->GroupBox1->title(), beforeTitle);
}

void TestLanguage::menuShowsDialogModelessWithItsOwnLabel() {
    QVERIFY(prepare(threeLanguages()));
    QCOMPARE(Form4->Label1->text(), kWelcome);
    Form1->Lenguajes1->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    QVERIFY(Form4->isVisible());
    QVERIFY(!Form4->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(Form4->Label1->text(), QStringLiteral("Es4:Label1_menu"));
    QCOMPARE(Form4->ComboBox1->currentIndex(), 1);
    pressOk();
    QCOMPARE(activeFlags(), (QStringList{"0", "1", "0"}));
    QCOMPARE(firstRunFlag(), QStringLiteral("1"));

    // The label keeps the menu's text from then on, in the language active when it was set.
    Form4->show();
    QCOMPARE(Form4->Label1->text(), QStringLiteral("Es4:Label1_menu"));
    Form4->hide();
    Form1->Lenguajes1->trigger();
    QCOMPARE(Form4->Label1->text(), QStringLiteral("En4:Label1_menu"));
    QVERIFY(answers_->messageBoxes().isEmpty());
    QVERIFY(answers_->dialogs().isEmpty());
}

void TestLanguage::preselection_data() {
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<int>("active");
    QTest::addColumn<QStringList>("locale");  // LC_ALL, LC_MESSAGES, LANG; "" unset
    QTest::addColumn<int>("expected");

    QTest::newRow("first run, German locale")
        << true << 0 << QStringList{"", "", "de_DE.UTF-8"} << 3;
    QTest::newRow("first run, LC_ALL before LANG")
        << true << 0 << QStringList{"en_GB.UTF-8", "", "de_DE.UTF-8"} << 1;
    QTest::newRow("first run, LC_MESSAGES before LANG")
        << true << 0 << QStringList{"", "de_AT.UTF-8", "en_US.UTF-8"} << 3;
    QTest::newRow("first run, Spanish with modifier")
        << true << 1 << QStringList{"", "", "es_ES.UTF-8@euro"} << 0;
    QTest::newRow("first run, pt_PT by its database's name")
        << true << 0 << QStringList{"", "", "pt_PT.UTF-8"} << 2;
    QTest::newRow("first run, pt_BR") << true << 0 << QStringList{"", "", "pt_BR.UTF-8"} << 2;
    QTest::newRow("first run, language not shipped")
        << true << 0 << QStringList{"", "", "ja_JP.UTF-8"} << 1;
    QTest::newRow("first run, C locale") << true << 0 << QStringList{"C", "", ""} << 1;
    QTest::newRow("first run, no locale") << true << 0 << QStringList{"", "", ""} << 1;
    QTest::newRow("later, Spanish active") << false << 0 << QStringList{"", "", "de_DE.UTF-8"} << 0;
    QTest::newRow("later, German active") << false << 3 << QStringList{"", "", "es_ES.UTF-8"} << 3;
    QTest::newRow("later, none active") << false << -1 << QStringList{"", "", ""} << 1;
}

// The entry OK takes without a second look: the user's own language at the first run when it
// is shipped, and the active one afterwards, so a reflex OK never switches the language.
void TestLanguage::preselection() {
    QFETCH(bool, firstRun);
    QFETCH(int, active);
    QFETCH(QStringList, locale);
    QFETCH(int, expected);
    // The fourth entry's name is not one the program knows: found by its database's name.
    QList<LanguageRow> languages = threeLanguages();
    languages.insert(2, {QStringLiteral("Portuguese"), QStringLiteral("lang/Portugues.db"), false});
    for (int row = 0; row < languages.size(); ++row) languages[row].active = row == active;
    QVERIFY(prepare(languages));
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                   QStringLiteral("UPDATE configuracion SET primera_ejecucion = '%1'")
                       .arg(firstRun ? 0 : 1))
                .isEmpty());
    for (int i = 0; i < 3; ++i) {
        if (locale[i].isEmpty()) {
            qunsetenv(kLocaleVariables[i]);
        } else {
            qputenv(kLocaleVariables[i], locale[i].toUtf8());
        }
    }

    if (firstRun) {
        showDialog();
    } else {
        Form1->Lenguajes1->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Form4));
    }
    QCOMPARE(Form4->ComboBox1->currentIndex(), expected);
    QCOMPARE(Form4->ComboBox1->currentText(), languages[expected].name);
    pressOk();
    QStringList flags;
    for (int row = 0; row < languages.size(); ++row) flags << (row == expected ? "1" : "0");
    QCOMPARE(activeFlags(), flags);
    QVERIFY(answers_->messageBoxes().isEmpty());
    QVERIFY(answers_->msgBoxes().isEmpty());
}

// OK is the default button: one Return, with the focus where the dialog puts it, takes the
// preselected language and closes the dialog.
void TestLanguage::returnTakesThePreselectedLanguage() {
    qputenv("LANG", "de_DE.UTF-8");
    qunsetenv("LC_ALL");
    QVERIFY(prepare(threeLanguages()));
    showDialog();
    QVERIFY(Form4->Button1->isDefault());
    QCOMPARE(QApplication::focusWidget(), Form4->ComboBox1);
    const QString folder = ScreenshotFolder();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Form4->grab().toImage().save(
        QDir(folder).filePath(QStringLiteral("language-dialog-first-start-de_DE.png"))));
    QTest::keyClick(Form4->ComboBox1, Qt::Key_Return);
    QVERIFY(!Form4->isVisible());
    QCOMPARE(activeFlags(), (QStringList{"0", "0", "1"}));
    QCOMPARE(firstRunFlag(), QStringLiteral("1"));
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("De1:GroupBox1"));
}

KAVENRA_WINDOW_TEST_MAIN(TestLanguage)

#include "test_language.moc"
