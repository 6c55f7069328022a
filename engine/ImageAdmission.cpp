#include "engine/ImageAdmission.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "engine/FreeImageBitmap.h"

namespace kavenra {
namespace {

using Bytes = std::uint64_t;

// Saturating arithmetic: declared sizes are attacker-chosen and 64 bits do not always suffice.
Bytes Multiply(Bytes a, Bytes b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

Bytes Add(Bytes a, Bytes b) {
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

Bytes RowBytes(Bytes width, unsigned bitsPerPixel) {
    // FreeImage aligns each line to 32 bits.
    return Multiply(Add(Multiply(width, bitsPerPixel), 31) / 32, 4);
}

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::optional<Bytes> FileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<Bytes>(info.st_size);
}

unsigned U16LittleEndian(const unsigned char* at) {
    return at[0] | (at[1] << 8);
}

unsigned U16BigEndian(const unsigned char* at) {
    return (at[0] << 8) | at[1];
}

// The shortest file that can hold the pixels a TARGA header declares; empty for image types the
// loader does not take (it allocates the bitmap before it finds out).
std::optional<Bytes> ShortestTarga(const std::array<unsigned char, 18>& header) {
    const unsigned idLength = header[0];
    const bool hasColourMap = header[1] == 1;
    const unsigned imageType = header[2];
    const Bytes colourMapBytes =
        hasColourMap ? Multiply(U16LittleEndian(&header[5]), (header[7] + 7u) / 8u) : 0;
    const Bytes pixels = Multiply(U16LittleEndian(&header[12]), U16LittleEndian(&header[14]));
    const Bytes bytesPerPixel = (header[16] + 7u) / 8u;
    Bytes pixelBytes = 0;
    if (imageType >= 1 && imageType <= 3) {
        pixelBytes = Multiply(pixels, bytesPerPixel);
    } else if (imageType >= 9 && imageType <= 11) {
        // A run packet: one count byte and one pixel for up to 128 pixels.
        pixelBytes = Multiply(Add(pixels, 127) / 128, 1 + bytesPerPixel);
    } else {
        return std::nullopt;
    }
    return Add(Add(18 + idLength, colourMapBytes), pixelBytes);
}

bool TargaHoldsItsPixels(const std::string& path) {
    const std::optional<Bytes> size = FileSize(path);
    const File file(std::fopen(path.c_str(), "rb"));
    std::array<unsigned char, 18> header{};
    if (!size || !file || std::fread(header.data(), 1, header.size(), file.get()) != 18) {
        return true;  // nothing to judge by; the loader refuses it on its own
    }
    const std::optional<Bytes> shortest = ShortestTarga(header);
    return shortest && *size >= *shortest;
}

std::uint32_t U32LittleEndian(const unsigned char* at) {
    return static_cast<std::uint32_t>(U16LittleEndian(at)) |
           (static_cast<std::uint32_t>(U16LittleEndian(at + 2)) << 16);
}

// The shortest file that can hold the pixel rows an uncompressed BMP header declares (the last
// row may lack its padding); empty for compressed pictures, whose codes may skip whole areas.
std::optional<Bytes> ShortestBmp(const std::array<unsigned char, 34>& header) {
    const std::uint32_t infoSize = U32LittleEndian(&header[14]);
    Bytes width = 0;
    Bytes height = 0;
    unsigned bitsPerPixel = 0;
    if (infoSize == 12) {  // OS/2 1.x: 16-bit sizes, never compressed
        width = U16LittleEndian(&header[18]);
        height = U16LittleEndian(&header[20]);
        bitsPerPixel = U16LittleEndian(&header[24]);
    } else if (infoSize >= 40) {
        const auto signedWidth = static_cast<std::int32_t>(U32LittleEndian(&header[18]));
        const auto signedHeight = static_cast<std::int32_t>(U32LittleEndian(&header[22]));
        const std::uint32_t compression = U32LittleEndian(&header[30]);
        // BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS: one stored value per pixel.
        if (compression != 0 && compression != 3 && compression != 6) return std::nullopt;
        width = static_cast<Bytes>(std::abs(static_cast<std::int64_t>(signedWidth)));
        height = static_cast<Bytes>(std::abs(static_cast<std::int64_t>(signedHeight)));
        bitsPerPixel = U16LittleEndian(&header[28]);
    } else {
        return std::nullopt;
    }
    if (width == 0 || height == 0 || bitsPerPixel == 0) return std::nullopt;
    const Bytes lastRow = Add(Multiply(width, bitsPerPixel), 7) / 8;
    return Add(Multiply(RowBytes(width, bitsPerPixel), height - 1), lastRow);
}

bool BmpHoldsItsPixels(const std::string& path) {
    const std::optional<Bytes> size = FileSize(path);
    const File file(std::fopen(path.c_str(), "rb"));
    std::array<unsigned char, 34> header{};
    if (!size || !file || std::fread(header.data(), 1, header.size(), file.get()) != 34) {
        return true;
    }
    const std::optional<Bytes> shortest = ShortestBmp(header);
    return !shortest || *size >= *shortest;
}

// The first picture of an icon file must be there whole: FreeImage reads a directory or bitmap
// header that the file is too short for from whatever memory follows its buffer.
bool IconHoldsItsFirstImage(const std::string& path) {
    const std::optional<Bytes> size = FileSize(path);
    const File file(std::fopen(path.c_str(), "rb"));
    std::array<unsigned char, 22> directory{};  // the directory and its first entry
    if (!size || !file) return true;
    if (std::fread(directory.data(), 1, directory.size(), file.get()) != directory.size()) {
        return false;
    }
    const unsigned count = U16LittleEndian(&directory[4]);
    const Bytes offset = U32LittleEndian(&directory[18]);
    if (*size < 6 + Bytes{16} * count || Add(offset, 40) > *size) return false;
    std::array<unsigned char, 40> info{};
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fread(info.data(), 1, info.size(), file.get()) != info.size()) {
        return false;
    }
    if (info[0] == 0x89 && info[1] == 'P' && info[2] == 'N' && info[3] == 'G') return true;
    const std::uint32_t compression = U32LittleEndian(&info[16]);
    if (compression != 0) return true;
    const Bytes width = static_cast<Bytes>(
        std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(U32LittleEndian(&info[4])))));
    // The height counts the colour rows and the mask rows.
    const Bytes height = static_cast<Bytes>(std::abs(static_cast<std::int64_t>(
                             static_cast<std::int32_t>(U32LittleEndian(&info[8]))))) /
                         2;
    const unsigned bitsPerPixel = U16LittleEndian(&info[14]);
    const std::uint32_t coloursUsed = U32LittleEndian(&info[32]);
    const Bytes palette =
        bitsPerPixel <= 8 ? Bytes{4} * (coloursUsed ? coloursUsed : 1u << bitsPerPixel) : 0;
    const Bytes colourRows = Multiply(RowBytes(width, bitsPerPixel), height);
    return *size >= Add(Add(Add(offset, U32LittleEndian(&info[0])), palette), colourRows);
}

bool IsStartOfFrame(unsigned marker) {
    // SOF0 to SOF15 less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool HasNoLength(unsigned marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

struct JpegFrame {
    unsigned width = 0;
    unsigned height = 0;
    unsigned components = 0;
};

// The first frame header, found by walking the marker segments that precede it.
std::optional<JpegFrame> ReadJpegFrame(std::FILE* file) {
    unsigned char start[2];
    if (std::fread(start, 1, 2, file) != 2 || start[0] != 0xFF || start[1] != 0xD8) {
        return std::nullopt;
    }
    for (int segment = 0; segment < 100000; ++segment) {
        int byte = std::fgetc(file);
        if (byte != 0xFF) return std::nullopt;
        while (byte == 0xFF) byte = std::fgetc(file);  // fill bytes
        if (byte == EOF) return std::nullopt;
        const unsigned marker = static_cast<unsigned>(byte);
        if (HasNoLength(marker)) continue;
        if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // no frame before the scan
        unsigned char lengthBytes[2];
        if (std::fread(lengthBytes, 1, 2, file) != 2) return std::nullopt;
        const unsigned length = U16BigEndian(lengthBytes);
        if (length < 2) return std::nullopt;
        if (IsStartOfFrame(marker)) {
            unsigned char frame[6];  // precision, height, width, component count
            if (length < 8 || std::fread(frame, 1, 6, file) != 6) return std::nullopt;
            return JpegFrame{U16BigEndian(&frame[3]), U16BigEndian(&frame[1]), frame[5]};
        }
        if (std::fseek(file, static_cast<long>(length) - 2, SEEK_CUR) != 0) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<JpegFrame> ReadJpegFrame(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    return ReadJpegFrame(file.get());
}

bool JpegComponentsFit(const std::string& path) {
    const std::optional<JpegFrame> frame = ReadJpegFrame(path);
    return !frame || (frame->components >= 1 && frame->components <= 4);
}

// The bytes of a bitmap of the declared size in the rescale's output type: true-colour pictures
// stay as deep as they are, everything of FIT_BITMAP is taken at 32 bits.
Bytes RescaledPixelBytes(const DeclaredImage& image) {
    if (image.type == FIT_BITMAP) return 4;
    return std::max<Bytes>(1, image.bitsPerPixel / 8);
}

struct Side {
    Bytes width;
    Bytes height;
};

// FreeImage keeps, for every pixel of a new side, the weights of the old pixels under its
// filter: 2 x support x (old / new) + 1 doubles when shrinking, the widest filter (Lanczos) having
// a support of 3. Shrinking a side of millions of pixels takes gigabytes here alone.
Bytes WeightTableBytes(Bytes oldSide, Bytes newSide) {
    if (newSide == 0) return 0;
    const Bytes window = 2 * (Add(Multiply(3, oldSide), newSide - 1) / newSide) + 1;
    return Multiply(Multiply(newSide, std::max<Bytes>(window, 7)), 8);
}

Bytes RescaleBytes(const DeclaredImage& image, Side target) {
    const Bytes pixel = RescaledPixelBytes(image);
    const Bytes rescaled = Multiply(Multiply(target.width, target.height), pixel);
    // FreeImage resizes in two passes, through a bitmap of one new and one old side.
    const Bytes intermediate = Multiply(
        std::max(Multiply(target.width, image.height), Multiply(image.width, target.height)),
        pixel);
    const Bytes weights = Add(WeightTableBytes(image.width, target.width),
                              WeightTableBytes(image.height, target.height));
    return Add(Add(rescaled, intermediate), weights);
}

Side RequestedSide(const DeclaredImage& image, const ConversionRequest& request) {
    const SourceSize source{static_cast<std::int64_t>(std::min<Bytes>(image.width, INT64_MAX)),
                            static_cast<std::int64_t>(std::min<Bytes>(image.height, INT64_MAX))};
    const std::optional<TargetSize> target = TargetSizeFor(request, source);
    if (!target || target->width <= 0 || target->height <= 0) return {0, 0};
    return {static_cast<Bytes>(target->width), static_cast<Bytes>(target->height)};
}

std::optional<Bytes> VirtualMemorySize() {
    std::ifstream statm("/proc/self/statm");
    Bytes pages = 0;
    if (!(statm >> pages)) return std::nullopt;
    return Multiply(pages, static_cast<Bytes>(sysconf(_SC_PAGESIZE)));
}

}  // namespace

std::optional<DeclaredImage> ReadDeclaredImage(FREE_IMAGE_FORMAT format, const std::string& path) {
    // FreeImage's header-only load of a progressive JPEG sets up the decoder's whole-picture
    // buffers, seconds of work for a hostile frame size; the frame header says it all.
    if (format == FIF_JPEG) {
        const std::optional<JpegFrame> frame = ReadJpegFrame(path);
        if (!frame) return std::nullopt;
        return DeclaredImage{frame->width, frame->height, 8 * frame->components, FIT_BITMAP};
    }
    if (!FreeImage_FIFSupportsNoPixels(format)) return std::nullopt;
    const BitmapHandle header(FreeImage_Load(format, path.c_str(), FIF_LOAD_NOPIXELS));
    if (!header) return std::nullopt;
    return DeclaredImage{FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()),
                         FreeImage_GetBPP(header.get()), FreeImage_GetImageType(header.get())};
}

std::uint64_t ConversionFootprint(FREE_IMAGE_FORMAT format, const DeclaredImage& image,
                                  const ConversionRequest& request) {
    const Bytes loaded = Multiply(RowBytes(image.width, image.bitsPerPixel), image.height);
    // LibRaw keeps four 16-bit samples per pixel besides the sensor data while it decodes.
    const Bytes decoder =
        format == FIF_RAW ? Multiply(Multiply(image.width, image.height), 10) : loaded;
    const bool convertedFirst = image.type == FIT_BITMAP && image.bitsPerPixel < 24;
    const Bytes trueColourCopy =
        convertedFirst ? Multiply(Multiply(image.width, image.height), 4) : 0;
    const Bytes rescale = std::max(RescaleBytes(image, {image.width, image.height}),
                                   RescaleBytes(image, RequestedSide(image, request)));
    return Add(Add(Add(loaded, decoder), trueColourCopy), rescale);
}

bool PassesStructuralChecks(FREE_IMAGE_FORMAT format, const std::string& path) {
    switch (format) {
        case FIF_TARGA:
            return TargaHoldsItsPixels(path);
        case FIF_BMP:
            return BmpHoldsItsPixels(path);
        case FIF_ICO:
            return IconHoldsItsFirstImage(path);
        case FIF_JPEG:
            return JpegComponentsFit(path);
        default:
            return true;
    }
}

std::optional<std::uint64_t> AddressSpaceLeft() {
    constexpr Bytes reserve = Bytes{96} << 20;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    const Bytes used = VirtualMemorySize().value_or(0);
    const Bytes taken = Add(used, reserve);
    return limit.rlim_cur > taken ? limit.rlim_cur - taken : 0;
}

}  // namespace kavenra
