// The whole run as a user starts it, through the real main window offscreen (drop, preset,
// destination, "Comenzar", the ticks of Timer1, the completion question), beside the bare loop of
// the FreeImage calls that one conversion makes, on the same files, in the same process and the
// same rounds. The run goes once file by file (the look-ahead off) and once as the program runs
// it (the next file prepared on the other core). The three take turns round by round so that
// other load on the machine falls on all alike; each figure is the median over the rounds.
//
// Printed per category: wall time of the bare loop and of both runs (from the press of Start to
// the completion question), their ratios to the bare loop and per-file differences; the longest
// time the window's event loop went unserved during a run (a repeating timer records its largest
// gap); the peak memory of the conversions (the run: every worker process together, sampled; the
// bare loop: this process's growth); the share of files whose prepared result was taken; and
// whether every output has the bare loop's pixels (and whether it is byte-identical: it is not
// where the program keeps metadata the bare calls drop). Beside them, two bare loops side by
// side on every other file each: the least a run on two cores can take. A third run, prepared
// ahead, has the options dialog's fast JPEG decoding on; its outputs are compared with the exact
// run's by their lowest PSNR.
//
//   bench_run [rounds]    (default 3; corpus cached in $TMPDIR/kavenra-bench-run-corpus)

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <QDialog>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "BareLoops.h"
#include "WindowRounds.h"
#include "engine/run/ImageFileOperations.h"
#include "support/DatabaseFixture.h"
#include "support/DropFiles.h"
#include "support/ModalAnswerer.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form6_msgbox.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

using kavenra::bench::BareFiles;
using kavenra::bench::Clock;
using kavenra::bench::CorpusFile;
using kavenra::bench::Differences;
using kavenra::bench::DifferingFiles;
using kavenra::bench::LowestPeakSignalToNoise;
using kavenra::bench::Median;
using kavenra::bench::MemoryPeak;
using kavenra::bench::Milliseconds;
using kavenra::bench::OwnResidentBytes;
using kavenra::bench::PrepareCameraJpegs;
using kavenra::bench::RoundFigures;
using kavenra::bench::TwoBareLoops;
using kavenra::bench::WindowRound;

namespace {

// One category of files and the size the run gives them, by one of the window's presets.
struct Category {
    const char* name;
    std::vector<CorpusFile> files;
    QRadioButton* TForm1::*preset;
    int targetWidth;
    int targetHeight;
};

// 24 photos from 2 to 24 megapixels, a few of them upright, 200 small 640 x 480 pictures, and
// 8 camera-size photos whose longest side goes to 1024.
std::vector<Category> PrepareCorpus() {
    const QString folder = QDir::tempPath() + QStringLiteral("/kavenra-bench-run-corpus");
    std::vector<std::pair<int, int>> large;
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{1632, 1224},
                                                                        {2048, 1536},
                                                                        {2592, 1944},
                                                                        {3264, 2448},
                                                                        {4000, 3000},
                                                                        {4608, 3456},
                                                                        {5184, 3456},
                                                                        {6000, 4000}}) {
        large.push_back({width, height});
        large.push_back({width, height});
        large.push_back({height, width});
    }
    const std::vector<std::pair<int, int>> small(200, {640, 480});
    return {{"large photos (2-24 MP) to 1024 x 768",
             PrepareCameraJpegs(folder, "photo", large, 100), &TForm1::RadioButton4, 1024, 768},
            {"small pictures (640 x 480) to 320 x 240",
             PrepareCameraJpegs(folder, "small", small, 500), &TForm1::RadioButton1, 320, 240},
            {"camera photos (6000 x 4000) to 1024 x 768",
             PrepareCameraJpegs(folder, "camera", std::vector<std::pair<int, int>>(8, {6000, 4000}),
                                700),
             &TForm1::RadioButton4, 1024, 768}};
}

// Converts every file of the category with the bare calls, one after the other, into `outFolder`
// under the file's own name.
RoundFigures BareLoop(const Category& category, const QString& outFolder) {
    QDir().mkpath(outFolder);
    const std::uint64_t before = OwnResidentBytes();
    MemoryPeak memory(false);
    const Clock::time_point start = Clock::now();
    BareFiles(category.files, category.targetWidth, category.targetHeight, outFolder, 0, 1);
    RoundFigures figures;
    figures.wallMs = Milliseconds(Clock::now() - start);
    const std::uint64_t peak = memory.stop();
    figures.peakBytes = peak > before ? peak - before : 0;
    return figures;
}

// Lists the category's files by a drop, as a user would, and waits for the counting pass.
void ListCategory(const Category& category) {
    Form1->Button2Click();
    QStringList paths;
    for (const CorpusFile& file : category.files) paths << file.path;
    kavenra::testing::DropFiles(Form1->ListBox1, paths);
    if (!QTest::qWaitFor([] { return !Form1->Timer2->isActive(); }, 60000) ||
        Form1->ListBox1->count() != static_cast<int>(category.files.size())) {
        std::fprintf(stderr, "the drop did not list the corpus\n");
        std::exit(1);
    }
    (Form1->*category.preset)->click();
}

// A run with the options dialog's fast JPEG decoding on; the option is off again afterwards.
RoundFigures FastWindowRound(const QString& outFolder) {
    Form3->fastJpegDecodingBox->setChecked(true);
    const RoundFigures figures = WindowRound(outFolder, true);
    Form3->fastJpegDecodingBox->setChecked(false);
    return figures;
}

struct Series {
    std::vector<RoundFigures> rounds;

    double median(double RoundFigures::*field) const {
        std::vector<double> values;
        for (const RoundFigures& round : rounds) values.push_back(round.*field);
        return Median(values);
    }
    double maximum(double RoundFigures::*field) const {
        double value = 0;
        for (const RoundFigures& round : rounds) value = std::max(value, round.*field);
        return value;
    }
    double peakMb() const {
        std::uint64_t peak = 0;
        for (const RoundFigures& round : rounds) peak = std::max(peak, round.peakBytes);
        return peak / 1048576.0;
    }
};

void Report(const Category& category, const Series& bare, const Series& twoBare,
            const Series& sequential, const Series& ahead, const Series& fast,
            Differences differingSequential, Differences differingAhead, double fastLowestPsnr) {
    const double n = static_cast<double>(category.files.size());
    const double bareMs = bare.median(&RoundFigures::wallMs);
    std::printf("\n%s, %zu files, median of %zu rounds\n", category.name, category.files.size(),
                bare.rounds.size());
    std::printf("  %-34s %10s %9s %12s %10s %9s\n", "", "wall ms", "/ bare", "ms/file diff",
                "max gap", "peak MB");
    std::printf("  %-34s %10.1f %9.3f %12s %10s %9.1f\n", "bare FreeImage loop, one core", bareMs,
                1.0, "", "", bare.peakMb());
    const double twoBareMs = twoBare.median(&RoundFigures::wallMs);
    std::printf("  %-34s %10.1f %9.3f\n", "two bare loops side by side", twoBareMs,
                twoBareMs / bareMs);
    for (const auto& [name, series] :
         {std::pair<const char*, const Series*>{"run, file by file (look-ahead off)", &sequential},
          std::pair<const char*, const Series*>{"run, next file prepared ahead", &ahead},
          std::pair<const char*, const Series*>{"run, ahead, fast JPEG decoding", &fast}}) {
        const double wall = series->median(&RoundFigures::wallMs);
        std::printf("  %-34s %10.1f %9.3f %+12.2f %8.1f ms %9.1f\n", name, wall, wall / bareMs,
                    (wall - bareMs) / n, series->maximum(&RoundFigures::longestGapMs),
                    series->peakMb());
    }
    int taken = 0;
    int total = 0;
    for (const RoundFigures& round : ahead.rounds) {
        taken += round.taken;
        total += round.taken + round.convertedAtTick;
    }
    std::printf("  prepared results taken: %d of %d files (%.1f%%)\n", taken, total,
                total ? 100.0 * taken / total : 0.0);
    std::printf("  run prepared ahead / two bare loops side by side: %.3f\n",
                ahead.median(&RoundFigures::wallMs) / twoBareMs);
    std::printf(
        "  outputs pixel-identical to the bare loop's: file by file %s, prepared ahead %s\n",
        differingSequential.pixels == 0 ? "yes" : "NO", differingAhead.pixels == 0 ? "yes" : "NO");
    std::printf("  outputs byte-identical (no metadata kept): file by file %s, prepared ahead %s\n",
                differingSequential.bytes == 0 ? "yes" : "no",
                differingAhead.bytes == 0 ? "yes" : "no");
    std::printf("  fast JPEG decoding / prepared ahead: %.3f; lowest PSNR against exact: %.1f dB\n",
                fast.median(&RoundFigures::wallMs) / ahead.median(&RoundFigures::wallMs),
                fastLowestPsnr);
}

}  // namespace

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kavenra::testing::PrepareWindowTestApplication();
    kavenra::startup::InitialiseImageLibrary();
    const std::vector<Category> corpus = PrepareCorpus();

    kavenra::testing::DatabaseFolder databases;
    if (!kavenra::bench::ShowProgramWindows(databases)) return 1;

    for (const Category& category : corpus) {
        ListCategory(category);
        QTemporaryDir output;
        const QString bareFolder = output.filePath(QStringLiteral("bare"));
        const QString twoBareFolder = output.filePath(QStringLiteral("two-bare"));
        const QString sequentialFolder = output.filePath(QStringLiteral("file-by-file"));
        const QString aheadFolder = output.filePath(QStringLiteral("ahead"));
        const QString fastFolder = output.filePath(QStringLiteral("fast"));
        // Warm the file cache, the workers and the code of each; then rotate which goes first.
        BareLoop(category, bareFolder);
        TwoBareLoops(category.files, category.targetWidth, category.targetHeight, twoBareFolder);
        WindowRound(sequentialFolder, false);
        WindowRound(aheadFolder, true);
        FastWindowRound(fastFolder);
        Series bare, twoBare, sequential, ahead, fast;
        Differences differingSequential;
        Differences differingAhead;
        double fastLowestPsnr = std::numeric_limits<double>::infinity();
        for (int round = 0; round < rounds; ++round) {
            for (int step = 0; step < 5; ++step) {
                switch ((round + step) % 5) {
                    case 4:
                        fast.rounds.push_back(FastWindowRound(fastFolder));
                        fastLowestPsnr = std::min(fastLowestPsnr,
                                                  LowestPeakSignalToNoise(aheadFolder, fastFolder));
                        break;
                    case 3:
                        twoBare.rounds.push_back(TwoBareLoops(category.files, category.targetWidth,
                                                              category.targetHeight,
                                                              twoBareFolder));
                        break;
                    case 0:
                        bare.rounds.push_back(BareLoop(category, bareFolder));
                        break;
                    case 1:
                        sequential.rounds.push_back(WindowRound(sequentialFolder, false));
                        differingSequential += DifferingFiles(bareFolder, sequentialFolder);
                        break;
                    case 2:
                        ahead.rounds.push_back(WindowRound(aheadFolder, true));
                        differingAhead += DifferingFiles(bareFolder, aheadFolder);
                        break;
                }
            }
        }
        Report(category, bare, twoBare, sequential, ahead, fast, differingSequential,
               differingAhead, fastLowestPsnr);
    }
    DestroyAllForms();
    return 0;
}
