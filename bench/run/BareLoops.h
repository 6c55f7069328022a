#pragma once

// What the benchmarks measure the program against: a corpus of photo-like JPEGs made once and
// cached, the bare FreeImage calls one conversion makes with the shipped options, the same loop
// on two cores, and the comparisons of a run's outputs with the loop's.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "WindowRounds.h"

namespace kavenra::bench {

struct CorpusFile {
    QString path;
    int width;
    int height;
};

// One natural-looking JPEG per shape in `folder`, saved as a camera does (quality 92, 4:2:0),
// named by `prefix`, shape and seed; files already there are kept. Ends the process when one
// cannot be written.
std::vector<CorpusFile> PrepareCameraJpegs(const QString& folder, const char* prefix,
                                           const std::vector<std::pair<int, int>>& shapes,
                                           std::uint32_t firstSeed);

// The calls one conversion of a JPEG makes at an explicit size with the shipped options (the
// best JPEG setting keeps the colour at full resolution), and nothing else.
bool BareConversion(const std::string& source, const std::string& destination, int width,
                    int height);

// The bare calls on the files whose position in the list is `first`, `first` + `step`, ...,
// each into `outFolder` under its own name. Ends the process when one fails.
void BareFiles(const std::vector<CorpusFile>& files, int width, int height,
               const QString& outFolder, std::size_t first, std::size_t step);

// The least a run on two cores can take: two bare loops side by side, each on every other file.
RoundFigures TwoBareLoops(const std::vector<CorpusFile>& files, int width, int height,
                          const QString& outFolder);

bool SameDecodedPixels(const QString& first, const QString& second);

// The files of `folder` that are missing from `reference` or differ from it: in their decoded
// pixels, or (where the program keeps metadata the bare calls drop) byte for byte.
struct Differences {
    int pixels = 0;
    int bytes = 0;
    Differences& operator+=(const Differences& other) {
        pixels += other.pixels;
        bytes += other.bytes;
        return *this;
    }
};
Differences DifferingFiles(const QString& reference, const QString& folder);

// The lowest PSNR of a file of `folder` against the file of the same name in `reference`, in dB
// (infinity when every pair is identical, 0 when one is missing, unreadable or of another size).
double LowestPeakSignalToNoise(const QString& reference, const QString& folder);

}  // namespace kavenra::bench
