// A walk through the windows in each of the six shipped languages: every text a user meets on
// the way (captions, hints and their status-bar line, the boxes the program opens and their
// buttons) is the active language's text for its key, and no window keeps a text that belongs
// to another language.

#include "support/DatabaseFixture.h"
#include "support/DropFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/ScreenshotPixels.h"
#include "ui/AccessKeys.h"

#include "store/CaptionKeys.h"
#include "ui/DesktopOpener.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"
#include "ui/ValueListEditor.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QStatusBar>
#include <QTest>

#include <memory>

using namespace kavenra::testing;

namespace {

// The shipped languages: `idioma` and the database's file.
const QList<std::pair<QString, QString>> kLanguages = {
    {QStringLiteral("Español"), QStringLiteral("lang/Espanol.db")},
    {QStringLiteral("English"), QStringLiteral("lang/English.db")},
    {QStringLiteral("Français"), QStringLiteral("lang/Francais.db")},
    {QStringLiteral("Deutsch"), QStringLiteral("lang/Deutsch.db")},
    {QStringLiteral("Italiano"), QStringLiteral("lang/Italiano.db")},
    {QStringLiteral("Português"), QStringLiteral("lang/Portugues.db")},
};

// Every text of a language database: "form:key" -> text, read straight from the file the build
// made, not through the program's lookup.
QHash<QString, QString> languageTexts(const QString& database) {
    QStringList rows;
    QueryColumn(QDir(ShippedDataFolder()).filePath(database),
                QStringLiteral("SELECT form || ':' || object || char(10) || caption FROM "
                               "traduccion"),
                &rows);
    QHash<QString, QString> texts;
    for (const QString& row : rows) {
        const qsizetype split = row.indexOf(QLatin1Char('\n'));
        texts.insert(row.left(split), row.mid(split + 1));
    }
    return texts;
}

// Texts that are the same in every language: numbers, sizes and ratios, the names of formats
// and of the resampling filters as the image library calls them, and the names of the program
// and its author, and an address.
bool isLanguageNeutral(const QString& text) {
    static const QRegularExpression neutral(QStringLiteral(
        "^([0-9 x:./]*|px|Kavenra.*|BMP|JPEG|PNG|TGA \\(TARGA\\)|TIFF|WebP|"
        "(Box|Bilinear|Cubic B-Spline|Bicubic|Catmull-Rom|Lanczos) Filter|Teo Varensa|"
        "[a-z.]+@[a-z.]+)$"));
    return neutral.match(text.trimmed()).hasMatch();
}

struct ShownText {
    QString place;
    QString text;
};

void addMenuTexts(QList<ShownText>& shown, const QString& prefix, const QList<QAction*>& items) {
    for (int i = 0; i < items.size(); ++i) {
        if (items[i]->isSeparator()) continue;
        const QString place = prefix + QLatin1Char('/') + QString::number(i);
        shown.append({place, kavenra::WithoutAccessKey(items[i]->text())});
        if (items[i]->menu()) addMenuTexts(shown, place, items[i]->menu()->actions());
    }
}

// What a window shows in words: its title, and every named control's caption, hint and
// status-bar line.
void addWindowTexts(QList<ShownText>& shown, const QString& window, QWidget* form) {
    shown.append({window + QStringLiteral(":title"), form->windowTitle()});
    for (QWidget* control : form->findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        const QString place = window + QLatin1Char('/') + name;
        if (auto* label = qobject_cast<QLabel*>(control)) shown.append({place, label->text()});
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            shown.append({place, button->text()});
        if (auto* group = qobject_cast<QGroupBox*>(control)) shown.append({place, group->title()});
        shown.append({place + QStringLiteral(":toolTip"), control->toolTip()});
        shown.append({place + QStringLiteral(":statusTip"), control->statusTip()});
    }
}

}  // namespace

class TestLanguageWalk : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void windowsShowOnlyTheActiveLanguage_data();
    void windowsShowOnlyTheActiveLanguage();
    void placesSpeakTheActiveLanguage_data();
    void placesSpeakTheActiveLanguage();
    void portugueseIsEuropean();
    void oneWordForOneThing_data();
    void oneWordForOneThing();

  private:
    void activate(const QString& database);
    QString expected(const char* formAndKey) const;

    std::unique_ptr<MainWindowFixture> fixture_;
    std::unique_ptr<SoundRecorder> sounds_;
    QHash<QString, QString> texts_;
};

void TestLanguageWalk::init() {
    sounds_ = std::make_unique<SoundRecorder>();
    fixture_ = std::make_unique<MainWindowFixture>(MainWindowFixture::Texts::Shipped);
    QVERIFY(fixture_->isValid());
}

void TestLanguageWalk::cleanup() {
    fixture_.reset();
    sounds_.reset();
}

// The language made active as the language dialog makes it, the first run done, and the
// windows translated.
void TestLanguageWalk::activate(const QString& database) {
    QCOMPARE(RunSql(QStringLiteral("KVConfig.db"),
                    QStringLiteral("UPDATE idiomas SET activo = CASE ruta WHEN %1 THEN '1' ELSE "
                                   "'0' END; UPDATE configuracion SET primera_ejecucion = '1'")
                        .arg(SqlText(database))),
             QString());
    TranslateAllForms();
    texts_ = languageTexts(database);
    QVERIFY2(!texts_.isEmpty(), qPrintable(database));
}

QString TestLanguageWalk::expected(const char* formAndKey) const {
    return texts_.value(QString::fromLatin1(formAndKey), QStringLiteral("<missing>"));
}

void TestLanguageWalk::windowsShowOnlyTheActiveLanguage_data() {
    QTest::addColumn<QString>("database");
    for (const auto& [name, database] : kLanguages) {
        QTest::newRow(qPrintable(name)) << database;
    }
}

// Every word a window shows is one of the active language's texts or a word of no language; a
// text of another language's database is a leftover.
void TestLanguageWalk::windowsShowOnlyTheActiveLanguage() {
    QFETCH(QString, database);
    activate(database);
    QSet<QString> active;
    for (const QString& text : std::as_const(texts_)) active.insert(text);
    // The column titles are one comma text in the database.
    for (const QString& item : kavenra::CommaTextItems(expected("3:ValueListEditor1")))
        active.insert(item);

    QList<ShownText> shown;
    addWindowTexts(shown, QStringLiteral("Form1"), Form1);
    addMenuTexts(shown, QStringLiteral("Form1/menu"), Form1->menuBar()->actions());
    addMenuTexts(shown, QStringLiteral("Form1/popup"), Form1->PopupMenu1->actions());
    addWindowTexts(shown, QStringLiteral("Form3"), Form3);
    addWindowTexts(shown, QStringLiteral("Form5"), Form5);
    addWindowTexts(shown, QStringLiteral("Form7"), Form7);
    shown.append({QStringLiteral("Form7/credits:title"), Form7->credits->windowTitle()});
    for (const QString& title : Form3->ValueListEditor1->TitleCaptions())
        shown.append({QStringLiteral("Form3/ValueListEditor1:title"), title});

    QStringList foreign;
    for (const ShownText& item : shown) {
        if (item.text.isEmpty() || active.contains(item.text) || isLanguageNeutral(item.text))
            continue;
        foreign << item.place + QStringLiteral(": \"") + item.text + QLatin1Char('"');
    }
    QVERIFY2(foreign.isEmpty(), qPrintable(QStringLiteral("not of the active language:\n") +
                                           foreign.join(QLatin1Char('\n'))));
}

void TestLanguageWalk::placesSpeakTheActiveLanguage_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("name");
    for (const auto& [name, database] : kLanguages) {
        for (const char* place : {"longest side hint", "zero size", "question", "new folder box",
                                  "language refused", "folder not opened", "dropped folder"}) {
            QTest::addRow("%s, %s", qPrintable(name), place) << database << QString(place) << name;
        }
    }
}

// The places a user meets one at a time, each compared with the active language's text for its
// key.
void TestLanguageWalk::placesSpeakTheActiveLanguage() {
    QFETCH(QString, database);
    QFETCH(QString, place);
    QFETCH(QString, name);
    activate(database);
    ModalAnswerer answers;
    const QString language = QFileInfo(database).completeBaseName();
    const auto screenshot = [&](QWidget* window, const QString& what) {
        const QString folder = ScreenshotFolder();
        QDir().mkpath(folder);
        window->grab().toImage().save(
            QDir(folder).filePath(QStringLiteral("walk-%1-%2.png").arg(what, language)));
    };

    if (place == QLatin1String("longest side hint")) {
        QTest::mouseClick(Form1->CheckBox1, Qt::LeftButton);
        QVERIFY(Form1->Edit4->isVisible());
        QCOMPARE(Form1->Edit4->toolTip(), expected("1:Edit4Hint"));
        // The pointer over the field puts its hint on the status bar.
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(Form1->Edit4, &enter);
        QCOMPARE(Form1->StatusBar->currentMessage(), expected("1:Edit4Hint"));
        screenshot(Form1, QStringLiteral("longest-side"));
    } else if (place == QLatin1String("zero size")) {
        QTest::mouseClick(Form1->RadioButton5, Qt::LeftButton);
        QTest::mouseClick(Form1->Edit1, Qt::LeftButton);
        Form1->Edit1->setText(QStringLiteral("0"));
        QCOMPARE(answers.messageBoxes().size(), 1);
        QCOMPARE(answers.messageBoxes()[0].text, expected("1:Texto_no_puedo"));
        QCOMPARE(answers.messageBoxes()[0].title, QStringLiteral("Kavenra"));
    } else if (place == QLatin1String("question")) {
        answers.answerMsgBox([&](TForm6* form) {
            screenshot(form, QStringLiteral("question"));
            ModalAnswerer::Apply(form, MsgBoxAnswer::Button3);
        });
        Form6->MsgBox(expected("1:Texto_redimension"), expected("1:Texto_redimension2"),
                      MessageKind::Question);
        QCOMPARE(answers.msgBoxes().size(), 1);
        QCOMPARE(answers.msgBoxes()[0].buttonCaptions,
                 (QStringList{expected("6:Button2"), expected("6:Button3")}));
    } else if (place == QLatin1String("new folder box")) {
        QStringList seen;
        answers.answerDialog([&](QDialog* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            seen << input->windowTitle() << input->labelText();
            const auto* buttons = input->findChild<QDialogButtonBox*>();
            QVERIFY(buttons);
            seen << buttons->button(QDialogButtonBox::Ok)->text()
                 << buttons->button(QDialogButtonBox::Cancel)->text();
            screenshot(input, QStringLiteral("new-folder"));
            input->reject();
        });
        QTest::mouseClick(Form5->Button2, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{expected("5:InputBox_Carpeta"), expected("5:InputBox_Carpeta2"),
                                    expected("5:Button1"), expected("5:InputBox_Cancelar")}));
    } else if (place == QLatin1String("language refused")) {
        Form1->Lenguajes1->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Form4));
        // Opened from the menu, the dialog offers the language already active.
        QCOMPARE(Form4->ComboBox1->currentText(), name);
        Form4->ComboBox1->lineEdit()->clear();
        answers.answerMsgBox([&](TForm6* form) {
            screenshot(form, QStringLiteral("language-refused"));
            ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
        });
        QTest::mouseClick(Form4->Button1, Qt::LeftButton);
        QCOMPARE(answers.messageBoxes().size(), 0);
        QCOMPARE(answers.msgBoxes().size(), 1);
        QCOMPARE(answers.msgBoxes()[0].caption, expected("1:Caption_Atencion"));
        QCOMPARE(answers.msgBoxes()[0].text, expected("4:MsgBox_Idioma"));
        QCOMPARE(answers.msgBoxes()[0].buttonCaptions, QStringList{expected("6:Button1")});
        Form4->hide();
    } else if (place == QLatin1String("dropped folder")) {
        // The end of the list's check: the count, and the files of the folder left out.
        QVERIFY(!fixture_->writeJpeg(QStringLiteral("drop/photo.jpg"), 40, 30).isEmpty());
        QVERIFY(!fixture_->writeText(QStringLiteral("drop/notes.txt"), "notes\n").isEmpty());
        QVERIFY(DropFiles(Form1->ListBox1, {fixture_->imagePath(QStringLiteral("drop"))}).dropped);
        QVERIFY(MainWindowFixture::WaitForCountingPass());
        QCOMPARE(Form1->StatusBar->currentMessage(),
                 expected("1:ImagenMsg5")
                     .arg(1)
                     .arg(expected("1:Texto_fuera_no_imagen").arg(QStringLiteral("notes.txt"))));
        screenshot(Form1, QStringLiteral("dropped-folder"));
    } else {
        DesktopOpenerRecorder opener;
        opener.setResult(false);
        answers.answerMsgBox([&](TForm6* form) {
            screenshot(form, QStringLiteral("folder-not-opened"));
            ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
        });
        QVERIFY(!OpenLocalFolderOrReport(QStringLiteral("/tmp/fotos/RES")));
        QCOMPARE(answers.msgBoxes().size(), 1);
        QCOMPARE(answers.msgBoxes()[0].caption, expected("1:Caption_Atencion"));
        QCOMPARE(answers.msgBoxes()[0].text,
                 expected("1:Texto_abrir_carpeta") + QStringLiteral("\n/tmp/fotos/RES"));
        QCOMPARE(answers.msgBoxes()[0].buttonCaptions, QStringList{expected("6:Button1")});
    }
}

// One Portuguese, the European one, in the interface and in the menu entry: none of the words
// and turns a reader in Portugal would take for Brazilian.
void TestLanguageWalk::portugueseIsEuropean() {
    QStringList texts = languageTexts(QStringLiteral("lang/Portugues.db")).values();
    QVERIFY(!texts.isEmpty());
    QFile desktopEntry(
        QStringLiteral(KAVENRA_SOURCE_DIR "/resources/desktop/org.kavenra.Kavenra.desktop"));
    QVERIFY(desktopEntry.open(QIODevice::ReadOnly));
    for (const QString& line : QString::fromUtf8(desktopEntry.readAll()).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("[pt]"))) texts << line;
    }
    static const QRegularExpression brazilian(
        QStringLiteral("\\b(arquivos?|tela|telas|usuários?|salvar|salvo|você|digite|downloads?|"
                       "me pague|verificando|redimensionando|grande demais|gravar)\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList found;
    for (const QString& text : std::as_const(texts)) {
        if (text.contains(brazilian)) found << text;
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    // The word the European variant uses for a file.
    QVERIFY(texts.join(QLatin1Char(' ')).contains(QStringLiteral("ficheiro")));
}

void TestLanguageWalk::oneWordForOneThing_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("avoided");  // a pattern no text of the language may hold
    QTest::addColumn<QString>("used");     // the word the language uses instead
    // A run is a "Skalierung" everywhere: the caption that ends it, its summary, its questions.
    QTest::newRow("German: Skalierung, never Größenänderung")
        << "lang/Deutsch.db" << QString::fromUtf8("Größenänderung|Größe geändert") << "Skalierung";
    QTest::newRow("Spanish: dimensiones without an accent")
        << "lang/Espanol.db" << QString::fromUtf8("dimensiónes") << "dimensiones";
}

void TestLanguageWalk::oneWordForOneThing() {
    QFETCH(QString, database);
    QFETCH(QString, avoided);
    QFETCH(QString, used);
    const QStringList texts = languageTexts(database).values();
    QVERIFY(!texts.isEmpty());
    const QRegularExpression pattern(avoided, QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    for (const QString& text : texts) {
        if (text.contains(pattern)) found << text;
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    QVERIFY(texts.join(QLatin1Char(' ')).contains(used));
}

KAVENRA_WINDOW_TEST_MAIN(TestLanguageWalk)

#include "test_language_walk.moc"
