// Every text the program ships, in every shipped language, drawn whole by its control: the
// windows translated as the program translates them, then every caption, title, column title,
// menu item, status-bar text, quality label and message measured with the font metrics of its
// control against the room the control's style leaves it. The freshly built language databases
// are used, so an edited translation is checked by the next build's tests.
//
// Also saves, for each window, a picture of it in the language whose texts are longest and in the
// one whose text comes closest to being cut:
// <build>/screenshots/text-fit-<window>-<language>.png (or the folder named by
// KAVENRA_SCREENSHOT_DIR).

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/ScreenshotPixels.h"
#include "support/ShippedMessages.h"
#include "support/TextFit.h"

#include "engine/run/TimeLeft.h"
#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/DialogControls.h"
#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

using namespace kavenra::testing;

namespace {

// A camera's file name, as the status bar shows it after the text of a key.
const QString kSampleFileName = QStringLiteral("IMG_20150612_183045.JPG");

QStringList settingsColumn(const QString& folder, const QString& sql) {
    QStringList values;
    QString error;
    if (!QueryColumn(QDir(folder).filePath(QStringLiteral("KVConfig.db")), sql, &values, &error)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(error));
    }
    return values;
}

bool copyFile(const QString& source, const QString& target) {
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    return QFile::copy(source, target) &&
           QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
}

QString keyText(const kavenra::CaptionKey& key) {
    return QString::fromUtf8(key.key.data(), static_cast<qsizetype>(key.key.size()));
}

QString lookup(int form, const char* key) {
    return LookupCaption(form, key);
}

// The captions the program gives its message box.
const std::pair<int, const char*> kMessageCaptions[] = {
    {kavenra::kMainWindowForm, "Caption_Atencion"},
    {kavenra::kMainWindowForm, "Texto_redimension"},
    {kavenra::kMainWindowForm, "ActualizacionCaption"},
    {kavenra::kFolderChooserForm, "MsgBox_Carpeta2"},
};

// The texts of the status bar: the messages of the image list and of the run, and the hints of
// the main window's controls.
QList<TextFit> measureStatusTexts() {
    const QStatusBar* bar = Form1->StatusBar;
    const QString place = QStringLiteral("Form1/StatusBar");
    QList<TextFit> fits;
    const auto add = [&](const char* key, const QString& text) {
        fits.append(MeasureStatusText(bar, text, place + QStringLiteral("[%1]").arg(key)));
    };
    add("ImagenMsg1", lookup(kavenra::kMainWindowForm, "ImagenMsg1") + kSampleFileName);
    add("Texto_redimension5", lookup(kavenra::kMainWindowForm, "Texto_redimension5") +
                                  QLatin1Char(' ') + kSampleFileName);
    // A long run's progress after the file's name, with the longest time it tells.
    add("Texto_progreso",
        lookup(kavenra::kMainWindowForm, "Texto_redimension5") + QLatin1Char(' ') +
            kSampleFileName + QStringLiteral(" \u2014 ") +
            lookup(kavenra::kMainWindowForm, "Texto_progreso").arg(10000).arg(10000) +
            QStringLiteral(", ") +
            lookup(kavenra::kMainWindowForm, "Texto_linea_restante")
                .arg(kavenra::ClockDuration(99 * 3600 + 59 * 60 + 59)));
    add("Texto_redimension6", lookup(kavenra::kMainWindowForm, "Texto_redimension6") +
                                  QStringLiteral(" IMG_20150612_183045 (2).JPG"));
    add("Texto_lista1", lookup(kavenra::kMainWindowForm, "Texto_lista1").arg(1000));
    // One file left out for each reason: the names of more run on into the tooltip's room.
    for (const char* reason : {"Texto_fuera_no_existe", "Texto_fuera_no_imagen",
                               "Texto_fuera_no_legible", "Texto_fuera_carpeta"}) {
        add(reason, lookup(kavenra::kMainWindowForm, "ImagenMsg5")
                        .arg(1000)
                        .arg(lookup(kavenra::kMainWindowForm, reason).arg(kSampleFileName)));
    }
    for (const char* key : {"ImagenMsg2", "ImagenMsg3", "Texto_validar_imagenes",
                            "Texto_redimension", "Texto_redimension3", "Texto_redimension4"}) {
        add(key, lookup(kavenra::kMainWindowForm, key));
    }
    // The options dialog's hints travel up to the main window's status bar too.
    for (const QWidget* window : {static_cast<QWidget*>(Form1), static_cast<QWidget*>(Form3)}) {
        for (const QWidget* control : window->findChildren<QWidget*>()) {
            if (control->statusTip().isEmpty()) continue;
            fits.append(
                MeasureStatusText(bar, control->statusTip(),
                                  place + QStringLiteral("[hint of %1/%2]")
                                              .arg(window->objectName(), control->objectName())));
        }
    }
    return fits;
}

// The JPEG quality label at every position of its track bar.
QList<TextFit> measureQualityLabel() {
    QList<TextFit> fits;
    const int kept = Form3->TrackBar1->value();
    for (int position = Form3->TrackBar1->minimum(); position <= Form3->TrackBar1->maximum();
         ++position) {
        Form3->TrackBar1->setValue(position);
        fits += MeasureControl(Form3->Label1,
                               QStringLiteral("Form3/Label1[position %1]").arg(position));
    }
    Form3->TrackBar1->setValue(kept);
    return fits;
}

// Where the wrapped text of a message ends, in the message box's coordinates: above the buttons
// and inside the window, or part of it is hidden.
QList<TextFit> measureMessageLayout(const TForm6* form, const QString& place) {
    const QLabel* label = form->Label1;
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect();
    const int textHeight =
        metrics
            .boundingRect(QRect(0, 0, room.width(), 10000),
                          static_cast<int>(label->alignment()) | Qt::TextWordWrap, label->text())
            .height();
    int top = room.top() + (room.height() - textHeight) / 2;
    if (label->alignment() & Qt::AlignTop) top = room.top();
    if (label->alignment() & Qt::AlignBottom) top = room.bottom() + 1 - textHeight;
    const int textBottom = label->y() + top + textHeight;
    int buttonsTop = form->height();
    for (const QPushButton* button : {form->Button1, form->Button2, form->Button3}) {
        if (!button->isHidden()) buttonsTop = qMin(buttonsTop, button->y());
    }
    return {{place + QStringLiteral("/Label1 above the buttons"), label->text(),
             QStringLiteral("height"), textBottom, buttonsTop}};
}

// A button that widens to its caption must still lie inside the window, clear of the other.
QList<TextFit> measureButtonsInside(const TForm6* form, const QString& place) {
    QList<TextFit> fits;
    int left = 0;
    for (const QPushButton* button : {form->Button2, form->Button3}) {
        if (button->isHidden()) continue;
        fits.append({place + QStringLiteral("/%1 beside the one before").arg(button->objectName()),
                     button->text(), QStringLiteral("width"), left, button->x()});
        left = button->geometry().right() + 1;
    }
    if (left > 0) {
        fits.append({place + QStringLiteral("/buttons inside the window"), form->Button3->text(),
                     QStringLiteral("width"), left, form->width()});
    }
    return fits;
}

QString windowOf(const QString& place) {
    const qsizetype end = place.indexOf(QRegularExpression(QStringLiteral("[/:\\[]")));
    return end < 0 ? place : place.left(end);
}

}  // namespace

class TestTextFit : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();

    void measuresSeeACutText_data();
    void measuresSeeACutText();

    void everyShippedTextFits_data();
    void everyShippedTextFits();

    void screenshotsInTheLongestLanguages();

  private:
    bool activate(const QString& languagePath);
    QList<TextFit> measureWindows();
    QList<TextFit> measureInputBox();
    QList<TextFit> measureAddImagesDialog();
    QList<TextFit> measureMessages(const QString& language);
    QList<TextFit> showMessage(const QString& place, const QString& caption, const QString& text,
                               MessageKind kind, const QuestionButtons* buttons = nullptr);
    QStringList unmeasuredKeys(const QList<TextFit>& fits) const;

    std::unique_ptr<DatabaseFolder> folder_;
    std::unique_ptr<SoundRecorder> sounds_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
    std::unique_ptr<ModalAnswerer> answers_;

    // For the screenshots: per window and language, the total width of the window's texts and
    // the largest share of its room that one of them takes.
    struct WindowTexts {
        qint64 width = 0;
        double tightest = 0;
    };
    QMap<QString, QMap<QString, WindowTexts>> windowTexts_;
    QMap<QString, QString> languagePaths_;
    QList<ShippedMessage> messages_;
};

void TestTextFit::initTestCase() {
    folder_ = std::make_unique<DatabaseFolder>();
    QVERIFY(folder_->isValid());
    const QDir built(ShippedDataFolder());
    QStringList files{QStringLiteral("KVConfig.db")};
    files += settingsColumn(built.path(), QStringLiteral("SELECT ruta FROM idiomas"));
    QVERIFY(files.size() > 1);
    for (const QString& file : files) {
        QVERIFY2(copyFile(built.filePath(file), folder_->filePath(file)), qPrintable(file));
    }
    // The changelog viewer reads it when shown.
    const QString changelog = QStringLiteral(KAVENRA_SOURCE_DIR "/data/CHANGELOG.txt");
    if (QFileInfo::exists(changelog)) {
        QVERIFY(copyFile(changelog, folder_->filePath(QStringLiteral("CHANGELOG.txt"))));
    }
    QVERIFY(QDir().mkpath(kavenra::testing::ScreenshotFolder()));
    QString error;
    messages_ = ShippedMessages(&error);
    QVERIFY2(!messages_.isEmpty(), qPrintable(error));

    sounds_ = std::make_unique<SoundRecorder>();
    opener_ = std::make_unique<DesktopOpenerRecorder>();
    answers_ = std::make_unique<ModalAnswerer>();
    // The start-up checks would look for updates and ask for a language.
    StartupChecksRun = true;
    CreateAllForms();
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    // Measured in another face, the texts would prove nothing about the shipped one.
    const QList<QPair<const char*, const QWidget*>> faces{{"windows", Form1->Label1},
                                                          {"message box", Form6->Label1}};
    for (const auto& [name, control] : faces) {
        const QFontInfo face(control->font());
        qInfo("font of the %s: %s %s %dpx", name, qPrintable(face.family()),
              qPrintable(face.styleName()), face.pixelSize());
        QVERIFY2(face.family() == QLatin1String("Tahoma") ||
                     face.family() == QLatin1String("DejaVu Sans"),
                 "the windows' font is missing (fonts-dejavu-core)");
    }
}

void TestTextFit::cleanupTestCase() {
    DestroyAllForms();
    answers_.reset();
    opener_.reset();
    sounds_.reset();
    folder_.reset();
}

bool TestTextFit::activate(const QString& languagePath) {
    return RunSql(folder_->filePath(QStringLiteral("KVConfig.db")),
                  QStringLiteral("UPDATE idiomas SET activo = CASE ruta WHEN %1 THEN '1' "
                                 "ELSE '0' END")
                      .arg(SqlText(languagePath)))
        .isEmpty();
}

// Each kind of measure on a control of the layout's font, with a text that fits and one that
// is cut: a check that passes everything would pass these too.
void TestTextFit::measuresSeeACutText_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    const QString longText = QStringLiteral("Qualitäts- und Skalierungsoptionen der Bilder");
    for (const char* kind : {"label", "push button", "check box", "radio button", "group box",
                             "column title", "status bar", "menu bar", "menu"}) {
        QTest::addRow("%s, short", kind) << kind << QStringLiteral("Datei") << true;
        QTest::addRow("%s, long", kind) << kind << longText << false;
    }
    QTest::newRow("wrapped label, two lines")
        << "wrapped label"
        << QStringLiteral("Der Ordner wurde angelegt. Der Ordner wurde angelegt.") << true;
    QTest::newRow("wrapped label, too many lines")
        << "wrapped label" << (longText + QLatin1Char(' ') + longText + QLatin1Char(' ') + longText)
        << false;
    QTest::newRow("wrapped label, one word wider than the label")
        << "wrapped label" << QStringLiteral("Skalierungsoptionseinstellungen") << false;
}

void TestTextFit::measuresSeeACutText() {
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QWidget window;
    window.resize(620, 400);
    using kavenra::dialogs::Place;
    QList<TextFit> measured;
    if (kind == QLatin1String("label")) {
        Place(new QLabel(text, &window), "Label", 8, 8, 120, 13);
    } else if (kind == QLatin1String("wrapped label")) {
        auto* label = Place(new QLabel(text, &window), "Label", 8, 8, 160, 26);
        label->setWordWrap(true);
    } else if (kind == QLatin1String("push button")) {
        Place(new QPushButton(text, &window), "Button", 8, 8, 75, 25);
    } else if (kind == QLatin1String("check box")) {
        Place(new QCheckBox(text, &window), "CheckBox", 8, 8, 175, 17);
    } else if (kind == QLatin1String("radio button")) {
        Place(new QRadioButton(text, &window), "RadioButton", 8, 8, 175, 17);
    } else if (kind == QLatin1String("group box")) {
        Place(new QGroupBox(text, &window), "GroupBox", 8, 8, 175, 60);
    } else if (kind == QLatin1String("column title")) {
        auto* table = Place(new QTableWidget(0, 2, &window), "Table", 8, 8, 305, 113);
        table->setHorizontalHeaderLabels({text, QStringLiteral("x")});
        table->setColumnWidth(0, 120);
    }
    kavenra::dialogs::ApplyLayoutFont(&window);
    if (kind == QLatin1String("status bar")) {
        QStatusBar bar(&window);
        bar.setFont(kavenra::dialogs::LayoutFont(bar.font()));
        bar.resize(200, 19);
        measured.append(MeasureStatusText(&bar, text, QStringLiteral("StatusBar")));
    } else if (kind == QLatin1String("menu bar") || kind == QLatin1String("menu")) {
        QMenuBar bar(&window);
        bar.setFont(kavenra::dialogs::LayoutFont(bar.font()));
        QMenu* menu = bar.addMenu(QStringLiteral("File"));
        menu->setFont(bar.font());
        menu->addAction(text);
        for (int i = 0; i < 3; ++i) bar.addMenu(text);
        bar.setGeometry(0, 0, 300, bar.sizeHint().height());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        measured = kind == QLatin1String("menu") ? MeasureMenu(menu, 200, QStringLiteral("menu"))
                                                 : MeasureMenuBar(&bar, QStringLiteral("bar"));
        window.hide();
    } else {
        measured = MeasureWindow(&window, QStringLiteral("window"));
    }
    QVERIFY(!measured.isEmpty());
    bool allFit = true;
    for (const TextFit& fit : measured) {
        qDebug("%s", qPrintable(fit.describe()));
        allFit = allFit && fit.fits();
    }
    QCOMPARE(allFit, fits);
}

void TestTextFit::everyShippedTextFits_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    const QStringList names = settingsColumn(
        ShippedDataFolder(), QStringLiteral("SELECT idioma FROM idiomas ORDER BY id"));
    const QStringList paths =
        settingsColumn(ShippedDataFolder(), QStringLiteral("SELECT ruta FROM idiomas ORDER BY id"));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        QTest::newRow(qPrintable(QFileInfo(paths[i]).completeBaseName()))
            << names.value(i) << paths[i];
    }
}

QList<TextFit> TestTextFit::measureWindows() {
    QList<TextFit> fits;
    const QList<QPair<QString, QWidget*>> windows{
        {QStringLiteral("Form1"), Form1},
        {QStringLiteral("Form2"), Form2},
        {QStringLiteral("Form3"), Form3},
        {QStringLiteral("Form4"), Form4},
        {QStringLiteral("Form5"), Form5},
        {QStringLiteral("Form7"), Form7},
        {QStringLiteral("Form7.credits"), Form7->credits}};
    for (const auto& [name, window] : windows) {
        // Shown as the program shows them: some arrange their controls at each showing.
        const bool wasVisible = window->isVisible();
        window->show();
        if (!QTest::qWaitForWindowExposed(window)) {
            qWarning("%s was not exposed", qPrintable(name));
        }
        fits += MeasureWindow(window, name);
        if (!wasVisible) window->hide();
    }
    // The language dialog's invitation: at the first run, and from the menu.
    for (const char* key : {"Label1", "Label1_menu"}) {
        Form4->Label1->setText(lookup(kavenra::kLanguageDialogForm, key));
        fits += MeasureControl(Form4->Label1, QStringLiteral("Form4/Label1[%1]").arg(key));
    }
    fits += MeasureMenuBar(Form1->menuBar(), QStringLiteral("Form1/MainMenu1"));
    for (QMenu* menu : {Form1->Archivo1, Form1->Opciones1, Form1->Acercade1}) {
        fits += MeasureMenu(menu, Form1->width(),
                            QStringLiteral("Form1/MainMenu1/") + menu->objectName());
    }
    fits += MeasureMenu(Form1->PopupMenu1, Form1->width(), QStringLiteral("Form1/PopupMenu1"));
    return fits;
}

// The folder chooser's box for a new folder's name.
QList<TextFit> TestTextFit::measureInputBox() {
    QList<TextFit> fits;
    answers_->answerDialog([&fits](QDialog* dialog) {
        fits += MeasureWindow(dialog, QStringLiteral("InputBox"));
        dialog->reject();
    });
    Form5->Button2Click();
    return fits;
}

// The file type of the "Add images" dialog: its name must show before the patterns that follow
// it, however many they are.
QList<TextFit> TestTextFit::measureAddImagesDialog() {
    QList<TextFit> fits;
    answers_->answerDialog([&fits](QDialog* dialog) {
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            const QString shown = types->currentText();
            const QString name = shown.left(shown.indexOf(QStringLiteral(" (")));
            QStyleOptionComboBox option;
            option.initFrom(types);
            const QRect field = types->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, types);
            fits.append({QStringLiteral("AddImagesDialog/fileTypeCombo"), name,
                         QStringLiteral("width"),
                         QFontMetrics(types->font()).horizontalAdvance(name), field.width()});
        }
        dialog->reject();
    });
    Form1->Anadirimagenes1Click();
    return fits;
}

QList<TextFit> TestTextFit::showMessage(const QString& place, const QString& caption,
                                        const QString& text, MessageKind kind,
                                        const QuestionButtons* buttons) {
    QList<TextFit> fits;
    answers_->answerMsgBox([&fits, place](TForm6* form) {
        fits += MeasureWindow(form, place);
        fits += measureMessageLayout(form, place);
        fits += measureButtonsInside(form, place);
        ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
    });
    if (buttons) {
        Form6->MsgBox(caption, text, *buttons);
    } else {
        Form6->MsgBox(caption, text, kind);
    }
    return fits;
}

// Every message of the language in the message box, and each of its captions in the caption bar
// of the box.
QList<TextFit> TestTextFit::measureMessages(const QString& language) {
    QList<TextFit> fits;
    const QString caution = lookup(kavenra::kMainWindowForm, "Caption_Atencion");
    for (const ShippedMessage& message : messages_) {
        if (message.language != language) continue;
        const QuestionButtons buttons{message.affirmative, message.negative};
        fits += showMessage(QStringLiteral("Form6[%1]").arg(message.key), caution, message.text,
                            message.kind, message.affirmative.isEmpty() ? nullptr : &buttons);
    }
    for (const auto& [form, key] : kMessageCaptions) {
        fits += showMessage(QStringLiteral("Form6[caption %1]").arg(QLatin1String(key)),
                            lookup(form, key), QString(), MessageKind::Information);
    }
    return fits;
}

// The keys whose text was measured nowhere: every text the program looks up must have been
// shown in its place. The donation picture's hint shows only as a tooltip, which is as wide as
// its text; the terminal's texts have no window to fit.
QStringList TestTextFit::unmeasuredKeys(const QList<TextFit>& fits) const {
    QStringList unmeasured;
    for (const kavenra::CaptionKey& key : kavenra::AllCaptionKeys()) {
        if (key.form == kavenra::kAboutBoxForm && key.key == "Image15Hint") continue;
        if (std::find(kavenra::kTerminalTextKeys.begin(), kavenra::kTerminalTextKeys.end(), key) !=
            kavenra::kTerminalTextKeys.end()) {
            continue;
        }
        const QString text = LookupCaption(key.form, std::string(key.key));
        const QStringList parts =
            key.key == "ValueListEditor1" ? kavenra::CommaTextItems(text) : QStringList{text};
        for (const QString& part : parts) {
            // A text completed with values is found by its pieces around the values' places.
            static const QRegularExpression place(QStringLiteral("%\\d"));
            const QStringList pieces = part.split(place, Qt::SkipEmptyParts);
            const bool found = std::any_of(fits.cbegin(), fits.cend(), [&](const TextFit& fit) {
                return std::all_of(pieces.cbegin(), pieces.cend(),
                                   [&](const QString& piece) { return fit.text.contains(piece); });
            });
            if (!found) unmeasured << QString::number(key.form) + QLatin1Char(':') + keyText(key);
        }
    }
    return unmeasured;
}

void TestTextFit::everyShippedTextFits() {
    QFETCH(QString, name);
    QFETCH(QString, path);
    const QString language = QFileInfo(path).completeBaseName();
    languagePaths_[language] = path;
    QVERIFY(activate(path));
    TranslateAllForms();
    answers_->clear();

    QList<TextFit> fits = measureWindows();
    fits += measureStatusTexts();
    fits += measureQualityLabel();
    fits += measureInputBox();
    fits += measureAddImagesDialog();
    fits += measureMessages(name);
    QCOMPARE(answers_->messageBoxes().size(), 0);
    QCOMPARE(answers_->pendingMsgBoxAnswers(), 0);

    QStringList cut;
    const TextFit* tightest = nullptr;
    for (const TextFit& fit : fits) {
        if (fit.available <= 0) {
            cut << fit.describe();
            continue;
        }
        const double share = static_cast<double>(fit.needed) / fit.available;
        WindowTexts& texts = windowTexts_[windowOf(fit.place)][language];
        if (fit.dimension == QLatin1String("width")) texts.width += fit.needed;
        texts.tightest = qMax(texts.tightest, share);
        if (!tightest || share > static_cast<double>(tightest->needed) / tightest->available) {
            tightest = &fit;
        }
        if (!fit.fits()) cut << fit.describe();
    }
    if (tightest) qInfo("tightest fit: %s", qPrintable(tightest->describe()));
    QVERIFY2(cut.isEmpty(),
             qPrintable(QStringLiteral("%1 texts cut in %2:\n").arg(cut.size()).arg(language) +
                        cut.join(QLatin1Char('\n'))));
    const QStringList unmeasured = unmeasuredKeys(fits);
    QVERIFY2(unmeasured.isEmpty(),
             qPrintable(QStringLiteral("shown nowhere: ") + unmeasured.join(QLatin1Char(' '))));
}

void TestTextFit::screenshotsInTheLongestLanguages() {
    if (windowTexts_.isEmpty()) QSKIP("no language was measured");
    // The language of the longest texts, and the one of the text closest to being cut.
    const auto languagesToShow = [this](const QString& window) {
        const QMap<QString, WindowTexts>& languages = windowTexts_.value(window);
        QString longest;
        QString tightest;
        for (auto it = languages.cbegin(); it != languages.cend(); ++it) {
            if (longest.isEmpty() || it->width > languages.value(longest).width) longest = it.key();
            if (tightest.isEmpty() || it->tightest > languages.value(tightest).tightest) {
                tightest = it.key();
            }
        }
        return longest == tightest ? QStringList{longest} : QStringList{longest, tightest};
    };
    const auto save = [](const QImage& image, const QString& name) {
        const QString file = QDir(kavenra::testing::ScreenshotFolder()).absoluteFilePath(name);
        QVERIFY2(image.save(file), qPrintable(file));
        qInfo("saved %s", qPrintable(file));
    };

    for (const auto& [name, window] :
         QList<QPair<QString, QWidget*>>{{QStringLiteral("Form1"), Form1},
                                         {QStringLiteral("Form3"), Form3},
                                         {QStringLiteral("Form5"), Form5},
                                         {QStringLiteral("Form7"), Form7}}) {
        QStringList shown = languagesToShow(name);
        // The options dialog also in the languages its layout is checked against by eye.
        if (window == Form3) {
            for (const QString& language : {QStringLiteral("English"), QStringLiteral("Deutsch")}) {
                if (!shown.contains(language)) shown << language;
            }
        }
        for (const QString& language : shown) {
            QVERIFY(activate(languagePaths_.value(language)));
            TranslateAllForms();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            if (window == Form1) {
                Form1->StatusBar->showMessage(lookup(kavenra::kMainWindowForm, "ImagenMsg3"));
                save(Form1->grab().toImage(),
                     QStringLiteral("text-fit-main-window-%1.png").arg(language));
                for (const auto& [menu, file] :
                     {std::pair<QMenu*, const char*>{Form1->Archivo1, "file"},
                      std::pair<QMenu*, const char*>{Form1->Opciones1, "options"}}) {
                    menu->popup(Form1->mapToGlobal(QPoint(0, 0)));
                    QVERIFY(QTest::qWaitForWindowExposed(menu));
                    save(menu->grab().toImage(),
                         QStringLiteral("text-fit-%1-menu-%2.png").arg(file, language));
                    menu->hide();
                }
                Form1->StatusBar->clearMessage();
            } else if (window == Form3) {
                // Each page as the user turns to it.
                for (QWidget* page : {Form3->FormatsPage, Form3->MoreOptionsPage}) {
                    Form3->OptionPages->setCurrentWidget(page);
                    save(window->grab().toImage(),
                         QStringLiteral("text-fit-form3-%1-%2.png")
                             .arg(page == Form3->FormatsPage ? "formats" : "more", language));
                }
                Form3->OptionPages->setCurrentWidget(Form3->FormatsPage);
                window->hide();
            } else {
                save(window->grab().toImage(),
                     QStringLiteral("text-fit-%1-%2.png").arg(name.toLower(), language));
                window->hide();
            }
        }
    }
}

KAVENRA_WINDOW_TEST_MAIN(TestTextFit)

#include "test_text_fit.moc"
