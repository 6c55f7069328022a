// Today's photo formats through the real main window: a list of a HEIC, an AVIF, a WebP and a
// JPEG file converted with every output format the options dialog offers. Each output has the
// name and content of its format, the size asked for, the picture upright, and (for HEIF and
// AVIF) the pixels of libheif's own command-line decoder resized the same way.

#include "support/DropFiles.h"
#include "support/HeifFiles.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/OrientedPicture.h"
#include "support/RunTicks.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Unit1.h"

#include <FreeImage.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;

namespace {

// The inputs show MakeQuadrantBitmap's picture at this size, upright.
constexpr int kWidth = 128;
constexpr int kHeight = 96;
// Converted at the longest side of 64.
const QSize kOutputSize(64, 48);

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

}  // namespace

class TestWindowPhotoFormats : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
    }
    void cleanup() { fixture_.reset(); }

    void everySaveAsChoiceConvertsTheList_data();
    void everySaveAsChoiceConvertsTheList();

  private:
    QStringList writeInputs();
    void runToTheEnd(const QStringList& entries, const QString& destination);
    // libheif's command-line decoder's picture of `heif`, resized as the run resizes.
    kavenra::BitmapHandle referenceDecode(const QString& heif);

    std::unique_ptr<MainWindowFixture> fixture_;
};

// A HEIC stored turned (orientation 6, with the boxes that turn it back), an AVIF stored upside
// down (3), a WebP and a JPEG, under names that say their formats.
QStringList TestWindowPhotoFormats::writeInputs() {
    QStringList paths;
    for (const auto& [name, codec, orientation] :
         {std::tuple<const char*, kavenra::test::HeifCodec, int>{"x.heic",
                                                                 kavenra::test::HeifCodec::Hevc, 6},
          {"y.avif", kavenra::test::HeifCodec::Av1, 3}}) {
        kavenra::test::HeifPicture picture;
        picture.codec = codec;
        picture.width = kWidth;
        picture.height = kHeight;
        picture.orientation = orientation;
        const kavenra::test::Bytes file = kavenra::test::MakeHeifFile(picture);
        const QString path = fixture_->imagePath(QString::fromLatin1(name));
        if (file.empty() || !kavenra::test::WriteFileBytes(kavenra::test::NativePath(path), file))
            return {};
        paths << path;
    }
    const kavenra::BitmapHandle quadrants = kavenra::test::MakeQuadrantBitmap(kWidth, kHeight);
    for (const auto& [name, format, flags] :
         {std::tuple<const char*, FREE_IMAGE_FORMAT, int>{"z.webp", FIF_WEBP, 95},
          {"w.jpg", FIF_JPEG, JPEG_QUALITYSUPERB}}) {
        const QString path = fixture_->imagePath(QString::fromLatin1(name));
        if (!kavenra::test::SaveBitmapFile(*quadrants, format, kavenra::test::NativePath(path),
                                           flags))
            return {};
        paths << path;
    }
    return paths;
}

void TestWindowPhotoFormats::runToTheEnd(const QStringList& entries, const QString& destination) {
    QVERIFY(DropFiles(Form1->ListBox1, entries).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QCOMPARE(Form1->ListBox1->count(), entries.size());
    if (!Form1->CheckBox1->isChecked()) click(Form1->CheckBox1);
    Form1->Edit4->setText(QString::number(kOutputSize.width()));
    Form1->Edit3->setText(destination);
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button3);  // the completion's question
    click(Form1->Button3);
    QVERIFY(Form1->Button4->isVisible());
    Form1->Timer1->stop();
    for (int tick = 0; tick <= entries.size(); ++tick) QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(Form1->Button3->isVisible());
    QCOMPARE(answers.msgBoxes().size(), 1);
    // Every file converted: the completion says so without a summary of failures.
    QCOMPARE(answers.msgBoxes().first().text, MainWindowFixture::Text(1, "Texto_redimension2"));
}

kavenra::BitmapHandle TestWindowPhotoFormats::referenceDecode(const QString& heif) {
    const QString png = fixture_->imagePath(QFileInfo(heif).completeBaseName() + ".ref.png");
    QProcess decoder;
    decoder.start(QStringLiteral("heif-convert"), {heif, png});
    if (!decoder.waitForFinished(60000) || decoder.exitCode() != 0) return {};
    const kavenra::BitmapHandle decoded =
        kavenra::test::LoadImageFile(kavenra::test::NativePath(png));
    QFile::remove(png);
    if (!decoded) return {};
    // The options' initial filter, Catmull-Rom.
    return kavenra::BitmapHandle(FreeImage_Rescale(decoded.get(), kOutputSize.width(),
                                                   kOutputSize.height(), FILTER_CATMULLROM));
}

void TestWindowPhotoFormats::everySaveAsChoiceConvertsTheList_data() {
    QTest::addColumn<QString>("choice");     // the options dialog's "Save as" button
    QTest::addColumn<QStringList>("names");  // the outputs of x.heic, y.avif, z.webp, w.jpg
    QTest::addColumn<QList<int>>("formats");
    // Against the reference decode, for the HEIF and AVIF inputs. WebP's initial quality (80)
    // halves the colour's resolution, which costs the quadrants' edges more.
    QTest::addColumn<double>("minimumPsnr");
    const QList<int> jpeg{FIF_JPEG, FIF_JPEG, FIF_JPEG, FIF_JPEG};
    QTest::newRow("the original's format")
        << "saveAsOriginalButton" << QStringList{"x.jpg", "y.jpg", "z.webp", "w.jpg"}
        << QList<int>{FIF_JPEG, FIF_JPEG, FIF_WEBP, FIF_JPEG} << 40.0;
    QTest::newRow("JPEG") << "saveAsJpegButton" << QStringList{"x.jpg", "y.jpg", "z.jpg", "w.jpg"}
                          << jpeg << 40.0;
    QTest::newRow("PNG") << "saveAsPngButton" << QStringList{"x.png", "y.png", "z.png", "w.png"}
                         << QList<int>{FIF_PNG, FIF_PNG, FIF_PNG, FIF_PNG} << 40.0;
    QTest::newRow("WebP") << "saveAsWebpButton"
                          << QStringList{"x.webp", "y.webp", "z.webp", "w.webp"}
                          << QList<int>{FIF_WEBP, FIF_WEBP, FIF_WEBP, FIF_WEBP} << 28.0;
    QTest::newRow("TIFF") << "saveAsTiffButton" << QStringList{"x.tif", "y.tif", "z.tif", "w.tif"}
                          << QList<int>{FIF_TIFF, FIF_TIFF, FIF_TIFF, FIF_TIFF} << 40.0;
}

void TestWindowPhotoFormats::everySaveAsChoiceConvertsTheList() {
    QFETCH(QString, choice);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, formats);
    QFETCH(double, minimumPsnr);
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("heif-convert")).isEmpty(),
             "heif-convert is missing: the install script installs libheif-examples");
    const QStringList inputs = writeInputs();
    QCOMPARE(inputs.size(), 4);
    auto* button = Form3->findChild<QRadioButton*>(choice);
    QVERIFY(button);
    button->setChecked(true);
    const QString destination = fixture_->imagePath(QStringLiteral("RES/"));

    runToTheEnd(inputs, destination);
    if (QTest::currentTestFailed()) return;

    QStringList expected = names;
    expected.sort();
    QCOMPARE(QDir(destination).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    for (int i = 0; i < names.size(); ++i) {
        const std::string output = kavenra::test::NativePath(destination + names[i]);
        QCOMPARE(int(FreeImage_GetFileType(output.c_str(), 0)), formats[i]);
        const kavenra::BitmapHandle picture = kavenra::test::LoadImageFile(output);
        QVERIFY2(picture, qPrintable(names[i]));
        QCOMPARE(
            QSize(int(FreeImage_GetWidth(picture.get())), int(FreeImage_GetHeight(picture.get()))),
            kOutputSize);
        const QString mismatch = kavenra::test::QuadrantMismatch(*picture);
        QVERIFY2(mismatch.isEmpty(), qPrintable(names[i] + QStringLiteral(": ") + mismatch));
        if (i < 2) {
            const kavenra::BitmapHandle reference = referenceDecode(inputs[i]);
            QVERIFY2(reference, qPrintable(inputs[i]));
            const double psnr = kavenra::test::PeakSignalToNoise(*reference, *picture);
            qInfo("%s against the reference decode: %.1f dB", qPrintable(names[i]), psnr);
            QVERIFY2(psnr >= minimumPsnr,
                     qPrintable(QStringLiteral("%1: %2 dB").arg(names[i]).arg(psnr)));
        }
    }
}

KAVENRA_WINDOW_TEST_MAIN(TestWindowPhotoFormats)
#include "test_window_photo_formats.moc"
