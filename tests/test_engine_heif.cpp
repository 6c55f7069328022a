// HEIF and AVIF input: recognised by content whatever the name, decoded in the image worker,
// written as JPEG under a ".jpg" name, upright, with the input's EXIF, XMP and colour profile; a
// damaged file fails alone, with its reason, and leaves nothing behind.

#include <QDir>
#include <QtTest>

#include "engine/base/OptionsFromCodes.h"
#include "engine/formats/heif/HeifImage.h"
#include "engine/isolation/ImageDetection.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ConversionWorkspace.h"
#include "support/HeifFiles.h"
#include "support/ImageFactory.h"
#include "support/ImageFileInspection.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"
#include "support/OrientedPicture.h"

using namespace kavenra;
using namespace kavenra::test;

Q_DECLARE_METATYPE(kavenra::FailureReason)

namespace {

// HEIF decoding left untested would go unseen in a skipped test: without libheif's encoders the
// fixtures cannot be made, and that is a failure of the machine's set-up.
constexpr const char* kNoEncoder =
    "libheif has no encoder for this codec here: scripts/install-deps.sh installs them";

HeifCodec CodecNamed(const QString& name) {
    return name == "avif" ? HeifCodec::Av1 : HeifCodec::Hevc;
}

// A photo's EXIF, orientation tag included: a phone's HEIF file may keep the camera's orientation
// in its EXIF while its own rotation boxes turn the picture.
PhotoMetadata CameraTags(int orientation) {
    PhotoMetadata metadata;
    metadata.artist = "Inês Carvalho";
    metadata.orientation = static_cast<std::uint16_t>(orientation);
    return metadata;
}

constexpr const char* kXmpPacket =
    "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
    "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
    "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
    "xmp:CreatorTool=\"Pocket Camera 3\"/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";

RGBQUAD PixelAt(FIBITMAP& bitmap, unsigned x, unsigned y) {
    RGBQUAD colour{};
    FreeImage_GetPixelColor(&bitmap, x, FreeImage_GetHeight(&bitmap) - 1 - y, &colour);
    return colour;
}

bool Near(const RGBQUAD& found, int red, int green, int blue) {
    constexpr int kTolerance = 48;
    return std::abs(found.rgbRed - red) <= kTolerance &&
           std::abs(found.rgbGreen - green) <= kTolerance &&
           std::abs(found.rgbBlue - blue) <= kTolerance;
}

}  // namespace

class EngineHeifTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // Writes the file; false when libheif has no encoder for the codec here.
    bool writeHeif(const QString& path, const HeifPicture& picture) {
        const Bytes file = MakeHeifFile(picture);
        if (file.empty()) return false;
        return WriteFileBytes(NativePath(path), file);
    }

    QStringList outFolderEntries() const {
        return QDir(outFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }
    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    // Whatever the file is called, it converts to a JPEG file under a ".jpg" name, as the
    // picture is shown: the rotation and mirror boxes applied once, the EXIF kept and its
    // orientation saying 1. Samples of more than 8 bits come out as 8-bit colour.
    void convertsUprightToJpeg_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("exifOrientation");
        QTest::addColumn<int>("bitDepth");
        // clang-format off
        QTest::newRow("heic") << "heic" << "photo.heic" << 1 << 1 << 8;
        QTest::newRow("heic turned, EXIF says so too") << "heic" << "photo.heic" << 6 << 6 << 8;
        QTest::newRow("heic half turned") << "heic" << "IMG_0001.HEIC" << 3 << 3 << 8;
        QTest::newRow("heic turned and mirrored") << "heic" << "photo.heif" << 7 << 1 << 8;
        QTest::newRow("heic named as png") << "heic" << "photo.png" << 8 << 8 << 8;
        QTest::newRow("heic 10 bits") << "heic" << "photo.heic" << 6 << 6 << 10;
        QTest::newRow("avif") << "avif" << "photo.avif" << 1 << 1 << 8;
        QTest::newRow("avif mirrored") << "avif" << "photo.avif" << 2 << 2 << 8;
        QTest::newRow("avif turned, named as jpg") << "avif" << "photo.jpg" << 6 << 6 << 8;
        QTest::newRow("avif without a name's extension") << "avif" << "photo" << 5 << 5 << 8;
        // clang-format on
    }
    void convertsUprightToJpeg() {
        QFETCH(QString, codec);
        QFETCH(QString, name);
        QFETCH(int, orientation);
        QFETCH(int, exifOrientation);
        QFETCH(int, bitDepth);
        HeifPicture picture;
        picture.codec = CodecNamed(codec);
        picture.orientation = orientation;
        picture.bitDepth = bitDepth;
        picture.exif = EncodeExifBlock(CameraTags(exifOrientation));
        const Bytes file = WithStoredExifOrientation(MakeHeifFile(picture), exifOrientation);
        if (file.empty()) QFAIL(kNoEncoder);
        QVERIFY(WriteFileBytes(NativePath(in(name)), file));
        QVERIFY(IsSupportedImage(NativePath(in(name))));

        const FileOutcome outcome = convertOutcome(in(name), out(name), 1, 0, 40);
        QVERIFY2(outcome.committed, qPrintable(QString::number(int(outcome.reason))));
        const QString written = out(QFileInfo(name).completeBaseName() + ".jpg");
        QCOMPARE(outFolderEntries(), QStringList{QFileInfo(written).fileName()});
        QCOMPARE(FreeImage_GetFileType(NativePath(written).c_str(), 0), FIF_JPEG);
        const BitmapHandle output = LoadImageFile(NativePath(written));
        QVERIFY(output);
        QCOMPARE(int(FreeImage_GetWidth(output.get())), 40);
        QCOMPARE(int(FreeImage_GetHeight(output.get())), 30);
        QCOMPARE(QuadrantMismatch(*output), QString());
        const std::optional<PhotoMetadata> tags = PhotoMetadataOf(NativePath(written));
        QVERIFY(tags);
        QCOMPARE(int(tags->orientation), 1);
        QCOMPARE(QString::fromStdString(tags->artist), QString("Inês Carvalho"));
    }

    // The JPEG file takes the options dialog's JPEG quality, as a JPEG input's output does.
    void jpegQualityComesFromTheJpegSetting_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("sampling");
        QTest::newRow("lowest") << 1 << 10 << "2x2 1x1 1x1";
        QTest::newRow("normal") << 3 << 50 << "2x2 1x1 1x1";
        QTest::newRow("best") << 5 << 100 << "1x1 1x1 1x1";
    }
    void jpegQualityComesFromTheJpegSetting() {
        QFETCH(int, code);
        QFETCH(int, quality);
        QFETCH(QString, sampling);
        HeifPicture picture;
        picture.codec = HeifCodec::Av1;
        if (!writeHeif(in("photo.avif"), picture)) QSKIP("no AV1 encoder here");
        options.jpegQuality = JpegQualityOfCode(code);
        options.pngLevel = PngLevelOfCode(1);  // other formats' settings do not count
        QVERIFY(convert(in("photo.avif"), out("photo.avif")));
        const Bytes written = ReadFileBytes(NativePath(out("photo.jpg")));
        QCOMPARE(JpegQuality(written), std::optional<int>(quality));
        QCOMPARE(QString::fromStdString(JpegSamplingFactors(written).value_or("")), sampling);
    }

    // Every size rule reads the size the picture is shown at, not the size it is stored at.
    void sizeRulesApplyToTheUprightPicture_data() {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");
        QTest::newRow("longest side") << false << 1 << 0 << 32 << 32 << 24;
        QTest::newRow("explicit size") << false << 0 << 20 << 30 << 30 << 20;
        QTest::newRow("kept size") << true << 1 << 0 << 16 << 64 << 48;
    }
    void sizeRulesApplyToTheUprightPicture() {
        QFETCH(bool, keep);
        QFETCH(int, keepAspect);
        QFETCH(int, height);
        QFETCH(int, widthOrLongest);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);
        HeifPicture picture;
        picture.orientation = 6;  // stored 48 x 64
        if (!writeHeif(in("turned.heic"), picture)) QSKIP("no HEVC encoder here");
        options.keepDimensions = keep;
        QVERIFY(convert(in("turned.heic"), out("turned.heic"), keepAspect, height, widthOrLongest));
        const BitmapHandle output = LoadImageFile(NativePath(out("turned.jpg")));
        QVERIFY(output);
        QCOMPARE(int(FreeImage_GetWidth(output.get())), expectedWidth);
        QCOMPARE(int(FreeImage_GetHeight(output.get())), expectedHeight);
        QCOMPARE(QuadrantMismatch(*output), QString());
    }

    // The file's ICC profile and XMP packet reach the JPEG file.
    void colourProfileAndXmpAreKept_data() {
        QTest::addColumn<QString>("codec");
        QTest::newRow("heic") << "heic";
        QTest::newRow("avif") << "avif";
    }
    void colourProfileAndXmpAreKept() {
        QFETCH(QString, codec);
        HeifPicture picture;
        picture.codec = CodecNamed(codec);
        picture.icc = MakeIccProfile("RGB ", 0x5A);
        picture.xmp = kXmpPacket;
        if (!writeHeif(in("profiled." + codec), picture)) QFAIL(kNoEncoder);
        QVERIFY(convert(in("profiled." + codec), out("profiled." + codec)));
        const std::string written = NativePath(out("profiled.jpg"));
        QCOMPARE(IccProfileOf(written), picture.icc);
        const std::optional<PhotoMetadata> tags = PhotoMetadataOf(written);
        QVERIFY(tags);
        QCOMPARE(QString::fromStdString(tags->creatorTool), QString("Pocket Camera 3"));
    }

    // Alpha decodes to a 32-bit bitmap; the JPEG file, which has none, shows the picture over
    // white.
    void alphaIsShownOverWhite_data() {
        QTest::addColumn<QString>("codec");
        QTest::newRow("heic") << "heic";
        QTest::newRow("avif") << "avif";
    }
    void alphaIsShownOverWhite() {
        QFETCH(QString, codec);
        HeifPicture picture;
        picture.codec = CodecNamed(codec);
        picture.alpha = true;
        if (!writeHeif(in("clear." + codec), picture)) QFAIL(kNoEncoder);
        const HeifDecode decoded = LoadHeifImage(NativePath(in("clear." + codec)));
        QVERIFY(decoded.bitmap);
        QCOMPARE(FreeImage_GetBPP(decoded.bitmap.get()), 32u);
        QVERIFY(PixelAt(*decoded.bitmap, 8, 8).rgbReserved > 200);
        QVERIFY(PixelAt(*decoded.bitmap, 56, 8).rgbReserved < 56);

        QVERIFY(convert(in("clear." + codec), out("clear." + codec), 1, 0, 64));
        const BitmapHandle output = LoadImageFile(NativePath(out("clear.jpg")));
        QVERIFY(output);
        QCOMPARE(FreeImage_GetBPP(output.get()), 24u);
        QVERIFY(Near(PixelAt(*output, 16, 12), 255, 0, 0));      // red, opaque
        QVERIFY(Near(PixelAt(*output, 16, 36), 0, 0, 255));      // blue, opaque
        QVERIFY(Near(PixelAt(*output, 48, 12), 255, 255, 255));  // transparent
        QVERIFY(Near(PixelAt(*output, 48, 36), 255, 255, 255));
    }

    // The file type box's brands decide, through the worker's detection, whatever the name.
    void recognisedByBrand_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QByteArray>("majorBrand");
        QTest::addColumn<int>("expected");
        QTest::newRow("heic as written") << "heic" << QByteArray() << int(ImageFormat::Heif);
        QTest::newRow("avif as written") << "avif" << QByteArray() << int(ImageFormat::Avif);
        QTest::newRow("heix") << "heic" << QByteArray("heix") << int(ImageFormat::Heif);
        QTest::newRow("mif1 major, heic compatible")
            << "heic" << QByteArray("mif1") << int(ImageFormat::Heif);
        QTest::newRow("msf1 major, avif compatible")
            << "avif" << QByteArray("msf1") << int(ImageFormat::Avif);
        QTest::newRow("avis") << "avif" << QByteArray("avis") << int(ImageFormat::Avif);
        QTest::newRow("unknown major, compatible brands decide")
            << "avif" << QByteArray("zzzz") << int(ImageFormat::Avif);
    }
    void recognisedByBrand() {
        QFETCH(QString, codec);
        QFETCH(QByteArray, majorBrand);
        QFETCH(int, expected);
        HeifPicture picture;
        picture.codec = CodecNamed(codec);
        Bytes file = MakeHeifFile(picture);
        if (file.empty()) QFAIL(kNoEncoder);
        if (!majorBrand.isEmpty()) std::copy_n(majorBrand.constData(), 4, file.begin() + 8);
        QVERIFY(WriteFileBytes(NativePath(in("notes.txt")), file));
        QCOMPARE(int(DetectImageFormat(NativePath(in("notes.txt"))).id()), expected);
        QVERIFY(IsSupportedImage(NativePath(in("notes.txt"))));
    }

    // A file type box without a brand of these formats is not taken for one.
    void otherBrandsAreNotRecognised() {
        HeifPicture picture;
        Bytes file = MakeHeifFile(picture);
        if (file.empty()) QFAIL(kNoEncoder);
        const std::size_t ftypEnd = ReadBigEndian32(file, 0);
        for (std::size_t at = 8; at + 4 <= ftypEnd; at += 4) {
            if (at == 12) continue;  // the minor version
            std::copy_n("isom", 4, file.begin() + at);
        }
        QVERIFY(WriteFileBytes(NativePath(in("movie.heic")), file));
        QCOMPARE(DetectImageFormat(NativePath(in("movie.heic"))), ImageFormat::Unknown);
        QVERIFY(!IsSupportedImage(NativePath(in("movie.heic"))));
    }

    // The size the file states is read before anything is decoded: one beyond the memory
    // budget, or beyond the largest side libheif is allowed, fails TooLarge.
    void hugeStatedSizeIsRefused_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("side");
        QTest::newRow("heic beyond the memory budget") << "heic" << 30000;
        QTest::newRow("avif beyond the memory budget") << "avif" << 30000;
        QTest::newRow("heic beyond the largest side") << "heic" << 70000;
    }
    void hugeStatedSizeIsRefused() {
        QFETCH(QString, codec);
        QFETCH(int, side);
        HeifPicture picture;
        picture.codec = CodecNamed(codec);
        Bytes file = MakeHeifFile(picture);
        if (file.empty()) QFAIL(kNoEncoder);
        const std::vector<std::size_t> sizes = FindBoxes(file, "ispe");
        QVERIFY(!sizes.empty());
        for (const std::size_t ispe : sizes) {
            WriteBigEndian32(file, ispe + 12, static_cast<std::uint32_t>(side));
            WriteBigEndian32(file, ispe + 16, static_cast<std::uint32_t>(side));
        }
        QVERIFY(WriteFileBytes(NativePath(in("huge.heic")), file));
        const FileOutcome outcome = convertOutcome(in("huge.heic"), out("huge.heic"));
        QVERIFY(!outcome.committed);
        QCOMPARE(outcome.reason, FailureReason::TooLarge);
        QCOMPARE(outFolderEntries(), QStringList());
    }

    // Damaged files fail alone, each with its reason, and leave nothing in the destination.
    void damagedFilesFailAlone_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<FailureReason>("reason");
        QTest::newRow("heic cut in its picture data") << "cut in data"
                                                      << "heic" << FailureReason::Incomplete;
        QTest::newRow("avif cut in its picture data") << "cut in data"
                                                      << "avif" << FailureReason::Incomplete;
        QTest::newRow("heic cut in its boxes") << "cut in boxes"
                                               << "heic" << FailureReason::Incomplete;
        QTest::newRow("avif size box removed") << "no ispe"
                                               << "avif" << FailureReason::Unsupported;
        QTest::newRow("heic size boxes removed") << "no ispe"
                                                 << "heic" << FailureReason::Unsupported;
        QTest::newRow("box larger than the file") << "box overruns"
                                                  << "heic" << FailureReason::Incomplete;
        QTest::newRow("box shorter than its header") << "box too short"
                                                     << "avif" << FailureReason::Unsupported;
        QTest::newRow("only a thumbnail can be decoded") << "thumbnail only"
                                                         << "avif" << FailureReason::Unsupported;
        // The file names the thumbnail as its primary image: that picture is converted.
        QTest::newRow("primary image is a thumbnail") << "thumbnail primary"
                                                      << "heic" << FailureReason::None;
        QTest::newRow("primary item missing") << "no primary"
                                              << "avif" << FailureReason::Unsupported;
    }
    void damagedFilesFailAlone() {
        QFETCH(QString, damage);
        QFETCH(QString, codec);
        QFETCH(FailureReason, reason);
        HeifPicture picture;
        picture.codec = CodecNamed(codec);
        picture.thumbnail = damage.startsWith("thumbnail");
        Bytes file = MakeHeifFile(picture);
        if (file.empty()) QFAIL(kNoEncoder);
        const std::size_t meta = FindBox(file, "meta").value_or(0);
        const std::size_t mdat = FindBox(file, "mdat").value_or(0);
        QVERIFY(meta > 0 && mdat > 0);
        if (damage == "cut in data") {
            file.resize(std::max(meta, mdat) + (file.size() - std::max(meta, mdat)) / 2);
        } else if (damage == "cut in boxes") {
            file.resize(meta + 40);
        } else if (damage == "no ispe") {
            for (const std::size_t ispe : FindBoxes(file, "ispe")) {
                std::copy_n("free", 4, file.begin() + ispe + 4);
            }
        } else if (damage == "box overruns") {
            WriteBigEndian32(file, meta, 0x7FFFFFF0u);
        } else if (damage == "box too short") {
            WriteBigEndian32(file, meta, 3);
        } else if (damage == "thumbnail only") {
            // The main picture's item (listed first) becomes one of no known type.
            const std::optional<std::size_t> av01 = FindBox(file, "av01");
            QVERIFY(av01);
            std::copy_n("zzzz", 4, file.begin() + *av01 + 4);
        } else if (damage == "thumbnail primary") {
            // The primary item becomes the thumbnail, whose id leads its thmb reference.
            const std::optional<std::size_t> thmb = FindBox(file, "thmb");
            const std::optional<std::size_t> pitm = FindBox(file, "pitm");
            QVERIFY(thmb && pitm);
            std::copy_n(file.begin() + *thmb + 8, 2, file.begin() + *pitm + 12);
        } else if (damage == "no primary") {
            const std::size_t pitm = *FindBox(file, "pitm");
            file[pitm + 12] = 0x7F;
            file[pitm + 13] = 0x7F;
        }
        // A good file beside it converts all the same.
        QVERIFY(writeHeif(in("good.heic"), HeifPicture{}));
        QVERIFY(WriteFileBytes(NativePath(in("damaged.heic")), file));

        const FileOutcome outcome = convertOutcome(in("damaged.heic"), out("damaged.heic"));
        QCOMPARE(outcome.reason, reason);
        QCOMPARE(outcome.committed, reason == FailureReason::None);
        const QStringList left = outcome.committed ? QStringList{"damaged.jpg"} : QStringList();
        QCOMPARE(outFolderEntries(), left);
        QVERIFY(convert(in("good.heic"), out("good.heic")));
        QCOMPARE(outFolderEntries().size(), left.size() + 1);
    }

    // A picture made of a thousand tiles is decoded tile after tile, to the size its grid
    // states; beyond libheif's own bound on the tiles of one picture, it fails TooLarge.
    void gridOfThousandsOfTiles_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<FailureReason>("reason");
        QTest::newRow("1024 tiles") << 16 << FailureReason::None;
        QTest::newRow("2560 tiles") << 40 << FailureReason::TooLarge;
    }
    void gridOfThousandsOfTiles() {
        QFETCH(int, rows);
        QFETCH(FailureReason, reason);
        const Bytes tile = MakeHeifFile(HeifPicture{});
        if (tile.empty()) QFAIL(kNoEncoder);
        const Bytes grid = WithTiledGrid(tile, 64, rows);
        if (grid.empty())
            QSKIP("libheif lays its HEVC file out otherwise than as a grid of one tile");
        QVERIFY(WriteFileBytes(NativePath(in("tiles.heic")), grid));
        const FileOutcome outcome = convertOutcome(in("tiles.heic"), out("tiles.heic"), 1, 0, 64);
        QCOMPARE(outcome.reason, reason);
        if (reason != FailureReason::None) {
            QCOMPARE(outFolderEntries(), QStringList());
            return;
        }
        QVERIFY(outcome.committed);
        QCOMPARE(ImageFileSize(out("tiles.jpg")), QSize(64, rows));
        QCOMPARE(outFolderEntries(), QStringList{"tiles.jpg"});
    }

    // A file whose brands say image sequence converts the still picture it holds.
    void sequenceBrandConvertsItsStillPicture() {
        Bytes file = MakeHeifFile(HeifPicture{});
        if (file.empty()) QFAIL(kNoEncoder);
        std::copy_n("msf1", 4, file.begin() + 8);
        QVERIFY(WriteFileBytes(NativePath(in("burst.heic")), file));
        QVERIFY(convert(in("burst.heic"), out("burst.heic")));
        const BitmapHandle output = LoadImageFile(NativePath(out("burst.jpg")));
        QVERIFY(output);
        QCOMPARE(QuadrantMismatch(*output), QString());
    }
};

QTEST_GUILESS_MAIN(EngineHeifTest)
#include "test_engine_heif.moc"
