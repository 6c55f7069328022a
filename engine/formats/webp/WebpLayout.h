#pragma once

// What a WebP file states about its picture, read from its RIFF container before a pixel is
// decoded: the size a full load will make and whether the chunks are all there. FreeImage's
// loader reads the whole file into memory and decodes whatever bitstream the container names, so
// the size it will allocate must be known, and a cut file refused, before that load starts.

#include <cstdint>
#include <string>

namespace kavenra {

enum class WebpLayout {
    Whole,      // the container and every chunk it declares are there, with one still picture
    CutShort,   // the file ends before the RIFF size or a chunk it declares
    Malformed,  // no WebP container, no picture, or sizes that contradict each other
    Animated,   // frames of an animation: no single picture to convert
};

struct WebpDeclaration {
    WebpLayout layout = WebpLayout::Malformed;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool alpha = false;     // the picture loads as 32-bit
    bool lossless = false;  // a VP8L bitstream, whose decoder holds a 32-bit copy of the picture
    std::uint64_t fileBytes = 0;
};

// Walks the chunks of the file at `path`: the first one (VP8, VP8L or the extended header VP8X
// with its canvas size) gives the size; in an extended file the picture's own bitstream must state
// the canvas's size, since the loader allocates what the bitstream says.
WebpDeclaration ReadWebpDeclaration(const std::string& path);

}  // namespace kavenra
