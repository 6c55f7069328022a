// Cost per file of encoding a JPEG or WebP output within a size, beside one plain save of the
// same picture at the quality the program uses by default: the median of three rounds each, and
// their ratio.
//
//   bench_budget [longest side]   (default 1600; photo-like pictures made in memory)

#include <FreeImage.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/formats/FreeImageBitmap.h"
#include "engine/output/SizeBudget.h"
#include "support/ImageFactory.h"

using kavenra::BitmapHandle;

namespace {

constexpr int kRounds = 3;
constexpr int kPictures = 4;

double MedianMilliseconds(const std::function<void()>& work) {
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Case {
    const char* name;
    FREE_IMAGE_FORMAT format;
    int plainFlags;        // the program's default save
    std::size_t maxBytes;  // the budget
};

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::max(64, std::atoi(argv[1])) : 1600;
    kavenra::test::InitialiseFreeImageOnce();
    std::vector<BitmapHandle> pictures;
    for (int seed = 1; seed <= kPictures; ++seed) {
        pictures.push_back(kavenra::test::MakeNaturalBitmap(side, side * 3 / 4, seed));
    }
    const Case cases[] = {
        {"JPEG, 150 KB", FIF_JPEG, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444, 150u << 10},
        {"JPEG, 50 MB", FIF_JPEG, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444, 50u << 20},
        {"JPEG, 1 KB", FIF_JPEG, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444, 1u << 10},
        {"WebP, 100 KB", FIF_WEBP, 80, 100u << 10},
        {"WebP, 50 MB", FIF_WEBP, 80, 50u << 20},
    };
    std::printf("%d pictures of %dx%d, median of %d rounds, per file\n", kPictures, side,
                side * 3 / 4, kRounds);
    std::printf("%-14s %10s %10s %7s %8s %8s\n", "budget", "plain ms", "budget ms", "ratio",
                "encodes", "quality");
    for (const Case& c : cases) {
        int encodes = 0;
        int quality = 0;
        const double plain = MedianMilliseconds([&] {
            for (const BitmapHandle& picture : pictures) {
                (void)kavenra::test::EncodeImage(*picture, c.format, c.plainFlags);
            }
        });
        const double budgeted = MedianMilliseconds([&] {
            encodes = 0;
            quality = 0;
            for (const BitmapHandle& picture : pictures) {
                const kavenra::BudgetedEncoding encoding =
                    kavenra::EncodeWithinBudget(*picture, c.format, c.maxBytes, 0);
                encodes += encoding.encodes;
                quality += encoding.quality;
            }
        });
        std::printf("%-14s %10.1f %10.1f %7.2f %8.1f %8.1f\n", c.name, plain / kPictures,
                    budgeted / kPictures, budgeted / plain, double(encodes) / kPictures,
                    double(quality) / kPictures);
    }
    return 0;
}
