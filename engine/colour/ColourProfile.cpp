#include "engine/colour/ColourProfile.h"

#include <sys/stat.h>

#include <exiv2/exiv2.hpp>

#include <cstddef>
#include <cstring>

#include "engine/formats/Codec.h"
#include "engine/metadata/Metadata.h"

namespace kavenra {
namespace {

constexpr long kIccHeaderSize = 128;
constexpr long kIccColourSpaceOffset = 16;

// Far beyond any real profile; a larger one is not attached.
constexpr long kLongestProfile = long{16} << 20;

// Exiv2 maps a TIFF file whole to read it; the conversion's memory is for larger ones' pixels.
constexpr off_t kLargestTiffRead = off_t{256} << 20;

// Attaches the ICC profile that Exiv2 reads from the file at `path`, of Exiv2's `imageType`, in
// place of any the bitmap has; nothing changes when the file has none Exiv2 can read.
void AttachProfileOfFile(FIBITMAP& bitmap, const std::string& path, int imageType) {
    InitialiseMetadataLibrary();
    try {
        // Exiv2 inflates a PNG file's iCCP chunk within bounds of its own.
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        if (image.get() == nullptr || image->imageType() != imageType) return;
        image->readMetadata();
        if (!image->iccProfileDefined()) return;
        const Exiv2::DataBuf* profile = image->iccProfile();
        if (profile->size_ < kIccHeaderSize || profile->size_ > kLongestProfile) return;
        FreeImage_CreateICCProfile(&bitmap, profile->pData_, profile->size_);
    } catch (...) {
        // A damaged file, or one Exiv2 cannot take: the picture keeps what FreeImage read.
    }
}

bool IsGreyscale(FIBITMAP& bitmap) {
    return FreeImage_GetImageType(&bitmap) == FIT_BITMAP && FreeImage_GetBPP(&bitmap) <= 8 &&
           FreeImage_GetColorType(&bitmap) == FIC_MINISBLACK;
}

}  // namespace

bool CarryColourProfile(FIBITMAP& loaded, FIBITMAP& rescaled, ImageFormat inputFormat,
                        ImageFormat outputFormat) {
    if (!CodecOf(inputFormat).profileRead || !CodecOf(outputFormat).profileWritten) return false;
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(&loaded);
    if (profile == nullptr || profile->data == nullptr || profile->size < kIccHeaderSize ||
        (profile->flags & FIICC_COLOR_IS_CMYK) != 0) {
        return false;
    }
    const char* colourSpace = static_cast<const char*>(profile->data) + kIccColourSpaceOffset;
    const char* wanted = IsGreyscale(rescaled) ? "GRAY" : "RGB ";
    if (std::memcmp(colourSpace, wanted, 4) != 0) return false;
    return FreeImage_CreateICCProfile(&rescaled, profile->data, profile->size) != nullptr;
}

void AttachPngColourProfile(FIBITMAP& bitmap, const std::string& path) {
    const FIICCPROFILE* existing = FreeImage_GetICCProfile(&bitmap);
    if (existing != nullptr && existing->size > 0) return;
    AttachProfileOfFile(bitmap, path, Exiv2::ImageType::png);
}

void AttachTiffColourProfile(FIBITMAP& bitmap, const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || info.st_size > kLargestTiffRead) return;
    AttachProfileOfFile(bitmap, path, Exiv2::ImageType::tiff);
}

}  // namespace kavenra
