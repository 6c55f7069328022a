// What the image worker costs: ConvertImage (the conversion in a fresh job of the worker, its
// settings asked of this process) beside the same conversion core called in this process, on
// camera-like JPEG photos of 12 to 24 megapixels and on small 640 x 480 pictures, at longest side
// 1024 with the initial options. Both run alternately on the same files so that other load on the
// machine falls on both alike; per file the median over the rounds is shown.
//
//   bench_isolation [rounds]      (default 9; corpus cached in $TMPDIR/kavenra-bench-isolation)
//
// Targets: at most 3 % slower on the large photos, at most 1 ms more per small picture.

#include <FreeImage.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/base/ConversionOptions.h"
#include "engine/convert/ImageConversion.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/isolation/ImageDetection.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/output/ReplacingSave.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ImageFactory.h"

using kavenra::BitmapHandle;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLongestSide = 1024;

struct Shape {
    int width;
    int height;
    std::uint32_t seed;
};

struct CorpusFile {
    std::string path;
    std::string name;
    bool large;
};

std::string Generate(const QString& folder, const Shape& shape) {
    const QString name =
        QString("photo-%1x%2-%3.jpg").arg(shape.width).arg(shape.height).arg(shape.seed);
    const std::string path = QFile::encodeName(folder + "/" + name).toStdString();
    const BitmapHandle header(FreeImage_Load(FIF_JPEG, path.c_str(), FIF_LOAD_NOPIXELS));
    if (header) return path;
    std::printf("generating %s ...\n", path.c_str());
    std::fflush(stdout);
    const BitmapHandle picture =
        kavenra::test::MakeNaturalBitmap(shape.width, shape.height, shape.seed);
    // A camera-like encoding: quality 92, 4:2:0 chroma.
    if (!picture ||
        !kavenra::test::SaveBitmapFile(*picture, FIF_JPEG, path, 92 | JPEG_SUBSAMPLING_420)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

std::vector<CorpusFile> PrepareCorpus() {
    const QString folder = QDir::tempPath() + "/kavenra-bench-isolation";
    QDir().mkpath(folder);
    const Shape large[] = {
        {4000, 3000, 11}, {3000, 4000, 12}, {4608, 3456, 13}, {5184, 3456, 14}, {6000, 4000, 15}};
    std::vector<CorpusFile> corpus;
    for (const Shape& shape : large) {
        const std::string path = Generate(folder, shape);
        corpus.push_back({path, path.substr(path.find_last_of('/') + 1), true});
    }
    for (std::uint32_t seed = 21; seed < 41; ++seed) {
        const std::string path = Generate(folder, {640, 480, seed});
        corpus.push_back({path, path.substr(path.find_last_of('/') + 1), false});
    }
    return corpus;
}

double TimeMs(const std::function<bool()>& run, const std::string& output) {
    const Clock::time_point start = Clock::now();
    if (!run()) {
        std::fprintf(stderr, "conversion failed\n");
        std::exit(1);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::remove(output.c_str());
    return ms;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Totals {
    double inProcess = 0;
    double isolated = 0;
    int files = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    kavenra::test::InitialiseFreeImageOnce();
    const std::vector<CorpusFile> corpus = PrepareCorpus();
    QTemporaryDir output;
    const std::string outFolder = QFile::encodeName(output.path()).toStdString() + "/";

    const Clock::time_point start = Clock::now();
    DetectImageFormat(corpus.front().path);
    std::printf("\nworker start and first detection: %.1f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    std::vector<double> roundTrips;
    for (int i = 0; i < 200; ++i) {
        const Clock::time_point detection = Clock::now();
        DetectImageFormat(corpus.back().path);
        roundTrips.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - detection).count());
    }
    std::printf("detection of a 640x480 JPEG in the worker, median of 200: %.3f ms\n\n",
                Median(roundTrips));

    std::printf(
        "ConvertImage in the worker vs the conversion core in this process, longest side %d, "
        "initial options (Catmull-Rom, JPEG superb), %d rounds, medians\n\n",
        kLongestSide, rounds);
    std::printf("%-28s %12s %12s %10s %8s\n", "file", "in-process", "isolated", "difference", "");
    Totals large, small;
    for (const CorpusFile& file : corpus) {
        const std::string inOut = outFolder + "in-process.jpg";
        const std::string isoOut = outFolder + "isolated.jpg";
        const kavenra::ConversionJob job{
            kavenra::RequestFromEntryArguments(file.path, inOut, 1, 0, kLongestSide), {}};
        auto inProcess = [&] {
            const kavenra::Preparation preparation = kavenra::PrepareImageFile(job);
            return preparation.prepared && kavenra::CommitPreparedOutput(*preparation.prepared);
        };
        auto isolated = [&] { return ConvertImage(file.path, isoOut, 1, 0, kLongestSide); };
        TimeMs(inProcess, inOut);  // warm-up: file cache and first-use costs
        TimeMs(isolated, isoOut);

        std::vector<double> inTimes, isoTimes;
        for (int round = 0; round < rounds; ++round) {
            // Alternate which goes first, so neither always runs on a cooler or warmer machine.
            if (round % 2 == 0) {
                inTimes.push_back(TimeMs(inProcess, inOut));
                isoTimes.push_back(TimeMs(isolated, isoOut));
            } else {
                isoTimes.push_back(TimeMs(isolated, isoOut));
                inTimes.push_back(TimeMs(inProcess, inOut));
            }
        }
        const double in = Median(inTimes);
        const double iso = Median(isoTimes);
        Totals& totals = file.large ? large : small;
        totals.inProcess += in;
        totals.isolated += iso;
        ++totals.files;
        std::printf("%-28s %9.2f ms %9.2f ms %+7.2f ms %+7.2f%%\n", file.name.c_str(), in, iso,
                    iso - in, 100 * (iso / in - 1));
        std::fflush(stdout);
    }
    std::printf(
        "\nlarge photos (%d): in-process %.1f ms, isolated %.1f ms per file: %+.2f %% "
        "(target at most +3 %%)\n",
        large.files, large.inProcess / large.files, large.isolated / large.files,
        100 * (large.isolated / large.inProcess - 1));
    std::printf(
        "small pictures (%d): in-process %.2f ms, isolated %.2f ms per file: %+.3f ms "
        "(target at most +1 ms)\n",
        small.files, small.inProcess / small.files, small.isolated / small.files,
        (small.isolated - small.inProcess) / small.files);
    return 0;
}
