// `kavenra --resize` as a script runs it: a child process of a copy of the built program (its
// runtime folder with the shipped settings, so a developer's own settings neither change the
// figures nor are changed by them), without a display, timed from its start to its exit. Beside
// it, on the same files in the same rounds, the bare loop of the FreeImage calls one conversion
// makes, two such loops side by side (the least a run on two cores can take), the run with the
// reduced-scale JPEG decoding, and vipsthumbnail when it is installed. The methods take turns
// round by round so that other load on the machine falls on all alike; each figure is the
// median over the rounds.
//
// Printed: wall time per method and their ratios; whether every output of the exact run has the
// bare loop's pixels (bytes differ: the program keeps metadata the bare calls drop); the lowest
// PSNR of the fast run's and vipsthumbnail's outputs against the exact run's. For a thousand
// small pictures, what the run costs per file beyond the bare loop.
//
//   bench_command_line [rounds]    (default 3; corpus cached in
//                                   $TMPDIR/kavenra-bench-cli-corpus)

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <vector>

#include "BareLoops.h"
#include "WindowRounds.h"
#include "support/ProgramFolder.h"
#include "ui/Startup.h"

using kavenra::bench::BareFiles;
using kavenra::bench::Clock;
using kavenra::bench::CorpusFile;
using kavenra::bench::Differences;
using kavenra::bench::DifferingFiles;
using kavenra::bench::LowestPeakSignalToNoise;
using kavenra::bench::Median;
using kavenra::bench::Milliseconds;
using kavenra::bench::PrepareCameraJpegs;
using kavenra::bench::TwoBareLoops;

namespace {

struct Corpus {
    std::vector<CorpusFile> camera;  // 24 photos of 6000 x 4000
    QString smallFolder;             // 1000 pictures of 320 x 240, and nothing else
    std::vector<CorpusFile> small;
};

Corpus PrepareCorpus() {
    const QString folder = QDir::tempPath() + QStringLiteral("/kavenra-bench-cli-corpus");
    Corpus corpus;
    corpus.camera = PrepareCameraJpegs(folder + QStringLiteral("/camera"), "camera",
                                       std::vector<std::pair<int, int>>(24, {6000, 4000}), 900);
    corpus.smallFolder = folder + QStringLiteral("/small");
    corpus.small = PrepareCameraJpegs(corpus.smallFolder, "small",
                                      std::vector<std::pair<int, int>>(1000, {320, 240}), 2000);
    return corpus;
}

QStringList Paths(const std::vector<CorpusFile>& files) {
    QStringList paths;
    for (const CorpusFile& file : files) paths << file.path;
    return paths;
}

// An empty folder at `path`, whatever an earlier round left there.
QString FreshFolder(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

// Wall milliseconds of `program` with `arguments`, from its start to its exit, with no display
// to reach; ends this process when it does not exit with status 0.
double ChildRun(const QString& program, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    const Clock::time_point start = Clock::now();
    process.start(program, arguments);
    const bool finished = process.waitForFinished(-1);
    const double wallMs = Milliseconds(Clock::now() - start);
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (status %d): %s\n", qPrintable(program), process.exitCode(),
                     process.readAllStandardError().right(2000).constData());
        std::exit(1);
    }
    return wallMs;
}

double BareLoop(const std::vector<CorpusFile>& files, int width, int height,
                const QString& outFolder) {
    FreshFolder(outFolder);
    const Clock::time_point start = Clock::now();
    BareFiles(files, width, height, outFolder, 0, 1);
    return Milliseconds(Clock::now() - start);
}

// Runs each method once to warm the file cache and the code, then `rounds` times in turn, the
// first of each round moving on by one; the wall times per method, and after each round of a
// method `check` with its index.
std::vector<std::vector<double>> Rounds(const std::vector<std::function<double()>>& methods,
                                        int rounds, const std::function<void(std::size_t)>& check) {
    for (const auto& method : methods) method();
    std::vector<std::vector<double>> walls(methods.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t step = 0; step < methods.size(); ++step) {
            const std::size_t at = (static_cast<std::size_t>(round) + step) % methods.size();
            walls[at].push_back(methods[at]());
            check(at);
        }
    }
    return walls;
}

void PrintRow(const char* name, double wallMs) {
    std::printf("  %-52s %10.1f\n", name, wallMs);
}

void CameraPhotos(const QString& program, const std::vector<CorpusFile>& files, int rounds) {
    const int width = 1024;
    const int height = 683;
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    QTemporaryDir output;
    const QString bare = output.filePath(QStringLiteral("bare"));
    const QString twoBare = output.filePath(QStringLiteral("two-bare"));
    const QString exact = output.filePath(QStringLiteral("exact"));
    const QString fast = output.filePath(QStringLiteral("fast"));
    const QString vipsFolder = output.filePath(QStringLiteral("vips"));
    const QStringList sources = Paths(files);

    enum Method { kBare, kTwoBare, kExact, kFast, kVips };
    std::vector<std::function<double()>> methods = {
        [&] { return BareLoop(files, width, height, bare); },
        [&] { return TwoBareLoops(files, width, height, FreshFolder(twoBare)).wallMs; },
        [&] {
            QDir(exact).removeRecursively();
            return ChildRun(program,
                            QStringList{QStringLiteral("--resize"), QStringLiteral("--longest"),
                                        QString::number(width), QStringLiteral("--output"), exact} +
                                sources);
        },
        [&] {
            QDir(fast).removeRecursively();
            return ChildRun(program,
                            QStringList{QStringLiteral("--resize"), QStringLiteral("--longest"),
                                        QString::number(width), QStringLiteral("--fast"),
                                        QStringLiteral("--output"), fast} +
                                sources);
        }};
    if (!vips.isEmpty()) {
        methods.push_back([&] {
            return ChildRun(
                vips,
                QStringList{
                    QStringLiteral("--size"), QString::number(width), QStringLiteral("-o"),
                    FreshFolder(vipsFolder) + QStringLiteral("/%s.jpg[Q=100,subsample_mode=off]")} +
                    sources);
        });
    }

    Differences exactDiffering;
    double fastPsnr = std::numeric_limits<double>::infinity();
    double vipsPsnr = std::numeric_limits<double>::infinity();
    const auto walls = Rounds(methods, rounds, [&](std::size_t method) {
        // Each output folder is complete between runs (the warm-up filled them all).
        if (method == kExact) exactDiffering += DifferingFiles(bare, exact);
        if (method == kFast) fastPsnr = std::min(fastPsnr, LowestPeakSignalToNoise(exact, fast));
        if (method == kVips)
            vipsPsnr = std::min(vipsPsnr, LowestPeakSignalToNoise(exact, vipsFolder));
    });

    const double bareMs = Median(walls[kBare]);
    const double twoBareMs = Median(walls[kTwoBare]);
    const double exactMs = Median(walls[kExact]);
    const double fastMs = Median(walls[kFast]);
    std::printf(
        "\n%zu camera photos (6000 x 4000, quality 92, 4:2:0) to longest side %d (%d x %d),"
        " median of %d rounds\n",
        files.size(), width, width, height, rounds);
    std::printf("  %-52s %10s\n", "", "wall ms");
    PrintRow("bare FreeImage loop, one core", bareMs);
    PrintRow("two bare loops side by side", twoBareMs);
    PrintRow("kavenra --resize --longest 1024 (exact)", exactMs);
    PrintRow("kavenra --resize --longest 1024 --fast", fastMs);
    if (vips.isEmpty()) {
        std::printf("  vipsthumbnail: not on PATH, skipped (scripts/install-deps.sh --bench)\n");
    } else {
        PrintRow("vipsthumbnail --size 1024 (Q=100, no subsampling)", Median(walls[kVips]));
    }
    std::printf("  exact / two bare loops: %.3f\n", exactMs / twoBareMs);
    std::printf("  fast / one bare loop: %.3f\n", fastMs / bareMs);
    if (!vips.isEmpty())
        std::printf("  fast / vipsthumbnail: %.3f\n", fastMs / Median(walls[kVips]));
    std::printf("  every exact output has the bare loop's pixels: %s (byte-identical: %s)\n",
                exactDiffering.pixels == 0 ? "yes" : "NO",
                exactDiffering.bytes == 0 ? "yes" : "no");
    std::printf("  lowest PSNR against the exact output: fast %.1f dB", fastPsnr);
    if (!vips.isEmpty()) std::printf(", vipsthumbnail %.1f dB", vipsPsnr);
    std::printf("\n");
}

void SmallPictures(const QString& program, const Corpus& corpus, int rounds) {
    const int width = 160;
    const int height = 120;
    QTemporaryDir output;
    const QString bare = output.filePath(QStringLiteral("bare"));
    const QString run = output.filePath(QStringLiteral("run"));
    enum Method { kBare, kRun };
    Differences differing;
    const auto walls =
        Rounds({[&] { return BareLoop(corpus.small, width, height, bare); },
                [&] {
                    QDir(run).removeRecursively();
                    return ChildRun(program, {QStringLiteral("--resize"),
                                              QStringLiteral("--longest"), QString::number(width),
                                              QStringLiteral("--output"), run, corpus.smallFolder});
                }},
               rounds, [&](std::size_t method) {
                   if (method == kRun) differing += DifferingFiles(bare, run);
               });

    const double n = static_cast<double>(corpus.small.size());
    const double bareMs = Median(walls[kBare]);
    const double runMs = Median(walls[kRun]);
    std::printf(
        "\n%zu small pictures (320 x 240) to longest side %d (%d x %d), median of %d rounds\n",
        corpus.small.size(), width, width, height, rounds);
    std::printf("  %-52s %10s\n", "", "wall ms");
    PrintRow("bare FreeImage loop, one core", bareMs);
    PrintRow("kavenra --resize --longest 160 <folder>", runMs);
    std::printf("  run's cost per file beyond the bare loop: %+.3f ms\n", (runMs - bareMs) / n);
    std::printf("  every output has the bare loop's pixels: %s\n",
                differing.pixels == 0 ? "yes" : "NO");
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kavenra::startup::InitialiseImageLibrary();
    const Corpus corpus = PrepareCorpus();

    QTemporaryDir programFolder;
    QString error;
    if (!kavenra::testing::CopyRuntimeFolder(programFolder.path(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString program = programFolder.filePath(QStringLiteral("kavenra"));
    CameraPhotos(program, corpus.camera, rounds);
    SmallPictures(program, corpus, rounds);
    return 0;
}
