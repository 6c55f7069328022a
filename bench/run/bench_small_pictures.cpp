// A thousand small pictures (320 x 240 JPEGs) to longest side 160, where the cost of each file's
// handling beside its conversion shows most: through the real main window offscreen (drop,
// longest side, destination, "Comenzar", the completion question) and through `kavenra --resize`
// as a child process of a copy of the built program, beside two bare FreeImage loops side by
// side on every other file each (the least a run on two cores can take). The methods take turns
// round by round so that other load on the machine falls on all alike; each figure is the median
// over the rounds.
//
// Printed: wall time per method, the ratio of each run to the two bare loops, the time the
// window's intake took to list the files, and whether every output has the bare loop's pixels.
//
//   bench_small_pictures [rounds]    (default 3; corpus cached in
//                                     $TMPDIR/kavenra-bench-cli-corpus, shared with
//                                     bench_command_line)

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "BareLoops.h"
#include "WindowRounds.h"
#include "support/DatabaseFixture.h"
#include "support/DropFiles.h"
#include "support/ModalAnswerer.h"
#include "support/ProgramFolder.h"
#include "ui/AppServices.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

using kavenra::bench::Clock;
using kavenra::bench::CorpusFile;
using kavenra::bench::Differences;
using kavenra::bench::DifferingFiles;
using kavenra::bench::Median;
using kavenra::bench::Milliseconds;

namespace {

constexpr int kLongestSide = 160;
constexpr int kWidth = 160;
constexpr int kHeight = 120;

QString FreshFolder(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

// From the start of `program` to its exit, without a display; ends this process when it does not
// exit with status 0.
double CommandLineRun(const QString& program, const QStringList& arguments) {
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

// Lists the files by a drop, as a user would, and sets the longest side; the time from the drop
// to the end of the list's check.
double ListInWindow(const std::vector<CorpusFile>& files) {
    Form1->Button2Click();
    QStringList paths;
    for (const CorpusFile& file : files) paths << file.path;
    const Clock::time_point start = Clock::now();
    kavenra::testing::DropFiles(Form1->ListBox1, paths);
    if (!QTest::qWaitFor([] { return !Form1->Timer2->isActive(); }, 600000) ||
        Form1->ListBox1->count() != static_cast<int>(files.size())) {
        std::fprintf(stderr, "the drop did not list the corpus\n");
        std::exit(1);
    }
    const double wallMs = Milliseconds(Clock::now() - start);
    if (!Form1->CheckBox1->isChecked()) Form1->CheckBox1->click();
    Form1->Edit4->setText(QString::number(kLongestSide));
    return wallMs;
}

}  // namespace

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kavenra::testing::PrepareWindowTestApplication();
    kavenra::startup::InitialiseImageLibrary();
    const QString corpusFolder =
        QDir::tempPath() + QStringLiteral("/kavenra-bench-cli-corpus/small");
    const std::vector<CorpusFile> files = kavenra::bench::PrepareCameraJpegs(
        corpusFolder, "small", std::vector<std::pair<int, int>>(1000, {320, 240}), 2000);

    QTemporaryDir programFolder;
    QString error;
    if (!kavenra::testing::CopyRuntimeFolder(programFolder.path(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString program = programFolder.filePath(QStringLiteral("kavenra"));
    kavenra::testing::DatabaseFolder databases;
    if (!kavenra::bench::ShowProgramWindows(databases)) return 1;
    const double listingMs = ListInWindow(files);

    QTemporaryDir output;
    const QString twoBare = output.filePath(QStringLiteral("two-bare"));
    const QString window = output.filePath(QStringLiteral("window"));
    const QString commandLine = output.filePath(QStringLiteral("command-line"));
    enum Method { kTwoBare, kWindow, kCommandLine, kMethods };
    const std::vector<std::function<double()>> methods = {
        [&] {
            return kavenra::bench::TwoBareLoops(files, kWidth, kHeight, FreshFolder(twoBare))
                .wallMs;
        },
        [&] { return kavenra::bench::WindowRound(window, true).wallMs; },
        [&] {
            QDir(commandLine).removeRecursively();
            return CommandLineRun(program, {QStringLiteral("--resize"), QStringLiteral("--longest"),
                                            QString::number(kLongestSide),
                                            QStringLiteral("--output"), commandLine, corpusFolder});
        }};
    // Once each to warm the file cache, the workers and the code; then in turn, the first of
    // each round moving on by one.
    for (const auto& method : methods) method();
    std::vector<std::vector<double>> walls(kMethods);
    Differences differing[kMethods];
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t step = 0; step < kMethods; ++step) {
            const std::size_t at = (static_cast<std::size_t>(round) + step) % kMethods;
            walls[at].push_back(methods[at]());
            if (at == kWindow) differing[at] += DifferingFiles(twoBare, window);
            if (at == kCommandLine) differing[at] += DifferingFiles(twoBare, commandLine);
        }
    }

    const double twoBareMs = Median(walls[kTwoBare]);
    const double windowMs = Median(walls[kWindow]);
    const double commandLineMs = Median(walls[kCommandLine]);
    std::printf("\n%zu small pictures (320 x 240) to longest side %d, median of %d rounds\n",
                files.size(), kLongestSide, rounds);
    std::printf("  %-44s %10s %16s\n", "", "wall ms", "/ two bare loops");
    std::printf("  %-44s %10.1f %16.3f\n", "two bare loops side by side", twoBareMs, 1.0);
    std::printf("  %-44s %10.1f %16.3f\n", "window, Start to completion", windowMs,
                windowMs / twoBareMs);
    std::printf("  %-44s %10.1f %16.3f\n", "kavenra --resize --longest 160 <folder>", commandLineMs,
                commandLineMs / twoBareMs);
    std::printf("  window's intake (drop to the end of the list's check): %.1f ms\n", listingMs);
    std::printf("  every output has the bare loop's pixels: window %s, command line %s\n",
                differing[kWindow].pixels == 0 ? "yes" : "NO",
                differing[kCommandLine].pixels == 0 ? "yes" : "NO");
    DestroyAllForms();
    return 0;
}
