// What a conversion keeps faithful beyond the size: the file it reads is the file it was given
// (a name swapped for something else half-way is not followed), BMP files with the newer info
// headers read as their pixels say, and colour profiles, EXIF, IPTC and XMP in the output, whose
// EXIF pixel dimensions state its own size.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ImageConversion.h"
#include "engine/formats/Codec.h"
#include "engine/run/ImageFileOperations.h"
#include "support/CmykJpeg.h"
#include "support/ConversionWorkspace.h"
#include "support/FileSizeLimit.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"
#include "support/MalformedMetadata.h"

using namespace kavenra;
using namespace kavenra::test;
using kavenra::testing::FileSizeLimit;

namespace {

QByteArray ToQt(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

// The stored bytes of a BMP pixel: blue, green, red, then the fourth byte at 32 bits; at 16 bits
// red, green and blue at 5, 6 and 5 bits.
Bytes BmpPixel(unsigned bitsPerPixel, int x, int y) {
    const auto red = static_cast<unsigned char>(40 + 17 * x);
    const auto green = static_cast<unsigned char>(200 - 23 * y);
    const auto blue = static_cast<unsigned char>((x * y * 13) & 0xFF);
    if (bitsPerPixel == 16) {
        const unsigned value = ((x * 3) & 31) << 11 | ((y * 5 + x) & 63) << 5 | ((x + y) & 31);
        return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    }
    Bytes pixel{blue, green, red};
    if (bitsPerPixel == 32) pixel.push_back(static_cast<unsigned char>(x * 30 + y));
    return pixel;
}

// The stored rows of a width x height picture of BmpPixel, bottom row first, and the bitmap
// FreeImage holds for those pixels when it reads them: the picture as it ought to load.
struct BmpPicture {
    Bytes rows;
    BitmapHandle expected;
};

BmpPicture MakeBmpPicture(int width, int height, unsigned bitsPerPixel, bool topDown, bool opaque) {
    BmpPicture picture;
    picture.expected =
        bitsPerPixel == 16
            ? BitmapHandle(FreeImage_Allocate(width, height, 16, FI16_565_RED_MASK,
                                              FI16_565_GREEN_MASK, FI16_565_BLUE_MASK))
            : BitmapHandle(FreeImage_Allocate(width, height, int(bitsPerPixel)));
    const int rowBytes = (width * int(bitsPerPixel) + 31) / 32 * 4;
    for (int row = 0; row < height; ++row) {
        // The picture's row y counted from the bottom, as FreeImage counts its scan lines.
        const int y = topDown ? height - 1 - row : row;
        Bytes stored;
        BYTE* line = FreeImage_GetScanLine(picture.expected.get(), y);
        for (int x = 0; x < width; ++x) {
            Bytes pixel = BmpPixel(bitsPerPixel, x, y);
            stored.insert(stored.end(), pixel.begin(), pixel.end());
            if (bitsPerPixel == 32 && opaque) pixel[3] = 0xFF;
            std::copy(pixel.begin(), pixel.end(), line + x * pixel.size());
        }
        stored.resize(std::size_t(rowBytes), 0);
        picture.rows.insert(picture.rows.end(), stored.begin(), stored.end());
    }
    return picture;
}

// The picture FreeImage's own load, rescale to width x height and save make of `source`, decoded
// again: what a conversion's output holds, whatever metadata it carries besides.
BitmapHandle BareConversion(const QString& source, FREE_IMAGE_FORMAT format, int width, int height,
                            int saveFlags) {
    const BitmapHandle loaded(
        FreeImage_Load(format, NativePath(source).c_str(), LoadFlagsFor(format)));
    if (!loaded) return nullptr;
    const BitmapHandle rescaled(FreeImage_Rescale(loaded.get(), width, height, FILTER_CATMULLROM));
    if (!rescaled) return nullptr;
    return DecodeImage(EncodeImage(*rescaled, format, saveFlags));
}

// A camera's tags, with the camera's pixel dimensions rather than the picture's, so that copied
// ones show.
PhotoMetadata CameraMetadata(bool iptcAndXmp) {
    PhotoMetadata metadata;
    metadata.artist = "Ana Lucía Pereira";
    metadata.taken = "2021:06:14 18:02:51";
    metadata.pixelWidth = 6000;
    metadata.pixelHeight = 4000;
    if (iptcAndXmp) {
        metadata.keyword = "harbour";
        metadata.creatorTool = "Fixture Camera 2";
    }
    return metadata;
}

// EXIF blocks that no reader should take at their word: noise after a valid byte order mark, and
// a directory that points at itself, claims far more values than the block holds and sends the
// EXIF directory beyond the end.
Bytes HostileExifBlock(const QString& kind) {
    Bytes block{'I', 'I', 42, 0, 8, 0, 0, 0};
    if (kind == "noise") {
        std::uint32_t state = 0x2545F491;
        for (int i = 0; i < 400; ++i) {
            state = state * 1103515245u + 12345u;
            block.push_back(static_cast<unsigned char>(state >> 16));
        }
        return block;
    }
    const auto put = [&block](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            block.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    put(3, 2);
    put(0x013B, 2);  // Artist, ASCII, a gigabyte of it far beyond the block
    put(2, 2);
    put(0x40000000, 4);
    put(0x7FFFFF00, 4);
    put(0x8769, 2);  // the EXIF directory, beyond the end
    put(4, 2);
    put(1, 4);
    put(0xFFFFFFF0, 4);
    put(0x0110, 2);  // Model, undefined bytes overlapping the directory itself
    put(7, 2);
    put(0xFFFFFFFF, 4);
    put(8, 4);
    put(8, 4);  // the next directory is this one again
    return block;
}

}  // namespace

class EngineFidelityTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    ConversionJob jobFor(const QString& source, const QString& destination, int longest) const {
        return {
            RequestFromEntryArguments(NativePath(source), NativePath(destination), 1, 0, longest),
            options};
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }

    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    // Only a regular file opens, without waiting for a writer, and the name it offers for later
    // reads reaches the same file.
    void sourceFileOpensRegularFilesOnly_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::newRow("regular file") << "file" << true;
        QTest::newRow("link to a regular file") << "link" << true;
        QTest::newRow("named pipe without a writer") << "fifo" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("device") << "device" << false;
        QTest::newRow("missing") << "missing" << false;
    }

    void sourceFileOpensRegularFilesOnly() {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        QString path = in("subject");
        QVERIFY(WriteImageFile(NativePath(in("picture.png")), FIF_PNG, 8, 6));
        if (kind == "file") path = in("picture.png");
        if (kind == "link") QVERIFY(QFile::link(in("picture.png"), path));
        if (kind == "fifo") QCOMPARE(mkfifo(NativePath(path).c_str(), 0600), 0);
        if (kind == "folder") QVERIFY(QDir().mkpath(path));
        if (kind == "device") path = "/dev/null";

        const std::optional<SourceFile> source = SourceFile::Open(NativePath(path));
        QCOMPARE(source.has_value(), opens);
        if (!opens) {
            QCOMPARE(DetectFileFormat(NativePath(path)), FIF_UNKNOWN);
            return;
        }
        struct stat named {};
        struct stat original {};
        QCOMPARE(stat(source->path().c_str(), &named), 0);
        QCOMPARE(stat(NativePath(in("picture.png")).c_str(), &original), 0);
        QCOMPARE(named.st_ino, original.st_ino);
        QCOMPARE(source->size(), quint64(original.st_size));
        QCOMPARE(DetectOpenedFileFormat(*source), FIF_PNG);
    }

    // The name is made to mean something else between the opening and the reads: the conversion
    // still reads the picture it opened. The pipe is held open for writing with bytes in it, so
    // that a read through the name would end in a failure rather than wait forever.
    void swappedNameIsNotFollowed_data() {
        QTest::addColumn<QString>("swap");
        QTest::newRow("another picture renamed over it") << "picture";
        QTest::newRow("a named pipe renamed over it") << "fifo";
        QTest::newRow("removed") << "removed";
    }

    void swappedNameIsNotFollowed() {
        QFETCH(QString, swap);
        const QString name = in("photo.jpg");
        QVERIFY(WriteImageFile(NativePath(name), FIF_JPEG, 120, 80));
        const std::optional<SourceFile> source = SourceFile::Open(NativePath(name));
        QVERIFY(source);

        int pipeEnd = -1;
        if (swap == "picture") {
            QVERIFY(WriteImageFile(NativePath(in("other.png")), FIF_PNG, 30, 60));
            QCOMPARE(rename(NativePath(in("other.png")).c_str(), NativePath(name).c_str()), 0);
        }
        if (swap == "fifo") {
            QCOMPARE(mkfifo(NativePath(in("pipe")).c_str(), 0600), 0);
            pipeEnd = open(NativePath(in("pipe")).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            QVERIFY(pipeEnd >= 0);
            const QByteArray junk(4096, 'x');
            QCOMPARE(write(pipeEnd, junk.constData(), std::size_t(junk.size())),
                     ssize_t(junk.size()));
            QCOMPARE(rename(NativePath(in("pipe")).c_str(), NativePath(name).c_str()), 0);
        }
        if (swap == "removed") QVERIFY(QFile::remove(name));

        const std::optional<PreparedOutput> prepared =
            PrepareOpenedImageFile(*source, jobFor(name, out("photo.jpg"), 60)).prepared;
        if (pipeEnd >= 0) close(pipeEnd);
        QVERIFY(prepared && CommitPreparedOutput(*prepared));
        const BitmapHandle output = LoadImageFile(NativePath(out("photo.jpg")));
        QVERIFY(output);
        QCOMPARE(FreeImage_GetFileType(NativePath(out("photo.jpg")).c_str(), 0), FIF_JPEG);
        QCOMPARE(FreeImage_GetWidth(output.get()), 60u);
        QCOMPARE(FreeImage_GetHeight(output.get()), 40u);
    }

    void extendedBmpHeadersConvert_data() {
        QTest::addColumn<int>("infoSize");
        QTest::addColumn<int>("bitsPerPixel");
        QTest::addColumn<int>("compression");
        QTest::addColumn<quint32>("alphaMask");
        QTest::addColumn<bool>("topDown");

        QTest::newRow("V5, 24-bit plain") << 124 << 24 << 0 << 0u << false;
        QTest::newRow("V4, 24-bit plain") << 108 << 24 << 0 << 0u << false;
        QTest::newRow("V5, 24-bit plain, top row first") << 124 << 24 << 0 << 0u << true;
        QTest::newRow("V5, 32-bit bit fields with alpha") << 124 << 32 << 3 << 0xFF000000u << false;
        QTest::newRow("V4, 32-bit bit fields with alpha") << 108 << 32 << 3 << 0xFF000000u << false;
        QTest::newRow("V5, 32-bit bit fields without alpha: opaque")
            << 124 << 32 << 3 << 0u << false;
        QTest::newRow("V5, 16-bit 565 bit fields") << 124 << 16 << 3 << 0u << false;
        QTest::newRow("V4, 16-bit 565 bit fields") << 108 << 16 << 3 << 0u << false;
        QTest::newRow("V3 with bit fields after the header, as before")
            << 40 << 16 << 3 << 0u << false;
    }

    // The output equals FreeImage's own rescale of the pixels the file stores, saved as BMP.
    void extendedBmpHeadersConvert() {
        QFETCH(int, infoSize);
        QFETCH(int, bitsPerPixel);
        QFETCH(int, compression);
        QFETCH(quint32, alphaMask);
        QFETCH(bool, topDown);
        constexpr int kWidth = 13;
        constexpr int kHeight = 9;
        options.bmpRunLength = RunLengthOfCode(1);

        const bool opaque = bitsPerPixel == 32 && alphaMask == 0;
        const BmpPicture picture =
            MakeBmpPicture(kWidth, kHeight, unsigned(bitsPerPixel), topDown, opaque);
        BmpLayout layout;
        layout.infoSize = std::uint32_t(infoSize);
        layout.width = kWidth;
        layout.height = kHeight;
        layout.bitsPerPixel = unsigned(bitsPerPixel);
        layout.compression = std::uint32_t(compression);
        layout.topDown = topDown;
        layout.pixels = picture.rows;
        if (bitsPerPixel == 16) {
            layout.masks[0] = FI16_565_RED_MASK;
            layout.masks[1] = FI16_565_GREEN_MASK;
            layout.masks[2] = FI16_565_BLUE_MASK;
        } else if (compression == 3) {
            layout.masks[0] = 0x00FF0000;
            layout.masks[1] = 0x0000FF00;
            layout.masks[2] = 0x000000FF;
            layout.masks[3] = alphaMask;
        }
        const QString source = in("drawing.bmp");
        QVERIFY(WriteFileBytes(NativePath(source), MakeBmpFile(layout)));

        QVERIFY(convert(source, out("drawing.bmp"), 0, 6, 8));

        const BitmapHandle output = LoadImageFile(NativePath(out("drawing.bmp")));
        const BitmapHandle rescaled(
            FreeImage_Rescale(picture.expected.get(), 8, 6, FILTER_CATMULLROM));
        QVERIFY(output && rescaled);
        const BitmapHandle expected = DecodeImage(EncodeImage(*rescaled, FIF_BMP, BMP_DEFAULT));
        QVERIFY(expected);
        QVERIFY(SamePixels(*output, *expected));
        if (bitsPerPixel == 32) {
            RGBQUAD corner{};
            QVERIFY(FreeImage_GetPixelColor(output.get(), 0, 0, &corner));
            QCOMPARE(corner.rgbReserved == 0xFF, opaque);
        }
    }

    // Files the short header cannot say the same of are refused, and leave nothing behind.
    void extendedBmpHeadersRefused_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("32-bit masks in another byte order") << "masks";
        QTest::newRow("pixels said to start inside the header") << "offset";
        QTest::newRow("pixels said to start beyond the file") << "beyond";
    }

    void extendedBmpHeadersRefused() {
        QFETCH(QString, fault);
        const BmpPicture picture = MakeBmpPicture(6, 4, 32, false, false);
        BmpLayout layout;
        layout.width = 6;
        layout.height = 4;
        layout.bitsPerPixel = 32;
        layout.compression = 3;
        layout.pixels = picture.rows;
        const bool swapped = fault == "masks";
        layout.masks[0] = swapped ? 0xFF000000 : 0x00FF0000;
        layout.masks[1] = swapped ? 0x00FF0000 : 0x0000FF00;
        layout.masks[2] = swapped ? 0x0000FF00 : 0x000000FF;
        layout.masks[3] = swapped ? 0x000000FF : 0xFF000000;
        Bytes file = MakeBmpFile(layout);
        const std::uint32_t offset = fault == "offset" ? 20 : fault == "beyond" ? 0x7FFFFFF0 : 0;
        if (offset != 0) {
            for (int i = 0; i < 4; ++i)
                file[10 + i] = static_cast<unsigned char>(offset >> (8 * i));
        }
        const QString source = in("drawing.bmp");
        QVERIFY(WriteFileBytes(NativePath(source), file));

        QVERIFY(!convert(source, out("drawing.bmp"), 0, 2, 3));
        QVERIFY(QDir(work->filePath("out"))
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    }

    void colourProfileIsKept_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("grey");
        QTest::newRow("JPEG") << int(FIF_JPEG) << int(JPEG_QUALITYGOOD) << "photo.jpg" << false;
        QTest::newRow("PNG") << int(FIF_PNG) << 0 << "photo.png" << false;
        QTest::newRow("PNG, greyscale with a grey profile")
            << int(FIF_PNG) << 0 << "scan.png" << true;
        QTest::newRow("TIFF") << int(FIF_TIFF) << int(TIFF_LZW) << "photo.tif" << false;
    }

    void colourProfileIsKept() {
        QFETCH(int, format);
        QFETCH(int, flags);
        QFETCH(QString, name);
        QFETCH(bool, grey);

        const BitmapHandle picture =
            grey ? MakeGreyBitmap(90, 60, 4) : MakeNaturalBitmap(90, 60, 4);
        Bytes profile = grey ? MakeIccProfile("GRAY", 0x5A) : MakeIccProfile("RGB ", 0xA5);
        QVERIFY(FreeImage_CreateICCProfile(picture.get(), profile.data(), long(profile.size())));
        const QString source = in(name);
        QVERIFY(SaveBitmapFile(*picture, FREE_IMAGE_FORMAT(format), NativePath(source), flags));
        QCOMPARE(ToQt(IccProfileOf(NativePath(source))), ToQt(profile));

        QVERIFY(convert(source, out(name), 1, 0, 45));

        QCOMPARE(FreeImage_GetFileType(NativePath(out(name)).c_str(), 0),
                 FREE_IMAGE_FORMAT(format));
        QCOMPARE(ToQt(IccProfileOf(NativePath(out(name)))), ToQt(profile));
    }

    // Without a profile the output is byte for byte what FreeImage's own load, rescale and save
    // make of the file.
    void outputWithoutProfileIsUnchanged_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::newRow("JPEG") << int(FIF_JPEG) << "photo.jpg";
        QTest::newRow("PNG") << int(FIF_PNG) << "photo.png";
        QTest::newRow("TIFF") << int(FIF_TIFF) << "photo.tif";
    }

    void outputWithoutProfileIsUnchanged() {
        QFETCH(int, format);
        QFETCH(QString, name);
        const auto fif = FREE_IMAGE_FORMAT(format);
        const int saveFlags = SaveFlagsOf(fif, options);
        const QString source = in(name);
        QVERIFY(WriteImageFile(NativePath(source), fif, 90, 60, 7));

        QVERIFY(convert(source, out(name), 1, 0, 45));

        const BitmapHandle loaded(
            FreeImage_Load(fif, NativePath(source).c_str(), LoadFlagsFor(fif)));
        const BitmapHandle rescaled(FreeImage_Rescale(loaded.get(), 45, 30, FILTER_CATMULLROM));
        QVERIFY(rescaled);
        const QString bare = work->filePath("bare");
        QVERIFY(FreeImage_Save(fif, rescaled.get(), NativePath(bare).c_str(), saveFlags));
        QFile output(out(name));
        QFile expected(bare);
        QVERIFY(output.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
        QVERIFY(output.readAll() == expected.readAll());
    }

    void cmykJpegIsColourManaged_data() {
        QTest::addColumn<bool>("adobe");
        QTest::addColumn<bool>("profiled");
        QTest::addColumn<int>("fillBytes");
        QTest::newRow("inverted inks with Adobe's marker, CMYK profile") << true << true << 0;
        QTest::newRow("plain inks, CMYK profile") << false << true << 0;
        QTest::newRow("inverted inks with Adobe's marker, no profile") << true << false << 0;
        QTest::newRow("fill bytes before Adobe's marker, CMYK profile") << true << true << 3;
    }

    // A CMYK JPEG with a profile shows the colours its profile gives its inks, in sRGB and
    // stated so; without one, FreeImage's own formula stays. Patches of 16 x 16 pixels, checked
    // at their centres, where the JPEG output is flat.
    void cmykJpegIsColourManaged() {
        QFETCH(bool, adobe);
        QFETCH(bool, profiled);
        QFETCH(int, fillBytes);
        const std::vector<Cmyk> inks = {
            {0, 0, 0, 0},       {255, 0, 0, 0},   {0, 255, 0, 0},     {0, 0, 255, 0},
            {128, 128, 128, 0}, {64, 32, 16, 8},  {200, 100, 50, 25}, {10, 100, 200, 30},
            {0, 0, 0, 128},     {90, 0, 180, 60}, {30, 60, 90, 120},  {150, 150, 0, 0},
            {0, 200, 200, 10},  {100, 0, 0, 100}, {240, 10, 120, 5},  {50, 50, 50, 200}};
        const Bytes profile = MakeCmykProfile();
        QVERIFY(!profile.empty());
        CmykJpegLayout layout;
        layout.adobe = adobe;
        layout.fillBytesBeforeAdobe = fillBytes;
        if (profiled) layout.iccProfile = profile;
        // 4 x 4 patches of 2 x 2 blocks.
        for (int blockY = 0; blockY < 8; ++blockY) {
            for (int blockX = 0; blockX < 8; ++blockX) {
                layout.blocks.push_back(inks[std::size_t(blockY / 2 * 4 + blockX / 2)]);
            }
        }
        const QString source = in("print.jpg");
        QVERIFY(WriteFileBytes(NativePath(source), MakeCmykJpeg(layout)));

        QVERIFY(convert(source, out("print.jpg"), 1, 0, 64));

        const BitmapHandle output = LoadImageFile(NativePath(out("print.jpg")), JPEG_ACCURATE);
        QVERIFY(output);
        QCOMPARE(FreeImage_GetBPP(output.get()), 24u);
        int farFromFormula = 0;
        for (std::size_t patch = 0; patch < inks.size(); ++patch) {
            const Cmyk& ink = inks[patch];
            // FreeImage's formula, on the inks as stored by Adobe's programs.
            const std::array<int, 3> formula = {(255 - ink[0]) * (255 - ink[3]) / 255,
                                                (255 - ink[1]) * (255 - ink[3]) / 255,
                                                (255 - ink[2]) * (255 - ink[3]) / 255};
            const std::array<std::uint8_t, 3> managed = CmykToSrgb(profile, ink);
            const int x = int(patch % 4) * 16 + 8;
            const int y = 63 - (int(patch / 4) * 16 + 8);  // FreeImage counts rows from the bottom
            RGBQUAD got{};
            QVERIFY(FreeImage_GetPixelColor(output.get(), unsigned(x), unsigned(y), &got));
            const std::array<int, 3> pixel = {got.rgbRed, got.rgbGreen, got.rgbBlue};
            for (int c = 0; c < 3; ++c) {
                const int expected = profiled ? managed[std::size_t(c)] : formula[std::size_t(c)];
                if (std::abs(pixel[std::size_t(c)] - expected) > 4) {
                    QFAIL(qPrintable(QString("patch %1 channel %2: %3, expected %4")
                                         .arg(patch)
                                         .arg(c)
                                         .arg(pixel[std::size_t(c)])
                                         .arg(expected)));
                }
                if (std::abs(managed[std::size_t(c)] - formula[std::size_t(c)]) > 20) {
                    ++farFromFormula;
                }
            }
        }
        // The profile's colours are not the formula's: the comparison tells them apart.
        QVERIFY(farFromFormula >= 10);
        const Bytes carried = IccProfileOf(NativePath(out("print.jpg")));
        if (!profiled) {
            QVERIFY(carried.empty());
            return;
        }
        QCOMPARE(ProfileColourSpace(carried), std::string("RGB "));
        QCOMPARE(ProfileDescription(carried), std::string("sRGB built-in"));
    }

    // A CMYK JPEG's output is the same file whenever it is made: the sRGB profile it is given
    // states no clock time. Two conversions a moment apart give the same bytes, and the date in
    // the profile's header is none of that moment's.
    void cmykOutputIsTheSameEveryTime_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("saveAs");
        QTest::newRow("JPEG") << "jpg" << int(OutputChoice::Original);
        QTest::newRow("PNG") << "png" << int(OutputChoice::Png);
        QTest::newRow("TIFF") << "tif" << int(OutputChoice::Tiff);
        QTest::newRow("WebP") << "webp" << int(OutputChoice::Webp);
    }

    void cmykOutputIsTheSameEveryTime() {
        QFETCH(QString, extension);
        QFETCH(int, saveAs);
        options.saveAs = OutputChoiceOfCode(saveAs);
        CmykJpegLayout layout;
        layout.iccProfile = MakeCmykProfile();
        for (int block = 0; block < layout.blocksWide * layout.blocksHigh; ++block) {
            const auto ink = static_cast<std::uint8_t>(block * 4);
            layout.blocks.push_back({ink, std::uint8_t(255 - ink), std::uint8_t(ink / 2), 16});
        }
        const QString source = in("print.jpg");
        QVERIFY(WriteFileBytes(NativePath(source), MakeCmykJpeg(layout)));

        const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
        QVERIFY(convert(source, out("first.jpg"), 1, 0, 48));
        QVERIFY(convert(source, out("second.jpg"), 1, 0, 48));
        const QDateTime ended = QDateTime::currentDateTimeUtc().addSecs(1);

        const std::string first = NativePath(out("first." + extension));
        const std::string second = NativePath(out("second." + extension));
        QVERIFY(ReadFileBytes(first) == ReadFileBytes(second));
        const Bytes profile = IccProfileOf(first);
        QCOMPARE(ProfileColourSpace(profile), std::string("RGB "));
        const auto field = [&profile](int index) {
            return int(profile[std::size_t(24 + 2 * index)]) << 8 |
                   profile[std::size_t(25 + 2 * index)];
        };
        const QDateTime stated(QDate(field(0), field(1), field(2)),
                               QTime(field(3), field(4), field(5)), Qt::UTC);
        QVERIFY2(stated.isValid(),
                 qPrintable(QByteArray(reinterpret_cast<const char*>(&profile[24]), 12).toHex()));
        QVERIFY2(stated < started || stated > ended, qPrintable(stated.toString(Qt::ISODate)));
    }

    // A profile for other pixels than the output holds is not carried: a grey profile on a
    // colour picture.
    void mismatchedProfileIsDropped() {
        const BitmapHandle picture = MakeNaturalBitmap(90, 60, 4);
        Bytes profile = MakeIccProfile("GRAY", 0x33);
        QVERIFY(FreeImage_CreateICCProfile(picture.get(), profile.data(), long(profile.size())));
        const QString source = in("photo.jpg");
        QVERIFY(SaveBitmapFile(*picture, FIF_JPEG, NativePath(source), JPEG_QUALITYGOOD));
        QVERIFY(!IccProfileOf(NativePath(source)).empty());

        QVERIFY(convert(source, out("photo.jpg"), 1, 0, 45));

        QVERIFY(IccProfileOf(NativePath(out("photo.jpg"))).empty());
    }

    void exifPixelDimensionsStateTheOutputSize_data() {
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");
        QTest::newRow("Intel order, resized") << false << false << 100 << 67;
        QTest::newRow("Motorola order, resized") << true << false << 100 << 67;
        QTest::newRow("size kept") << false << true << 300 << 200;
    }

    void exifPixelDimensionsStateTheOutputSize() {
        QFETCH(bool, bigEndian);
        QFETCH(bool, keep);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);
        options.keepDimensions = keep;
        const BitmapHandle picture = MakeNaturalBitmap(300, 200, 5);
        // The camera's sizes, unlike the picture's, so that a copied block shows.
        const Bytes jpeg = WithExifPixelDimensions(
            EncodeImage(*picture, FIF_JPEG, JPEG_QUALITYGOOD), 6000, 4000, bigEndian);
        const QString source = in("photo.jpg");
        QVERIFY(WriteFileBytes(NativePath(source), jpeg));
        const auto before = ExifPixelDimensionsOf(NativePath(source));
        QVERIFY(before);
        QCOMPARE(before->first, 6000u);
        QCOMPARE(before->second, 4000u);

        QVERIFY(convert(source, out("photo.jpg"), 1, 0, 100));

        const auto after = ExifPixelDimensionsOf(NativePath(out("photo.jpg")));
        QVERIFY(after);
        QCOMPARE(after->first, unsigned(expectedWidth));
        QCOMPARE(after->second, unsigned(expectedHeight));
    }

    // The input's EXIF, IPTC and XMP reach the output, whose EXIF pixel dimensions state its own
    // size, and the output's pixels are those FreeImage alone makes of the input.
    void metadataIsCarried_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("iptcAndXmp");
        QTest::addColumn<bool>("profiled");
        QTest::newRow("TIFF with EXIF, IPTC and XMP")
            << int(FIF_TIFF) << "photo.tif" << true << false;
        QTest::newRow("TIFF with EXIF, IPTC, XMP and a colour profile")
            << int(FIF_TIFF) << "photo.tif" << true << true;
        QTest::newRow("PNG with an eXIf chunk") << int(FIF_PNG) << "photo.png" << false << false;
        QTest::newRow("PNG with an eXIf chunk and a colour profile")
            << int(FIF_PNG) << "photo.png" << false << true;
        QTest::newRow("JPEG with EXIF, IPTC and XMP")
            << int(FIF_JPEG) << "photo.jpg" << true << false;
        QTest::newRow("JPEG with EXIF, IPTC, XMP and a colour profile")
            << int(FIF_JPEG) << "photo.jpg" << true << true;
    }

    void metadataIsCarried() {
        QFETCH(int, format);
        QFETCH(QString, name);
        QFETCH(bool, iptcAndXmp);
        QFETCH(bool, profiled);
        const auto fif = FREE_IMAGE_FORMAT(format);
        const BitmapHandle picture = MakeNaturalBitmap(90, 60, 4);
        const Bytes profile = MakeIccProfile("RGB ", 0x6C);
        if (profiled) {
            QVERIFY(FreeImage_CreateICCProfile(
                picture.get(), const_cast<unsigned char*>(profile.data()), long(profile.size())));
        }
        // An input compressed otherwise than the output, whose strips Exiv2 must not carry over.
        const QString source = in(name);
        QVERIFY(SaveBitmapFile(*picture, fif, NativePath(source), fif == FIF_TIFF ? TIFF_LZW : 0));
        const PhotoMetadata camera = CameraMetadata(iptcAndXmp);
        if (fif == FIF_PNG) {
            QVERIFY(WriteFileBytes(
                NativePath(source),
                WithExifChunk(ReadFileBytes(NativePath(source)), EncodeExifBlock(camera))));
        } else {
            QVERIFY(WritePhotoMetadata(NativePath(source), camera));
        }
        const std::optional<PhotoMetadata> before = PhotoMetadataOf(NativePath(source));
        QVERIFY(before);
        QCOMPARE(before->artist, camera.artist);
        QCOMPARE(before->pixelWidth, 6000u);
        QCOMPARE(ToQt(IccProfileOf(NativePath(source))), profiled ? ToQt(profile) : QByteArray());

        QVERIFY(convert(source, out(name), 1, 0, 45));

        const std::optional<PhotoMetadata> after = PhotoMetadataOf(NativePath(out(name)));
        QVERIFY(after);
        QCOMPARE(after->artist, camera.artist);
        QCOMPARE(after->taken, camera.taken);
        QCOMPARE(after->keyword, camera.keyword);
        QCOMPARE(after->creatorTool, camera.creatorTool);
        QCOMPARE(after->pixelWidth, 45u);
        QCOMPARE(after->pixelHeight, 30u);
        QCOMPARE(FreeImage_GetFileType(NativePath(out(name)).c_str(), 0), fif);
        const BitmapHandle output = LoadImageFile(NativePath(out(name)));
        const BitmapHandle bare = BareConversion(source, fif, 45, 30, SaveFlagsOf(fif, options));
        QVERIFY(output && bare);
        QVERIFY(SamePixels(*output, *bare));
        QCOMPARE(ToQt(IccProfileOf(NativePath(out(name)))),
                 profiled ? ToQt(profile) : QByteArray());
    }

    // An EXIF block no reader should believe costs the output its metadata, not the conversion,
    // and leaves nothing behind.
    void unreadableMetadataStillConverts_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("block");
        QTest::newRow("JPEG, noise") << int(FIF_JPEG) << "noise";
        QTest::newRow("JPEG, looping directory") << int(FIF_JPEG) << "looping";
        QTest::newRow("PNG, noise") << int(FIF_PNG) << "noise";
        QTest::newRow("PNG, looping directory") << int(FIF_PNG) << "looping";
    }

    void unreadableMetadataStillConverts() {
        QFETCH(int, format);
        QFETCH(QString, block);
        const auto fif = FREE_IMAGE_FORMAT(format);
        const QString name = fif == FIF_PNG ? "photo.png" : "photo.jpg";
        const BitmapHandle picture = MakeNaturalBitmap(90, 60, 9);
        const Bytes plain = EncodeImage(*picture, fif, 0);
        const QString source = in(name);
        QVERIFY(WriteFileBytes(NativePath(source),
                               fif == FIF_PNG ? WithExifChunk(plain, HostileExifBlock(block))
                                              : WithExifSegment(plain, HostileExifBlock(block))));

        QVERIFY(convert(source, out(name), 1, 0, 45));

        QCOMPARE(
            QDir(outFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{name});
        const BitmapHandle output = LoadImageFile(NativePath(out(name)));
        const BitmapHandle bare = BareConversion(source, fif, 45, 30, SaveFlagsOf(fif, options));
        QVERIFY(output && bare);
        QVERIFY(SamePixels(*output, *bare));
    }

    // A piece of metadata that readers refuse is left out of the output and the rest is kept: an
    // EXIF entry of no TIFF type or with a count beyond its data, an XMP packet that is no XML, an
    // IPTC block that runs past its end, in a JPEG input's segments or a TIFF input's own tags,
    // beside an EXIF Artist or alone (then the writer's own copy is all the output could get).
    void malformedMetadataIsLeftOut_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("besides");
        QTest::addColumn<int>("output");
        const std::pair<const char*, FREE_IMAGE_FORMAT> outputs[] = {
            {"JPEG", FIF_JPEG}, {"PNG", FIF_PNG}, {"TIFF", FIF_TIFF}, {"WebP", FIF_WEBP}};
        const std::pair<const char*, const char*> faults[] = {
            {"jpeg", "untyped entry"}, {"jpeg", "overcounted entry"}, {"jpeg", "xmp packet"},
            {"jpeg", "iptc block"},    {"tiff", "untyped entry"},     {"tiff", "xmp tag"},
            {"tiff", "iptc tag"}};
        for (const auto& [input, fault] : faults) {
            for (const bool besides : {true, false}) {
                for (const auto& [name, format] : outputs) {
                    const QString row =
                        QString("%1, %2%3, to %4")
                            .arg(input, fault, besides ? " beside an Artist" : " alone", name);
                    QTest::newRow(qPrintable(row)) << input << fault << besides << int(format);
                }
            }
        }
    }

    void malformedMetadataIsLeftOut() {
        QFETCH(QString, input);
        QFETCH(QString, fault);
        QFETCH(bool, besides);
        QFETCH(int, output);
        const std::map<int, int> saveAs = {{FIF_JPEG, int(OutputChoice::Jpeg)},
                                           {FIF_PNG, int(OutputChoice::Png)},
                                           {FIF_TIFF, int(OutputChoice::Tiff)},
                                           {FIF_WEBP, int(OutputChoice::Webp)}};
        options.saveAs = OutputChoiceOfCode(saveAs.at(output));
        std::vector<RawTiffEntry> entries;
        if (besides) entries.push_back(ArtistEntry());
        if (fault == "untyped entry") entries.push_back(UntypedEntry());
        if (fault == "overcounted entry") entries.push_back(OvercountedEntry());
        if (fault == "xmp tag") entries.push_back({0x02BC, 1, 2, {'a', 'b'}});
        if (fault == "iptc tag") {
            const Bytes block = UnparsableIptcBlock();
            entries.push_back({0x83BB, 7, std::uint32_t(block.size()), block});
        }
        Bytes file;
        if (input == "tiff") {
            file = MakeRgbTiffWith(90, 60, entries);
        } else {
            const BitmapHandle picture = MakeNaturalBitmap(90, 60, 4);
            file = EncodeImage(*picture, FIF_JPEG, JPEG_QUALITYGOOD);
            if (fault == "xmp packet") file = WithXmpSegment(file, "ab");
            if (fault == "iptc block") file = WithIptcSegment(file, UnparsableIptcBlock());
            if (!entries.empty()) file = WithExifSegment(file, MakeExifBlockOf(entries));
        }
        const QString source = in(input == "tiff" ? "photo.tif" : "photo.jpg");
        QVERIFY(WriteFileBytes(NativePath(source), file));
        // The fixture shows the fault to the readers that check the output.
        QVERIFY(!MalformedMetadataIn(NativePath(source)).empty());

        QVERIFY(convert(source, out("photo"), 1, 0, 45));

        const QStringList written =
            QDir(outFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(written.size(), 1);
        const std::string path = NativePath(out(written.first()));
        QCOMPARE(int(FreeImage_GetFileType(path.c_str(), 0)), output);
        QVERIFY(LoadImageFile(path));
        QStringList malformed;
        for (const std::string& piece : MalformedMetadataIn(path)) {
            malformed << QString::fromStdString(piece);
        }
        QVERIFY2(malformed.isEmpty(), qPrintable(malformed.join("; ")));
        const std::optional<PhotoMetadata> after = PhotoMetadataOf(path);
        QVERIFY(after);
        QCOMPARE(after->artist, std::string(besides ? kEntryArtist : ""));
    }

    // Text chunks that other readers take but libpng's writer refuses to write back (no keyword)
    // cost the output those chunks only: the picture converts, with its other text and its EXIF.
    void pngTextWithoutKeywordConverts_data() {
        QTest::addColumn<QByteArray>("chunk");  // the tEXt chunk's data
        QTest::addColumn<QString>("path");      // the run's, or the worker's call
        QTest::newRow("no bytes at all") << QByteArray() << "run";
        QTest::newRow("an empty keyword and a text") << QByteArray("\0harbour", 8) << "run";
        QTest::newRow("a keyword of spaces") << QByteArray("   \0harbour", 11) << "run";
        QTest::newRow("a keyword and an empty text") << QByteArray("Author\0", 7) << "run";
        QTest::newRow("worker's call: no bytes at all") << QByteArray() << "worker";
    }

    void pngTextWithoutKeywordConverts() {
        QFETCH(QByteArray, chunk);
        QFETCH(QString, path);
        const BitmapHandle picture = MakeNaturalBitmap(90, 60, 6);
        QVERIFY(FreeImage_SetMetadataKeyValue(FIMD_COMMENTS, picture.get(), "Title", "Quay"));
        Bytes file = WithExifChunk(EncodeImage(*picture, FIF_PNG, 0),
                                   EncodeExifBlock(CameraMetadata(false)));
        file = WithPngChunk(file, "tEXt", Bytes(chunk.begin(), chunk.end()));
        const QString source = in("photo.png");
        QVERIFY(WriteFileBytes(NativePath(source), file));

        bool converted = false;
        if (path == "worker") {
            const WorkerConversion result = convertInWorker(source, out("photo.png"), 1, 0, 45);
            QCOMPARE(result.failure, FailureReason::None);
            converted = result.committed;
        } else {
            converted = convert(source, out("photo.png"), 1, 0, 45);
        }

        QVERIFY(converted);
        const BitmapHandle output = LoadImageFile(NativePath(out("photo.png")));
        QVERIFY(output);
        FITAG* title = nullptr;
        QVERIFY(FreeImage_GetMetadata(FIMD_COMMENTS, output.get(), "Title", &title) && title);
        QCOMPARE(QString(static_cast<const char*>(FreeImage_GetTagValue(title))), "Quay");
        const std::optional<PhotoMetadata> after = PhotoMetadataOf(NativePath(out("photo.png")));
        QVERIFY(after);
        QCOMPARE(after->artist, CameraMetadata(false).artist);
        QCOMPARE(after->pixelWidth, 45u);
    }

    // Metadata written after the picture that no longer fits (a full disk) leaves the file as
    // FreeImage wrote it, and the conversion succeeds.
    void metadataThatDoesNotFitIsLeftOut() {
        const QString source = in("photo.png");
        QVERIFY(WriteImageFile(NativePath(source), FIF_PNG, 90, 60, 3));
        QVERIFY(WriteFileBytes(NativePath(source),
                               WithExifChunk(ReadFileBytes(NativePath(source)),
                                             EncodeExifBlock(CameraMetadata(false)))));
        const BitmapHandle loaded(FreeImage_Load(FIF_PNG, NativePath(source).c_str(), 0));
        const BitmapHandle rescaled(FreeImage_Rescale(loaded.get(), 45, 30, FILTER_CATMULLROM));
        QVERIFY(rescaled);
        const Bytes bare = EncodeImage(*rescaled, FIF_PNG, SaveFlagsOf(FIF_PNG, options));

        bool converted = false;
        {
            const FileSizeLimit limit(bare.size() + 16);
            converted = convert(source, out("photo.png"), 1, 0, 45);
        }
        QVERIFY(converted);
        QVERIFY(ReadFileBytes(NativePath(out("photo.png"))) == bare);
        QCOMPARE(
            QDir(outFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"photo.png"});
    }
};

QTEST_GUILESS_MAIN(EngineFidelityTest)
#include "test_engine_fidelity.moc"
