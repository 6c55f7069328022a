// The translation of the windows: every caption, hint, menu item and column title of the list is
// set from the active language, nothing else changes, and a missing or failing lookup reaches
// exactly its own target. Checked on the real windows, by looking at what each one shows.

#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"
#include "support/ModalAnswerer.h"
#include "ui/AccessKeys.h"

#include "store/CaptionKeys.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form7_acercade.h"
#include "ui/Forms.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"
#include "ui/ValueListEditor.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace kavenra::testing;

namespace {

// What every window of the translation shows, as "window/control:property" -> text. Menu items
// are named by their position in the menu tree, the way the translation addresses them.
using Snapshot = QMap<QString, QString>;

void addMenuItems(Snapshot& shot, const QString& prefix, const QList<QAction*>& items) {
    for (int i = 0; i < items.size(); ++i) {
        const QString name = prefix + QLatin1Char('/') + QString::number(i);
        shot[name + QStringLiteral(":text")] = kavenra::WithoutAccessKey(items[i]->text());
        if (items[i]->menu()) addMenuItems(shot, name, items[i]->menu()->actions());
    }
}

void addWindow(Snapshot& shot, const QString& window, QWidget* form) {
    shot[window + QStringLiteral(":title")] = form->windowTitle();
    for (QWidget* control : form->findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        const QString prefix = window + QLatin1Char('/') + name;
        if (auto* label = qobject_cast<QLabel*>(control)) shot[prefix + ":text"] = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            shot[prefix + ":text"] = button->text();
        }
        if (auto* group = qobject_cast<QGroupBox*>(control))
            shot[prefix + ":text"] = group->title();
        shot[prefix + ":toolTip"] = control->toolTip();
        shot[prefix + ":statusTip"] = control->statusTip();
    }
}

Snapshot takeSnapshot() {
    Snapshot shot;
    addWindow(shot, QStringLiteral("Form1"), Form1);
    addWindow(shot, QStringLiteral("Form3"), Form3);
    addWindow(shot, QStringLiteral("Form4"), Form4);
    addWindow(shot, QStringLiteral("Form5"), Form5);
    addWindow(shot, QStringLiteral("Form7"), Form7);
    shot[QStringLiteral("Form7/credits:title")] = Form7->credits->windowTitle();
    addMenuItems(shot, QStringLiteral("Form1/menu"), Form1->menuBar()->actions());
    addMenuItems(shot, QStringLiteral("Form1/popup"), Form1->PopupMenu1->actions());
    const QStringList titles = Form3->ValueListEditor1->TitleCaptions();
    shot[QStringLiteral("Form3/ValueListEditor1:title0")] = titles.value(0);
    shot[QStringLiteral("Form3/ValueListEditor1:title1")] = titles.value(1);
    for (int page = 0; page < Form3->OptionPages->count(); ++page) {
        shot[QStringLiteral("Form3/OptionPages:tab%1").arg(page)] =
            Form3->OptionPages->tabText(page);
    }
    return shot;
}

QString keyName(const kavenra::CaptionKey& key) {
    return QString::number(key.form) + QLatin1Char(':') +
           QString::fromUtf8(key.key.data(), static_cast<qsizetype>(key.key.size()));
}

// Where the text of each key must appear: the list a user of the program sees.
QStringList targetsOf(const QString& key) {
    static const QMap<QString, QStringList> targets = [] {
        QMap<QString, QStringList> map;
        auto caption = [&](const char* key, const char* control) {
            map[QLatin1String(key)] = {QLatin1String(control) + QStringLiteral(":text")};
        };
        auto hint = [&](const char* key, const char* control) {
            map[QLatin1String(key)] = {QLatin1String(control) + QStringLiteral(":toolTip"),
                                       QLatin1String(control) + QStringLiteral(":statusTip")};
        };
        map[QStringLiteral("3:Form_Caption")] = {QStringLiteral("Form3:title")};
        for (const char* control : {"Label8",           "GroupBox2",       "Button1",
                                    "Label7",           "RadioButton6",    "RadioButton7",
                                    "RadioButton9",     "RadioButton10",   "RadioButton11",
                                    "RadioButton12",    "RadioButton13",   "RadioButton14",
                                    "RadioButton15",    "RadioButton16",   "RadioButton17",
                                    "RadioButton18",    "saveAsGroup",     "saveAsOriginalButton",
                                    "webpQualityLabel", "webpLosslessBox", "fastJpegDecodingBox",
                                    "moreChoicesGroup", "noEnlargeBox",    "fitWithinBox",
                                    "keepDatesBox",     "subfoldersBox",   "removeLocationBox",
                                    "sizeBudgetBox"}) {
            map[QStringLiteral("3:") + QLatin1String(control)] = {
                QStringLiteral("Form3/") + QLatin1String(control) + QStringLiteral(":text")};
        }
        // Checked one item at a time by the comma-text cases; the whole text lands here.
        map[QStringLiteral("3:ValueListEditor1")] = {
            QStringLiteral("Form3/ValueListEditor1:title0"),
            QStringLiteral("Form3/ValueListEditor1:title1")};
        caption("1:MainMenu1", "Form1/menu/0");
        caption("1:MainMenu1Sub1", "Form1/menu/0/3");
        caption("1:MainMenu1Sub2", "Form1/menu/0/0");
        caption("1:MainMenu1Sub3", "Form1/menu/0/1");
        caption("1:MainMenu2", "Form1/menu/1");
        caption("1:MainMenu2Sub1", "Form1/menu/1/0");
        caption("1:MainMenu2Sub2", "Form1/menu/1/2");
        caption("1:MainMenu3", "Form1/menu/2");
        caption("1:MainMenu3Sub1", "Form1/menu/2/0");
        caption("1:MainMenu3Sub2", "Form1/menu/2/2");
        caption("1:PopupMenu1Sub1", "Form1/popup/0");
        for (const char* control :
             {"GroupBox1", "GroupBox2", "Label1", "Label2", "Label6", "Label3", "Label9", "Label8",
              "CheckBox1", "CheckBox2", "Button2", "Button4", "Button3"}) {
            map[QStringLiteral("1:") + QLatin1String(control)] = {
                QStringLiteral("Form1/") + QLatin1String(control) + QStringLiteral(":text")};
        }
        hint("1:ListBox1Hint", "Form1/ListBox1");
        hint("1:CheckBox2Hint", "Form1/CheckBox2");
        hint("1:SpeedButton2Hint", "Form1/SpeedButton2");
        hint("1:Button2Hint", "Form1/Button2");
        hint("1:Edit4Hint", "Form1/Edit4");
        caption("1:RadioButton11", "Form1/RadioButton11");
        hint("3:RadioButton18Hint", "Form3/RadioButton18");
        hint("3:saveAsGroupHint", "Form3/saveAsGroup");
        map[QStringLiteral("3:TrackBar1Hint")] = {QStringLiteral("Form3/TrackBar1:statusTip")};
        map[QStringLiteral("5:Caption")] = {QStringLiteral("Form5:title")};
        caption("5:Button1", "Form5/Button1");
        caption("5:Button2", "Form5/Button2");
        map[QStringLiteral("7:Caption")] = {QStringLiteral("Form7:title")};
        for (const char* control : {"Button1", "Label2", "Label4", "Label6", "Label7"}) {
            map[QStringLiteral("7:") + QLatin1String(control)] = {
                QStringLiteral("Form7/") + QLatin1String(control) + QStringLiteral(":text")};
        }
        hint("7:Image15Hint", "Form7/Image15");
        map[QStringLiteral("7:Button1")].append(QStringLiteral("Form7/closeButton:text"));
        caption("7:licenceLabel", "Form7/licenceLabel");
        caption("7:creditsButton", "Form7/creditsButton");
        map[QStringLiteral("7:creditsCaption")] = {QStringLiteral("Form7/credits:title")};
        caption("7:creditsIntroduction", "Form7/introduction");
        caption("3:CancelButton", "Form3/CancelButton");
        map[QStringLiteral("3:FormatsPage")] = {QStringLiteral("Form3/OptionPages:tab0")};
        map[QStringLiteral("3:MoreOptionsPage")] = {QStringLiteral("Form3/OptionPages:tab1")};
        map[QStringLiteral("4:Caption")] = {QStringLiteral("Form4:title")};
        caption("4:Button1", "Form4/Button1");
        return map;
    }();
    return targets.value(key);
}

// The text a language gives a key: traceable to its language and key. The column titles are a
// comma text of two items, the first with a blank and a comma inside its quotes.
QString languageText(const QString& prefix, const kavenra::CaptionKey& key) {
    if (key.key == "ValueListEditor1") {
        return QStringLiteral("\"%1 type, kind\",%1Description").arg(prefix);
    }
    return prefix + keyName(key);
}

QList<CaptionRow> languageRows(const QString& prefix, const QString& leftOut = QString()) {
    QList<CaptionRow> rows;
    for (const kavenra::CaptionKey& key : kavenra::AllCaptionKeys()) {
        if (keyName(key) == leftOut) continue;
        rows.append({key.form, QString::fromUtf8(key.key.data(), key.key.size()),
                     languageText(prefix, key)});
    }
    return rows;
}

// The texts expected for one key's targets after a pass in a language.
QStringList expectedTexts(const QString& prefix, const kavenra::CaptionKey& key) {
    const QStringList targets = targetsOf(keyName(key));
    if (key.key == "ValueListEditor1") {
        return {prefix + QStringLiteral(" type, kind"), prefix + QStringLiteral("Description")};
    }
    return QStringList(targets.size(), languageText(prefix, key));
}

}  // namespace

class TestTranslation : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void commaTextItems_data();
    void commaTextItems();
    void columnTitlesFromCommaText_data();
    void columnTitlesFromCommaText();

    void everyTargetInTwoLanguages();
    void missingKeyEmptiesItsTargetOnly_data();
    void missingKeyEmptiesItsTargetOnly();
    void failingLookupsSetFallo();

  private:
    bool writeLanguages(const QString& leftOutOfA = QString());
    bool activate(int id);

    std::unique_ptr<DatabaseFolder> folder_;
    std::unique_ptr<ModalAnswerer> answers_;
};

void TestTranslation::init() {
    folder_ = std::make_unique<DatabaseFolder>();
    QVERIFY(folder_->isValid());
    answers_ = std::make_unique<ModalAnswerer>();
    CreateAllForms();
}

void TestTranslation::cleanup() {
    DestroyAllForms();
    answers_.reset();
    folder_.reset();
}

bool TestTranslation::writeLanguages(const QString& leftOutOfA) {
    return folder_->writeSettings({{QStringLiteral("A"), QStringLiteral("lang/a.db"), true},
                                   {QStringLiteral("B"), QStringLiteral("lang/b.db"), false}}) &&
           folder_->writeLanguage(QStringLiteral("lang/a.db"),
                                  languageRows(QStringLiteral("A"), leftOutOfA)) &&
           folder_->writeLanguage(QStringLiteral("lang/b.db"), languageRows(QStringLiteral("B")));
}

bool TestTranslation::activate(int id) {
    return RunSql(
               folder_->filePath(QStringLiteral("KVConfig.db")),
               QStringLiteral("UPDATE idiomas SET activo = CASE id WHEN %1 THEN '1' ELSE '0' END")
                   .arg(id))
        .isEmpty();
}

void TestTranslation::commaTextItems_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("two words, comma")
        << "Extension,Description" << QStringList{"Extension", "Description"};
    QTest::newRow("two words, blank")
        << "Extension Description" << QStringList{"Extension", "Description"};
    QTest::newRow("blanks around items and comma")
        << "  Extension ,  Description  " << QStringList{"Extension", "Description"};
    QTest::newRow("one item") << "Extension" << QStringList{"Extension"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("blanks only") << " \t " << QStringList{};
    QTest::newRow("quoted item with blank and comma")
        << "\"File type, short\",\"What it is\"" << QStringList{"File type, short", "What it is"};
    QTest::newRow("doubled quote inside quotes")
        << "\"say \"\"hi\"\"\",x" << QStringList{"say \"hi\"", "x"};
    QTest::newRow("quote inside an unquoted item") << "a\"b,c" << QStringList{"a\"b", "c"};
    QTest::newRow("text right after the closing quote") << "\"ab\"cd" << QStringList{"ab", "cd"};
    QTest::newRow("unterminated quote runs to the end")
        << "\"open, text" << QStringList{"open, text"};
    QTest::newRow("two commas: empty item between") << "a,,b" << QStringList{"a", "", "b"};
    QTest::newRow("comma at the end: empty last item") << "a," << QStringList{"a", ""};
    QTest::newRow("comma and blank at the end: nothing more") << "a, " << QStringList{"a"};
    QTest::newRow("leading comma: empty first item") << ",b" << QStringList{"", "b"};
    QTest::newRow("empty quotes") << "\"\",b" << QStringList{"", "b"};
    QTest::newRow("non-ASCII") << "Extensión,Descripción"
                               << QStringList{"Extensión", "Descripción"};
    QTest::newRow("three items") << "a b,c" << QStringList{"a", "b", "c"};
}

void TestTranslation::commaTextItems() {
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(kavenra::CommaTextItems(text), items);
}

void TestTranslation::columnTitlesFromCommaText_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("two words") << "Extension,Description"
                               << "Extension"
                               << "Description";
    QTest::newRow("single item: second title empty") << "Extension"
                                                     << "Extension"
                                                     << "";
    QTest::newRow("title with a blank, quoted") << "\"File type\",\"Camera maker\""
                                                << "File type"
                                                << "Camera maker";
    QTest::newRow("unquoted title with a blank splits") << "File type"
                                                        << "File"
                                                        << "type";
    QTest::newRow("third item ignored") << "a,b,c"
                                        << "a"
                                        << "b";
    QTest::newRow("missing key: both empty") << ""
                                             << ""
                                             << "";
}

void TestTranslation::columnTitlesFromCommaText() {
    QFETCH(QString, stored);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QList<CaptionRow> rows =
        languageRows(QStringLiteral("A"), QStringLiteral("3:ValueListEditor1"));
    if (!stored.isEmpty()) rows.append({3, QStringLiteral("ValueListEditor1"), stored});
    QVERIFY(folder_->writeSettings({{QStringLiteral("A"), QStringLiteral("a.db"), true}}));
    QVERIFY(folder_->writeLanguage(QStringLiteral("a.db"), rows));
    TranslateAllForms();
    QCOMPARE(Form3->ValueListEditor1->TitleCaptions(), (QStringList{first, second}));
}

// The main test: starting from the windows' layout, a pass in language A changes exactly the
// targets of the list, each to its key's text; a second pass in B changes them all again.
void TestTranslation::everyTargetInTwoLanguages() {
    QVERIFY(writeLanguages());
    const Snapshot layout = takeSnapshot();

    QStringList allTargets;
    for (const kavenra::CaptionKey& key : kavenra::kWindowTranslationKeys) {
        const QStringList targets = targetsOf(keyName(key));
        QVERIFY2(!targets.isEmpty(), qPrintable(keyName(key)));
        for (const QString& target : targets) {
            QVERIFY2(layout.contains(target), qPrintable(target));
        }
        allTargets += targets;
    }

    for (const QString& language : {QStringLiteral("A"), QStringLiteral("B")}) {
        QVERIFY(activate(language == QLatin1String("A") ? 0 : 1));
        TranslateAllForms();
        const Snapshot shown = takeSnapshot();
        QCOMPARE(shown.keys(), layout.keys());
        for (const kavenra::CaptionKey& key : kavenra::kWindowTranslationKeys) {
            const QStringList targets = targetsOf(keyName(key));
            const QStringList expected = expectedTexts(language, key);
            for (int i = 0; i < targets.size(); ++i) {
                QCOMPARE(shown.value(targets[i]), expected[i]);
            }
        }
        for (auto it = layout.cbegin(); it != layout.cend(); ++it) {
            if (allTargets.contains(it.key())) continue;
            QVERIFY2(shown.value(it.key()) == it.value(),
                     qPrintable(it.key() + QStringLiteral(" changed to ") + shown.value(it.key())));
        }
    }
    // The items addressed by position are the ones the menus name.
    QCOMPARE(kavenra::WithoutAccessKey(Form1->Lenguajes1->text()),
             QStringLiteral("B1:MainMenu2Sub2"));
    QCOMPARE(kavenra::WithoutAccessKey(Form1->Acercade2->text()),
             QStringLiteral("B1:MainMenu3Sub2"));
    QCOMPARE(kavenra::WithoutAccessKey(Form1->Eliminarimgen1->text()),
             QStringLiteral("B1:PopupMenu1Sub1"));
    QCOMPARE(kavenra::WithoutAccessKey(Form1->Salir1->text()), QStringLiteral("B1:MainMenu1Sub1"));
    QCOMPARE(Form1->N2->text(), layout.value(QStringLiteral("Form1/menu/1/1:text")));
    QVERIFY(answers_->messageBoxes().isEmpty());
}

void TestTranslation::missingKeyEmptiesItsTargetOnly_data() {
    QTest::addColumn<QString>("key");
    QTest::newRow("window title") << "3:Form_Caption";
    QTest::newRow("caption") << "1:Label9";
    QTest::newRow("hint") << "1:SpeedButton2Hint";
    QTest::newRow("menu item") << "1:MainMenu2Sub2";
    QTest::newRow("submenu") << "1:MainMenu3";
    QTest::newRow("popup item") << "1:PopupMenu1Sub1";
    QTest::newRow("column titles") << "3:ValueListEditor1";
    QTest::newRow("about box hint") << "7:Image15Hint";
}

void TestTranslation::missingKeyEmptiesItsTargetOnly() {
    QFETCH(QString, key);
    QVERIFY(writeLanguages(key));
    TranslateAllForms();
    const Snapshot shown = takeSnapshot();
    for (const kavenra::CaptionKey& each : kavenra::kWindowTranslationKeys) {
        const QStringList targets = targetsOf(keyName(each));
        const QStringList expected = keyName(each) == key
                                         ? QStringList(targets.size(), QString())
                                         : expectedTexts(QStringLiteral("A"), each);
        for (int i = 0; i < targets.size(); ++i) {
            QCOMPARE(shown.value(targets[i]), expected[i]);
        }
    }
    QVERIFY(answers_->messageBoxes().isEmpty());
}

// A language database without its table: every lookup fails, every target shows the failure
// marker (split into its single item for the column titles), and the store reports each failure.
void TestTranslation::failingLookupsSetFallo() {
    QVERIFY(folder_->writeSettings({{QStringLiteral("A"), QStringLiteral("a.db"), true}}));
    QVERIFY(RunSql(folder_->filePath(QStringLiteral("a.db")),
                   QStringLiteral("CREATE TABLE otra (x TEXT)"))
                .isEmpty());
    MessageRecorder messages;
    TranslateAllForms();
    const Snapshot shown = takeSnapshot();
    for (const kavenra::CaptionKey& key : kavenra::kWindowTranslationKeys) {
        const QStringList targets = targetsOf(keyName(key));
        const QStringList expected = key.key == "ValueListEditor1"
                                         ? QStringList{QStringLiteral("FALLO!"), QString()}
                                         : QStringList(targets.size(), QStringLiteral("FALLO!"));
        for (int i = 0; i < targets.size(); ++i) {
            QCOMPARE(shown.value(targets[i]), expected[i]);
        }
    }
    QCOMPARE(messages.messages().size(),
             static_cast<qsizetype>(kavenra::kWindowTranslationKeys.size()) * 3);
    QVERIFY(messages.messages().contains(QStringLiteral("Error Preparando consulta")));
}

KAVENRA_WINDOW_TEST_MAIN(TestTranslation)

#include "test_translation.moc"
