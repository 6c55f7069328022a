// HEIC photos through the whole run, as a user starts it in the main window (drop, longest side
// 1024, Start, the completion question), beside what a user without the program would do:
// heif-convert to JPEG, then the bare loop of FreeImage calls that resizes the JPEG. The reference
// runs one file after the other, and as two of it side by side on every other file (the run uses
// both cores too). They take turns round by round, so that other load on the machine falls on
// all alike; each figure is the median over the rounds. The outputs are compared by PSNR.
//
//   bench_heic [rounds] [files]   (default 3 rounds, 8 files of 12 MP; corpus cached in
//                                  $TMPDIR/kavenra-bench-heic-corpus; needs heif-enc and
//                                  heif-convert from libheif-examples)

#include <FreeImage.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "WindowRounds.h"
#include "engine/formats/FreeImageBitmap.h"
#include "support/DatabaseFixture.h"
#include "support/DropFiles.h"
#include "support/ImageFactory.h"
#include "support/ModalAnswerer.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

using kavenra::BitmapHandle;
using kavenra::bench::Clock;
using kavenra::bench::Median;
using kavenra::bench::Milliseconds;
using kavenra::bench::RoundFigures;
using kavenra::bench::WindowRound;

namespace {

constexpr int kLongestSide = 1024;

std::string Quoted(const QString& path) {
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QFile::encodeName(QLatin1Char('\'') + quoted + QLatin1Char('\'')).toStdString();
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// 12 MP photo-like pictures, a quarter of them upright, encoded as a phone does: HEVC at a high
// quality.
QStringList PrepareCorpus(int count) {
    const QString folder = QDir::tempPath() + QStringLiteral("/kavenra-bench-heic-corpus");
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const bool upright = i % 4 == 3;
        const int width = upright ? 3000 : 4000;
        const int height = upright ? 4000 : 3000;
        const QString heic =
            QStringLiteral("%1/photo-%2x%3-%4.heic").arg(folder).arg(width).arg(height).arg(i);
        if (!QFileInfo::exists(heic)) {
            std::printf("generating %s ...\n", qPrintable(heic));
            std::fflush(stdout);
            const QString png = folder + QStringLiteral("/source.png");
            const BitmapHandle picture =
                kavenra::test::MakeNaturalBitmap(width, height, 700 + static_cast<unsigned>(i));
            if (!picture ||
                !kavenra::test::SaveBitmapFile(
                    *picture, FIF_PNG, QFile::encodeName(png).toStdString(), PNG_Z_BEST_SPEED) ||
                !Run("heif-enc -q 85 -o " + Quoted(heic) + " " + Quoted(png))) {
                std::fprintf(stderr, "cannot write %s (is heif-enc installed?)\n",
                             qPrintable(heic));
                std::exit(1);
            }
            QFile::remove(png);
        }
        files << heic;
    }
    return files;
}

struct Size {
    int width;
    int height;
};

// The program's longest-side rule: the other side follows the aspect ratio, rounded.
Size TargetFor(int width, int height) {
    if (width >= height) {
        return {kLongestSide,
                std::max(1, static_cast<int>(std::lround(double(kLongestSide) * height / width)))};
    }
    return {std::max(1, static_cast<int>(std::lround(double(kLongestSide) * width / height))),
            kLongestSide};
}

// heif-convert to a JPEG beside the output, then the calls one conversion of a JPEG makes.
bool ReferenceConversion(const QString& source, const QString& outFolder) {
    const QString base = QFileInfo(source).completeBaseName();
    const QString decoded = outFolder + QStringLiteral("/decoded-") + base + QStringLiteral(".jpg");
    if (!Run("heif-convert -q 92 " + Quoted(source) + " " + Quoted(decoded))) return false;
    const std::string input = QFile::encodeName(decoded).toStdString();
    const BitmapHandle loaded(FreeImage_Load(FIF_JPEG, input.c_str(), JPEG_ACCURATE));
    if (!loaded) return false;
    const Size target = TargetFor(static_cast<int>(FreeImage_GetWidth(loaded.get())),
                                  static_cast<int>(FreeImage_GetHeight(loaded.get())));
    const BitmapHandle rescaled(
        FreeImage_Rescale(loaded.get(), target.width, target.height, FILTER_CATMULLROM));
    const std::string output =
        QFile::encodeName(outFolder + QLatin1Char('/') + base + QStringLiteral(".jpg"))
            .toStdString();
    const bool saved = rescaled && FreeImage_Save(FIF_JPEG, rescaled.get(), output.c_str(),
                                                  JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444);
    QFile::remove(decoded);
    return saved;
}

void ReferenceFiles(const QStringList& files, const QString& outFolder, int first, int step) {
    for (int at = first; at < files.size(); at += step) {
        if (!ReferenceConversion(files[at], outFolder)) {
            std::fprintf(stderr, "reference conversion failed: %s\n", qPrintable(files[at]));
            std::exit(1);
        }
    }
}

RoundFigures Reference(const QStringList& files, const QString& outFolder, int lanes) {
    QDir(outFolder).removeRecursively();
    QDir().mkpath(outFolder);
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> others;
    for (int lane = 1; lane < lanes; ++lane) {
        others.emplace_back([&, lane] { ReferenceFiles(files, outFolder, lane, lanes); });
    }
    ReferenceFiles(files, outFolder, 0, lanes);
    for (std::thread& other : others) other.join();
    RoundFigures figures;
    figures.wallMs = Milliseconds(Clock::now() - start);
    return figures;
}

// The PSNR of two JPEG files' pictures; 0 when they cannot be compared.
double Psnr(const QString& first, const QString& second) {
    const BitmapHandle a(FreeImage_Load(FIF_JPEG, QFile::encodeName(first), 0));
    const BitmapHandle b(FreeImage_Load(FIF_JPEG, QFile::encodeName(second), 0));
    return a && b ? kavenra::test::PeakSignalToNoise(*a, *b) : 0;
}

void ListCorpus(const QStringList& files) {
    Form1->Button2Click();
    kavenra::testing::DropFiles(Form1->ListBox1, files);
    if (!QTest::qWaitFor([] { return !Form1->Timer2->isActive(); }, 120000) ||
        Form1->ListBox1->count() != files.size()) {
        std::fprintf(stderr, "the drop did not list the corpus (does the program read HEIC?)\n");
        std::exit(1);
    }
    Form1->CheckBox1->setChecked(true);
    Form1->CheckBox1Click();
    Form1->Edit4->setText(QString::number(kLongestSide));
}

double MedianWall(const std::vector<RoundFigures>& rounds) {
    std::vector<double> values;
    for (const RoundFigures& round : rounds) values.push_back(round.wallMs);
    return Median(values);
}

}  // namespace

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    if (QStandardPaths::findExecutable(QStringLiteral("heif-convert")).isEmpty()) {
        std::fprintf(stderr, "heif-convert is missing (package libheif-examples)\n");
        return 1;
    }
    kavenra::testing::PrepareWindowTestApplication();
    kavenra::startup::InitialiseImageLibrary();
    const QStringList files = PrepareCorpus(count);

    kavenra::testing::DatabaseFolder databases;
    if (!kavenra::bench::ShowProgramWindows(databases)) return 1;
    ListCorpus(files);

    QTemporaryDir output;
    const QString oneFolder = output.filePath(QStringLiteral("reference"));
    const QString twoFolder = output.filePath(QStringLiteral("reference-two"));
    const QString runFolder = output.filePath(QStringLiteral("run"));
    // Warm the file cache, the workers and the code of each; then rotate which goes first.
    Reference(files, oneFolder, 1);
    WindowRound(runFolder, true);
    std::vector<RoundFigures> one, two, run;
    for (int round = 0; round < rounds; ++round) {
        for (int step = 0; step < 3; ++step) {
            switch ((round + step) % 3) {
                case 0:
                    one.push_back(Reference(files, oneFolder, 1));
                    break;
                case 1:
                    two.push_back(Reference(files, twoFolder, 2));
                    break;
                case 2:
                    run.push_back(WindowRound(runFolder, true));
                    break;
            }
        }
    }

    double lowest = 99;
    for (const QString& file : files) {
        const QString name = QFileInfo(file).completeBaseName() + QStringLiteral(".jpg");
        lowest = std::min(
            lowest, Psnr(oneFolder + QLatin1Char('/') + name, runFolder + QLatin1Char('/') + name));
    }
    const double oneMs = MedianWall(one);
    const double twoMs = MedianWall(two);
    const double runMs = MedianWall(run);
    std::printf("\n%lld HEIC photos of 12 MP to longest side %d, median of %d rounds\n",
                static_cast<long long>(files.size()), kLongestSide, rounds);
    std::printf("  %-46s %10s %12s\n", "", "wall ms", "/ reference");
    std::printf("  %-46s %10.1f %12.3f\n", "heif-convert + bare FreeImage loop, one core", oneMs,
                1.0);
    std::printf("  %-46s %10.1f %12.3f\n", "the same, two side by side", twoMs, twoMs / oneMs);
    std::printf("  %-46s %10.1f %12.3f\n", "the run through the window", runMs, runMs / oneMs);
    std::printf("  run / two references side by side: %.3f\n", runMs / twoMs);
    std::printf("  lowest PSNR of the run's outputs against the reference's: %.1f dB\n", lowest);
    DestroyAllForms();
    return 0;
}
