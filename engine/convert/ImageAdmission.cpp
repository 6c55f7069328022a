// LibRaw before FreeImage: FreeImage.h declares its own INT64 and UINT64, which differ from
// LibRaw's, only when LibRaw's are not declared yet.
#include <libraw/libraw.h>

#include "engine/convert/ImageAdmission.h"
#include "engine/formats/FileHandle.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "engine/base/Sizing.h"
#include "engine/base/SystemText.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/SourceFile.h"
#include "engine/formats/bmp/ExtendedBmp.h"
#include "engine/formats/heif/HeifImage.h"
#include "engine/formats/targa/TargaCheck.h"
#include "engine/formats/webp/WebpLayout.h"

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

std::optional<Bytes> FileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<Bytes>(info.st_size);
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
        hasColourMap ? Multiply(ReadLittleEndian16(&header[5]), (header[7] + 7u) / 8u) : 0;
    const Bytes pixels = Multiply(ReadLittleEndian16(&header[12]), ReadLittleEndian16(&header[14]));
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
    return static_cast<std::uint32_t>(ReadLittleEndian16(at)) |
           (static_cast<std::uint32_t>(ReadLittleEndian16(at + 2)) << 16);
}

// The shortest file that can hold the pixel rows an uncompressed BMP header declares (the last
// row may lack its padding); empty for compressed pictures, whose codes may skip whole areas.
std::optional<Bytes> ShortestBmp(const std::array<unsigned char, 34>& header) {
    const std::uint32_t infoSize = U32LittleEndian(&header[14]);
    Bytes width = 0;
    Bytes height = 0;
    unsigned bitsPerPixel = 0;
    if (infoSize == 12) {  // OS/2 1.x: 16-bit sizes, never compressed
        width = ReadLittleEndian16(&header[18]);
        height = ReadLittleEndian16(&header[20]);
        bitsPerPixel = ReadLittleEndian16(&header[24]);
    } else if (infoSize >= 40) {
        const auto signedWidth = static_cast<std::int32_t>(U32LittleEndian(&header[18]));
        const auto signedHeight = static_cast<std::int32_t>(U32LittleEndian(&header[22]));
        const std::uint32_t compression = U32LittleEndian(&header[30]);
        // BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS: one stored value per pixel.
        if (compression != 0 && compression != 3 && compression != 6) return std::nullopt;
        width = static_cast<Bytes>(std::abs(static_cast<std::int64_t>(signedWidth)));
        height = static_cast<Bytes>(std::abs(static_cast<std::int64_t>(signedHeight)));
        bitsPerPixel = ReadLittleEndian16(&header[28]);
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
    const unsigned count = ReadLittleEndian16(&directory[4]);
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
    const unsigned bitsPerPixel = ReadLittleEndian16(&info[14]);
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

bool IsProgressive(unsigned marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

bool HasNoLength(unsigned marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

// A JPEG's bytes, read the way the decoder's source hands them out.
class FileBytes {
  public:
    explicit FileBytes(std::FILE* file) : file_(file) {}
    int next() { return std::fgetc(file_); }
    bool read(unsigned char* into, std::size_t count) {
        return std::fread(into, 1, count, file_) == count;
    }
    void skip(Bytes count) {
        if (count > Bytes(LONG_MAX) || std::fseek(file_, static_cast<long>(count), SEEK_CUR) != 0) {
            std::fseek(file_, 0, SEEK_END);
        }
    }

  private:
    std::FILE* file_;
};

class MemoryBytes {
  public:
    MemoryBytes(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    int next() { return at_ < size_ ? data_[at_++] : EOF; }
    bool read(unsigned char* into, std::size_t count) {
        if (count > size_ - at_) return false;
        std::copy_n(data_ + at_, count, into);
        at_ += count;
        return true;
    }
    void skip(Bytes count) { at_ = count > size_ - at_ ? size_ : at_ + count; }

  private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The next marker the decoder acts on. libjpeg passes over whatever precedes a marker: stray
// bytes before the 0xFF, any number of 0xFF fill bytes, and 0xFF 0x00 pairs (stuffed data); a
// walk that stopped at them would miss the frame the decoder goes on to read. EOF at the end.
template <typename Source>
int NextMarker(Source& in) {
    for (;;) {
        int byte = in.next();
        while (byte != 0xFF && byte != EOF) byte = in.next();
        while (byte == 0xFF) byte = in.next();
        if (byte != 0) return byte;
    }
}

struct JpegFrame {
    unsigned width = 0;
    unsigned height = 0;
    unsigned components = 0;
    // What the decoder keeps of the whole picture at once: the DCT coefficients of every block,
    // when the picture comes in more than one scan (progressive, or one component a scan).
    Bytes coefficientBytes = 0;
};

// Two bytes a coefficient, 64 a block, over the blocks each component's sampling covers.
Bytes CoefficientBytes(unsigned width, unsigned height, const unsigned char* components,
                       unsigned count) {
    // Sampling factors are 1 to 4; the decoder refuses others, here they count as 1.
    const auto horizontal = [&](unsigned c) {
        return std::max(1u, unsigned{components[3 * c + 1]} >> 4);
    };
    const auto vertical = [&](unsigned c) {
        return std::max(1u, unsigned{components[3 * c + 1]} & 15u);
    };
    Bytes maxH = 1;
    Bytes maxV = 1;
    for (unsigned c = 0; c < count; ++c) {
        maxH = std::max<Bytes>(maxH, horizontal(c));
        maxV = std::max<Bytes>(maxV, vertical(c));
    }
    Bytes total = 0;
    for (unsigned c = 0; c < count; ++c) {
        const Bytes h = horizontal(c);
        const Bytes v = vertical(c);
        // The blocks a component covers, rounded up to whole MCUs as the decoder allocates them.
        const Bytes blockColumns = (Multiply(width, h) + 8 * maxH - 1) / (8 * maxH);
        const Bytes blockRows = (Multiply(height, v) + 8 * maxV - 1) / (8 * maxV);
        const Bytes columns = (blockColumns + h - 1) / h * h;
        const Bytes rows = (blockRows + v - 1) / v * v;
        total = Add(total, Multiply(Multiply(columns, rows), 128));
    }
    return total;
}

// The first frame header, found by walking the marker segments as the decoder does, and whether
// the first scan after it leaves the decoder holding the whole picture.
template <typename Source>
std::optional<JpegFrame> ReadJpegFrame(Source& in) {
    unsigned char start[2];
    if (!in.read(start, 2) || start[0] != 0xFF || start[1] != 0xD8) return std::nullopt;
    std::optional<JpegFrame> frame;
    bool progressive = false;
    Bytes allScansBytes = 0;
    for (;;) {
        const int marker = NextMarker(in);
        if (marker == EOF) return frame;
        if (HasNoLength(static_cast<unsigned>(marker))) continue;
        if (marker == 0xD9) return frame;
        unsigned char lengthBytes[2];
        if (!in.read(lengthBytes, 2)) return frame;
        const unsigned length = U16BigEndian(lengthBytes);
        if (length < 2) return frame;
        if (marker == 0xDA) {
            if (!frame) return std::nullopt;  // no frame before the scan: the decoder stops
            unsigned char componentsInScan = 0;
            const bool oneScanOfAll = in.read(&componentsInScan, 1) && !progressive &&
                                      componentsInScan == frame->components;
            frame->coefficientBytes = oneScanOfAll ? 0 : allScansBytes;
            return frame;
        }
        if (!frame && IsStartOfFrame(static_cast<unsigned>(marker))) {
            // Precision, height, width, component count, then three bytes a component.
            std::array<unsigned char, 6 + 3 * 255> header{};
            if (length < 8 || !in.read(header.data(), std::min<std::size_t>(length - 2, 6))) {
                return std::nullopt;
            }
            const unsigned components = header[5];
            const bool listed =
                length - 2 >= 6 + 3 * components && in.read(&header[6], 3 * components);
            frame = JpegFrame{U16BigEndian(&header[3]), U16BigEndian(&header[1]), components, 0};
            progressive = IsProgressive(static_cast<unsigned>(marker));
            allScansBytes =
                listed ? CoefficientBytes(frame->width, frame->height, &header[6], components)
                       // Unreadable sampling: every component at full size.
                       : Multiply(Multiply(Multiply(frame->width, frame->height),
                                           std::max(components, 1u)),
                                  2);
            in.skip(length - 2 - 6 - (listed ? 3 * components : 0));
            continue;
        }
        in.skip(length - 2);
    }
}

std::optional<JpegFrame> ReadJpegFrame(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    FileBytes bytes(file.get());
    return ReadJpegFrame(bytes);
}

bool ComponentsFit(const std::optional<JpegFrame>& frame) {
    return !frame || (frame->components >= 1 && frame->components <= 4);
}

// The depth of the bitmap FreeImage's rescale makes: palette and grey pictures may come out as
// 32-bit colour (a colour or transparent palette), 16-bit colour as 24-bit, anything else as deep
// as it is. The header does not tell the palette, so the deepest outcome counts.
unsigned RescaledBitsPerPixel(const DeclaredImage& image) {
    if (image.type != FIT_BITMAP) return std::max(image.bitsPerPixel, 8u);
    if (image.bitsPerPixel <= 8) return 32;
    if (image.bitsPerPixel == 16) return 24;
    return image.bitsPerPixel;
}

struct Side {
    Bytes width;
    Bytes height;
};

// FreeImage keeps, for every pixel of the new side a pass makes, the weights of the old pixels
// under its filter: 2 x support x (old / new) + 1 doubles when shrinking, the widest filter
// (Lanczos) having a support of 3, in a block of its own beside a 16-byte entry. Shrinking a side
// of millions of pixels takes gigabytes here alone.
Bytes WeightTableBytes(Bytes oldSide, Bytes newSide) {
    if (newSide == 0) return 0;
    const Bytes window = 2 * (Add(Multiply(3, oldSide), newSide - 1) / newSide) + 1;
    constexpr Bytes allocationOverhead = 16;
    return Multiply(newSide, Add(Multiply(std::max<Bytes>(window, 7), 8), 16 + allocationOverhead));
}

// What FreeImage_Rescale allocates besides its source: the new bitmap and, when both sides change,
// the bitmap between its two passes, one new side by one old side (the width is filtered first
// unless it grows); the weights of one pass at a time. The same size is a copy.
Bytes RescaleBytes(const DeclaredImage& image, Side target) {
    const unsigned bits = RescaledBitsPerPixel(image);
    const Bytes rescaled = Multiply(RowBytes(target.width, bits), target.height);
    if (target.width == image.width && target.height == image.height) return rescaled;
    Bytes intermediate = 0;
    if (target.width != image.width && target.height != image.height) {
        intermediate = target.width <= image.width
                           ? Multiply(RowBytes(target.width, bits), image.height)
                           : Multiply(RowBytes(image.width, bits), target.height);
    }
    const Bytes weights = std::max(WeightTableBytes(image.width, target.width),
                                   WeightTableBytes(image.height, target.height));
    return Add(Add(rescaled, intermediate), weights);
}

// LibRaw's C interface, the library FreeImage's camera RAW loader runs on: with RAW_PREVIEW that
// loader opens the file with LibRaw, unpacks its embedded thumbnail and loads what
// libraw_dcraw_make_mem_thumb makes of it, or, when there is none it can load, decodes the whole
// sensor. Asking the same library finds the same preview.
struct LibRawCloser {
    void operator()(libraw_data_t* data) const noexcept { libraw_close(data); }
};
using LibRawHandle = std::unique_ptr<libraw_data_t, LibRawCloser>;

struct LibRawImageFreer {
    void operator()(libraw_processed_image_t* image) const noexcept {
        libraw_dcraw_clear_mem(image);
    }
};
using LibRawImage = std::unique_ptr<libraw_processed_image_t, LibRawImageFreer>;

// No message on standard error for a damaged file or a failed allocation.
constexpr unsigned kLibRawQuiet =
    LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK;

// The thumbnail as FreeImage receives it; empty when the file opens without one.
LibRawImage LibRawThumbnail(const std::string& path, bool& opened) {
    const LibRawHandle data(libraw_init(kLibRawQuiet));
    opened = data && libraw_open_file(data.get(), path.c_str()) == LIBRAW_SUCCESS;
    if (!opened || libraw_unpack_thumb(data.get()) != LIBRAW_SUCCESS) return nullptr;
    int error = 0;
    return LibRawImage(libraw_dcraw_make_mem_thumb(data.get(), &error));
}

// What FreeImage's RAW_PREVIEW load makes of a camera RAW file.
struct RawPreview {
    enum class Kind {
        Unknown,  // LibRaw does not open the file
        Sensor,   // no preview FreeImage can load: it decodes the sensor
        Jpeg,     // a JPEG preview, whose frame is `frame`
        Bitmap,   // a preview LibRaw hands over as pixels
        Foreign,  // a preview FreeImage would hand to a loader found by its content
    };
    Kind kind = Kind::Unknown;
    std::optional<JpegFrame> frame;
    Bytes width = 0;
    Bytes height = 0;
    unsigned bitsPerPixel = 0;
    Bytes dataBytes = 0;  // the preview as LibRaw keeps it
};

RawPreview ReadRawPreview(const std::string& path) {
    RawPreview preview;
    bool opened = false;
    const LibRawImage thumbnail = LibRawThumbnail(path, opened);
    if (!opened) return preview;
    preview.kind = RawPreview::Kind::Sensor;
    if (!thumbnail) return preview;
    preview.dataBytes = thumbnail->data_size;
    if (thumbnail->type == LIBRAW_IMAGE_BITMAP) {
        preview.kind = RawPreview::Kind::Bitmap;
        preview.width = thumbnail->width;
        preview.height = thumbnail->height;
        // FreeImage makes 24-bit colour of 8-bit samples and 48-bit colour of 16-bit ones.
        preview.bitsPerPixel = thumbnail->bits > 8 ? 48 : 24;
        return preview;
    }
    if (thumbnail->type != LIBRAW_IMAGE_JPEG) return preview;
    const unsigned char* data = thumbnail->data;
    if (preview.dataBytes < 2 || data[0] != 0xFF || data[1] != 0xD8) {
        preview.kind = RawPreview::Kind::Foreign;
        return preview;
    }
    MemoryBytes bytes(data, preview.dataBytes);
    preview.frame = ReadJpegFrame(bytes);
    // Without a frame FreeImage's JPEG load fails, and it decodes the sensor instead.
    if (preview.frame) preview.kind = RawPreview::Kind::Jpeg;
    return preview;
}

// The sensor decode through LibRaw: the raw samples (2 bytes a pixel), the demosaiced picture
// (four 16-bit samples a pixel) and its 8-bit copy that FreeImage copies into its bitmap.
constexpr Bytes kSensorDecodeBytesPerPixel = 2 + 8 + 3;

std::optional<DeclaredImage> DeclaredRawImage(const std::string& path) {
    const RawPreview preview = ReadRawPreview(path);
    // The preview is loaded from LibRaw's copy of it, which FreeImage's JPEG load turns upright
    // as its Exif orientation says, into a second bitmap.
    const Bytes thumbnailCopies = Multiply(preview.dataBytes, 2);
    switch (preview.kind) {
        case RawPreview::Kind::Jpeg: {
            const JpegFrame& frame = *preview.frame;
            const unsigned bits = 8 * frame.components;
            const Bytes upright = Multiply(RowBytes(frame.width, bits), frame.height);
            return DeclaredImage{frame.width, frame.height, bits, FIT_BITMAP,
                                 Add(Add(thumbnailCopies, frame.coefficientBytes), upright)};
        }
        case RawPreview::Kind::Bitmap:
            return DeclaredImage{preview.width, preview.height, preview.bitsPerPixel,
                                 preview.bitsPerPixel > 24 ? FIT_RGB16 : FIT_BITMAP,
                                 thumbnailCopies};
        case RawPreview::Kind::Foreign:
            return std::nullopt;  // refused by the structural checks
        case RawPreview::Kind::Sensor:
        case RawPreview::Kind::Unknown:
            break;
    }
    const BitmapHandle header(
        FreeImage_Load(FreeImageFormatOf(ImageFormat::Raw), path.c_str(), kHeaderOnlyLoad));
    if (!header) return std::nullopt;
    const Bytes width = FreeImage_GetWidth(header.get());
    const Bytes height = FreeImage_GetHeight(header.get());
    return DeclaredImage{width, height, 24, FIT_BITMAP,
                         Multiply(Multiply(width, height), kSensorDecodeBytesPerPixel)};
}

bool RawPreviewPasses(const std::string& path) {
    const RawPreview preview = ReadRawPreview(path);
    switch (preview.kind) {
        case RawPreview::Kind::Jpeg:
            return ComponentsFit(preview.frame);
        case RawPreview::Kind::Foreign:
            // The checks of that format read files by name; such a preview is not a camera's.
            return false;
        default:
            return true;
    }
}

Side RequestedSide(const DeclaredImage& image, const ConversionJob& job) {
    const SourceSize source{static_cast<std::int64_t>(std::min<Bytes>(image.width, INT64_MAX)),
                            static_cast<std::int64_t>(std::min<Bytes>(image.height, INT64_MAX))};
    const std::optional<TargetSize> target = TargetSizeFor(job, source);
    if (!target || target->width <= 0 || target->height <= 0) return {0, 0};
    return {static_cast<Bytes>(target->width), static_cast<Bytes>(target->height)};
}

// Reads a file the way LibRaw's parser does: whatever lies past the end reads as 0xFF bytes.
class ParserView {
  public:
    explicit ParserView(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
        if (file_ && std::fseek(file_.get(), 0, SEEK_END) == 0) {
            const long end = std::ftell(file_.get());
            size_ = end > 0 ? static_cast<Bytes>(end) : 0;
        }
    }
    bool open() const { return file_ != nullptr; }
    Bytes size() const { return size_; }
    void setBigEndian(bool big) { bigEndian_ = big; }

    // Bytes from `at` on; those past the end stay 0xFF.
    void read(Bytes at, unsigned char* into, std::size_t count) const {
        std::fill_n(into, count, 0xFF);
        if (at >= size_ || at > Bytes(LONG_MAX) ||
            std::fseek(file_.get(), static_cast<long>(at), SEEK_SET) != 0) {
            return;
        }
        const std::size_t got = std::fread(into, 1, count, file_.get());
        std::fill(into + got, into + count, 0xFF);
    }
    std::uint32_t u32(Bytes at) const {
        unsigned char bytes[4];
        read(at, bytes, 4);
        return bigEndian_ ? (std::uint32_t{U16BigEndian(bytes)} << 16) | U16BigEndian(bytes + 2)
                          : U32LittleEndian(bytes);
    }
    unsigned u16(Bytes at) const { return u32(at) >> (bigEndian_ ? 16 : 0) & 0xFFFF; }

  private:
    File file_;
    Bytes size_ = 0;
    bool bigEndian_ = true;
};

// LibRaw takes a file with "IIII" or "MMMM" in its first 32 bytes for a PhaseOne one, and after
// the file's directory walks a second one of metadata, whose entry count it reads from wherever
// the first directory points, past the end of a cut file too (as 0xFFFFFFFF), with no bound:
// billions of seeks and reads before detection answers. True unless that count is more entries
// than the file holds.
bool PhaseOneDirectoriesFit(const std::string& path) {
    ParserView file(path);
    std::array<unsigned char, 32> head{};
    if (!file.open() || file.size() < 64) return true;  // LibRaw reads no further
    file.read(0, head.data(), head.size());
    const auto find = [&](unsigned char letter) -> std::optional<Bytes> {
        for (std::size_t i = 0; i + 4 <= head.size(); ++i) {
            if (std::all_of(&head[i], &head[i] + 4, [&](unsigned char c) { return c == letter; })) {
                return i;
            }
        }
        return std::nullopt;
    };
    std::optional<Bytes> base = find('M');
    if (!base) base = find('I');
    if (!base) return true;
    file.setBigEndian(head[*base] == 'M');
    if (file.u32(*base + 4) >> 8 != 0x526177) return true;  // "Raw"
    const std::uint32_t offset = file.u32(*base + 8);
    if (offset == 0xbad0bad) return true;
    const Bytes directory = Add(offset, *base);
    const std::uint32_t entries = file.u32(directory);
    if (entries > 8192) return true;  // LibRaw gives up on this one
    constexpr unsigned kMetadataTag = 0x0110;
    Bytes metadata = 0;  // without the tag LibRaw starts at the beginning
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
        const Bytes at = directory + 8 + Bytes{16} * entry;
        if (file.u32(at) == kMetadataTag) metadata = Add(file.u32(at + 12), *base);
    }
    // The metadata directory keeps its own byte order; LibRaw adds its offset in 32 bits, or
    // past them, depending on the build: both places count.
    file.setBigEndian(file.u16(metadata) != 0x4949);
    const std::uint32_t relative = file.u32(metadata + 8);
    for (const Bytes start : {Add(metadata, relative), Bytes((metadata + relative) & 0xFFFFFFFF)}) {
        const std::uint32_t metadataEntries = file.u32(start);
        // An entry takes 12 bytes.
        if (Multiply(metadataEntries, 12) > file.size()) return false;
    }
    return true;
}

std::optional<Bytes> VirtualMemorySize() {
    std::ifstream statm("/proc/self/statm");
    Bytes pages = 0;
    if (!(statm >> pages)) return std::nullopt;
    return Multiply(pages, static_cast<Bytes>(sysconf(_SC_PAGESIZE)));
}

// libheif reads the whole box structure once, for the reason of a refusal and the size at once.
Admission AdmitHeifFile(const ConversionJob& job, const ConversionLimits& limits) {
    const HeifDeclaration declaration = DeclareHeifImage(job.request.source);
    if (declaration.admission != Admission::Admitted) return declaration.admission;
    if (limits.memoryBytes == 0 || !declaration.declared) return Admission::Admitted;
    return ConversionFootprint(ImageFormat::Heif, *declaration.declared, job) <=
                   limits.memoryBytes
               ? Admission::Admitted
               : Admission::TooLarge;
}

// FreeImage's WebP load holds the file's bytes three times at once (its own read, the container
// parser's copy, the bitstream it hands the decoder), and the decoder holds beside the bitmap a
// 32-bit copy of a lossless picture, or an 8-bit plane for a lossy picture's alpha.
std::optional<DeclaredImage> DeclaredWebpImage(const std::string& path) {
    const WebpDeclaration webp = ReadWebpDeclaration(path);
    if (webp.width == 0 || webp.height == 0) return std::nullopt;
    const Bytes pixels = Multiply(webp.width, webp.height);
    const Bytes planes = webp.lossless ? Multiply(pixels, 4) : webp.alpha ? pixels : 0;
    return DeclaredImage{webp.width, webp.height, webp.alpha ? 32u : 24u, FIT_BITMAP,
                         Add(Multiply(webp.fileBytes, 3), planes)};
}

bool WebpLayoutPasses(const std::string& path) {
    const WebpLayout layout = ReadWebpDeclaration(path).layout;
    return layout == WebpLayout::Whole || layout == WebpLayout::CutShort;
}

}  // namespace

std::optional<DeclaredImage> ReadDeclaredImage(ImageFormat format, const std::string& path) {
    // FreeImage's header-only load of a progressive JPEG sets up the decoder's whole-picture
    // buffers, seconds of work for a hostile frame size; the frame header says it all.
    if (format == ImageFormat::Jpeg) {
        const std::optional<JpegFrame> frame = ReadJpegFrame(path);
        if (!frame) return std::nullopt;
        return DeclaredImage{frame->width, frame->height, 8 * frame->components, FIT_BITMAP,
                             frame->coefficientBytes};
    }
    // The header-only load of a camera RAW file gives the sensor's size, but a conversion loads
    // its preview.
    if (format == ImageFormat::Raw) return DeclaredRawImage(path);
    if (IsHeifFormat(format)) return DeclareHeifImage(path).declared;
    // FreeImage's header-only load of a WebP file reads the whole file first.
    if (format == ImageFormat::Webp) return DeclaredWebpImage(path);
    if (!FreeImage_FIFSupportsNoPixels(format.freeImage())) return std::nullopt;
    const BitmapHandle header(FreeImage_Load(format.freeImage(), path.c_str(), kHeaderOnlyLoad));
    if (!header) return std::nullopt;
    return DeclaredImage{FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()),
                         FreeImage_GetBPP(header.get()), FreeImage_GetImageType(header.get())};
}

std::uint64_t ConversionFootprint(ImageFormat, const DeclaredImage& image,
                                  const ConversionJob& job) {
    const Bytes loaded = Multiply(RowBytes(image.width, image.bitsPerPixel), image.height);
    const Bytes decoder = image.decoderBytes.value_or(loaded);
    const Bytes rescale = std::max(RescaleBytes(image, {image.width, image.height}),
                                   RescaleBytes(image, RequestedSide(image, job)));
    // The decoder's buffers are gone by the time the rescale runs.
    return Add(loaded, std::max(decoder, rescale));
}

bool PassesStructuralChecks(ImageFormat format, const std::string& path) {
    if (IsHeifFormat(format)) return DeclareHeifImage(path).admission == Admission::Admitted;
    switch (format.id()) {
        case ImageFormat::Targa:
            return TargaHoldsItsPixels(path);
        case ImageFormat::Bmp:
            return BmpHoldsItsPixels(path);
        case ImageFormat::Ico:
            return IconHoldsItsFirstImage(path);
        case ImageFormat::Jpeg:
            return ComponentsFit(ReadJpegFrame(path));
        case ImageFormat::Raw:
            return RawPreviewPasses(path);
        case ImageFormat::Webp:
            return WebpLayoutPasses(path);
        default:
            return true;
    }
}

bool PassesDetectionChecks(const std::string& path) {
    return PhaseOneDirectoriesFit(path);
}

std::optional<std::uint64_t> AddressSpaceLeft() {
    constexpr Bytes reserve = Bytes{96} << 20;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    const Bytes used = VirtualMemorySize().value_or(0);
    const Bytes taken = Add(used, reserve);
    return limit.rlim_cur > taken ? limit.rlim_cur - taken : 0;
}

Admission AdmitForLoading(ImageFormat format, const ConversionJob& job,
                          const ConversionLimits& limits) {
    if (IsHeifFormat(format)) return AdmitHeifFile(job, limits);
    const ConversionRequest& request = job.request;
    if (!PassesStructuralChecks(format, request.source)) return Admission::Refused;
    if (format == ImageFormat::Targa && WalkTargaRuns(request.source) == TargaRuns::CutShort) {
        return Admission::Incomplete;
    }
    if (format == ImageFormat::Webp &&
        ReadWebpDeclaration(request.source).layout == WebpLayout::CutShort) {
        return Admission::Incomplete;
    }
    if (limits.memoryBytes == 0) return Admission::Admitted;
    std::optional<DeclaredImage> declared = ReadDeclaredImage(format, request.source);
    // FreeImage's own header read refuses the BMP headers the conversion reads for it.
    if (!declared && format == ImageFormat::Bmp) {
        if (const std::optional<SourceFile> source = SourceFile::Open(request.source)) {
            declared = ReadExtendedBmpDeclaration(*source);
        }
    }
    // Without a readable header the full load decides, within the process's own limits.
    if (!declared || ConversionFootprint(format, *declared, job) <= limits.memoryBytes) {
        return Admission::Admitted;
    }
    return Admission::TooLarge;
}

}  // namespace kavenra
