// Saves that count only when the written file reads back, a full disk that fails the file, and
// the header checks that refuse a file before FreeImage decodes it.

#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "engine/ConversionSettings.h"
#include "engine/ImageAdmission.h"
#include "engine/ImageConversion.h"
#include "engine/Procesosimagen.h"
#include "engine/ReplacingSave.h"
#include "support/HostileFiles.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"

using namespace kavenra;
using namespace kavenra::test;

namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A 48-bit colour bitmap (16 bits per channel), as 16-bit PNG and TIFF files load.
BitmapHandle MakeRgb16Bitmap(int width, int height) {
    BitmapHandle bitmap(FreeImage_AllocateT(FIT_RGB16, width, height));
    if (!bitmap) return bitmap;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(bitmap.get(), y));
        for (int x = 0; x < width; ++x) {
            line[x] = FIRGB16{WORD(x * 900), WORD(y * 1300), WORD((x + y) * 500)};
        }
    }
    return bitmap;
}

// Writes beyond `bytes` fail for this process and, through the file-size limit the program
// hands on, for the image worker writing on its behalf; the signal that would end either is
// ignored meanwhile.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

FREE_IMAGE_FORMAT FormatNamed(const QString& name) {
    static const QHash<QString, FREE_IMAGE_FORMAT> formats = {{"bmp", FIF_BMP},
                                                              {"jpeg", FIF_JPEG},
                                                              {"png", FIF_PNG},
                                                              {"tga", FIF_TARGA},
                                                              {"tif", FIF_TIFF}};
    return formats.value(name, FIF_UNKNOWN);
}

}  // namespace

class IsolationSavesTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> work;
    QString path(const QString& name) const { return work->filePath(name); }

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }
    void init() {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(work->isValid());
    }
    void cleanup() {
        SetConversionSettingsProvider({});
        work.reset();
    }

    void savedFileMustReadBack_data() {
        QTest::addColumn<QString>("bitmap");  // "rgb16", "grey", "colour"
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("saved");

        // FreeImage reports these as saved but cannot read what it wrote.
        QTest::newRow("48-bit as BMP") << "rgb16" << int(FIF_BMP) << 0 << false;
        QTest::newRow("48-bit as TARGA") << "rgb16" << int(FIF_TARGA) << 0 << false;
        QTest::newRow("48-bit as PNG") << "rgb16" << int(FIF_PNG) << 0 << true;
        QTest::newRow("48-bit as TIFF") << "rgb16" << int(FIF_TIFF) << int(TIFF_LZW) << true;
        // Debian's FreeImage cannot decode RLE8, not even its own: the header decides.
        QTest::newRow("8-bit RLE BMP") << "grey" << int(FIF_BMP) << int(BMP_SAVE_RLE) << true;
        QTest::newRow("24-bit JPEG") << "colour" << int(FIF_JPEG) << int(JPEG_QUALITYGOOD) << true;
        QTest::newRow("24-bit RLE TARGA")
            << "colour" << int(FIF_TARGA) << int(TARGA_SAVE_RLE) << true;
    }

    // A save that does not read back fails and leaves the earlier file as it was.
    void savedFileMustReadBack() {
        QFETCH(QString, bitmap);
        QFETCH(int, format);
        QFETCH(int, flags);
        QFETCH(bool, saved);
        const BitmapHandle picture = bitmap == "rgb16"  ? MakeRgb16Bitmap(30, 20)
                                     : bitmap == "grey" ? MakeGreyBitmap(30, 20)
                                                        : MakeNaturalBitmap(30, 20);
        QVERIFY(picture);
        const QByteArray earlier = "the earlier result\n";
        QVERIFY(WriteBytes(path("picture"), earlier));

        QCOMPARE(
            SaveReplacingFile(FREE_IMAGE_FORMAT(format), *picture, Native(path("picture")), flags),
            saved);

        QCOMPARE(Listing(work->path()), QStringList{"picture"});
        if (!saved) {
            QCOMPARE(Contents(path("picture")), earlier);
            return;
        }
        const BitmapHandle header = LoadImageFile(Native(path("picture")), FIF_LOAD_NOPIXELS);
        QVERIFY(header);
        QCOMPARE(FreeImage_GetWidth(header.get()), 30u);
        QCOMPARE(FreeImage_GetHeight(header.get()), 20u);
    }

    void fullDiskFailsTheFile_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("limit");  // bytes a file may grow to
        QTest::addColumn<bool>("converted");
        for (const char* format : {"bmp", "jpeg", "png", "tga", "tif", "raw"}) {
            QTest::addRow("%s, disk full after 2 KB", format) << format << 2048 << false;
            QTest::addRow("%s, room enough", format) << format << 1024 * 1024 << true;
        }
    }

    // The worker writes under the program's file-size limit, the way a full disk refuses writes:
    // the file fails, nothing truncated is left and the earlier file stays whole.
    void fullDiskFailsTheFile() {
        QFETCH(QString, format);
        QFETCH(int, limit);
        QFETCH(bool, converted);
        QVERIFY(QDir(work->path()).mkpath("out"));
        const QString source = path("input." + format);
        if (format == "raw") {
            QVERIFY(WriteMinimalDng(Native(source)));
        } else {
            QVERIFY(WriteImageFile(Native(source), FormatNamed(format), 200, 150));
        }
        const QString target = path(format == "raw" ? "out/input.jpg" : "out/input." + format);
        const QByteArray earlier = "the earlier result\n";
        QVERIFY(WriteBytes(target, earlier));
        // A worker already running: the limit must reach it with the call.
        QVERIFY(IsSupportedImage(Native(source)));

        bool result = !converted;
        {
            const FileSizeLimit full{rlim_t(limit)};
            result = ConvertImage(Native(source), Native(path("out/input." + format)), 0, 150, 200);
        }
        QCOMPARE(result, converted);
        QCOMPARE(Listing(path("out")), QStringList{QFileInfo(target).fileName()});
        if (!converted) {
            QCOMPARE(Contents(target), earlier);
            return;
        }
        const BitmapHandle header = LoadImageFile(Native(target), FIF_LOAD_NOPIXELS);
        QVERIFY(header);
        QCOMPARE(FreeImage_GetWidth(header.get()), 200u);
    }

    void structuralChecks_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("admitted");

        QTest::newRow("TARGA of 69 bytes declaring 22627 x 26435") << "oversized tga" << false;
        QTest::newRow("RLE TARGA complete") << "rle tga" << true;
        QTest::newRow("RLE TARGA cut to its header") << "rle tga cut to header" << false;
        QTest::newRow("plain TARGA one byte short") << "plain tga short" << false;
        QTest::newRow("TARGA of an image type the loader lacks") << "tga type 137" << false;
        QTest::newRow("plain BMP complete") << "bmp" << true;
        QTest::newRow("plain BMP without the last row's padding") << "bmp unpadded" << true;
        QTest::newRow("plain BMP one row short") << "bmp row short" << false;
        QTest::newRow("RLE BMP cut short: its codes may skip") << "rle bmp cut" << true;
        QTest::newRow("JPEG with 9 components") << "nine components" << false;
        QTest::newRow("JPEG greyscale") << "grey jpeg" << true;
        QTest::newRow("JPEG colour") << "colour jpeg" << true;
        QTest::newRow("JPEG progressive") << "progressive jpeg" << true;
        QTest::newRow("ICO complete") << "ico" << true;
        QTest::newRow("ICO without its last rows") << "ico cut" << false;
        QTest::newRow("ICO of its directory alone") << "ico directory" << false;
    }

    // Files that FreeImage's loaders would spin on, fill with stale memory or overrun are
    // refused before the load; well-formed ones pass.
    void structuralChecks() {
        QFETCH(QString, kind);
        QFETCH(bool, admitted);
        const QString file = path("subject");
        const std::string native = Native(file);
        // 61 x 40 at 24 bits: rows of 183 bytes, padded to 184.
        const BitmapHandle colour = MakeNaturalBitmap(61, 40);
        Bytes bytes;
        if (kind == "oversized tga") bytes = ToBytes(kavenra::testing::OversizedTarga());
        if (kind.startsWith("rle tga")) bytes = EncodeImage(*colour, FIF_TARGA, TARGA_SAVE_RLE);
        if (kind == "rle tga cut to header") bytes.resize(18);
        if (kind == "plain tga short") {
            bytes = EncodeImage(*colour, FIF_TARGA, TARGA_DEFAULT);
            bytes.resize(18 + 61 * 40 * 3 - 1);
        }
        if (kind == "tga type 137") {
            bytes = EncodeImage(*colour, FIF_TARGA, TARGA_DEFAULT);
            bytes[2] = 137;  // the footer still names the file TARGA
        }
        if (kind.startsWith("bmp")) bytes = EncodeImage(*colour, FIF_BMP, BMP_DEFAULT);
        if (kind == "bmp unpadded") bytes.resize(bytes.size() - 1);
        if (kind == "bmp row short") bytes.resize(bytes.size() - 184);
        if (kind == "rle bmp cut") {
            bytes = EncodeImage(*MakeGreyBitmap(61, 40), FIF_BMP, BMP_SAVE_RLE);
            bytes.resize(bytes.size() / 2);
        }
        if (kind == "nine components") bytes = ToBytes(kavenra::testing::ManyComponentJpeg());
        if (kind == "grey jpeg") bytes = EncodeImage(*MakeGreyBitmap(61, 40), FIF_JPEG, 0);
        if (kind == "colour jpeg") bytes = EncodeImage(*colour, FIF_JPEG, 0);
        if (kind == "progressive jpeg") bytes = EncodeImage(*colour, FIF_JPEG, JPEG_PROGRESSIVE);
        if (kind.startsWith("ico")) bytes = EncodeImage(*MakeNaturalBitmap(32, 32), FIF_ICO, 0);
        if (kind == "ico cut") bytes.resize(bytes.size() - 32 * 4 * 4);  // mask and 3 rows
        if (kind == "ico directory") bytes.resize(6 + 16);
        QVERIFY(WriteFileBytes(native, bytes));

        const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(native.c_str(), 0);
        QVERIFY(format != FIF_UNKNOWN);
        const ConversionRequest request =
            RequestFromEntryArguments(native, Native(path("output")), 1, 0, 30);
        QCOMPARE(AdmitForLoading(format, request, {}), admitted);
    }

    void declaredSizeMustFitTheMemory_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("budgetMb");  // 0: no bound
        QTest::addColumn<bool>("admitted");
        QTest::newRow("6000 x 6000 grey, no bound") << 6000 << 0 << true;
        QTest::newRow("6000 x 6000 grey, 2 GB") << 6000 << 2048 << true;
        QTest::newRow("6000 x 6000 grey, 100 MB") << 6000 << 100 << false;
        QTest::newRow("600 x 600 grey, 100 MB") << 600 << 100 << true;
    }

    // Judged from the header alone: the grey picture grows to true colour in the rescale.
    void declaredSizeMustFitTheMemory() {
        QFETCH(int, side);
        QFETCH(int, budgetMb);
        QFETCH(bool, admitted);
        const BitmapHandle grey(FreeImage_Allocate(side, side, 8));
        QVERIFY(grey);
        QVERIFY(SaveBitmapFile(*grey, FIF_PNG, Native(path("flat.png")), PNG_Z_BEST_SPEED));
        const ConversionRequest request =
            RequestFromEntryArguments(Native(path("flat.png")), Native(path("out.png")), 1, 0, 100);
        const ConversionLimits limits{std::uint64_t(budgetMb) << 20};
        QCOMPARE(AdmitForLoading(FIF_PNG, request, limits), admitted);
    }

    // A header that FreeImage cannot read without pixels leaves the decision to the full load.
    void unreadableHeaderIsLeftToTheLoad() {
        QVERIFY(WriteImageFile(Native(path("anim.gif")), FIF_GIF, 40, 30));
        QVERIFY(!FreeImage_FIFSupportsNoPixels(FIF_GIF));
        const ConversionRequest request =
            RequestFromEntryArguments(Native(path("anim.gif")), Native(path("out.gif")), 1, 0, 10);
        QVERIFY(AdmitForLoading(FIF_GIF, request, ConversionLimits{1}));
    }

  private:
    static Bytes ToBytes(const QByteArray& bytes) { return Bytes(bytes.begin(), bytes.end()); }
};

QTEST_GUILESS_MAIN(IsolationSavesTest)
#include "test_isolation_saves.moc"
