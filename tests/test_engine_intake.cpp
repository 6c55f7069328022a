// The digit test of the size fields and the type test of the image list, on real files: the six
// accepted formats by content whatever the name, the generated camera RAW file, and the real
// camera files when the shared fixtures are present.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "engine/base/OptionsFromCodes.h"
#include "engine/run/ImageFileOperations.h"
#include "support/FileContents.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"

using namespace kavenra;
using namespace kavenra::test;

using kavenra::testing::WriteFileContents;

namespace {

QString CameraFolder() {
    return QStringLiteral(KAVENRA_FIXTURES_DIR) + "/camera-raw";
}

}  // namespace

class EngineIntakeTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> work;

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }
    void init() {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(work->isValid());
    }
    void cleanup() { work.reset(); }

    void isAllDigits_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");

        QTest::newRow("empty text") << "" << true;
        QTest::newRow("all ten digits") << "0123456789" << true;
        QTest::newRow("leading zeros") << "0800" << true;
        QTest::newRow("letter") << "12a" << false;
        QTest::newRow("leading blank") << " 12" << false;
        QTest::newRow("trailing blank") << "12 " << false;
        QTest::newRow("minus sign") << "-5" << false;
        QTest::newRow("plus sign") << "+5" << false;
        QTest::newRow("decimal separator") << "1.5" << false;
        QTest::newRow("thousands separator") << "1,024" << false;
        QTest::newRow("fullwidth digits") << QString::fromUtf8("\uFF11\uFF12") << false;
        QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("\u0663") << false;
        QTest::newRow("superscript two") << QString::fromUtf8("\u00B2") << false;
        QTest::newRow("no-break space") << QString::fromUtf8("1\u00A0") << false;
    }

    void isAllDigits() {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(IsAllDigits(text), expected);
    }

    void isSupportedImage_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");

        QTest::newRow("BMP") << "bmp"
                             << "a.bmp" << true;
        QTest::newRow("JPEG") << "jpeg"
                              << "a.jpg" << true;
        QTest::newRow("PNG") << "png"
                             << "a.png" << true;
        QTest::newRow("TARGA") << "tga"
                               << "a.tga" << true;
        QTest::newRow("TIFF") << "tif"
                              << "a.tif" << true;
        QTest::newRow("camera RAW (DNG)") << "raw"
                                          << "a.dng" << true;
        QTest::newRow("PNG named .gif") << "png"
                                        << "a.gif" << true;
        QTest::newRow("JPEG without extension") << "jpeg"
                                                << "photo" << true;
        QTest::newRow("GIF") << "gif"
                             << "a.gif" << false;
        QTest::newRow("GIF named .png") << "gif"
                                        << "a.png" << false;
        QTest::newRow("PPM") << "ppm"
                             << "a.ppm" << false;
        QTest::newRow("ICO") << "ico"
                             << "a.ico" << false;
        QTest::newRow("text named .jpg") << "text"
                                         << "a.jpg" << false;
        QTest::newRow("empty file named .png") << "empty"
                                               << "a.png" << false;
        QTest::newRow("missing file") << "missing"
                                      << "a.png" << false;
        QTest::newRow("a folder named .jpg") << "folder"
                                             << "a.jpg" << false;
    }

    void isSupportedImage() {
        QFETCH(QString, content);
        QFETCH(QString, name);
        QFETCH(bool, expected);

        static const QHash<QString, FREE_IMAGE_FORMAT> formats = {
            {"bmp", FIF_BMP},  {"jpeg", FIF_JPEG}, {"png", FIF_PNG},    {"tga", FIF_TARGA},
            {"tif", FIF_TIFF}, {"gif", FIF_GIF},   {"ppm", FIF_PPMRAW}, {"ico", FIF_ICO}};
        const QString path = work->filePath(name);
        if (formats.contains(content)) {
            QVERIFY(WriteImageFile(NativePath(path), formats.value(content), 32, 32));
        } else if (content == "raw") {
            QVERIFY(WriteMinimalDng(NativePath(path)));
        } else if (content == "text") {
            QVERIFY(WriteFileContents(path, "Dear diary,\n"));
        } else if (content == "empty") {
            QVERIFY(WriteFileContents(path, ""));
        } else if (content == "folder") {
            QVERIFY(QDir().mkpath(path));
        }
        QCOMPARE(IsSupportedImage(NativePath(path)), expected);
    }

    // The generator's file is camera RAW to FreeImage, not TIFF, and RAW_PREVIEW gives its
    // embedded preview rather than a decode of the sensor data.
    void generatedDngIsACameraRawFileWithPreview() {
        const CameraRawSpec camera;
        const QString path = work->filePath("IMG_0001.dng");
        QVERIFY(WriteMinimalDng(NativePath(path), camera));

        QCOMPARE(FreeImage_GetFileType(NativePath(path).c_str(), 0), FIF_RAW);
        const BitmapHandle preview(FreeImage_Load(FIF_RAW, NativePath(path).c_str(), RAW_PREVIEW));
        QVERIFY(preview);
        QCOMPARE(int(FreeImage_GetWidth(preview.get())), camera.previewWidth);
        QCOMPARE(int(FreeImage_GetHeight(preview.get())), camera.previewHeight);
        const BitmapHandle embedded = DecodeImage(MakeDngPreview(camera), JPEG_EXIFROTATE);
        QVERIFY(embedded);
        QVERIFY(SamePixels(*preview, *embedded));

        const BitmapHandle decoded(FreeImage_Load(FIF_RAW, NativePath(path).c_str(), 0));
        QVERIFY(decoded);
        QVERIFY(int(FreeImage_GetWidth(decoded.get())) != camera.previewWidth);
    }

    void cameraFiles_data() {
        QTest::addColumn<QString>("path");
        const QDir folder(CameraFolder());
        if (!folder.exists()) QSKIP("no camera RAW fixtures beside the repository");
        const QStringList names = folder.entryList({"*"}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            if (name != "README.md") QTest::newRow(qPrintable(name)) << folder.filePath(name);
        }
    }

    // Real camera files are listed as RAW; converting one either writes its preview as a .jpg of
    // the preview's size or, where FreeImage cannot load it, fails and writes nothing.
    void cameraFiles() {
        QFETCH(QString, path);
        QCOMPARE(FreeImage_GetFileType(NativePath(path).c_str(), 0), FIF_RAW);
        QVERIFY(IsSupportedImage(NativePath(path)));

        // Keeps the loaded size of every picture: the switch a RAW-only list may turn on.
        ConversionOptions keep;
        keep.keepDimensions = true;
        const BitmapHandle preview(FreeImage_Load(FIF_RAW, NativePath(path).c_str(), RAW_PREVIEW));
        const QString name = QFileInfo(path).fileName();
        const bool converted =
            ConvertImage(NativePath(path), NativePath(work->filePath(name)), 0, 0, 0, keep);

        QCOMPARE(converted, preview != nullptr);
        const QStringList written =
            QDir(work->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        if (!converted) {
            QCOMPARE(written, QStringList{});
            return;
        }
        const QString output = QFileInfo(path).completeBaseName() + ".jpg";
        QCOMPARE(written, QStringList{output});
        const BitmapHandle result = LoadImageFile(NativePath(work->filePath(output)));
        QVERIFY(result);
        QCOMPARE(FreeImage_GetWidth(result.get()), FreeImage_GetWidth(preview.get()));
        QCOMPARE(FreeImage_GetHeight(result.get()), FreeImage_GetHeight(preview.get()));
    }
};

QTEST_GUILESS_MAIN(EngineIntakeTest)
#include "test_engine_intake.moc"
