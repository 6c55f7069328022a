#pragma once

// What a picture carries besides its pixels and its colour profile: EXIF, IPTC and XMP. FreeImage
// keeps them only in some of its writers, and the EXIF it copies still states the loaded
// picture's size; Exiv2 reads them from the input and writes them into the output's file.

#include <FreeImage.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/formats/ImageFormat.h"

namespace kavenra {

// Prepares Exiv2 once per process, whatever the thread: its XMP toolkit's set-up must not run
// twice at once, and its messages about damaged files are not for standard error.
void InitialiseMetadataLibrary();

// True when `size` bytes are within what Exiv2 is given to hold in memory for one file.
bool FitsMetadataLibrary(std::size_t size);

// True when two contents of a `format` file both decode, to the same pixels.
bool DecodeToSamePixels(const std::vector<unsigned char>& before,
                        const std::vector<unsigned char>& after, ImageFormat format);

// Removes from the metadata FreeImage keeps with a loaded bitmap, which its writers copy into the
// file they write, what other readers refuse: an XMP packet Exiv2 cannot parse; EXIF entries of
// no TIFF type (1 to 13) or of no value, from FreeImage's tag models and from the raw EXIF
// block, which is laid out anew by Exiv2 (its entries whose values run past the block left out)
// or dropped when Exiv2 reads nothing in it. Everything well-formed stays.
void DropMalformedMetadata(FIBITMAP& bitmap);

enum class MetadataOutcome {
    Written,        // the new content holds the input's metadata
    AlreadyThere,   // the file holds all of it already and needs no change
    TooLarge,       // the file is beyond the size Exiv2 is given to hold in memory
    Unreadable,     // Exiv2 could not read the file or refused to write it
    PixelsChanged,  // what Exiv2 wrote decodes to other pixels than the file it was given
};

struct MetadataWrite {
    MetadataOutcome outcome = MetadataOutcome::Unreadable;
    std::vector<unsigned char> file;  // the new content, when Written
};

// The EXIF, IPTC and XMP of one input, less what describes the layout of its pixels (sizes,
// strips, compression, the embedded colour profile), which belongs to the file that holds them.
class InputMetadata {
  public:
    InputMetadata();
    InputMetadata(InputMetadata&&) noexcept;
    InputMetadata& operator=(InputMetadata&&) noexcept;
    ~InputMetadata();

    // What the JPEG, PNG, TIFF or WebP file at `path` carries, or the EXIF and XMP blocks of a
    // HEIF or AVIF file's primary image (HeifImage.h). Empty for other formats, for a file too
    // large to read in the memory a conversion may hold, and for one whose metadata Exiv2 cannot
    // read: the output then goes without. A PNG file's text chunk without a keyword, which Exiv2
    // refuses the whole file for, costs only that chunk. An EXIF entry of no TIFF type or of no
    // value is left out, and so is an XMP packet or IPTC block that does not parse (Exiv2 reads
    // none of it), the rest kept.
    static InputMetadata Read(const std::string& path, ImageFormat format);

    bool empty() const;

    // The EXIF orientation (Orientation.h) of the input's first picture, 1 when it states none.
    int orientation() const;

    // `file`, the content of a JPEG, PNG, TIFF or WebP file holding `width` x `height` pixels, with
    // this metadata. Its EXIF pixel dimensions (PixelXDimension and PixelYDimension, where the
    // input has an EXIF directory, and their XMP copies where the input has those) state that size.
    // A TIFF file's own tags win over the input's, and the input's further images (thumbnails,
    // sub-images) are not carried into it. Never throws; any outcome but Written leaves `file` as
    // it is. The output's pixels are upright, and its orientation tags (EXIF's, a TIFF file's own,
    // and XMP's tiff:Orientation), where it has them, say 1.
    MetadataWrite WriteInto(const std::vector<unsigned char>& file, ImageFormat format,
                            unsigned width, unsigned height) const;

  private:
    static InputMetadata ReadHeif(const std::string& path);

    struct Models;
    std::unique_ptr<Models> models_;
};

}  // namespace kavenra
