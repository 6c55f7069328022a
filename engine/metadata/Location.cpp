#include "engine/metadata/Location.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "engine/formats/Codec.h"
#include "engine/metadata/Metadata.h"

namespace kavenra {
namespace {

// XMP properties that name a place, by namespace: a file may give a namespace a prefix of its
// own, and Exiv2's keys then carry that prefix ("Xmp.Iptc4xmpExt.LocationShown"). A property
// ending in '*' stands for every property it begins (exif:GPSLatitude,
// exifEX:GPSHPositioningError).
struct XmpPlace {
    const char* space;
    const char* property;
};
constexpr XmpPlace kXmpPlaces[] = {
    {"http://ns.adobe.com/exif/1.0/", "GPS*"},
    {"http://cipa.jp/exif/1.0/", "GPS*"},
    {"http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/", "Location"},
    {"http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/", "CountryCode"},
    {"http://iptc.org/std/Iptc4xmpExt/2008-02-29/", "LocationCreated"},
    {"http://iptc.org/std/Iptc4xmpExt/2008-02-29/", "LocationShown"},
    {"http://ns.adobe.com/photoshop/1.0/", "City"},
    {"http://ns.adobe.com/photoshop/1.0/", "State"},
    {"http://ns.adobe.com/photoshop/1.0/", "Country"},
};

// IPTC's datasets of the place shown: content location code and name, city, sub-location,
// province or state, country code and name.
constexpr std::uint16_t kIptcLocationDatasets[] = {26, 27, 90, 92, 95, 100, 101};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// `path` (a property and what follows it in a key of one of its parts, "LocationShown[1]/...")
// is of `property`.
bool OfProperty(const std::string& path, const char* property) {
    std::size_t length = std::strlen(property);
    if (property[length - 1] == '*') return path.compare(0, length - 1, property, length - 1) == 0;
    if (path.compare(0, length, property) != 0) return false;
    return path.size() == length || path[length] == '[' || path[length] == '/';
}

bool IsXmpLocation(const std::string& key) {
    constexpr const char* kXmp = "Xmp.";
    const std::size_t dot = key.find('.', std::strlen(kXmp));
    if (!StartsWith(key, kXmp) || dot == std::string::npos) return false;
    std::string space;
    try {
        space = Exiv2::XmpProperties::ns(key.substr(std::strlen(kXmp), dot - std::strlen(kXmp)));
    } catch (...) {
        return false;
    }
    const std::string path = key.substr(dot + 1);
    return std::any_of(std::begin(kXmpPlaces), std::end(kXmpPlaces), [&](const XmpPlace& place) {
        return space == place.space && OfProperty(path, place.property);
    });
}

bool IsIptcLocation(const Exiv2::Iptcdatum& datum) {
    return datum.record() == Exiv2::IptcDataSets::application2 &&
           std::find(std::begin(kIptcLocationDatasets), std::end(kIptcLocationDatasets),
                     datum.tag()) != std::end(kIptcLocationDatasets);
}

template <typename Data, typename Predicate>
bool EraseWhere(Data& data, Predicate located) {
    bool erased = false;
    for (auto datum = data.begin(); datum != data.end();) {
        if (located(*datum)) {
            datum = data.erase(datum);
            erased = true;
        } else {
            ++datum;
        }
    }
    return erased;
}

bool EraseLocation(Exiv2::ExifData& exif) {
    return EraseWhere(exif,
                      [](const Exiv2::Exifdatum& datum) { return IsLocationKey(datum.key()); });
}

bool EraseLocation(Exiv2::IptcData& iptc) {
    return EraseWhere(iptc, IsIptcLocation);
}

bool EraseLocation(Exiv2::XmpData& xmp) {
    return EraseWhere(xmp, [](const Exiv2::Xmpdatum& datum) { return IsLocationKey(datum.key()); });
}

template <typename Data>
bool HoldsLocation(const Data& data) {
    return std::any_of(data.begin(), data.end(),
                       [](const auto& datum) { return IsLocationKey(datum.key()); });
}

bool HoldsLocation(const Exiv2::Image& image) {
    const Exiv2::IptcData& iptc = image.iptcData();
    return HoldsLocation(image.exifData()) || HoldsLocation(image.xmpData()) ||
           std::any_of(iptc.begin(), iptc.end(), IsIptcLocation);
}

Exiv2::Image::AutoPtr OpenCopy(const std::vector<unsigned char>& file) {
    // A copy of its own: Exiv2 lays out a TIFF file anew in the memory it reads from.
    Exiv2::BasicIo::AutoPtr copy(new Exiv2::MemIo);
    if (copy->write(file.data(), static_cast<long>(file.size())) !=
        static_cast<long>(file.size())) {
        return Exiv2::Image::AutoPtr();
    }
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(copy);
    if (image.get() != nullptr) image->readMetadata();
    return image;
}

std::optional<std::vector<unsigned char>> ContentOf(Exiv2::Image& image) {
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0) return std::nullopt;
    const Exiv2::DataBuf written = io.read(io.size());
    io.close();
    if (written.size_ <= 0) return std::nullopt;
    return std::vector<unsigned char>(written.pData_, written.pData_ + written.size_);
}

bool Writes(ImageFormat format) {
    return CodecOf(format).metadata == MetadataAccess::InFile;
}

// --- FreeImage's copies ---------------------------------------------------------------------

// The keys of a model's tags that `drop` picks; collected first, as removing a tag while
// walking the model would leave the walk behind.
template <typename Predicate>
void DropTags(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model, Predicate drop) {
    // A walk over a model that holds no tag would start at a tag past its end.
    if (FreeImage_GetMetadataCount(model, &bitmap) == 0) {
        FreeImage_SetMetadata(model, &bitmap, nullptr, nullptr);
        return;
    }
    std::vector<std::string> keys;
    FITAG* tag = nullptr;
    FIMETADATA* walk = FreeImage_FindFirstMetadata(model, &bitmap, &tag);
    if (walk == nullptr) return;
    do {
        if (tag != nullptr && FreeImage_GetTagKey(tag) != nullptr && drop(*tag)) {
            keys.emplace_back(FreeImage_GetTagKey(tag));
        }
    } while (FreeImage_FindNextMetadata(walk, &tag));
    FreeImage_FindCloseMetadata(walk);
    for (const std::string& key : keys) {
        FreeImage_SetMetadata(model, &bitmap, key.c_str(), nullptr);
    }
    // FreeImage keeps a model whose last tag went, and its walk over an empty model reads past
    // the end: its writers would crash on it.
    if (FreeImage_GetMetadataCount(model, &bitmap) == 0) {
        FreeImage_SetMetadata(model, &bitmap, nullptr, nullptr);
    }
}

FITAG* FindTag(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(model, &bitmap, key, &tag)) return nullptr;
    return tag;
}

// Replaces a tag's value with `bytes`, or removes the tag when there is nothing to replace it
// with.
void ReplaceTag(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model, const char* key, FITAG& old,
                const std::optional<std::vector<unsigned char>>& bytes) {
    FITAG* tag = bytes && !bytes->empty() ? FreeImage_CloneTag(&old) : nullptr;
    if (tag == nullptr) {
        // The model holds this one tag alone (an EXIF block, an XMP packet): gone whole, it
        // leaves no empty model behind (DropTags).
        FreeImage_SetMetadata(model, &bitmap, nullptr, nullptr);
        return;
    }
    FreeImage_SetTagLength(tag, static_cast<DWORD>(bytes->size()));
    FreeImage_SetTagCount(tag, static_cast<DWORD>(bytes->size()));
    FreeImage_SetTagValue(tag, bytes->data());
    FreeImage_SetMetadata(model, &bitmap, key, tag);
    FreeImage_DeleteTag(tag);
}

constexpr unsigned char kExifPreamble[] = {'E', 'x', 'i', 'f', 0, 0};

// The raw EXIF block ("Exif\0\0" and a TIFF structure) without its GPS directory; nothing
// where Exiv2 cannot read it.
std::optional<std::vector<unsigned char>> ExifBlockWithoutLocation(const unsigned char* block,
                                                                   std::size_t size) {
    const std::size_t skip =
        size >= sizeof kExifPreamble && std::memcmp(block, kExifPreamble, sizeof kExifPreamble) == 0
            ? sizeof kExifPreamble
            : 0;
    try {
        Exiv2::ExifData exif;
        const Exiv2::ByteOrder order =
            Exiv2::ExifParser::decode(exif, block + skip, static_cast<std::uint32_t>(size - skip));
        if (exif.empty()) return std::nullopt;
        if (!EraseLocation(exif)) return std::vector<unsigned char>(block, block + size);
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, order, exif);
        std::vector<unsigned char> rewritten(block, block + skip);
        rewritten.insert(rewritten.end(), blob.begin(), blob.end());
        return rewritten;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::vector<unsigned char>> XmpPacketWithoutLocation(const char* packet,
                                                                   std::size_t size) {
    try {
        Exiv2::XmpData xmp;
        const std::string text(packet, strnlen(packet, size));
        if (Exiv2::XmpParser::decode(xmp, text) != 0) return std::nullopt;
        if (!EraseLocation(xmp)) return std::vector<unsigned char>(packet, packet + size);
        std::string rewritten;
        if (xmp.empty() || Exiv2::XmpParser::encode(rewritten, xmp) != 0) return std::nullopt;
        std::vector<unsigned char> bytes(rewritten.begin(), rewritten.end());
        bytes.push_back('\0');  // FreeImage keeps an ASCII tag's terminating zero
        return bytes;
    } catch (...) {
        return std::nullopt;
    }
}

void RewriteRawExif(FIBITMAP& bitmap) {
    constexpr const char* kKey = "ExifRaw";
    FITAG* tag = FindTag(bitmap, FIMD_EXIF_RAW, kKey);
    if (tag == nullptr) return;
    const auto* value = static_cast<const unsigned char*>(FreeImage_GetTagValue(tag));
    const std::size_t length = FreeImage_GetTagLength(tag);
    ReplaceTag(bitmap, FIMD_EXIF_RAW, kKey, *tag,
               value ? ExifBlockWithoutLocation(value, length) : std::nullopt);
}

void RewriteXmp(FIBITMAP& bitmap) {
    constexpr const char* kKey = "XMLPacket";
    FITAG* tag = FindTag(bitmap, FIMD_XMP, kKey);
    if (tag == nullptr) return;
    const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
    const std::size_t length = FreeImage_GetTagLength(tag);
    ReplaceTag(bitmap, FIMD_XMP, kKey, *tag,
               value ? XmpPacketWithoutLocation(value, length) : std::nullopt);
}

}  // namespace

bool IsLocationKey(const std::string& key) {
    if (StartsWith(key, "Exif.GPSInfo.") || key == "Exif.Image.GPSTag") return true;
    if (StartsWith(key, "Iptc.")) {
        try {
            const Exiv2::IptcKey iptc(key);
            return iptc.record() == Exiv2::IptcDataSets::application2 &&
                   std::find(std::begin(kIptcLocationDatasets), std::end(kIptcLocationDatasets),
                             iptc.tag()) != std::end(kIptcLocationDatasets);
        } catch (...) {
            return false;
        }
    }
    return IsXmpLocation(key);
}

LocationRemoval RemoveLocation(const std::vector<unsigned char>& file, ImageFormat format) {
    if (!Writes(format) || file.empty()) return {LocationOutcome::Unreadable, {}};
    if (!FitsMetadataLibrary(file.size())) return {LocationOutcome::TooLarge, {}};
    InitialiseMetadataLibrary();
    LocationRemoval result;
    try {
        const Exiv2::Image::AutoPtr image = OpenCopy(file);
        if (image.get() == nullptr) return result;
        const bool exif = EraseLocation(image->exifData());
        const bool iptc = EraseLocation(image->iptcData());
        const bool xmp = EraseLocation(image->xmpData());
        if (!exif && !iptc && !xmp) return {LocationOutcome::NoneFound, {}};
        // XMP that named nothing but the place goes whole. Exiv2's WebP writer would otherwise
        // write back the packet it read, location and all.
        if (xmp && image->xmpData().empty()) image->setXmpPacket(std::string());
        image->writeMetadata();
        std::optional<std::vector<unsigned char>> written = ContentOf(*image);
        if (!written) return result;
        // Read back as any reader will: a copy Exiv2 kept would still be there.
        const Exiv2::Image::AutoPtr check = OpenCopy(*written);
        if (check.get() == nullptr) return result;
        if (HoldsLocation(*check)) return {LocationOutcome::StillThere, {}};
        result.file = std::move(*written);
    } catch (...) {
        return {LocationOutcome::Unreadable, {}};
    }
    // Exiv2 lays a TIFF or WebP file out anew; its pixels are to be the ones it was given.
    if ((format == ImageFormat::Tiff || format == ImageFormat::Webp) &&
        !DecodeToSamePixels(file, result.file, format)) {
        return {LocationOutcome::PixelsChanged, {}};
    }
    result.outcome = LocationOutcome::Removed;
    return result;
}

void DropLocation(FIBITMAP& bitmap) {
    InitialiseMetadataLibrary();
    FreeImage_SetMetadata(FIMD_EXIF_GPS, &bitmap, nullptr, nullptr);
    DropTags(bitmap, FIMD_EXIF_MAIN, [](FITAG& tag) { return FreeImage_GetTagID(&tag) == 0x8825; });
    DropTags(bitmap, FIMD_IPTC, [](FITAG& tag) {
        const WORD id = FreeImage_GetTagID(&tag);
        return (id >> 8) == 2 &&
               std::find(std::begin(kIptcLocationDatasets), std::end(kIptcLocationDatasets),
                         id & 0xFF) != std::end(kIptcLocationDatasets);
    });
    // PNG files carry whole metadata blocks as hex in text chunks, which FreeImage keeps as
    // comments and its writers copy as they are.
    DropTags(bitmap, FIMD_COMMENTS,
             [](FITAG& tag) { return StartsWith(FreeImage_GetTagKey(&tag), "Raw profile type"); });
    RewriteRawExif(bitmap);
    RewriteXmp(bitmap);
}

WrittenFileChange RemovingLocation(WrittenFileChange change, ImageFormat format) {
    return [change = std::move(change), format](const std::vector<unsigned char>& written)
               -> std::optional<std::vector<unsigned char>> {
        std::optional<std::vector<unsigned char>> changed = change ? change(written) : std::nullopt;
        LocationRemoval removal = RemoveLocation(changed ? *changed : written, format);
        if (removal.outcome == LocationOutcome::Removed) return std::move(removal.file);
        if (removal.outcome == LocationOutcome::NoneFound) return changed;
        if (!changed) return std::nullopt;
        removal = RemoveLocation(written, format);
        if (removal.outcome == LocationOutcome::Removed) return std::move(removal.file);
        return std::nullopt;
    };
}

}  // namespace kavenra
