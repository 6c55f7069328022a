// The codecs' registry is the program's one list of formats: every format value has its own row,
// FreeImage's formats map to it and back, the writers' settings in real units give the very bytes
// FreeImage's named settings gave, and the desktop file and the manual page name what it offers.

#include <FreeImage.h>

#include <QFile>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/base/ConversionOptions.h"
#include "engine/formats/Codec.h"
#include "engine/formats/FreeImageBitmap.h"

using namespace kavenra;

Q_DECLARE_METATYPE(kavenra::ConversionOptions)

namespace {

// A picture with detail in every channel, so that every setting of a writer shows in its bytes.
BitmapHandle Gradient() {
    BitmapHandle bitmap(FreeImage_Allocate(48, 32, 24));
    for (unsigned y = 0; y < 32; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        for (unsigned x = 0; x < 48; ++x) {
            line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(x * 5 + y);
            line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(x * y);
            line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(255 - y * 7);
        }
    }
    return bitmap;
}

QByteArray Encoded(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format, int flags) {
    const std::unique_ptr<FIMEMORY, decltype(&FreeImage_CloseMemory)> memory(
        FreeImage_OpenMemory(), &FreeImage_CloseMemory);
    if (!FreeImage_SaveToMemory(format, &bitmap, memory.get(), flags)) return {};
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory.get(), &data, &size);
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QStringList OfferedNames() {
    QStringList names;
    for (const Codec& codec : Codecs()) {
        if (codec.offered) names << QString::fromUtf8(codec.name);
    }
    return names;
}

QByteArray SourceFile(const char* relative) {
    QFile file(QStringLiteral(KAVENRA_SOURCE_DIR "/") + QLatin1String(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class FormatRegistryTest : public QObject {
    Q_OBJECT

  private slots:
    // A value without its row would read as Unknown's: nothing loaded, written or carried.
    void everyFormatHasItsOwnRow() {
        QSet<int> seen;
        for (const Codec& codec : Codecs()) {
            QVERIFY2(!seen.contains(codec.format.id()), codec.name);
            seen.insert(codec.format.id());
        }
        for (int id = ImageFormat::Unknown + 1; id < ImageFormat::Count; ++id) {
            const ImageFormat format = ImageFormat::FromNumber(static_cast<std::uint32_t>(id));
            QCOMPARE(int(format.id()), id);
            QCOMPARE(int(CodecOf(format).format.id()), id);
            QVERIFY(*CodecOf(format).name != '\0');
        }
        QVERIFY(!CodecOf(ImageFormat::Unknown).offered);
        QCOMPARE(ImageFormat::FromNumber(ImageFormat::Count), ImageFormat(ImageFormat::Unknown));
        QCOMPARE(ImageFormat::FromNumber(0xFFFFFFFFu), ImageFormat(ImageFormat::Unknown));
    }

    // Every format the linked FreeImage knows has a value of the program's own, and back; the
    // formats FreeImage does not read never reach it.
    void freeImageFormatsMapBothWays() {
        for (int number = 0; number < FreeImage_GetFIFCount(); ++number) {
            const auto freeImage = static_cast<FREE_IMAGE_FORMAT>(number);
            const ImageFormat format(freeImage);
            QVERIFY2(format.known(), FreeImage_GetFormatFromFIF(freeImage));
            QCOMPARE(format.freeImage(), freeImage);
        }
        QCOMPARE(ImageFormat(FIF_UNKNOWN), ImageFormat(ImageFormat::Unknown));
        QCOMPARE(ImageFormat(ImageFormat::Heif).freeImage(), FIF_UNKNOWN);
        QCOMPARE(ImageFormat(ImageFormat::Avif).freeImage(), FIF_UNKNOWN);
    }

    // The options in real units give the bytes that FreeImage's named settings gave for the
    // dialog's choices: JPEG's integer quality included, with its full-resolution colour at 100.
    void saveFlagsWriteWhatTheNamedSettingsWrote_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<ConversionOptions>("options");
        QTest::addColumn<int>("namedFlags");
        const auto with = [](auto change) {
            ConversionOptions options;
            change(options);
            return options;
        };
        const std::vector<std::pair<int, int>> jpeg{
            {10, JPEG_QUALITYBAD},
            {25, JPEG_QUALITYAVERAGE},
            {50, JPEG_QUALITYNORMAL},
            {75, JPEG_QUALITYGOOD},
            {100, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444}};
        for (const auto& [quality, named] : jpeg) {
            QTest::addRow("JPEG quality %d", quality)
                << int(ImageFormat::Jpeg)
                << with([q = quality](ConversionOptions& o) { o.jpegQuality = q; }) << named;
        }
        const std::vector<std::pair<int, int>> png{{0, PNG_Z_NO_COMPRESSION},
                                                   {kPngFastestLevel, PNG_Z_BEST_SPEED},
                                                   {kPngDefaultLevel, PNG_Z_DEFAULT_COMPRESSION},
                                                   {kPngBestLevel, PNG_Z_BEST_COMPRESSION}};
        for (const auto& [level, named] : png) {
            QTest::addRow("PNG level %d", level)
                << int(ImageFormat::Png)
                << with([l = level](ConversionOptions& o) { o.pngLevel = l; }) << named;
        }
        const std::vector<std::pair<TiffCompression, int>> tiff{
            {TiffCompression::None, TIFF_NONE},
            {TiffCompression::Lzw, TIFF_LZW},
            {TiffCompression::Deflate, TIFF_DEFLATE},
            {TiffCompression::Jpeg, TIFF_JPEG}};
        for (const auto& [compression, named] : tiff) {
            QTest::addRow("TIFF compression %d", int(compression))
                << int(ImageFormat::Tiff)
                << with([c = compression](ConversionOptions& o) { o.tiffCompression = c; })
                << named;
        }
        QTest::newRow("BMP run-length")
            << int(ImageFormat::Bmp) << ConversionOptions() << BMP_SAVE_RLE;
        QTest::newRow("BMP plain")
            << int(ImageFormat::Bmp) << with([](ConversionOptions& o) { o.bmpRunLength = false; })
            << BMP_DEFAULT;
        QTest::newRow("TARGA run-length")
            << int(ImageFormat::Targa) << ConversionOptions() << TARGA_SAVE_RLE;
        QTest::newRow("TARGA plain")
            << int(ImageFormat::Targa)
            << with([](ConversionOptions& o) { o.targaRunLength = false; }) << TARGA_DEFAULT;
        QTest::newRow("WebP quality 37")
            << int(ImageFormat::Webp) << with([](ConversionOptions& o) { o.webpQuality = 37; })
            << 37;
        QTest::newRow("WebP lossless")
            << int(ImageFormat::Webp) << with([](ConversionOptions& o) { o.webpLossless = true; })
            << WEBP_LOSSLESS;
    }
    void saveFlagsWriteWhatTheNamedSettingsWrote() {
        QFETCH(int, format);
        QFETCH(ConversionOptions, options);
        QFETCH(int, namedFlags);
        const ImageFormat imageFormat = ImageFormat::FromNumber(static_cast<std::uint32_t>(format));
        const int flags = SaveFlagsOf(imageFormat, options);
        // The same flags are the same setting (two of FreeImage's TIFF encodings of one bitmap
        // need not be the same bytes, so they are not compared); other flags must encode alike.
        if (flags == namedFlags) return;
        const BitmapHandle picture = Gradient();
        QVERIFY(picture);
        const QByteArray named = Encoded(*picture, imageFormat.freeImage(), namedFlags);
        QVERIFY(!named.isEmpty());
        QCOMPARE(Encoded(*picture, imageFormat.freeImage(), flags), named);
    }

    // The desktop's file managers offer the program for exactly the types it reads.
    void desktopFileTypesAreTheOfferedCodecs() {
        const QByteArray desktop = SourceFile("resources/desktop/org.kavenra.Kavenra.desktop");
        QVERIFY(!desktop.isEmpty());
        QSet<QString> listed;
        for (const QByteArray& line : desktop.split('\n')) {
            if (!line.startsWith("MimeType=")) continue;
            for (const QByteArray& type : line.mid(9).split(';')) {
                if (!type.isEmpty()) listed.insert(QString::fromUtf8(type));
            }
        }
        QSet<QString> offered;
        for (const Codec& codec : Codecs()) {
            if (!codec.offered) QVERIFY2(codec.mimeTypes.empty(), codec.name);
            for (const char* type : codec.mimeTypes) offered.insert(QString::fromUtf8(type));
        }
        QCOMPARE(listed, offered);
    }

    // The manual page names the offered formats in the registry's order.
    void manualPageNamesTheOfferedCodecs() {
        const QString page = QString::fromUtf8(SourceFile("resources/desktop/kavenra.1"));
        QVERIFY(!page.isEmpty());
        QStringList names = OfferedNames();
        const QString last = names.takeLast();
        const QString sentence = QStringLiteral("The program reads ") +
                                 names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last +
                                 QStringLiteral(" files,");
        QVERIFY2(page.contains(sentence), qPrintable(sentence));
    }
};

QTEST_GUILESS_MAIN(FormatRegistryTest)
#include "test_format_registry.moc"
