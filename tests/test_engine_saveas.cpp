// "Save as": each input saved in the format the options choose, through the image worker as a
// run's file is. The output's format read from its content, its name, its depth, what became of
// transparency, the chosen format's own settings, the metadata and colour profile it keeps, and
// the pages of a multi-page TIFF input.

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <cstring>

#include "engine/base/OptionsFromCodes.h"
#include "engine/formats/Codec.h"
#include "engine/output/OutputFormat.h"
#include "support/ConversionWorkspace.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFileInspection.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"

using namespace kavenra;
using namespace kavenra::test;

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;

// What an output shows where the input was see-through (its left half).
enum class SeeThrough {
    NotChecked,  // the input has no transparency
    Kept,        // still see-through
    White,       // flattened on white
};

RGBQUAD PixelAt(FIBITMAP& bitmap, int x, int y) {
    const BitmapHandle colour(FreeImage_ConvertTo32Bits(&bitmap));
    RGBQUAD pixel{};
    const BYTE* at = FreeImage_GetScanLine(colour.get(), y) + 4 * x;
    pixel.rgbRed = at[FI_RGBA_RED];
    pixel.rgbGreen = at[FI_RGBA_GREEN];
    pixel.rgbBlue = at[FI_RGBA_BLUE];
    pixel.rgbReserved = at[FI_RGBA_ALPHA];
    return pixel;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool Contains(const Bytes& file, const char* fourcc) {
    return std::search(file.begin(), file.end(), fourcc, fourcc + 4) != file.end();
}

}  // namespace

class EngineSaveAsTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // The input of a row, in the folder "in", named for what it holds:
    //   rgba.png, rgba16.png (half see-through), rgb16.png, rgb16.tif, float.tif, grey16.tif,
    //   palette.png, grey.png, photo.jpg, photo.JPEG, unused-alpha.bmp and .tga (32 bits, the
    //   fourth byte 0), camera.dng; anything else is not made.
    QString makeInput(const QString& name) {
        const std::string path = NativePath(in(name));
        const BitmapHandle natural = MakeNaturalBitmap(kWidth, kHeight);
        const BitmapHandle halfClear = MakeHalfTransparentBitmap(kWidth, kHeight);
        bool written = false;
        if (name == "rgba.png") {
            written = SaveBitmapFile(*halfClear, FIF_PNG, path);
        } else if (name == "rgba16.png") {
            written = SaveBitmapFile(*WithSixteenBitSamples(*halfClear, FIT_RGBA16), FIF_PNG, path);
        } else if (name == "rgb16.png" || name == "rgb16.tif") {
            written = SaveBitmapFile(*WithSixteenBitSamples(*natural, FIT_RGB16),
                                     name.endsWith("png") ? FIF_PNG : FIF_TIFF, path);
        } else if (name == "float.tif") {
            written = SaveBitmapFile(*BitmapHandle(FreeImage_ConvertToRGBF(natural.get())),
                                     FIF_TIFF, path);
        } else if (name == "grey16.tif") {
            written = SaveBitmapFile(*WithSixteenBitSamples(*natural, FIT_UINT16), FIF_TIFF, path);
        } else if (name == "palette.png") {
            written = SaveBitmapFile(*MakePaletteBitmap(kWidth, kHeight), FIF_PNG, path);
        } else if (name == "grey.png") {
            written = SaveBitmapFile(*MakeGreyBitmap(kWidth, kHeight), FIF_PNG, path);
        } else if (name == "photo.jpg" || name == "photo.JPEG") {
            written = SaveBitmapFile(*natural, FIF_JPEG, path, JPEG_QUALITYSUPERB);
        } else if (name == "unused-alpha.bmp" || name == "unused-alpha.tga") {
            // 32 bits a pixel whose fourth byte is 0 throughout: no alpha, only padding.
            const BitmapHandle padded(FreeImage_ConvertTo32Bits(natural.get()));
            for (int y = 0; y < kHeight; ++y) {
                BYTE* pixel = FreeImage_GetScanLine(padded.get(), y);
                for (int x = 0; x < kWidth; ++x) pixel[4 * x + FI_RGBA_ALPHA] = 0;
            }
            written = SaveBitmapFile(*padded, name.endsWith("bmp") ? FIF_BMP : FIF_TARGA, path);
        } else if (name == "camera.dng") {
            written = WriteMinimalDng(path);
        }
        return written ? in(name) : QString();
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }
    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    void outputFormatFollowsTheChoice_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("saveAs");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("bitsPerPixel");  // as FreeImage loads the output
        QTest::addColumn<int>("seeThrough");

        const int original = static_cast<int>(OutputChoice::Original);
        const int jpeg = static_cast<int>(OutputChoice::Jpeg);
        const int png = static_cast<int>(OutputChoice::Png);
        const int webp = static_cast<int>(OutputChoice::Webp);
        const int tiff = static_cast<int>(OutputChoice::Tiff);
        const int none = static_cast<int>(SeeThrough::NotChecked);
        const int kept = static_cast<int>(SeeThrough::Kept);
        const int white = static_cast<int>(SeeThrough::White);
        const auto row = [](const char* name, const char* input, int saveAs, const char* output,
                            FREE_IMAGE_FORMAT format, int bits, int clear) {
            QTest::newRow(name) << input << saveAs << output << static_cast<int>(format) << bits
                                << clear;
        };
        row("alpha PNG as the original", "rgba.png", original, "rgba.png", FIF_PNG, 32, kept);
        row("alpha PNG as JPEG: flattened on white", "rgba.png", jpeg, "rgba.jpg", FIF_JPEG, 24,
            white);
        row("alpha PNG as WebP: alpha kept", "rgba.png", webp, "rgba.webp", FIF_WEBP, 32, kept);
        row("alpha PNG as TIFF: alpha kept", "rgba.png", tiff, "rgba.tif", FIF_TIFF, 32, kept);
        row("16-bit alpha PNG as JPEG", "rgba16.png", jpeg, "rgba16.jpg", FIF_JPEG, 24, white);
        row("16-bit alpha PNG as WebP", "rgba16.png", webp, "rgba16.webp", FIF_WEBP, 32, kept);
        row("16-bit alpha PNG as PNG keeps 16 bits", "rgba16.png", png, "rgba16.png", FIF_PNG, 64,
            kept);
        row("48-bit PNG as JPEG", "rgb16.png", jpeg, "rgb16.jpg", FIF_JPEG, 24, none);
        row("48-bit TIFF as PNG keeps 16 bits", "rgb16.tif", png, "rgb16.png", FIF_PNG, 48, none);
        row("48-bit TIFF as WebP", "rgb16.tif", webp, "rgb16.webp", FIF_WEBP, 24, none);
        row("16-bit grey TIFF as JPEG: 8-bit grey", "grey16.tif", jpeg, "grey16.jpg", FIF_JPEG, 8,
            none);
        row("16-bit grey TIFF as WebP", "grey16.tif", webp, "grey16.webp", FIF_WEBP, 24, none);
        row("float TIFF as PNG", "float.tif", png, "float.png", FIF_PNG, 24, none);
        row("float TIFF as JPEG", "float.tif", jpeg, "float.jpg", FIF_JPEG, 24, none);
        row("palette PNG as JPEG", "palette.png", jpeg, "palette.jpg", FIF_JPEG, 24, none);
        row("palette PNG as WebP", "palette.png", webp, "palette.webp", FIF_WEBP, 24, none);
        row("grey PNG as JPEG stays grey", "grey.png", jpeg, "grey.jpg", FIF_JPEG, 8, none);
        row("grey PNG as WebP", "grey.png", webp, "grey.webp", FIF_WEBP, 24, none);
        row("JPEG as PNG", "photo.jpg", png, "photo.png", FIF_PNG, 24, none);
        row("JPEG as TIFF", "photo.jpg", tiff, "photo.tif", FIF_TIFF, 24, none);
        row("JPEG as JPEG keeps its name", "photo.JPEG", jpeg, "photo.JPEG", FIF_JPEG, 24, none);
        row("32-bit BMP without alpha as JPEG", "unused-alpha.bmp", jpeg, "unused-alpha.jpg",
            FIF_JPEG, 24, none);
        row("32-bit BMP without alpha as PNG", "unused-alpha.bmp", png, "unused-alpha.png", FIF_PNG,
            24, none);
        row("32-bit TARGA without alpha as WebP", "unused-alpha.tga", webp, "unused-alpha.webp",
            FIF_WEBP, 24, none);
        row("32-bit TARGA without alpha as TIFF", "unused-alpha.tga", tiff, "unused-alpha.tif",
            FIF_TIFF, 24, none);
        row("RAW as the original: JPEG", "camera.dng", original, "camera.jpg", FIF_JPEG, 24, none);
        row("RAW as PNG", "camera.dng", png, "camera.png", FIF_PNG, 24, none);
    }

    void outputFormatFollowsTheChoice() {
        QFETCH(QString, input);
        QFETCH(int, saveAs);
        QFETCH(QString, output);
        QFETCH(int, format);
        QFETCH(int, bitsPerPixel);
        QFETCH(int, seeThrough);

        const QString source = makeInput(input);
        QVERIFY(!source.isEmpty());
        options.saveAs = OutputChoiceOfCode(saveAs);
        QVERIFY(convert(source, out(input)));

        // Nothing else, no temporary file either, under the output's name alone.
        QCOMPARE(FilesIn(outFolder()), QStringList{output});
        const std::string path = NativePath(out(output));
        QCOMPARE(static_cast<int>(FreeImage_GetFileType(path.c_str(), 0)), format);
        const BitmapHandle saved = LoadImageFile(path);
        QVERIFY(saved);
        QCOMPARE(static_cast<int>(FreeImage_GetBPP(saved.get())), bitsPerPixel);
        const QSize size = ImageFileSize(out(output));
        // A camera's preview has a size of its own, turned to a longest side of 40.
        QCOMPARE(std::max(size.width(), size.height()), kWidth);

        const RGBQUAD clear = PixelAt(*saved, kWidth / 4, kHeight / 2);
        const RGBQUAD opaque = PixelAt(*saved, 3 * kWidth / 4, kHeight / 2);
        switch (static_cast<SeeThrough>(seeThrough)) {
            case SeeThrough::Kept:
                QVERIFY2(clear.rgbReserved < 16, qPrintable(QString::number(clear.rgbReserved)));
                QVERIFY(opaque.rgbReserved > 240);
                QVERIFY(opaque.rgbBlue > 200 && opaque.rgbRed < 40);
                break;
            case SeeThrough::White:
                QVERIFY2(clear.rgbRed > 235 && clear.rgbGreen > 235 && clear.rgbBlue > 235,
                         qPrintable(QStringLiteral("%1 %2 %3")
                                        .arg(clear.rgbRed)
                                        .arg(clear.rgbGreen)
                                        .arg(clear.rgbBlue)));
                QVERIFY(opaque.rgbBlue > 200 && opaque.rgbRed < 40);
                break;
            case SeeThrough::NotChecked:
                break;
        }
    }

    void chosenFormatsOwnSettings_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("saveAs");
        QTest::addColumn<int>("code");  // the output format's own code (WebP: its quality)
        QTest::addColumn<bool>("lossless");
        QTest::addColumn<QString>("expected");

        const int jpeg = static_cast<int>(OutputChoice::Jpeg);
        const int png = static_cast<int>(OutputChoice::Png);
        const int webp = static_cast<int>(OutputChoice::Webp);
        const int tiff = static_cast<int>(OutputChoice::Tiff);
        QTest::newRow("PNG as JPEG, lowest quality")
            << "grey.png" << jpeg << 1 << false << "JPEG quality 10";
        QTest::newRow("PNG as JPEG, best quality")
            << "grey.png" << jpeg << 5 << false << "JPEG quality 100";
        QTest::newRow("JPEG as PNG, no compression")
            << "photo.jpg" << png << 4 << false << "stored";
        QTest::newRow("JPEG as PNG, best compression")
            << "photo.jpg" << png << 3 << false << "compressed";
        QTest::newRow("JPEG as TIFF, LZW") << "photo.jpg" << tiff << 2 << false << "TIFF 5";
        QTest::newRow("JPEG as TIFF, JPEG") << "photo.jpg" << tiff << 4 << false << "TIFF 7";
        QTest::newRow("alpha PNG as TIFF, JPEG asked: LZW keeps the alpha")
            << "rgba.png" << tiff << 4 << false << "TIFF 5";
        QTest::newRow("16-bit TIFF as TIFF, JPEG asked: LZW")
            << "rgb16.tif" << tiff << 4 << false << "TIFF 5";
        QTest::newRow("JPEG as WebP, lossy") << "photo.jpg" << webp << 80 << false << "VP8 ";
        QTest::newRow("JPEG as WebP, lossless") << "photo.jpg" << webp << 80 << true << "VP8L";
    }

    void chosenFormatsOwnSettings() {
        QFETCH(QString, input);
        QFETCH(int, saveAs);
        QFETCH(int, code);
        QFETCH(bool, lossless);
        QFETCH(QString, expected);

        const QString source = makeInput(input);
        QVERIFY(!source.isEmpty());
        options.saveAs = OutputChoiceOfCode(saveAs);
        options.jpegQuality = JpegQualityOfCode(code);
        options.pngLevel = PngLevelOfCode(code);
        options.tiffCompression = TiffCompressionOfCode(code);
        options.webpQuality = code;
        options.webpLossless = lossless;
        QVERIFY(convert(source, out(input)));
        const QStringList files = FilesIn(outFolder());
        QCOMPARE(files.size(), 1);
        const Bytes file = ReadFileBytes(NativePath(out(files.first())));

        if (expected.startsWith("JPEG")) {
            QCOMPARE(QString::fromStdString(DescribeEncoding(file)), expected);
        } else if (expected.startsWith("TIFF")) {
            QCOMPARE(test::TiffCompression(file).value_or(0), expected.mid(5).toInt());
        } else if (expected.startsWith("VP8")) {
            QVERIFY(Contains(file, qPrintable(expected)));
        } else {
            QVERIFY(PngDeflateOf(file));
            QCOMPARE(PngDeflateOf(file)->stored, expected == "stored");
        }
    }

    // The quality decides how much a lossy WebP keeps; the other formats' codes do not count.
    void webpQualityCounts() {
        const QString source = makeInput("photo.jpg");
        options.saveAs = OutputChoice::Webp;
        qint64 sizes[2] = {};
        const int qualities[2] = {5, 95};
        for (int i = 0; i < 2; ++i) {
            options.webpQuality = qualities[i];
            options.jpegQuality =
                JpegQualityOfCode(6 - 5 * i);  // the JPEG code the other way round
            QVERIFY(convert(source, out("photo.jpg")));
            sizes[i] = QFileInfo(out("photo.webp")).size();
        }
        QVERIFY2(sizes[0] * 2 < sizes[1],
                 qPrintable(QStringLiteral("%1 vs %2").arg(sizes[0]).arg(sizes[1])));
    }

    // A TIFF file of two pages saved in another format is its first page; as TIFF, both pages.
    void multiPageTiff_data() {
        QTest::addColumn<int>("saveAs");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("pages");
        QTest::newRow("as TIFF: every page")
            << static_cast<int>(OutputChoice::Tiff) << "pages.tif" << 2;
        QTest::newRow("as PNG: the first page")
            << static_cast<int>(OutputChoice::Png) << "pages.png" << 1;
        QTest::newRow("as JPEG: the first page")
            << static_cast<int>(OutputChoice::Jpeg) << "pages.jpg" << 1;
    }

    void multiPageTiff() {
        QFETCH(int, saveAs);
        QFETCH(QString, output);
        QFETCH(int, pages);
        const BitmapHandle first = MakeNaturalBitmap(kWidth, kHeight, 1);
        const BitmapHandle second = MakeNaturalBitmap(20, 20, 2);
        QVERIFY(WriteTiffPages(NativePath(in("pages.tif")), {first.get(), second.get()}));
        options.saveAs = OutputChoiceOfCode(saveAs);
        QVERIFY(convert(in("pages.tif"), out("pages.tif")));
        QCOMPARE(FilesIn(outFolder()), QStringList{output});
        QCOMPARE(ImageFileSize(out(output)), QSize(kWidth, kHeight));
        if (output.endsWith(".tif")) {
            QCOMPARE(static_cast<int>(LoadTiffPages(NativePath(out(output))).size()), pages);
        }
    }

    // EXIF and the colour profile go wherever the output format holds them.
    void metadataAndProfileTravel_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("inputFormat");
        QTest::addColumn<int>("saveAs");

        const auto row = [](const char* name, const char* input, FREE_IMAGE_FORMAT format,
                            OutputChoice saveAs) {
            QTest::newRow(name) << input << static_cast<int>(format) << static_cast<int>(saveAs);
        };
        row("PNG as JPEG", "tagged.png", FIF_PNG, OutputChoice::Jpeg);
        row("JPEG as PNG", "tagged.jpg", FIF_JPEG, OutputChoice::Png);
        row("JPEG as TIFF", "tagged.jpg", FIF_JPEG, OutputChoice::Tiff);
        row("TIFF as JPEG", "tagged.tif", FIF_TIFF, OutputChoice::Jpeg);
        row("JPEG as WebP", "tagged.jpg", FIF_JPEG, OutputChoice::Webp);
        row("WebP as JPEG", "tagged.webp", FIF_WEBP, OutputChoice::Jpeg);
    }

    void metadataAndProfileTravel() {
        QFETCH(QString, input);
        QFETCH(int, inputFormat);
        QFETCH(int, saveAs);

        const Bytes profile = MakeIccProfile("RGB ", 0x5A);
        const BitmapHandle picture = MakeNaturalBitmap(kWidth, kHeight);
        QVERIFY(FreeImage_CreateICCProfile(picture.get(),
                                           const_cast<unsigned char*>(profile.data()),
                                           static_cast<long>(profile.size())));
        const std::string source = NativePath(in(input));
        QVERIFY(SaveBitmapFile(*picture, static_cast<FREE_IMAGE_FORMAT>(inputFormat), source));
        PhotoMetadata tags;
        tags.artist = "Ana";
        tags.taken = "2024:05:06 07:08:09";
        QVERIFY(WritePhotoMetadata(source, tags));
        QCOMPARE(IccProfileOf(source), profile);

        options.saveAs = OutputChoiceOfCode(saveAs);
        QVERIFY(convert(in(input), out(input), 1, 0, kWidth / 2));
        const QStringList files = FilesIn(outFolder());
        QCOMPARE(files.size(), 1);
        const std::string output = NativePath(out(files.first()));
        QCOMPARE(IccProfileOf(output), profile);
        const std::optional<PhotoMetadata> carried = PhotoMetadataOf(output);
        QVERIFY(carried);
        QCOMPARE(QString::fromStdString(carried->artist), QStringLiteral("Ana"));
        QCOMPARE(QString::fromStdString(carried->taken), QStringLiteral("2024:05:06 07:08:09"));
        // The EXIF directory states the output's size.
        QCOMPARE(carried->pixelWidth, static_cast<std::uint32_t>(kWidth / 2));
    }

    void outputNames_data() {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("output");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* destination, FREE_IMAGE_FORMAT input,
                            FREE_IMAGE_FORMAT output, const char* expected) {
            QTest::newRow(name) << destination << static_cast<int>(input)
                                << static_cast<int>(output) << expected;
        };
        row("same format: the name as it is", "a/photo.JPEG", FIF_JPEG, FIF_JPEG, "a/photo.JPEG");
        row("same format, a name that says another", "a/photo.png", FIF_JPEG, FIF_JPEG,
            "a/photo.png");
        row("PNG to JPEG", "a/photo.png", FIF_PNG, FIF_JPEG, "a/photo.jpg");
        row("TIFF to WebP, only the last dot", "a/scan.v2.tiff", FIF_TIFF, FIF_WEBP,
            "a/scan.v2.webp");
        row("JPEG to TIFF, no extension", "a.d/photo", FIF_JPEG, FIF_TIFF, "a.d/photo.tif");
        row("RAW to JPEG", "IMG_0001.CR2", FIF_RAW, FIF_JPEG, "IMG_0001.jpg");
        row("BMP to PNG", "x.bmp", FIF_BMP, FIF_PNG, "x.png");
    }

    void outputNames() {
        QFETCH(QString, destination);
        QFETCH(int, input);
        QFETCH(int, output);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(OutputPathFor(destination.toStdString(),
                                                      static_cast<FREE_IMAGE_FORMAT>(input),
                                                      static_cast<FREE_IMAGE_FORMAT>(output))),
                 expected);
    }

    // Out-of-range codes (a damaged database, an older program's worker) mean the defaults.
    void unknownCodesMeanTheDefaults_data() {
        QTest::addColumn<int>("saveAs");
        QTest::addColumn<int>("quality");
        QTest::newRow("save as -1, quality 0") << -1 << 0;
        QTest::newRow("save as 5, quality 101") << 5 << 101;
    }

    void unknownCodesMeanTheDefaults() {
        QFETCH(int, saveAs);
        QFETCH(int, quality);
        QCOMPARE(OutputFormatFor(FIF_PNG, OutputChoiceOfCode(saveAs)), FIF_PNG);
        QCOMPARE(OutputFormatFor(FIF_RAW, OutputChoiceOfCode(saveAs)), FIF_JPEG);
        ConversionOptions options;
        options.webpQuality = quality;
        QCOMPARE(SaveFlagsOf(ImageFormat::Webp, options), ConversionOptions().webpQuality);
    }
};

QTEST_GUILESS_MAIN(EngineSaveAsTest)
#include "test_engine_saveas.moc"
