// Fast decoding: a JPEG shrunk to half its size or less is decoded at 1/2, 1/4 or 1/8 scale, and
// the output keeps the size and, within a close margin, the pixels an exact run gives it. Every
// other input, and a JPEG under the RAW size switch, converts exactly as with the option off.

#include <QtTest>

#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ImageConversion.h"
#include "engine/formats/SourceFile.h"
#include "support/ConversionWorkspace.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"

using namespace kavenra;
using namespace kavenra::test;

namespace {

constexpr int kFastOff = 0;
constexpr int kFastOn = 1;

// A natural picture of `width` x `height` as its pixels are stored, saved as a JPEG at `path`
// with EXIF orientation `orientation` (none for 1).
bool WriteStoredJpeg(const QString& path, int width, int height, int orientation) {
    const BitmapHandle picture = MakeNaturalBitmap(width, height);
    if (!picture || !SaveBitmapFile(*picture, FIF_JPEG, NativePath(path), JPEG_QUALITYSUPERB))
        return false;
    if (orientation == 1) return true;
    PhotoMetadata tags;
    tags.orientation = static_cast<std::uint16_t>(orientation);
    return WritePhotoMetadata(NativePath(path), tags);
}

int DecodedSide(int side, int scale) {
    return (side + scale - 1) / scale;
}

}  // namespace

class EngineFastDecodingTest : public QObject, private ConversionWorkspace {
    Q_OBJECT

  private:
    // Converts `source` with fast decoding `fast` into a PNG named `name` in the output folder.
    BitmapHandle convertWith(int fast, const QString& source, const QString& name, int keepAspect,
                             int height, int widthOrLongest) {
        options.fastDecoding = fast == 1;
        if (!convert(source, out(name), keepAspect, height, widthOrLongest)) return {};
        return LoadImageFile(NativePath(out(name)));
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }

    void init() {
        QVERIFY(openWorkspace());
        // Lossless outputs: what differs between two runs is the decode and the resampling.
        options.saveAs = OutputChoice::Png;
    }
    void cleanup() { closeWorkspace(); }

    // The stored size, the orientation tag, the entry point's size arguments (keepAspect 1: the
    // longest side; 0: width and height) and the scale the picture is to be decoded at.
    void reducedDecodeKeepsTheExactOutput_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("keepAspect");
        QTest::addColumn<int>("targetHeight");
        QTest::addColumn<int>("widthOrLongest");
        QTest::addColumn<int>("scale");
        // 800x600 to 40x30: 1/8 still gives 100x75.
        QTest::newRow("longest side, 1/8") << 800 << 600 << 1 << 1 << 0 << 40 << 8;
        // To 100x75 exactly a quarter is twice the target; one pixel more needs a half.
        QTest::newRow("longest side at the 1/4 boundary") << 800 << 600 << 1 << 1 << 0 << 100 << 4;
        QTest::newRow("longest side past the 1/4 boundary")
            << 800 << 600 << 1 << 1 << 0 << 101 << 2;
        QTest::newRow("longest side at half the size") << 800 << 600 << 1 << 1 << 0 << 400 << 1;
        QTest::newRow("enlarged") << 300 << 200 << 1 << 1 << 0 << 500 << 1;
        // 1001x999 at 1/4 would be 251x250, its last pixels mostly padding, and the output
        // shifted by a third of a pixel: a scale has to divide both sides.
        QTest::newRow("odd sides") << 1001 << 999 << 1 << 0 << 125 << 125 << 1;
        QTest::newRow("sides divided by 2 alone") << 1002 << 998 << 1 << 0 << 125 << 125 << 2;
        // An explicit size: the side shrunk least decides.
        QTest::newRow("explicit, wide target") << 800 << 600 << 1 << 0 << 50 << 300 << 1;
        QTest::newRow("explicit, tall target") << 800 << 600 << 1 << 0 << 140 << 100 << 2;
        // Stored 800x600 and shown 600x800: a 200x50 target is stored as 50x200, which 1/2 scale
        // (400x300) would not give twice over.
        QTest::newRow("orientation 6, explicit") << 800 << 600 << 6 << 0 << 50 << 200 << 1;
        QTest::newRow("orientation 6, longest side") << 800 << 600 << 6 << 1 << 0 << 100 << 4;
        QTest::newRow("orientation 8, explicit") << 800 << 600 << 8 << 0 << 140 << 70 << 2;
    }

    // The scale follows the size the picture ends at: 800x600 fitted in 400x75 becomes 100x75,
    // which a quarter gives twice over; stretched to 400x75 it needs every pixel across.
    void fitWithinDecidesTheScale_data() {
        QTest::addColumn<int>("fitWithin");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QSize>("output");
        QTest::newRow("fitted") << 1 << 4 << QSize(100, 75);
        QTest::newRow("stretched") << 0 << 1 << QSize(400, 75);
    }

    void fitWithinDecidesTheScale() {
        QFETCH(int, fitWithin);
        QFETCH(int, scale);
        QFETCH(QSize, output);
        const QString source = in("photo.jpg");
        QVERIFY(WriteStoredJpeg(source, 800, 600, 1));
        options.fitWithin = fitWithin == 1;
        options.fastDecoding = true;
        const std::optional<SourceFile> opened = SourceFile::Open(NativePath(source));
        QVERIFY(opened);
        const int flags = LoadFlagsFor(FIF_JPEG, *opened, job(source, out("x.png"), 0, 75, 400));
        const BitmapHandle loaded(FreeImage_Load(FIF_JPEG, opened->path().c_str(), flags));
        QVERIFY(loaded);
        QCOMPARE(int(FreeImage_GetWidth(loaded.get())), DecodedSide(800, scale));

        const BitmapHandle converted = convertWith(kFastOn, source, "fast.png", 0, 75, 400);
        QVERIFY(converted);
        QCOMPARE(QSize(int(FreeImage_GetWidth(converted.get())),
                       int(FreeImage_GetHeight(converted.get()))),
                 output);
    }

    void reducedDecodeKeepsTheExactOutput() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, orientation);
        QFETCH(int, keepAspect);
        QFETCH(int, targetHeight);
        QFETCH(int, widthOrLongest);
        QFETCH(int, scale);
        const QString source = in("photo.jpg");
        QVERIFY(WriteStoredJpeg(source, width, height, orientation));

        // The bitmap the conversion loads is the reduced one.
        options.fastDecoding = true;
        const std::optional<SourceFile> opened = SourceFile::Open(NativePath(source));
        QVERIFY(opened);
        const int flags = LoadFlagsFor(
            FIF_JPEG, *opened, job(source, out("x.png"), keepAspect, targetHeight, widthOrLongest));
        const BitmapHandle loaded(FreeImage_Load(FIF_JPEG, opened->path().c_str(), flags));
        QVERIFY(loaded);
        QCOMPARE(int(FreeImage_GetWidth(loaded.get())), DecodedSide(width, scale));
        QCOMPARE(int(FreeImage_GetHeight(loaded.get())), DecodedSide(height, scale));

        // Through the worker, as a run converts.
        const BitmapHandle exact =
            convertWith(kFastOff, source, "exact.png", keepAspect, targetHeight, widthOrLongest);
        const BitmapHandle fast =
            convertWith(kFastOn, source, "fast.png", keepAspect, targetHeight, widthOrLongest);
        QVERIFY(exact);
        QVERIFY(fast);
        QCOMPARE(FreeImage_GetWidth(fast.get()), FreeImage_GetWidth(exact.get()));
        QCOMPARE(FreeImage_GetHeight(fast.get()), FreeImage_GetHeight(exact.get()));
        if (scale == 1) {
            QVERIFY(SamePixels(*fast, *exact));
        } else {
            // Pixels that differ show the reduced decode happened in the worker too.
            QVERIFY(!SamePixels(*fast, *exact));
            const double psnr = PeakSignalToNoise(*fast, *exact);
            QVERIFY2(psnr >= 45.0, qPrintable(QString::number(psnr)));
        }
    }

    // Inputs fast decoding leaves alone: the output is pixel for pixel the exact run's.
    void otherInputsConvertAsBefore_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("keepDimensions");
        QTest::newRow("PNG") << "photo.png" << false;
        QTest::newRow("TIFF") << "photo.tif" << false;
        QTest::newRow("camera RAW preview") << "photo.dng" << false;
        // The switch keeps the loaded bitmap's size, which must stay the full one.
        QTest::newRow("JPEG under the RAW size switch") << "photo.jpg" << true;
    }

    void otherInputsConvertAsBefore() {
        QFETCH(QString, name);
        QFETCH(bool, keepDimensions);
        const QString source = in(name);
        if (name.endsWith(".dng")) {
            CameraRawSpec camera;
            camera.previewWidth = 640;
            camera.previewHeight = 480;
            QVERIFY(WriteMinimalDng(NativePath(source), camera));
        } else {
            const FREE_IMAGE_FORMAT format = name.endsWith(".png")   ? FIF_PNG
                                             : name.endsWith(".tif") ? FIF_TIFF
                                                                     : FIF_JPEG;
            QVERIFY(WriteImageFile(NativePath(source), format, 640, 480));
        }
        options.keepDimensions = keepDimensions;

        const BitmapHandle exact = convertWith(kFastOff, source, "exact.png", 1, 0, 40);
        const BitmapHandle fast = convertWith(kFastOn, source, "fast.png", 1, 0, 40);
        QVERIFY(exact);
        QVERIFY(fast);
        QVERIFY(SamePixels(*fast, *exact));
        if (keepDimensions) QCOMPARE(FreeImage_GetWidth(fast.get()), 640u);
    }
};

QTEST_GUILESS_MAIN(EngineFastDecodingTest)
#include "test_engine_fast_decoding.moc"
