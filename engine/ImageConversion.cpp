#include "engine/ImageConversion.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "engine/ColourProfile.h"
#include "engine/ExtendedBmp.h"
#include "engine/FreeImageBitmap.h"
#include "engine/ImageAdmission.h"
#include "engine/Metadata.h"
#include "engine/ReplacingSave.h"

namespace kavenra {
namespace {

bool HasEmbeddedNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// Set by the step that failed, so the worker can say why without the steps' results changing.
thread_local FailureReason lastFailure = FailureReason::None;

std::nullopt_t Fail(FailureReason reason) {
    lastFailure = reason;
    return std::nullopt;
}

enum class Admission { Admitted, Refused, TooLarge };

Admission Admit(FREE_IMAGE_FORMAT format, const ConversionRequest& request,
                const ConversionLimits& limits) {
    if (!PassesStructuralChecks(format, request.source)) return Admission::Refused;
    if (limits.memoryBytes == 0) return Admission::Admitted;
    std::optional<DeclaredImage> declared = ReadDeclaredImage(format, request.source);
    // FreeImage's own header read refuses the BMP headers the conversion reads for it.
    if (!declared && format == FIF_BMP) {
        if (const std::optional<SourceFile> source = SourceFile::Open(request.source)) {
            declared = ReadExtendedBmpDeclaration(*source);
        }
    }
    // Without a readable header the full load decides, within the process's own limits.
    if (!declared || ConversionFootprint(format, *declared, request) <= limits.memoryBytes) {
        return Admission::Admitted;
    }
    return Admission::TooLarge;
}

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

// White space as the C locale knows it.
bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// floor(numerator / denominator) for any signs; denominator is not 0.
__int128 FloorDivide(__int128 numerator, __int128 denominator) {
    __int128 quotient = numerator / denominator;
    if (numerator % denominator != 0 && ((numerator < 0) != (denominator < 0))) --quotient;
    return quotient;
}

int ClampToInt(__int128 value) {
    return static_cast<int>(std::clamp<__int128>(value, INT_MIN, INT_MAX));
}

// The side that follows from the longer one: floor(L * shorter / longer) + 1.
std::optional<int> ProportionalSide(std::int32_t longest, std::int64_t shorter,
                                    std::int64_t longer) {
    if (longer == 0) return std::nullopt;
    return ClampToInt(FloorDivide(static_cast<__int128>(longest) * shorter, longer) + 1);
}

}  // namespace

FailureReason FailureReasonForErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return FailureReason::NotWritable;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FailureReason::DiskFull;
        case ENOENT:
            return FailureReason::SourceGone;
        default:
            return FailureReason::None;
    }
}

FailureReason LastPreparationFailure() {
    return lastFailure;
}

int LoadFlagsFor(FREE_IMAGE_FORMAT format) {
    switch (format) {
        case FIF_JPEG:
            return JPEG_ACCURATE;
        case FIF_RAW:
            return RAW_PREVIEW;
        default:
            return 0;
    }
}

std::int64_t ParseLeadingInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const int digit = text[at] - '0';
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    return negative ? -value : value;
}

SourceSize SourceSizeOf(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format) {
    SourceSize size{FreeImage_GetWidth(&bitmap), FreeImage_GetHeight(&bitmap)};
    if (format == FIF_JPEG) {
        size.width = CommentSizeOr(bitmap, "OriginalJPEGWidth", size.width);
        size.height = CommentSizeOr(bitmap, "OriginalJPEGHeight", size.height);
    }
    return size;
}

ConversionRequest RequestFromEntryArguments(std::string source, std::string destination,
                                            std::uint8_t keepAspect, std::int32_t height,
                                            std::int32_t widthOrLongest) {
    ConversionRequest request;
    request.source = std::move(source);
    request.destination = std::move(destination);
    if (keepAspect == 1) {
        request.mode = SizingMode::LongestSide;
        request.longestSide = widthOrLongest;
    } else {
        request.mode = SizingMode::ExplicitSize;
        request.width = widthOrLongest;
        request.height = height;
    }
    return request;
}

std::optional<TargetSize> TargetSizeFor(const ConversionRequest& request, SourceSize source) {
    if (request.mode == SizingMode::ExplicitSize) return TargetSize{request.width, request.height};
    const std::int32_t longest = request.longestSide;
    if (source.width > source.height) {
        const auto side = ProportionalSide(longest, source.height, source.width);
        if (!side) return std::nullopt;
        return TargetSize{longest, *side};
    }
    const auto side = ProportionalSide(longest, source.width, source.height);
    if (!side) return std::nullopt;
    return TargetSize{*side, longest};
}

FREE_IMAGE_FILTER FilterForCode(int filterCode) {
    switch (filterCode) {
        case 1:
            return FILTER_BOX;
        case 2:
            return FILTER_BILINEAR;
        case 3:
            return FILTER_BSPLINE;
        case 4:
            return FILTER_BICUBIC;
        case 5:
            return FILTER_CATMULLROM;
        default:
            return FILTER_LANCZOS3;
    }
}

int SaveFlagsFor(FREE_IMAGE_FORMAT format, const FormatOptions& codes) {
    switch (format) {
        case FIF_JPEG:
            switch (codes.jpeg) {
                case 1:
                    return JPEG_QUALITYBAD;
                case 2:
                    return JPEG_QUALITYAVERAGE;
                case 3:
                    return JPEG_QUALITYNORMAL;
                case 4:
                    return JPEG_QUALITYGOOD;
                default:
                    return JPEG_QUALITYSUPERB;
            }
        case FIF_BMP:
            return codes.bmp == 1 ? BMP_DEFAULT : BMP_SAVE_RLE;
        case FIF_PNG:
            switch (codes.png) {
                case 1:
                    return PNG_Z_BEST_SPEED;
                case 2:
                    return PNG_Z_DEFAULT_COMPRESSION;
                case 3:
                    return PNG_Z_BEST_COMPRESSION;
                default:
                    return PNG_Z_NO_COMPRESSION;
            }
        case FIF_TARGA:
            return codes.tga == 1 ? TARGA_DEFAULT : TARGA_SAVE_RLE;
        case FIF_TIFF:
            switch (codes.tif) {
                case 1:
                    return TIFF_NONE;
                case 2:
                    return TIFF_LZW;
                case 3:
                    return TIFF_DEFLATE;
                default:
                    return TIFF_JPEG;
            }
        default:
            return 0;
    }
}

std::string RawOutputPath(const std::string& destination) {
    const std::size_t slash = destination.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = destination.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return destination + ".jpg";
    return destination.substr(0, dot) + ".jpg";
}

std::optional<PreparedOutput> PrepareLoadedImage(FIBITMAP& loaded, FREE_IMAGE_FORMAT format,
                                                 const ConversionJob& job) {
    const ConversionRequest& request = job.request;
    const ConversionSettings& settings = job.settings;
    const std::optional<TargetSize> target = TargetSizeFor(request, SourceSizeOf(loaded, format));
    const FREE_IMAGE_FILTER filter = FilterForCode(settings.codes.filtro_redimension);
    // The switch keeps the loaded bitmap's own size (for JPEG not the size tags' values).
    const std::optional<TargetSize> size =
        settings.keepDimensions ? TargetSize{static_cast<int>(FreeImage_GetWidth(&loaded)),
                                             static_cast<int>(FreeImage_GetHeight(&loaded))}
                                : target;
    if (!size) return Fail(FailureReason::Unsupported);
    const BitmapHandle rescaled(FreeImage_Rescale(&loaded, size->width, size->height, filter));

    const bool raw = format == FIF_RAW;
    const int flags = raw ? JPEG_DEFAULT : SaveFlagsFor(format, settings.codes);
    // No bitmap (a side of 0 or less, or no memory): nothing to save, and nothing on disk changes.
    if (!rescaled) {
        const bool sized = size->width > 0 && size->height > 0;
        return Fail(sized ? FailureReason::TooLarge : FailureReason::None);
    }
    const bool profiled = CarryColourProfile(loaded, *rescaled, format);
    const FREE_IMAGE_FORMAT outputFormat = raw ? FIF_JPEG : format;
    const std::string destination = raw ? RawOutputPath(request.destination) : request.destination;
    // A camera's RAW file describes its sensor, and FreeImage turns the preview it loads upright.
    const InputMetadata metadata =
        raw ? InputMetadata() : InputMetadata::Read(request.source, format);
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
    errno = 0;
    std::optional<PreparedOutput> saved =
        SaveToTemporaryFile(outputFormat, *rescaled, destination, flags, carryMetadata);
    // A writer may refuse a profile its library finds malformed (libpng checks the header); the
    // picture is still worth saving without it.
    if (!saved && profiled) {
        errno = 0;
        FreeImage_DestroyICCProfile(rescaled.get());
        saved = SaveToTemporaryFile(outputFormat, *rescaled, destination, flags, carryMetadata);
    }
    if (!saved) {
        // A file vanishing here is the output's folder, which cannot be written.
        const FailureReason reason = FailureReasonForErrno(errno);
        return Fail(reason == FailureReason::SourceGone ? FailureReason::NotWritable : reason);
    }
    lastFailure = FailureReason::None;
    return saved;
}

bool AdmitForLoading(FREE_IMAGE_FORMAT format, const ConversionRequest& request,
                     const ConversionLimits& limits) {
    return Admit(format, request, limits) == Admission::Admitted;
}

FREE_IMAGE_FORMAT DetectFileFormat(const std::string& path) {
    const std::optional<SourceFile> source = SourceFile::Open(path);
    return source ? DetectOpenedFileFormat(*source) : FIF_UNKNOWN;
}

FREE_IMAGE_FORMAT DetectOpenedFileFormat(const SourceFile& source) {
    if (!PassesDetectionChecks(source.path())) return FIF_UNKNOWN;
    return FreeImage_GetFileType(source.path().c_str(), 0);
}

std::optional<PreparedOutput> PrepareImageFile(const ConversionJob& job,
                                               const ConversionLimits& limits) {
    lastFailure = FailureReason::None;
    if (HasEmbeddedNul(job.request.destination)) return std::nullopt;
    errno = 0;
    const std::optional<SourceFile> source = SourceFile::Open(job.request.source);
    if (!source) {
        const bool gone = errno == ENOENT || errno == ENOTDIR;
        return Fail(gone ? FailureReason::SourceGone : FailureReason::Unsupported);
    }
    return PrepareOpenedImageFile(*source, job, limits);
}

std::optional<PreparedOutput> PrepareOpenedImageFile(const SourceFile& source,
                                                     const ConversionJob& job,
                                                     const ConversionLimits& limits) {
    lastFailure = FailureReason::None;
    if (HasEmbeddedNul(job.request.destination)) return std::nullopt;
    const FREE_IMAGE_FORMAT format = DetectOpenedFileFormat(source);
    if (format == FIF_UNKNOWN) return Fail(FailureReason::Unsupported);
    // Every later read goes through the open file, not through the name the job gave.
    ConversionRequest opened = job.request;
    opened.source = source.path();
    switch (Admit(format, opened, limits)) {
        case Admission::Admitted:
            break;
        case Admission::Refused:
            return Fail(FailureReason::Unsupported);
        case Admission::TooLarge:
            return Fail(FailureReason::TooLarge);
    }
    const BitmapHandle loaded =
        format == FIF_BMP
            ? LoadBmpFile(source, LoadFlagsFor(format))
            : BitmapHandle(FreeImage_Load(format, source.path().c_str(), LoadFlagsFor(format)));
    if (!loaded) return Fail(FailureReason::Unsupported);
    if (format == FIF_PNG) AttachPngColourProfile(*loaded, source.path());
    if (format == FIF_TIFF) AttachTiffColourProfile(*loaded, source.path());
    return PrepareLoadedImage(*loaded, format, ConversionJob{opened, job.settings});
}

bool ConvertImageFile(const ConversionJob& job, const ConversionLimits& limits) {
    const std::optional<PreparedOutput> prepared = PrepareImageFile(job, limits);
    return prepared && CommitPreparedOutput(*prepared);
}

}  // namespace kavenra
