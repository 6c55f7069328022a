// Time and peak memory of ConvertImage on large photo-like JPEGs at longest side 1024 with the
// initial options, beside a bare loop of the same FreeImage calls. The two run alternately on the
// same files so that other load on the machine falls on both alike.
//
//   bench_convert [rounds]        (default 11; corpus cached in $TMPDIR/kavenra-bench-corpus)

#include <FreeImage.h>
#include <malloc.h>
#include <time.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/formats/FreeImageBitmap.h"
#include "engine/output/ReplacingSave.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ImageFactory.h"

using kavenra::BitmapHandle;

namespace {

constexpr int kLongestSide = 1024;

struct CorpusFile {
    std::string path;
    int width;
    int height;
};

// The same calls ConvertImage makes for a JPEG with the initial options, without its settings
// source, its checks or its temporary file: the floor that the conversion is measured against.
bool BareConversion(const std::string& source, const std::string& destination) {
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(source.c_str(), 0);
    const BitmapHandle loaded(FreeImage_Load(format, source.c_str(), JPEG_ACCURATE));
    if (!loaded) return false;
    long width = FreeImage_GetWidth(loaded.get());
    long height = FreeImage_GetHeight(loaded.get());
    FITAG* tag = nullptr;
    if (FreeImage_GetMetadata(FIMD_COMMENTS, loaded.get(), "OriginalJPEGWidth", &tag) && tag) {
        width = std::atol(static_cast<const char*>(FreeImage_GetTagValue(tag)));
    }
    if (FreeImage_GetMetadata(FIMD_COMMENTS, loaded.get(), "OriginalJPEGHeight", &tag) && tag) {
        height = std::atol(static_cast<const char*>(FreeImage_GetTagValue(tag)));
    }
    const long long L = kLongestSide;
    const int targetWidth = width > height ? kLongestSide : int(L * width / height + 1);
    const int targetHeight = width > height ? int(L * height / width + 1) : kLongestSide;
    const BitmapHandle rescaled(
        FreeImage_Rescale(loaded.get(), targetWidth, targetHeight, FILTER_CATMULLROM));
    return FreeImage_Save(FIF_JPEG, rescaled.get(), destination.c_str(),
                          JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444) == TRUE;
}

bool KavenraConversion(const std::string& source, const std::string& destination) {
    return ConvertImage(source, destination, 1, 0, kLongestSide);
}

struct Sample {
    double wallMs;
    double cpuMs;
};

double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Times one conversion into a new file, as in a first run into a fresh folder; the output is
// removed afterwards, outside the measurement.
Sample Time(const std::function<bool()>& run, const std::string& output) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuMs();
    if (!run()) {
        std::fprintf(stderr, "conversion failed\n");
        std::exit(1);
    }
    const Sample sample{
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count(),
        CpuMs() - cpuStart};
    std::remove(output.c_str());
    return sample;
}

double Minimum(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Kilobytes of a "Vm...:" line of /proc/self/status.
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}

// Peak resident memory above the level before the run, in MiB; the kernel's high-water mark is
// reset first so that each phase is measured on its own.
double PeakAboveBaselineMb(const std::function<bool()>& run) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKb("VmRSS");
    if (!run()) std::exit(1);
    return (StatusKb("VmHWM") - before) / 1024.0;
}

double BitmapMb(int width, int height) {
    const double pitch = ((width * 24 + 31) / 32) * 4.0;
    return pitch * height / (1024.0 * 1024.0);
}

// The part of ConvertImage that the bare loop does differently: the save through a temporary
// file and a rename, against FreeImage_Save straight onto the destination, on a typical output.
void CompareSaveStep(const std::string& outFolder, int repetitions) {
    const BitmapHandle picture = kavenra::test::MakeNaturalBitmap(1024, 768, 21);
    const std::string destination = outFolder + "save.jpg";
    std::vector<double> direct, replacing;
    for (int i = 0; i < repetitions; ++i) {
        direct.push_back(Time(
                             [&] {
                                 return FreeImage_Save(FIF_JPEG, picture.get(), destination.c_str(),
                                                       JPEG_QUALITYSUPERB) == TRUE;
                             },
                             destination)
                             .wallMs);
        replacing.push_back(Time(
                                [&] {
                                    return kavenra::SaveReplacingFile(
                                        FIF_JPEG, *picture, destination, JPEG_QUALITYSUPERB);
                                },
                                destination)
                                .wallMs);
    }
    std::printf(
        "\nsave step alone, 1024x768 JPEG superb, %d times, median (min): FreeImage_Save "
        "%.2f ms (%.2f), through a temporary file %.2f ms (%.2f), %+.3f ms\n",
        repetitions, Median(direct), Minimum(direct), Median(replacing), Minimum(replacing),
        Median(replacing) - Median(direct));
}

std::vector<CorpusFile> PrepareCorpus() {
    const QString folder = QDir::tempPath() + "/kavenra-bench-corpus";
    QDir().mkpath(folder);
    const struct {
        int width, height;
        std::uint32_t seed;
    } shapes[] = {{4000, 3000, 11}, {3000, 4000, 12}, {6000, 4000, 13}, {4000, 6000, 14}};
    std::vector<CorpusFile> corpus;
    for (const auto& shape : shapes) {
        const QString name =
            QString("photo-%1x%2-%3.jpg").arg(shape.width).arg(shape.height).arg(shape.seed);
        const std::string path = QFile::encodeName(folder + "/" + name).toStdString();
        const BitmapHandle header(FreeImage_Load(FIF_JPEG, path.c_str(), FIF_LOAD_NOPIXELS));
        if (!header) {
            std::printf("generating %s ...\n", path.c_str());
            std::fflush(stdout);
            const BitmapHandle picture =
                kavenra::test::MakeNaturalBitmap(shape.width, shape.height, shape.seed);
            // A camera-like encoding: quality 92, 4:2:0 chroma.
            if (!picture || !kavenra::test::SaveBitmapFile(*picture, FIF_JPEG, path,
                                                           92 | JPEG_SUBSAMPLING_420)) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                std::exit(1);
            }
        }
        corpus.push_back({path, shape.width, shape.height});
    }
    return corpus;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    // Every bitmap-sized block is mapped on its own and returned when freed, so that each phase's
    // peak is measured from the same baseline rather than from what the allocator kept.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    FreeImage_Initialise(FALSE);
    const std::vector<CorpusFile> corpus = PrepareCorpus();
    QTemporaryDir output;
    const std::string outFolder = QFile::encodeName(output.path()).toStdString() + "/";

    std::printf(
        "ConvertImage vs bare FreeImage loop, longest side %d, initial options "
        "(Catmull-Rom, JPEG superb), %d rounds; wall and cpu are medians\n\n",
        kLongestSide, rounds);
    std::printf("%-24s %9s %9s %7s  %9s %9s %7s  %9s %9s %7s  %9s %9s %9s\n", "file", "bare",
                "convert", "wall", "bare min", "conv min", "min", "bare cpu", "conv cpu", "cpu",
                "peak bare", "peak conv", "2 bitmaps");

    double bareWallTotal = 0, convertWallTotal = 0, bareCpuTotal = 0, convertCpuTotal = 0;
    for (const CorpusFile& file : corpus) {
        const std::string bareOut = outFolder + "bare.jpg";
        const std::string convertOut = outFolder + "convert.jpg";
        auto bare = [&] { return BareConversion(file.path, bareOut); };
        auto convert = [&] { return KavenraConversion(file.path, convertOut); };
        Time(bare, bareOut);  // warm-up: file cache and first-use costs
        Time(convert, convertOut);

        std::vector<double> bareWall, convertWall, bareCpu, convertCpu;
        for (int round = 0; round < rounds; ++round) {
            // Alternate which goes first, so neither always runs on a cooler or warmer machine.
            const bool convertFirst = round % 2 == 1;
            const Sample first = convertFirst ? Time(convert, convertOut) : Time(bare, bareOut);
            const Sample second = convertFirst ? Time(bare, bareOut) : Time(convert, convertOut);
            const Sample& b = convertFirst ? second : first;
            const Sample& c = convertFirst ? first : second;
            bareWall.push_back(b.wallMs);
            bareCpu.push_back(b.cpuMs);
            convertWall.push_back(c.wallMs);
            convertCpu.push_back(c.cpuMs);
        }
        const double peakBare = PeakAboveBaselineMb(bare);
        const double peakConvert = PeakAboveBaselineMb(convert);
        const BitmapHandle result(FreeImage_Load(FIF_JPEG, convertOut.c_str(), FIF_LOAD_NOPIXELS));
        const double twoBitmaps =
            BitmapMb(file.width, file.height) +
            BitmapMb(FreeImage_GetWidth(result.get()), FreeImage_GetHeight(result.get()));

        const double bw = Median(bareWall), cw = Median(convertWall);
        const double bc = Median(bareCpu), cc = Median(convertCpu);
        const double bm = Minimum(bareWall), cm = Minimum(convertWall);
        bareWallTotal += bw;
        convertWallTotal += cw;
        bareCpuTotal += bc;
        convertCpuTotal += cc;
        const std::string name = file.path.substr(file.path.find_last_of('/') + 1);
        std::printf(
            "%-24s %7.1fms %7.1fms %+6.2f%%  %7.1fms %7.1fms %+6.2f%%  %7.1fms %7.1fms "
            "%+6.2f%%  %6.1f MB %6.1f MB %6.1f MB\n",
            name.c_str(), bw, cw, 100 * (cw / bw - 1), bm, cm, 100 * (cm / bm - 1), bc, cc,
            100 * (cc / bc - 1), peakBare, peakConvert, twoBitmaps);
        std::fflush(stdout);
    }
    CompareSaveStep(outFolder, rounds * 5);
    std::printf(
        "\nper file, all files: bare %.1f ms, ConvertImage %.1f ms (%+.2f%% wall); "
        "cpu %.1f vs %.1f ms (%+.2f%%)\n",
        bareWallTotal / corpus.size(), convertWallTotal / corpus.size(),
        100 * (convertWallTotal / bareWallTotal - 1), bareCpuTotal / corpus.size(),
        convertCpuTotal / corpus.size(), 100 * (convertCpuTotal / bareCpuTotal - 1));
    return 0;
}
