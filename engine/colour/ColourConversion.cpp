#include "engine/colour/ColourConversion.h"

#include <lcms2.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/formats/jpeg/JpegMarkers.h"

namespace kavenra {
namespace {

constexpr unsigned kIccHeaderSize = 128;
constexpr unsigned kIccColourSpaceOffset = 16;

struct ProfileCloser {
    void operator()(void* profile) const noexcept { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const noexcept { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

std::vector<unsigned char> ProfileBytes(FIBITMAP& bitmap) {
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(&bitmap);
    if (profile == nullptr || profile->data == nullptr || profile->size < kIccHeaderSize) return {};
    const auto* data = static_cast<const unsigned char*>(profile->data);
    return {data, data + profile->size};
}

// The header's creation date and time (ICC's dateTimeNumber: six big-endian 16-bit fields).
constexpr unsigned kIccDateOffset = 24;
constexpr unsigned char kSrgbProfileDate[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
// The profile ID: a digest of the whole profile, its date included; all zero stands for none.
constexpr unsigned kIccProfileIdOffset = 84;
constexpr unsigned kIccProfileIdSize = 16;

// An sRGB profile as ICC bytes, for the converted picture to say what its pixels are. LittleCMS
// dates a profile it makes with the clock; the output is to be the same file whenever it is
// made, so the profile carries a fixed date (2000-01-01 00:00:00) and no profile ID, which would
// be a digest over the date it had.
std::vector<unsigned char> SrgbProfileBytes() {
    const Profile srgb(cmsCreate_sRGBProfile());
    cmsUInt32Number size = 0;
    if (!srgb || !cmsSaveProfileToMem(srgb.get(), nullptr, &size) || size < kIccHeaderSize) {
        return {};
    }
    std::vector<unsigned char> bytes(size);
    if (!cmsSaveProfileToMem(srgb.get(), bytes.data(), &size) || size < kIccHeaderSize) return {};
    bytes.resize(size);
    std::memcpy(bytes.data() + kIccDateOffset, kSrgbProfileDate, sizeof kSrgbProfileDate);
    std::memset(bytes.data() + kIccProfileIdOffset, 0, kIccProfileIdSize);
    return bytes;
}

// Every row of the 32-bit CMYK bitmap through `transform` into a new 24-bit one.
BitmapHandle TransformRows(FIBITMAP& cmyk, void* transform) {
    const unsigned width = FreeImage_GetWidth(&cmyk);
    const unsigned height = FreeImage_GetHeight(&cmyk);
    BitmapHandle rgb(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24));
    if (!rgb) return rgb;
    for (unsigned y = 0; y < height; ++y) {
        cmsDoTransform(transform, FreeImage_GetScanLine(&cmyk, static_cast<int>(y)),
                       FreeImage_GetScanLine(rgb.get(), static_cast<int>(y)), width);
    }
    FreeImage_SetDotsPerMeterX(rgb.get(), FreeImage_GetDotsPerMeterX(&cmyk));
    FreeImage_SetDotsPerMeterY(rgb.get(), FreeImage_GetDotsPerMeterY(&cmyk));
    return rgb;
}

}  // namespace

bool HasCmykProfile(FIBITMAP& loaded) {
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(&loaded);
    return profile != nullptr && profile->data != nullptr && profile->size >= kIccHeaderSize &&
           std::memcmp(static_cast<const char*>(profile->data) + kIccColourSpaceOffset, "CMYK",
                       4) == 0;
}

BitmapHandle LoadCmykJpegAsSrgb(BitmapHandle loaded, const SourceFile& source, int flags) {
    const std::vector<unsigned char> iccBytes = ProfileBytes(*loaded);
    const Profile cmykProfile(
        cmsOpenProfileFromMem(iccBytes.data(), static_cast<cmsUInt32Number>(iccBytes.size())));
    const Profile srgb(cmsCreate_sRGBProfile());
    const std::vector<unsigned char> srgbBytes = SrgbProfileBytes();
    if (!cmykProfile || !srgb || srgbBytes.empty() ||
        cmsGetColorSpace(cmykProfile.get()) != cmsSigCmykData) {
        return loaded;
    }
    // FreeImage hands out 255 less each stored sample: the inks for Adobe's inverted files, their
    // complements for any other.
    const cmsUInt32Number input =
        JpegHasAdobeSegment(source.path()) ? TYPE_CMYK_8 : TYPE_CMYK_8_REV;
    const Transform transform(cmsCreateTransform(cmykProfile.get(), input, srgb.get(), TYPE_BGR_8,
                                                 cmsGetHeaderRenderingIntent(cmykProfile.get()),
                                                 0));
    if (!transform) return loaded;
    // One picture at a time: the CMYK load and the converted copy take the plain load's place.
    loaded.reset();
    BitmapHandle rgb;
    const BitmapHandle cmyk(FreeImage_Load(FreeImageFormatOf(ImageFormat::Jpeg),
                                           source.path().c_str(), flags | JPEG_CMYK));
    if (cmyk && FreeImage_GetBPP(cmyk.get()) == 32 &&
        FreeImage_GetColorType(cmyk.get()) == FIC_CMYK) {
        rgb = TransformRows(*cmyk, transform.get());
    }
    if (rgb && FreeImage_CreateICCProfile(rgb.get(), const_cast<unsigned char*>(srgbBytes.data()),
                                          static_cast<long>(srgbBytes.size()))) {
        FreeImage_CloneMetadata(rgb.get(), cmyk.get());
        return rgb;
    }
    return BitmapHandle(
        FreeImage_Load(FreeImageFormatOf(ImageFormat::Jpeg), source.path().c_str(), flags));
}

}  // namespace kavenra
