#pragma once

// A PNG file's text chunks on their way through FreeImage. Its reader keeps each tEXt, zTXt and
// iTXt chunk as a comment under the chunk's keyword, even a keyword libpng's writer refuses (an
// empty one: a chunk of no bytes, or one that starts with its separator); writing such a comment
// back fails the whole save ("iTXt: invalid keyword").

#include <FreeImage.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavenra {

// The chunks of the PNG file at `path` that Exiv2 reads metadata from, as a PNG file of their own:
// every chunk but the pixel data, less the text chunks whose keyword does not end within the
// chunk (a chunk of no bytes among them), for which Exiv2 refuses the whole file. Empty when the
// file is no PNG or cannot be read, or those chunks take more than `limit` bytes.
std::optional<std::vector<unsigned char>> PngChunksForMetadata(const std::string& path,
                                                               std::uint64_t limit);

// Removes the comments whose keyword libpng cannot write, the others kept: those without a
// single character libpng keeps in a keyword (a printable Latin-1 character other than a space).
void DropCommentsWithoutKeyword(FIBITMAP& bitmap);

}  // namespace kavenra
