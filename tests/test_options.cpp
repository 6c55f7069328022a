// The options dialog: its layout and initial selection, loading and saving the stored options
// on a real settings database, the JPEG ratio label, the failures of a damaged database, and the
// selection reaching the conversions: the stored one from the dialog's creation, a change the
// moment it is made, and the stored one again when the dialog closes without saving.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/ScreenshotPixels.h"

#include "engine/formats/FreeImageBitmap.h"
#include "engine/run/ImageFileOperations.h"
#include "store/StoredOptions.h"
#include "ui/AppServices.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Unit1.h"
#include "ui/ValueListEditor.h"

#include <FreeImage.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using kavenra::testing::DatabaseFolder;
using kavenra::testing::ModalAnswerer;

namespace {

const QString settingsFile = QStringLiteral("KVConfig.db");
const QStringList columns = {"filtro_redimension", "jpeg", "png", "bmp", "tga", "tif"};

// The text a lookup gives in the test language, which names its own key.
QString caption(int form, const QString& key) {
    return QStringLiteral("T%1:%2").arg(form).arg(key);
}

QList<int> codesOf(const kavenra::FormatOptions& options) {
    return {options.filtro_redimension,
            options.jpeg,
            options.png,
            options.bmp,
            options.tga,
            options.tif};
}

// Save as, WebP quality, WebP without loss, fast decoding.
QList<int> addedCodesOf(const kavenra::FormatOptions& options) {
    return {options.guardar_como, options.webp, options.webp_sin_perdida,
            options.decodificacion_rapida};
}

// The last group's codes, in column order: don't enlarge, fit within, subfolders, no location,
// keep dates, size budget.
QList<int> choicesOf(const kavenra::FormatOptions& options) {
    return {options.no_ampliar,       options.ajustar_dentro,   options.incluir_subcarpetas,
            options.quitar_ubicacion, options.conservar_fechas, options.limite_kb};
}

// The codes that state what a run takes from the windows at this moment: the main window's
// reading of the dialog at a tick, and the dialog's subfolder choice that a drop reads.
kavenra::FormatOptions runCodes() {
    const kavenra::RunControls controls = Form1->ReadRunControls();
    return kavenra::CodesFromChoices(
        {controls.options, controls.keepDates, Form3->CurrentChoices().includeSubfolders});
}

const QStringList choiceColumns = {"no_ampliar",       "ajustar_dentro",   "incluir_subcarpetas",
                                   "quitar_ubicacion", "conservar_fechas", "limite_kb"};

// The radio buttons of one column, in code order (no entry for the JPEG track bar).
QList<QRadioButton*> buttonsOf(const QString& column) {
    if (column == "filtro_redimension") {
        return {Form3->RadioButton1, Form3->RadioButton2, Form3->RadioButton3,
                Form3->RadioButton4, Form3->RadioButton5, Form3->RadioButton8};
    }
    if (column == "png") {
        return {Form3->RadioButton9, Form3->RadioButton10, Form3->RadioButton11,
                Form3->RadioButton12};
    }
    if (column == "bmp") return {Form3->RadioButton6, Form3->RadioButton7};
    if (column == "guardar_como") {
        return {Form3->saveAsOriginalButton, Form3->saveAsJpegButton, Form3->saveAsPngButton,
                Form3->saveAsWebpButton, Form3->saveAsTiffButton};
    }
    if (column == "tga") return {Form3->RadioButton13, Form3->RadioButton14};
    if (column == "tif") {
        return {Form3->RadioButton15, Form3->RadioButton16, Form3->RadioButton17,
                Form3->RadioButton18};
    }
    return {};
}

QString checkedButton(const QString& column) {
    QString names;
    for (QRadioButton* button : buttonsOf(column)) {
        if (button->isChecked()) names += button->objectName();
    }
    return names;
}

// A noisy colour picture saved as a high-quality JPEG: its re-encoded size depends clearly on
// the quality the conversion chooses.
bool writeNoisyJpeg(const QString& path) {
    kavenra::BitmapHandle bitmap(FreeImage_Allocate(160, 120, 24));
    if (!bitmap) return false;
    quint32 state = 12345;
    for (unsigned y = 0; y < 120; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        for (unsigned x = 0; x < 160 * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            line[x] = static_cast<BYTE>((x + y) * 2 + (state >> 27));
        }
    }
    return FreeImage_Save(FIF_JPEG, bitmap.get(), QFile::encodeName(path).constData(),
                          JPEG_QUALITYSUPERB);
}

// Converts the picture (JPEG to JPEG, half size) and returns the output's size in bytes.
// Converted with the options the main window hands a run now.
qint64 convertedJpegSize(const QString& source, const QString& destination) {
    if (!ConvertImage(QFile::encodeName(source).toStdString(),
                      QFile::encodeName(destination).toStdString(), 0, 60, 80,
                      Form1->ReadRunControls().options)) {
        return -1;
    }
    return QFileInfo(destination).size();
}

}  // namespace

class TestOptions : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void layoutAndInitialSelection();
    void titleCaptionsAreSettable();
    void loadSelectsAndSaveStoresTheCode_data();
    void loadSelectsAndSaveStoresTheCode();
    void ratioLabelFollowsTrackBar();
    void textThatIsNoIntegerStopsLoading_data();
    void textThatIsNoIntegerStopsLoading();
    void missingBmpColumn();
    void addedOptionsLoadAndSave_data();
    void addedOptionsLoadAndSave();
    void addedColumnsMissing();
    void choicesLoadAndSave_data();
    void choicesLoadAndSave();
    void choicesClickedAreStoredAndReloaded();
    void saveAsChoiceReachesRuns();
    void conversionsUseStoredValuesWithoutAShowing();
    void storedValueReadsTheSameShownOrNot_data();
    void storedValueReadsTheSameShownOrNot();
    void unsavedChangeActsUntilClosedWithoutSaving_data();
    void unsavedChangeActsUntilClosedWithoutSaving();
    void screenshot();

  private:
    void setStored(const QString& column, const QString& value);
    QString stored(const QString& column) const;

    std::unique_ptr<TForm1> mainWindow_;
    std::unique_ptr<DatabaseFolder> databases_;
    std::unique_ptr<TForm3> form_;
};

void TestOptions::initTestCase() {
    FreeImage_Initialise(FALSE);
    mainWindow_ = std::make_unique<TForm1>();
    Form1 = mainWindow_.get();
}

void TestOptions::cleanupTestCase() {
    Form1 = nullptr;
    mainWindow_.reset();
}

void TestOptions::init() {
    databases_ = std::make_unique<DatabaseFolder>();
    QVERIFY(databases_->isValid());
    QVERIFY(
        databases_->writeSettings({{QStringLiteral("Español"), QStringLiteral("es.db"), true}}));
    QVERIFY(databases_->writeCompleteLanguage(QStringLiteral("es.db"), QStringLiteral("T")));
    // Created as at program start: it becomes the source of the conversions' codes at once.
    form_ = std::make_unique<TForm3>();
    Form3 = form_.get();
}

void TestOptions::cleanup() {
    Form3 = nullptr;
    form_.reset();
    databases_.reset();
}

void TestOptions::setStored(const QString& column, const QString& value) {
    const QString error = kavenra::testing::RunSql(
        databases_->filePath(settingsFile), QStringLiteral("UPDATE configuracion SET %1 = %2")
                                                .arg(column, kavenra::testing::SqlText(value)));
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

QString TestOptions::stored(const QString& column) const {
    return databases_->queryValue(settingsFile,
                                  QStringLiteral("SELECT %1 FROM configuracion").arg(column));
}

void TestOptions::layoutAndInitialSelection() {
    // Fits a 1366 x 768 screen under a panel, caption bar and frame included.
    QCOMPARE(Form3->width(), 620);
    QVERIFY2(Form3->height() <= 640, qPrintable(QString::number(Form3->height())));
    QCOMPARE(Form3->minimumSize(), Form3->maximumSize());
    QCOMPARE(Form3->windowTitle(), QStringLiteral("Opciones"));
    QVERIFY(!Form3->isModal());
    QCOMPARE(Form3->windowModality(), Qt::NonModal);

    // The design's groups on the first page, at their designed sizes and places (4 pixels up and
    // left, where the page's border takes the dialog's margin); the added choices on the second.
    QCOMPARE(Form3->OptionPages->count(), 2);
    QCOMPARE(Form3->OptionPages->widget(0), Form3->FormatsPage);
    QCOMPARE(Form3->OptionPages->widget(1), Form3->MoreOptionsPage);
    QCOMPARE(Form3->OptionPages->currentWidget(), Form3->FormatsPage);
    const QList<QPair<QWidget*, QRect>> firstPage = {
        {Form3->GroupBox2, QRect(4, 4, 305, 153)},
        {Form3->GroupBox1, QRect(315, 4, 289, 121)},
        {Form3->GroupBox3, QRect(315, 131, 289, 81)},
        {Form3->GroupBox6, QRect(315, 218, 289, 73)},
        {Form3->GroupBox5, QRect(315, 297, 289, 124)},
        {Form3->GroupBox4, QRect(4, 159, 305, 122)},
        {Form3->ValueListEditor1, QRect(4, 308, 305, 113)},
        {Form3->saveAsGroup, QRect(4, 427, 305, 96)},
        {Form3->webpGroup, QRect(315, 427, 289, 96)},
        {Form3->fastJpegDecodingBox, QRect(12, 531, 592, 17)}};
    for (const auto& [control, place] : firstPage) {
        QCOMPARE(control->parentWidget(), Form3->FormatsPage);
        QCOMPARE(control->geometry(), place);
        QVERIFY(Form3->FormatsPage->rect().contains(place));
    }
    QCOMPARE(Form3->Label8->parentWidget(), Form3->FormatsPage);
    QCOMPARE(Form3->Label8->pos(), QPoint(4, 292));
    QCOMPARE(Form3->moreChoicesGroup->parentWidget(), Form3->MoreOptionsPage);
    QCOMPARE(Form3->moreChoicesGroup->geometry(), QRect(4, 4, 600, 118));
    QVERIFY(Form3->MoreOptionsPage->rect().contains(Form3->moreChoicesGroup->geometry()));
    for (QWidget* choice :
         {static_cast<QWidget*>(Form3->noEnlargeBox), static_cast<QWidget*>(Form3->sizeBudgetBox),
          static_cast<QWidget*>(Form3->sizeBudgetKbEdit)}) {
        QCOMPARE(choice->parentWidget(), Form3->moreChoicesGroup);
    }
    // The pages show whole, and Save and Cancel sit side by side under them, inside the dialog.
    QVERIFY(QRect(QPoint(0, 0), Form3->size()).contains(Form3->OptionPages->geometry()));
    QCOMPARE(Form3->Button1->size(), QSize(75, 25));
    QCOMPARE(Form3->CancelButton->size(), QSize(75, 25));
    QCOMPARE(Form3->Button1->y(), Form3->CancelButton->y());
    QVERIFY(Form3->Button1->y() > Form3->OptionPages->geometry().bottom());
    QVERIFY(Form3->Button1->geometry().right() < Form3->CancelButton->x());
    QVERIFY(QRect(QPoint(0, 0), Form3->size()).contains(Form3->CancelButton->geometry()));
    QCOMPARE(Form3->Button1->x() + Form3->CancelButton->geometry().right(), 620 - 1);
    QCOMPARE(Form3->TrackBar1->geometry(), QRect(24, 32, 249, 33));
    QCOMPARE(Form3->Label7->pos(), QPoint(15, 18));
    QCOMPARE(Form3->Label1->pos(), QPoint(24, 98));

    // Each group's buttons sit in their group and exclude only each other.
    const QList<int> filterTops = {17, 40, 63, 86, 109, 132};
    const QList<QRadioButton*> filters = buttonsOf("filtro_redimension");
    for (int i = 0; i < filters.size(); ++i) {
        QCOMPARE(filters[i]->parentWidget(), Form3->GroupBox2);
        QCOMPARE(filters[i]->pos(), QPoint(43, filterTops[i]));
    }
    for (QRadioButton* button : buttonsOf("png"))
        QCOMPARE(button->parentWidget(), Form3->GroupBox4);
    for (QRadioButton* button : buttonsOf("tif"))
        QCOMPARE(button->parentWidget(), Form3->GroupBox5);
    QCOMPARE(Form3->RadioButton15->geometry(), QRect(16, 25, 270, 17));
    QCOMPARE(Form3->RadioButton12->geometry(), QRect(15, 93, 287, 17));

    QCOMPARE(Form3->TrackBar1->minimum(), 1);
    QCOMPARE(Form3->TrackBar1->maximum(), 5);
    QCOMPARE(Form3->TrackBar1->tickPosition(), QSlider::TicksBothSides);
    QVERIFY(Form3->TrackBar1->toolTip().isEmpty());
    const QList<QLabel*> ratios = {Form3->Label6, Form3->Label5, Form3->Label4, Form3->Label3,
                                   Form3->Label2};
    const QStringList ratioTexts = {"10:1", "25:1", "50:1", "75:1", "100:1"};
    for (int i = 0; i < ratios.size(); ++i) {
        QCOMPARE(ratios[i]->pos(), QPoint(24 + 56 * i, 71));
        QCOMPARE(ratios[i]->text(), ratioTexts[i]);
    }
    const QColor ratioColour = Form3->Label1->palette().color(QPalette::WindowText);
    QVERIFY(ratioColour.blue() > 2 * ratioColour.red());
    QCOMPARE(Form3->RadioButton18->toolTip(),
             QString::fromUtf8("Solo imágenes de 8 bits grayscale o 24 bits"));

    ValueListEditor* raw = Form3->ValueListEditor1;
    QCOMPARE(raw->rowCount(), 42);
    QCOMPARE(raw->columnCount(), 2);
    QCOMPARE(raw->Key(0), QStringLiteral("3fr"));
    QCOMPARE(raw->Value(0), QStringLiteral("Hasselblad Digital Camera Raw Image Format."));
    QCOMPARE(raw->Key(11), QStringLiteral("dng"));
    QCOMPARE(raw->Key(41), QStringLiteral("x3f"));
    QVERIFY(
        raw->Value(41).endsWith(QStringLiteral("Unsupported because of license restrictions.")));
    QCOMPARE(raw->columnWidth(0), 59);
    QCOMPARE(raw->columnWidth(1), 223);
    QCOMPARE(raw->editTriggers(), QAbstractItemView::NoEditTriggers);

    // The layout's selection: Catmull-Rom, JPEG 5, PNG 3, BMP 2, TGA 2, TIFF 4.
    QCOMPARE(codesOf(Form3->CurrentFormatOptions()), (QList<int>{5, 5, 3, 2, 2, 4}));
    QCOMPARE(checkedButton("filtro_redimension"), QStringLiteral("RadioButton5"));
    QCOMPARE(checkedButton("png"), QStringLiteral("RadioButton11"));
    QCOMPARE(checkedButton("bmp"), QStringLiteral("RadioButton7"));
    QCOMPARE(checkedButton("tga"), QStringLiteral("RadioButton14"));
    QCOMPARE(checkedButton("tif"), QStringLiteral("RadioButton18"));
    // Saved in the original's format; WebP at quality 80, lossy.
    QCOMPARE(checkedButton("guardar_como"), QStringLiteral("saveAsOriginalButton"));
    QCOMPARE(Form3->webpQualitySlider->value(), 80);
    QCOMPARE(Form3->webpQualityValue->text(), QStringLiteral("80"));
    QVERIFY(!Form3->webpLosslessBox->isChecked());
    QCOMPARE(addedCodesOf(Form3->CurrentFormatOptions()), (QList<int>{0, 80, 0, 0}));
    QCOMPARE(choicesOf(Form3->CurrentFormatOptions()), (QList<int>{0, 0, 0, 0, 0, 0}));
    QVERIFY(!Form3->sizeBudgetKbEdit->isEnabled());
}

void TestOptions::titleCaptionsAreSettable() {
    ValueListEditor* raw = Form3->ValueListEditor1;
    raw->SetTitleCaptions({QStringLiteral("Extension"), QStringLiteral("Description")});
    QCOMPARE(raw->TitleCaptions(), (QStringList{"Extension", "Description"}));
    raw->SetTitleCaptions({QStringLiteral("Only one")});
    QCOMPARE(raw->TitleCaptions(), (QStringList{"Only one", ""}));
    // The rows and their widths stay.
    QCOMPARE(raw->rowCount(), 42);
    QCOMPARE(raw->columnWidth(1), 223);
}

void TestOptions::loadSelectsAndSaveStoresTheCode_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("storedText");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("button");

    const QStringList filterButtons = {"RadioButton1", "RadioButton2", "RadioButton3",
                                       "RadioButton4", "RadioButton5", "RadioButton8"};
    for (int v = 1; v <= 6; ++v) {
        QTest::addRow("filter %d", v)
            << "filtro_redimension" << QString::number(v) << v << filterButtons[v - 1];
    }
    for (const char* other : {"0", "7", "-1"}) {
        QTest::addRow("filter %s", other) << "filtro_redimension" << other << 5 << "RadioButton5";
    }
    QTest::newRow("jpeg 3") << "jpeg"
                            << "3" << 3 << "";
    QTest::newRow("jpeg 1") << "jpeg"
                            << "1" << 1 << "";
    QTest::newRow("jpeg 0 held at 1") << "jpeg"
                                      << "0" << 1 << "";
    QTest::newRow("jpeg -7 held at 1") << "jpeg"
                                       << "-7" << 1 << "";
    QTest::newRow("jpeg 9 held at 5") << "jpeg"
                                      << "9" << 5 << "";
    QTest::newRow("png 1") << "png"
                           << "1" << 1 << "RadioButton9";
    QTest::newRow("png 2") << "png"
                           << "2" << 2 << "RadioButton10";
    QTest::newRow("png 3") << "png"
                           << "3" << 3 << "RadioButton11";
    QTest::newRow("png 4") << "png"
                           << "4" << 4 << "RadioButton12";
    QTest::newRow("png 0") << "png"
                           << "0" << 3 << "RadioButton11";
    QTest::newRow("png 5") << "png"
                           << "5" << 3 << "RadioButton11";
    QTest::newRow("bmp 1") << "bmp"
                           << "1" << 1 << "RadioButton6";
    QTest::newRow("bmp 2") << "bmp"
                           << "2" << 2 << "RadioButton7";
    QTest::newRow("bmp 0") << "bmp"
                           << "0" << 2 << "RadioButton7";
    QTest::newRow("tga 1") << "tga"
                           << "1" << 1 << "RadioButton13";
    QTest::newRow("tga 3") << "tga"
                           << "3" << 2 << "RadioButton14";
    QTest::newRow("tif 1") << "tif"
                           << "1" << 1 << "RadioButton15";
    QTest::newRow("tif 2") << "tif"
                           << "2" << 2 << "RadioButton16";
    QTest::newRow("tif 3") << "tif"
                           << "3" << 3 << "RadioButton17";
    QTest::newRow("tif 4") << "tif"
                           << "4" << 4 << "RadioButton18";
    QTest::newRow("tif 12") << "tif"
                            << "12" << 4 << "RadioButton18";
    // The platform's integer conversion takes blanks before the number and a sign.
    QTest::newRow("tif ' +2'") << "tif"
                               << " +2" << 2 << "RadioButton16";
}

void TestOptions::loadSelectsAndSaveStoresTheCode() {
    QFETCH(QString, column);
    QFETCH(QString, storedText);
    QFETCH(int, code);
    QFETCH(QString, button);

    // Start from a selection the load has to change.
    const QList<QRadioButton*> buttons = buttonsOf(column);
    if (!buttons.isEmpty()) {
        QRadioButton* other =
            buttons.first()->objectName() == button ? buttons.last() : buttons.first();
        other->setChecked(true);
    } else {
        Form3->TrackBar1->setValue(code == 3 ? 4 : 3);
    }
    setStored(column, storedText);

    ModalAnswerer answers;
    Form3->show();
    QVERIFY(Form3->isVisible());
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    if (column == "jpeg") {
        QCOMPARE(Form3->TrackBar1->value(), code);
        QCOMPARE(Form3->Label1->text(),
                 caption(3, QStringLiteral("Label1_from_SRC%1").arg(6 - code)));
    } else {
        QCOMPARE(checkedButton(column), button);
    }
    const int index = static_cast<int>(columns.indexOf(column));
    QCOMPARE(codesOf(Form3->CurrentFormatOptions()).at(index), code);
    QCOMPARE(codesOf(runCodes()).at(index), code);

    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    QVERIFY(!Form3->isVisible());
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QCOMPARE(stored(column), QString::number(code));
    // The other columns are written with the selection they showed.
    QStringList expectedRow = {"5", "5", "3", "2", "2", "4"};
    expectedRow[index] = QString::number(code);
    QStringList row;
    for (const QString& each : columns) row << stored(each);
    QCOMPARE(row, expectedRow);
}

void TestOptions::ratioLabelFollowsTrackBar() {
    setStored("jpeg", "2");
    Form3->show();
    QCOMPARE(Form3->Label1->text(), caption(3, "Label1_from_SRC4"));

    for (int position : {5, 1, 3, 4, 2}) {
        Form3->TrackBar1->setValue(position);
        QCOMPARE(Form3->Label1->text(),
                 caption(3, QStringLiteral("Label1_from_SRC%1").arg(6 - position)));
    }
    // The user's keys move it the same way.
    Form3->TrackBar1->setFocus();
    QTest::keyClick(Form3->TrackBar1, Qt::Key_Right);
    QCOMPARE(Form3->TrackBar1->value(), 3);
    QCOMPARE(Form3->Label1->text(), caption(3, "Label1_from_SRC3"));
    QTest::keyClick(Form3->TrackBar1, Qt::Key_End);
    QCOMPARE(Form3->Label1->text(), caption(3, "Label1_from_SRC1"));
    QCOMPARE(runCodes().jpeg, 5);

    // The text is looked up each time: another language shows at the next move.
    QVERIFY(databases_->writeLanguage(
        QStringLiteral("es.db"),
        {{3, QStringLiteral("Label1_from_SRC2"), QStringLiteral("Buena calidad")}}));
    Form3->TrackBar1->setValue(4);
    QCOMPARE(Form3->Label1->text(), QStringLiteral("Buena calidad"));
}

void TestOptions::textThatIsNoIntegerStopsLoading_data() {
    QTest::addColumn<QString>("breakage");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("loadedColumns");

    QTest::newRow("jpeg 'abc'") << "UPDATE configuracion SET jpeg = 'abc'"
                                << "'abc' is not a valid integer value" << 1;
    QTest::newRow("png '3.0'") << "UPDATE configuracion SET png = '3.0'"
                               << "'3.0' is not a valid integer value" << 2;
    QTest::newRow("tif NULL") << "UPDATE configuracion SET tif = NULL"
                              << "'' is not a valid integer value" << 5;
    QTest::newRow("no row") << "DELETE FROM configuracion"
                            << "'' is not a valid integer value" << 0;
}

void TestOptions::textThatIsNoIntegerStopsLoading() {
    QFETCH(QString, breakage);
    QFETCH(QString, message);
    QFETCH(int, loadedColumns);

    // Every stored value differs from the layout's selection, so each loaded column shows.
    const QStringList storedRow = {"2", "3", "1", "1", "1", "2"};
    for (int i = 0; i < columns.size(); ++i) setStored(columns[i], storedRow[i]);
    QCOMPARE(kavenra::testing::RunSql(databases_->filePath(settingsFile), breakage), QString());

    ModalAnswerer answers;
    Form3->show();
    QVERIFY(Form3->isVisible());
    QCOMPARE(answers.messageBoxTexts(), QStringList{message});
    QCOMPARE(answers.messageBoxes().first().icon, QMessageBox::Critical);

    const QList<int> initial = {5, 5, 3, 2, 2, 4};
    const QList<int> loaded = {2, 3, 1, 1, 1, 2};
    const QList<int> shown = codesOf(Form3->CurrentFormatOptions());
    for (int i = 0; i < columns.size(); ++i) {
        QCOMPARE(shown[i], i < loadedColumns ? loaded[i] : initial[i]);
    }
    // The label was set before the load began.
    QCOMPARE(Form3->Label1->text(),
             caption(3, QStringLiteral("Label1_from_SRC%1").arg(6 - shown[1])));
}

void TestOptions::missingBmpColumn() {
    const QStringList storedRow = {"2", "3", "1", "1", "1", "2"};
    for (int i = 0; i < columns.size(); ++i) setStored(columns[i], storedRow[i]);
    QCOMPARE(kavenra::testing::RunSql(databases_->filePath(settingsFile),
                                      "ALTER TABLE configuracion DROP COLUMN bmp"),
             QString());

    ModalAnswerer answers;
    Form3->show();
    QVERIFY(Form3->isVisible());
    QCOMPARE(answers.messageBoxTexts(),
             (QStringList{"1", "Error Preparando consulta", "SELECT bmp FROM configuracion",
                          "'FALLO!' is not a valid integer value"}));
    // filtro_redimension, jpeg and png loaded; bmp, tga and tif keep the layout's selection.
    QCOMPARE(codesOf(Form3->CurrentFormatOptions()), (QList<int>{2, 3, 1, 2, 2, 4}));

    answers.clear();
    Form3->RadioButton4->setChecked(true);
    Form3->TrackBar1->setValue(1);
    Form3->RadioButton12->setChecked(true);
    // Different from what tga and tif hold, so writing them would show.
    Form3->RadioButton14->setChecked(true);
    Form3->RadioButton17->setChecked(true);
    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    QVERIFY(!Form3->isVisible());
    QCOMPARE(answers.messageBoxTexts(),
             (QStringList{"no such column: bmp", "Fail Writing BDD Configuration"}));
    const kavenra::testing::MessageBoxRecord failure = answers.messageBoxes().last();
    QCOMPARE(failure.title, QString::fromUtf8("Atención"));
    QCOMPARE(failure.icon, QMessageBox::Critical);
    QCOMPARE(failure.buttons.size(), 1);

    QCOMPARE(stored("filtro_redimension"), QStringLiteral("4"));
    QCOMPARE(stored("jpeg"), QStringLiteral("1"));
    QCOMPARE(stored("png"), QStringLiteral("4"));
    QCOMPARE(stored("tga"), QStringLiteral("1"));
    QCOMPARE(stored("tif"), QStringLiteral("2"));
    // The selection stays in force for conversions all the same.
    QCOMPARE(codesOf(runCodes()), (QList<int>{4, 1, 4, 2, 2, 3}));
}

void TestOptions::addedOptionsLoadAndSave_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("storedText");
    // save as, WebP quality, without loss, fast decoding
    QTest::addColumn<QList<int>>("codes");
    const QList<int> initial{0, 80, 0, 0};
    const auto row = [](const QString& column, const QString& text, const QList<int>& codes) {
        QTest::addRow("%s '%s'", qPrintable(column), qPrintable(text)) << column << text << codes;
    };
    for (int code = 0; code <= 4; ++code) {
        row("guardar_como", QString::number(code), {code, 80, 0, 0});
    }
    for (const char* damaged : {"5", "-1", "x", "", "2.0", " 2", "99999999999"}) {
        row("guardar_como", damaged, initial);
    }
    row("webp", "1", {0, 1, 0, 0});
    row("webp", "55", {0, 55, 0, 0});
    row("webp", "100", {0, 100, 0, 0});
    for (const char* damaged : {"0", "101", "abc", "-5"}) row("webp", damaged, initial);
    row("webp_sin_perdida", "1", {0, 80, 1, 0});
    row("webp_sin_perdida", "0", initial);
    for (const char* damaged : {"2", "yes"}) row("webp_sin_perdida", damaged, initial);
    row("decodificacion_rapida", "1", {0, 80, 0, 1});
    row("decodificacion_rapida", "0", initial);
    for (const char* damaged : {"2", "-1", "on", ""})
        row("decodificacion_rapida", damaged, initial);
}

// A stored value that is unknown or damaged means the initial one, without a word: these options
// came after the first versions, and nothing else depends on them.
void TestOptions::addedOptionsLoadAndSave() {
    QFETCH(QString, column);
    QFETCH(QString, storedText);
    QFETCH(QList<int>, codes);
    setStored(column, storedText);

    ModalAnswerer answers;
    Form3->show();
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QCOMPARE(addedCodesOf(Form3->CurrentFormatOptions()), codes);
    QCOMPARE(addedCodesOf(runCodes()), codes);
    QCOMPARE(Form3->webpQualityValue->text(), QString::number(codes[1]));
    QCOMPARE(Form3->webpQualitySlider->isEnabled(), codes[2] == 0);
    QCOMPARE(Form3->fastJpegDecodingBox->isChecked(), codes[3] == 1);

    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QCOMPARE(
        (QList<int>{stored("guardar_como").toInt(), stored("webp").toInt(),
                    stored("webp_sin_perdida").toInt(), stored("decodificacion_rapida").toInt()}),
        codes);
}

// A database the start could not bring up to date: the dialog shows the initial values and still
// reads the first six columns.
void TestOptions::addedColumnsMissing() {
    setStored("guardar_como", "2");
    setStored("png", "1");
    for (const char* column :
         {"guardar_como", "webp", "webp_sin_perdida", "decodificacion_rapida"}) {
        QCOMPARE(kavenra::testing::RunSql(databases_->filePath(settingsFile),
                                          QStringLiteral("ALTER TABLE configuracion DROP COLUMN %1")
                                              .arg(QLatin1String(column))),
                 QString());
    }
    ModalAnswerer answers;
    Form3->saveAsWebpButton->setChecked(true);
    Form3->fastJpegDecodingBox->setChecked(true);
    Form3->show();
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QCOMPARE(Form3->PngCode(), 1);
    QCOMPARE(addedCodesOf(Form3->CurrentFormatOptions()), (QList<int>{0, 80, 0, 0}));
}

void TestOptions::choicesLoadAndSave_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("storedText");
    QTest::addColumn<QList<int>>("codes");  // as choicesOf lists them
    const QList<int> initial{0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 5; ++i) {
        QList<int> on = initial;
        on[i] = 1;
        const QString column = choiceColumns[i];
        QTest::addRow("%s on", qPrintable(column)) << column << "1" << on;
        QTest::addRow("%s off", qPrintable(column)) << column << "0" << initial;
        for (const char* damaged : {"2", "-1", "yes", ""})
            QTest::addRow("%s '%s'", qPrintable(column), damaged) << column << damaged << initial;
    }
    for (const int kb : {1, 250, 1000000}) {
        QTest::addRow("limite_kb %d", kb)
            << "limite_kb" << QString::number(kb) << QList<int>{0, 0, 0, 0, 0, kb};
    }
    for (const char* damaged : {"0", "1000001", "-5", "big", "1.5"})
        QTest::addRow("limite_kb '%s'", damaged) << "limite_kb" << damaged << initial;
}

// Each box shows its stored choice, the conversions read it, and a save writes it back; a value
// that is unknown or damaged means the choice is off.
void TestOptions::choicesLoadAndSave() {
    QFETCH(QString, column);
    QFETCH(QString, storedText);
    QFETCH(QList<int>, codes);
    setStored(column, storedText);

    ModalAnswerer answers;
    Form3->show();
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QCOMPARE(choicesOf(Form3->CurrentFormatOptions()), codes);
    QCOMPARE(choicesOf(runCodes()), codes);
    const QList<QCheckBox*> boxes = {Form3->noEnlargeBox,  Form3->fitWithinBox,
                                     Form3->subfoldersBox, Form3->removeLocationBox,
                                     Form3->keepDatesBox,  Form3->sizeBudgetBox};
    for (int i = 0; i < boxes.size(); ++i) QCOMPARE(boxes[i]->isChecked(), codes[i] != 0);
    QCOMPARE(Form3->sizeBudgetKbEdit->isEnabled(), codes[5] != 0);
    if (codes[5] != 0) QCOMPARE(Form3->sizeBudgetKbEdit->value(), codes[5]);

    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QList<int> written;
    for (const QString& name : choiceColumns) written << stored(name).toInt();
    QCOMPARE(written, codes);
}

void TestOptions::choicesClickedAreStoredAndReloaded() {
    ModalAnswerer answers;
    Form3->show();
    for (QCheckBox* box : {Form3->noEnlargeBox, Form3->fitWithinBox, Form3->keepDatesBox,
                           Form3->subfoldersBox, Form3->removeLocationBox, Form3->sizeBudgetBox}) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 8));
    }
    QVERIFY(Form3->sizeBudgetKbEdit->isEnabled());
    Form3->sizeBudgetKbEdit->setValue(750);
    QCOMPARE(choicesOf(runCodes()), (QList<int>{1, 1, 1, 1, 1, 750}));
    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    QList<int> written;
    for (const QString& name : choiceColumns) written << stored(name).toInt();
    QCOMPARE(written, (QList<int>{1, 1, 1, 1, 1, 750}));

    // A cleared budget box stores no budget, whatever the spin box still holds.
    Form3->show();
    QCOMPARE(choicesOf(Form3->CurrentFormatOptions()), (QList<int>{1, 1, 1, 1, 1, 750}));
    QTest::mouseClick(Form3->sizeBudgetBox, Qt::LeftButton, {}, QPoint(8, 8));
    QVERIFY(!Form3->sizeBudgetKbEdit->isEnabled());
    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    QCOMPARE(stored("limite_kb"), QStringLiteral("0"));
}

void TestOptions::saveAsChoiceReachesRuns() {
    Form3->show();
    const QList<QRadioButton*> choices = buttonsOf("guardar_como");
    for (int code = 0; code < choices.size(); ++code) {
        choices[code]->setChecked(true);
        QCOMPARE(runCodes().guardar_como, code);
    }
    QTest::keyClick(Form3->webpQualitySlider, Qt::Key_Home);
    QCOMPARE(runCodes().webp, 1);
    QCOMPARE(Form3->webpQualityValue->text(), QStringLiteral("1"));
    QTest::mouseClick(Form3->webpLosslessBox, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(runCodes().webp_sin_perdida, 1);
    // The quality is not read without loss.
    QVERIFY(!Form3->webpQualitySlider->isEnabled());
    QCOMPARE(runCodes().decodificacion_rapida, 0);
    QTest::mouseClick(Form3->fastJpegDecodingBox, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(runCodes().decodificacion_rapida, 1);
}

// The stored options are in force from the dialog's creation, as at the program's start: a run
// that never opened the dialog converts with them, and a value that cannot be read is quietly
// its initial one.
void TestOptions::conversionsUseStoredValuesWithoutAShowing() {
    QTemporaryDir images;
    QVERIFY(images.isValid());
    const QString source = images.filePath("photo.jpg");
    QVERIFY(writeNoisyJpeg(source));
    QCOMPARE(codesOf(runCodes()), (QList<int>{5, 5, 3, 2, 2, 4}));
    const qint64 layoutQuality = convertedJpegSize(source, images.filePath("layout.jpg"));
    QVERIFY(layoutQuality > 0);

    const QStringList storedRow = {"1", "1", "1", "1", "1", "1"};
    for (int i = 0; i < columns.size(); ++i) setStored(columns[i], storedRow[i]);
    setStored("webp_sin_perdida", "1");
    setStored("quitar_ubicacion", "1");
    setStored("conservar_fechas", "1");
    setStored("webp", "many");
    ModalAnswerer answers;
    Form3 = nullptr;
    form_.reset();
    form_ = std::make_unique<TForm3>();
    Form3 = form_.get();

    QVERIFY(!Form3->isVisible());
    QCOMPARE(codesOf(runCodes()), (QList<int>{1, 1, 1, 1, 1, 1}));
    QCOMPARE(addedCodesOf(runCodes()), (QList<int>{0, 80, 1, 0}));
    QCOMPARE(choicesOf(runCodes()), (QList<int>{0, 0, 0, 1, 1, 0}));
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    // JPEG_QUALITYBAD from the start, where the layout's selection is JPEG_QUALITYSUPERB.
    const qint64 storedQuality = convertedJpegSize(source, images.filePath("stored.jpg"));
    QVERIFY(storedQuality > 0);
    QVERIFY2(storedQuality * 2 < layoutQuality,
             qPrintable(QStringLiteral("%1 vs %2").arg(storedQuality).arg(layoutQuality)));
}

void TestOptions::storedValueReadsTheSameShownOrNot_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    // The design's columns as the platform's integer conversion reads them.
    QTest::newRow("tif ' +2'") << "tif"
                               << " +2";
    QTest::newRow("png '$2'") << "png"
                              << "$2";
    QTest::newRow("filter '0x3'") << "filtro_redimension"
                                  << "0x3";
    QTest::newRow("jpeg ' -3' held at 1") << "jpeg"
                                          << " -3";
    QTest::newRow("bmp '+1'") << "bmp"
                              << "+1";
    QTest::newRow("tga 7 out of range") << "tga"
                                        << "7";
    QTest::newRow("png 0 out of range") << "png"
                                        << "0";
    // The added columns take plain digits only.
    QTest::newRow("save as ' 2'") << "guardar_como"
                                  << " 2";
    QTest::newRow("webp '$20'") << "webp"
                                << "$20";
    QTest::newRow("webp 0 out of range") << "webp"
                                         << "0";
    QTest::newRow("limite_kb beyond the largest") << "limite_kb"
                                                  << "1000001";
}

// What a stored value means does not depend on whether the dialog was shown: a run before the
// first showing, the dialog once shown and a run without a window read the same code.
void TestOptions::storedValueReadsTheSameShownOrNot() {
    QFETCH(QString, column);
    QFETCH(QString, text);
    setStored(column, text);
    ModalAnswerer answers;
    Form3 = nullptr;
    form_.reset();
    form_ = std::make_unique<TForm3>();
    Form3 = form_.get();
    const kavenra::FormatOptions beforeShowing = runCodes();

    Form3->show();
    QVERIFY(Form3->isVisible());
    QCOMPARE(answers.messageBoxTexts(), QStringList());
    const kavenra::FormatOptions shown = Form3->CurrentFormatOptions();
    const kavenra::FormatOptions withoutWindow =
        kavenra::ReadStoredCodes(databases_->filePath(settingsFile).toStdString());
    QTest::mouseClick(Form3->CancelButton, Qt::LeftButton);

    QCOMPARE(codesOf(beforeShowing), codesOf(shown));
    QCOMPARE(addedCodesOf(beforeShowing), addedCodesOf(shown));
    QCOMPARE(choicesOf(beforeShowing), choicesOf(shown));
    QVERIFY(withoutWindow == shown);
}

void TestOptions::unsavedChangeActsUntilClosedWithoutSaving_data() {
    QTest::addColumn<QString>("closing");
    QTest::newRow("the close box") << "close box";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Cancel") << "cancel";
}

// While the dialog is open a change acts at once; closing it without Save stores nothing and puts
// back the selection it was opened with, the one stored.
void TestOptions::unsavedChangeActsUntilClosedWithoutSaving() {
    QFETCH(QString, closing);
    const QStringList storedRow = {"2", "5", "1", "1", "1", "2"};
    for (int i = 0; i < columns.size(); ++i) setStored(columns[i], storedRow[i]);
    setStored("quitar_ubicacion", "1");

    QTemporaryDir images;
    QVERIFY(images.isValid());
    const QString source = images.filePath("photo.jpg");
    QVERIFY(writeNoisyJpeg(source));

    Form3->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form3));
    QCOMPARE(codesOf(runCodes()), (QList<int>{2, 5, 1, 1, 1, 2}));
    const qint64 stored5 = convertedJpegSize(source, images.filePath("stored.jpg"));

    Form3->RadioButton8->setChecked(true);
    QTest::keyClick(Form3->TrackBar1, Qt::Key_Home);
    Form3->RadioButton10->setChecked(true);
    Form3->RadioButton7->setChecked(true);
    Form3->RadioButton14->setChecked(true);
    Form3->RadioButton17->setChecked(true);
    Form3->removeLocationBox->setChecked(false);
    QCOMPARE(codesOf(runCodes()), (QList<int>{6, 1, 2, 2, 2, 3}));
    QCOMPARE(runCodes().quitar_ubicacion, 0);
    const qint64 changed1 = convertedJpegSize(source, images.filePath("changed.jpg"));
    QVERIFY2(changed1 * 2 < stored5,
             qPrintable(QStringLiteral("%1 vs %2").arg(changed1).arg(stored5)));

    if (closing == QLatin1String("close box")) {
        Form3->close();
    } else if (closing == QLatin1String("escape")) {
        QTest::keyClick(Form3->focusWidget() ? Form3->focusWidget() : Form3, Qt::Key_Escape);
    } else {
        QTest::mouseClick(Form3->CancelButton, Qt::LeftButton);
    }
    QVERIFY(!Form3->isVisible());
    QCOMPARE(codesOf(runCodes()), (QList<int>{2, 5, 1, 1, 1, 2}));
    QCOMPARE(runCodes().quitar_ubicacion, 1);
    QCOMPARE(convertedJpegSize(source, images.filePath("after.jpg")), stored5);
    QStringList row;
    for (const QString& each : columns) row << stored(each);
    QCOMPARE(row, storedRow);
    QCOMPARE(stored("quitar_ubicacion"), QStringLiteral("1"));
}

void TestOptions::screenshot() {
    setStored("jpeg", "4");
    QVERIFY(databases_->writeLanguage(QStringLiteral("es.db"),
                                      {{3, QStringLiteral("Label1_from_SRC2"),
                                        QStringLiteral("Buena calidad (JPEG_QUALITYGOOD)")}}));
    Form3->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form3));
    const QString folder = kavenra::testing::ScreenshotFolder();
    QVERIFY(QDir().mkpath(folder));
    const QImage image = Form3->grab().toImage();
    QCOMPARE(image.size() / image.devicePixelRatio(), Form3->size());
    QVERIFY(image.save(QDir(folder).filePath(QStringLiteral("options.png"))));
    Form3->OptionPages->setCurrentWidget(Form3->MoreOptionsPage);
    QVERIFY(
        Form3->grab().toImage().save(QDir(folder).filePath(QStringLiteral("options-more.png"))));
}

KAVENRA_WINDOW_TEST_MAIN(TestOptions)

#include "test_options.moc"
