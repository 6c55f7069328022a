// Mutation fuzzing of the accepted formats (BMP also with the V4 and V5 info headers and as
// RLE8; HEIF and AVIF read with libheif; WebP; and ICO and PSD, which list files can bring) through
// the image worker: small valid files are mutated (bit flips, bytes and integers set to boundary
// values, runs of random bytes, truncation, duplicated and removed blocks), detected and converted
// through the worker, and every input whose job crashed or ran out of time is kept. Random byte
// blocks go through detection alone. The first case of each seed file is the file itself, so a seed
// the program cannot convert shows at once.
//
// Besides the jobs that crashed or timed out (contained: one failed file each), it counts what
// must never happen: a wrong success (the call said the output was saved, but it does not read
// back as a picture of the size the request asks of that input, in the input's format, or JPEG
// for camera RAW, HEIF and AVIF), and a leftover (after a call, anything in the output folder but
// that output). Their inputs are kept as well. Reading the input and the output back happens in a
// forked child, so the fuzzer's own process never decodes a hostile file.
//
//   bench_isolation_fuzz [cases per seed file] [random seed] [output folder] [seed files]
//        (default 200, 1, $TMPDIR/kavenra-fuzz-findings, every seed file; else those whose
//        names begin with one of the comma-separated words, e.g. "heic,avif")
//
// The process ends with status 1 when there was a wrong success or a leftover.
//
// Each job gets a 3 s limit (KAVENRA_IMAGE_WORKER_TIME_LIMIT_MS, unless set tighter). Findings
// are named <seed file>-<kind>-<hash>.<ext>, the kind one of crash-<signal>, timeout-<signal>,
// wrong-success, leftover, unchecked (a success the forked reader could not judge) and
// seed-not-converted; tests/data/hostile holds the small ones worth keeping.

#include <FreeImage.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/base/ConversionOptions.h"
#include "engine/convert/ImageConversion.h"
#include "engine/formats/SourceFile.h"
#include "engine/formats/bmp/ExtendedBmp.h"
#include "engine/formats/heif/HeifImage.h"
#include "engine/isolation/ImageDetection.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/output/ReplacingSave.h"
#include "engine/run/ImageFileOperations.h"
#include "support/HeifFiles.h"
#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "support/ImageMetadata.h"
#include "support/WebpFiles.h"

using kavenra::BitmapHandle;
using kavenra::test::Bytes;

namespace {

constexpr std::int32_t kLongestSide = 40;  // what every conversion is asked for

struct SeedFile {
    std::string name;
    std::string extension;
    Bytes data;
};

Bytes Encode(const BitmapHandle& bitmap, FREE_IMAGE_FORMAT format, int flags) {
    return bitmap ? kavenra::test::EncodeImage(*bitmap, format, flags) : Bytes{};
}

constexpr std::uint32_t kBmpPixelsPerMetre = 2835;  // 72 dpi

void PutLittleEndian(Bytes& data, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) data.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A BMP file with the 108-byte (V4) or 124-byte (V5) info header, written by hand: FreeImage
// writes only the 40-byte one. 24-bit pixels are stored plainly; 32-bit ones by bit fields
// (blue, green, red, alpha from the lowest byte up, as editors write them), with an alpha ramp.
Bytes EncodeExtendedBmp(const BitmapHandle& colour, std::uint32_t headerSize, unsigned bits) {
    if (!colour) return {};
    const BitmapHandle bitmap(bits == 32 ? FreeImage_ConvertTo32Bits(colour.get())
                                         : FreeImage_ConvertTo24Bits(colour.get()));
    if (!bitmap) return {};
    const unsigned width = FreeImage_GetWidth(bitmap.get());
    const unsigned height = FreeImage_GetHeight(bitmap.get());
    const unsigned rowBytes = (width * bits / 8 + 3) / 4 * 4;
    const std::uint32_t pixelsAt = 14 + headerSize;
    const std::uint32_t fileSize = pixelsAt + rowBytes * height;
    const bool fields = bits == 32;
    constexpr std::uint32_t kBiBitfields = 3;
    constexpr std::uint32_t kSrgbColourSpace = 0x73524742;  // 'sRGB'
    constexpr std::uint32_t kPicturesIntent = 4;            // LCS_GM_IMAGES
    Bytes data{'B', 'M'};
    PutLittleEndian(data, fileSize, 4);
    PutLittleEndian(data, 0, 4);
    PutLittleEndian(data, pixelsAt, 4);
    PutLittleEndian(data, headerSize, 4);
    PutLittleEndian(data, width, 4);
    PutLittleEndian(data, height, 4);  // bottom-up rows, as FreeImage holds them
    PutLittleEndian(data, 1, 2);
    PutLittleEndian(data, bits, 2);
    PutLittleEndian(data, fields ? kBiBitfields : 0, 4);
    PutLittleEndian(data, rowBytes * height, 4);
    PutLittleEndian(data, kBmpPixelsPerMetre, 4);
    PutLittleEndian(data, kBmpPixelsPerMetre, 4);
    PutLittleEndian(data, 0, 4);  // colours used
    PutLittleEndian(data, 0, 4);  // colours important
    PutLittleEndian(data, fields ? 0x00FF0000 : 0, 4);
    PutLittleEndian(data, fields ? 0x0000FF00 : 0, 4);
    PutLittleEndian(data, fields ? 0x000000FF : 0, 4);
    PutLittleEndian(data, fields ? 0xFF000000 : 0, 4);
    PutLittleEndian(data, kSrgbColourSpace, 4);
    data.insert(data.end(), 36 + 12, 0);  // end points and gammas, unused with sRGB
    if (headerSize == 124) {
        PutLittleEndian(data, kPicturesIntent, 4);
        PutLittleEndian(data, 0, 4);  // profile offset
        PutLittleEndian(data, 0, 4);  // profile size
        PutLittleEndian(data, 0, 4);
    }
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        const std::size_t rowStart = data.size();
        data.insert(data.end(), line, line + width * bits / 8);
        if (fields) {
            for (unsigned x = 0; x < width; ++x) {
                data[rowStart + 4 * x + 3] = static_cast<unsigned char>(255 - 4 * (x % 64));
            }
        }
        data.resize(rowStart + rowBytes, 0);
    }
    return data;
}

// An 8-bit BMP whose pixels are stored as RLE8 runs, written by hand: FreeImage 3.18 cannot read
// the RLE files its own writer makes. Runs of equal bytes only, each row ended by its own code.
Bytes EncodeRle8Bmp(const BitmapHandle& bitmap) {
    if (!bitmap || FreeImage_GetBPP(bitmap.get()) != 8) return {};
    constexpr std::uint32_t kBiRle8 = 1;
    constexpr std::uint32_t kPaletteBytes = 256 * 4;
    constexpr unsigned kLongestRun = 255;
    const unsigned width = FreeImage_GetWidth(bitmap.get());
    const unsigned height = FreeImage_GetHeight(bitmap.get());
    Bytes pixels;
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width;) {
            unsigned run = 1;
            while (x + run < width && run < kLongestRun && line[x + run] == line[x]) ++run;
            pixels.push_back(static_cast<unsigned char>(run));
            pixels.push_back(line[x]);
            x += run;
        }
        pixels.push_back(0);
        pixels.push_back(y + 1 == height ? 1 : 0);  // end of the picture, or of the row
    }
    const std::uint32_t pixelsAt = 14 + 40 + kPaletteBytes;
    Bytes data{'B', 'M'};
    PutLittleEndian(data, pixelsAt + static_cast<std::uint32_t>(pixels.size()), 4);
    PutLittleEndian(data, 0, 4);
    PutLittleEndian(data, pixelsAt, 4);
    PutLittleEndian(data, 40, 4);
    PutLittleEndian(data, width, 4);
    PutLittleEndian(data, height, 4);
    PutLittleEndian(data, 1, 2);
    PutLittleEndian(data, 8, 2);
    PutLittleEndian(data, kBiRle8, 4);
    PutLittleEndian(data, static_cast<std::uint32_t>(pixels.size()), 4);
    PutLittleEndian(data, kBmpPixelsPerMetre, 4);
    PutLittleEndian(data, kBmpPixelsPerMetre, 4);
    PutLittleEndian(data, 256, 4);
    PutLittleEndian(data, 0, 4);
    const RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
    for (unsigned i = 0; i < 256; ++i) {
        data.insert(data.end(), {palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed, 0});
    }
    data.insert(data.end(), pixels.begin(), pixels.end());
    return data;
}

// A phone's photo: stored turned with the boxes that turn it back, and an EXIF block.
Bytes EncodeHeif(kavenra::test::HeifCodec codec, bool alpha, bool thumbnail) {
    kavenra::test::HeifPicture picture;
    picture.codec = codec;
    picture.width = 48;
    picture.height = 32;
    picture.orientation = alpha ? 1 : 6;
    picture.alpha = alpha;
    picture.thumbnail = thumbnail;
    kavenra::test::PhotoMetadata tags;
    tags.artist = "Fuzz";
    tags.orientation = 6;
    picture.exif = kavenra::test::EncodeExifBlock(tags);
    return kavenra::test::MakeHeifFile(picture);
}

// A lossy WebP file in the extended layout, with the chunks a camera's file has: a colour profile,
// EXIF and XMP.
Bytes WebpWithExtras(const BitmapHandle& colour) {
    if (!colour) return {};
    kavenra::test::PhotoMetadata tags;
    tags.artist = "fuzz";
    tags.orientation = 1;
    tags.pixelWidth = FreeImage_GetWidth(colour.get());
    tags.pixelHeight = FreeImage_GetHeight(colour.get());
    kavenra::test::WebpExtras extras;
    extras.icc = kavenra::test::MakeIccProfile("RGB ", 7);
    extras.exif = kavenra::test::EncodeExifBlock(tags);
    extras.xmp = kavenra::test::XmpPacketWithCreatorTool("fuzz");
    return kavenra::test::WithWebpExtras(Encode(colour, FIF_WEBP, 80), tags.pixelWidth,
                                         tags.pixelHeight, extras);
}

std::vector<SeedFile> SeedFiles() {
    using kavenra::test::MakeGreyBitmap;
    using kavenra::test::MakeNaturalBitmap;
    using kavenra::test::MakePaletteBitmap;
    const BitmapHandle colour = MakeNaturalBitmap(48, 32, 3);
    const BitmapHandle grey = MakeGreyBitmap(48, 32, 3);
    const BitmapHandle palette = MakePaletteBitmap(40, 30, 3);
    const BitmapHandle translucent(FreeImage_ConvertTo32Bits(colour.get()));
    if (translucent) {
        for (unsigned y = 0; y < FreeImage_GetHeight(translucent.get()); ++y) {
            BYTE* line = FreeImage_GetScanLine(translucent.get(), static_cast<int>(y));
            line[FI_RGBA_ALPHA] = 0;
            line[4 + FI_RGBA_ALPHA] = 128;
        }
    }
    kavenra::test::CameraRawSpec raw;
    raw.previewWidth = 64;
    raw.previewHeight = 48;
    raw.sensorWidth = 32;
    raw.sensorHeight = 24;
    return {
        {"bmp24", "bmp", Encode(colour, FIF_BMP, BMP_DEFAULT)},
        {"bmp8-rle", "bmp", EncodeRle8Bmp(palette)},
        {"bmp8-grey-rle", "bmp", EncodeRle8Bmp(grey)},
        {"bmp8", "bmp", Encode(palette, FIF_BMP, BMP_DEFAULT)},
        {"bmp8-grey", "bmp", Encode(grey, FIF_BMP, BMP_DEFAULT)},
        {"bmp-v4-24", "bmp", EncodeExtendedBmp(colour, 108, 24)},
        {"bmp-v5-24", "bmp", EncodeExtendedBmp(colour, 124, 24)},
        {"bmp-v5-32-fields", "bmp", EncodeExtendedBmp(colour, 124, 32)},
        {"bmp-v4-32-fields", "bmp", EncodeExtendedBmp(colour, 108, 32)},
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
        {"heic", "heic", EncodeHeif(kavenra::test::HeifCodec::Hevc, false, true)},
        {"heic-alpha", "heic", EncodeHeif(kavenra::test::HeifCodec::Hevc, true, false)},
        {"avif", "avif", EncodeHeif(kavenra::test::HeifCodec::Av1, false, true)},
        {"avif-alpha", "avif", EncodeHeif(kavenra::test::HeifCodec::Av1, true, false)},
        // Not accepted by a drop, but a list file reaches the conversion with any file.
        {"ico", "ico", Encode(MakeNaturalBitmap(32, 32, 3), FIF_ICO, 0)},
        {"psd", "psd", Encode(colour, FIF_PSD, 0)},
        {"webp-lossy", "webp", Encode(colour, FIF_WEBP, 80)},
        {"webp-lossless", "webp", Encode(colour, FIF_WEBP, WEBP_LOSSLESS)},
        {"webp-alpha", "webp", Encode(translucent, FIF_WEBP, 80)},
        {"webp-extended", "webp", WebpWithExtras(colour)},
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
    int wrongSuccesses = 0;
    int leftovers = 0;
    int unchecked = 0;                    // successes the forked reader could not judge
    std::map<std::string, int> findings;  // "crash-11" -> count

    void add(const Tally& other) {
        cases += other.cases;
        detected += other.detected;
        converted += other.converted;
        wrongSuccesses += other.wrongSuccesses;
        leftovers += other.leftovers;
        unchecked += other.unchecked;
        for (const auto& [kind, count] : other.findings) findings[kind] += count;
    }
};

enum class Verdict { Good, Wrong, Unchecked };

struct Check {
    Verdict verdict = Verdict::Unchecked;
    std::string reason;
};

std::optional<std::uint32_t> BmpDeclaredFileSize(const std::string& path) {
    const Bytes data = kavenra::test::ReadFileBytes(path);
    if (data.size() < 6) return std::nullopt;
    return std::uint32_t{data[2]} | (std::uint32_t{data[3]} << 8) | (std::uint32_t{data[4]} << 16) |
           (std::uint32_t{data[5]} << 24);
}

// What the conversion should have written for `input` (read the way the conversion reads it)
// against what `destination` holds. Runs in the forked child.
Check JudgeOutput(const std::string& input, const std::string& destination) {
    const std::optional<kavenra::SourceFile> source = kavenra::SourceFile::Open(input);
    if (!source) return {Verdict::Unchecked, "input cannot be opened again"};
    const kavenra::ImageFormat format = kavenra::DetectOpenedFileFormat(*source);
    if (!format.known()) return {Verdict::Unchecked, "input not recognised again"};
    const int flags = kavenra::LoadFlagsFor(format);
    const bool heif = kavenra::IsHeifFormat(format);
    const BitmapHandle loaded =
        heif ? kavenra::LoadHeifImage(source->path()).bitmap
        : format == kavenra::ImageFormat::Bmp
            ? kavenra::LoadBmpFile(*source, flags)
            : BitmapHandle(FreeImage_Load(format.freeImage(), source->path().c_str(), flags));
    if (!loaded) return {Verdict::Unchecked, "input does not load again"};
    const kavenra::ConversionRequest request =
        kavenra::RequestFromEntryArguments(input, destination, 1, 0, kLongestSide);
    const std::optional<kavenra::TargetSize> target =
        kavenra::TargetSizeFor({request, {}}, kavenra::SourceSizeOf(*loaded, format));
    if (!target) return {Verdict::Wrong, "saved although the input gives no target size"};

    const bool asJpeg = format == kavenra::ImageFormat::Raw || heif;
    const FREE_IMAGE_FORMAT expected = asJpeg ? FIF_JPEG : format.freeImage();
    const std::string output = asJpeg ? kavenra::RawOutputPath(destination) : destination;
    if (!QFile::exists(QFile::decodeName(output.c_str()))) {
        return {Verdict::Wrong, "no output at " + output};
    }
    const FREE_IMAGE_FORMAT written = FreeImage_GetFileType(output.c_str(), 0);
    if (written != expected) {
        return {Verdict::Wrong, std::string("output is ") + FreeImage_GetFormatFromFIF(written) +
                                    ", not " + FreeImage_GetFormatFromFIF(expected)};
    }
    const BitmapHandle back(FreeImage_Load(written, output.c_str(), 0));
    if (!back) return {Verdict::Wrong, "output does not load"};
    const int width = static_cast<int>(FreeImage_GetWidth(back.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(back.get()));
    if (width != target->width || height != target->height) {
        return {Verdict::Wrong,
                "output is " + std::to_string(width) + "x" + std::to_string(height) + ", not " +
                    std::to_string(target->width) + "x" + std::to_string(target->height)};
    }
    // Other readers refuse a BMP whose header misstates the file's size.
    if (written == FIF_BMP) {
        const auto declared = BmpDeclaredFileSize(output);
        const auto actual = QFileInfo(QFile::decodeName(output.c_str())).size();
        if (!declared || *declared != actual) {
            return {Verdict::Wrong, "BMP header states " + std::to_string(declared.value_or(0)) +
                                        " bytes for a file of " + std::to_string(actual)};
        }
    }
    return {Verdict::Good, {}};
}

// JudgeOutput in a forked child with a time limit: a hostile input that got past the worker must
// not take the fuzzer down with it.
Check JudgeOutputForked(const std::string& input, const std::string& destination) {
    constexpr unsigned kJudgeSeconds = 20;
    int channel[2];
    if (pipe(channel) != 0) return {Verdict::Unchecked, "no pipe"};
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return {Verdict::Unchecked, "no fork"};
    }
    if (child == 0) {
        close(channel[0]);
        // libtiff's warnings would bury the fuzzer's lines.
        if (!std::freopen("/dev/null", "w", stderr)) _exit(1);
        alarm(kJudgeSeconds);
        const Check check = JudgeOutput(input, destination);
        const std::string message =
            std::to_string(static_cast<int>(check.verdict)) + "\t" + check.reason;
        const ssize_t written = write(channel[1], message.data(), message.size());
        _exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string message;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0) break;
        message.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const std::size_t tab = message.find('\t');
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || tab == std::string::npos) {
        return {Verdict::Unchecked,
                "reader ended with " + std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0)};
    }
    return {static_cast<Verdict>(std::atoi(message.substr(0, tab).c_str())),
            message.substr(tab + 1)};
}

class Campaign {
  public:
    Campaign(std::string findings, std::string work)
        : findingsFolder_(std::move(findings)), work_(std::move(work)), out_(work_ + "/out") {}

    // Runs one input through detection and, where the worker recognised it, conversion; then
    // judges a success and looks for leftovers in the output folder.
    void run(const std::string& seedName, const std::string& extension, const Bytes& data,
             bool detectOnly, Tally& tally) {
        const std::string input = work_ + "/input." + extension;
        kavenra::test::WriteFileBytes(input, data);
        ++tally.cases;
        const kavenra::IsolatedDetection detection = kavenra::DetectIsolated(input);
        const kavenra::ImageFormat format = detection.format;
        bool converted = false;
        const std::string destination = out_ + "/output." + extension;
        if (noteJob(detection.report, seedName, extension, data, tally) && format.known()) {
            ++tally.detected;
            if (!detectOnly) {
                // The worker's own call, whose report tells a crash or a time-out from a refusal.
                const kavenra::ConversionJob job{
                    kavenra::RequestFromEntryArguments(input, destination, 1, 0, kLongestSide), {}};
                const kavenra::IsolatedConversion conversion =
                    kavenra::PrepareConversionIsolated(job);
                converted =
                    conversion.prepared && kavenra::CommitPreparedOutput(*conversion.prepared);
                if (converted) ++tally.converted;
                noteJob(conversion.report, seedName, extension, data, tally);
            }
        }
        if (converted) {
            const Check check = JudgeOutputForked(input, destination);
            if (check.verdict == Verdict::Wrong) {
                ++tally.wrongSuccesses;
                keep(seedName, "wrong-success", extension, data, check.reason);
            } else if (check.verdict == Verdict::Unchecked) {
                ++tally.unchecked;
                keep(seedName, "unchecked", extension, data, check.reason);
            }
        }
        checkLeftovers(seedName, extension, data, converted, destination, tally);
        QDir(QString::fromStdString(out_)).removeRecursively();
        QDir().mkpath(QString::fromStdString(out_));
    }

    // A seed file the program does not convert tests little: kept to look at.
    void keepSeed(const SeedFile& file) {
        keep(file.name, "seed-not-converted", file.extension, file.data, {});
    }

  private:
    // Keeps the input when its job did not answer; false then.
    bool noteJob(const kavenra::ImageJobReport& report, const std::string& seedName,
                 const std::string& extension, const Bytes& data, Tally& tally) {
        if (report.end == kavenra::ImageJobEnd::Answered) return true;
        const std::string kind =
            std::string(Describe(report.end)) + "-" + std::to_string(report.signal);
        ++tally.findings[kind];
        keep(seedName, kind, extension, data, {});
        return false;
    }

    // Anything in the output folder but what a successful call wrote.
    void checkLeftovers(const std::string& seedName, const std::string& extension,
                        const Bytes& data, bool converted, const std::string& destination,
                        Tally& tally) {
        QStringList allowed;
        if (converted) {
            allowed << QFileInfo(QString::fromStdString(destination)).fileName()
                    << QFileInfo(QString::fromStdString(kavenra::RawOutputPath(destination)))
                           .fileName();
        }
        QStringList stray;
        const QDir folder(QString::fromStdString(out_));
        for (const QString& name : folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                    QDir::NoDotAndDotDot)) {
            if (!allowed.contains(name)) stray << name;
        }
        if (converted && folder.entryList(allowed, QDir::Files).size() > 1) {
            stray << "both " + allowed.join(" and ");
        }
        if (stray.isEmpty()) return;
        ++tally.leftovers;
        keep(seedName, "leftover", extension, data, stray.join(", ").toStdString());
    }

    void keep(const std::string& seedName, const std::string& kind, const std::string& extension,
              const Bytes& data, const std::string& reason) {
        const std::string name =
            seedName + "-" + kind + "-" + Hash(data).substr(0, 10) + "." + extension;
        kavenra::test::WriteFileBytes(findingsFolder_ + "/" + name, data);
        std::printf("  %s (%zu bytes)%s%s\n", name.c_str(), data.size(), reason.empty() ? "" : ": ",
                    reason.c_str());
        std::fflush(stdout);
    }

    std::string findingsFolder_;
    std::string work_;
    std::string out_;
};

void Print(const std::string& name, const Tally& tally, double seconds) {
    std::printf("%-18s %5d cases %5d detected %5d converted %6.1f s", name.c_str(), tally.cases,
                tally.detected, tally.converted, seconds);
    if (tally.wrongSuccesses) std::printf("  wrong-success: %d", tally.wrongSuccesses);
    if (tally.leftovers) std::printf("  leftover: %d", tally.leftovers);
    if (tally.unchecked) std::printf("  unchecked: %d", tally.unchecked);
    for (const auto& [kind, count] : tally.findings) std::printf("  %s: %d", kind.c_str(), count);
    std::printf("\n");
    std::fflush(stdout);
}

int JobsEndedAs(const Tally& tally, const std::string& prefix) {
    int count = 0;
    for (const auto& [kind, number] : tally.findings) {
        if (kind.rfind(prefix, 0) == 0) count += number;
    }
    return count;
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
    const QStringList chosen =
        argc > 4 ? QString::fromLocal8Bit(argv[4]).split(',', Qt::SkipEmptyParts) : QStringList();
    const auto isChosen = [&chosen](const std::string& name) {
        return chosen.isEmpty() ||
               std::any_of(chosen.begin(), chosen.end(), [&](const QString& word) {
                   return QString::fromStdString(name).startsWith(word);
               });
    };
    kavenra::test::InitialiseFreeImageOnce();
    QDir().mkpath(QString::fromStdString(findings));
    QTemporaryDir work;
    QDir().mkpath(work.filePath("out"));
    Campaign campaign(findings, QFile::encodeName(work.path()).toStdString());
    Mutator mutator(seed);

    std::printf(
        "%d cases per seed file (the file itself, then mutants), random seed %u, "
        "findings in %s\n\n",
        casesPerSeed, seed, findings.c_str());
    Tally total;
    int mutants = 0;
    const auto began = std::chrono::steady_clock::now();
    std::vector<std::string> seedsNotConverted;
    for (const SeedFile& file : SeedFiles()) {
        if (!isChosen(file.name)) continue;
        Tally tally;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < casesPerSeed; ++i) {
            Bytes input = i == 0 ? file.data : mutator.mutate(file.data);
            if (i > 0 && file.extension == "png" && i % 2 == 0) MendPngChecksums(input);
            if (i > 0) ++mutants;
            campaign.run(file.name, file.extension, input, false, tally);
            if (i == 0 && tally.converted == 0) {
                seedsNotConverted.push_back(file.name);
                campaign.keepSeed(file);
            }
        }
        Print(file.name, tally,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        total.add(tally);
    }
    Tally random;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < casesPerSeed; ++i) {
        campaign.run("random", "bin", mutator.randomBytes(), true, random);
    }
    Print("random (detect)", random,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    total.add(random);
    std::printf("\n");
    Print("all", total,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    std::printf(
        "\nmutants: %d (besides the seed files themselves and %d random blocks for detection)\n",
        mutants, random.cases);
    for (const std::string& name : seedsNotConverted) {
        std::printf("seed file not converted: %s\n", name.c_str());
    }
    // The fuzzing process got here, so the program itself did not crash.
    std::printf("crashes of the program: 0\n");
    std::printf("wrong successes: %d\n", total.wrongSuccesses);
    std::printf("leftovers: %d\n", total.leftovers);
    std::printf("successes the reader could not judge: %d\n", total.unchecked);
    std::printf("jobs crashed: %d, timed out: %d, worker unavailable: %d (contained)\n",
                JobsEndedAs(total, "crash"), JobsEndedAs(total, "timeout"),
                JobsEndedAs(total, "unavailable"));
    return total.wrongSuccesses == 0 && total.leftovers == 0 ? 0 : 1;
}
