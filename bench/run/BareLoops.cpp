#include "BareLoops.h"

#include <FreeImage.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>

#include "engine/formats/FreeImageBitmap.h"
#include "support/ImageFactory.h"

namespace kavenra::bench {

std::vector<CorpusFile> PrepareCameraJpegs(const QString& folder, const char* prefix,
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
    return FreeImage_Save(format, rescaled.get(), destination.c_str(),
                          JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444) == TRUE;
}

void BareFiles(const std::vector<CorpusFile>& files, int width, int height,
               const QString& outFolder, std::size_t first, std::size_t step) {
    for (std::size_t at = first; at < files.size(); at += step) {
        const std::string source = QFile::encodeName(files[at].path).toStdString();
        const std::string destination =
            QFile::encodeName(outFolder + QLatin1Char('/') + QFileInfo(files[at].path).fileName())
                .toStdString();
        if (!BareConversion(source, destination, width, height)) {
            std::fprintf(stderr, "conversion failed: %s\n", source.c_str());
            std::exit(1);
        }
    }
}

RoundFigures TwoBareLoops(const std::vector<CorpusFile>& files, int width, int height,
                          const QString& outFolder) {
    QDir().mkpath(outFolder);
    const Clock::time_point start = Clock::now();
    std::thread other([&] { BareFiles(files, width, height, outFolder, 1, 2); });
    BareFiles(files, width, height, outFolder, 0, 2);
    other.join();
    RoundFigures figures;
    figures.wallMs = Milliseconds(Clock::now() - start);
    return figures;
}

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

BitmapHandle Decoded(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    return BitmapHandle(FreeImage_Load(FreeImage_GetFileType(name, 0), name, 0));
}

}  // namespace

bool SameDecodedPixels(const QString& first, const QString& second) {
    const BitmapHandle a = Decoded(first);
    const BitmapHandle b = Decoded(second);
    return a && b && kavenra::test::SamePixels(*a, *b);
}

Differences DifferingFiles(const QString& reference, const QString& folder) {
    const QStringList expected = QDir(reference).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    const QStringList written = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    Differences differing;
    if (written != expected) differing = {1, 1};
    for (const QString& name : expected) {
        const QString mine = folder + QLatin1Char('/') + name;
        const QString bare = reference + QLatin1Char('/') + name;
        if (Contents(bare) == Contents(mine)) continue;
        ++differing.bytes;
        if (!SameDecodedPixels(bare, mine)) ++differing.pixels;
    }
    return differing;
}

double LowestPeakSignalToNoise(const QString& reference, const QString& folder) {
    double lowest = std::numeric_limits<double>::infinity();
    for (const QString& name : QDir(reference).entryList(QDir::Files, QDir::Name)) {
        const BitmapHandle a = Decoded(folder + QLatin1Char('/') + name);
        const BitmapHandle b = Decoded(reference + QLatin1Char('/') + name);
        if (!a || !b || FreeImage_GetWidth(a.get()) != FreeImage_GetWidth(b.get()) ||
            FreeImage_GetHeight(a.get()) != FreeImage_GetHeight(b.get())) {
            return 0;
        }
        lowest = std::min(lowest, kavenra::test::PeakSignalToNoise(*a, *b));
    }
    return lowest;
}

}  // namespace kavenra::bench
