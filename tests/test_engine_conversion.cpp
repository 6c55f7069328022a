// ConvertImage on real files made here with FreeImage: target sizes, filter and save-flag
// mapping read back from the output, content-decided formats, RAW output, the keep-dimensions
// switch, the JPEG size tags, and saves that fail without touching what was there.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ImageConversion.h"
#include "engine/formats/Codec.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ConversionWorkspace.h"
#include "support/DamagedJpeg.h"
#include "support/FileContents.h"
#include "support/FileSizeLimit.h"
#include "support/HandMadeJpeg.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFileInspection.h"
#include "support/ImageFiles.h"

using namespace kavenra;
using namespace kavenra::test;

using kavenra::testing::FileSizeLimit;

using kavenra::testing::FileContents;
using kavenra::testing::WriteFileContents;

namespace {

FREE_IMAGE_FORMAT FormatNamed(const QString& name) {
    static const QHash<QString, FREE_IMAGE_FORMAT> formats = {
        {"bmp", FIF_BMP},  {"jpeg", FIF_JPEG}, {"png", FIF_PNG}, {"tga", FIF_TARGA},
        {"tif", FIF_TIFF}, {"gif", FIF_GIF},   {"ppm", FIF_PPM}};
    return formats.value(name, FIF_UNKNOWN);
}

struct Picture {
    FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
    unsigned width = 0;
    unsigned height = 0;
};

// Format and size from the header only: Debian's FreeImage cannot decode RLE8 BMP files, not even
// those it writes itself, while other readers take them.
Picture Inspect(const QString& path) {
    const BitmapHandle bitmap = LoadImageFile(NativePath(path), FIF_LOAD_NOPIXELS);
    if (!bitmap) return {};
    return {FreeImage_GetFileType(NativePath(path).c_str(), 0), FreeImage_GetWidth(bitmap.get()),
            FreeImage_GetHeight(bitmap.get())};
}

QString Describe(const QString& path) {
    return QString::fromStdString(DescribeEncoding(ReadFileBytes(NativePath(path))));
}

// Everything in a folder, hidden files included, so that a stray temporary file shows.
QStringList Listing(const QString& folder) {
    QStringList names;
    const auto entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        names << entry.fileName();
        if (entry.isDir() && !entry.isSymLink()) {
            for (const QString& inner : Listing(entry.filePath())) {
                names << entry.fileName() + "/" + inner;
            }
        }
    }
    names.sort();
    return names;
}

}  // namespace

class EngineConversionTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // A natural picture in `format`, named `name`. BMP is 8-bit greyscale, where RLE applies;
    // PPM is ASCII, so that a binary output shows it was saved with flags 0.
    QString makeInput(const QString& name, FREE_IMAGE_FORMAT format, int width, int height,
                      int flags = 0) {
        const QString path = in(name);
        if (format == FIF_PPM && flags == 0) flags = PNM_SAVE_ASCII;
        const bool written =
            format == FIF_BMP
                ? SaveBitmapFile(*MakeGreyBitmap(width, height), FIF_BMP, NativePath(path), flags)
                : WriteImageFile(NativePath(path), format, width, height, 1, flags);
        return written ? path : QString();
    }

    QString makeDng(const QString& name) {
        return WriteMinimalDng(NativePath(in(name))) ? in(name) : QString();
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }

    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    void targetSize_data() {
        QTest::addColumn<int>("sourceWidth");
        QTest::addColumn<int>("sourceHeight");
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");

        QTest::newRow("landscape 1600x1200, L 800") << 1600 << 1200 << 1 << 0 << 800 << 800 << 600;
        QTest::newRow("portrait 1200x1600, L 800") << 1200 << 1600 << 1 << 0 << 800 << 600 << 800;
        QTest::newRow("1920x1080, L 1024") << 1920 << 1080 << 1 << 0 << 1024 << 1024 << 576;
        QTest::newRow("2560x1600, L 1024") << 2560 << 1600 << 1 << 0 << 1024 << 1024 << 640;
        QTest::newRow("square 1000x1000, L 500") << 1000 << 1000 << 1 << 0 << 500 << 500 << 500;
        QTest::newRow("exact 11x15, L 300") << 11 << 15 << 1 << 0 << 300 << 220 << 300;
        QTest::newRow("33.3 rounds down") << 1000 << 333 << 1 << 0 << 100 << 100 << 33;
        QTest::newRow("33.5 rounds up") << 1000 << 335 << 1 << 0 << 100 << 100 << 34;
        QTest::newRow("a sliver keeps one pixel") << 1000 << 1 << 1 << 0 << 100 << 100 << 1;
        QTest::newRow("explicit 640x480 on 1600x1200")
            << 1600 << 1200 << 0 << 480 << 640 << 640 << 480;
        QTest::newRow("explicit 640x480 ignores the ratio of 11x15")
            << 11 << 15 << 0 << 480 << 640 << 640 << 480;
        QTest::newRow("mode flag 2 is the explicit size")
            << 1600 << 1200 << 2 << 480 << 640 << 640 << 480;
    }

    void targetSize() {
        QFETCH(int, sourceWidth);
        QFETCH(int, sourceHeight);
        QFETCH(int, keepAspect);
        QFETCH(int, height);
        QFETCH(int, widthOrLongest);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);

        const QString source =
            makeInput("picture.png", FIF_PNG, sourceWidth, sourceHeight, PNG_Z_BEST_SPEED);
        QVERIFY(!source.isEmpty());
        QVERIFY(convert(source, out("picture.png"), keepAspect, height, widthOrLongest));

        const Picture result = Inspect(out("picture.png"));
        QCOMPARE(result.format, FIF_PNG);
        QCOMPARE(result.width, unsigned(expectedWidth));
        QCOMPARE(result.height, unsigned(expectedHeight));
    }

    // Sizes that only bogus size tags or extreme arguments produce: no 32-bit overflow, no
    // division by zero.
    void targetSizeArithmetic_data() {
        QTest::addColumn<qint64>("sourceWidth");
        QTest::addColumn<qint64>("sourceHeight");
        QTest::addColumn<int>("longest");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");

        QTest::newRow("L times the shorter side beyond 32 bits")
            << qint64(3000) << qint64(2000) << 2000000000 << true << 2000000000 << 1333333333;
        QTest::newRow("sides beyond 32 bits")
            << qint64(5000000000) << qint64(2500000000) << 1000 << true << 1000 << 500;
        QTest::newRow("no side to divide by") << qint64(0) << qint64(0) << 500 << false << 0 << 0;
        QTest::newRow("zero width, positive height")
            << qint64(0) << qint64(30) << 100 << true << 1 << 100;
    }

    void targetSizeArithmetic() {
        QFETCH(qint64, sourceWidth);
        QFETCH(qint64, sourceHeight);
        QFETCH(int, longest);
        QFETCH(bool, valid);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);

        ConversionRequest request;
        request.mode = SizingMode::LongestSide;
        request.longestSide = longest;
        const auto target = TargetSizeFor(ConversionJob{request, {}}, {sourceWidth, sourceHeight});
        QCOMPARE(target.has_value(), valid);
        if (!valid) return;
        QCOMPARE(target->width, expectedWidth);
        QCOMPARE(target->height, expectedHeight);
    }

    // Don't enlarge and fit within on both ways of stating the size; an expected width of -1:
    // no size at all.
    void sizeChoices_data() {
        QTest::addColumn<bool>("longestSide");
        QTest::addColumn<int>("width");   // or the longest side
        QTest::addColumn<int>("height");  // explicit size only
        QTest::addColumn<qint64>("sourceWidth");
        QTest::addColumn<qint64>("sourceHeight");
        QTest::addColumn<bool>("noEnlarge");
        QTest::addColumn<bool>("fitWithin");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");

        const auto row = [](const char* name, bool longest, int width, int height, qint64 w,
                            qint64 h, bool noEnlarge, bool fit, int ew, int eh) {
            QTest::newRow(name) << longest << width << height << w << h << noEnlarge << fit << ew
                                << eh;
        };
        // Explicit size, stretched.
        row("box: smaller picture enlarged", false, 400, 300, 100, 50, false, false, 400, 300);
        row("box: smaller picture kept", false, 400, 300, 100, 50, true, false, 100, 50);
        row("box: equal picture kept", false, 400, 300, 400, 300, true, false, 400, 300);
        row("box: wider picture stretched", false, 400, 300, 500, 100, true, false, 400, 300);
        row("box: taller picture stretched", false, 400, 300, 100, 400, true, false, 400, 300);
        row("box: portrait in a landscape box stretched", false, 400, 300, 300, 400, false, false,
            400, 300);
        // Explicit size, fitted.
        row("fit: landscape in a square", false, 400, 400, 1600, 1200, false, true, 400, 300);
        row("fit: portrait in a landscape box", false, 400, 300, 1200, 1600, false, true, 225, 300);
        row("fit: same proportions fill the box", false, 400, 300, 800, 600, false, true, 400, 300);
        row("fit: smaller picture enlarged", false, 400, 300, 100, 50, false, true, 400, 200);
        row("fit: smaller picture kept", false, 400, 300, 100, 50, true, true, 100, 50);
        row("fit: equal picture kept", false, 400, 300, 400, 300, true, true, 400, 300);
        row("fit: one side beyond, shrunk", false, 400, 300, 800, 100, true, true, 400, 50);
        row("fit: 33.3 rounds down", false, 100, 100, 1000, 333, false, true, 100, 33);
        row("fit: 33.5 rounds up", false, 100, 100, 1000, 335, false, true, 100, 34);
        row("fit: 1xN keeps one pixel", false, 400, 300, 1, 10000, false, true, 1, 300);
        row("fit: Nx1 keeps one pixel", false, 400, 300, 10000, 1, false, true, 400, 1);
        row("fit: 1x1 enlarged to the box's shorter side", false, 400, 300, 1, 1, false, true, 300,
            300);
        row("fit: 1x1 not enlarged", false, 400, 300, 1, 1, true, true, 1, 1);
        row("fit: no side to scale", false, 400, 300, 0, 0, false, true, -1, 0);
        row("box: no side, never within", false, 400, 300, 0, 0, true, false, 400, 300);
        // Longest side; fitting concerns only the box.
        row("longest: smaller picture enlarged", true, 800, 0, 300, 200, false, false, 800, 533);
        row("longest: smaller picture kept", true, 800, 0, 300, 200, true, false, 300, 200);
        row("longest: equal side kept", true, 800, 0, 800, 600, true, false, 800, 600);
        row("longest: portrait within kept", true, 300, 0, 200, 300, true, false, 200, 300);
        row("longest: longer side beyond, shrunk", true, 800, 0, 900, 100, true, false, 800, 89);
        row("longest: fit changes nothing", true, 800, 0, 300, 200, false, true, 800, 533);
        row("longest: 1xN kept", true, 800, 0, 1, 500, true, false, 1, 500);
        row("longest: 1xN shrunk keeps one pixel", true, 800, 0, 1, 5000, true, false, 1, 800);
    }

    void sizeChoices() {
        QFETCH(bool, longestSide);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(qint64, sourceWidth);
        QFETCH(qint64, sourceHeight);
        QFETCH(bool, noEnlarge);
        QFETCH(bool, fitWithin);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);

        ConversionRequest request;
        request.mode = longestSide ? SizingMode::LongestSide : SizingMode::ExplicitSize;
        (longestSide ? request.longestSide : request.width) = width;
        request.height = longestSide ? 0 : height;
        ConversionOptions sizeChoices;
        sizeChoices.noEnlarge = noEnlarge;
        sizeChoices.fitWithin = fitWithin;
        const auto target = TargetSizeFor({request, sizeChoices}, {sourceWidth, sourceHeight});
        QCOMPARE(target.has_value(), expectedWidth >= 0);
        if (!target) return;
        QCOMPARE(target->width, expectedWidth);
        QCOMPARE(target->height, expectedHeight);
    }

    void filterCode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("expectedFilter");

        QTest::newRow("1 Box") << 1 << int(FILTER_BOX);
        QTest::newRow("2 Bilinear is FreeImage 2") << 2 << int(FILTER_BILINEAR);
        QTest::newRow("3 B-Spline") << 3 << int(FILTER_BSPLINE);
        QTest::newRow("4 Bicubic is FreeImage 1") << 4 << int(FILTER_BICUBIC);
        QTest::newRow("5 Catmull-Rom") << 5 << int(FILTER_CATMULLROM);
        QTest::newRow("6 Lanczos") << 6 << int(FILTER_LANCZOS3);
        QTest::newRow("no known button: Lanczos") << 0 << int(FILTER_LANCZOS3);
        QTest::newRow("beyond the last button: Lanczos") << 7 << int(FILTER_LANCZOS3);
    }

    // The output's pixels equal FreeImage's rescale with the expected filter, and differ from
    // every other filter's.
    void filterCode() {
        QFETCH(int, code);
        QFETCH(int, expectedFilter);
        options.filter = FilterOfCode(code);

        const QString source = makeInput("scene.png", FIF_PNG, 97, 73);
        QVERIFY(convert(source, out("scene.png"), 0, 29, 41));

        const BitmapHandle output = LoadImageFile(NativePath(out("scene.png")));
        const BitmapHandle input = LoadImageFile(NativePath(source));
        QVERIFY(output && input);
        for (int filter = FILTER_BOX; filter <= FILTER_LANCZOS3; ++filter) {
            const BitmapHandle reference(
                FreeImage_Rescale(input.get(), 41, 29, FREE_IMAGE_FILTER(filter)));
            QVERIFY(reference);
            QVERIFY2(SamePixels(*output, *reference) == (filter == expectedFilter),
                     qPrintable(QString("filter %1").arg(filter)));
        }
    }

    void saveFlags_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");

        QTest::newRow("jpeg 1 (10:1)") << "jpeg" << 1 << "JPEG quality 10";
        QTest::newRow("jpeg 2 (25:1)") << "jpeg" << 2 << "JPEG quality 25";
        QTest::newRow("jpeg 3 (50:1)") << "jpeg" << 3 << "JPEG quality 50";
        QTest::newRow("jpeg 4 (75:1)") << "jpeg" << 4 << "JPEG quality 75";
        QTest::newRow("jpeg 5 (100:1)") << "jpeg" << 5 << "JPEG quality 100";
        QTest::newRow("jpeg outside the track bar") << "jpeg" << 0 << "JPEG quality 100";
        QTest::newRow("png 1 best speed") << "png" << 1 << "PNG level hint 0, compressed";
        QTest::newRow("png 2 default") << "png" << 2 << "PNG level hint 2, compressed";
        QTest::newRow("png 3 best compression") << "png" << 3 << "PNG level hint 3, compressed";
        QTest::newRow("png 4 no compression") << "png" << 4 << "PNG level hint 0, stored";
        QTest::newRow("png unknown: last button") << "png" << 9 << "PNG level hint 0, stored";
        QTest::newRow("bmp 1 plain") << "bmp" << 1 << "BMP compression 0";
        QTest::newRow("bmp 2 RLE") << "bmp" << 2 << "BMP compression 1";
        QTest::newRow("bmp unknown: RLE") << "bmp" << 0 << "BMP compression 1";
        QTest::newRow("tga 1 plain") << "tga" << 1 << "TARGA type 2";
        QTest::newRow("tga 2 RLE") << "tga" << 2 << "TARGA type 10";
        QTest::newRow("tga unknown: RLE") << "tga" << 3 << "TARGA type 10";
        QTest::newRow("tif 1 none") << "tif" << 1 << "TIFF compression 1";
        QTest::newRow("tif 2 LZW") << "tif" << 2 << "TIFF compression 5";
        QTest::newRow("tif 3 Deflate") << "tif" << 3 << "TIFF compression 32946";
        QTest::newRow("tif 4 JPEG") << "tif" << 4 << "TIFF compression 7";
        QTest::newRow("tif unknown: JPEG") << "tif" << 0 << "TIFF compression 7";
    }

    void saveFlags() {
        QFETCH(QString, format);
        QFETCH(int, code);
        QFETCH(QString, expected);
        if (format == "jpeg") options.jpegQuality = JpegQualityOfCode(code);
        if (format == "png") options.pngLevel = PngLevelOfCode(code);
        if (format == "bmp") options.bmpRunLength = RunLengthOfCode(code);
        if (format == "tga") options.targaRunLength = RunLengthOfCode(code);
        if (format == "tif") options.tiffCompression = TiffCompressionOfCode(code);

        const QString source = makeInput("input." + format, FormatNamed(format), 120, 90);
        QVERIFY(!source.isEmpty());
        QVERIFY(convert(source, out("output." + format), 0, 45, 60));

        QCOMPARE(Describe(out("output." + format)), expected);
        const Picture result = Inspect(out("output." + format));
        QCOMPARE(result.width, 60u);
        QCOMPARE(result.height, 45u);
    }

    // The best quality keeps the colour at full resolution, as common encoders do from quality
    // 90 up; the lower settings (75 and below) halve it both ways.
    void jpegChromaSampling_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");
        QTest::newRow("jpeg 1 (10)") << 1 << "2x2 1x1 1x1";
        QTest::newRow("jpeg 2 (25)") << 2 << "2x2 1x1 1x1";
        QTest::newRow("jpeg 3 (50)") << 3 << "2x2 1x1 1x1";
        QTest::newRow("jpeg 4 (75)") << 4 << "2x2 1x1 1x1";
        QTest::newRow("jpeg 5 (100): 4:4:4") << 5 << "1x1 1x1 1x1";
        QTest::newRow("jpeg outside the track bar: 4:4:4") << 0 << "1x1 1x1 1x1";
    }

    void jpegChromaSampling() {
        QFETCH(int, code);
        QFETCH(QString, expected);
        options.jpegQuality = JpegQualityOfCode(code);
        const QString source = makeInput("photo.jpg", FIF_JPEG, 120, 90);
        QVERIFY(!source.isEmpty());

        QVERIFY(convert(source, out("photo.jpg"), 0, 45, 60));

        const std::optional<std::string> sampling =
            JpegSamplingFactors(ReadFileBytes(NativePath(out("photo.jpg"))));
        QVERIFY(sampling);
        QCOMPARE(QString::fromStdString(*sampling), expected);
    }

    // Nothing installed: the options dialog's initial selection and an unchecked switch.
    void initialOptionsApplyWithoutAWindow_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("jpeg") << "jpeg"
                              << "JPEG quality 100";
        QTest::newRow("png") << "png"
                             << "PNG level hint 3, compressed";
        QTest::newRow("bmp") << "bmp"
                             << "BMP compression 1";
        QTest::newRow("tga") << "tga"
                             << "TARGA type 10";
        QTest::newRow("tif") << "tif"
                             << "TIFF compression 7";
    }

    void initialOptionsApplyWithoutAWindow() {
        QFETCH(QString, format);
        QFETCH(QString, expected);

        const QString source = makeInput("input." + format, FormatNamed(format), 90, 60);
        QVERIFY(ConvertImage(NativePath(source), NativePath(out("output." + format)), 1, 0, 30));

        QCOMPARE(Describe(out("output." + format)), expected);
        QCOMPARE(Inspect(out("output." + format)).width, 30u);
        const BitmapHandle input = LoadImageFile(NativePath(source));
        const BitmapHandle catmullRom(FreeImage_Rescale(input.get(), 30, 20, FILTER_CATMULLROM));
        if (format == "png" || format == "tga") {  // lossless and readable: pixels exact
            const BitmapHandle output = LoadImageFile(NativePath(out("output." + format)));
            QVERIFY(output && catmullRom);
            QVERIFY(SamePixels(*output, *catmullRom));
        }
    }

    void changedOptionsApplyToTheNextFile() {
        const QString source = makeInput("photo.jpg", FIF_JPEG, 80, 60);
        options.jpegQuality = JpegQualityOfCode(1);
        QVERIFY(convert(source, out("first.jpg"), 1, 0, 40));
        options.jpegQuality = JpegQualityOfCode(5);
        QVERIFY(convert(source, out("second.jpg"), 1, 0, 40));

        QCOMPARE(Describe(out("first.jpg")), QString("JPEG quality 10"));
        QCOMPARE(Describe(out("second.jpg")), QString("JPEG quality 100"));
    }

    // Only the input format's own code shapes its output: the other formats' codes at their
    // other extreme change no byte, and RAW input is written with JPEG's defaults whatever the
    // JPEG code says.
    void onlyTheInputFormatsOwnCodeCounts_data() {
        QTest::addColumn<QString>("input");
        for (const char* input : {"jpeg", "png", "bmp", "tga", "tif", "ppm", "raw"}) {
            QTest::newRow(input) << input;
        }
    }

    void onlyTheInputFormatsOwnCodeCounts() {
        QFETCH(QString, input);
        const QString source = input == "raw"
                                   ? makeDng("camera.dng")
                                   : makeInput("input." + input, FormatNamed(input), 40, 30);
        QVERIFY(!source.isEmpty());
        QVERIFY(convert(source, out("plain"), 1, 0, 20));

        ConversionOptions others = options;
        others.jpegQuality = JpegQualityOfCode(1);
        others.pngLevel = PngLevelOfCode(4);
        others.bmpRunLength = RunLengthOfCode(1);
        others.targaRunLength = RunLengthOfCode(1);
        others.tiffCompression = TiffCompressionOfCode(1);
        if (input == "jpeg") others.jpegQuality = options.jpegQuality;
        if (input == "png") others.pngLevel = options.pngLevel;
        if (input == "bmp") others.bmpRunLength = options.bmpRunLength;
        if (input == "tga") others.targaRunLength = options.targaRunLength;
        if (input == "tif") others.tiffCompression = options.tiffCompression;
        options = others;
        QVERIFY(convert(source, out("others"), 1, 0, 20));

        const QString suffix = input == "raw" ? ".jpg" : "";
        const QByteArray plain = FileContents(out("plain" + suffix));
        QVERIFY(!plain.isEmpty());
        QCOMPARE(FileContents(out("others" + suffix)), plain);
    }

    void contentDecidesTheFormat_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");

        QTest::newRow("PNG named foto.jpg stays PNG with PNG flags")
            << "png"
            << "foto.jpg"
            << "PNG level hint 3, compressed";
        QTest::newRow("JPEG named picture.png stays JPEG") << "jpeg"
                                                           << "picture.png"
                                                           << "JPEG quality 100";
        QTest::newRow("TIFF named scan.bmp stays TIFF") << "tif"
                                                        << "scan.bmp"
                                                        << "TIFF compression 7";
        QTest::newRow("PPM, other formats save with flags 0") << "ppm"
                                                              << "frame.ppm"
                                                              << "PPM P6";
    }

    void contentDecidesTheFormat() {
        QFETCH(QString, content);
        QFETCH(QString, name);
        QFETCH(QString, expected);

        const QString source = makeInput(name, FormatNamed(content), 64, 48);
        QVERIFY(!source.isEmpty());
        QVERIFY(convert(source, out(name), 1, 0, 32));

        QCOMPARE(Listing(outFolder()), QStringList{name});
        QCOMPARE(Describe(out(name)), expected);
    }

    void inputWithoutPictureWritesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text named notes.png") << "text";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("missing file") << "missing";
        QTest::newRow("a folder") << "folder";
        QTest::newRow("truncated PNG") << "truncated";
    }

    void inputWithoutPictureWritesNothing() {
        QFETCH(QString, kind);
        const QString source = in("notes.png");
        if (kind == "text") QVERIFY(WriteFileContents(source, "shopping list: bread, milk\n"));
        if (kind == "empty") QVERIFY(WriteFileContents(source, ""));
        if (kind == "folder") QVERIFY(QDir().mkpath(source));
        if (kind == "truncated") {
            QVERIFY(!makeInput("notes.png", FIF_PNG, 64, 48).isEmpty());
            QVERIFY(QFile::resize(source, 40));
        }

        QVERIFY(!convert(source, out("notes.png"), 1, 0, 100));
        QCOMPARE(Listing(outFolder()), QStringList{});
    }

    // A JPEG file cut short, in its headers or anywhere in its picture data, fails as
    // incomplete rather than coming out grey below the cut, and leaves nothing behind; bytes
    // after the end-of-image marker (a camera's padding, anything appended) do not matter.
    void cutJpegIsIncomplete_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("keptPercent");  // of the whole file
        QTest::addColumn<QString>("path");     // the run's, the worker's call, this process
        QTest::addColumn<int>("expectedReason");
        const int incomplete = int(FailureReason::Incomplete);
        const int none = int(FailureReason::None);
        QTest::newRow("cut in the headers") << "baseline" << 5 << "run" << incomplete;
        QTest::newRow("cut at a quarter") << "baseline" << 25 << "run" << incomplete;
        QTest::newRow("cut at half") << "baseline" << 50 << "run" << incomplete;
        QTest::newRow("cut before its last bytes") << "baseline" << 99 << "run" << incomplete;
        QTest::newRow("progressive, cut at half") << "progressive" << 50 << "run" << incomplete;
        QTest::newRow("restart markers, cut at half") << "restarts" << 50 << "run" << incomplete;
        QTest::newRow("only the end marker missing")
            << "no end marker" << 100 << "run" << incomplete;
        QTest::newRow("whole") << "baseline" << 100 << "run" << none;
        QTest::newRow("progressive, whole") << "progressive" << 100 << "run" << none;
        QTest::newRow("restart markers, whole") << "restarts" << 100 << "run" << none;
        QTest::newRow("zero padding after the end") << "padded" << 100 << "run" << none;
        QTest::newRow("another picture's start after the end")
            << "appended" << 100 << "run" << none;
        QTest::newRow("worker's call: cut at half") << "baseline" << 50 << "worker" << incomplete;
        QTest::newRow("worker's call: padding after the end")
            << "padded" << 100 << "worker" << none;
        QTest::newRow("this process: cut at half") << "baseline" << 50 << "engine" << incomplete;
        QTest::newRow("this process: padding after the end") << "padded" << 100 << "engine" << none;
    }

    void cutJpegIsIncomplete() {
        QFETCH(QString, kind);
        QFETCH(int, keptPercent);
        QFETCH(QString, path);
        QFETCH(int, expectedReason);
        const BitmapHandle picture = MakeNaturalBitmap(160, 120, 3);
        const int progressive = kind == "progressive" ? JPEG_PROGRESSIVE : 0;
        Bytes file = kind == "restarts"
                         ? EncodeJpegWithRestartMarkers(256, 192, 4)
                         : EncodeImage(*picture, FIF_JPEG, JPEG_QUALITYGOOD | progressive);
        QVERIFY(file.size() > 1000);
        file.resize(file.size() * std::size_t(keptPercent) / 100);
        if (kind == "no end marker") file.resize(file.size() - 2);
        if (kind == "padded") file.insert(file.end(), 4096, 0);
        if (kind == "appended") file.insert(file.end(), {0xFF, 0xD8, 0xFF, 0xE0, 0x00});
        const QString source = in("photo.jpg");
        QVERIFY(WriteFileBytes(NativePath(source), file));

        bool converted = false;
        FailureReason reason = FailureReason::None;
        if (path == "worker") {
            const WorkerConversion result = convertInWorker(source, out("photo.jpg"), 1, 0, 80);
            converted = result.committed;
            reason = result.failure;
        } else if (path == "engine") {
            const Preparation prepared = PrepareImageFile(job(source, out("photo.jpg"), 1, 0, 80));
            converted = prepared.prepared && CommitPreparedOutput(*prepared.prepared);
            reason = prepared.failure;
        } else {
            const FileOutcome outcome = convertOutcome(source, out("photo.jpg"), 1, 0, 80);
            converted = outcome.committed;
            reason = outcome.reason;
        }

        QCOMPARE(int(reason), expectedReason);
        QCOMPARE(converted, expectedReason == int(FailureReason::None));
        QCOMPARE(Listing(outFolder()), converted ? QStringList{"photo.jpg"} : QStringList{});
    }

    // A JPEG file whose picture data is damaged fails as damaged rather than coming out grey or
    // scrambled from the damage on, through every decode (exact, the fast reduced-scale one) and
    // every path, and leaves nothing behind. The oddities of sound files that cost no pixel (an
    // encoder's padding, stray bytes or an unknown marker among the headers) still convert, to
    // the bare FreeImage loop's pixels.
    void damagedJpegFails_data() {
        QTest::addColumn<QString>("base");  // "baseline", "progressive" or "restarts"
        QTest::addColumn<QString>("kind");  // DamagedJpeg's
        QTest::addColumn<QString>("path");  // the run's, the fast decode's, the worker's call,
                                            // this process
        QTest::addColumn<int>("expectedReason");
        const int damaged = int(FailureReason::Damaged);
        const int none = int(FailureReason::None);
        QTest::newRow("a marker in the data") << "baseline"
                                              << "marker in the data"
                                              << "run" << damaged;
        QTest::newRow("a zeroed sector") << "baseline"
                                         << "zeroed sector"
                                         << "run" << damaged;
        QTest::newRow("progressive, a marker in the data") << "progressive"
                                                           << "marker in the data"
                                                           << "run" << damaged;
        QTest::newRow("progressive, a zeroed sector") << "progressive"
                                                      << "zeroed sector"
                                                      << "run" << damaged;
        QTest::newRow("restart markers out of order") << "restarts"
                                                      << "restarts out of order"
                                                      << "run" << damaged;
        QTest::newRow("bytes before a restart marker") << "restarts"
                                                       << "bytes before a restart"
                                                       << "run" << damaged;
        QTest::newRow("coded bytes left before the end marker") << "baseline"
                                                                << "mixed bytes before the end"
                                                                << "run" << damaged;
        QTest::newRow("fast decoding: a marker in the data") << "baseline"
                                                             << "marker in the data"
                                                             << "fast" << damaged;
        QTest::newRow("fast decoding: progressive, a zeroed sector") << "progressive"
                                                                     << "zeroed sector"
                                                                     << "fast" << damaged;
        QTest::newRow("worker's call: a marker in the data") << "baseline"
                                                             << "marker in the data"
                                                             << "worker" << damaged;
        QTest::newRow("this process: a marker in the data") << "baseline"
                                                            << "marker in the data"
                                                            << "engine" << damaged;
        QTest::newRow("padding before the end marker") << "baseline"
                                                       << "padding before the end"
                                                       << "run" << none;
        QTest::newRow("progressive, padding before the end marker") << "progressive"
                                                                    << "padding before the end"
                                                                    << "run" << none;
        QTest::newRow("restart markers, padding before the end marker") << "restarts"
                                                                        << "padding before the end"
                                                                        << "run" << none;
        QTest::newRow("stray bytes between header segments") << "baseline"
                                                             << "bytes between headers"
                                                             << "run" << none;
        QTest::newRow("an unknown marker among the headers") << "baseline"
                                                             << "unknown marker among headers"
                                                             << "run" << none;
        QTest::newRow("fast decoding: padding before the end marker") << "baseline"
                                                                      << "padding before the end"
                                                                      << "fast" << none;
        QTest::newRow("worker's call: padding before the end marker") << "baseline"
                                                                      << "padding before the end"
                                                                      << "worker" << none;
    }

    void damagedJpegFails() {
        QFETCH(QString, base);
        QFETCH(QString, kind);
        QFETCH(QString, path);
        QFETCH(int, expectedReason);
        const BitmapHandle picture = MakeNaturalBitmap(320, 240, 11);
        const Bytes sound =
            base == "restarts"
                ? EncodeJpegWithRestartMarkers(320, 240, 4)
                : EncodeImage(*picture, FIF_JPEG,
                              JPEG_QUALITYGOOD | (base == "progressive" ? JPEG_PROGRESSIVE : 0));
        const Bytes file = DamagedJpeg(sound, kind.toStdString());
        QVERIFY(!file.empty());
        const QString source = in("photo.jpg");
        QVERIFY(WriteFileBytes(NativePath(source), file));
        options.fastDecoding = path == "fast";

        bool converted = false;
        FailureReason reason = FailureReason::None;
        if (path == "worker") {
            const WorkerConversion result = convertInWorker(source, out("photo.jpg"), 1, 0, 40);
            converted = result.committed;
            reason = result.failure;
        } else if (path == "engine") {
            const Preparation prepared = PrepareImageFile(job(source, out("photo.jpg"), 1, 0, 40));
            converted = prepared.prepared && CommitPreparedOutput(*prepared.prepared);
            reason = prepared.failure;
        } else {
            const FileOutcome outcome = convertOutcome(source, out("photo.jpg"), 1, 0, 40);
            converted = outcome.committed;
            reason = outcome.reason;
        }

        QCOMPARE(int(reason), expectedReason);
        QCOMPARE(converted, expectedReason == int(FailureReason::None));
        QCOMPARE(Listing(outFolder()), converted ? QStringList{"photo.jpg"} : QStringList{});
        if (!converted || path == "fast") return;
        const BitmapHandle loaded(
            FreeImage_Load(FIF_JPEG, NativePath(source).c_str(), JPEG_ACCURATE));
        QVERIFY(loaded);
        const BitmapHandle rescaled(
            FreeImage_Rescale(loaded.get(), 40, 30, FreeImageFilterOf(options.filter)));
        const BitmapHandle bare =
            DecodeImage(EncodeImage(*rescaled, FIF_JPEG, SaveFlagsOf(FIF_JPEG, options)));
        const BitmapHandle output = LoadImageFile(NativePath(out("photo.jpg")));
        QVERIFY(bare && output);
        QVERIFY(SamePixels(*output, *bare));
    }

    void keepDimensionsSwitch_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");

        QTest::newRow("on: JPEG keeps its size in longest-side mode")
            << "jpeg" << true << 1 << 0 << 100 << "photo.jpg" << 300 << 200;
        QTest::newRow("on: size arguments 0")
            << "jpeg" << true << 0 << 0 << 0 << "photo.jpg" << 300 << 200;
        QTest::newRow("off: JPEG resized")
            << "jpeg" << false << 1 << 0 << 100 << "photo.jpg" << 100 << 67;
        QTest::newRow("on: RAW keeps the preview's size")
            << "raw" << true << 0 << 0 << 0 << "photo.jpg" << 160 << 120;
        QTest::newRow("off: RAW resized")
            << "raw" << false << 1 << 0 << 80 << "photo.jpg" << 80 << 60;
    }

    void keepDimensionsSwitch() {
        QFETCH(QString, input);
        QFETCH(bool, keep);
        QFETCH(int, keepAspect);
        QFETCH(int, height);
        QFETCH(int, widthOrLongest);
        QFETCH(QString, outputName);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);
        options.keepDimensions = keep;

        const QString source =
            input == "raw" ? makeDng("photo.dng") : makeInput("photo.jpg", FIF_JPEG, 300, 200);
        QVERIFY(!source.isEmpty());
        QVERIFY(
            convert(source, out(QFileInfo(source).fileName()), keepAspect, height, widthOrLongest));

        const Picture result = Inspect(out(outputName));
        QCOMPARE(result.format, FIF_JPEG);
        QCOMPARE(result.width, unsigned(expectedWidth));
        QCOMPARE(result.height, unsigned(expectedHeight));
    }

    // FreeImage's JPEG loader writes these comment tags when it decodes at a reduced scale; the
    // file's own comments arrive under the key "Comment". The loaded bitmap carries them here the
    // way the loader attaches them, and the rest of the conversion runs as for a file.
    void jpegSizeTags_data() {
        QTest::addColumn<QString>("widthTag");  // null: no tag
        QTest::addColumn<QString>("heightTag");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("expectedWidth");  // 0: the conversion fails
        QTest::addColumn<int>("expectedHeight");

        QTest::newRow("no tags: the bitmap's 40x30")
            << QString() << QString() << false << 100 << 75;
        QTest::newRow("tags win over the bitmap") << "30"
                                                  << "40" << false << 75 << 100;
        QTest::newRow("blanks and a plus sign") << " 1600"
                                                << "+800" << false << 100 << 50;
        QTest::newRow("tab and newline before digits")
            << "\t\n64" << QString() << false << 100 << 47;
        QTest::newRow("digits up to a non-digit, height from the bitmap")
            << "12abc" << QString() << false << 40 << 100;
        QTest::newRow("height tag alone") << QString() << "300" << false << 13 << 100;
        QTest::newRow("no digit reads 0") << "abc"
                                          << "30" << false << 1 << 100;
        QTest::newRow("minus sign gives no picture") << "-20"
                                                     << "30" << false << 0 << 0;
        QTest::newRow("both read 0: no ratio") << "abc"
                                               << "" << false << 0 << 0;
        QTest::newRow("switch on: the bitmap's size, not the tags") << "30"
                                                                    << "40" << true << 40 << 30;
    }

    void jpegSizeTags() {
        QFETCH(QString, widthTag);
        QFETCH(QString, heightTag);
        QFETCH(bool, keep);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);
        options.keepDimensions = keep;

        const QString source = makeInput("tagged.jpg", FIF_JPEG, 40, 30);
        const BitmapHandle loaded(
            FreeImage_Load(FIF_JPEG, NativePath(source).c_str(), JPEG_ACCURATE));
        QVERIFY(loaded);
        if (!widthTag.isNull()) {
            FreeImage_SetMetadataKeyValue(FIMD_COMMENTS, loaded.get(), "OriginalJPEGWidth",
                                          widthTag.toLatin1().constData());
        }
        if (!heightTag.isNull()) {
            FreeImage_SetMetadataKeyValue(FIMD_COMMENTS, loaded.get(), "OriginalJPEGHeight",
                                          heightTag.toLatin1().constData());
        }

        const ConversionJob job{
            RequestFromEntryArguments(NativePath(source), NativePath(out("tagged.jpg")), 1, 0, 100),
            options};
        const std::optional<PreparedOutput> prepared =
            PrepareLoadedImage(*loaded, FIF_JPEG, job).prepared;
        const bool converted = prepared && CommitPreparedOutput(*prepared);
        QCOMPARE(converted, expectedWidth != 0);
        if (!converted) {
            QCOMPARE(Listing(outFolder()), QStringList{});
            return;
        }
        // The pixels come from the loaded bitmap rescaled to the size the tags gave.
        const BitmapHandle rescaled(
            FreeImage_Rescale(loaded.get(), expectedWidth, expectedHeight, FILTER_CATMULLROM));
        const BitmapHandle expected =
            DecodeImage(EncodeImage(*rescaled, FIF_JPEG, SaveFlagsOf(FIF_JPEG, options)));
        const BitmapHandle output = LoadImageFile(NativePath(out("tagged.jpg")));
        QVERIFY(output && expected);
        QVERIFY(SamePixels(*output, *expected));
    }

    // The tags as FreeImage itself writes them: a 1601x1200 JPEG decoded at 1/8 is 201x150,
    // whose own ratio would give 598 instead of 600 at L 800.
    void jpegDecodedAtReducedScaleKeepsItsOriginalSize() {
        const QString source = makeInput("large.jpg", FIF_JPEG, 1601, 1200);
        const BitmapHandle loaded(
            FreeImage_Load(FIF_JPEG, NativePath(source).c_str(), JPEG_ACCURATE | (200 << 16)));
        QVERIFY(loaded);
        QCOMPARE(FreeImage_GetWidth(loaded.get()), 201u);

        const ConversionJob job{
            RequestFromEntryArguments(NativePath(source), NativePath(out("large.jpg")), 1, 0, 800),
            options};
        const std::optional<PreparedOutput> prepared =
            PrepareLoadedImage(*loaded, FIF_JPEG, job).prepared;
        QVERIFY(prepared && CommitPreparedOutput(*prepared));
        const Picture result = Inspect(out("large.jpg"));
        QCOMPARE(result.width, 800u);
        QCOMPARE(result.height, 600u);
    }

    void rawInputIsWrittenAsJpeg_data() {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("expectedOutput");

        QTest::newRow("extension replaced") << "IMG_0001.CR2"
                                            << "IMG_0001.jpg";
        QTest::newRow("no extension: appended") << "IMG_0001"
                                                << "IMG_0001.jpg";
        QTest::newRow("dot in a folder name does not count") << "shots.v2/IMG_0002"
                                                             << "shots.v2/IMG_0002.jpg";
        QTest::newRow("only the last dot") << "archive.tar.dng"
                                           << "archive.tar.jpg";
        QTest::newRow("already .jpg") << "frame.jpg"
                                      << "frame.jpg";
    }

    // Written with JPEG_DEFAULT (quality 75) whatever the track bar says.
    void rawInputIsWrittenAsJpeg() {
        QFETCH(QString, destination);
        QFETCH(QString, expectedOutput);
        options.jpegQuality = JpegQualityOfCode(1);
        QVERIFY(QDir(outFolder()).mkpath("shots.v2"));

        const QString source = makeDng("IMG_0001.CR2");
        QVERIFY(convert(source, out(destination), 1, 0, 80));

        QStringList expectedListing{"shots.v2", expectedOutput};
        expectedListing.sort();
        QCOMPARE(Listing(outFolder()), expectedListing);
        QCOMPARE(Describe(out(expectedOutput)), QString("JPEG quality 75"));
        const Picture result = Inspect(out(expectedOutput));
        QCOMPARE(result.width, 80u);
        QCOMPARE(result.height, 60u);
    }

    void failedConversionLeavesTheDestinationAlone_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("destination");  // "file", "folder" or "missing folder"
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<int>("fileSizeLimit");  // bytes a file may grow to; 0: no limit

        QTest::newRow("target width 0") << "png"
                                        << "file" << 0 << 100 << 0 << 0;
        QTest::newRow("target height 0") << "png"
                                         << "file" << 0 << 0 << 100 << 0;
        QTest::newRow("negative longest side") << "png"
                                               << "file" << 1 << 0 << -5 << 0;
        QTest::newRow("writer refuses the bitmap: GIF rescaled to true colour")
            << "gif"
            << "file" << 1 << 0 << 20 << 0;
        QTest::newRow("destination is a folder") << "png"
                                                 << "folder" << 1 << 0 << 20 << 0;
        QTest::newRow("destination folder missing") << "png"
                                                    << "missing folder" << 1 << 0 << 20 << 0;
        // FreeImage's PNG writer does not check its writes and reports a cut-off file as saved.
        QTest::newRow("writes fail halfway: file size limit") << "png"
                                                              << "file" << 0 << 150 << 200 << 4096;
    }

    void failedConversionLeavesTheDestinationAlone() {
        QFETCH(QString, input);
        QFETCH(QString, destination);
        QFETCH(int, keepAspect);
        QFETCH(int, height);
        QFETCH(int, widthOrLongest);
        QFETCH(int, fileSizeLimit);

        const QString source = makeInput("picture." + input, FormatNamed(input), 200, 150);
        QVERIFY(!source.isEmpty());
        const QByteArray precious = "an earlier result the user still wants\n";
        QString target = out("picture." + input);
        if (destination == "file") QVERIFY(WriteFileContents(target, precious));
        if (destination == "folder") {
            QVERIFY(QDir().mkpath(target));
            QVERIFY(WriteFileContents(target + "/inside.txt", precious));
        }
        if (destination == "missing folder") target = out("not there/picture." + input);
        const QStringList before = Listing(outFolder());

        bool converted = false;
        {
            const FileSizeLimit limit(fileSizeLimit);
            converted = convert(source, target, keepAspect, height, widthOrLongest);
        }
        QVERIFY(!converted);

        QCOMPARE(Listing(outFolder()), before);
        if (destination == "file") QCOMPARE(FileContents(target), precious);
        if (destination == "folder") QCOMPARE(FileContents(target + "/inside.txt"), precious);
    }

    // A size beyond what the output format holds fails with that reason before any picture is
    // made, and leaves nothing; a size at the bound is written. A tiny picture enlarged to one
    // row or column keeps the memory low.
    void sizeBeyondTheFormatFails_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("saveAs");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("path");  // the run's, or the worker's call
        QTest::addColumn<int>("expectedReason");
        const int beyond = int(FailureReason::TooLargeForFormat);
        const int none = int(FailureReason::None);
        const int jpeg = int(OutputChoice::Jpeg);
        const int webp = int(OutputChoice::Webp);
        const int original = int(OutputChoice::Original);
        QTest::newRow("JPEG 70,000 wide") << "png" << jpeg << 70000 << 1 << "run" << beyond;
        QTest::newRow("JPEG 70,000 high") << "png" << jpeg << 1 << 70000 << "run" << beyond;
        QTest::newRow("JPEG one past libjpeg's bound")
            << "png" << jpeg << 65501 << 1 << "run" << beyond;
        QTest::newRow("JPEG at libjpeg's bound") << "png" << jpeg << 65500 << 1 << "run" << none;
        QTest::newRow("WebP 20,000 high") << "png" << webp << 1 << 20000 << "run" << beyond;
        QTest::newRow("WebP one past its bound") << "png" << webp << 16384 << 1 << "run" << beyond;
        QTest::newRow("WebP at its bound") << "png" << webp << 1 << 16383 << "run" << none;
        QTest::newRow("TARGA past its 16-bit sides")
            << "tga" << original << 65536 << 1 << "run" << beyond;
        QTest::newRow("TARGA at its bound") << "tga" << original << 65535 << 1 << "run" << none;
        QTest::newRow("PNG 70,000 wide") << "png" << original << 70000 << 1 << "run" << none;
        QTest::newRow("worker's call: JPEG 70,000 wide")
            << "png" << jpeg << 70000 << 1 << "worker" << beyond;
        QTest::newRow("worker's call: WebP 20,000 high")
            << "png" << webp << 1 << 20000 << "worker" << beyond;
    }

    void sizeBeyondTheFormatFails() {
        QFETCH(QString, input);
        QFETCH(int, saveAs);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, path);
        QFETCH(int, expectedReason);
        options.saveAs = OutputChoiceOfCode(saveAs);
        const QString source = makeInput("tiny." + input, FormatNamed(input), 10, 10);
        QVERIFY(!source.isEmpty());

        bool converted = false;
        FailureReason reason = FailureReason::None;
        if (path == "worker") {
            const WorkerConversion result = convertInWorker(source, out("tiny"), 0, height, width);
            converted = result.committed;
            reason = result.failure;
        } else {
            const FileOutcome outcome = convertOutcome(source, out("tiny"), 0, height, width);
            converted = outcome.committed;
            reason = outcome.reason;
        }

        QCOMPARE(int(reason), expectedReason);
        QCOMPARE(converted, expectedReason == int(FailureReason::None));
        const QStringList written = Listing(outFolder());
        QCOMPARE(written.size(), converted ? 1 : 0);
        if (!converted) return;
        const Picture result = Inspect(out(written.first()));
        QCOMPARE(int(result.width), width);
        QCOMPARE(int(result.height), height);
    }

    void successfulSaveReplacesTheDestination_data() {
        QTest::addColumn<int>("umaskBits");
        QTest::addColumn<int>("existingMode");  // -1: no file there yet
        QTest::addColumn<int>("expectedMode");

        QTest::newRow("new file, umask 022") << 0022 << -1 << 0644;
        QTest::newRow("new file, umask 077") << 0077 << -1 << 0600;
        QTest::newRow("new file, umask 002") << 0002 << -1 << 0664;
        QTest::newRow("replaced file keeps 0640") << 0022 << 0640 << 0640;
        QTest::newRow("replaced file keeps 0604") << 0077 << 0604 << 0604;
    }

    void successfulSaveReplacesTheDestination() {
        QFETCH(int, umaskBits);
        QFETCH(int, existingMode);
        QFETCH(int, expectedMode);

        const QString source = makeInput("picture.png", FIF_PNG, 48, 36);
        const QString target = out("picture.png");
        if (existingMode >= 0) {
            QVERIFY(
                WriteFileContents(target, "an older, larger file that is to be replaced entirely"));
            QCOMPARE(chmod(NativePath(target).c_str(), mode_t(existingMode)), 0);
        }
        const mode_t previous = umask(mode_t(umaskBits));
        const bool converted = convert(source, target, 1, 0, 24);
        umask(previous);
        QVERIFY(converted);

        QCOMPARE(Listing(outFolder()), QStringList{"picture.png"});
        QCOMPARE(Inspect(target).width, 24u);
        struct stat info {};
        QCOMPARE(stat(NativePath(target).c_str(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), expectedMode);
    }

    // A link at the destination's name is replaced itself, with a new file of the mode a plain
    // creation gives: the file it pointed to, elsewhere, is neither read nor written.
    void linkedDestinationIsReplacedItself() {
        QVERIFY(QDir(work->path()).mkpath("elsewhere"));
        const QString linkTarget = work->filePath("elsewhere/kept.png");
        QVERIFY(WriteFileContents(linkTarget, "old"));
        QCOMPARE(chmod(NativePath(linkTarget).c_str(), 0600), 0);
        QVERIFY(QFile::link(linkTarget, out("picture.png")));

        const QString source = makeInput("picture.png", FIF_PNG, 48, 36);
        const mode_t previous = umask(022);
        const bool converted = convert(source, out("picture.png"), 1, 0, 24);
        umask(previous);
        QVERIFY(converted);

        QVERIFY(!QFileInfo(out("picture.png")).isSymLink());
        QCOMPARE(Inspect(out("picture.png")).width, 24u);
        struct stat info {};
        QCOMPARE(stat(NativePath(out("picture.png")).c_str(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), 0644);
        QCOMPARE(FileContents(linkTarget), QByteArray("old"));
        QCOMPARE(Listing(work->filePath("elsewhere")), QStringList{"kept.png"});
    }

    void pathsWithNulAreRefused() {
        const QString source = makeInput("picture.png", FIF_PNG, 48, 36);
        std::string destination = NativePath(out("picture.png"));
        destination.insert(destination.size() - 4, 1, '\0');
        QVERIFY(!ConvertImage(NativePath(source), destination, 1, 0, 24));
        QCOMPARE(Listing(outFolder()), QStringList{});
    }
};

QTEST_GUILESS_MAIN(EngineConversionTest)
#include "test_engine_conversion.moc"
