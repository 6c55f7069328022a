#include "engine/convert/ImageConversion.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "engine/base/SystemText.h"
#include "engine/colour/ColourConversion.h"
#include "engine/colour/ColourProfile.h"
#include "engine/convert/ImageAdmission.h"
#include "engine/formats/Codec.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/bmp/ExtendedBmp.h"
#include "engine/formats/heif/HeifImage.h"
#include "engine/formats/jpeg/JpegDamage.h"
#include "engine/formats/jpeg/JpegMarkers.h"
#include "engine/formats/png/PngText.h"
#include "engine/metadata/Location.h"
#include "engine/metadata/Metadata.h"
#include "engine/metadata/Orientation.h"
#include "engine/output/OutputFormat.h"
#include "engine/output/ReplacingSave.h"
#include "engine/output/SizeBudget.h"

namespace kavenra {
namespace {

// The value of an ASCII comment tag, bounded by the tag's length so that a tag without its
// terminating zero cannot be overread.
std::string_view TagText(FITAG* tag) {
    const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
    if (value == nullptr) return {};
    const std::size_t length = FreeImage_GetTagLength(tag);
    const void* nul = std::memchr(value, '\0', length);
    return {value, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - value) : length};
}

std::int64_t CommentSizeOr(FIBITMAP& bitmap, const char* key, std::int64_t fallback) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_COMMENTS, &bitmap, key, &tag) || tag == nullptr) {
        return fallback;
    }
    return ParseLeadingInteger(TagText(tag));
}

// The output of a multi-page TIFF input: `first`, its first page as converted, and every further
// page, each verified to be there.
std::optional<PreparedOutput> SavePagesToTemporaryFile(TiffPages& pages, FIBITMAP& first,
                                                       const ConversionJob& job,
                                                       const std::string& destination, int flags,
                                                       const WrittenFileChange& change) {
    const OutputWriter write = [&](FreeImageIO& io, fi_handle handle) {
        return pages.write(first, job, io, handle, flags);
    };
    const WrittenShape shape{FreeImage_GetWidth(&first), FreeImage_GetHeight(&first),
                             pages.count()};
    // Exiv2 lays the file out anew; a layout that lost pages leaves the file as written.
    WrittenFileChange keepingPages;
    if (change) {
        keepingPages = [&change, &pages](const std::vector<unsigned char>& written) {
            std::optional<std::vector<unsigned char>> changed = change(written);
            if (changed && TiffPageCount(*changed) != pages.count()) changed.reset();
            return changed;
        };
    }
    return SaveWrittenToTemporaryFile(ImageFormat::Tiff, write, shape, destination, keepingPages);
}

// Removes the EXIF block and XMP packet that FreeImage's writers copy from a bitmap's metadata.
void DropCopiedMetadata(FIBITMAP& bitmap) {
    FreeImage_SetMetadata(FIMD_EXIF_RAW, &bitmap, nullptr, nullptr);
    FreeImage_SetMetadata(FIMD_XMP, &bitmap, nullptr, nullptr);
}

// The output format's own settings. A camera's RAW file saved in "the original's format" keeps
// the JPEG writer's own default, as it had before there was a choice.
int OutputFlags(ImageFormat input, ImageFormat output, const ConversionOptions& options,
                FIBITMAP& bitmap) {
    if (input == ImageFormat::Raw && options.saveAs == OutputChoice::Original) return JPEG_DEFAULT;
    return TiffFlagsForBitmap(SaveFlagsOf(output, options), bitmap);
}

}  // namespace

int LoadFlagsFor(ImageFormat format) {
    return CodecOf(format).loadFlags;
}

int FastJpegScale(const ConversionJob& job, SourceSize stored, int orientation) {
    const std::optional<TargetSize> target = TargetSizeFor(job, UprightSize(stored, orientation));
    if (!target || target->width <= 0 || target->height <= 0) return 1;
    const TargetSize wanted = StoredSize(*target, orientation);
    for (const std::int64_t scale : {8, 4, 2}) {
        // A side the scale does not divide ends in a pixel made partly of the decoder's padding:
        // the picture, resampled from there, would be stretched by a fraction of a pixel.
        if (stored.width % scale != 0 || stored.height % scale != 0) continue;
        if (stored.width / scale >= 2 * std::int64_t{wanted.width} &&
            stored.height / scale >= 2 * std::int64_t{wanted.height})
            return static_cast<int>(scale);
    }
    return 1;
}

int JpegLoadFlagsFor(const ConversionJob& job, SourceSize stored, int orientation) {
    const ConversionOptions& options = OptionsOf(job);
    if (!options.fastDecoding || options.keepDimensions) return JPEG_ACCURATE;
    const int scale = FastJpegScale(job, stored, orientation);
    if (scale == 1) return JPEG_ACCURATE;
    // FreeImage's loader takes the size the decoded picture's larger side must reach and decodes
    // at the smallest of 1/8, 1/4 and 1/2 whose exact quotient of that side still reaches it:
    // the quotient rounded down is reached by `scale` and missed by twice `scale`.
    const std::int64_t wanted = std::max(stored.width, stored.height) / scale;
    if (wanted < 1 || wanted > 0x7FFF) return JPEG_ACCURATE;
    return JPEG_ACCURATE | static_cast<int>(wanted << 16);
}

int LoadFlagsFor(ImageFormat format, const SourceFile& source, const ConversionJob& job) {
    const ConversionOptions options = OptionsOf(job);
    if (format != ImageFormat::Jpeg || !options.fastDecoding || options.keepDimensions) {
        return LoadFlagsFor(format);
    }
    const BitmapHandle header(FreeImage_Load(FreeImageFormatOf(ImageFormat::Jpeg),
                                             source.path().c_str(), kHeaderOnlyLoad));
    if (!header) return LoadFlagsFor(format);
    const SourceSize stored{FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get())};
    const int orientation = InputMetadata::Read(source.path(), ImageFormat::Jpeg).orientation();
    return JpegLoadFlagsFor(job, stored, orientation);
}

SourceSize SourceSizeOf(FIBITMAP& bitmap, ImageFormat format) {
    SourceSize size{FreeImage_GetWidth(&bitmap), FreeImage_GetHeight(&bitmap)};
    if (format == ImageFormat::Jpeg) {
        size.width = CommentSizeOr(bitmap, "OriginalJPEGWidth", size.width);
        size.height = CommentSizeOr(bitmap, "OriginalJPEGHeight", size.height);
    }
    return size;
}

std::string RawOutputPath(const std::string& destination) {
    return WithExtension(destination, UsualExtension(ImageFormat::Jpeg));
}

namespace {

// The budget in bytes for an output the user limited to `kilobytes`; none for a format without a
// quality to lower (PNG, TIFF, BMP, TARGA, lossless WebP).
std::optional<std::size_t> SizeBudgetFor(ImageFormat outputFormat,
                                         const ConversionOptions& options) {
    if (!options.sizeBudgetBytes || *options.sizeBudgetBytes == 0) return std::nullopt;
    const bool lossy = outputFormat == ImageFormat::Jpeg ||
                       (outputFormat == ImageFormat::Webp && !options.webpLossless);
    if (!lossy) return std::nullopt;
    return static_cast<std::size_t>(*options.sizeBudgetBytes);
}

std::size_t FileSizeOf(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<std::size_t>(status.st_size) : 0;
}

// The highest quality whose whole file fits the budget. The metadata carried in after the encode
// is measured on a first save; a file it took over the budget is encoded again with that room.
std::optional<PreparedOutput> SaveWithinBudget(FIBITMAP& bitmap, ImageFormat format, int flags,
                                               std::size_t maxBytes, const std::string& destination,
                                               const WrittenFileChange& change) {
    const WrittenShape shape{FreeImage_GetWidth(&bitmap), FreeImage_GetHeight(&bitmap), 1};
    std::size_t reserved = 0;
    for (int attempt = 0;; ++attempt) {
        const BudgetedEncoding encoding =
            EncodeWithinBudget(bitmap, format, maxBytes, flags, reserved);
        if (encoding.bytes.empty()) return std::nullopt;
        const OutputWriter write = [&encoding](FreeImageIO& io, fi_handle handle) {
            const auto size = static_cast<unsigned>(encoding.bytes.size());
            return io.write_proc(const_cast<unsigned char*>(encoding.bytes.data()), 1, size,
                                 handle) == size;
        };
        std::optional<PreparedOutput> saved =
            SaveWrittenToTemporaryFile(format, write, shape, destination, change);
        if (!saved) return saved;
        const std::size_t written = FileSizeOf(saved->temporaryPath);
        saved->overBudget = written > maxBytes;
        if (!saved->overBudget || encoding.overBudget() || attempt > 0) return saved;
        DiscardPreparedOutput(*saved);
        reserved = written - encoding.bytes.size();
    }
}

}  // namespace

Preparation PrepareLoadedImage(FIBITMAP& loaded, ImageFormat format, const ConversionJob& job,
                               TiffPages* pages) {
    const ConversionRequest& request = job.request;
    const ConversionOptions& options = OptionsOf(job);
    const bool raw = format == ImageFormat::Raw;
    const bool heif = IsHeifFormat(format);
    // A camera's RAW file describes its sensor.
    const InputMetadata metadata =
        raw ? InputMetadata() : InputMetadata::Read(request.source, format);
    // Every size rule applies to the picture as it is seen. A HEIF picture comes out of its
    // decoder upright, whatever its EXIF still says: turned again, it would be turned twice.
    const int orientation = heif ? kUpright : metadata.orientation();
    const std::optional<TargetSize> target =
        TargetSizeFor(job, UprightSize(SourceSizeOf(loaded, format), orientation));
    const FREE_IMAGE_FILTER filter = FreeImageFilterOf(options.filter);
    // The switch keeps the loaded bitmap's own size (for JPEG not the size tags' values).
    const std::optional<TargetSize> size =
        options.keepDimensions
            ? UprightSize(TargetSize{static_cast<int>(FreeImage_GetWidth(&loaded)),
                                     static_cast<int>(FreeImage_GetHeight(&loaded))},
                          orientation)
            : target;
    if (!size) return Preparation::Failed(FailureReason::Unsupported);
    const ImageFormat outputFormat = OutputFormatFor(format, options.saveAs);
    // Known from the sizing alone: no picture is made that its writer would refuse, or write with
    // its sides cut short.
    if (!FitsOutputFormat(outputFormat, size->width, size->height)) {
        return Preparation::Failed(FailureReason::TooLargeForFormat);
    }
    // Rescaled as stored, then turned: the turn moves the smaller picture.
    const TargetSize stored = StoredSize(*size, orientation);
    BitmapHandle rescaled(FreeImage_Rescale(&loaded, stored.width, stored.height, filter));

    // A picture saved in another format is its first page alone.
    if (outputFormat != ImageFormat::Tiff) pages = nullptr;
    // No bitmap (a side of 0 or less, or no memory): nothing to save, and nothing on disk changes.
    if (!rescaled) {
        const bool sized = size->width > 0 && size->height > 0;
        return Preparation::Failed(sized ? FailureReason::TooLarge : FailureReason::None);
    }
    if (!TurnUpright(rescaled, orientation)) return Preparation::Failed(FailureReason::TooLarge);
    if (!FitForWriter(rescaled, format, outputFormat))
        return Preparation::Failed(FailureReason::TooLarge);
    // The writers copy what FreeImage read, a damaged piece as it came.
    DropMalformedMetadata(*rescaled);
    // FreeImage turns a camera's preview upright as its EXIF says, and keeps that EXIF.
    if (raw || orientation != kUpright) StateUpright(*rescaled);
    // FreeImage's WebP writer would copy the input's EXIF and XMP as they are, stating its size
    // and turn; the output goes without them unless Exiv2 writes them below.
    if (outputFormat == ImageFormat::Webp) DropCopiedMetadata(*rescaled);
    const bool profiled = CarryColourProfile(loaded, *rescaled, format, outputFormat);
    const int flags = OutputFlags(format, outputFormat, options, *rescaled);
    const std::string destination = OutputPathFor(request.destination, format, outputFormat);
    if (outputFormat == ImageFormat::Png) DropCommentsWithoutKeyword(*rescaled);
    WrittenFileChange carryMetadata;
    if (!metadata.empty()) {
        const unsigned width = FreeImage_GetWidth(rescaled.get());
        const unsigned height = FreeImage_GetHeight(rescaled.get());
        carryMetadata = [&metadata, outputFormat, width,
                         height](const std::vector<unsigned char>& written) {
            MetadataWrite carried = metadata.WriteInto(written, outputFormat, width, height);
            return carried.outcome == MetadataOutcome::Written
                       ? std::optional<std::vector<unsigned char>>(std::move(carried.file))
                       : std::nullopt;
        };
    }
    // Every copy of the location goes: FreeImage's own, written with the bitmap, and the one the
    // metadata carried from the input would put back.
    if (options.removeLocation) {
        DropLocation(*rescaled);
        carryMetadata = RemovingLocation(std::move(carryMetadata), outputFormat);
    }
    const std::optional<std::size_t> budget = SizeBudgetFor(outputFormat, options);
    const auto save = [&] {
        if (budget) {
            return SaveWithinBudget(*rescaled, outputFormat, flags, *budget, destination,
                                    carryMetadata);
        }
        return pages ? SavePagesToTemporaryFile(*pages, *rescaled, job, destination, flags,
                                                carryMetadata)
                     : SaveToTemporaryFile(outputFormat, *rescaled, destination, flags,
                                           carryMetadata);
    };
    errno = 0;
    std::optional<PreparedOutput> saved = save();
    // A writer may refuse a profile its library finds malformed (libpng checks the header); the
    // picture is still worth saving without it.
    if (!saved && profiled) {
        errno = 0;
        FreeImage_DestroyICCProfile(rescaled.get());
        saved = save();
    }
    if (!saved && pages && pages->failure() != FailureReason::None) {
        return Preparation::Failed(pages->failure());
    }
    if (!saved) {
        // A file vanishing here is the output's folder, which cannot be written.
        const FailureReason reason = FailureReasonForErrno(errno);
        return Preparation::Failed(reason == FailureReason::SourceGone ? FailureReason::NotWritable
                                                                       : reason);
    }
    return {saved, FailureReason::None};
}

ImageFormat DetectFileFormat(const std::string& path) {
    const std::optional<SourceFile> source = SourceFile::Open(path);
    return source ? DetectOpenedFileFormat(*source) : ImageFormat::Unknown;
}

ImageFormat DetectOpenedFileFormat(const SourceFile& source) {
    if (!PassesDetectionChecks(source.path())) return ImageFormat::Unknown;
    // Before FreeImage's detection: its camera RAW parser would walk the boxes of such a file.
    const ImageFormat heif = DetectHeifFile(source.path());
    if (heif != ImageFormat::Unknown) return heif;
    return FreeImage_GetFileType(source.path().c_str(), 0);
}

Preparation PrepareImageFile(const ConversionJob& job, const ConversionLimits& limits) {
    if (HasEmbeddedNul(job.request.destination)) return {};
    errno = 0;
    const std::optional<SourceFile> source = SourceFile::Open(job.request.source);
    if (!source) return Preparation::Failed(SourceFile::OpenFailure(errno));
    return PrepareOpenedImageFile(*source, job, limits);
}

Preparation PrepareOpenedImageFile(const SourceFile& source, const ConversionJob& job,
                                   const ConversionLimits& limits) {
    if (HasEmbeddedNul(job.request.destination)) return {};
    const ImageFormat format = DetectOpenedFileFormat(source);
    if (format == ImageFormat::Unknown) return Preparation::Failed(FailureReason::Unsupported);
    // Every later read goes through the open file, not through the name the job gave.
    ConversionJob opened = job;
    opened.request.source = source.path();
    switch (AdmitForLoading(format, opened, limits)) {
        case Admission::Admitted:
            break;
        case Admission::Refused:
            return Preparation::Failed(FailureReason::Unsupported);
        case Admission::TooLarge:
            return Preparation::Failed(FailureReason::TooLarge);
        case Admission::Incomplete:
            return Preparation::Failed(FailureReason::Incomplete);
    }
    if (format == ImageFormat::Jpeg && JpegEndsEarly(source.path())) {
        return Preparation::Failed(FailureReason::Incomplete);
    }
    // Every page of a multi-page TIFF file is converted, each within the limits beside the first.
    const std::unique_ptr<TiffPages> pages =
        format == ImageFormat::Tiff ? TiffPages::Open(source) : nullptr;
    if (pages && pages->admit(opened, limits) == Admission::TooLarge) {
        return Preparation::Failed(FailureReason::TooLarge);
    }
    if (IsHeifFormat(format)) {
        HeifDecode decoded = LoadHeifImage(source.path());
        if (!decoded.bitmap) return Preparation::Failed(decoded.failure);
        return PrepareLoadedImage(*decoded.bitmap, format, opened);
    }
    const int flags = LoadFlagsFor(format, source, job);
    const JpegMessageWatch jpegMessages;
    BitmapHandle loaded =
        format == ImageFormat::Bmp
            ? LoadBmpFile(source, flags)
            : BitmapHandle(FreeImage_Load(format.freeImage(), source.path().c_str(), flags));
    if (loaded && format == ImageFormat::Jpeg && HasCmykProfile(*loaded)) {
        loaded = LoadCmykJpegAsSrgb(std::move(loaded), source, flags);
    }
    if (!loaded) return Preparation::Failed(FailureReason::Unsupported);
    // A load that heard nothing from libjpeg read the picture as it is; one that did may hold
    // grey where the data was damaged.
    if (format == ImageFormat::Jpeg && jpegMessages.heardAny()) {
        const FailureReason damage = CheckJpegPictureData(source.path());
        if (damage != FailureReason::None) return Preparation::Failed(damage);
    }
    if (format == ImageFormat::Png) AttachPngColourProfile(*loaded, source.path());
    if (format == ImageFormat::Tiff) AttachTiffColourProfile(*loaded, source.path());
    return PrepareLoadedImage(*loaded, format, opened, pages.get());
}

}  // namespace kavenra
