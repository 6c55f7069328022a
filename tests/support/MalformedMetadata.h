#pragma once

// Metadata as damaged files carry it, put together byte by byte since no writer makes it: a
// directory entry of a type TIFF does not have or with a count its data cannot hold, an XMP
// packet that is no XML, an IPTC block whose dataset runs past its end. And a reader's check of
// a written file for any such piece, made with the libraries themselves rather than the engine.

#include <cstdint>
#include <string>
#include <vector>

#include "support/ImageFactory.h"

namespace kavenra::test {

// One directory entry as it is to be stored: `value` in the entry itself when it takes 4 bytes
// or fewer, else after the directory; `count` is written as given, whatever `value` holds.
struct RawTiffEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    Bytes value;
};

// Entries of the kinds a file meets: an Artist text ("Ana Lindqvist"), and the same tag
// (0xC4A5) with no type at all or with a count far beyond the data.
RawTiffEntry ArtistEntry();
RawTiffEntry UntypedEntry();
RawTiffEntry OvercountedEntry();

constexpr const char* kEntryArtist = "Ana Lindqvist";

// A little-endian TIFF structure (an EXIF block) whose first directory holds `entries`, sorted
// by tag here.
Bytes MakeExifBlockOf(std::vector<RawTiffEntry> entries);

// An uncompressed 24-bit TIFF file of `width` x `height` whose first directory holds its own
// tags and `extra`, sorted by tag here.
Bytes MakeRgbTiffWith(int width, int height, std::vector<RawTiffEntry> extra);

// A JPEG file with an APP1 XMP segment holding `packet` as it is, right after its start marker.
Bytes WithXmpSegment(const Bytes& jpeg, const std::string& packet);

// A JPEG file with an APP13 Photoshop segment whose IPTC resource holds `block` as it is.
Bytes WithIptcSegment(const Bytes& jpeg, const Bytes& block);

// An IPTC block whose second dataset states 64 bytes where 3 follow.
Bytes UnparsableIptcBlock();

// What the file at `path` holds that a reader refuses or misreads, one line per piece: an EXIF
// entry of no TIFF type or no value (as Exiv2 reads the file, and as the first and EXIF
// directories of a TIFF file or a JPEG file's EXIF block read walked by hand, which also finds
// values beyond the block), an XMP packet (as FreeImage reads it) that Exiv2's parser refuses,
// an IPTC block in EXIF's IPTC tag or in a JPEG's Photoshop segment that does not parse;
// "unreadable" when Exiv2 cannot read the file. Empty for a file whose metadata is well-formed.
std::vector<std::string> MalformedMetadataIn(const std::string& path);

}  // namespace kavenra::test
