// The checks before decoding read what the decoder will read: a JPEG frame behind stray bytes,
// the JPEG preview inside a camera RAW file, the memory a conversion really takes, and a cut
// camera header that the format detection would otherwise spin on.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "engine/convert/ImageAdmission.h"
#include "engine/convert/ImageConversion.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/run/ImageFileOperations.h"
#include "support/AdmissionFixtures.h"
#include "support/ConversionWorkspace.h"
#include "support/HostileFiles.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"

using namespace kavenra;
using namespace kavenra::test;
using kavenra::testing::ScopedEnvironment;

namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

QString Hostile(const char* name) {
    return QStringLiteral(KAVENRA_SOURCE_DIR "/tests/data/hostile/") + QLatin1String(name);
}

Bytes ProgressiveJpeg(std::uint16_t width, std::uint16_t height) {
    const BitmapHandle picture = MakeNaturalBitmap(64, 48);
    return WithFrameSize(EncodeImage(*picture, FIF_JPEG, JPEG_PROGRESSIVE), width, height);
}

// A picture whose header declares 30000 x 30000 pixels: 2.7 GB as a bitmap.
Bytes JpegBomb() {
    return ProgressiveJpeg(30000, 30000);
}

}  // namespace

class AdmissionTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> work;
    QString path(const QString& name) const { return work->filePath(name); }

    bool admitted(const Bytes& bytes, FREE_IMAGE_FORMAT expected, std::uint64_t memory) {
        const std::string file = NativePath(path("subject"));
        if (!WriteFileBytes(file, bytes)) return false;
        const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(file.c_str(), 0);
        if (format != expected) {
            qWarning("detected as %d", int(format));
            return false;
        }
        const ConversionRequest request =
            RequestFromEntryArguments(file, NativePath(path("output")), 1, 0, 100);
        return AdmitForLoading(format, ConversionJob{request, {}}, ConversionLimits{memory}) ==
               Admission::Admitted;
    }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }
    void init() {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(work->isValid());
    }
    void cleanup() { work.reset(); }

    void strayBytesBeforeTheFrame_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QByteArray>("stray");
        QTest::addColumn<bool>("admitted");
        const QByteArray zero(1, '\0');
        const QByteArray fillAndStuffed = QByteArray::fromHex("ffff00");
        for (const char* picture : {"5 components", "8 components"}) {
            QTest::addRow("%s, frame as written", picture) << picture << QByteArray() << false;
            QTest::addRow("%s, one 0x00 before the frame", picture) << picture << zero << false;
            QTest::addRow("%s, text before the frame", picture)
                << picture << QByteArray("junk") << false;
            QTest::addRow("%s, fill bytes and a stuffed 0xFF 0x00", picture)
                << picture << fillAndStuffed << false;
        }
        QTest::newRow("30000 x 30000 progressive, one 0x00 before the frame")
            << "bomb" << zero << false;
        QTest::newRow("30000 x 30000 progressive, text before the frame")
            << "bomb" << QByteArray("\x01\x02\x03") << false;
        QTest::newRow("colour photo, one 0x00 before the frame") << "photo" << zero << true;
        QTest::newRow("colour photo, fill bytes and a stuffed 0xFF 0x00")
            << "photo" << fillAndStuffed << true;
        QTest::newRow("3 components, one 0x00 before the frame") << "3 components" << zero << true;
    }

    // The decoder skips bytes before a marker; the checks must find the frame it goes on to
    // read, and judge the file by it: too many components, or too large for 1 GB.
    void strayBytesBeforeTheFrame() {
        QFETCH(QString, picture);
        QFETCH(QByteArray, stray);
        QFETCH(bool, admitted);
        Bytes jpeg;
        if (picture == "5 components") jpeg = ComponentsJpeg(5);
        if (picture == "8 components") jpeg = ComponentsJpeg(8);
        if (picture == "3 components") jpeg = ComponentsJpeg(3);
        if (picture == "bomb") jpeg = JpegBomb();
        if (picture == "photo") {
            jpeg = EncodeImage(*MakeNaturalBitmap(120, 90), FIF_JPEG, JPEG_QUALITYGOOD);
        }
        jpeg = WithBytesBeforeFrame(jpeg, Bytes(stray.begin(), stray.end()));
        QCOMPARE(this->admitted(jpeg, FIF_JPEG, kGiB), admitted);
    }

    void cameraPreviewComponents_data() {
        QTest::addColumn<QString>("preview");
        QTest::addColumn<bool>("admitted");
        QTest::newRow("photo preview") << "photo" << true;
        QTest::newRow("5-component preview") << "5 components" << false;
        QTest::newRow("8-component preview behind a 0x00") << "8 components, stray" << false;
        QTest::newRow("4-component preview") << "4 components" << true;
    }

    // A camera RAW file is loaded through its JPEG preview, which the JPEG checks judge too.
    void cameraPreviewComponents() {
        QFETCH(QString, preview);
        QFETCH(bool, admitted);
        CameraRawSpec camera;
        if (preview == "5 components") camera.previewJpeg = ComponentsJpeg(5, 160, 120);
        if (preview == "4 components") camera.previewJpeg = ComponentsJpeg(4, 160, 120);
        if (preview == "8 components, stray") {
            camera.previewJpeg = WithBytesBeforeFrame(ComponentsJpeg(8, 160, 120), {0});
        }
        QCOMPARE(this->admitted(MakeMinimalDng(camera), FIF_RAW, 0), admitted);
    }

    void cutRunLengthTarga_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("cut");  // where the file ends; "none": complete
        for (const int bits : {8, 24, 32}) {
            for (const char* cut : {"none", "in a raw packet", "in a run packet",
                                    "where a packet's count belongs", "one byte short"}) {
                QTest::addRow("%d bits, %s", bits, cut) << bits << QString(cut);
            }
        }
    }

    // FreeImage decodes the packets of a cut file from past the end of its buffer, a picture of
    // stray memory; such a file fails as incomplete before the load. A complete file converts
    // to exactly its pixels.
    void cutRunLengthTarga() {
        QFETCH(int, bits);
        QFETCH(QString, cut);
        RunLengthTarga targa = MakeRunLengthTarga(bits);
        Bytes& file = targa.file;
        if (cut == "in a raw packet")
            file.resize(targa.lastRawPacket + 1 + 4 * targa.bytesPerPixel);
        if (cut == "in a run packet") file.resize(targa.lastRunPacket + 1);
        if (cut == "where a packet's count belongs") file.resize(targa.lastRunPacket);
        if (cut == "one byte short") file.resize(file.size() - 1);
        const std::string source = NativePath(path("picture.tga"));
        QVERIFY(WriteFileBytes(source, file));
        QCOMPARE(FreeImage_GetFileType(source.c_str(), 0), FIF_TARGA);
        const bool complete = cut == "none";

        const ConversionRequest request =
            RequestFromEntryArguments(source, NativePath(path("out/picture.tga")), 1, 0, 16);
        QCOMPARE(AdmitForLoading(FIF_TARGA, ConversionJob{request, {}}, {}),
                 complete ? Admission::Admitted : Admission::Incomplete);

        QVERIFY(QDir(work->path()).mkpath("out"));
        const WorkerConversion converted =
            ConvertInWorker(path("picture.tga"), path("out/picture.tga"), 1, 0, 16);
        QCOMPARE(converted.committed, complete);
        if (!complete) {
            QCOMPARE(converted.failure, FailureReason::Incomplete);
            QVERIFY(
                QDir(path("out")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
            return;
        }
        const BitmapHandle input = LoadImageFile(source);
        const BitmapHandle output = LoadImageFile(NativePath(path("out/picture.tga")));
        QVERIFY(input && output);
        const BitmapHandle expected(FreeImage_ConvertTo32Bits(input.get()));
        const BitmapHandle got(FreeImage_ConvertTo32Bits(output.get()));
        QVERIFY(SamePixels(*expected, *got));
    }

    // The reproducers of the above through the worker: each a failed file, answered by the job
    // (not a crash), and the worker still converts.
    void reproducersFailWithoutCrashing_data() {
        QTest::addColumn<QString>("file");
        for (const char* name :
             {"jpeg5-stray-byte-before-frame.jpg", "jpeg8-stray-byte-before-frame.jpg",
              "jpeg-progressive-30000x30000-stray-byte-before-frame.jpg",
              "dng-preview-jpeg5-components.dng", "iiq-truncated-metadata-directory.iiq"}) {
            QTest::newRow(name) << Hostile(name);
        }
    }
    void reproducersFailWithoutCrashing() {
        QFETCH(QString, file);
        QVERIFY(QFileInfo::exists(file));
        QVERIFY(QDir(work->path()).mkpath("out"));
        const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_MEMORY_MB", "1024", true);
        const WorkerConversion conversion =
            ConvertInWorker(file, path("out/" + QFileInfo(file).fileName()), 1, 0, 100);
        QVERIFY(!conversion.committed);
        QCOMPARE(conversion.report.end, ImageJobEnd::Answered);
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(WriteImageFile(NativePath(path("control.png")), FIF_PNG, 40, 30));
        QVERIFY(ConvertImage(NativePath(path("control.png")), NativePath(path("out/control.png")),
                             1, 0, 20));
    }

    void whatFitsConverts_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QByteArray>("memoryMb");
        QTest::addColumn<bool>("converted");
        // 400 MB: less than a full sensor decode of the camera file, or a 32-bit rescale of the
        // JPEG at its own size, would take.
        for (const char* memory : {"1024", "400"}) {
            QTest::addRow("6000 x 4000 camera file with a 160 x 120 preview, %s MB", memory)
                << "dng" << QByteArray(memory) << true;
            QTest::addRow("24 MP JPEG, %s MB", memory) << "jpeg" << QByteArray(memory) << true;
        }
        QTest::newRow("decompression bomb, 1024 MB") << "bomb" << QByteArray("1024") << false;
    }

    // A camera file is costed by the preview it loads, and a rescale by what FreeImage
    // allocates; a picture that cannot fit is still refused before decoding.
    void whatFitsConverts() {
        QFETCH(QString, picture);
        QFETCH(QByteArray, memoryMb);
        QFETCH(bool, converted);
        const QString source = path("input");
        if (picture == "dng") {
            CameraRawSpec camera;
            camera.sensorWidth = 6000;
            camera.sensorHeight = 4000;
            QVERIFY(WriteMinimalDng(NativePath(source), camera));
        }
        if (picture == "jpeg") QVERIFY(WriteImageFile(NativePath(source), FIF_JPEG, 6000, 4000));
        if (picture == "bomb") QVERIFY(WriteFileBytes(NativePath(source), JpegBomb()));
        QVERIFY(QDir(work->path()).mkpath("out"));

        const ScopedEnvironment limit("KAVENRA_IMAGE_WORKER_MEMORY_MB", memoryMb, true);
        const WorkerConversion conversion =
            ConvertInWorker(source, path("out/output.jpg"), 1, 0, 100);
        QCOMPARE(conversion.committed, converted);
        QCOMPARE(conversion.report.end, ImageJobEnd::Answered);
        QCOMPARE(conversion.failure, converted ? FailureReason::None : FailureReason::TooLarge);
        if (!converted) return;
        const BitmapHandle output = LoadImageFile(NativePath(path("out/output.jpg")));
        QVERIFY(output);
        QCOMPARE(FreeImage_GetWidth(output.get()), 100u);
    }

    // The estimate for a camera file without a preview FreeImage can load is the sensor
    // decode's, and far above its preview's.
    void cameraFileIsCostedByWhatLoads() {
        CameraRawSpec camera;
        camera.sensorWidth = 3000;
        camera.sensorHeight = 2000;
        const std::string withPreview = NativePath(path("preview.dng"));
        QVERIFY(WriteMinimalDng(withPreview, camera));
        camera.previewJpeg = {0xFF, 0xD8, 0xFF, 0xD9};  // no frame: the JPEG load fails
        const std::string withoutPreview = NativePath(path("sensor.dng"));
        QVERIFY(WriteMinimalDng(withoutPreview, camera));

        const std::optional<DeclaredImage> preview = ReadDeclaredImage(FIF_RAW, withPreview);
        QVERIFY(preview);
        QCOMPARE(preview->width, 160u);
        QCOMPARE(preview->height, 120u);
        const std::optional<DeclaredImage> sensor = ReadDeclaredImage(FIF_RAW, withoutPreview);
        QVERIFY(sensor);
        QCOMPARE(sensor->width, 3000u);
        QCOMPARE(sensor->height, 2000u);
        const ConversionRequest request =
            RequestFromEntryArguments(withPreview, NativePath(path("out.jpg")), 1, 0, 100);
        QVERIFY(ConversionFootprint(FIF_RAW, *sensor, ConversionJob{request, {}}) > 6000u * 4000u);
        QVERIFY(ConversionFootprint(FIF_RAW, *preview, ConversionJob{request, {}}) < 4u << 20);
    }

    // A cut PhaseOne header is refused by the detection itself, which answers instead of
    // running into its time limit, and the worker goes on serving.
    void truncatedPhaseOneDetection() {
        const QString file = path("cut.iiq");
        QVERIFY(WriteFileBytes(NativePath(file), TruncatedPhaseOne()));
        QVERIFY(!PassesDetectionChecks(NativePath(file)));
        const IsolatedDetection detection = DetectIsolated(NativePath(file));
        QCOMPARE(detection.format, FIF_UNKNOWN);
        QCOMPARE(detection.report.end, ImageJobEnd::Answered);

        // Whole PhaseOne-like and camera files pass the check.
        Bytes whole = TruncatedPhaseOne();
        whole.resize(0x100000 + 64, 0);
        QVERIFY(WriteFileBytes(NativePath(path("whole.iiq")), whole));
        QVERIFY(PassesDetectionChecks(NativePath(path("whole.iiq"))));
        QVERIFY(WriteMinimalDng(NativePath(path("camera.dng"))));
        QVERIFY(PassesDetectionChecks(NativePath(path("camera.dng"))));
        QVERIFY(IsSupportedImage(NativePath(path("camera.dng"))));
    }
};

QTEST_GUILESS_MAIN(AdmissionTest)
#include "test_admission.moc"
