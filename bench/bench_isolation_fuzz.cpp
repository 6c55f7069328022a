// Mutation fuzzing of the six accepted formats (and of ICO and PSD, which list files can bring)
// through the image worker: small valid files are mutated (bit flips, bytes and integers set to
// boundary values, runs of random bytes, truncation, duplicated and removed blocks), detected and
// converted through the worker, and every input whose job crashed or ran out of time is kept.
// Random byte blocks go through detection alone.
//
//   bench_isolation_fuzz [cases per seed file] [random seed] [output folder]
//        (default 200, 1, $TMPDIR/kavenra-fuzz-findings)
//
// Each job gets a 3 s limit (KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS, unless set tighter). Findings
// are named <seed file>-<crash|timeout>-<signal>-<hash>.<ext>; tests/data/hostile holds the small
// ones worth keeping.

#include <FreeImage.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/ImageDetection.h"
#include "engine/ImageWorker.h"
#include "engine/Procesosimagen.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"

using kavenra::BitmapHandle;
using kavenra::test::Bytes;

namespace {

struct SeedFile {
    std::string name;
    std::string extension;
    Bytes data;
};

Bytes Encode(const BitmapHandle& bitmap, FREE_IMAGE_FORMAT format, int flags) {
    return bitmap ? kavenra::test::EncodeImage(*bitmap, format, flags) : Bytes{};
}

std::vector<SeedFile> SeedFiles() {
    using kavenra::test::MakeGreyBitmap;
    using kavenra::test::MakeNaturalBitmap;
    using kavenra::test::MakePaletteBitmap;
    const BitmapHandle colour = MakeNaturalBitmap(48, 32, 3);
    const BitmapHandle grey = MakeGreyBitmap(48, 32, 3);
    const BitmapHandle palette = MakePaletteBitmap(40, 30, 3);
    kavenra::test::CameraRawSpec raw;
    raw.previewWidth = 64;
    raw.previewHeight = 48;
    raw.sensorWidth = 32;
    raw.sensorHeight = 24;
    return {
        {"bmp24", "bmp", Encode(colour, FIF_BMP, BMP_DEFAULT)},
        {"bmp8-rle", "bmp", Encode(grey, FIF_BMP, BMP_SAVE_RLE)},
        {"bmp8", "bmp", Encode(palette, FIF_BMP, BMP_DEFAULT)},
        {"jpeg", "jpg", Encode(colour, FIF_JPEG, JPEG_QUALITYGOOD)},
        {"jpeg-progressive", "jpg", Encode(colour, FIF_JPEG, JPEG_PROGRESSIVE)},
        {"jpeg-grey", "jpg", Encode(grey, FIF_JPEG, JPEG_QUALITYNORMAL)},
        {"png24", "png", Encode(colour, FIF_PNG, PNG_Z_BEST_SPEED)},
        {"png8", "png", Encode(palette, FIF_PNG, PNG_Z_BEST_SPEED)},
        {"tga24", "tga", Encode(colour, FIF_TARGA, TARGA_DEFAULT)},
        {"tga24-rle", "tga", Encode(colour, FIF_TARGA, TARGA_SAVE_RLE)},
        {"tga8-rle", "tga", Encode(palette, FIF_TARGA, TARGA_SAVE_RLE)},
        {"tif-none", "tif", Encode(colour, FIF_TIFF, TIFF_NONE)},
        {"tif-lzw", "tif", Encode(colour, FIF_TIFF, TIFF_LZW)},
        {"tif-deflate", "tif", Encode(grey, FIF_TIFF, TIFF_DEFLATE)},
        {"tif-jpeg", "tif", Encode(colour, FIF_TIFF, TIFF_JPEG)},
        {"tif-packbits", "tif", Encode(palette, FIF_TIFF, TIFF_PACKBITS)},
        {"dng", "dng", kavenra::test::MakeMinimalDng(raw)},
        // Not accepted by a drop, but a list file reaches the conversion with any file.
        {"ico", "ico", Encode(MakeNaturalBitmap(32, 32, 3), FIF_ICO, 0)},
        {"psd", "psd", Encode(colour, FIF_PSD, 0)},
    };
}

class Mutator {
  public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}

    Bytes mutate(Bytes data) {
        const int steps = 1 + pick(4);
        for (int step = 0; step < steps && !data.empty(); ++step) apply(data);
        return data;
    }

    Bytes randomBytes() {
        Bytes data(1 + pick(512));
        for (auto& byte : data) byte = static_cast<unsigned char>(pick(256));
        return data;
    }

  private:
    int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

    // Headers decide what a loader allocates and loops over: most mutations land there.
    std::size_t offset(const Bytes& data) {
        const std::size_t head = std::min<std::size_t>(data.size(), 96);
        return pick(3) == 0 ? static_cast<std::size_t>(pick(static_cast<int>(data.size())))
                            : static_cast<std::size_t>(pick(static_cast<int>(head)));
    }

    void apply(Bytes& data) {
        static const std::array<std::uint32_t, 10> boundary = {
            0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
        const std::size_t at = offset(data);
        switch (pick(7)) {
            case 0:  // flip bits
                data[at] ^= static_cast<unsigned char>(1 << pick(8));
                break;
            case 1:  // a byte set to a boundary value
                data[at] = static_cast<unsigned char>(boundary[pick(5)]);
                break;
            case 2: {  // a 16- or 32-bit integer set to a boundary value, either byte order
                const int width = pick(2) ? 2 : 4;
                const std::uint32_t value = boundary[pick(static_cast<int>(boundary.size()))];
                const bool big = pick(2);
                for (int i = 0; i < width && at + i < data.size(); ++i) {
                    const int shift = 8 * (big ? width - 1 - i : i);
                    data[at + i] = static_cast<unsigned char>(value >> shift);
                }
                break;
            }
            case 3:  // a run of random bytes
                for (std::size_t i = at; i < std::min(data.size(), at + 1 + pick(16)); ++i) {
                    data[i] = static_cast<unsigned char>(pick(256));
                }
                break;
            case 4:  // truncation
                data.resize(std::max<std::size_t>(1, at));
                break;
            case 5: {  // a block repeated
                const std::size_t length = std::min<std::size_t>(data.size() - at, 1 + pick(64));
                const Bytes block(data.begin() + at, data.begin() + at + length);
                data.insert(data.begin() + offset(data), block.begin(), block.end());
                break;
            }
            default: {  // a block removed
                const std::size_t length = std::min<std::size_t>(data.size() - at, 1 + pick(64));
                data.erase(data.begin() + at, data.begin() + at + length);
                break;
            }
        }
    }

    std::mt19937 random_;
};

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// libpng drops a chunk whose checksum is wrong before its content is looked at; mended checksums
// let half of the PNG mutations reach the decoder.
void MendPngChecksums(Bytes& data) {
    std::size_t at = 8;
    while (at + 12 <= data.size()) {
        const std::size_t length = (std::size_t{data[at]} << 24) | (data[at + 1] << 16) |
                                   (data[at + 2] << 8) | data[at + 3];
        if (length > data.size() - at - 12) return;
        const std::uint32_t crc = Crc32(&data[at + 4], length + 4);
        for (int i = 0; i < 4; ++i) {
            data[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        }
        at += length + 12;
    }
}

std::string Hash(const Bytes& data) {
    std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a
    for (const unsigned char byte : data) hash = (hash ^ byte) * 1099511628211ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

const char* Describe(kavenra::ImageJobEnd end) {
    switch (end) {
        case kavenra::ImageJobEnd::Crashed:
            return "crash";
        case kavenra::ImageJobEnd::TimedOut:
            return "timeout";
        case kavenra::ImageJobEnd::Unavailable:
            return "unavailable";
        default:
            return "answered";
    }
}

struct Tally {
    int cases = 0;
    int detected = 0;
    int converted = 0;
    std::map<std::string, int> findings;  // "crash 11" -> count
};

class Campaign {
  public:
    Campaign(std::string findings, std::string work)
        : findingsFolder_(std::move(findings)), work_(std::move(work)) {}

    // Runs one input through detection and, where the worker recognised it, conversion.
    void run(const std::string& seedName, const std::string& extension, const Bytes& data,
             bool detectOnly, Tally& tally) {
        const std::string input = work_ + "/input." + extension;
        kavenra::test::WriteFileBytes(input, data);
        ++tally.cases;
        const FREE_IMAGE_FORMAT format = DetectImageFormat(input);
        if (!note(seedName, extension, data, tally)) return;
        if (format == FIF_UNKNOWN) return;
        ++tally.detected;
        if (detectOnly) return;
        const bool converted = ConvertImage(input, work_ + "/out/output." + extension, 1, 0, 40);
        if (converted) ++tally.converted;
        note(seedName, extension, data, tally);
        QDir(QString::fromStdString(work_ + "/out")).removeRecursively();
        QDir().mkpath(QString::fromStdString(work_ + "/out"));
    }

  private:
    // Keeps the input when its job did not answer; false then.
    bool note(const std::string& seedName, const std::string& extension, const Bytes& data,
              Tally& tally) {
        const kavenra::ImageJobReport report = kavenra::LastImageJobReport();
        if (report.end == kavenra::ImageJobEnd::Answered) return true;
        const std::string kind =
            std::string(Describe(report.end)) + "-" + std::to_string(report.signal);
        ++tally.findings[kind];
        const std::string name =
            seedName + "-" + kind + "-" + Hash(data).substr(0, 10) + "." + extension;
        kavenra::test::WriteFileBytes(findingsFolder_ + "/" + name, data);
        std::printf("  %s (%zu bytes)\n", name.c_str(), data.size());
        std::fflush(stdout);
        return false;
    }

    std::string findingsFolder_;
    std::string work_;
};

void Print(const std::string& name, const Tally& tally, double seconds) {
    std::printf("%-18s %6d cases %6d detected %6d converted  %6.1f s", name.c_str(), tally.cases,
                tally.detected, tally.converted, seconds);
    for (const auto& [kind, count] : tally.findings) std::printf("  %s: %d", kind.c_str(), count);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    const int casesPerSeed = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::uint32_t seed = argc > 2 ? static_cast<std::uint32_t>(std::atoll(argv[2])) : 1;
    const std::string findings =
        argc > 3 ? argv[3]
                 : QFile::encodeName(QDir::tempPath() + "/kavenra-fuzz-findings").toStdString();
    if (!qEnvironmentVariableIsSet("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS")) {
        qputenv("KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS", "3000");
    }
    kavenra::test::InitialiseFreeImageOnce();
    QDir().mkpath(QString::fromStdString(findings));
    QTemporaryDir work;
    QDir().mkpath(work.filePath("out"));
    Campaign campaign(findings, QFile::encodeName(work.path()).toStdString());
    Mutator mutator(seed);

    std::printf("%d mutated cases per seed file, random seed %u, findings in %s\n\n", casesPerSeed,
                seed, findings.c_str());
    Tally total;
    for (const SeedFile& file : SeedFiles()) {
        Tally tally;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < casesPerSeed; ++i) {
            Bytes mutated = mutator.mutate(file.data);
            if (file.extension == "png" && i % 2 == 0) MendPngChecksums(mutated);
            campaign.run(file.name, file.extension, mutated, false, tally);
        }
        Print(file.name, tally,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        total.cases += tally.cases;
        total.detected += tally.detected;
        total.converted += tally.converted;
        for (const auto& [kind, count] : tally.findings) total.findings[kind] += count;
    }
    Tally random;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < casesPerSeed; ++i) {
        campaign.run("random", "bin", mutator.randomBytes(), true, random);
    }
    Print("random (detect)", random,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    total.cases += random.cases;
    for (const auto& [kind, count] : random.findings) total.findings[kind] += count;
    std::printf("\n");
    Print("all", total, 0);
    return 0;
}
