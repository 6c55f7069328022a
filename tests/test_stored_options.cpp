// The one mapping between the options dialog's stored row and the choices a run makes: every
// code of every column read from a real settings file into its option in real units and back to
// the code the dialog shows, values that are damaged or out of range read as the dialog's initial
// selection, and a file, table or column that is missing.

#include "store/StoredOptions.h"

#include "support/DatabaseFixture.h"

#include <QFile>
#include <QTest>

#include <initializer_list>
#include <utility>

#include <memory>

using kavenra::FormatOptions;
using kavenra::OutputChoice;
using kavenra::ResizeFilter;
using kavenra::RunChoices;
using kavenra::TiffCompression;
using kavenra::testing::DatabaseFolder;

namespace {

const QString kSettings = QStringLiteral("KVConfig.db");

QString NameOf(ResizeFilter filter) {
    switch (filter) {
        case ResizeFilter::Box:
            return "box";
        case ResizeFilter::Bilinear:
            return "bilinear";
        case ResizeFilter::BSpline:
            return "b-spline";
        case ResizeFilter::Bicubic:
            return "bicubic";
        case ResizeFilter::CatmullRom:
            return "catmull-rom";
        case ResizeFilter::Lanczos3:
            return "lanczos";
    }
    return "?";
}

QString NameOf(OutputChoice choice) {
    switch (choice) {
        case OutputChoice::Original:
            return "original";
        case OutputChoice::Jpeg:
            return "jpeg";
        case OutputChoice::Png:
            return "png";
        case OutputChoice::Webp:
            return "webp";
        case OutputChoice::Tiff:
            return "tiff";
    }
    return "?";
}

QString NameOf(TiffCompression compression) {
    switch (compression) {
        case TiffCompression::None:
            return "none";
        case TiffCompression::Lzw:
            return "lzw";
        case TiffCompression::Deflate:
            return "deflate";
        case TiffCompression::Jpeg:
            return "jpeg";
    }
    return "?";
}

QString OnOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// The option a column stands for, in real units, as one word or number.
QString OptionOf(const RunChoices& choices, const QString& column) {
    const kavenra::ConversionOptions& options = choices.conversion;
    if (column == "filtro_redimension") return NameOf(options.filter);
    if (column == "jpeg") return QString::number(options.jpegQuality);
    if (column == "png") return QString::number(options.pngLevel);
    if (column == "bmp") return options.bmpRunLength ? "rle" : "plain";
    if (column == "tga") return options.targaRunLength ? "rle" : "plain";
    if (column == "tif") return NameOf(options.tiffCompression);
    if (column == "guardar_como") return NameOf(options.saveAs);
    if (column == "webp") return QString::number(options.webpQuality);
    if (column == "webp_sin_perdida") return OnOff(options.webpLossless);
    if (column == "decodificacion_rapida") return OnOff(options.fastDecoding);
    if (column == "no_ampliar") return OnOff(options.noEnlarge);
    if (column == "ajustar_dentro") return OnOff(options.fitWithin);
    if (column == "incluir_subcarpetas") return OnOff(choices.includeSubfolders);
    if (column == "quitar_ubicacion") return OnOff(options.removeLocation);
    if (column == "conservar_fechas") return OnOff(choices.keepDates);
    if (column == "limite_kb") {
        return options.sizeBudgetBytes ? QString::number(*options.sizeBudgetBytes) : "none";
    }
    return "unknown column";
}

// The dialog's initial selection, column by column, as a fresh installation of an older version
// and every damaged value have it.
FormatOptions InitialCodes() {
    FormatOptions codes;
    codes.filtro_redimension = 5;
    codes.jpeg = 5;
    codes.png = 3;
    codes.bmp = 2;
    codes.tga = 2;
    codes.tif = 4;
    codes.guardar_como = 0;
    codes.webp = 80;
    codes.webp_sin_perdida = 0;
    codes.decodificacion_rapida = 0;
    codes.no_ampliar = 0;
    codes.ajustar_dentro = 0;
    codes.incluir_subcarpetas = 0;
    codes.quitar_ubicacion = 0;
    codes.conservar_fechas = 0;
    codes.limite_kb = 0;
    return codes;
}

int* CodeIn(FormatOptions& codes, const QString& column) {
    for (const kavenra::StoredColumn& each : kavenra::kStoredColumns) {
        if (column == QLatin1String(each.name)) return &(codes.*each.code);
    }
    return nullptr;
}

}  // namespace

class TestStoredOptions : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void storedCodeReadsIntoItsOptionAndBack_data();
    void storedCodeReadsIntoItsOptionAndBack();
    void missingSettingsReadAsTheInitialSelection_data();
    void missingSettingsReadAsTheInitialSelection();

  private:
    void setStored(const QString& column, const QString& text);
    std::unique_ptr<DatabaseFolder> databases_;
};

void TestStoredOptions::init() {
    databases_ = std::make_unique<DatabaseFolder>();
    QVERIFY(databases_->isValid());
    QVERIFY(
        databases_->writeSettings({{QStringLiteral("English"), QStringLiteral("en.db"), true}}));
}

void TestStoredOptions::cleanup() {
    databases_.reset();
}

void TestStoredOptions::setStored(const QString& column, const QString& text) {
    const QString sql =
        QStringLiteral("UPDATE configuracion SET %1 = %2")
            .arg(column, text.isNull() ? QStringLiteral("NULL") : kavenra::testing::SqlText(text));
    const QString error = kavenra::testing::RunSql(databases_->filePath(kSettings), sql);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestStoredOptions::storedCodeReadsIntoItsOptionAndBack_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("option");  // OptionOf the choices read
    QTest::addColumn<int>("shownCode");   // the code the dialog shows for it
    const auto row = [](const char* column, const QString& stored, const QString& option,
                        int code) {
        QTest::addRow("%s '%s'", column, qPrintable(stored)) << column << stored << option << code;
    };
    const QStringList filters = {"box",     "bilinear",    "b-spline",
                                 "bicubic", "catmull-rom", "lanczos"};
    for (int code = 1; code <= 6; ++code)
        row("filtro_redimension", QString::number(code), filters[code - 1], code);
    for (const char* damaged : {"0", "7", "-1", "abc", "", "3.0"})
        row("filtro_redimension", damaged, "catmull-rom", 5);
    // The design's columns are read as the platform reads an integer: blanks, a sign, "$"/"0x".
    row("filtro_redimension", " +2", "bilinear", 2);
    row("filtro_redimension", "0x6", "lanczos", 6);
    row("tif", "$3", "deflate", 3);

    const QStringList qualities = {"10", "25", "50", "75", "100"};
    for (int code = 1; code <= 5; ++code)
        row("jpeg", QString::number(code), qualities[code - 1], code);
    // The slider holds any number at its nearest end; a text that is no number is its initial.
    row("jpeg", "0", "10", 1);
    row("jpeg", "-7", "10", 1);
    row("jpeg", "9", "100", 5);
    row("jpeg", "x", "100", 5);
    row("jpeg", " -3", "10", 1);
    row("jpeg", "99999999999", "100", 5);

    const QStringList levels = {"1", "6", "9", "0"};
    for (int code = 1; code <= 4; ++code) row("png", QString::number(code), levels[code - 1], code);
    for (const char* damaged : {"0", "5", "3.0"}) row("png", damaged, "9", 3);

    row("bmp", "1", "plain", 1);
    row("bmp", "2", "rle", 2);
    row("bmp", "0", "rle", 2);
    row("tga", "1", "plain", 1);
    row("tga", "2", "rle", 2);
    row("tga", "3", "rle", 2);

    const QStringList compressions = {"none", "lzw", "deflate", "jpeg"};
    for (int code = 1; code <= 4; ++code)
        row("tif", QString::number(code), compressions[code - 1], code);
    row("tif", "12", "jpeg", 4);

    const QStringList formats = {"original", "jpeg", "png", "webp", "tiff"};
    for (int code = 0; code <= 4; ++code)
        row("guardar_como", QString::number(code), formats[code], code);
    for (const char* damaged : {"5", "-1", "2.0", " 2", "99999999999"})
        row("guardar_como", damaged, "original", 0);

    for (int quality : {1, 5, 80, 100})
        row("webp", QString::number(quality), QString::number(quality), quality);
    for (const char* damaged : {"0", "101", "abc"}) row("webp", damaged, "80", 80);

    for (const char* column :
         {"webp_sin_perdida", "decodificacion_rapida", "no_ampliar", "ajustar_dentro",
          "incluir_subcarpetas", "quitar_ubicacion", "conservar_fechas"}) {
        row(column, "1", "on", 1);
        row(column, "0", "off", 0);
        for (const char* damaged : {"2", "-1", "yes"}) row(column, damaged, "off", 0);
    }

    row("limite_kb", "1", "1024", 1);
    row("limite_kb", "300", "307200", 300);
    row("limite_kb", "1000000", "1024000000", 1000000);
    for (const char* damaged : {"0", "1000001", "-5", "1.5"}) row("limite_kb", damaged, "none", 0);
}

// Each column's value reaches exactly its own option, and the choices read give back the code
// the dialog shows; every other column keeps its initial code.
void TestStoredOptions::storedCodeReadsIntoItsOptionAndBack() {
    QFETCH(QString, column);
    QFETCH(QString, stored);
    QFETCH(QString, option);
    QFETCH(int, shownCode);
    setStored(column, stored);

    const FormatOptions codes =
        kavenra::ReadStoredCodes(databases_->filePath(kSettings).toStdString());
    const RunChoices choices = kavenra::ChoicesFromCodes(codes);
    QCOMPARE(OptionOf(choices, column), option);

    FormatOptions expected = InitialCodes();
    int* code = CodeIn(expected, column);
    QVERIFY(code);
    *code = shownCode;
    QVERIFY(codes == expected);
    QVERIFY(kavenra::CodesFromChoices(choices) == expected);
}

void TestStoredOptions::missingSettingsReadAsTheInitialSelection_data() {
    QTest::addColumn<QString>("breakage");  // SQL run on the settings file; empty: no file
    QTest::newRow("no file") << QString();
    QTest::newRow("no table") << "DROP TABLE configuracion";
    QTest::newRow("no row") << "DELETE FROM configuracion";
    QTest::newRow("a NULL") << "UPDATE configuracion SET png = NULL, webp = NULL";
    QTest::newRow("older file without the added columns")
        << "ALTER TABLE configuracion DROP COLUMN guardar_como;"
           "ALTER TABLE configuracion DROP COLUMN limite_kb;";
}

void TestStoredOptions::missingSettingsReadAsTheInitialSelection() {
    QFETCH(QString, breakage);
    // Every readable value differs from its initial one, so a value read from elsewhere shows.
    for (const auto& [column, text] :
         std::initializer_list<std::pair<const char*, const char*>>{{"filtro_redimension", "1"},
                                                                    {"jpeg", "2"},
                                                                    {"png", "1"},
                                                                    {"bmp", "1"},
                                                                    {"tga", "1"},
                                                                    {"tif", "1"},
                                                                    {"webp", "50"}}) {
        setStored(column, text);
    }
    std::string file = databases_->filePath(kSettings).toStdString();
    if (breakage.isNull()) {
        file = databases_->filePath(QStringLiteral("absent.db")).toStdString();
    } else {
        QCOMPARE(kavenra::testing::RunSql(databases_->filePath(kSettings), breakage), QString());
    }

    const FormatOptions codes = kavenra::ReadStoredCodes(file);

    FormatOptions expected = InitialCodes();
    if (breakage.startsWith("UPDATE") || breakage.startsWith("ALTER")) {
        expected.filtro_redimension = 1;
        expected.jpeg = 2;
        expected.bmp = 1;
        expected.tga = 1;
        expected.tif = 1;
    }
    // The NULLs read as their initial codes; without the added columns the others stay.
    if (breakage.startsWith("ALTER")) {
        expected.png = 1;
        expected.webp = 50;
    }
    QVERIFY(codes == expected);
    QVERIFY(!QFile::exists(databases_->filePath(QStringLiteral("absent.db"))));
}

QTEST_GUILESS_MAIN(TestStoredOptions)
#include "test_stored_options.moc"
