// The whole run as a user starts it, through the real main window offscreen (drop, preset,
// destination, "Comenzar", one file per tick of Timer1, the completion question), beside the bare
// loop of the FreeImage calls that one conversion makes and a loop of ConvertImage alone, on the
// same files. The three take turns round by round so that other load on the machine falls on all
// alike; per file the median over the rounds is shown. The difference between the run and
// ConvertImage alone is what the window adds; between ConvertImage and the bare loop, what the
// conversion itself adds.
//
// Per-file time of the run: from the end of one tick to the end of the next (the first from the
// press of Start, so it holds Start's checks and the folder's creation), so it holds everything
// the window does between two files: the tick's texts, the repaint of the status bar and the
// progress bar, the timer's wait. The run goes on in a plain event loop, as in the program; a
// polling wait such as QTest::qWaitFor would add its own sleeps between the ticks.
//
//   bench_run [rounds]    (default 3; corpus cached in $TMPDIR/kavenra-bench-run-corpus)

#include <FreeImage.h>

#include <QAbstractButton>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/FreeImageBitmap.h"
#include "engine/Procesosimagen.h"
#include "support/DatabaseFixture.h"
#include "support/DropFiles.h"
#include "support/ImageFactory.h"
#include "support/ModalAnswerer.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

using kavenra::BitmapHandle;
using Clock = std::chrono::steady_clock;

namespace {

struct CorpusFile {
    QString path;
    int width;
    int height;
};

// One category of files and the size the run gives them, by one of the window's presets.
struct Category {
    const char* name;
    std::vector<CorpusFile> files;
    QRadioButton* TForm1::*preset;
    int targetWidth;
    int targetHeight;
};

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<CorpusFile> PrepareFiles(const QString& folder, const char* prefix,
                                     const std::vector<std::pair<int, int>>& shapes,
                                     std::uint32_t firstSeed) {
    QDir().mkpath(folder);
    std::vector<CorpusFile> files;
    std::uint32_t seed = firstSeed;
    for (const auto& [width, height] : shapes) {
        const QString path = QStringLiteral("%1/%2-%3x%4-%5.jpg")
                                 .arg(folder, prefix)
                                 .arg(width)
                                 .arg(height)
                                 .arg(seed);
        const std::string name = QFile::encodeName(path).toStdString();
        const BitmapHandle header(FreeImage_Load(FIF_JPEG, name.c_str(), FIF_LOAD_NOPIXELS));
        if (!header) {
            std::printf("generating %s ...\n", name.c_str());
            std::fflush(stdout);
            const BitmapHandle picture = kavenra::test::MakeNaturalBitmap(width, height, seed);
            // A camera-like encoding: quality 92, 4:2:0 chroma.
            if (!picture || !kavenra::test::SaveBitmapFile(*picture, FIF_JPEG, name,
                                                           92 | JPEG_SUBSAMPLING_420)) {
                std::fprintf(stderr, "cannot write %s\n", name.c_str());
                std::exit(1);
            }
        }
        files.push_back({path, width, height});
        ++seed;
    }
    return files;
}

// 24 photos from 2 to 24 megapixels, a few of them upright, and 20 small 640 x 480 pictures.
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
    const std::vector<std::pair<int, int>> small(20, {640, 480});
    return {{"large photos (2-24 MP) to 1024 x 768", PrepareFiles(folder, "photo", large, 100),
             &TForm1::RadioButton4, 1024, 768},
            {"small pictures (640 x 480) to 320 x 240", PrepareFiles(folder, "small", small, 500),
             &TForm1::RadioButton1, 320, 240}};
}

// The calls one conversion of a JPEG makes at an explicit size with the initial options, and
// nothing else.
bool BareConversion(const std::string& source, const std::string& destination, int width,
                    int height) {
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(source.c_str(), 0);
    const BitmapHandle loaded(FreeImage_Load(format, source.c_str(), JPEG_ACCURATE));
    if (!loaded) return false;
    FITAG* tag = nullptr;
    FreeImage_GetMetadata(FIMD_COMMENTS, loaded.get(), "OriginalJPEGWidth", &tag);
    FreeImage_GetMetadata(FIMD_COMMENTS, loaded.get(), "OriginalJPEGHeight", &tag);
    FreeImage_GetWidth(loaded.get());
    FreeImage_GetHeight(loaded.get());
    const BitmapHandle rescaled(FreeImage_Rescale(loaded.get(), width, height, FILTER_CATMULLROM));
    return FreeImage_Save(format, rescaled.get(), destination.c_str(), JPEG_QUALITYSUPERB) == TRUE;
}

// The program's conversion called directly, as a tick calls it, without the window.
bool EngineConversion(const std::string& source, const std::string& destination, int width,
                      int height) {
    return ConvertImage(source, destination, 0, height, width);
}

using Conversion = bool (*)(const std::string&, const std::string&, int, int);

// Times each file's conversion into a new file; the output is removed outside the measurement.
std::vector<double> LoopRound(Conversion convert, const Category& category,
                              const QString& outFolder) {
    std::vector<double> times;
    for (const CorpusFile& file : category.files) {
        const std::string source = QFile::encodeName(file.path).toStdString();
        const std::string destination =
            QFile::encodeName(outFolder + QStringLiteral("/loop.jpg")).toStdString();
        const Clock::time_point start = Clock::now();
        if (!convert(source, destination, category.targetWidth, category.targetHeight)) {
            std::fprintf(stderr, "conversion failed: %s\n", source.c_str());
            std::exit(1);
        }
        times.push_back(Milliseconds(Clock::now() - start));
        std::remove(destination.c_str());
    }
    return times;
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

std::vector<double> WindowRound(const Category& category, const QString& outFolder) {
    Form1->Edit3->setText(outFolder + QStringLiteral("/RES/"));
    kavenra::testing::ModalAnswerer answers;
    answers.answerMsgBox(kavenra::testing::MsgBoxAnswer::Button3);  // the completion: "No"

    // The program's own kind of event loop, which waits for the next event without polling.
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    limit.start(600000);
    std::vector<Clock::time_point> tickEnds;
    const std::size_t ticks = category.files.size() + 1;
    // Connected after the window's own handler, so it runs when the tick's work is done.
    const QMetaObject::Connection probe =
        QObject::connect(Form1->Timer1, &QTimer::timeout, [&tickEnds, &loop, ticks] {
            tickEnds.push_back(Clock::now());
            if (tickEnds.size() == ticks) loop.exit(0);
        });
    const Clock::time_point start = Clock::now();
    QTimer::singleShot(0, Form1->Button3, &QPushButton::click);
    const int failed = loop.exec();
    QObject::disconnect(probe);
    if (failed || answers.msgBoxes().size() != 1) {
        std::fprintf(stderr, "the run did not complete\n");
        std::exit(1);
    }

    std::vector<double> times;
    Clock::time_point previous = start;
    for (std::size_t i = 0; i < category.files.size(); ++i) {
        times.push_back(Milliseconds(tickEnds[i] - previous));
        previous = tickEnds[i];
    }
    QDir(outFolder + QStringLiteral("/RES")).removeRecursively();
    return times;
}

using Rounds = std::vector<std::vector<double>>;

double FileMedian(const Rounds& rounds, std::size_t file) {
    std::vector<double> times;
    for (const std::vector<double>& round : rounds) times.push_back(round[file]);
    return Median(times);
}

void Report(const Category& category, const Rounds& bare, const Rounds& engine, const Rounds& run) {
    std::printf("\n%s, %zu files, median of %zu rounds\n", category.name, category.files.size(),
                bare.size());
    std::printf("  %-30s %5s %9s %9s %9s %9s\n", "file", "MP", "bare ms", "convert", "run ms",
                "run-bare");
    double bareTotal = 0, engineTotal = 0, runTotal = 0;
    for (std::size_t i = 0; i < category.files.size(); ++i) {
        const double b = FileMedian(bare, i);
        const double e = FileMedian(engine, i);
        const double w = FileMedian(run, i);
        bareTotal += b;
        engineTotal += e;
        runTotal += w;
        const CorpusFile& file = category.files[i];
        std::printf("  %-30s %5.1f %9.1f %9.1f %9.1f %+8.1f%%\n",
                    qPrintable(QFileInfo(file.path).fileName()),
                    file.width * double(file.height) / 1e6, b, e, w, 100.0 * (w - b) / b);
    }
    const double n = static_cast<double>(category.files.size());
    std::printf("  per file: bare %.2f ms, ConvertImage alone %.2f ms, run %.2f ms\n",
                bareTotal / n, engineTotal / n, runTotal / n);
    std::printf(
        "  run against bare: %+.2f%% (%+.2f ms per file); of which the conversion "
        "%+.2f ms and the window %+.2f ms per file\n",
        100.0 * (runTotal - bareTotal) / bareTotal, (runTotal - bareTotal) / n,
        (engineTotal - bareTotal) / n, (runTotal - engineTotal) / n);
}

}  // namespace

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kavenra::testing::PrepareWindowTestApplication();
    kavenra::startup::InitialiseImageLibrary();
    const std::vector<Category> corpus = PrepareCorpus();

    // The databases the program ships, so every text of a tick is a real lookup.
    kavenra::testing::DatabaseFolder databases;
    QString error;
    if (!databases.copyShippedDatabases(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    StartupChecksRun = true;  // no update check on the network
    CreateAllForms();
    Form1->show();
    if (!QTest::qWaitForWindowExposed(Form1)) return 1;

    for (const Category& category : corpus) {
        ListCategory(category);
        QTemporaryDir output;
        // Warm the file cache and the code of each; then rotate which goes first.
        LoopRound(BareConversion, category, output.path());
        LoopRound(EngineConversion, category, output.path());
        WindowRound(category, output.path());
        Rounds bare, engine, run;
        for (int round = 0; round < rounds; ++round) {
            for (int step = 0; step < 3; ++step) {
                switch ((round + step) % 3) {
                    case 0:
                        bare.push_back(LoopRound(BareConversion, category, output.path()));
                        break;
                    case 1:
                        engine.push_back(LoopRound(EngineConversion, category, output.path()));
                        break;
                    case 2:
                        run.push_back(WindowRound(category, output.path()));
                        break;
                }
            }
        }
        Report(category, bare, engine, run);
    }
    DestroyAllForms();
    return 0;
}
