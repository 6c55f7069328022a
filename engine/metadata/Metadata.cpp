#include "engine/metadata/Metadata.h"

#include <sys/stat.h>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/formats/Codec.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/heif/HeifImage.h"
#include "engine/formats/png/PngText.h"
#include "engine/metadata/Orientation.h"

namespace kavenra {
namespace {

// Exiv2 holds a file whole while it reads or writes it (a TIFF file is mapped, a new file is
// built in memory), and a hostile file's claims are bounded only by its length: larger files go
// without metadata rather than risk the conversion's memory.
constexpr std::uint64_t kLargestMetadataFile = std::uint64_t{256} << 20;

// First-directory tags that describe how a file stores its pixels, or what is stored beside them
// under tags of their own; a TIFF output has its own, and the input's would misdescribe it.
constexpr const char* kPixelLayoutTags[] = {"NewSubfileType",
                                            "SubfileType",
                                            "BitsPerSample",
                                            "Compression",
                                            "PhotometricInterpretation",
                                            "Thresholding",
                                            "CellWidth",
                                            "CellLength",
                                            "FillOrder",
                                            "StripOffsets",
                                            "SamplesPerPixel",
                                            "RowsPerStrip",
                                            "StripByteCounts",
                                            "PlanarConfiguration",
                                            "T4Options",
                                            "T6Options",
                                            "Predictor",
                                            "ColorMap",
                                            "HalftoneHints",
                                            "TileWidth",
                                            "TileLength",
                                            "TileOffsets",
                                            "TileByteCounts",
                                            "SubIFDs",
                                            "InkSet",
                                            "ExtraSamples",
                                            "SampleFormat",
                                            "SMinSampleValue",
                                            "SMaxSampleValue",
                                            "JPEGTables",
                                            "JPEGProc",
                                            "JPEGInterchangeFormat",
                                            "JPEGInterchangeFormatLength",
                                            "JPEGRestartInterval",
                                            "JPEGLosslessPredictors",
                                            "JPEGPointTransforms",
                                            "JPEGQTables",
                                            "JPEGDCTables",
                                            "JPEGACTables",
                                            "YCbCrCoefficients",
                                            "YCbCrSubSampling",
                                            "YCbCrPositioning",
                                            "ReferenceBlackWhite",
                                            "IPTCNAA",
                                            "XMLPacket",
                                            "ImageResources",
                                            "DNGVersion",
                                            "DNGBackwardVersion"};

// Tags wrong in any output: the input's size, and its colour profile, which the conversion
// carries only where it still describes the pixels.
constexpr const char* kInputOnlyTags[] = {"ImageWidth", "ImageLength", "InterColorProfile"};

template <std::size_t N>
bool Names(const char* const (&names)[N], const std::string& name) {
    return std::any_of(std::begin(names), std::end(names),
                       [&name](const char* listed) { return name == listed; });
}

bool InFirstDirectory(const Exiv2::Exifdatum& datum, bool tiffOutput) {
    if (datum.groupName() != "Image") return false;
    const std::string name = datum.tagName();
    return Names(kInputOnlyTags, name) || (tiffOutput && Names(kPixelLayoutTags, name));
}

// A TIFF file's further directories are images of their own whose pixels the output lacks.
bool OfAnotherImage(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    return group == "Thumbnail" || group == "Image2" || group == "Image3" ||
           group.compare(0, 8, "SubImage") == 0 || group.compare(0, 8, "SubThumb") == 0;
}

// The EXIF the output is to hold. A TIFF file's own tags describe its pixels and win; JPEG and
// PNG files keep their pixel layout outside the EXIF, and the input's replaces what a writer
// copied.
Exiv2::ExifData ExifFor(const Exiv2::ExifData& input, const Exiv2::ExifData& output, bool tiff) {
    Exiv2::ExifData exif = tiff ? output : Exiv2::ExifData();
    for (const Exiv2::Exifdatum& datum : input) {
        if (InFirstDirectory(datum, tiff) || (tiff && OfAnotherImage(datum))) continue;
        if (tiff && exif.findKey(Exiv2::ExifKey(datum.key())) != exif.end()) continue;
        exif.add(datum);
    }
    return exif;
}

void StatePixelSize(Exiv2::ExifData& exif, unsigned width, unsigned height) {
    const bool exifDirectory =
        std::any_of(exif.begin(), exif.end(),
                    [](const Exiv2::Exifdatum& datum) { return datum.groupName() == "Photo"; });
    if (!exifDirectory) return;
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(width);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(height);
}

void StatePixelSize(Exiv2::XmpData& xmp, unsigned width, unsigned height) {
    const std::pair<const char*, unsigned> sides[] = {{"Xmp.exif.PixelXDimension", width},
                                                      {"Xmp.exif.PixelYDimension", height},
                                                      {"Xmp.tiff.ImageWidth", width},
                                                      {"Xmp.tiff.ImageLength", height}};
    for (const auto& [key, value] : sides) {
        const auto found = xmp.findKey(Exiv2::XmpKey(key));
        if (found != xmp.end()) found->setValue(std::to_string(value));
    }
}

constexpr const char* kExifOrientation = "Exif.Image.Orientation";
constexpr const char* kXmpOrientation = "Xmp.tiff.Orientation";

// The conversion turns the pixels upright (Orientation.h); a tag still saying otherwise would
// have them turned once more when shown.
void StateUpright(Exiv2::ExifData& exif) {
    const auto found = exif.findKey(Exiv2::ExifKey(kExifOrientation));
    if (found != exif.end()) *found = static_cast<std::uint16_t>(kUpright);
}

void StateUpright(Exiv2::XmpData& xmp) {
    const auto found = xmp.findKey(Exiv2::XmpKey(kXmpOrientation));
    if (found != xmp.end()) found->setValue(std::to_string(kUpright));
}

template <typename Data>
bool SameData(const Data& a, const Data& b) {
    if (a.count() != b.count()) return false;
    auto other = b.begin();
    for (auto datum = a.begin(); datum != a.end(); ++datum, ++other) {
        if (datum->key() != other->key() || datum->toString() != other->toString()) return false;
    }
    return true;
}

// The decoded pixels of a file's content, as far as a comparison needs them.
struct PixelDigest {
    unsigned width = 0;
    unsigned height = 0;
    unsigned bitsPerPixel = 0;
    FREE_IMAGE_TYPE type = FIT_UNKNOWN;
    std::uint64_t hash = 0;

    bool operator==(const PixelDigest& other) const {
        return width == other.width && height == other.height &&
               bitsPerPixel == other.bitsPerPixel && type == other.type && hash == other.hash;
    }
};

struct MemoryCloser {
    void operator()(FIMEMORY* memory) const noexcept { FreeImage_CloseMemory(memory); }
};

std::optional<PixelDigest> DigestOf(const std::vector<unsigned char>& file, ImageFormat format) {
    // FreeImage only reads the memory it is lent here.
    const std::unique_ptr<FIMEMORY, MemoryCloser> memory(
        FreeImage_OpenMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size())));
    if (!memory) return std::nullopt;
    const BitmapHandle bitmap(FreeImage_LoadFromMemory(format.freeImage(), memory.get(), 0));
    if (!bitmap) return std::nullopt;
    PixelDigest digest{FreeImage_GetWidth(bitmap.get()), FreeImage_GetHeight(bitmap.get()),
                       FreeImage_GetBPP(bitmap.get()), FreeImage_GetImageType(bitmap.get()),
                       0xCBF29CE484222325u};
    const unsigned lineBytes = FreeImage_GetLine(bitmap.get());
    for (unsigned y = 0; y < digest.height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        for (unsigned x = 0; x < lineBytes; ++x) {
            digest.hash = (digest.hash ^ line[x]) * 0x100000001B3u;  // FNV-1a
        }
    }
    return digest;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool HoldsMetadata(ImageFormat format) {
    return CodecOf(format).metadata == MetadataAccess::InFile;
}

// TIFF's own types run from BYTE (1) to IFD (13). Exiv2 keeps an entry of any other type ("type
// 0" of a damaged directory) and writes it back, which other readers refuse; an entry of no
// value is none either.
bool WellFormed(const Exiv2::Exifdatum& datum) {
    return datum.typeId() >= Exiv2::unsignedByte && datum.typeId() <= Exiv2::tiffIfd &&
           datum.count() > 0;
}

void DropMalformed(Exiv2::ExifData& exif) {
    for (auto datum = exif.begin(); datum != exif.end();) {
        datum = WellFormed(*datum) ? std::next(datum) : exif.erase(datum);
    }
}

// --- FreeImage's copies -----------------------------------------------------------------------

void DropModel(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model) {
    FreeImage_SetMetadata(model, &bitmap, nullptr, nullptr);
}

FITAG* FindTag(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    return FreeImage_GetMetadata(model, &bitmap, key, &tag) ? tag : nullptr;
}

// The tags of a model that are no TIFF entry a reader takes; collected before any goes, since
// removing a tag while walking the model would leave the walk behind.
void DropMalformedTags(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model) {
    // FreeImage's walk over a model that holds no tag starts at a tag past its end; the model,
    // empty, goes, which its writers' own walks would crash on too.
    if (FreeImage_GetMetadataCount(model, &bitmap) == 0) {
        DropModel(bitmap, model);
        return;
    }
    std::vector<std::string> keys;
    FITAG* tag = nullptr;
    FIMETADATA* walk = FreeImage_FindFirstMetadata(model, &bitmap, &tag);
    if (walk == nullptr) return;
    do {
        if (tag == nullptr || FreeImage_GetTagKey(tag) == nullptr) continue;
        const FREE_IMAGE_MDTYPE type = FreeImage_GetTagType(tag);
        if (type < FIDT_BYTE || type > FIDT_IFD || FreeImage_GetTagCount(tag) == 0) {
            keys.emplace_back(FreeImage_GetTagKey(tag));
        }
    } while (FreeImage_FindNextMetadata(walk, &tag));
    FreeImage_FindCloseMetadata(walk);
    for (const std::string& key : keys) FreeImage_SetMetadata(model, &bitmap, key.c_str(), nullptr);
    // FreeImage keeps a model whose last tag went.
    if (FreeImage_GetMetadataCount(model, &bitmap) == 0) DropModel(bitmap, model);
}

void DropMalformedXmp(FIBITMAP& bitmap) {
    FITAG* tag = FindTag(bitmap, FIMD_XMP, "XMLPacket");
    if (tag == nullptr) return;
    const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
    bool parses = false;
    try {
        Exiv2::XmpData xmp;
        parses = value != nullptr &&
                 Exiv2::XmpParser::decode(
                     xmp, std::string(value, strnlen(value, FreeImage_GetTagLength(tag)))) == 0;
    } catch (...) {
        parses = false;
    }
    if (!parses) DropModel(bitmap, FIMD_XMP);
}

constexpr unsigned char kExifPreamble[] = {'E', 'x', 'i', 'f', 0, 0};

// The raw EXIF block ("Exif\0\0" and a TIFF structure) as Exiv2 lays out what it reads of it,
// less its malformed entries; nothing when it reads nothing.
std::optional<std::vector<unsigned char>> WellFormedExifBlock(const unsigned char* block,
                                                              std::size_t size) {
    const std::size_t skip =
        size >= sizeof kExifPreamble && std::memcmp(block, kExifPreamble, sizeof kExifPreamble) == 0
            ? sizeof kExifPreamble
            : 0;
    try {
        Exiv2::ExifData exif;
        const Exiv2::ByteOrder order =
            Exiv2::ExifParser::decode(exif, block + skip, static_cast<std::uint32_t>(size - skip));
        DropMalformed(exif);
        if (exif.empty()) return std::nullopt;
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, order, exif);
        if (blob.empty()) return std::nullopt;
        std::vector<unsigned char> rewritten(block, block + skip);
        rewritten.insert(rewritten.end(), blob.begin(), blob.end());
        return rewritten;
    } catch (...) {
        return std::nullopt;
    }
}

void RewriteRawExif(FIBITMAP& bitmap) {
    constexpr const char* kKey = "ExifRaw";
    FITAG* tag = FindTag(bitmap, FIMD_EXIF_RAW, kKey);
    if (tag == nullptr) return;
    const auto* value = static_cast<const unsigned char*>(FreeImage_GetTagValue(tag));
    const std::optional<std::vector<unsigned char>> block =
        value ? WellFormedExifBlock(value, FreeImage_GetTagLength(tag)) : std::nullopt;
    FITAG* rewritten = block ? FreeImage_CloneTag(tag) : nullptr;
    if (rewritten == nullptr) {
        DropModel(bitmap, FIMD_EXIF_RAW);
        return;
    }
    FreeImage_SetTagLength(rewritten, static_cast<DWORD>(block->size()));
    FreeImage_SetTagCount(rewritten, static_cast<DWORD>(block->size()));
    FreeImage_SetTagValue(rewritten, block->data());
    FreeImage_SetMetadata(FIMD_EXIF_RAW, &bitmap, kKey, rewritten);
    FreeImage_DeleteTag(rewritten);
}

}  // namespace

void DropMalformedMetadata(FIBITMAP& bitmap) {
    InitialiseMetadataLibrary();
    for (const FREE_IMAGE_MDMODEL model :
         {FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS, FIMD_EXIF_INTEROP}) {
        DropMalformedTags(bitmap, model);
    }
    RewriteRawExif(bitmap);
    DropMalformedXmp(bitmap);
}

bool FitsMetadataLibrary(std::size_t size) {
    return size <= kLargestMetadataFile;
}

bool DecodeToSamePixels(const std::vector<unsigned char>& before,
                        const std::vector<unsigned char>& after, ImageFormat format) {
    const std::optional<PixelDigest> first = DigestOf(before, format);
    const std::optional<PixelDigest> second = DigestOf(after, format);
    return first && second && *first == *second;
}

void InitialiseMetadataLibrary() {
    static const bool initialised = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        return true;
    }();
    (void)initialised;
}

struct InputMetadata::Models {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
};

InputMetadata::InputMetadata() = default;
InputMetadata::InputMetadata(InputMetadata&&) noexcept = default;
InputMetadata& InputMetadata::operator=(InputMetadata&&) noexcept = default;
InputMetadata::~InputMetadata() = default;

InputMetadata InputMetadata::ReadHeif(const std::string& path) {
    InputMetadata metadata;
    const HeifMetadata blocks = ReadHeifMetadata(path, kLargestMetadataFile);
    if (blocks.exif.empty() && blocks.xmp.empty()) return metadata;
    InitialiseMetadataLibrary();
    auto models = std::make_unique<Models>();
    // A block Exiv2 cannot read costs only that block.
    try {
        if (!blocks.exif.empty()) {
            Exiv2::ExifParser::decode(models->exif, blocks.exif.data(),
                                      static_cast<std::uint32_t>(blocks.exif.size()));
        }
        DropMalformed(models->exif);
    } catch (...) {
        models->exif.clear();
    }
    try {
        if (!blocks.xmp.empty() && Exiv2::XmpParser::decode(models->xmp, blocks.xmp) != 0) {
            models->xmp.clear();
        }
    } catch (...) {
        models->xmp.clear();
    }
    metadata.models_ = std::move(models);
    return metadata;
}

InputMetadata InputMetadata::Read(const std::string& path, ImageFormat format) {
    if (CodecOf(format).metadata == MetadataAccess::Libheif) return ReadHeif(path);
    InputMetadata metadata;
    const std::optional<std::uint64_t> size = FileSize(path);
    if (!HoldsMetadata(format) || !size || *size > kLargestMetadataFile) return metadata;
    InitialiseMetadataLibrary();
    // What `opening` finds; empty when Exiv2 cannot read it. Every error is caught, Exiv2's and
    // a failed allocation for a hostile file's claims alike: the conversion goes on without the
    // input's metadata.
    const auto readModels = [](auto&& opening) -> std::unique_ptr<Models> {
        try {
            const Exiv2::Image::AutoPtr image = opening();
            if (image.get() == nullptr) return nullptr;
            image->readMetadata();
            auto models = std::make_unique<Models>();
            models->exif = image->exifData();
            models->iptc = image->iptcData();
            models->xmp = image->xmpData();
            return models;
        } catch (...) {
            return nullptr;
        }
    };
    metadata.models_ = readModels([&path] { return Exiv2::ImageFactory::open(path, false); });
    // Exiv2 refuses a whole PNG file for one text chunk without a keyword, which libpng takes;
    // the other chunks still say what the file carries.
    if (!metadata.models_ && format == ImageFormat::Png) {
        if (const auto chunks = PngChunksForMetadata(path, kLargestMetadataFile)) {
            metadata.models_ = readModels([&chunks] {
                return Exiv2::ImageFactory::open(chunks->data(), static_cast<long>(chunks->size()));
            });
        }
    }
    if (metadata.models_) DropMalformed(metadata.models_->exif);
    return metadata;
}

bool InputMetadata::empty() const {
    return !models_ || (models_->exif.empty() && models_->iptc.empty() && models_->xmp.empty());
}

int InputMetadata::orientation() const {
    if (!models_) return kUpright;
    const auto found = models_->exif.findKey(Exiv2::ExifKey(kExifOrientation));
    if (found == models_->exif.end() || found->count() < 1) return kUpright;
    try {
        return OrientationFromTag(found->toLong());
    } catch (...) {
        return kUpright;
    }
}

MetadataWrite InputMetadata::WriteInto(const std::vector<unsigned char>& file, ImageFormat format,
                                       unsigned width, unsigned height) const {
    if (empty()) return {MetadataOutcome::AlreadyThere, {}};
    if (!HoldsMetadata(format)) return {MetadataOutcome::Unreadable, {}};
    if (file.size() > kLargestMetadataFile) return {MetadataOutcome::TooLarge, {}};
    InitialiseMetadataLibrary();
    const bool tiff = format == ImageFormat::Tiff;
    MetadataWrite result;
    try {
        // A copy of its own: Exiv2 lays out a TIFF file anew in the memory it reads from, and
        // `file` is what the output falls back to.
        Exiv2::BasicIo::AutoPtr copy(new Exiv2::MemIo);
        if (copy->write(file.data(), static_cast<long>(file.size())) !=
            static_cast<long>(file.size())) {
            return result;
        }
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(copy);
        if (image.get() == nullptr) return result;
        image->readMetadata();
        Exiv2::ExifData exif = ExifFor(models_->exif, image->exifData(), tiff);
        StatePixelSize(exif, width, height);
        StateUpright(exif);
        Exiv2::XmpData xmp = models_->xmp;
        StatePixelSize(xmp, width, height);
        StateUpright(xmp);
        if (SameData(exif, image->exifData()) && SameData(models_->iptc, image->iptcData()) &&
            SameData(xmp, image->xmpData())) {
            return {MetadataOutcome::AlreadyThere, {}};
        }
        image->setExifData(exif);
        image->setIptcData(models_->iptc);
        image->setXmpData(xmp);
        image->writeMetadata();

        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) return result;
        const Exiv2::DataBuf written = io.read(io.size());
        io.close();
        if (written.size_ <= 0) return result;
        result.file.assign(written.pData_, written.pData_ + written.size_);
    } catch (...) {
        return {MetadataOutcome::Unreadable, {}};
    }
    // Exiv2 copies a JPEG or PNG file's compressed pixels as they are, but lays a TIFF file out
    // anew, and a WebP file's chunks too (a plain file gains the extended header): the pixels it
    // read are to be the pixels it wrote. It never encodes a WebP bitstream, so even a lossy one
    // decodes to the same pixels.
    if (tiff || format == ImageFormat::Webp) {
        if (!DecodeToSamePixels(file, result.file, format)) {
            return {MetadataOutcome::PixelsChanged, {}};
        }
    }
    result.outcome = MetadataOutcome::Written;
    return result;
}

}  // namespace kavenra
