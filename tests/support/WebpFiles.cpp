#include "support/WebpFiles.h"

#include <cstring>

namespace kavenra::test {
namespace {

void PutLittle(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::uint32_t LittleAt(const Bytes& data, std::size_t at) {
    return std::uint32_t{data[at]} | std::uint32_t{data[at + 1]} << 8 |
           std::uint32_t{data[at + 2]} << 16 | std::uint32_t{data[at + 3]} << 24;
}

WebpChunk Chunk(const char (&type)[5], Bytes data) {
    return {type, std::move(data)};
}

}  // namespace

std::vector<WebpChunk> WebpChunks(const Bytes& webp) {
    std::vector<WebpChunk> chunks;
    if (webp.size() < 12 || std::memcmp(webp.data(), "RIFF", 4) != 0 ||
        std::memcmp(webp.data() + 8, "WEBP", 4) != 0) {
        return chunks;
    }
    std::size_t at = 12;
    while (at + 8 <= webp.size()) {
        const std::size_t length = LittleAt(webp, at + 4);
        if (length > webp.size() - at - 8) break;
        const auto data = webp.begin() + static_cast<std::ptrdiff_t>(at + 8);
        chunks.push_back({std::string(webp.begin() + static_cast<std::ptrdiff_t>(at),
                                      webp.begin() + static_cast<std::ptrdiff_t>(at + 4)),
                          Bytes(data, data + static_cast<std::ptrdiff_t>(length))});
        at += 8 + length + (length & 1);
    }
    return chunks;
}

Bytes MakeWebpFile(const std::vector<WebpChunk>& chunks) {
    Bytes body;
    for (const WebpChunk& chunk : chunks) {
        body.insert(body.end(), chunk.type.begin(), chunk.type.end());
        PutLittle(body, static_cast<std::uint32_t>(chunk.data.size()), 4);
        body.insert(body.end(), chunk.data.begin(), chunk.data.end());
        if (chunk.data.size() % 2 != 0) body.push_back(0);
    }
    Bytes file{'R', 'I', 'F', 'F'};
    PutLittle(file, static_cast<std::uint32_t>(4 + body.size()), 4);
    file.insert(file.end(), {'W', 'E', 'B', 'P'});
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

WebpChunk WebpExtendedHeader(std::uint32_t width, std::uint32_t height, unsigned flags) {
    Bytes data;
    PutLittle(data, flags, 4);
    PutLittle(data, width - 1, 3);
    PutLittle(data, height - 1, 3);
    return Chunk("VP8X", data);
}

Bytes WithWebpExtras(const Bytes& webp, std::uint32_t width, std::uint32_t height,
                     const WebpExtras& extras) {
    std::vector<WebpChunk> picture;
    unsigned flags = 0;
    for (WebpChunk& chunk : WebpChunks(webp)) {
        if (chunk.type == "VP8X") {
            flags |= chunk.data.empty() ? 0u : chunk.data[0] & kWebpAlphaFlag;
        } else if (chunk.type == "ALPH" || chunk.type == "VP8 " || chunk.type == "VP8L") {
            if (chunk.type == "ALPH") flags |= kWebpAlphaFlag;
            // A lossless bitstream's alpha hint.
            if (chunk.type == "VP8L" && chunk.data.size() >= 5 && (chunk.data[4] & 0x10) != 0) {
                flags |= kWebpAlphaFlag;
            }
            picture.push_back(std::move(chunk));
        }
    }
    std::vector<WebpChunk> chunks;
    if (!extras.icc.empty()) flags |= kWebpIccFlag;
    if (!extras.exif.empty()) flags |= kWebpExifFlag;
    if (!extras.xmp.empty()) flags |= kWebpXmpFlag;
    chunks.push_back(WebpExtendedHeader(width, height, flags));
    if (!extras.icc.empty()) chunks.push_back(Chunk("ICCP", extras.icc));
    chunks.insert(chunks.end(), picture.begin(), picture.end());
    if (!extras.exif.empty()) chunks.push_back(Chunk("EXIF", extras.exif));
    if (!extras.xmp.empty()) {
        chunks.push_back(Chunk("XMP ", Bytes(extras.xmp.begin(), extras.xmp.end())));
    }
    return MakeWebpFile(chunks);
}

std::string XmpPacketWithCreatorTool(const std::string& creatorTool) {
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
           "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
           "xmp:CreatorTool=\"" +
           creatorTool + "\"/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
}

Bytes LosslessWebpHeaderOnly(std::uint32_t width, std::uint32_t height) {
    Bytes data{0x2F};
    PutLittle(data, ((width - 1) & 0x3FFF) | ((height - 1) & 0x3FFF) << 14, 4);
    data.insert(data.end(), 16, 0);
    return MakeWebpFile({Chunk("VP8L", data)});
}

}  // namespace kavenra::test
