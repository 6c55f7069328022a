// WebP photos, read and written through the image worker like every other format: by content
// whatever their name, lossy or lossless, with their alpha, turned upright as their EXIF says,
// with their EXIF, XMP and colour profile; refused before decoding when they state more than
// memory holds, and failing alone with their reason when they are cut short or make no sense.

#include <QDir>
#include <QtTest>

#include "engine/base/OptionsFromCodes.h"
#include "engine/base/SystemText.h"
#include "engine/convert/ImageAdmission.h"
#include "engine/convert/ImageConversion.h"
#include "engine/formats/webp/WebpLayout.h"
#include "engine/isolation/ImageDetection.h"
#include "engine/output/ReplacingSave.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ConversionWorkspace.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"
#include "support/OrientedPicture.h"
#include "support/WebpFiles.h"

using namespace kavenra;
using namespace kavenra::test;
using kavenra::testing::ScopedEnvironment;

namespace {

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Lossless, or lossy at a quality that keeps the quadrants' colours within the check's tolerance.
int WriterFlags(bool lossless) {
    return lossless ? WEBP_LOSSLESS : 90;
}

FREE_IMAGE_FORMAT FormatOf(const QString& path) {
    return FreeImage_GetFileType(NativePath(path).c_str(), 0);
}

// The quadrants, upright, with the left half transparent and the right half opaque.
BitmapHandle HalfTransparentQuadrants(int width, int height) {
    const BitmapHandle opaque = MakeQuadrantBitmap(width, height);
    if (!opaque) return nullptr;
    BitmapHandle picture(FreeImage_ConvertTo32Bits(opaque.get()));
    if (!picture) return nullptr;
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(picture.get(), y);
        for (int x = 0; x < width; ++x) line[4 * x + FI_RGBA_ALPHA] = x < width / 2 ? 0 : 255;
    }
    return picture;
}

unsigned AlphaAt(FIBITMAP& picture, unsigned x, unsigned y) {
    const BYTE* line = FreeImage_GetScanLine(&picture, int(FreeImage_GetHeight(&picture) - 1 - y));
    return line[4 * x + FI_RGBA_ALPHA];
}

// A stored picture with everything a camera's WebP file carries: its orientation among EXIF
// tags, an XMP packet and a colour profile.
PhotoMetadata CameraTags(int orientation) {
    PhotoMetadata tags;
    tags.artist = "Inês Carvalho";
    tags.taken = "2024:05:17 09:41:00";
    tags.orientation = static_cast<std::uint16_t>(orientation);
    tags.pixelWidth = 64;
    tags.pixelHeight = 48;
    return tags;
}

// The quadrants stored as `orientation` says, as a WebP file with EXIF, XMP and `icc`.
Bytes OrientedWebp(int orientation, bool lossless, const Bytes& icc) {
    const BitmapHandle upright = MakeQuadrantBitmap(64, 48);
    const BitmapHandle stored = StoredForOrientation(*upright, orientation);
    const Bytes plain = EncodeImage(*stored, FIF_WEBP, WriterFlags(lossless));
    WebpExtras extras;
    extras.icc = icc;
    extras.exif = EncodeExifBlock(CameraTags(orientation));
    extras.xmp = XmpPacketWithCreatorTool("Kavenra camera");
    return WithWebpExtras(plain, FreeImage_GetWidth(stored.get()),
                          FreeImage_GetHeight(stored.get()), extras);
}

Bytes Truncated(Bytes file, std::size_t dropped) {
    file.resize(file.size() - dropped);
    return file;
}

// A plain WebP file of the natural picture, lossy or lossless.
Bytes NaturalWebp(bool lossless, int width = 64, int height = 48) {
    const BitmapHandle picture = MakeNaturalBitmap(width, height);
    return EncodeImage(*picture, FIF_WEBP, WriterFlags(lossless));
}

// The natural picture's bitstream with its second half gone, in a file whose chunk and RIFF sizes
// state what is left: a cut file whose container gives nothing away.
Bytes CutBitstream(bool lossless) {
    std::vector<WebpChunk> chunks = WebpChunks(NaturalWebp(lossless));
    if (chunks.size() != 1) return {};
    chunks[0].data.resize(chunks[0].data.size() / 2);
    return MakeWebpFile(chunks);
}

}  // namespace

class WebpTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // The output at `path` is a WebP file of `width` x `height` showing the quadrants upright.
    void verifyQuadrantWebp(const QString& path, int width, int height) {
        QCOMPARE(FormatOf(path), FIF_WEBP);
        const BitmapHandle output = LoadImageFile(NativePath(path));
        QVERIFY(output);
        QCOMPARE(int(FreeImage_GetWidth(output.get())), width);
        QCOMPARE(int(FreeImage_GetHeight(output.get())), height);
        QCOMPARE(QuadrantMismatch(*output), QString());
    }

  private slots:
    void initTestCase() {
        InitialiseFreeImageOnce();
        QVERIFY(FreeImage_FIFSupportsReading(FIF_WEBP));
        QVERIFY(FreeImage_FIFSupportsWriting(FIF_WEBP));
    }

    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    // Lossy and lossless files convert, through the worker, to a WebP file of the size asked for
    // with the picture's colours, whatever the input's name says it is.
    void webpConvertsToWebp_data() {
        QTest::addColumn<bool>("lossless");
        QTest::addColumn<QString>("name");
        QTest::newRow("lossy") << false << "photo.webp";
        QTest::newRow("lossless") << true << "photo.webp";
        QTest::newRow("lossy named as a JPEG") << false << "photo.jpg";
        QTest::newRow("lossless without extension") << true << "photo";
    }

    void webpConvertsToWebp() {
        QFETCH(bool, lossless);
        QFETCH(QString, name);
        const BitmapHandle quadrants = MakeQuadrantBitmap(64, 48);
        const QString source = in(name);
        QVERIFY(WriteFileBytes(NativePath(source),
                               EncodeImage(*quadrants, FIF_WEBP, WriterFlags(lossless))));
        QVERIFY(IsSupportedImage(NativePath(source)));
        QCOMPARE(DetectImageFormat(NativePath(source)), FIF_WEBP);

        const FileOutcome outcome = convertOutcome(source, out(name), 0, 24, 32);

        QVERIFY(outcome.committed);
        verifyQuadrantWebp(out(name), 32, 24);
        QCOMPARE(Listing(outFolder()), QStringList{name});
    }

    // A picture with transparency keeps it: the output is 32-bit, transparent where the input is.
    // With EXIF the output's chunks are laid out anew to hold it, the alpha's among them.
    void alphaIsKept_data() {
        QTest::addColumn<bool>("lossless");
        QTest::addColumn<bool>("exif");
        QTest::newRow("lossy") << false << false;
        QTest::newRow("lossless") << true << false;
        QTest::newRow("lossy, with EXIF") << false << true;
        QTest::newRow("lossless, with EXIF") << true << true;
    }

    void alphaIsKept() {
        QFETCH(bool, lossless);
        QFETCH(bool, exif);
        const BitmapHandle picture = HalfTransparentQuadrants(64, 48);
        QVERIFY(picture);
        const QString source = in("clip.webp");
        Bytes file = EncodeImage(*picture, FIF_WEBP, WriterFlags(lossless));
        if (exif) {
            WebpExtras extras;
            extras.exif = EncodeExifBlock(CameraTags(1));
            file = WithWebpExtras(file, 64, 48, extras);
        }
        QVERIFY(WriteFileBytes(NativePath(source), file));

        QVERIFY(convert(source, out("clip.webp"), 0, 24, 32));

        const BitmapHandle output = LoadImageFile(NativePath(out("clip.webp")));
        QVERIFY(output);
        QCOMPARE(FreeImage_GetBPP(output.get()), 32u);
        QCOMPARE(FreeImage_GetWidth(output.get()), 32u);
        QCOMPARE(AlphaAt(*output, 4, 12), 0u);
        QCOMPARE(AlphaAt(*output, 28, 12), 255u);
        if (!exif) return;
        const std::optional<PhotoMetadata> tags = PhotoMetadataOf(NativePath(out("clip.webp")));
        QVERIFY(tags);
        QCOMPARE(tags->artist, std::string("Inês Carvalho"));
    }

    // A WebP file stored sideways or mirrored comes out upright and says orientation 1, every
    // size rule taking the upright picture; its EXIF, XMP and colour profile are kept, the EXIF
    // stating the output's size.
    void orientedWebpComesOutUprightWithItsMetadata_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("lossless");
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");
        QTest::newRow("upright, lossy, explicit 32x24") << 1 << false << 0 << 24 << 32 << 32 << 24;
        QTest::newRow("6, lossless, explicit 32x24") << 6 << true << 0 << 24 << 32 << 32 << 24;
        QTest::newRow("6, lossy, longest side 40") << 6 << false << 1 << 0 << 40 << 40 << 30;
        QTest::newRow("8, lossy, explicit 32x24") << 8 << false << 0 << 24 << 32 << 32 << 24;
        QTest::newRow("3, lossless, longest side 32") << 3 << true << 1 << 0 << 32 << 32 << 24;
        QTest::newRow("5, lossless, explicit 32x24") << 5 << true << 0 << 24 << 32 << 32 << 24;
    }

    void orientedWebpComesOutUprightWithItsMetadata() {
        QFETCH(int, orientation);
        QFETCH(bool, lossless);
        QFETCH(int, keepAspect);
        QFETCH(int, height);
        QFETCH(int, widthOrLongest);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);
        const Bytes profile = MakeIccProfile("RGB ", 0x5A);
        const QString source = in("camera.webp");
        QVERIFY(WriteFileBytes(NativePath(source), OrientedWebp(orientation, lossless, profile)));
        QCOMPARE(int(PhotoMetadataOf(NativePath(source))->orientation), orientation);

        QVERIFY(convert(source, out("camera.webp"), keepAspect, height, widthOrLongest));

        const QString output = out("camera.webp");
        verifyQuadrantWebp(output, expectedWidth, expectedHeight);
        if (QTest::currentTestFailed()) return;
        const std::optional<PhotoMetadata> tags = PhotoMetadataOf(NativePath(output));
        QVERIFY(tags);
        QCOMPARE(int(tags->orientation), 1);
        QCOMPARE(QString::fromStdString(tags->artist), QString("Inês Carvalho"));
        QCOMPARE(tags->taken, std::string("2024:05:17 09:41:00"));
        QCOMPARE(tags->creatorTool, std::string("Kavenra camera"));
        QCOMPARE(int(tags->pixelWidth), expectedWidth);
        QCOMPARE(int(tags->pixelHeight), expectedHeight);
        QVERIFY(IccProfileOf(NativePath(output)) == profile);
        QCOMPARE(Listing(outFolder()), QStringList{"camera.webp"});
    }

    // Removing the location keeps everything else, each piece in a well-formed container: EXIF
    // without its GPS directory, the rest of the XMP or no XMP chunk at all when the place was
    // all it held, the colour profile; the extended header's flags name the chunks there are.
    void removingTheLocationKeepsTheRest_data() {
        QTest::addColumn<bool>("exifBeside");
        QTest::addColumn<bool>("xmpBeside");
        QTest::addColumn<bool>("profiled");
        QTest::newRow("XMP of the place alone") << true << false << true;
        QTest::newRow("XMP of the place alone, no colour profile") << true << false << false;
        QTest::newRow("XMP of the place and a title") << true << true << true;
        QTest::newRow("EXIF of the GPS alone") << false << true << true;
        QTest::newRow("nothing beside the place but a colour profile") << false << false << true;
        QTest::newRow("nothing beside the place") << false << false << false;
    }

    void removingTheLocationKeepsTheRest() {
        QFETCH(bool, exifBeside);
        QFETCH(bool, xmpBeside);
        QFETCH(bool, profiled);
        const BitmapHandle picture = MakeNaturalBitmap(90, 60, 8);
        const Bytes profile = MakeIccProfile("RGB ", 0x3C);
        if (profiled) {
            QVERIFY(FreeImage_CreateICCProfile(
                picture.get(), const_cast<unsigned char*>(profile.data()), long(profile.size())));
        }
        const QString source = in("harbour.jpg");
        QVERIFY(SaveBitmapFile(*picture, FIF_JPEG, NativePath(source), JPEG_QUALITYGOOD));
        QVERIFY(WriteLocationBeside(NativePath(source), exifBeside, xmpBeside));
        options.saveAs = OutputChoice::Webp;
        options.removeLocation = true;

        QVERIFY(convert(source, out("harbour.jpg"), 1, 0, 45));

        const QString output = out("harbour.webp");
        QCOMPARE(Listing(outFolder()), QStringList{"harbour.webp"});
        const Bytes file = ReadFileBytes(NativePath(output));
        QCOMPARE(ReadWebpDeclaration(NativePath(output)).layout, WebpLayout::Whole);
        QVERIFY(file.size() > 12);
        QCOMPARE(std::size_t(ReadLittleEndian32(&file[4])) + 8, file.size());
        QStringList names;
        unsigned flags = 0;
        for (const WebpChunk& chunk : WebpChunks(file)) {
            names << QString::fromStdString(chunk.type);
            if (chunk.type == "VP8X") flags = chunk.data.at(0);
        }
        const bool exif = names.contains("EXIF");
        const bool xmp = names.contains("XMP ");
        const bool icc = names.contains("ICCP");
        QCOMPARE(exif, exifBeside);
        QCOMPARE(xmp, xmpBeside);
        QCOMPARE(icc, profiled);
        // The extended header, first, wherever there is more than the picture.
        QVERIFY(!(exif || xmp || icc) || names.indexOf("VP8X") == 0);
        QCOMPARE((flags & kWebpExifFlag) != 0, exif);
        QCOMPARE((flags & kWebpXmpFlag) != 0, xmp);
        QCOMPARE((flags & kWebpIccFlag) != 0, icc);
        QCOMPARE(flags & (kWebpAnimationFlag | kWebpAlphaFlag), 0u);

        const std::optional<std::vector<std::string>> keys = MetadataKeysOf(NativePath(output));
        QVERIFY(keys);
        QStringList places;
        for (const std::string& key : *keys) {
            if (key.find("GPS") != std::string::npos || key.find("City") != std::string::npos) {
                places << QString::fromStdString(key);
            }
        }
        QCOMPARE(places, QStringList());
        const std::string city(kLocatedCity);
        QVERIFY(std::search(file.begin(), file.end(), city.begin(), city.end()) == file.end());
        const auto holds = [&keys](const char* key) {
            return std::find(keys->begin(), keys->end(), key) != keys->end();
        };
        QCOMPARE(holds("Exif.Image.Make"), exifBeside);
        QCOMPARE(holds("Xmp.dc.title"), xmpBeside);
        if (profiled) QVERIFY(IccProfileOf(NativePath(output)) == profile);
        const BitmapHandle decoded = LoadImageFile(NativePath(output));
        QVERIFY(decoded);
        QCOMPARE(FreeImage_GetWidth(decoded.get()), 45u);
    }

    // The WebP quality setting reaches the writer: the best quality writes more detail.
    void qualitySettingReachesTheWriter() {
        const QString source = in("natural.webp");
        QVERIFY(WriteFileBytes(NativePath(source), NaturalWebp(true, 256, 192)));
        options.webpQuality = 5;
        QVERIFY(convert(source, out("low.webp"), 1, 0, 200));
        options.webpQuality = 100;
        QVERIFY(convert(source, out("best.webp"), 1, 0, 200));
        const qint64 low = QFileInfo(out("low.webp")).size();
        const qint64 best = QFileInfo(out("best.webp")).size();
        QVERIFY2(best > 2 * low, qPrintable(QString("%1 against %2").arg(best).arg(low)));
    }

    // A file stating a picture beyond the memory a conversion may hold is refused from its header
    // through the worker, before a pixel is decoded; a file whose header stays within it converts.
    void statedSizeBeyondMemoryIsRefused_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("failure");
        QTest::newRow("lossless header of 16384 x 16384") << "bomb" << int(FailureReason::TooLarge);
        QTest::newRow("extended canvas of 16384 x 16384")
            << "extended bomb" << int(FailureReason::TooLarge);
        QTest::newRow("a photo of 64 x 48") << "photo" << int(FailureReason::None);
    }

    void statedSizeBeyondMemoryIsRefused() {
        QFETCH(QString, picture);
        QFETCH(int, failure);
        const QString source = in("picture.webp");
        Bytes file = picture == "photo" ? NaturalWebp(false) : LosslessWebpHeaderOnly(16384, 16384);
        if (picture == "extended bomb") {
            file = MakeWebpFile({WebpExtendedHeader(16384, 16384, kWebpExifFlag),
                                 WebpChunks(file).at(0),
                                 {"EXIF", EncodeExifBlock(CameraTags(1))}});
        }
        QVERIFY(WriteFileBytes(NativePath(source), file));
        // 16384 x 16384 at 24 bits is 768 MiB as a bitmap, twice that with the decoder's copy.
        const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_MEMORY_MB", "1024", true);

        const WorkerConversion conversion =
            ConvertInWorker(source, out("picture.webp"), 1, 0, 32, options);

        QCOMPARE(conversion.report.end, ImageJobEnd::Answered);
        QCOMPARE(int(conversion.failure), failure);
        QCOMPARE(conversion.committed, failure == int(FailureReason::None));
    }

    // The size the header states, read without decoding: a plain lossy or lossless bitstream's,
    // an extended file's canvas; 32 bits a pixel where the picture has alpha.
    void declaredSizeIsTheHeaders_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("bits");
        QTest::newRow("lossy") << "lossy" << 24;
        QTest::newRow("lossless") << "lossless" << 24;
        QTest::newRow("lossy with alpha") << "lossy alpha" << 32;
        QTest::newRow("lossless with alpha") << "lossless alpha" << 32;
        QTest::newRow("extended, with EXIF") << "extended" << 24;
    }

    void declaredSizeIsTheHeaders() {
        QFETCH(QString, kind);
        QFETCH(int, bits);
        const bool lossless = kind.startsWith("lossless");
        Bytes file;
        if (kind.endsWith("alpha")) {
            const BitmapHandle picture = HalfTransparentQuadrants(70, 30);
            file = EncodeImage(*picture, FIF_WEBP, WriterFlags(lossless));
        } else {
            file = NaturalWebp(lossless, 70, 30);
        }
        if (kind == "extended") {
            WebpExtras extras;
            extras.exif = EncodeExifBlock(CameraTags(1));
            file = WithWebpExtras(file, 70, 30, extras);
        }
        const std::string path = NativePath(in("declared.webp"));
        QVERIFY(WriteFileBytes(path, file));

        const std::optional<DeclaredImage> declared = ReadDeclaredImage(FIF_WEBP, path);

        QVERIFY(declared);
        QCOMPARE(declared->width, std::uint64_t{70});
        QCOMPARE(declared->height, std::uint64_t{30});
        QCOMPARE(int(declared->bitsPerPixel), bits);
        const BitmapHandle loaded = LoadImageFile(path);
        QVERIFY(loaded);
        QCOMPARE(int(FreeImage_GetBPP(loaded.get())), bits);
    }

    // Broken files fail alone, each with its reason, and leave nothing in the output folder; the
    // next file converts.
    void brokenWebpFailsAlone_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("failure");
        QTest::newRow("RIFF size beyond the end") << "cut" << int(FailureReason::Incomplete);
        QTest::newRow("bitstream chunk beyond the RIFF size")
            << "chunk beyond riff" << int(FailureReason::Incomplete);
        QTest::newRow("EXIF chunk cut short") << "exif cut" << int(FailureReason::Incomplete);
        QTest::newRow("only the RIFF header") << "header only" << int(FailureReason::Incomplete);
        QTest::newRow("canvas larger than its bitstream")
            << "huge canvas" << int(FailureReason::Unsupported);
        QTest::newRow("animation") << "animated" << int(FailureReason::Unsupported);
        QTest::newRow("no picture chunk") << "no picture" << int(FailureReason::Unsupported);
        // Sizes that agree with each other, but no whole picture behind them.
        QTest::newRow("lossy bitstream cut, its sizes restated")
            << "lossy restated" << int(FailureReason::Unsupported);
        QTest::newRow("lossless bitstream cut, its sizes restated")
            << "lossless restated" << int(FailureReason::Unsupported);
    }

    void brokenWebpFailsAlone() {
        QFETCH(QString, damage);
        QFETCH(int, failure);
        const Bytes lossy = NaturalWebp(false);
        WebpExtras exif;
        exif.exif = EncodeExifBlock(CameraTags(6));
        const std::vector<WebpChunk> chunks = WebpChunks(lossy);
        QCOMPARE(chunks.size(), std::size_t{1});
        Bytes file;
        if (damage == "cut") file = Truncated(lossy, lossy.size() / 3);
        if (damage == "chunk beyond riff") {
            // The RIFF size as if the bitstream were 40 bytes shorter than its chunk says.
            file = lossy;
            const std::uint32_t riff = static_cast<std::uint32_t>(file.size() - 8 - 40);
            for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<unsigned char>(riff >> (8 * i));
        }
        if (damage == "exif cut") file = Truncated(WithWebpExtras(lossy, 64, 48, exif), 20);
        if (damage == "header only") file = Bytes(lossy.begin(), lossy.begin() + 12);
        if (damage == "huge canvas") {
            file = MakeWebpFile({WebpExtendedHeader(100000, 100000, 0), chunks[0]});
        }
        if (damage == "animated") {
            file = MakeWebpFile({WebpExtendedHeader(64, 48, kWebpAnimationFlag),
                                 {"ANIM", Bytes(6, 0)},
                                 {"ANMF", Bytes(16, 0)}});
        }
        if (damage == "no picture") {
            file = MakeWebpFile({WebpExtendedHeader(64, 48, kWebpExifFlag), {"EXIF", exif.exif}});
        }
        if (damage.endsWith("restated")) file = CutBitstream(damage.startsWith("lossless"));
        const QString source = in("broken.webp");
        QVERIFY(WriteFileBytes(NativePath(source), file));
        QCOMPARE(FormatOf(source), FIF_WEBP);

        const WorkerConversion conversion = convertInWorker(source, out("broken.webp"));

        QCOMPARE(conversion.report.end, ImageJobEnd::Answered);
        QCOMPARE(int(conversion.failure), failure);
        QVERIFY(!conversion.committed);
        QCOMPARE(Listing(outFolder()), QStringList{});
        const QString good = in("good.webp");
        QVERIFY(WriteFileBytes(NativePath(good), lossy));
        QVERIFY(convert(good, out("good.webp")));
        QCOMPARE(Listing(outFolder()), QStringList{"good.webp"});
    }

    // Pictures of any depth are written as WebP, brought to the 24 or 32 bits its writer takes;
    // transparency makes 32 bits.
    void anyDepthIsWrittenAsWebp_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("bits");
        QTest::newRow("8-bit greyscale") << "grey" << 24;
        QTest::newRow("8-bit palette") << "palette" << 24;
        QTest::newRow("8-bit palette with a transparent entry") << "transparent palette" << 32;
        QTest::newRow("48-bit colour") << "rgb16" << 24;
        QTest::newRow("16-bit greyscale") << "uint16" << 24;
        QTest::newRow("32-bit colour with alpha") << "rgba" << 32;
    }

    void anyDepthIsWrittenAsWebp() {
        QFETCH(QString, kind);
        QFETCH(int, bits);
        BitmapHandle picture;
        if (kind == "grey") picture = MakeGreyBitmap(40, 30);
        if (kind.endsWith("palette")) picture = MakePaletteBitmap(40, 30);
        if (kind == "transparent palette") {
            BYTE table[256];
            std::fill(std::begin(table), std::end(table), 255);
            table[0] = 0;
            FreeImage_SetTransparencyTable(picture.get(), table, 256);
        }
        if (kind == "rgb16" || kind == "uint16") {
            const BitmapHandle natural = MakeNaturalBitmap(40, 30);
            picture.reset(kind == "rgb16" ? FreeImage_ConvertToRGB16(natural.get())
                                          : FreeImage_ConvertToUINT16(natural.get()));
        }
        if (kind == "rgba") picture = HalfTransparentQuadrants(40, 30);
        QVERIFY(picture);
        const std::string destination = NativePath(out("any.webp"));
        const ConversionJob conversion = job(in("absent"), out("any.webp"), 0, 15, 20);

        const Preparation prepared = PrepareLoadedImage(*picture, FIF_WEBP, conversion);

        QVERIFY(prepared.prepared);
        QVERIFY(CommitPreparedOutput(*prepared.prepared));
        QCOMPARE(FormatOf(out("any.webp")), FIF_WEBP);
        const BitmapHandle output = LoadImageFile(destination);
        QVERIFY(output);
        QCOMPARE(FreeImage_GetWidth(output.get()), 20u);
        QCOMPARE(FreeImage_GetHeight(output.get()), 15u);
        QCOMPARE(int(FreeImage_GetBPP(output.get())), bits);
    }

    // A WebP file whose container reads but whose bitstream does not decode is no written file.
    void writtenWebpMustDecode() {
        const Bytes lossy = NaturalWebp(false);
        const std::string path = NativePath(out("written.webp"));
        QVERIFY(WriteFileBytes(path, CutBitstream(false)));
        QVERIFY(!WrittenFileReadsBack(path, FIF_WEBP, 64, 48));
        QVERIFY(WriteFileBytes(path, lossy));
        QVERIFY(WrittenFileReadsBack(path, FIF_WEBP, 64, 48));
    }
};

QTEST_GUILESS_MAIN(WebpTest)
#include "test_webp.moc"
