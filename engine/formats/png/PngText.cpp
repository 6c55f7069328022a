#include "engine/formats/png/PngText.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/formats/FileHandle.h"
#include "engine/formats/FreeImageBitmap.h"

namespace kavenra {
namespace {

// libpng drops spaces and characters outside printable Latin-1 from a keyword it writes, and
// refuses one with nothing left.
bool WritableKeyword(const char* key) {
    if (key == nullptr) return false;
    for (const char* at = key; *at != '\0'; ++at) {
        const auto character = static_cast<unsigned char>(*at);
        if ((character > 32 && character <= 126) || character >= 161) return true;
    }
    return false;
}

constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsTextChunk(const unsigned char* type) {
    return std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 ||
           std::memcmp(type, "iTXt", 4) == 0;
}

// The chunk's data starts with its keyword and the zero byte that ends it.
bool KeywordEnds(const std::vector<unsigned char>& chunk, std::size_t dataLength) {
    constexpr std::size_t kHeader = 8;
    return std::memchr(chunk.data() + kHeader, 0, dataLength) != nullptr;
}

}  // namespace

std::optional<std::vector<unsigned char>> PngChunksForMetadata(const std::string& path,
                                                               std::uint64_t limit) {
    const File file(std::fopen(path.c_str(), "rbe"));
    std::array<unsigned char, 8> signature{};
    if (!file || std::fread(signature.data(), 1, 8, file.get()) != 8 || signature != kSignature) {
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0) return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    std::vector<unsigned char> kept(signature.begin(), signature.end());
    for (std::uint64_t at = signature.size();;) {
        std::vector<unsigned char> chunk(8);
        if (std::fread(chunk.data(), 1, 8, file.get()) != 8) break;  // the file ends: so be it
        const std::uint32_t length = std::uint32_t{chunk[0]} << 24 | std::uint32_t{chunk[1]} << 16 |
                                     std::uint32_t{chunk[2]} << 8 | chunk[3];
        // A chunk beyond the file's end is no chunk: what came before is all there is.
        if (at + 12 + std::uint64_t{length} > fileSize) break;
        at += 12 + std::uint64_t{length};
        std::array<unsigned char, 4> type{};
        std::memcpy(type.data(), &chunk[4], 4);
        if (std::memcmp(type.data(), "IDAT", 4) == 0) {
            if (std::fseek(file.get(), static_cast<long>(length) + 4, SEEK_CUR) != 0) break;
            continue;
        }
        if (kept.size() + 12 + std::uint64_t{length} > limit) return std::nullopt;
        chunk.resize(8 + std::size_t{length} + 4);  // data and checksum
        if (std::fread(chunk.data() + 8, 1, chunk.size() - 8, file.get()) != chunk.size() - 8) {
            break;
        }
        const bool end = std::memcmp(type.data(), "IEND", 4) == 0;
        if (!IsTextChunk(type.data()) || KeywordEnds(chunk, length)) {
            kept.insert(kept.end(), chunk.begin(), chunk.end());
        }
        if (end) break;
    }
    return kept;
}

void DropCommentsWithoutKeyword(FIBITMAP& bitmap) {
    std::vector<std::string> refused;
    FITAG* tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(FIMD_COMMENTS, &bitmap, &tag);
    if (search == nullptr) return;
    do {
        const char* key = FreeImage_GetTagKey(tag);
        if (!WritableKeyword(key)) refused.emplace_back(key != nullptr ? key : "");
    } while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
    for (const std::string& key : refused) {
        RemoveMetadataTag(bitmap, FIMD_COMMENTS, key.c_str());
    }
}

}  // namespace kavenra
