#include "support/ImageMetadata.h"

#include <FreeImage.h>
#include <zlib.h>

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <cstring>
#include <exiv2/exiv2.hpp>

namespace kavenra::test {
namespace {

void PutLittle(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutBig(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutText(Bytes& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

std::optional<unsigned> ExifNumber(FIBITMAP& bitmap, const char* key) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_EXIF, &bitmap, key, &tag) || tag == nullptr) return {};
    if (FreeImage_GetTagType(tag) == FIDT_SHORT) {
        return *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
    }
    if (FreeImage_GetTagType(tag) == FIDT_LONG) {
        return *static_cast<const DWORD*>(FreeImage_GetTagValue(tag));
    }
    return {};
}

}  // namespace

Bytes MakeBmpFile(const BmpLayout& layout) {
    const bool bitFields = layout.compression == 3;
    const std::uint32_t masksAfter = layout.infoSize == 40 && bitFields ? 12 : 0;
    const std::uint32_t pixelOffset = 14 + layout.infoSize + masksAfter;
    Bytes file;
    PutText(file, "BM");
    PutLittle(file, pixelOffset + static_cast<std::uint32_t>(layout.pixels.size()), 4);
    PutLittle(file, 0, 4);
    PutLittle(file, pixelOffset, 4);
    PutLittle(file, layout.infoSize, 4);
    PutLittle(file, static_cast<std::uint32_t>(layout.width), 4);
    PutLittle(file, static_cast<std::uint32_t>(layout.topDown ? -layout.height : layout.height), 4);
    PutLittle(file, 1, 2);
    PutLittle(file, layout.bitsPerPixel, 2);
    PutLittle(file, layout.compression, 4);
    PutLittle(file, static_cast<std::uint32_t>(layout.pixels.size()), 4);
    PutLittle(file, 2835, 4);  // 72 dpi
    PutLittle(file, 2835, 4);
    PutLittle(file, 0, 4);
    PutLittle(file, 0, 4);
    if (layout.infoSize == 40) {
        if (bitFields) {
            for (int i = 0; i < 3; ++i) PutLittle(file, layout.masks[i], 4);
        }
    } else {
        for (const std::uint32_t mask : layout.masks) PutLittle(file, mask, 4);
        PutText(file, "BGRs");                // sRGB colour space
        file.insert(file.end(), 36 + 12, 0);  // end points, gamma
        if (layout.infoSize == 124) {
            PutLittle(file, 4, 4);           // intent: perceptual
            file.insert(file.end(), 12, 0);  // no profile; reserved
        }
    }
    file.insert(file.end(), layout.pixels.begin(), layout.pixels.end());
    return file;
}

Bytes MakeIccProfile(const char (&colourSpace)[5], unsigned char mark) {
    // A white point and a copyright text; the text's varied letters keep the compressed profile
    // as long as a real one's (libpng refuses an iCCP chunk of fewer than 92 bytes).
    constexpr std::uint32_t kTextLength = 8 + 120;
    constexpr std::uint32_t kTagsStart = 128 + 4 + 2 * 12;
    constexpr std::uint32_t kSize = kTagsStart + 20 + kTextLength;
    Bytes profile;
    PutBig(profile, kSize, 4);
    PutBig(profile, 0, 4);           // preferred module
    PutBig(profile, 0x02100000, 4);  // version 2.1
    PutText(profile, "mntr");
    PutText(profile, colourSpace);
    PutText(profile, "XYZ ");
    profile.insert(profile.end(), 12, 0);  // date
    PutText(profile, "acsp");
    profile.insert(profile.end(), 4 + 4 + 4 + 4 + 8 + 4, 0);  // platform ... attributes, intent
    PutBig(profile, 0x0000F6D6, 4);                           // D50 illuminant
    PutBig(profile, 0x00010000, 4);
    PutBig(profile, 0x0000D32D, 4);
    PutBig(profile, 0, 4);  // creator
    profile.insert(profile.end(), 16, mark);
    profile.resize(128, 0);
    PutBig(profile, 2, 4);
    PutText(profile, "wtpt");
    PutBig(profile, kTagsStart, 4);
    PutBig(profile, 20, 4);
    PutText(profile, "cprt");
    PutBig(profile, kTagsStart + 20, 4);
    PutBig(profile, kTextLength, 4);
    PutText(profile, "XYZ ");
    PutBig(profile, 0, 4);
    PutBig(profile, 0x0000F6D6, 4);
    PutBig(profile, 0x00010000, 4);
    PutBig(profile, 0x0000D32D, 4);
    PutText(profile, "text");
    PutBig(profile, 0, 4);
    std::uint32_t state = mark;
    for (std::uint32_t i = 0; i + 1 < kTextLength - 8; ++i) {
        state = state * 1103515245u + 12345u;
        profile.push_back(static_cast<unsigned char>('a' + (state >> 16) % 26));
    }
    profile.push_back(0);
    return profile;
}

// FreeImage's PNG reader drops the iCCP chunk, so the chunk is read here, with Qt's zlib.
Bytes PngIccProfileOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    for (qsizetype at = 8; at + 12 <= data.size();) {
        const auto length = qFromBigEndian<quint32>(data.constData() + at);
        const QByteArray type = data.mid(at + 4, 4);
        if (type == "IDAT" || qsizetype(length) > data.size() - at - 12) break;
        if (type == "iCCP") {
            const QByteArray chunk = data.mid(at + 8, qsizetype(length));
            const qsizetype nul = chunk.indexOf('\0');
            if (nul < 0 || nul + 2 > chunk.size()) return {};
            QByteArray stream(4, '\0');  // qUncompress wants a size hint first; it grows past it
            qToBigEndian<quint32>(1024, stream.data());
            const QByteArray profile = qUncompress(stream + chunk.mid(nul + 2));
            return Bytes(profile.begin(), profile.end());
        }
        at += 12 + qsizetype(length);
    }
    return {};
}

// FreeImage reads a TIFF file's profile from memory it has released once the file also has an
// EXIF directory.
Bytes TiffIccProfileOf(const std::string& path) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        if (!image->iccProfileDefined()) return {};
        const Exiv2::DataBuf* profile = image->iccProfile();
        return Bytes(profile->pData_, profile->pData_ + profile->size_);
    } catch (const std::exception&) {
        return {};
    }
}

Bytes IccProfileOf(const std::string& path) {
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_PNG) return PngIccProfileOf(path);
    if (format == FIF_TIFF) return TiffIccProfileOf(path);
    const BitmapHandle bitmap = LoadImageFile(path);
    if (!bitmap) return {};
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(bitmap.get());
    if (profile == nullptr || profile->data == nullptr || profile->size <= 0) return {};
    const auto* data = static_cast<const unsigned char*>(profile->data);
    return Bytes(data, data + profile->size);
}

Bytes WithExifPixelDimensions(const Bytes& jpeg, std::uint32_t width, std::uint16_t height,
                              bool bigEndian) {
    const auto put = [bigEndian](Bytes& out, std::uint32_t value, int bytes) {
        bigEndian ? PutBig(out, value, bytes) : PutLittle(out, value, bytes);
    };
    Bytes tiff;
    PutText(tiff, bigEndian ? "MM" : "II");
    put(tiff, 42, 2);
    put(tiff, 8, 4);  // the first directory follows the header
    // IFD0: only the pointer to the EXIF directory, which follows it at 8 + 2 + 12 + 4 = 26.
    put(tiff, 1, 2);
    put(tiff, 0x8769, 2);
    put(tiff, 4, 2);
    put(tiff, 1, 4);
    put(tiff, 26, 4);
    put(tiff, 0, 4);
    // The EXIF directory.
    put(tiff, 2, 2);
    put(tiff, 0xA002, 2);
    put(tiff, 4, 2);
    put(tiff, 1, 4);
    put(tiff, width, 4);
    put(tiff, 0xA003, 2);
    put(tiff, 3, 2);
    put(tiff, 1, 4);
    put(tiff, height, 2);
    put(tiff, 0, 2);
    put(tiff, 0, 4);

    return WithExifSegment(jpeg, tiff);
}

Bytes WithExifSegment(const Bytes& jpeg, const Bytes& block) {
    Bytes segment{0xFF, 0xE1};
    const std::size_t length = 2 + 6 + block.size();
    PutBig(segment, static_cast<std::uint32_t>(length), 2);
    segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), block.begin(), block.end());

    Bytes file(jpeg.begin(), jpeg.begin() + 2);  // start of image
    file.insert(file.end(), segment.begin(), segment.end());
    file.insert(file.end(), jpeg.begin() + 2, jpeg.end());
    return file;
}

Bytes WithPngChunk(const Bytes& png, const char (&type)[5], const Bytes& data) {
    constexpr std::size_t kSignatureAndHeader = 8 + 12 + 13;
    Bytes chunk;
    PutBig(chunk, static_cast<std::uint32_t>(data.size()), 4);
    PutText(chunk, type);
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBig(chunk, static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))),
           4);
    Bytes file(png.begin(), png.begin() + kSignatureAndHeader);
    file.insert(file.end(), chunk.begin(), chunk.end());
    file.insert(file.end(), png.begin() + kSignatureAndHeader, png.end());
    return file;
}

Bytes WithExifChunk(const Bytes& png, const Bytes& block) {
    return WithPngChunk(png, "eXIf", block);
}

namespace {

void SetExif(Exiv2::ExifData& exif, const PhotoMetadata& metadata) {
    if (!metadata.artist.empty()) exif["Exif.Image.Artist"] = metadata.artist;
    if (!metadata.taken.empty()) exif["Exif.Photo.DateTimeOriginal"] = metadata.taken;
    if (metadata.pixelWidth != 0) exif["Exif.Photo.PixelXDimension"] = metadata.pixelWidth;
    if (metadata.pixelHeight != 0) exif["Exif.Photo.PixelYDimension"] = metadata.pixelHeight;
    if (metadata.orientation != 0) exif["Exif.Image.Orientation"] = metadata.orientation;
}

template <typename Data, typename Key>
std::string TextOf(const Data& data, const Key& key) {
    const auto found = data.findKey(key);
    return found == data.end() ? std::string() : found->toString();
}

std::uint32_t NumberOf(const Exiv2::ExifData& exif, const char* key) {
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    return found == exif.end() ? 0 : static_cast<std::uint32_t>(found->toLong());
}

}  // namespace

Bytes EncodeExifBlock(const PhotoMetadata& metadata) {
    Exiv2::ExifData exif;
    SetExif(exif, metadata);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return Bytes(blob.begin(), blob.end());
}

bool WritePhotoMetadata(const std::string& path, const PhotoMetadata& metadata) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        SetExif(image->exifData(), metadata);
        if (!metadata.keyword.empty()) {
            image->iptcData()["Iptc.Application2.Keywords"] = metadata.keyword;
        }
        if (!metadata.creatorTool.empty()) {
            image->xmpData()["Xmp.xmp.CreatorTool"] = metadata.creatorTool;
        }
        if (!metadata.xmpOrientation.empty()) {
            image->xmpData()["Xmp.tiff.Orientation"] = metadata.xmpOrientation;
        }
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<PhotoMetadata> PhotoMetadataOf(const std::string& path) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        PhotoMetadata metadata;
        metadata.artist = TextOf(exif, Exiv2::ExifKey("Exif.Image.Artist"));
        metadata.taken = TextOf(exif, Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"));
        metadata.pixelWidth = NumberOf(exif, "Exif.Photo.PixelXDimension");
        metadata.pixelHeight = NumberOf(exif, "Exif.Photo.PixelYDimension");
        metadata.keyword = TextOf(image->iptcData(), Exiv2::IptcKey("Iptc.Application2.Keywords"));
        metadata.creatorTool = TextOf(image->xmpData(), Exiv2::XmpKey("Xmp.xmp.CreatorTool"));
        metadata.orientation = static_cast<std::uint16_t>(NumberOf(exif, "Exif.Image.Orientation"));
        metadata.xmpOrientation = TextOf(image->xmpData(), Exiv2::XmpKey("Xmp.tiff.Orientation"));
        return metadata;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool WriteLocatedPhotoMetadata(const std::string& path) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Image.Make"] = "Kestrel Optics";
        exif["Exif.Image.Model"] = "K-9 Field";
        exif["Exif.Image.Orientation"] = std::uint16_t{1};
        exif["Exif.Photo.DateTimeOriginal"] = "2024:06:21 04:12:00";
        exif["Exif.GPSInfo.GPSVersionID"] = "2 3 0 0";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"].setValue("64/1 8/1 2950/100");
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "W";
        exif["Exif.GPSInfo.GPSLongitude"].setValue("21/1 56/1 1200/100");
        exif["Exif.GPSInfo.GPSAltitudeRef"].setValue("0");
        exif["Exif.GPSInfo.GPSAltitude"].setValue("4250/100");
        Exiv2::IptcData& iptc = image->iptcData();
        iptc["Iptc.Application2.City"] = kLocatedCity;
        iptc["Iptc.Application2.CountryName"] = "Nordland";
        iptc["Iptc.Application2.Keywords"] = "harbour";
        Exiv2::XmpData& xmp = image->xmpData();
        xmp["Xmp.dc.title"] = "lang=x-default Morning boats";
        xmp["Xmp.exif.GPSLatitude"] = "64,8.4917N";
        xmp["Xmp.photoshop.City"] = kLocatedCity;
        // The toolkit knows a structure's field prefix only once its namespace is registered.
        Exiv2::XmpParser::initialize();
        Exiv2::XmpProperties::registerNs(Exiv2::XmpProperties::ns("iptcExt"), "Iptc4xmpExt");
        Exiv2::XmpTextValue shown("");
        shown.setXmpArrayType(Exiv2::XmpValue::xaBag);
        xmp.add(Exiv2::XmpKey("Xmp.iptcExt.LocationShown"), &shown);
        shown.setXmpArrayType(Exiv2::XmpValue::xaNone);
        shown.setXmpStruct();
        xmp.add(Exiv2::XmpKey("Xmp.iptcExt.LocationShown[1]"), &shown);
        xmp["Xmp.iptcExt.LocationShown[1]/Iptc4xmpExt:City"] = kLocatedCity;
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteLocationBeside(const std::string& path, bool exifBeside, bool xmpBeside) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        if (exifBeside) exif["Exif.Image.Make"] = kBesideMake;
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"].setValue("64/1 8/1 2950/100");
        Exiv2::XmpData& xmp = image->xmpData();
        if (xmpBeside) xmp["Xmp.dc.title"] = std::string("lang=x-default ") + kBesideTitle;
        xmp["Xmp.photoshop.City"] = kLocatedCity;
        xmp["Xmp.exif.GPSLatitude"] = "64,8.4917N";
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::vector<std::string>> MetadataKeysOf(const std::string& path) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        std::vector<std::string> keys;
        for (const auto& datum : image->exifData()) keys.push_back(datum.key());
        for (const auto& datum : image->iptcData()) keys.push_back(datum.key());
        for (const auto& datum : image->xmpData()) keys.push_back(datum.key());
        return keys;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::pair<unsigned, unsigned>> ExifPixelDimensionsOf(const std::string& path) {
    const BitmapHandle bitmap = LoadImageFile(path);
    if (!bitmap) return {};
    const auto width = ExifNumber(*bitmap, "PixelXDimension");
    const auto height = ExifNumber(*bitmap, "PixelYDimension");
    if (!width || !height) return {};
    return std::make_pair(*width, *height);
}

}  // namespace kavenra::test
