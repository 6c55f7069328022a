// Pictures whose orientation tag says they are stored sideways or mirrored: the output holds them
// upright, says so in its own tag, and every size rule applies to the upright picture.

#include <QDir>
#include <QtTest>

#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ImageConversion.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ConversionWorkspace.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"
#include "support/OrientedPicture.h"

using namespace kavenra;
using namespace kavenra::test;

namespace {

FREE_IMAGE_FORMAT FormatNamed(const QString& name) {
    if (name == "jpeg") return FIF_JPEG;
    if (name == "tif") return FIF_TIFF;
    return FIF_PNG;
}

QString FileNameFor(FREE_IMAGE_FORMAT format) {
    return format == FIF_JPEG ? "photo.jpg" : format == FIF_TIFF ? "photo.tif" : "photo.png";
}

// What a camera writes besides the orientation, to show that the rest is kept.
PhotoMetadata TaggedAs(int orientation, bool xmp) {
    PhotoMetadata metadata;
    metadata.artist = "Inês Carvalho";
    metadata.orientation = static_cast<std::uint16_t>(orientation);
    if (xmp) metadata.xmpOrientation = std::to_string(orientation);
    return metadata;
}

// The upright picture stored as `orientation` says, saved as `format` at `path` with the tag (a
// PNG file's in an eXIf chunk; XMP's tiff:Orientation too in JPEG and TIFF files).
bool WriteOrientedFile(const QString& path, FREE_IMAGE_FORMAT format, FIBITMAP& upright,
                       int orientation) {
    const BitmapHandle stored = StoredForOrientation(upright, orientation);
    if (!stored) return false;
    const Bytes plain = EncodeImage(*stored, format, format == FIF_JPEG ? JPEG_QUALITYSUPERB : 0);
    if (format == FIF_PNG) {
        return WriteFileBytes(NativePath(path),
                              WithExifChunk(plain, EncodeExifBlock(TaggedAs(orientation, false))));
    }
    return WriteFileBytes(NativePath(path), plain) &&
           WritePhotoMetadata(NativePath(path), TaggedAs(orientation, true));
}

}  // namespace

class EngineOrientationTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // The output at `path`: its size, whether it shows the quadrants upright, and that its tags
    // no longer ask for a turn while the rest of the metadata is there.
    void verifyUprightOutput(const QString& path, int width, int height, bool metadataKept) {
        const BitmapHandle output = LoadImageFile(NativePath(path));
        QVERIFY(output);
        QCOMPARE(int(FreeImage_GetWidth(output.get())), width);
        QCOMPARE(int(FreeImage_GetHeight(output.get())), height);
        QCOMPARE(QuadrantMismatch(*output), QString());
        const std::optional<PhotoMetadata> tags = PhotoMetadataOf(NativePath(path));
        QVERIFY(tags);
        QVERIFY2(tags->orientation <= 1, qPrintable(QString::number(tags->orientation)));
        QVERIFY2(tags->xmpOrientation.empty() || tags->xmpOrientation == "1",
                 tags->xmpOrientation.c_str());
        if (metadataKept) QCOMPARE(QString::fromStdString(tags->artist), QString("Inês Carvalho"));
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }

    void init() { QVERIFY(openWorkspace()); }
    void cleanup() { closeWorkspace(); }

    // Each of the eight orientations, in each format whose metadata the conversion reads: the
    // output at an explicit size shows the picture upright and is tagged upright.
    void everyOrientationComesOutUpright_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("orientation");
        for (const char* format : {"jpeg", "tif", "png"}) {
            for (int orientation = 1; orientation <= 8; ++orientation) {
                QTest::addRow("%s, orientation %d", format, orientation)
                    << QString(format) << orientation;
            }
        }
    }

    void everyOrientationComesOutUpright() {
        QFETCH(QString, format);
        QFETCH(int, orientation);
        const FREE_IMAGE_FORMAT fif = FormatNamed(format);
        const BitmapHandle upright = MakeQuadrantBitmap(64, 48);
        QVERIFY(upright);
        const QString source = in(FileNameFor(fif));
        QVERIFY(WriteOrientedFile(source, fif, *upright, orientation));
        QCOMPARE(int(PhotoMetadataOf(NativePath(source))->orientation), orientation);

        QVERIFY(convert(source, out(FileNameFor(fif)), 0, 24, 32));

        verifyUprightOutput(out(FileNameFor(fif)), 32, 24, true);
    }

    // A portrait stored as a landscape (64 x 48, to be shown 48 x 64): an explicit size, a
    // longest side and the kept size are the upright picture's.
    void sizeRulesApplyToTheUprightPicture_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<int>("expectedWidth");
        QTest::addColumn<int>("expectedHeight");
        QTest::newRow("JPEG 6, explicit 30x40")
            << "jpeg" << 6 << false << 0 << 40 << 30 << 30 << 40;
        QTest::newRow("JPEG 6, longest side 32")
            << "jpeg" << 6 << false << 1 << 0 << 32 << 24 << 32;
        QTest::newRow("JPEG 6, size kept") << "jpeg" << 6 << true << 1 << 0 << 32 << 48 << 64;
        QTest::newRow("JPEG 8, explicit 30x40")
            << "jpeg" << 8 << false << 0 << 40 << 30 << 30 << 40;
        QTest::newRow("JPEG 5, longest side 32")
            << "jpeg" << 5 << false << 1 << 0 << 32 << 24 << 32;
        QTest::newRow("TIFF 6, explicit 30x40") << "tif" << 6 << false << 0 << 40 << 30 << 30 << 40;
        QTest::newRow("TIFF 6, longest side 32") << "tif" << 6 << false << 1 << 0 << 32 << 24 << 32;
        QTest::newRow("TIFF 7, size kept") << "tif" << 7 << true << 1 << 0 << 32 << 48 << 64;
        QTest::newRow("PNG 6, longest side 32") << "png" << 6 << false << 1 << 0 << 32 << 24 << 32;
    }

    void sizeRulesApplyToTheUprightPicture() {
        QFETCH(QString, format);
        QFETCH(int, orientation);
        QFETCH(bool, keep);
        QFETCH(int, keepAspect);
        QFETCH(int, height);
        QFETCH(int, widthOrLongest);
        QFETCH(int, expectedWidth);
        QFETCH(int, expectedHeight);
        options.keepDimensions = keep;
        const FREE_IMAGE_FORMAT fif = FormatNamed(format);
        const BitmapHandle upright = MakeQuadrantBitmap(48, 64);
        QVERIFY(upright);
        const QString source = in(FileNameFor(fif));
        QVERIFY(WriteOrientedFile(source, fif, *upright, orientation));
        QCOMPARE(ImageFileSize(source), QSize(64, 48));

        QVERIFY(convert(source, out(FileNameFor(fif)), keepAspect, height, widthOrLongest));

        verifyUprightOutput(out(FileNameFor(fif)), expectedWidth, expectedHeight, true);
    }

    // The size FreeImage's comment tags state for a JPEG decoded at a reduced scale is the stored
    // picture's: 1601 x 1200 stored, 1200 x 1601 shown, 600 x 800 at a longest side of 800.
    void reducedScaleSizeTagsAreTurnedToo() {
        const BitmapHandle upright = MakeQuadrantBitmap(1200, 1601);
        QVERIFY(upright);
        const QString source = in("large.jpg");
        QVERIFY(WriteOrientedFile(source, FIF_JPEG, *upright, 6));
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

        verifyUprightOutput(out("large.jpg"), 600, 800, true);
    }

    // A camera RAW file's orientation reaches its JPEG preview, which FreeImage's RAW loader
    // turns upright itself: it is turned once, and the output does not ask for another turn.
    void rawPreviewIsTurnedOnce_data() {
        QTest::addColumn<int>("orientation");
        QTest::newRow("orientation 6") << 6;
        QTest::newRow("orientation 8") << 8;
        QTest::newRow("orientation 3") << 3;
    }

    void rawPreviewIsTurnedOnce() {
        QFETCH(int, orientation);
        options.keepDimensions = true;
        const BitmapHandle upright = MakeQuadrantBitmap(48, 64);
        const BitmapHandle stored = StoredForOrientation(*upright, orientation);
        QVERIFY(stored);
        CameraRawSpec camera;
        camera.previewWidth = int(FreeImage_GetWidth(stored.get()));
        camera.previewHeight = int(FreeImage_GetHeight(stored.get()));
        camera.previewJpeg = EncodeImage(*stored, FIF_JPEG, JPEG_QUALITYSUPERB | JPEG_BASELINE);
        camera.orientation = static_cast<std::uint16_t>(orientation);
        const QString source = in("photo.dng");
        QVERIFY(WriteMinimalDng(NativePath(source), camera));

        QVERIFY(convert(source, out("photo.dng"), 1, 0, 0));

        verifyUprightOutput(out("photo.jpg"), 48, 64, false);
    }

    // The same through the image worker, as a run converts.
    void uprightThroughTheWorker() {
        const BitmapHandle upright = MakeQuadrantBitmap(48, 64);
        const QString source = in("photo.jpg");
        QVERIFY(WriteOrientedFile(source, FIF_JPEG, *upright, 6));

        const WorkerConversion converted = convertInWorker(source, out("photo.jpg"), 0, 40, 30);

        QVERIFY(converted.committed);
        QCOMPARE(converted.failure, FailureReason::None);
        verifyUprightOutput(out("photo.jpg"), 30, 40, true);
    }
};

QTEST_GUILESS_MAIN(EngineOrientationTest)
#include "test_engine_orientation.moc"
