#include "engine/formats/bmp/ExtendedBmp.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/base/SystemText.h"

namespace kavenra {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreInfoSize = 40;
constexpr std::uint32_t kV4InfoSize = 108;
constexpr std::uint32_t kV5InfoSize = 124;
constexpr std::uint32_t kBitFields = 3;  // biCompression: pixels stored by the masks that follow
constexpr std::size_t kMasksOffset = kFileHeaderSize + kCoreInfoSize;  // red, green, blue, alpha
constexpr std::size_t kColourMaskBytes = 12;

// The order FreeImage keeps 32-bit pixels in; other masks it would take for these.
constexpr std::uint32_t kRedMask = 0x00FF0000;
constexpr std::uint32_t kGreenMask = 0x0000FF00;
constexpr std::uint32_t kBlueMask = 0x000000FF;

bool ReadAt(int descriptor, unsigned char* buffer, std::size_t length, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(descriptor, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The file as FreeImage is to see it: `head` (the rewritten file and info headers, with the masks
// where they belong), then the file's own bytes from `tailStart` on.
struct SplicedFile {
    int descriptor = -1;
    std::vector<unsigned char> head;
    std::uint64_t tailStart = 0;
    std::uint64_t tailSize = 0;
    std::uint64_t position = 0;

    std::uint64_t size() const { return head.size() + tailSize; }
};

unsigned DLL_CALLCONV ReadSpliced(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    auto& file = *static_cast<SplicedFile*>(handle);
    if (size == 0 || count == 0) return 0;
    const std::uint64_t wanted = static_cast<std::uint64_t>(size) * count;
    const std::uint64_t available = file.position < file.size() ? file.size() - file.position : 0;
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint64_t done = 0;
    const std::uint64_t length = std::min(wanted, available);
    if (file.position < file.head.size()) {
        const std::uint64_t fromHead =
            std::min<std::uint64_t>(length, file.head.size() - file.position);
        std::copy_n(file.head.data() + file.position, fromHead, out);
        done = fromHead;
    }
    while (done < length) {
        const std::uint64_t at = file.tailStart + (file.position + done - file.head.size());
        const ssize_t got =
            pread(file.descriptor, out + done, length - done, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::uint64_t>(got);
    }
    file.position += done;
    return static_cast<unsigned>(done / size);
}

unsigned DLL_CALLCONV WriteNothing(void*, unsigned, unsigned, fi_handle) {
    return 0;
}

int DLL_CALLCONV SeekSpliced(fi_handle handle, long offset, int origin) {
    auto& file = *static_cast<SplicedFile*>(handle);
    const long long base = origin == SEEK_SET   ? 0
                           : origin == SEEK_CUR ? static_cast<long long>(file.position)
                           : origin == SEEK_END ? static_cast<long long>(file.size())
                                                : -1;
    if (base < 0 || base + offset < 0) return -1;
    file.position = static_cast<std::uint64_t>(base + offset);
    return 0;
}

long DLL_CALLCONV TellSpliced(fi_handle handle) {
    return static_cast<long>(static_cast<SplicedFile*>(handle)->position);
}

struct ExtendedHeader {
    std::array<unsigned char, kFileHeaderSize + kV4InfoSize> bytes{};  // V5's tail is not needed
    std::uint32_t infoSize = 0;
    std::uint32_t pixelOffset = 0;
    unsigned bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {};
};

std::optional<ExtendedHeader> ReadExtendedHeader(const SourceFile& source) {
    ExtendedHeader header;
    if (!ReadAt(source.descriptor(), header.bytes.data(), header.bytes.size(), 0)) return {};
    const unsigned char* bytes = header.bytes.data();
    if (bytes[0] != 'B' || bytes[1] != 'M') return {};
    header.infoSize = ReadLittleEndian32(bytes + kFileHeaderSize);
    if (header.infoSize != kV4InfoSize && header.infoSize != kV5InfoSize) return {};
    header.pixelOffset = ReadLittleEndian32(bytes + 10);
    header.bitsPerPixel = ReadLittleEndian16(bytes + kFileHeaderSize + 14);
    header.compression = ReadLittleEndian32(bytes + kFileHeaderSize + 16);
    for (int i = 0; i < 4; ++i) header.masks[i] = ReadLittleEndian32(bytes + kMasksOffset + 4 * i);
    return header;
}

// The file seen with a 40-byte info header; empty for a file this cannot be done for.
std::optional<SplicedFile> SpliceAsCoreHeader(const SourceFile& source,
                                              const ExtendedHeader& header) {
    const std::uint64_t tailStart = kFileHeaderSize + header.infoSize;
    // Pixels inside the header, or beyond the file: nothing that reads the same with a short one.
    if (header.pixelOffset < tailStart || header.pixelOffset > source.size()) return {};
    const bool bitFields = header.compression == kBitFields;
    if (bitFields && header.bitsPerPixel == 32 &&
        (header.masks[0] != kRedMask || header.masks[1] != kGreenMask ||
         header.masks[2] != kBlueMask)) {
        return {};
    }
    SplicedFile file;
    file.descriptor = source.descriptor();
    file.head.assign(header.bytes.begin(), header.bytes.begin() + kMasksOffset);
    WriteLittleEndian32(file.head.data() + kFileHeaderSize, kCoreInfoSize);
    if (bitFields) {
        file.head.insert(file.head.end(), header.bytes.begin() + kMasksOffset,
                         header.bytes.begin() + kMasksOffset + kColourMaskBytes);
    }
    file.tailStart = tailStart;
    file.tailSize = source.size() - tailStart;
    const std::uint64_t shift = tailStart - file.head.size();
    WriteLittleEndian32(file.head.data() + 2, static_cast<std::uint32_t>(file.size()));
    WriteLittleEndian32(file.head.data() + 10,
                        static_cast<std::uint32_t>(header.pixelOffset - shift));
    return file;
}

BitmapHandle LoadSpliced(SplicedFile& file, int flags) {
    FreeImageIO io{ReadSpliced, WriteNothing, SeekSpliced, TellSpliced};
    return BitmapHandle(FreeImage_LoadFromHandle(FIF_BMP, &io, &file, flags));
}

// A 32-bit picture stored by masks without an alpha mask leaves the fourth byte undefined (often
// 0); FreeImage would take it for a transparent picture.
void MakeOpaque(FIBITMAP& bitmap) {
    const unsigned width = FreeImage_GetWidth(&bitmap);
    for (unsigned y = 0; y < FreeImage_GetHeight(&bitmap); ++y) {
        BYTE* line = FreeImage_GetScanLine(&bitmap, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) line[4 * x + FI_RGBA_ALPHA] = 0xFF;
    }
    FreeImage_SetTransparent(&bitmap, FALSE);
}

}  // namespace

BitmapHandle LoadBmpFile(const SourceFile& source, int flags) {
    const std::optional<ExtendedHeader> header = ReadExtendedHeader(source);
    if (!header) return BitmapHandle(FreeImage_Load(FIF_BMP, source.path().c_str(), flags));
    std::optional<SplicedFile> file = SpliceAsCoreHeader(source, *header);
    if (!file) return {};
    BitmapHandle bitmap = LoadSpliced(*file, flags);
    const bool noAlpha =
        header->compression == kBitFields && header->bitsPerPixel == 32 && header->masks[3] == 0;
    if (bitmap && noAlpha && FreeImage_HasPixels(bitmap.get())) MakeOpaque(*bitmap);
    return bitmap;
}

std::optional<DeclaredImage> ReadExtendedBmpDeclaration(const SourceFile& source) {
    const std::optional<ExtendedHeader> header = ReadExtendedHeader(source);
    if (!header) return std::nullopt;
    std::optional<SplicedFile> file = SpliceAsCoreHeader(source, *header);
    if (!file) return std::nullopt;
    const BitmapHandle bitmap = LoadSpliced(*file, FIF_LOAD_NOPIXELS);
    if (!bitmap) return std::nullopt;
    return DeclaredImage{FreeImage_GetWidth(bitmap.get()), FreeImage_GetHeight(bitmap.get()),
                         FreeImage_GetBPP(bitmap.get()), FreeImage_GetImageType(bitmap.get())};
}

}  // namespace kavenra
