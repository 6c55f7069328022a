#pragma once

// A file format as the program knows it. Formats FreeImage reads keep their own value here, and so
// do the ones it does not know (HEIF and AVIF, read through libheif): every format is one value
// of one enumeration, none squeezed into another library's numbering. What the program knows of
// each is its codec (Codec.h).

#include <FreeImage.h>

#include <cstdint>

namespace kavenra {

class ImageFormat {
  public:
    enum Id : std::uint8_t {
        Unknown = 0,
        Bmp,
        Jpeg,
        Png,
        Targa,
        Tiff,
        Webp,
        Heif,
        Avif,
        Raw,
        // The other formats FreeImage reads.
        Ico,
        Jng,
        Koala,
        Iff,
        Mng,
        Pbm,
        PbmRaw,
        Pcd,
        Pcx,
        Pgm,
        PgmRaw,
        Ppm,
        PpmRaw,
        Ras,
        Wbmp,
        Psd,
        Cut,
        Xbm,
        Xpm,
        Dds,
        Gif,
        Hdr,
        FaxG3,
        Sgi,
        Exr,
        J2k,
        Jp2,
        Pfm,
        Pict,
        Jxr,
        Count,  // not a format: the number of values
    };

    constexpr ImageFormat() = default;
    constexpr ImageFormat(Id id) : id_(id) {}
    // A file made or detected by FreeImage names its format by FreeImage's value (test fixtures,
    // benchmarks); any value it does not have is Unknown.
    ImageFormat(FREE_IMAGE_FORMAT format);

    // The value as sent between processes; FromNumber takes it back, Unknown out of range.
    static ImageFormat FromNumber(std::uint32_t number);

    constexpr Id id() const { return id_; }
    constexpr bool known() const { return id_ != Unknown; }

    // FreeImage's value of the format, for its calls; FIF_UNKNOWN for a format it does not read.
    FREE_IMAGE_FORMAT freeImage() const;

    friend constexpr bool operator==(ImageFormat a, ImageFormat b) { return a.id_ == b.id_; }
    friend constexpr bool operator!=(ImageFormat a, ImageFormat b) { return a.id_ != b.id_; }

  private:
    Id id_ = Unknown;
};

inline FREE_IMAGE_FORMAT FreeImageFormatOf(ImageFormat format) {
    return format.freeImage();
}

}  // namespace kavenra
