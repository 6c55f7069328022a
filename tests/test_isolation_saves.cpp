// Saves that count only when the written file reads back, a full disk that fails the file, and
// the header checks that refuse a file before FreeImage decodes it; what a save leaves to others
// meanwhile (the temporary file's permissions, the files of a save whose program died) and a
// save into a folder that refuses new files.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ImageAdmission.h"
#include "engine/convert/ImageConversion.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/output/ReplacingSave.h"
#include "engine/output/ReplacingSaveLeftovers.h"
#include "engine/run/ImageFileOperations.h"
#include "support/CreationWatch.h"
#include "support/FileContents.h"
#include "support/FileSizeLimit.h"
#include "support/HostileFiles.h"
#include "support/HostileWorkerProbe.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/OrdinaryUser.h"

using namespace kavenra;
using namespace kavenra::test;
using kavenra::testing::CreationWatch;
using kavenra::testing::ImageJobProcess;
using kavenra::testing::LoadSaveHoldIntoWorkers;
using kavenra::testing::OrdinaryUser;
using kavenra::testing::OrdinaryUserForTests;
using kavenra::testing::RunAsOrdinaryUser;
using kavenra::testing::SaveHold;
using kavenra::testing::WaitForProcessStop;

using kavenra::testing::FileSizeLimit;

using kavenra::testing::FileContents;
using kavenra::testing::WriteFileContents;

namespace {

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
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

FREE_IMAGE_FORMAT FormatNamed(const QString& name) {
    static const QHash<QString, FREE_IMAGE_FORMAT> formats = {{"bmp", FIF_BMP},
                                                              {"jpeg", FIF_JPEG},
                                                              {"png", FIF_PNG},
                                                              {"tga", FIF_TARGA},
                                                              {"tif", FIF_TIFF}};
    return formats.value(name, FIF_UNKNOWN);
}

// A process id that named a process a moment ago and names none now.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// A child that waits until it is ended, together with this object.
class WaitingProcess {
  public:
    WaitingProcess() : pid_(fork()) {
        if (pid_ == 0) {
            pause();
            _exit(0);
        }
    }
    ~WaitingProcess() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    WaitingProcess(const WaitingProcess&) = delete;
    WaitingProcess& operator=(const WaitingProcess&) = delete;
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_;
};

// Sets the umask for its lifetime.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : previous_(umask(mask)) {}
    ~ScopedUmask() { umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t previous_;
};

std::uint32_t LittleEndian32(const QByteArray& bytes, int at) {
    return std::uint32_t(std::uint8_t(bytes[at])) |
           std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
}

// An 8-bit grey picture whose rows the RLE8 writer codes as absolute runs of odd length (3 and 5
// pixels) between runs of alike pixels: each absolute run ends with a pad byte.
BitmapHandle MakeOddRunsBitmap(int width, int height) {
    BitmapHandle bitmap(FreeImage_Allocate(width, height, 8));
    if (!bitmap) return bitmap;
    RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
    for (int i = 0; i < 256; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    static const BYTE pattern[] = {10, 20, 30, 40, 40, 40, 40, 40, 50, 60, 70, 80, 90, 99, 99, 99};
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap.get(), y);
        for (int x = 0; x < width; ++x) line[x] = BYTE(pattern[x % 16] + y);
    }
    return bitmap;
}

// The values of every pad byte after an odd absolute run in the RLE8 codes of a BMP file.
std::vector<int> RunPadBytes(const QByteArray& file) {
    std::vector<int> pads;
    const auto byte = [&](int at) { return static_cast<unsigned char>(file.at(at)); };
    for (int at = int(LittleEndian32(file, 10)); at + 1 < file.size();) {
        const int count = byte(at);
        const int code = byte(at + 1);
        at += 2;
        if (count != 0 || code == 0) continue;  // a run, or the end of a line
        if (code == 1) break;                   // the end of the picture
        if (code == 2) {                        // a delta and its offsets
            at += 2;
            continue;
        }
        at += code;
        if (code % 2 == 1 && at < file.size()) pads.push_back(byte(at++));
    }
    return pads;
}

// Leaves a freed block of `size` bytes filled with `fill` where the next allocation of that
// size is likely to come from, as a writer's uninitialised buffer would show it.
void LeaveFreedBlock(std::size_t size, unsigned char fill) {
    void* block = std::malloc(size);
    if (block == nullptr) return;
    std::memset(block, fill, size);
    // Keeps the compiler from dropping the fill of a block that is freed at once.
    asm volatile("" : : "r"(block) : "memory");
    std::free(block);
}

// A group other than this process's own that it may give its files to: any group for the
// superuser, else one of its supplementary groups; its own group when there is none.
gid_t AnotherGroup() {
    if (geteuid() == 0) return 65534;
    gid_t groups[256];
    const int count = getgroups(256, groups);
    for (int i = 0; i < count; ++i) {
        if (groups[i] != getegid()) return groups[i];
    }
    return getegid();
}

struct stat StatOf(const QString& path) {
    struct stat info {};
    lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

}  // namespace

class IsolationSavesTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> work;
    QString path(const QString& name) const { return work->filePath(name); }

  private slots:
    void initTestCase() {
        InitialiseFreeImageOnce();
        LoadSaveHoldIntoWorkers();
    }
    void init() {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(work->isValid());
    }
    void cleanup() { work.reset(); }

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
        QVERIFY(WriteFileContents(path("picture"), earlier));

        QCOMPARE(SaveReplacingFile(FREE_IMAGE_FORMAT(format), *picture, NativePath(path("picture")),
                                   flags),
                 saved);

        QCOMPARE(Listing(work->path()), QStringList{"picture"});
        if (!saved) {
            QCOMPARE(FileContents(path("picture")), earlier);
            return;
        }
        const BitmapHandle header = LoadImageFile(NativePath(path("picture")), FIF_LOAD_NOPIXELS);
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
            QVERIFY(WriteMinimalDng(NativePath(source)));
        } else {
            QVERIFY(WriteImageFile(NativePath(source), FormatNamed(format), 200, 150));
        }
        const QString target = path(format == "raw" ? "out/input.jpg" : "out/input." + format);
        const QByteArray earlier = "the earlier result\n";
        QVERIFY(WriteFileContents(target, earlier));
        // A worker already running: the limit must reach it with the call.
        QVERIFY(ConvertImage(NativePath(source), NativePath(path("running." + format)), 0, 15, 20));

        bool result = !converted;
        {
            const FileSizeLimit full{rlim_t(limit)};
            result = ConvertImage(NativePath(source), NativePath(path("out/input." + format)), 0,
                                  150, 200);
        }
        QCOMPARE(result, converted);
        QCOMPARE(Listing(path("out")), QStringList{QFileInfo(target).fileName()});
        if (!converted) {
            QCOMPARE(FileContents(target), earlier);
            return;
        }
        const BitmapHandle header = LoadImageFile(NativePath(target), FIF_LOAD_NOPIXELS);
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
        const std::string native = NativePath(file);
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
            RequestFromEntryArguments(native, NativePath(path("output")), 1, 0, 30);
        QCOMPARE(AdmitForLoading(format, ConversionJob{request, {}}, {}) == Admission::Admitted,
                 admitted);
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
        QVERIFY(SaveBitmapFile(*grey, FIF_PNG, NativePath(path("flat.png")), PNG_Z_BEST_SPEED));
        const ConversionRequest request = RequestFromEntryArguments(
            NativePath(path("flat.png")), NativePath(path("out.png")), 1, 0, 100);
        const ConversionLimits limits{std::uint64_t(budgetMb) << 20};
        QCOMPARE(
            AdmitForLoading(FIF_PNG, ConversionJob{request, {}}, limits) == Admission::Admitted,
            admitted);
    }

    // A header that FreeImage cannot read without pixels leaves the decision to the full load.
    void unreadableHeaderIsLeftToTheLoad() {
        QVERIFY(WriteImageFile(NativePath(path("anim.gif")), FIF_GIF, 40, 30));
        QVERIFY(!FreeImage_FIFSupportsNoPixels(FIF_GIF));
        const ConversionRequest request = RequestFromEntryArguments(
            NativePath(path("anim.gif")), NativePath(path("out.gif")), 1, 0, 10);
        QCOMPARE(AdmitForLoading(FIF_GIF, ConversionJob{request, {}}, ConversionLimits{1}),
                 Admission::Admitted);
    }

    void bmpHeaderStatesTheFile_data() {
        QTest::addColumn<QString>("bitmap");  // "grey" (8 bits, palette), "colour" (24 bits)
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("compressed");
        QTest::newRow("8-bit RLE") << "grey" << int(BMP_SAVE_RLE) << true;
        QTest::newRow("8-bit") << "grey" << int(BMP_DEFAULT) << false;
        QTest::newRow("24-bit") << "colour" << int(BMP_DEFAULT) << false;
    }

    // The header's file size is the file's length and a compressed picture states the size of
    // its pixel data, as other readers require; the file reads back, header and pixels.
    void bmpHeaderStatesTheFile() {
        QFETCH(QString, bitmap);
        QFETCH(int, flags);
        QFETCH(bool, compressed);
        const BitmapHandle picture =
            bitmap == "grey" ? MakeGreyBitmap(30, 20) : MakeNaturalBitmap(30, 20);
        QVERIFY(picture);
        QVERIFY(SaveReplacingFile(FIF_BMP, *picture, NativePath(path("picture.bmp")), flags));

        const QByteArray file = FileContents(path("picture.bmp"));
        QVERIFY(file.size() > 54);
        const std::uint32_t pixelOffset = LittleEndian32(file, 10);
        QCOMPARE(LittleEndian32(file, 2), std::uint32_t(file.size()));
        QCOMPARE(LittleEndian32(file, 30), compressed ? 1u : 0u);
        if (compressed)
            QCOMPARE(LittleEndian32(file, 34), std::uint32_t(file.size()) - pixelOffset);

        // FreeImage reads its own output whole again (its writer's last end-of-line code made
        // it refuse RLE files), and so does another reader.
        const BitmapHandle whole = LoadImageFile(NativePath(path("picture.bmp")));
        QVERIFY(whole);
        QCOMPARE(FreeImage_GetWidth(whole.get()), 30u);
        QCOMPARE(FreeImage_GetHeight(whole.get()), 20u);
        const QImage back(path("picture.bmp"), "BMP");
        QCOMPARE(back.size(), QSize(30, 20));
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                RGBQUAD expected{};
                if (FreeImage_GetBPP(picture.get()) == 8) {
                    BYTE index = 0;
                    QVERIFY(FreeImage_GetPixelIndex(picture.get(), x, 19 - y, &index));
                    expected = FreeImage_GetPalette(picture.get())[index];
                } else {
                    QVERIFY(FreeImage_GetPixelColor(picture.get(), x, 19 - y, &expected));
                }
                QCOMPARE(QColor(back.pixel(x, y)),
                         QColor(expected.rgbRed, expected.rgbGreen, expected.rgbBlue));
            }
        }
    }

    // FreeImage's RLE8 writer leaves the pad byte after an odd absolute run unwritten: what its
    // buffer held before. Saves of the same picture are the same bytes, with zero pad bytes,
    // whatever the memory held.
    void bmpRunPaddingIsZero() {
        const BitmapHandle picture = MakeOddRunsBitmap(300, 12);
        QVERIFY(picture);
        // The writer's buffer: two rows' pitch.
        const std::size_t buffer = 2 * FreeImage_GetPitch(picture.get());
        LeaveFreedBlock(buffer, 0xA5);
        QVERIFY(SaveReplacingFile(FIF_BMP, *picture, NativePath(path("first.bmp")), BMP_SAVE_RLE));
        LeaveFreedBlock(buffer, 0x5A);
        QVERIFY(SaveReplacingFile(FIF_BMP, *picture, NativePath(path("second.bmp")), BMP_SAVE_RLE));

        const QByteArray first = FileContents(path("first.bmp"));
        QCOMPARE(LittleEndian32(first, 30), 1u);
        const std::vector<int> pads = RunPadBytes(first);
        QVERIFY(pads.size() >= 12 * 2);
        QCOMPARE(pads, std::vector<int>(pads.size(), 0));
        QVERIFY(first == FileContents(path("second.bmp")));
        const QImage back(path("first.bmp"), "BMP");
        QCOMPARE(back.size(), QSize(300, 12));
        for (int y = 0; y < 12; ++y) {
            const BYTE* line = FreeImage_GetScanLine(picture.get(), 11 - y);
            for (int x = 0; x < 300; ++x) QCOMPARE(qGray(back.pixel(x, y)), int(line[x]));
        }
    }

    void abandonedTemporaryFiles_data() {
        QTest::addColumn<QString>("name");  // %ended, %running, %self: those processes' ids
        QTest::addColumn<QString>("kind");  // "file", "folder", "link", "another user's file"
        QTest::addColumn<bool>("removed");
        const QString hex = "0123456789abcdef";
        QTest::newRow("of a program that ended") << ".kavenra-%ended-" + hex + ".part"
                                                 << "file" << true;
        QTest::newRow("of a program that runs") << ".kavenra-%running-" + hex + ".part"
                                                << "file" << false;
        QTest::newRow("of this program") << ".kavenra-%self-" + hex + ".part"
                                         << "file" << false;
        QTest::newRow("a folder of that name") << ".kavenra-%ended-" + hex + ".part"
                                               << "folder" << false;
        QTest::newRow("a link of that name") << ".kavenra-%ended-" + hex + ".part"
                                             << "link" << false;
        QTest::newRow("another user's file") << ".kavenra-%ended-" + hex + ".part"
                                             << "another user's file" << false;
        QTest::newRow("no owner in the name") << ".kavenra-" + hex + ".part"
                                              << "file" << false;
        QTest::newRow("15 digits") << ".kavenra-%ended-0123456789abcde.part"
                                   << "file" << false;
        QTest::newRow("capital digits") << ".kavenra-%ended-0123456789ABCDEF.part"
                                        << "file" << false;
        QTest::newRow("more after the suffix") << ".kavenra-%ended-" + hex + ".part.jpg"
                                               << "file" << false;
        QTest::newRow("more before the prefix") << "x.kavenra-%ended-" + hex + ".part"
                                                << "file" << false;
        QTest::newRow("owner with a leading zero") << ".kavenra-0%ended-" + hex + ".part"
                                                   << "file" << false;
        QTest::newRow("a picture") << "photo.jpg"
                                   << "file" << false;
    }

    // The sweep at a run's start takes exactly the temporary files whose program is gone; a
    // picture beside them, a name of any other make, a file of a running program and whatever
    // is not this user's plain file stay.
    void abandonedTemporaryFiles() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        const WaitingProcess running;
        name.replace("%ended", QString::number(EndedProcess()))
            .replace("%running", QString::number(running.pid()))
            .replace("%self", QString::number(getpid()));
        QVERIFY(QDir(work->path()).mkpath("out"));
        const QByteArray kept = "the neighbour\n";
        QVERIFY(WriteFileContents(path("out/picture.jpg"), kept));
        const QString subject = path("out/" + name);
        if (kind == "folder") QVERIFY(QDir().mkpath(subject));
        if (kind == "link") QVERIFY(QFile::link("picture.jpg", subject));
        if (kind == "file" || kind == "another user's file")
            QVERIFY(WriteFileContents(subject, "half\n"));
        if (kind == "another user's file") {
            if (geteuid() != 0) {
                QSKIP(
                    "only the superuser gives a file to another user; run as root, the suite "
                    "runs this row");
            }
            QCOMPARE(chown(NativePath(subject).c_str(), 65534, 65534), 0);
        }

        QCOMPARE(RemoveAbandonedTemporaryFiles(NativePath(path("out/"))), removed ? 1 : 0);

        QCOMPARE(QFileInfo::exists(subject) || QFileInfo(subject).isSymLink(), !removed);
        QCOMPARE(FileContents(path("out/picture.jpg")), kept);
    }

    void temporaryFileIsNeverWiderThanTheResult_data() {
        QTest::addColumn<int>("replacedMode");  // -1: no file to replace
        QTest::addColumn<bool>("otherGroup");   // the replaced file belongs to another group
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("resultMode");
        QTest::newRow("replacing a private file") << 0600 << false << 022 << 0600;
        QTest::newRow("replacing a file of another group") << 0640 << true << 022 << 0640;
        QTest::newRow("replacing a public file, umask 077") << 0644 << false << 077 << 0644;
        QTest::newRow("new file, umask 077") << -1 << false << 077 << 0600;
        QTest::newRow("new file, umask 022") << -1 << false << 022 << 0644;
    }

    // Caught in the middle of the save (the worker's job held the moment the temporary file has
    // its permissions, before a byte of it is written), the temporary file shows no permission the
    // result does not have, and no group permission for a group other than the result's.
    void temporaryFileIsNeverWiderThanTheResult() {
        QFETCH(int, replacedMode);
        QFETCH(bool, otherGroup);
        QFETCH(int, mask);
        QFETCH(int, resultMode);
        QVERIFY(QDir(work->path()).mkpath("out"));
        const QString source = path("large.png");
        QVERIFY(WriteImageFile(NativePath(source), FIF_PNG, 1600, 1200, 1, PNG_Z_BEST_SPEED));
        const QString target = path("out/large.png");
        gid_t resultGroup = getegid();
        if (replacedMode >= 0) {
            QVERIFY(WriteFileContents(target, "the earlier result\n"));
            QCOMPARE(chmod(NativePath(target).c_str(), mode_t(replacedMode)), 0);
            if (otherGroup) {
                resultGroup = AnotherGroup();
                if (resultGroup == getegid()) {
                    QSKIP(
                        "this user belongs to no second group to give the file to; run as "
                        "root, the suite runs this row");
                }
                QCOMPARE(chown(NativePath(target).c_str(), static_cast<uid_t>(-1), resultGroup), 0);
            }
        }
        QVERIFY(IsSupportedImage(NativePath(source)));

        std::mutex mutex;
        QList<QPair<mode_t, gid_t>> seen;
        bool converted = false;
        {
            const ScopedUmask umask(static_cast<mode_t>(mask));
            const SaveHold hold;
            const CreationWatch watch(path("out"), ".kavenra-", [&](const QString& temporary) {
                // A conversion alone takes the first of a run's two workers.
                const pid_t job = ImageJobProcess(ImageWorkerProcessId(WorkerLane::RunA));
                if (job <= 0 || !WaitForProcessStop(job, 60000)) return;
                struct stat info {};
                if (lstat(QFile::encodeName(temporary).constData(), &info) == 0) {
                    const std::lock_guard<std::mutex> lock(mutex);
                    seen << qMakePair(info.st_mode & 07777, info.st_gid);
                }
                kill(job, SIGCONT);
            });
            converted = ConvertImage(NativePath(source), NativePath(target), 0, 1200, 1600);
        }
        QVERIFY(converted);
        QVERIFY2(!seen.isEmpty(), "the save was not caught while its temporary file existed");
        for (const auto& [mode, group] : seen) {
            QVERIFY2((mode & ~mode_t(resultMode)) == 0,
                     qPrintable(QString("temporary file mode %1").arg(mode, 4, 8, QChar('0'))));
            QVERIFY(group == resultGroup || (mode & 0070) == 0);
        }
        const struct stat result = StatOf(target);
        QCOMPARE(int(result.st_mode & 07777), resultMode);
        QCOMPARE(result.st_gid, resultGroup);
        QCOMPARE(Listing(path("out")), QStringList{"large.png"});
    }

    void refusedFolderIsWrittenInPlace_data() {
        QTest::addColumn<bool>("throughWorker");
        QTest::addColumn<QString>("existing");  // "writable", "read-only", "none"
        QTest::addColumn<bool>("saved");
        for (const bool worker : {false, true}) {
            const char* where = worker ? "through the worker" : "in this process";
            QTest::addRow("%s, writable file", where) << worker << "writable" << true;
            QTest::addRow("%s, read-only file", where) << worker << "read-only" << false;
            QTest::addRow("%s, new file", where) << worker << "none" << false;
        }
    }

    // A folder where this user may not create files, holding a file they may write: the save
    // succeeds as a plain one would, writing the file in place (its inode stays) from a verified
    // temporary file elsewhere, which is gone afterwards. A file they may not write, or a new
    // file, fails with nothing changed. Whom no permission stops would not show it: the save runs
    // as an ordinary user, and through the worker only counts when the worker answered.
    void refusedFolderIsWrittenInPlace() {
        QFETCH(bool, throughWorker);
        QFETCH(QString, existing);
        QFETCH(bool, saved);
        const OrdinaryUser user = OrdinaryUserForTests();
        QCOMPARE(chmod(QFile::encodeName(work->path()).constData(), 0755), 0);
        QVERIFY(QDir(work->path()).mkpath("locked"));
        QVERIFY(QDir(work->path()).mkpath("elsewhere"));
        QCOMPARE(chmod(NativePath(path("elsewhere")).c_str(), 0777), 0);
        const QString source = path("input.png");
        QVERIFY(WriteImageFile(NativePath(source), FIF_PNG, 160, 120));
        QCOMPARE(chmod(NativePath(source).c_str(), 0644), 0);
        const QString target = path("locked/input.png");
        const QByteArray earlier = "the earlier result\n";
        if (existing != "none") {
            QVERIFY(WriteFileContents(target, earlier));
            const bool writable = existing == "writable";
            QCOMPARE(chmod(NativePath(target).c_str(), writable ? 0644 : 0444), 0);
            if (writable) QCOMPARE(chown(NativePath(target).c_str(), user.uid, user.gid), 0);
        }
        QCOMPARE(chmod(NativePath(path("locked")).c_str(), 0555), 0);
        const ino_t inode = StatOf(target).st_ino;
        const BitmapHandle picture = MakeNaturalBitmap(120, 90);

        const bool passed = RunAsOrdinaryUser([&] {
            setenv("TMPDIR", QFile::encodeName(path("elsewhere")).constData(), 1);
            if (!throughWorker) {
                QCOMPARE(SaveReplacingFile(FIF_PNG, *picture, NativePath(target), 0), saved);
                return;
            }
            const FileOutcome outcome = ConvertImage(ConversionJob{
                RequestFromEntryArguments(NativePath(source), NativePath(target), 0, 90, 120), {}});
            QCOMPARE(outcome.committed, saved);
            // Only a worker that ran the job can tell why: one that never started tells nothing.
            QCOMPARE(outcome.reason, saved ? FailureReason::None : FailureReason::NotWritable);
        });
        chmod(NativePath(path("locked")).c_str(), 0755);
        QVERIFY(passed);
        QCOMPARE(Listing(path("elsewhere")), QStringList{});
        QCOMPARE(Listing(path("locked")),
                 existing == "none" ? QStringList{} : QStringList{"input.png"});
        if (existing == "none") return;
        QCOMPARE(StatOf(target).st_ino, inode);
        if (!saved) {
            QCOMPARE(FileContents(target), earlier);
            return;
        }
        const BitmapHandle written = LoadImageFile(NativePath(target), 0);
        QVERIFY(written);
        QCOMPARE(FreeImage_GetWidth(written.get()), 120u);
        QCOMPARE(FreeImage_GetHeight(written.get()), 90u);
        QCOMPARE(StatOf(target).st_uid, user.uid);
    }

  private:
    static Bytes ToBytes(const QByteArray& bytes) { return Bytes(bytes.begin(), bytes.end()); }
};

QTEST_GUILESS_MAIN(IsolationSavesTest)
#include "test_isolation_saves.moc"
